// The cached font: UTF-8 decoding, glyph rendering through the shim, glyph lookup, measuring,
// layout and blending, and the native path through the shim.

#include "framework/raster/Raster_FontCached.h"

#include <algorithm>
#include <new>
#include <type_traits>
#include <vector>

#include "framework/raster/Raster_Blit.h"
#include "framework/raster/Raster_ShapeCommon.h"

Raster_SysBitmap* Raster_CachedFont::s_tempbitmap = nullptr;
Raster_SysBitmap* Raster_CachedFont::s_nativerender_tempbitmap = nullptr;
int Raster_CachedFont::s_tempbitmap_refcnt = 0;

namespace {

constexpr int kAlignFlags = DT_VCENTER | DT_CENTER | DT_BOTTOM | DT_RIGHT;
constexpr int kGlyphEffectFlags = 0x1F7; // every font flag that changes how glyphs look or lay out

// Decodes one character of at most `avail` bytes and returns its length. Continuation bytes are
// 0x80-0xC0; a four-byte character reads as a space; anything else is one byte taken as the code.
// Never looks past a byte that fails the test, so a terminating zero is never overrun.
int DecodeChar(const unsigned char* p, int avail, int* code) {
    auto cont = [](unsigned char b) { return b >= 0x80 && b <= 0xC0; };
    const unsigned char c = p[0];
    if (c >= 0xC2 && c <= 0xDF && avail >= 2 && cont(p[1])) {
        *code = ((c & 0x1F) << 6) | (p[1] & 0x3F);
        return 2;
    }
    if (c >= 0xE0 && c <= 0xEF && avail >= 3 && cont(p[1]) && cont(p[2])) {
        *code = ((c & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4 && avail >= 4 && cont(p[1]) && cont(p[2]) && cont(p[3])) {
        *code = ' ';
        return 4;
    }
    *code = c;
    return 1;
}

// Walks the characters of a string: count bytes, or up to the terminating zero when negative.
class CharReader {
public:
    CharReader(const char* text, int count)
        : mP(reinterpret_cast<const unsigned char*>(text)), mLeft(count < 0 ? -1 : count) {}
    bool Next(int* code) {
        if (!mP || mLeft == 0 || *mP == 0) return false;
        const int n = DecodeChar(mP, mLeft < 0 ? 4 : mLeft, code);
        mP += n;
        if (mLeft > 0) mLeft -= n;
        return true;
    }

private:
    const unsigned char* mP;
    int mLeft;
};

int EncodeUtf8(int code, char* out) {
    if (code < 0x80) {
        out[0] = (char)code;
        out[1] = 0;
        return code ? 1 : 0;
    }
    if (code < 0x800) {
        out[0] = (char)(0xC0 | (code >> 6));
        out[1] = (char)(0x80 | (code & 0x3F));
        out[2] = 0;
        return 2;
    }
    out[0] = (char)(0xE0 | ((code >> 12) & 0x0F));
    out[1] = (char)(0x80 | ((code >> 6) & 0x3F));
    out[2] = (char)(0x80 | (code & 0x3F));
    out[3] = 0;
    return 3;
}

// Pixel word to the shim's 0x00RRGGBB.
int ShimColour(uint32_t word) {
    return (int)((Raster_GetR(word) << 16) | (Raster_GetG(word) << 8) | Raster_GetB(word));
}

// A glyph's visible part: the box (x, y, w, h), already clipped; src points at its first coverage
// byte, rows `span` bytes apart.
struct GlyphBox {
    int x, y, w, h;
    const uint8_t* src;
    int span;
};

// Glyph blending, one member per combiner.
template <class C>
class GlyphRenderer {
public:
    using Box = GlyphBox;
    static void Mono(const Raster_ShapeSurface& s, const Box& b, uint32_t text, int w) {
        const Raster_ShapeColour c(text);
        Loop(s, b, [&](uint32_t* p, int cov) { C::doPix(p, c.r, c.g, c.b, 255, cov ? w : 0); });
    }
    static void Effect(const Raster_ShapeColour& tc, const Raster_ShapeColour& ec,
                       const Raster_ShapeSurface& s, const Box& b, int w) {
        Loop(s, b, [&](uint32_t* p, int cov) {
            const Raster_ShapeColour& c = cov == 255 ? tc : ec;
            C::doPix(p, c.r, c.g, c.b, 255, w);
        });
    }
    static void Normal(const Raster_ShapeSurface& s, const Box& b, uint32_t text, int w) {
        const Raster_ShapeColour c(text);
        if (w == 256) {
            if constexpr (std::is_same_v<C, Raster_CombinePixelsCopyNoClamp>) {
                // Full coverage at full weight copies the colour (alpha 255) exactly: store the word.
                const uint32_t full = (text & 0xFFFFFF00u) | 0xFF;
                Loop(s, b, [&](uint32_t* p, int cov) {
                    if (cov == 255)
                        *p = full;
                    else
                        C::doPix(p, c.r, c.g, c.b, 255, cov + 1);
                });
                return;
            }
            Loop(s, b, [&](uint32_t* p, int cov) { C::doPix(p, c.r, c.g, c.b, 255, cov + 1); });
        } else {
            Loop(s, b, [&](uint32_t* p, int cov) {
                int wt = w * cov / 256;
                if (wt > 256) wt = 256;
                if (wt < -256) wt = -256;
                C::doPix(p, c.r, c.g, c.b, 255, wt);
            });
        }
    }

private:
    // Calls f for every pixel with non-zero coverage.
    template <class F>
    static void Loop(const Raster_ShapeSurface& s, const Box& b, F&& f) {
        const uint8_t* src = b.src;
        for (int row = 0; row < b.h; ++row, src += b.span) {
            const int my = s.flipped ? s.height - 1 - (b.y + row) : b.y + row;
            uint32_t* p = s.Pixel(b.x, my);
            for (int i = 0; i < b.w; ++i)
                if (src[i]) f(p + i, src[i]);
        }
    }
};

} // namespace

// -------------------------------------------------------------------------------------------------

Raster_CachedFont::Raster_CachedFont() {
    ++s_tempbitmap_refcnt;
}

Raster_CachedFont::~Raster_CachedFont() {
    if ((mFlags & RASTER_FONT_OWNS_HANDLE) && mFont) DeleteObject(mFont);
    mFont = nullptr;
    if (--s_tempbitmap_refcnt <= 0) {
        s_tempbitmap_refcnt = 0;
        delete s_tempbitmap;
        s_tempbitmap = nullptr;
        delete s_nativerender_tempbitmap;
        s_nativerender_tempbitmap = nullptr;
    }
}

bool Raster_CachedFont::PrepareTempBitmap(int w, int h) {
    if (!s_tempbitmap) s_tempbitmap = new (std::nothrow) Raster_SysBitmap();
    if (!s_tempbitmap) return false;
    const int cw = s_tempbitmap->getWidth(), ch = s_tempbitmap->getHeight();
    if (cw < w || ch < h) {
        if (s_tempbitmap->resize(std::max(cw, w), std::max(ch, h))) {
            if (HDC__* dc = s_tempbitmap->getDC()) {
                ::SetTextColor(dc, 0xFFFFFF);
                ::SetBkMode(dc, kShimBkOpaque);
                ::SetBkColor(dc, 0);
            }
        }
    }
    return s_tempbitmap->getBits() && s_tempbitmap->getDC() && s_tempbitmap->getWidth() >= w &&
           s_tempbitmap->getHeight() >= h;
}

void Raster_CachedFont::SetFromHFont(HGDIOBJ__* font, int flags) {
    if ((mFlags & RASTER_FONT_OWNS_HANDLE) && mFont && mFont != font) DeleteObject(mFont);
    mFlags = flags;
    mFont = font;
    if (font && PrepareTempBitmap(256, 256)) {
        HDC__* dc = s_tempbitmap->getDC();
        HGDIOBJ__* old = SelectObject(dc, font);
        Shim_TextMetrics tm = {};
        GetTextMetrics(dc, &tm);
        SelectObject(dc, old);
        mLineHeight = tm.height;
    }
    for (Raster_GlyphRecord& r : mAscii) r = Raster_GlyphRecord{};
    mExtended.Resize(0);
    mCache.Resize(0);
    if (flags & RASTER_FONT_PRECACHE_ASCII)
        for (int c = 0; c < 128; ++c) RenderGlyph(c);
}

uint32_t Raster_CachedFont::SetTextColor(uint32_t colour) {
    const uint32_t old = mTextColor;
    mTextColor = colour;
    return old;
}

uint32_t Raster_CachedFont::SetBkColor(uint32_t colour) {
    const uint32_t old = mBkColor;
    mBkColor = colour;
    return old;
}

uint32_t Raster_CachedFont::SetEffectColor(uint32_t colour) {
    const uint32_t old = mEffectColor;
    mEffectColor = colour;
    return old;
}

int Raster_CachedFont::SetBkMode(int mode) {
    const int old = mBkMode;
    mBkMode = mode;
    return old;
}

void Raster_CachedFont::SetCombineMode(int mode, float alpha) {
    mCombineMode = mode;
    mAlpha = alpha;
}

// -------------------------------------------------------------------------------------------------
// Glyph rendering and lookup

const Raster_GlyphRecord* Raster_CachedFont::FindChar(int code) {
    if (code < 0 || code > 0xFFFF) return nullptr;
    if (code < 128) {
        if (mAscii[code].base == 0) RenderGlyph(code);
        return mAscii[code].base ? &mAscii[code] : nullptr;
    }
    for (int pass = 0; pass < 2; ++pass) {
        const Raster_GlyphRecord* begin = mExtended.Get();
        const Raster_GlyphRecord* end = begin + mExtended.GetSize();
        const Raster_GlyphRecord* it = std::lower_bound(
            begin, end, code, [](const Raster_GlyphRecord& r, int c) { return r.charcode < c; });
        if (begin && it != end && it->charcode == code) return it->base ? it : nullptr;
        if (pass == 0) RenderGlyph(code);
    }
    return nullptr;
}

void Raster_CachedFont::RenderGlyph(int code) {
    if (mLineHeight > 1023 || !mFont) return;
    bool appended = false;
    if (code >= 128) {
        if (mFlags & RASTER_FONT_PRECACHE_ASCII) return;
        try {
            Raster_GlyphRecord r = {};
            r.charcode = (uint16_t)code;
            mExtended.Add(r);
        } catch (const std::bad_alloc&) {
            return;
        }
        appended = true;
    }
    // Until rendering succeeds the character counts as rendered and empty.
    auto record = [&]() -> Raster_GlyphRecord& {
        return code < 128 ? mAscii[code] : mExtended.Get()[mExtended.GetSize() - 1];
    };
    record() = Raster_GlyphRecord{-1, 0, 0, 0, (uint16_t)code};

    const int side = mLineHeight < 1 ? 10 : 2 * mLineHeight + 8;
    if (PrepareTempBitmap(side, side)) {
        HDC__* dc = s_tempbitmap->getDC();
        HGDIOBJ__* oldFont = SelectObject(dc, mFont);
        char text[4];
        EncodeUtf8(code, text);
        RECT mr = {0, 0, 0, 0};
        Shim_DrawText(dc, text, -1, &mr, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        const int advance = mr.right - mr.left;
        int height = mr.bottom - mr.top;
        int rw = advance + (mLineHeight < 16 ? 2 : mLineHeight / 16 + 2);
        rw = std::min(rw, s_tempbitmap->getWidth());
        height = std::min(height, s_tempbitmap->getHeight());
        if (advance >= 1 && height >= 1 && rw >= 1) {
            Raster_FillRect(s_tempbitmap, 0, 0, rw, height, 0, 1.0f, RASTER_BLEND_COPY);
            RECT dr = {0, 0, rw, height};
            Shim_DrawText(dc, text, -1, &dr, DT_SINGLELINE | DT_NOPREFIX);
            if (mFlags & RASTER_FONT_BLUR) Raster_Blur(s_tempbitmap, s_tempbitmap, 0, 0, 0, 0, rw, height);

            const int oldSize = mCache.GetSize();
            uint8_t* img = nullptr;
            try {
                img = mCache.Grow(rw * height);
            } catch (const std::bad_alloc&) {
                img = nullptr;
            }
            if (img) {
                const uint32_t* bits = s_tempbitmap->getBits();
                const int span = s_tempbitmap->getRowSpan();
                const bool invert = (mFlags & RASTER_FONT_INVERT) != 0;
                int lastCol = -1;
                for (int y = 0; y < height; ++y) {
                    const uint32_t* row = bits + (intptr_t)y * span;
                    uint8_t* out = img + (intptr_t)y * rw;
                    for (int x = 0; x < rw; ++x) {
                        const int v = Raster_GetR(row[x]);
                        out[x] = (uint8_t)(invert ? 255 - v : v);
                        if (out[x] && x > lastCol) lastCol = x;
                    }
                }
                // Narrow the image to the advance or the last inked column, whichever is wider.
                int w = std::min(rw, std::max(advance, lastCol + 1));
                if (w < rw) {
                    for (int y = 1; y < height; ++y)
                        std::copy(img + (intptr_t)y * rw, img + (intptr_t)y * rw + w, img + (intptr_t)y * w);
                    mCache.Resize(oldSize + w * height);
                    img = mCache.Get() + oldSize;
                }
                int h = height;
                if (mFlags & RASTER_FONT_VERTICAL) {
                    // A quarter turn: clockwise for text running down, the other way for bottom-up.
                    std::vector<uint8_t> tmp(img, img + (size_t)w * h);
                    const bool up = (mFlags & RASTER_FONT_BOTTOMUP) != 0;
                    for (int ny = 0; ny < w; ++ny)
                        for (int nx = 0; nx < h; ++nx)
                            img[(intptr_t)ny * h + nx] =
                                up ? tmp[(size_t)nx * w + (w - 1 - ny)] : tmp[(size_t)(h - 1 - nx) * w + ny];
                    std::swap(w, h);
                }
                if (mFlags & (RASTER_FONT_MONO | RASTER_FONT_SHADOW | RASTER_FONT_OUTLINE)) {
                    const int n = w * h;
                    for (int i = 0; i < n; ++i) img[i] = img[i] > 130 ? 255 : 0;
                }
                if (mFlags & (RASTER_FONT_SHADOW | RASTER_FONT_OUTLINE)) {
                    // Full pixels never change, so marking in place reads the same as the original.
                    const bool shadow = (mFlags & RASTER_FONT_SHADOW) != 0;
                    auto at = [&](int x, int y) { return img[(intptr_t)y * w + x]; };
                    for (int y = 0; y < h; ++y)
                        for (int x = 0; x < w; ++x) {
                            if (at(x, y)) continue;
                            bool mark;
                            if (shadow)
                                mark = (x > 0 && at(x - 1, y) == 255) ||
                                       (x > 0 && y > 0 && at(x - 1, y - 1) == 255) ||
                                       (y > 0 && at(x, y - 1) == 255);
                            else
                                mark = (y > 0 && at(x, y - 1) == 255) || (y + 1 < h && at(x, y + 1) == 255) ||
                                       (x > 0 && at(x - 1, y) == 255) || (x + 1 < w && at(x + 1, y) == 255);
                            if (mark) img[(intptr_t)y * w + x] = 128;
                        }
                }
                Raster_GlyphRecord& r = record();
                r.base = oldSize + 1;
                r.width = w;
                r.height = h;
                r.advance = advance;
            }
        }
        SelectObject(dc, oldFont);
    }
    if (appended && mExtended.GetSize() >= 2) {
        Raster_GlyphRecord* b = mExtended.Get();
        std::sort(b, b + mExtended.GetSize(), [](const Raster_GlyphRecord& x, const Raster_GlyphRecord& y) {
            return x.charcode < y.charcode;
        });
    }
}

// -------------------------------------------------------------------------------------------------
// Drawing one glyph

bool Raster_CachedFont::DrawGlyph(Raster_IBitmap* bm, unsigned short code, int x, int y, const RECT* clip) {
    if (!bm || !clip) return false;
    const Raster_GlyphRecord* rec = FindChar(code);
    return rec && DrawRecord(bm, rec, x, y, *clip);
}

bool Raster_CachedFont::DrawRecord(Raster_IBitmap* bm, const Raster_GlyphRecord* rec, int64_t x, int64_t y,
                                   const RECT& clip) {
    if (rec->base <= 0 || rec->width <= 0 || rec->height <= 0) return false;
    if ((int64_t)rec->base - 1 + (int64_t)rec->width * rec->height > mCache.GetSize()) return false;
    const Raster_ShapeSurface s(bm);
    if (!s.ok) return false;
    // Box clipped to the clip rectangle and the bitmap.
    const int64_t l = std::max<int64_t>({x, clip.left, 0}), t = std::max<int64_t>({y, clip.top, 0});
    const int64_t r = std::min<int64_t>({x + rec->width, clip.right, s.width});
    const int64_t b = std::min<int64_t>({y + rec->height, clip.bottom, s.height});
    if (l >= r || t >= b) return false;

    GlyphBox box;
    box.x = (int)l;
    box.y = (int)t;
    box.w = (int)(r - l);
    box.h = (int)(b - t);
    box.span = rec->width;
    box.src = mCache.Get() + (rec->base - 1) + (t - y) * rec->width + (l - x);

    if (mBkMode == kShimBkOpaque)
        Raster_FillRect(bm, box.x, box.y, box.w, box.h, mBkColor, mAlpha,
                        mCombineMode & ~RASTER_BLEND_SOURCE_ALPHA);

    const int mode = mCombineMode & RASTER_BLEND_MODE_MASK;
    const bool copyFull = mode == RASTER_BLEND_COPY && mAlpha == 1.0f;
    // The weight is kept wide here: Normal glyphs scale coverage by it before limiting to 256.
    int w = 0;
    if (mAlpha == mAlpha) {
        const float v = mAlpha * 256.0f;
        w = v >= 65536.0f ? 65536 : (v <= -65536.0f ? -65536 : (int)v);
    }
    const int wl = std::max(-256, std::min(w, 256));

    if (mFlags & RASTER_FONT_MONO) {
        if (copyFull) {
            for (int row = 0; row < box.h; ++row) {
                const int my = s.flipped ? s.height - 1 - (box.y + row) : box.y + row;
                uint32_t* p = s.Pixel(box.x, my);
                const uint8_t* src = box.src + (intptr_t)row * box.span;
                for (int i = 0; i < box.w; ++i)
                    if (src[i]) p[i] = mTextColor;
            }
        } else {
            Raster_Dispatch<Raster_CombineSet::Solid>(mode, wl, [&](auto tag) {
                GlyphRenderer<typename decltype(tag)::type>::Mono(s, box, mTextColor, wl);
            });
        }
    } else if (mFlags & (RASTER_FONT_SHADOW | RASTER_FONT_OUTLINE)) {
        if (copyFull) {
            for (int row = 0; row < box.h; ++row) {
                const int my = s.flipped ? s.height - 1 - (box.y + row) : box.y + row;
                uint32_t* p = s.Pixel(box.x, my);
                const uint8_t* src = box.src + (intptr_t)row * box.span;
                for (int i = 0; i < box.w; ++i)
                    if (src[i]) p[i] = src[i] == 255 ? mTextColor : mEffectColor;
            }
        } else {
            const Raster_ShapeColour tc(mTextColor), ec(mEffectColor);
            Raster_Dispatch<Raster_CombineSet::Solid>(mode, wl, [&](auto tag) {
                GlyphRenderer<typename decltype(tag)::type>::Effect(tc, ec, s, box, wl);
            });
        }
    } else {
        Raster_Dispatch<Raster_CombineSet::Solid>(mode, w, [&](auto tag) {
            GlyphRenderer<typename decltype(tag)::type>::Normal(s, box, mTextColor, w);
        });
    }
    return true;
}

// -------------------------------------------------------------------------------------------------
// Strings

void Raster_CachedFont::Measure(const char* text, int count, int flags, int* width, int* height) {
    const bool vertical = (mFlags & RASTER_FONT_VERTICAL) != 0;
    const int64_t lineStep = (int64_t)mLineHeight + mLineSpacingAdjust;
    int64_t x = 0, y = 0, w = 0, h = 0;
    CharReader rd(text, count);
    int code;
    while (rd.Next(&code)) {
        if (code == '\r') continue;
        if (code == '\n') {
            if (!(flags & DT_SINGLELINE)) {
                if (vertical) {
                    x += lineStep;
                    y = 0;
                } else {
                    y += lineStep;
                    x = 0;
                }
                continue;
            }
            code = ' ';
        }
        const Raster_GlyphRecord* rec = FindChar(code);
        if (!rec || rec->base < 0) continue;
        if (vertical) {
            h = std::max({h, y + rec->advance, y + rec->height});
            w = std::max(w, x + rec->width);
            y += rec->advance;
        } else {
            w = std::max({w, x + rec->width, x + rec->advance});
            h = std::max(h, y + rec->height);
            x += rec->advance;
        }
    }
    *width = (int)std::min<int64_t>(w, INT32_MAX);
    *height = (int)std::min<int64_t>(h, INT32_MAX);
}

bool Raster_CachedFont::UseNative(int flags) const {
    if (!mFont) return false;
    if (mLineHeight > 255) return true;
    return (mFlags & RASTER_FONT_NATIVE) && !(flags & RASTER_TEXT_NO_NATIVE) &&
           !(flags & RASTER_TEXT_USE_COLOR_ALPHA) && !(mFlags & kGlyphEffectFlags) &&
           (mLineSpacingAdjust == 0 || (flags & DT_SINGLELINE));
}

int Raster_CachedFont::DrawText(Raster_IBitmap* bm, const char* text, int count, RECT* rect, int flags) {
    if (!text || !rect) return 0;
    const bool forceGlyphs = bm && bm->Extended(kExtendedForceGlyphs, nullptr) != 0;
    if (!forceGlyphs && UseNative(flags)) return DrawTextNative(bm, text, count, rect, flags);
    const bool vertical = (mFlags & RASTER_FONT_VERTICAL) != 0;

    if (flags & DT_CALCRECT) {
        int tw, th;
        Measure(text, count, flags, &tw, &th);
        rect->right = (int)std::min<int64_t>((int64_t)rect->left + tw, INT32_MAX);
        rect->bottom = (int)std::min<int64_t>((int64_t)rect->top + th, INT32_MAX);
        return vertical ? tw : th;
    }
    if (!bm) return 0;
    float alpha = mAlpha;
    if (flags & RASTER_TEXT_USE_COLOR_ALPHA) alpha *= (float)Raster_GetA(mTextColor) / 255.0f;
    if (alpha == 0 || !(alpha == alpha)) return 0;
    const Raster_ShapeSurface s(bm);
    if (!s.ok) return 0;

    const bool bottomUp = vertical && (mFlags & RASTER_FONT_BOTTOMUP);
    int64_t x0 = rect->left, y0 = rect->top;
    if ((flags & kAlignFlags) || bottomUp) {
        int tw, th;
        Measure(text, count, flags, &tw, &th);
        if (flags & DT_CENTER)
            x0 += ((int64_t)rect->right - rect->left - tw) / 2;
        else if (flags & DT_RIGHT)
            x0 = (int64_t)rect->right - tw;
        if (flags & DT_VCENTER)
            y0 += ((int64_t)rect->bottom - rect->top - th) / 2;
        else if (flags & DT_BOTTOM)
            y0 = (int64_t)rect->bottom - th;
        if (bottomUp) y0 += th;
    }

    RECT clip = {0, 0, s.width, s.height};
    if (!(flags & DT_NOCLIP)) {
        clip.left = std::max(0, rect->left);
        clip.top = std::max(0, rect->top);
        clip.right = std::min(s.width, rect->right);
        clip.bottom = std::min(s.height, rect->bottom);
    }
    if (clip.left >= clip.right || clip.top >= clip.bottom) return 0;

    // The font's alpha is swapped for the effective one while drawing.
    const float savedAlpha = mAlpha;
    mAlpha = alpha;
    const int64_t lineStep = (int64_t)mLineHeight + mLineSpacingAdjust;
    int64_t x = x0, y = y0, extent = 0;
    CharReader rd(text, count);
    int code;
    while (rd.Next(&code)) {
        if (code == '\r') continue;
        if (code == '\n') {
            if (!(flags & DT_SINGLELINE)) {
                if (vertical) {
                    x += lineStep;
                    y = y0;
                } else {
                    y += lineStep;
                    x = x0;
                }
                continue;
            }
            code = ' ';
        }
        const Raster_GlyphRecord* rec = FindChar(code);
        if (!rec || rec->base < 0) continue;
        if (vertical) {
            const int64_t gy = bottomUp ? y - rec->height : y;
            if (DrawRecord(bm, rec, x, gy, clip)) extent = std::max(extent, x + rec->width - x0);
            y += bottomUp ? -rec->advance : rec->advance;
        } else {
            if (DrawRecord(bm, rec, x, y, clip)) extent = std::max(extent, y + rec->height - y0);
            x += rec->advance;
        }
    }
    mAlpha = savedAlpha;
    return (int)std::min<int64_t>(extent, INT32_MAX);
}

int Raster_CachedFont::DrawTextNative(Raster_IBitmap* bm, const char* text, int count, RECT* rect,
                                      int flags) {
    const int shimFlags = (flags & ~(RASTER_TEXT_NO_NATIVE | RASTER_TEXT_USE_COLOR_ALPHA)) | DT_NOPREFIX;
    if (bm && bm->getDC()) {
        HDC__* dc = bm->getDC();
        HGDIOBJ__* old = SelectObject(dc, mFont);
        ::SetTextColor(dc, ShimColour(mTextColor));
        ::SetBkMode(dc, mBkMode);
        if (mBkMode == kShimBkOpaque) ::SetBkColor(dc, ShimColour(mBkColor));
        const int ret = Shim_DrawText(dc, text, count, rect, shimFlags);
        SelectObject(dc, old);
        return ret;
    }

    // No drawing context: measure in the shared scratch bitmap, then draw there over a copy of the
    // destination's pixels and blend the box back.
    if (!s_nativerender_tempbitmap) s_nativerender_tempbitmap = new (std::nothrow) Raster_SysBitmap(4, 4);
    Raster_SysBitmap* tmp = s_nativerender_tempbitmap;
    if (!tmp) return 0;
    if (tmp->getWidth() < 4 || tmp->getHeight() < 4)
        tmp->resize(std::max(4, tmp->getWidth()), std::max(4, tmp->getHeight()));
    HDC__* dc = tmp->getDC();
    if (!dc) return 0;
    RECT mr = *rect;
    const int measureFlags =
        (shimFlags & ~(DT_CALCRECT | kAlignFlags | DT_NOPREFIX)) | DT_CALCRECT | DT_NOPREFIX;
    HGDIOBJ__* old = SelectObject(dc, mFont);
    const int ret = Shim_DrawText(dc, text, count, &mr, measureFlags);
    SelectObject(dc, old);
    if (flags & DT_CALCRECT) {
        rect->right = mr.right;
        rect->bottom = mr.bottom;
        return ret;
    }
    const Raster_ShapeSurface s(bm);
    if (!s.ok || ret == 0) return 0;
    const int64_t tw = (int64_t)mr.right - mr.left, th = (int64_t)mr.bottom - mr.top;
    if (tw <= 0 || th <= 0) return ret;

    int64_t x = rect->left, y = rect->top;
    if (flags & DT_RIGHT)
        x = (int64_t)rect->right - tw;
    else if (flags & DT_CENTER)
        x = rect->left + ((int64_t)rect->right - rect->left) / 2 - tw / 2;
    if (flags & DT_BOTTOM)
        y = (int64_t)rect->bottom - th;
    else if (flags & DT_VCENTER)
        y = rect->top + ((int64_t)rect->bottom - rect->top) / 2 - th / 2;
    int64_t l = std::max<int64_t>(x, 0), t = std::max<int64_t>(y, 0);
    int64_t r = std::min<int64_t>(x + tw, s.width), b = std::min<int64_t>(y + th, s.height);
    if (!(flags & DT_NOCLIP)) {
        l = std::max<int64_t>(l, rect->left);
        t = std::max<int64_t>(t, rect->top);
        r = std::min<int64_t>(r, rect->right);
        b = std::min<int64_t>(b, rect->bottom);
    }
    if (l >= r || t >= b) return ret;
    const int bw = (int)(r - l), bh = (int)(b - t);
    if (tmp->getWidth() < bw || tmp->getHeight() < bh)
        tmp->resize(std::max(bw, tmp->getWidth()), std::max(bh, tmp->getHeight()));
    dc = tmp->getDC();
    if (!dc || tmp->getWidth() < bw || tmp->getHeight() < bh) return ret;

    Raster_Blit(tmp, bm, 0, 0, (int)l, (int)t, bw, bh, 1.0f, RASTER_BLEND_COPY);
    old = SelectObject(dc, mFont);
    ::SetTextColor(dc, ShimColour(mTextColor));
    ::SetBkMode(dc, mBkMode);
    if (mBkMode == kShimBkOpaque) ::SetBkColor(dc, ShimColour(mBkColor));
    RECT dr = {(int)(x - l), (int)(y - t), (int)(x - l + tw), (int)(y - t + th)};
    Shim_DrawText(dc, text, count, &dr, shimFlags & ~(DT_CALCRECT | kAlignFlags));
    SelectObject(dc, old);
    Raster_Blit(bm, tmp, (int)l, (int)t, 0, 0, bw, bh, mAlpha, RASTER_BLEND_COPY);
    return ret;
}
