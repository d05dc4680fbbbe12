#include "framework/editor/IControls_Bitmap.h"

#include "framework/editor/IGraphics.h"

namespace {

IRECT FrameRect(int x, int y, const IBitmap* pBitmap) {
    return pBitmap ? IRECT(x, y, x + pBitmap->W, y + pBitmap->H / pBitmap->Frames()) : IRECT(x, y, x, y);
}

// The first rectangle containing the point, or -1.
int FindRect(const Util_TypedBuf<IRECT>& rects, int x, int y) {
    for (int i = 0; i < rects.GetSize(); ++i)
        if (rects.Get()[i].Contains(x, y)) return i;
    return -1;
}

// Value of choice i of n (0 when there is only one).
double ChoiceValue(int i, int n) {
    return n > 1 ? static_cast<double>(i) / static_cast<double>(n - 1) : 0.0;
}

} // namespace

// ---- IPanelControl ----

IPanelControl::IPanelControl(IEffectBase* pPlug, const IRECT* pR, const IColor* pColor)
    : IControl(pPlug, pR), mColor(pColor ? *pColor : COLOR_BLACK) {}

bool IPanelControl::Draw(IGraphics* pGraphics) {
    return pGraphics->FillIRect(&mColor, &mRECT, &mBlend);
}

// ---- IBitmapControl ----

IBitmapControl::IBitmapControl(IEffectBase* pPlug, int x, int y, int paramIdx, const IBitmap* pBitmap,
                               IChannelBlend::EBlendMethod blendMethod)
    : IControl(pPlug, nullptr, paramIdx, blendMethod), mBitmap(pBitmap ? *pBitmap : IBitmap()) {
    mRECT = mTargetRECT = FrameRect(x, y, &mBitmap);
}

IBitmapControl::IBitmapControl(IEffectBase* pPlug, int x, int y, const IBitmap* pBitmap,
                               IChannelBlend::EBlendMethod blendMethod)
    : IBitmapControl(pPlug, x, y, -1, pBitmap, blendMethod) {}

int IBitmapControl::FrameForValue() const {
    return mBitmap.FrameForValue(mValue);
}

bool IBitmapControl::Draw(IGraphics* pGraphics) {
    return pGraphics->DrawBitmap(&mBitmap, &mRECT, FrameForValue(), &mBlend);
}

// ---- ISwitchControl ----

ISwitchControl::ISwitchControl(IEffectBase* pPlug, int x, int y, int paramIdx, const IBitmap* pBitmap,
                               IChannelBlend::EBlendMethod blendMethod)
    : IBitmapControl(pPlug, x, y, paramIdx, pBitmap, blendMethod) {}

void ISwitchControl::OnMouseDown(int x, int y, IMouseMod* pMod) {
    (void)x;
    (void)y;
    (void)pMod;
    const int n = mBitmap.Frames();
    mValue += n > 1 ? 1.0 / static_cast<double>(n - 1) : 1.0;
    if (mValue > 1.001) mValue = 0.0;
    SetDirty(true);
}

void ISwitchControl::OnMouseDblClick(int x, int y, IMouseMod* pMod) {
    OnMouseDown(x, y, pMod);
}

// ---- ISwitchPopUpControl ----

ISwitchPopUpControl::ISwitchPopUpControl(IEffectBase* pPlug, int x, int y, int paramIdx,
                                         const IBitmap* pBitmap, IChannelBlend::EBlendMethod blendMethod)
    : ISwitchControl(pPlug, x, y, paramIdx, pBitmap, blendMethod) {}

void ISwitchPopUpControl::OnMouseDown(int x, int y, IMouseMod* pMod) {
    (void)x;
    (void)y;
    (void)pMod;
    PromptUserInput();
    SetDirty(true);
}

// ---- ISwitchFramesControl ----

ISwitchFramesControl::ISwitchFramesControl(IEffectBase* pPlug, int x, int y, int paramIdx,
                                           const IBitmap* pBitmap, bool framesAreHorizontal,
                                           IChannelBlend::EBlendMethod blendMethod)
    : ISwitchControl(pPlug, x, y, paramIdx, pBitmap, blendMethod) {
    mPromptDisabled = false;
    const int n = mBitmap.Frames();
    mRECTs.Resize(n);
    for (int i = 0; i < n; ++i) {
        IRECT& area = mRECTs.Get()[i];
        if (framesAreHorizontal) {
            const int w = mRECT.W() / n;
            area = IRECT(mRECT.L + i * w, mRECT.T, mRECT.L + (i + 1) * w, mRECT.B);
        } else {
            const int h = mRECT.H() / n;
            area = IRECT(mRECT.L, mRECT.T + i * h, mRECT.R, mRECT.T + (i + 1) * h);
        }
    }
}

void ISwitchFramesControl::OnMouseDown(int x, int y, IMouseMod* pMod) {
    (void)pMod;
    const int i = FindRect(mRECTs, x, y);
    if (i >= 0) mValue = ChoiceValue(i, mRECTs.GetSize());
    SetDirty(true);
}

