#include "Graphics/IKnobMultiControlCap.h"

#include <algorithm>

#include "framework/editor/IGraphics.h"

IKnobMultiControlCap::IKnobMultiControlCap(IEffectBase* pPlug, int x, int y, int paramIdx,
                                           const IBitmap* pBitmap, const IBitmap* pCaption,
                                           EAlignment alignment, EDirection direction, double gearing,
                                           bool hideCaption)
    : IWithReadout<IKnobMultiControl>(pPlug, x, y, paramIdx, pBitmap, direction, gearing), mAnchorX(x),
      mAnchorY(y), mHideCaption(hideCaption) {
    if (pCaption) mCaptionBitmap = std::make_unique<IBitmap>(*pCaption);
    SetAlignment(alignment);
}

IKnobMultiControlCap::~IKnobMultiControlCap() = default;

void IKnobMultiControlCap::SetAlignment(EAlignment alignment) {
    mAlignment = alignment;
    if (alignment != kAlignTopLeft && alignment != kAlignCentre) return;
    const int x = mAnchorX, y = mAnchorY;
    const int w = mBitmap.W, h = mBitmap.H, n = mBitmap.Frames();
    // One frame with its top-left corner at the anchor, as the filmstrip knob starts out. Placing from
    // the anchor every time (not from the current rectangles) lets a second call place it right too.
    const IRECT home(x, y, x + w, y + h / n);
    const IBitmap* cap = mCaptionBitmap.get();
    if (alignment == kAlignTopLeft) {
        mRECT = mTargetRECT = home;
        if (cap) mCaptionRECT = IRECT(x, y, x + cap->W, y + cap->H / cap->Frames());
        return;
    }
    if (mBitmap.mFramesAreHorizontal) {
        const int l = x - w / (2 * n), t = y - h / 2;
        mRECT = IRECT(l, t, l + w / n, t + h);
    } else {
        const int l = x - w / 2, t = y - h / (2 * n);
        mRECT = IRECT(l, t, l + w, t + h / n);
    }
    const int dx = home.W() / 2, dy = home.H() / 2;
    mTargetRECT = IRECT(home.L - dx, home.T - dy, home.R - dx, home.B - dy);
    if (cap) {
        const int l = x - cap->W / 2, t = y - cap->H / 2;
        mCaptionRECT = IRECT(l, t, l + cap->W, t + cap->H / cap->Frames());
    }
}

int IKnobMultiControlCap::ShownFrame() const {
    const int n = mBitmap.Frames();
    // (int)((N - 1) * value) truncated toward zero; negative gives frame 1, anything from N - 1 up
    // frame N. Compared in double first, so no value (huge, NaN) reaches the conversion out of range.
    const double f = (n - 1) * mValue;
    if (!(f > 0.0)) return 1;
    if (f >= n - 1) return n;
    return static_cast<int>(f) + 1;
}

bool IKnobMultiControlCap::Draw(IGraphics* pGraphics) {
    if (mCaptionBitmap && !mHideCaption)
        pGraphics->DrawBitmap(mCaptionBitmap.get(), &mCaptionRECT, 1, nullptr);
    return pGraphics->DrawBitmap(&mBitmap, &mRECT, ShownFrame(), &mBlend);
}

void IKnobMultiControlCap::OnMouseDown(int x, int y, IMouseMod* pMod) {
    if (pMod && pMod->R) {
        if (mPromptRECT.Empty())
            PromptUserInput();
        else
            PromptUserInput(&mPromptRECT);
        return;
    }
    IWithReadout<IKnobMultiControl>::OnMouseDown(x, y, pMod);
}

void IKnobMultiControlCap::OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* pMod) {
    if (pMod && pMod->R) return;
    IWithReadout<IKnobMultiControl>::OnMouseDrag(x, y, dX, dY, pMod);
}

bool IKnobMultiControlCap::PressEdits(IMouseMod* pMod) {
    return !(pMod && pMod->R);
}

bool IKnobMultiControlCap::OnKeyDown(int x, int y, int key) {
    (void)x;
    (void)y;
    constexpr int kKeyUp = 1, kKeyDown = 2;
    IGraphics* gui = GetGUI();
    if ((key != kKeyUp && key != kKeyDown) || !gui) return false;
    const IMouseMod& mod = gui->GetKeyMod();
    const double step = mod.S || mod.C ? 0.001 : 0.01;
    gui->EditValue(this, std::clamp(mValue + (key == kKeyUp ? step : -step), mClampLo, mClampHi));
    return true;
}
