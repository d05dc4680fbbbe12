// The editor's drawing operations: every call paints into the off-screen bitmap through the raster
// routines, with the editor's blend mapping and clipping of blits to the rectangle being redrawn.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "framework/editor/EditorStores.h"
#include "framework/editor/FontStorage.h"
#include "framework/editor/IGraphics.h"
#include "framework/raster/raster.h"
#include "framework/util/Util_Mutex.h"

namespace {

// Raster mode of blits and fills: every method but copy weights by the source alpha.
int BlitMode(const IChannelBlend* pBlend) {
    if (!pBlend) return RASTER_BLEND_COPY | RASTER_BLEND_SOURCE_ALPHA;
    switch (pBlend->mMethod) {
    case IChannelBlend::kBlendCopy:
        return RASTER_BLEND_COPY;
    case IChannelBlend::kBlendAdd:
        return RASTER_BLEND_ADD | RASTER_BLEND_SOURCE_ALPHA;
    case IChannelBlend::kBlendDodge:
        return RASTER_BLEND_DODGE | RASTER_BLEND_SOURCE_ALPHA;
    default:
        return RASTER_BLEND_COPY | RASTER_BLEND_SOURCE_ALPHA;
    }
}

// Raster mode of points and lines.
int LineMode(const IChannelBlend* pBlend) {
    if (!pBlend) return RASTER_BLEND_COPY;
    switch (pBlend->mMethod) {
    case IChannelBlend::kBlendAdd:
        return RASTER_BLEND_ADD;
    case IChannelBlend::kBlendDodge:
        return RASTER_BLEND_DODGE;
    default:
        return RASTER_BLEND_COPY;
    }
}

float Weight(const IChannelBlend* pBlend) {
    return pBlend ? pBlend->mWeight : 1.0f;
}

// Blits src from (srcX, srcY) into r of dest, clipped to the rectangle being redrawn.
void ClippedBlit(Raster_IBitmap* dest, Raster_IBitmap* src, const IRECT& r, const IRECT& drawRect, int srcX,
                 int srcY, const IChannelBlend* pBlend) {
    const IRECT c = r.ClipTo(drawRect);
    if (c.W() <= 0 || c.H() <= 0) return;
    Raster_Blit(dest, src, c.L, c.T, srcX + c.L - r.L, srcY + c.T - r.T, c.W(), c.H(), Weight(pBlend),
                BlitMode(pBlend));
}

} // namespace

void IGraphics::PrepDraw() {
    delete mDrawBitmap;
    mDrawBitmap = new Raster_SysBitmap(mWidth, mHeight);
    delete mScratchBitmap;
    mScratchBitmap = new Raster_MemBitmap(0, 0, 4);
    ApplyParamValuesFromPlug();
}

uint32_t* IGraphics::GetBits() {
    return mDrawBitmap ? mDrawBitmap->getBits() : nullptr;
}

bool IGraphics::DrawBitmap(IBitmap* pBitmap, IRECT* pR, int srcX, int srcY, const IChannelBlend* pBlend) {
    if (!pBitmap || !pR) return false;
    if (!pBitmap->mData) return true; // a picture that failed to load draws nothing
    ClippedBlit(mDrawBitmap, pBitmap->mData, *pR, mDrawRECT, srcX, srcY, pBlend);
    return true;
}

bool IGraphics::DrawBitmap(IBitmap* pBitmap, IRECT* pR, int bmpState, const IChannelBlend* pBlend) {
    if (!pBitmap || !pR) return false;
    const int n = pBitmap->Frames();
    int srcX = 0, srcY = 0;
    // Frames outside the strip are the nearest frame in it.
    bmpState = std::clamp(bmpState, 1, n);
    if (n >= 2 && bmpState >= 2) {
        const int size = pBitmap->mFramesAreHorizontal ? pBitmap->W : pBitmap->H;
        const int offset = static_cast<int>(static_cast<double>(bmpState - 1) * size / n + 0.5);
        (pBitmap->mFramesAreHorizontal ? srcX : srcY) = offset;
    }
    // One frame at most, so a strip whose size is not a multiple of its frame count never shows a part
    // of the next frame.
    IRECT r = *pR;
    r.R = std::min(r.R, r.L + pBitmap->FrameW());
    r.B = std::min(r.B, r.T + pBitmap->FrameH());
    return DrawBitmap(pBitmap, &r, srcX, srcY, pBlend);
}

