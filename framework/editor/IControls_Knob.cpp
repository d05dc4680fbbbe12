#include "framework/editor/IControls_Knob.h"

#include <cmath>

#include "framework/editor/IGraphics.h"

namespace {

bool FineAdjust(const IMouseMod* pMod) {
    return pMod && (pMod->C || pMod->S);
}

// The wheel step of knobs and faders.
double WheelStep(const IMouseMod* pMod, int d) {
    return d * (FineAdjust(pMod) ? 0.001 : 0.01);
}

} // namespace

// ---- IKnobControl ----

IKnobControl::IKnobControl(IEffectBase* pPlug, const IRECT* pR, int paramIdx, EDirection direction,
                           double gearing)
    : IControl(pPlug, pR, paramIdx), mDirection(direction), mGearing(gearing) {}

void IKnobControl::OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* pMod) {
    (void)x;
    (void)y;
    double gearing = mGearing;
    if (FineAdjust(pMod)) gearing *= 10.0;
    // Moving up (dY < 0) or right raises the value; T - B is the negative height.
    const int span = mDirection == kVertical ? mRECT.T - mRECT.B : mRECT.R - mRECT.L;
    const int delta = mDirection == kVertical ? dY : dX;
    if (span != 0) mValue += static_cast<double>(delta) / static_cast<double>(span) / gearing;
    SetDirty(true);
}

void IKnobControl::OnMouseWheel(int x, int y, IMouseMod* pMod, int d) {
    (void)x;
    (void)y;
    mValue += WheelStep(pMod, d);
    SetDirty(true);
}

// ---- IKnobLineControl ----

IKnobLineControl::IKnobLineControl(IEffectBase* pPlug, const IRECT* pR, int paramIdx, const IColor* pColor,
                                   double innerRadius, double outerRadius, double minAngle, double maxAngle,
                                   EDirection direction, double gearing)
    : IKnobControl(pPlug, pR, paramIdx, direction, gearing), mColor(pColor ? *pColor : COLOR_BLACK),
      mMinAngle(static_cast<float>(minAngle)), mMaxAngle(static_cast<float>(maxAngle)),
      mInnerRadius(static_cast<float>(innerRadius)), mOuterRadius(static_cast<float>(outerRadius)) {
    if (outerRadius == 0.0) mOuterRadius = static_cast<float>(mRECT.W()) * 0.5f;
    mBlend = IChannelBlend(IChannelBlend::kBlendCopy);
}

bool IKnobLineControl::Draw(IGraphics* pGraphics) {
    const float angle = mMinAngle + (mMaxAngle - mMinAngle) * static_cast<float>(mValue);
    const float cx = static_cast<float>(mRECT.L + mRECT.R) * 0.5f;
    const float cy = static_cast<float>(mRECT.T + mRECT.B) * 0.5f;
    return pGraphics->DrawRadialLine(&mColor, cx, cy, angle, mInnerRadius, mOuterRadius, &mBlend, true);
}

// ---- IKnobRotaterControl ----

IKnobRotaterControl::IKnobRotaterControl(IEffectBase* pPlug, int x, int y, int paramIdx,
                                         const IBitmap* pBitmap, double minAngle, double maxAngle,
                                         int yOffsetZeroDeg, EDirection direction, double gearing)
    : IKnobControl(pPlug, nullptr, paramIdx, direction, gearing), mBitmap(pBitmap ? *pBitmap : IBitmap()),
      mMinAngle(minAngle), mMaxAngle(maxAngle), mYOffset(yOffsetZeroDeg) {
    mRECT = mTargetRECT = IRECT(x, y, x + mBitmap.W, y + mBitmap.H);
}

bool IKnobRotaterControl::Draw(IGraphics* pGraphics) {
    const double angle = mMinAngle + (mMaxAngle - mMinAngle) * mValue;
    const int cx = (mRECT.L + mRECT.R) / 2, cy = (mRECT.T + mRECT.B) / 2;
    return pGraphics->DrawRotatedBitmap(&mBitmap, cx, cy, angle, mYOffset, &mBlend);
}

// ---- IKnobMultiControl ----

IKnobMultiControl::IKnobMultiControl(IEffectBase* pPlug, int x, int y, int paramIdx, const IBitmap* pBitmap,
                                     EDirection direction, double gearing)
    : IKnobControl(pPlug, nullptr, paramIdx, direction, gearing), mBitmap(pBitmap ? *pBitmap : IBitmap()) {
    mRECT = mTargetRECT = IRECT(x, y, x + mBitmap.W, y + mBitmap.H / mBitmap.Frames());
}