// ---- IContactControl ----

IContactControl::IContactControl(IEffectBase* pPlug, int x, int y, int paramIdx, const IBitmap* pBitmap,
                                 IChannelBlend::EBlendMethod blendMethod)
    : ISwitchControl(pPlug, x, y, paramIdx, pBitmap, blendMethod) {}

void IContactControl::OnMouseUp(int x, int y, IMouseMod* pMod) {
    (void)x;
    (void)y;
    (void)pMod;
    mValue = 0.0;
    SetDirty(true);
}

// ---- IBitmapOverlayControl ----

IBitmapOverlayControl::IBitmapOverlayControl(IEffectBase* pPlug, int x, int y, int paramIdx,
                                             const IBitmap* pBitmap, const IRECT* pTargetArea)
    : ISwitchControl(pPlug, x, y, paramIdx, pBitmap), mTargetArea(pTargetArea ? *pTargetArea : IRECT()) {
    mTargetRECT = mTargetArea;
}

IBitmapOverlayControl::IBitmapOverlayControl(IEffectBase* pPlug, int x, int y, const IBitmap* pBitmap,
                                             const IRECT* pTargetArea)
    : IBitmapOverlayControl(pPlug, x, y, -1, pBitmap, pTargetArea) {}

bool IBitmapOverlayControl::Draw(IGraphics* pGraphics) {
    if (mValue < 0.5) {
        mTargetRECT = mTargetArea;
        return true;
    }
    mTargetRECT = mRECT;
    return IBitmapControl::Draw(pGraphics);
}

bool IBitmapOverlayControl::IsHit(int x, int y) {
    const IRECT& r = mValue < 0.5 ? mTargetArea : mRECT;
    return !r.Empty() && r.Contains(x, y);
}

// ---- IInvisibleSwitchControl ----

IInvisibleSwitchControl::IInvisibleSwitchControl(IEffectBase* pPlug, const IRECT* pR, int paramIdx)
    : IControl(pPlug, pR, paramIdx, IChannelBlend::kBlendCopy) {}

bool IInvisibleSwitchControl::Draw(IGraphics* pGraphics) {
    (void)pGraphics;
    return true;
}

void IInvisibleSwitchControl::OnMouseDown(int x, int y, IMouseMod* pMod) {
    (void)x;
    (void)y;
    (void)pMod;
    mValue = mValue < 0.5 ? 1.0 : 0.0;
    SetDirty(true);
}

// ---- IRadioButtonsControl ----

IRadioButtonsControl::IRadioButtonsControl(IEffectBase* pPlug, const IRECT* pR, int paramIdx, int nButtons,
                                           const IBitmap* pBitmap, EDirection direction, bool reverse)
    : IControl(pPlug, pR, paramIdx), mBitmap(pBitmap ? *pBitmap : IBitmap()) {
    const int n = nButtons > 0 ? nButtons : 0;
    mRECTs.Resize(n);
    const int w = mBitmap.W;
    const int h = static_cast<int>(static_cast<double>(mBitmap.H) / mBitmap.Frames());
    const double gaps = n > 1 ? static_cast<double>(n - 1) : 1.0;
    IRECT* rects = mRECTs.Get();
    if (direction == kHorizontal) {
        const int gap = n > 1 ? static_cast<int>(static_cast<double>(mRECT.W() - n * w) / gaps) : 0;
        // Reversed, the first button sits at the right edge.
        int left = reverse ? mRECT.R - w : mRECT.L;
        for (int i = 0; i < n; ++i) {
            rects[i] = IRECT(left, mRECT.T, left + w, mRECT.T + h);
            left += reverse ? -(w + gap) : w + gap;
        }
    } else {
        const int gap = n > 1 ? static_cast<int>(static_cast<double>(mRECT.H() - n * h) / gaps) : 0;
        // Reversed, the first button sits at the bottom edge.
        int top = reverse ? mRECT.B - h : mRECT.T;
        for (int i = 0; i < n; ++i) {
            rects[i] = IRECT(mRECT.L, top, mRECT.L + w, top + h);
            top += reverse ? -(h + gap) : h + gap;
        }
    }
}

bool IRadioButtonsControl::Draw(IGraphics* pGraphics) {
    const int n = mRECTs.GetSize();
    if (n == 0) return true;
    const int active = IBitmap::FrameForValue(n, mValue) - 1;
    for (int i = 0; i < n; ++i)
        pGraphics->DrawBitmap(&mBitmap, mRECTs.Get() + i, i == active ? 2 : 1, &mBlend);
    return true;
}

void IRadioButtonsControl::OnMouseDown(int x, int y, IMouseMod* pMod) {
    if (pMod && pMod->R) {
        PromptUserInput();
        return;
    }
    const int i = FindRect(mRECTs, x, y);
    if (i >= 0) mValue = ChoiceValue(i, mRECTs.GetSize());
    SetDirty(true);
}