bool IGraphics::DrawRotatedBitmap(IBitmap* pBitmap, int destCtrX, int destCtrY, double angle,
                                  int yOffsetZeroDeg, const IChannelBlend* pBlend) {
    if (!pBitmap) return false;
    if (!pBitmap->mData) return true;
    const int w = pBitmap->W, h = pBitmap->H;
    Raster_RotatedBlit(mDrawBitmap, pBitmap->mData, destCtrX - w / 2, destCtrY - h / 2, w, h, 0.0f, 0.0f,
                       static_cast<float>(w), static_cast<float>(h), static_cast<float>(angle), false,
                       Weight(pBlend), BlitMode(pBlend) | RASTER_BLEND_FILTER_BILINEAR, 0.0f,
                       static_cast<float>(yOffsetZeroDeg));
    return true;
}

bool IGraphics::DrawRotatedMask(IBitmap* pBase, IBitmap* pMask, IBitmap* pTop, int x, int y, double angle,
                                const IChannelBlend* pBlend) {
    if (!pBase || !pMask || !pTop) return false;
    if (!pBase->mData || !pMask->mData || !pTop->mData) return true;
    if (!mScratchBitmap) mScratchBitmap = new Raster_MemBitmap(0, 0, 4);
    const float radians = static_cast<float>(angle * std::numbers::pi / 180.0);
    const int w = pBase->W, h = pBase->H;
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    const float centreX = (w % 2) ? -0.5f : 0.0f;

    Raster_Copy(mScratchBitmap, pBase->mData);
    Raster_ClearRect(mScratchBitmap, 0, 0, w, h, 0xFFFFFF00u, 0u);
    Raster_RotatedBlit(mScratchBitmap, pMask->mData, 0, 0, w, h, 0.0f, 0.0f, fw, fh, radians, true, 1.0f,
                       RASTER_BLEND_ADD | RASTER_BLEND_FILTER_BILINEAR | RASTER_BLEND_SOURCE_ALPHA, centreX,
                       0.0f);
    Raster_RotatedBlit(mScratchBitmap, pTop->mData, 0, 0, w, h, 0.0f, 0.0f, fw, fh, radians, true, 1.0f,
                       RASTER_BLEND_COPY | RASTER_BLEND_FILTER_BILINEAR | RASTER_BLEND_SOURCE_ALPHA, centreX,
                       0.0f);
    ClippedBlit(mDrawBitmap, mScratchBitmap, IRECT(x, y, x + w, y + h), mDrawRECT, 0, 0, pBlend);
    return true;
}

bool IGraphics::DrawPoint(const IColor* pColor, float x, float y, const IChannelBlend* pBlend,
                          bool antiAlias) {
    (void)antiAlias;
    if (!pColor) return false;
    Raster_PutPixel(mDrawBitmap, static_cast<int>(x + 0.5), static_cast<int>(y + 0.5), pColor->ToPixel(),
                    Weight(pBlend), LineMode(pBlend));
    return true;
}

bool IGraphics::ForcePixel(const IColor* pColor, int x, int y) {
    if (!pColor || !mDrawBitmap) return false;
    if (x < 0 || y < 0 || x >= mDrawBitmap->getWidth() || y >= mDrawBitmap->getHeight()) return false;
    mDrawBitmap->getBits()[static_cast<long>(y) * mDrawBitmap->getRowSpan() + x] = pColor->ToPixel();
    return true;
}

bool IGraphics::DrawLine(const IColor* pColor, float x1, float y1, float x2, float y2,
                         const IChannelBlend* pBlend, bool antiAlias) {
    if (!pColor) return false;
    Raster_Line(mDrawBitmap, static_cast<int>(x1), static_cast<int>(y1), static_cast<int>(x2),
                static_cast<int>(y2), pColor->ToPixel(), Weight(pBlend), LineMode(pBlend), antiAlias);
    return true;
}

bool IGraphics::DrawArc(const IColor* pColor, float cx, float cy, float r, float minAngle, float maxAngle,
                        const IChannelBlend* pBlend, bool antiAlias) {
    if (!pColor) return false;
    Raster_Arc(mDrawBitmap, cx, cy, r, minAngle, maxAngle, pColor->ToPixel(), Weight(pBlend),
               LineMode(pBlend), antiAlias);
    return true;
}

bool IGraphics::DrawCircle(const IColor* pColor, float cx, float cy, float r, const IChannelBlend* pBlend,
                           bool antiAlias) {
    if (!pColor) return false;
    Raster_Circle(mDrawBitmap, cx, cy, r, pColor->ToPixel(), Weight(pBlend), LineMode(pBlend), antiAlias);
    return true;
}

bool IGraphics::RoundRect(const IColor* pColor, IRECT* pR, const IChannelBlend* pBlend, int cornerRadius,
                          bool antiAlias) {
    if (!pColor || !pR) return false;
    Raster_RoundRect(mDrawBitmap, static_cast<float>(pR->L), static_cast<float>(pR->T),
                     static_cast<float>(pR->W()), static_cast<float>(pR->H()), cornerRadius,
                     pColor->ToPixel(), Weight(pBlend), LineMode(pBlend), antiAlias);
    return true;
}