int IKnobMultiControl::FrameForValue() const {
    return mBitmap.FrameForValue(mValue);
}

bool IKnobMultiControl::Draw(IGraphics* pGraphics) {
    return pGraphics->DrawBitmap(&mBitmap, &mRECT, FrameForValue(), &mBlend);
}

// ---- IKnobRotatingMaskControl ----

IKnobRotatingMaskControl::IKnobRotatingMaskControl(IEffectBase* pPlug, int x, int y, int paramIdx,
                                                   const IBitmap* pBase, const IBitmap* pMask,
                                                   const IBitmap* pTop, double minAngle, double maxAngle,
                                                   EDirection direction, double gearing)
    : IKnobControl(pPlug, nullptr, paramIdx, direction, gearing), mBase(pBase ? *pBase : IBitmap()),
      mMask(pMask ? *pMask : IBitmap()), mTop(pTop ? *pTop : IBitmap()), mMinAngle(minAngle),
      mMaxAngle(maxAngle) {
    mRECT = mTargetRECT = IRECT(x, y, x + mBase.W, y + mBase.H);
}

bool IKnobRotatingMaskControl::Draw(IGraphics* pGraphics) {
    const double angle = mMinAngle + (mMaxAngle - mMinAngle) * mValue;
    return pGraphics->DrawRotatedMask(&mBase, &mMask, &mTop, mRECT.L, mRECT.T, angle, &mBlend);
}

// ---- IFaderControl ----

IFaderControl::IFaderControl(IEffectBase* pPlug, int x, int y, int len, int paramIdx, const IBitmap* pBitmap,
                             EDirection direction, bool onlyHandle)
    : IControl(pPlug, nullptr, paramIdx), mLen(len), mBitmap(pBitmap ? *pBitmap : IBitmap()),
      mDirection(direction), mOnlyHandle(onlyHandle) {
    if (direction == kHorizontal) {
        mHandleHeadroom = mBitmap.W;
        mRECT = IRECT(x, y, x + len, y + mBitmap.H);
    } else {
        mHandleHeadroom = mBitmap.H;
        mRECT = IRECT(x, y, x + mBitmap.W, y + len);
    }
    mTargetRECT = mRECT;
}

IRECT IFaderControl::GetHandleRECT(double value) const {
    if (value < 0.0) value = mValue;
    const int travel = mLen - mHandleHeadroom;
    if (mDirection == kHorizontal) {
        const int offset = static_cast<int>(value * travel);
        return IRECT(mRECT.L + offset, mRECT.T, mRECT.L + offset + mBitmap.W, mRECT.T + mBitmap.H);
    }
    const int offset = static_cast<int>(travel * (1.0 - value));
    return IRECT(mRECT.L, mRECT.T + offset, mRECT.L + mBitmap.W, mRECT.T + offset + mBitmap.H);
}

void IFaderControl::SnapToMouse(int x, int y) {
    const int travel = mLen - mHandleHeadroom;
    if (travel > 0) {
        if (mDirection == kHorizontal)
            mValue = static_cast<double>(x - mRECT.L - mHandleHeadroom / 2) / static_cast<double>(travel);
        else
            mValue =
                1.0 - static_cast<double>(y - mRECT.T - mHandleHeadroom / 2) / static_cast<double>(travel);
    }
    SetDirty(true);
}

void IFaderControl::OnMouseDown(int x, int y, IMouseMod* pMod) {
    if (pMod && pMod->R) {
        PromptUserInput();
        return;
    }
    SnapToMouse(x, y);
}

void IFaderControl::OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* pMod) {
    (void)dX;
    (void)dY;
    (void)pMod;
    SnapToMouse(x, y);
}

void IFaderControl::OnMouseWheel(int x, int y, IMouseMod* pMod, int d) {
    (void)x;
    (void)y;
    mValue += WheelStep(pMod, d);
    SetDirty(true);
}

bool IFaderControl::Draw(IGraphics* pGraphics) {
    IRECT r = GetHandleRECT();
    return pGraphics->DrawBitmap(&mBitmap, &r, 1, &mBlend);
}

bool IFaderControl::IsHit(int x, int y) {
    if (!mOnlyHandle) return IControl::IsHit(x, y);
    const IRECT r = GetHandleRECT();
    return !r.Empty() && r.Contains(x, y);
}
