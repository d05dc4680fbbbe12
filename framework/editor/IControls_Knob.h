#pragma once
// The framework's knobs and fader. Knobs turn vertical (or horizontal) mouse movement into value: a full
// sweep takes (rectangle height x gearing) pixels, ten times that with shift or control held; the wheel
// moves 0.01 per step (0.001 with shift or control). Each is an IControl (see its header for threads and
// ownership); pictures stay owned by the picture store.
#include <numbers>

#include "framework/editor/IColor.h"
#include "framework/editor/IControl.h"
#include "framework/editor/IEditorEnums.h"

inline constexpr double DEFAULT_GEARING = 4.0;

// The dragging and wheel behaviour of every knob; drawing is the subclass's.
class IKnobControl : public IControl {
public:
    IKnobControl(IEffectBase* pPlug, const IRECT* pR, int paramIdx, EDirection direction = kVertical,
                 double gearing = DEFAULT_GEARING);
    void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* pMod) override;
    void OnMouseWheel(int x, int y, IMouseMod* pMod, int d) override;
    void SetGearing(double gearing) { mGearing = gearing; }
    double GetGearing() const { return mGearing; }

protected:
    EDirection mDirection;
    double mGearing;
};

// A line from the inner to the outer radius at angle min + (max - min) * value (radians, 0 up,
// clockwise), anti-aliased. An outer radius of 0 means half the rectangle's width.
class IKnobLineControl : public IKnobControl {
public:
    IKnobLineControl(IEffectBase* pPlug, const IRECT* pR, int paramIdx, const IColor* pColor,
                     double innerRadius = 0.0, double outerRadius = 0.0,
                     double minAngle = -0.75 * std::numbers::pi, double maxAngle = 0.75 * std::numbers::pi,
                     EDirection direction = kVertical, double gearing = DEFAULT_GEARING);
    bool Draw(IGraphics* pGraphics) override;

protected:
    IColor mColor;
    float mMinAngle, mMaxAngle, mInnerRadius, mOuterRadius;
};

// The picture turned by min + (max - min) * value radians about the rectangle's centre.
class IKnobRotaterControl : public IKnobControl {
public:
    IKnobRotaterControl(IEffectBase* pPlug, int x, int y, int paramIdx, const IBitmap* pBitmap,
                        double minAngle = -0.75 * std::numbers::pi, double maxAngle = 0.75 * std::numbers::pi,
                        int yOffsetZeroDeg = 0, EDirection direction = kVertical,
                        double gearing = DEFAULT_GEARING);
    bool Draw(IGraphics* pGraphics) override;

protected:
    IBitmap mBitmap;
    double mMinAngle, mMaxAngle;
    int mYOffset;
};

// A filmstrip knob: frame round((N - 1) * value) + 1 of an N-frame strip.
class IKnobMultiControl : public IKnobControl {
public:
    IKnobMultiControl(IEffectBase* pPlug, int x, int y, int paramIdx, const IBitmap* pBitmap,
                      EDirection direction = kVertical, double gearing = DEFAULT_GEARING);
    bool Draw(IGraphics* pGraphics) override;

    const IBitmap* GetBitmap() const { return &mBitmap; }
    // The frame (1-based) the current value shows.
    int FrameForValue() const;

protected:
    IBitmap mBitmap;
};

// base, with mask and top turned by min + (max - min) * value degrees (IGraphics::DrawRotatedMask).
class IKnobRotatingMaskControl : public IKnobControl {
public:
    IKnobRotatingMaskControl(IEffectBase* pPlug, int x, int y, int paramIdx, const IBitmap* pBase,
                             const IBitmap* pMask, const IBitmap* pTop, double minAngle = -151.0,
                             double maxAngle = 151.0, EDirection direction = kVertical,
                             double gearing = DEFAULT_GEARING);
    bool Draw(IGraphics* pGraphics) override;

protected:
    IBitmap mBase, mMask, mTop;
    double mMinAngle, mMaxAngle;
};

// A handle picture travelling len pixels; its centre follows the pointer on press and drag.
class IFaderControl : public IControl {
public:
    IFaderControl(IEffectBase* pPlug, int x, int y, int len, int paramIdx, const IBitmap* pBitmap,
                  EDirection direction = kVertical, bool onlyHandle = false);
    void OnMouseDown(int x, int y, IMouseMod* pMod) override;
    void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* pMod) override;
    void OnMouseWheel(int x, int y, IMouseMod* pMod, int d) override;
    bool Draw(IGraphics* pGraphics) override;
    // With only-handle set, only the handle's current rectangle is hit.
    bool IsHit(int x, int y) override;
    // Moves the value so the handle's centre is at the point, then SetDirty(true). A handle that fills
    // its travel does not move.
    virtual void SnapToMouse(int x, int y);

    int GetLength() const { return mLen; }
    int GetHandleHeadroom() const { return mHandleHeadroom; }
    // The handle's rectangle at a value (a negative value: the current one).
    IRECT GetHandleRECT(double value = -1.0) const;

protected:
    int mLen;
    int mHandleHeadroom;
    IBitmap mBitmap;
    EDirection mDirection;
    bool mOnlyHandle;
};