bool IGraphics::FillRoundRect(const IColor* pColor, IRECT* pR, const IChannelBlend* pBlend, int cornerRadius,
                              bool antiAlias) {
    if (!pColor || !pR) return false;
    const int c = cornerRadius;
    const int w = pR->W(), h = pR->H();
    const uint32_t colour = pColor->ToPixel();
    const float weight = Weight(pBlend);
    const int mode = BlitMode(pBlend);
    Raster_FillRect(mDrawBitmap, pR->L + c, pR->T, w - 2 * c, h, colour, weight, mode);
    Raster_FillRect(mDrawBitmap, pR->L, pR->T + c, c, h - 2 * c, colour, weight, mode);
    Raster_FillRect(mDrawBitmap, pR->R - c, pR->T + c, c, h - 2 * c, colour, weight, mode);
    const float fc = static_cast<float>(c);
    Raster_FillCircle(mDrawBitmap, static_cast<float>(pR->L + c), static_cast<float>(pR->T + c), fc, colour,
                      weight, mode, antiAlias);
    Raster_FillCircle(mDrawBitmap, static_cast<float>(pR->R - c - 1), static_cast<float>(pR->B - c - 1), fc,
                      colour, weight, mode, antiAlias);
    Raster_FillCircle(mDrawBitmap, static_cast<float>(pR->R - c - 1), static_cast<float>(pR->T + c), fc,
                      colour, weight, mode, antiAlias);
    Raster_FillCircle(mDrawBitmap, static_cast<float>(pR->L + c), static_cast<float>(pR->B - c - 1), fc,
                      colour, weight, mode, antiAlias);
    return true;
}

bool IGraphics::FillIRect(const IColor* pColor, IRECT* pR, const IChannelBlend* pBlend) {
    if (!pColor || !pR) return false;
    Raster_FillRect(mDrawBitmap, pR->L, pR->T, pR->W(), pR->H(), pColor->ToPixel(), Weight(pBlend),
                    BlitMode(pBlend));
    return true;
}

bool IGraphics::FillCircle(const IColor* pColor, int cx, int cy, float r, const IChannelBlend* pBlend,
                           bool antiAlias) {
    if (!pColor) return false;
    Raster_FillCircle(mDrawBitmap, static_cast<float>(cx), static_cast<float>(cy), r, pColor->ToPixel(),
                      Weight(pBlend), BlitMode(pBlend), antiAlias);
    return true;
}

bool IGraphics::FillTriangle(const IColor* pColor, int x1, int y1, int x2, int y2, int x3, int y3,
                             const IChannelBlend* pBlend) {
    if (!pColor) return false;
    Raster_FillTriangle(mDrawBitmap, x1, y1, x2, y2, x3, y3, pColor->ToPixel(), Weight(pBlend),
                        BlitMode(pBlend));
    return true;
}

bool IGraphics::FillIConvexPolygon(const IColor* pColor, int* x, int* y, int npoints,
                                   const IChannelBlend* pBlend) {
    if (!pColor || !x || !y) return false;
    Raster_FillConvexPolygon(mDrawBitmap, x, y, npoints, pColor->ToPixel(), Weight(pBlend), BlitMode(pBlend));
    return true;
}

IColor IGraphics::GetPoint(int x, int y) {
    return IColor::FromPixel(Raster_GetPixel(mDrawBitmap, x, y));
}

bool IGraphics::DrawVerticalLine(const IColor* pColor, int xi, int yLo, int yHi) {
    if (!pColor) return false;
    Raster_Line(mDrawBitmap, xi, yLo, xi, yHi, pColor->ToPixel(), 1.0f, RASTER_BLEND_COPY, false);
    return true;
}

bool IGraphics::DrawHorizontalLine(const IColor* pColor, int yi, int xLo, int xHi) {
    if (!pColor) return false;
    Raster_Line(mDrawBitmap, xLo, yi, xHi, yi, pColor->ToPixel(), 1.0f, RASTER_BLEND_COPY, false);
    return true;
}

bool IGraphics::DrawVerticalLine(const IColor* pColor, IRECT* pR, float x) {
    if (!pR) return false;
    x = std::clamp(x, 0.0f, 1.0f);
    const int column = pR->L + static_cast<int>(static_cast<float>(pR->W()) * x);
    return DrawVerticalLine(pColor, column, pR->T, pR->B);
}

bool IGraphics::DrawHorizontalLine(const IColor* pColor, IRECT* pR, float y) {
    if (!pR) return false;
    y = std::clamp(y, 0.0f, 1.0f);
    const int row = pR->B - static_cast<int>(static_cast<float>(pR->H()) * y);
    return DrawHorizontalLine(pColor, row, pR->L, pR->R);
}

bool IGraphics::DrawRect(const IColor* pColor, IRECT* pR) {
    if (!pColor || !pR) return false;
    DrawHorizontalLine(pColor, pR->T, pR->L, pR->R);
    DrawHorizontalLine(pColor, pR->B, pR->L, pR->R);
    DrawVerticalLine(pColor, pR->L, pR->T, pR->B);
    DrawVerticalLine(pColor, pR->R, pR->T, pR->B);
    return true;
}

bool IGraphics::DrawRadialLine(const IColor* pColor, float cx, float cy, float angle, float rMin, float rMax,
                               const IChannelBlend* pBlend, bool antiAlias) {
    const float s = std::sin(angle), c = std::cos(angle);
    return DrawLine(pColor, cx + rMin * s, cy - rMin * c, cx + rMax * s, cy - rMax * c, pBlend, antiAlias);
}

// ---- Text ----

bool IGraphics::DrawIText(IText* pTxt, const char* str, IRECT* pR, bool measure) {
    if (!str || !str[0]) return true;
    if (!pTxt || !pR) return false;
    // The font is shared with every editor of the process: its colour is ours only while we hold it.
    Util_MutexLock fonts(EditorStores::FontLock());
    Raster_CachedFont* font = CacheFont(pTxt);
    if (!font) return false;
    font->SetTextColor(pTxt->mColor.ToPixel());

    int flags = DT_NOCLIP;
    if (pTxt->mColor.A != 255) flags |= RASTER_TEXT_USE_COLOR_ALPHA;
    if (pTxt->mAlign == IText::kAlignCenter)
        flags |= DT_CENTER;
    else if (pTxt->mAlign == IText::kAlignFar)
        flags |= DT_RIGHT;

    if (measure) {
        RECT extent = {0, 0, 0, 0};
        font->DrawText(mDrawBitmap, str, -1, &extent, flags | DT_CALCRECT);
        const int w = extent.right - extent.left, h = extent.bottom - extent.top;
        switch (pTxt->mAlign) {
        case IText::kAlignNear:
            pR->R = pR->L + w;
            break;
        case IText::kAlignCenter:
            pR->L = static_cast<int>(static_cast<float>(pR->L + pR->R) * 0.5f) - w / 2;
            pR->R = pR->L + w;
            break;
        case IText::kAlignFar:
            pR->L = pR->R - w;
            break;
        }
        pR->B = pR->T + h;
        return true;
    }

    RECT r = {pR->L, pR->T, pR->R, pR->B};
    font->DrawText(mDrawBitmap, str, -1, &r, flags);
    return true;
}

Raster_CachedFont* IGraphics::CacheFont(IText* pTxt) {
    if (!pTxt) return nullptr;
    // Making a font renders into the scratch bitmaps all fonts share.
    Util_MutexLock fonts(EditorStores::FontLock());
    FontStorage* store = EditorStores::Fonts();
    const unsigned generation = store->Generation();
    if (pTxt->mCached && pTxt->mCachedGeneration == generation) return pTxt->mCached;

    Raster_CachedFont* font = store->Find(pTxt);
    if (!font) {
        const int escapement = pTxt->mOrientation * 10;
        const int weight = pTxt->mStyle == IText::kStyleBold ? 700 : 400;
        const int italic = pTxt->mStyle == IText::kStyleItalic ? 1 : 0;
        int quality = kShimQualityNonAntialiased;
        if (pTxt->mQuality == IText::kQualityDefault)
            quality = kShimQualityDefault;
        else if (pTxt->mQuality == IText::kQualityAntiAliased || pTxt->mQuality == IText::kQualityClearType)
            quality = kShimQualityAntialiased;
        auto makeFont = [&](int height) {
            return CreateFont(height, 0, escapement, escapement, weight, italic, 0, 0, 0, 0, 0, quality, 0,
                              pTxt->mFont);
        };

        const int height = std::max(pTxt->mSize, 2);
        HGDIOBJ__* handle = makeFont(height);
        if (!handle) return nullptr;
        font = new Raster_CachedFont();
        font->SetFromHFont(handle, RASTER_FONT_OWNS_HANDLE | RASTER_FONT_NATIVE);
        const int lineHeight = font->GetLineHeight();
        if (lineHeight > 0 && lineHeight != height) {
            // The face's line is taller (or shorter) than asked for: scale the request once.
            const int corrected =
                std::max(static_cast<int>(static_cast<double>(height) * height / lineHeight + 0.5), 2);
            handle = makeFont(corrected);
            if (!handle) {
                delete font;
                return nullptr;
            }
            font->SetFromHFont(handle, RASTER_FONT_OWNS_HANDLE | RASTER_FONT_NATIVE);
        }
        font = store->Add(pTxt, font);
    }
    pTxt->mCached = font;
    pTxt->mCachedGeneration = generation;
    return font;
}
