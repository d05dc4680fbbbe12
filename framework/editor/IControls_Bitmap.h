#pragma once
// The framework's panel, picture, switch and button controls. Each is an IControl (see its header for
// threads and ownership); pictures stay owned by the picture store. Frames are numbered from 1.
#include "framework/editor/IColor.h"
#include "framework/editor/IControl.h"
#include "framework/editor/IEditorEnums.h"
#include "framework/util/Util_TypedBuf.h"

// A rectangle filled with one colour.
class IPanelControl : public IControl {
public:
    IPanelControl(IEffectBase* pPlug, const IRECT* pR, const IColor* pColor);
    bool Draw(IGraphics* pGraphics) override;

protected:
    IColor mColor;
};

// A picture at (x, y), one frame in size; with several frames the value picks the frame
// (frame = round((N - 1) * value) + 1).
class IBitmapControl : public IControl {
public:
    IBitmapControl(IEffectBase* pPlug, int x, int y, int paramIdx, const IBitmap* pBitmap,
                   IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
    IBitmapControl(IEffectBase* pPlug, int x, int y, const IBitmap* pBitmap,
                   IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
    bool Draw(IGraphics* pGraphics) override;

    const IBitmap* GetBitmap() const { return &mBitmap; }
    // The frame (1-based) the current value shows.
    int FrameForValue() const;

protected:
    IBitmap mBitmap;
};

// A press steps the value by 1 / (N - 1) and wraps to 0 after the last frame; a double click is a press.
class ISwitchControl : public IBitmapControl {
public:
    ISwitchControl(IEffectBase* pPlug, int x, int y, int paramIdx, const IBitmap* pBitmap,
                   IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
    void OnMouseDown(int x, int y, IMouseMod* pMod) override;
    void OnMouseDblClick(int x, int y, IMouseMod* pMod) override;
};

// A press opens the value prompt (when prompts are enabled) and sends the value.
class ISwitchPopUpControl : public ISwitchControl {
public:
    ISwitchPopUpControl(IEffectBase* pPlug, int x, int y, int paramIdx, const IBitmap* pBitmap,
                        IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
    void OnMouseDown(int x, int y, IMouseMod* pMod) override;
};

// The rectangle is divided into one click area per frame; a press in area i sets value i / (N - 1).
// Prompts are enabled.
class ISwitchFramesControl : public ISwitchControl {
public:
    ISwitchFramesControl(IEffectBase* pPlug, int x, int y, int paramIdx, const IBitmap* pBitmap,
                         bool framesAreHorizontal = false,
                         IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
    void OnMouseDown(int x, int y, IMouseMod* pMod) override;

    int NAreas() const { return mRECTs.GetSize(); }
    const IRECT* GetArea(int i) const { return i >= 0 && i < mRECTs.GetSize() ? mRECTs.Get() + i : nullptr; }

protected:
    Util_TypedBuf<IRECT> mRECTs;
};

// A momentary button: a press as ISwitchControl, the release sets the value back to 0.
class IContactControl : public ISwitchControl {
public:
    IContactControl(IEffectBase* pPlug, int x, int y, int paramIdx, const IBitmap* pBitmap,
                    IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
    void OnMouseUp(int x, int y, IMouseMod* pMod) override;
};

// A switch shown only while its value is 0.5 or more; while hidden it is hit in the target area instead
// of its own rectangle.
class IBitmapOverlayControl : public ISwitchControl {
public:
    IBitmapOverlayControl(IEffectBase* pPlug, int x, int y, int paramIdx, const IBitmap* pBitmap,
                          const IRECT* pTargetArea);
    IBitmapOverlayControl(IEffectBase* pPlug, int x, int y, const IBitmap* pBitmap, const IRECT* pTargetArea);
    bool Draw(IGraphics* pGraphics) override;
    bool IsHit(int x, int y) override;

protected:
    IRECT mTargetArea;
};

// An invisible area: a press toggles the value between 0 and 1.
class IInvisibleSwitchControl : public IControl {
public:
    IInvisibleSwitchControl(IEffectBase* pPlug, const IRECT* pR, int paramIdx);
    bool Draw(IGraphics* pGraphics) override;
    void OnMouseDown(int x, int y, IMouseMod* pMod) override;
};

// nButtons buttons laid out along the rectangle, each drawn with frame 2 of a two-frame picture when it
// is the one the value selects, else frame 1; a press on button i sets value i / (nButtons - 1).
class IRadioButtonsControl : public IControl {
public:
    IRadioButtonsControl(IEffectBase* pPlug, const IRECT* pR, int paramIdx, int nButtons,
                         const IBitmap* pBitmap, EDirection direction = kVertical, bool reverse = false);
    bool Draw(IGraphics* pGraphics) override;
    void OnMouseDown(int x, int y, IMouseMod* pMod) override;

    int NButtons() const { return mRECTs.GetSize(); }
    const IRECT* GetButton(int i) const {
        return i >= 0 && i < mRECTs.GetSize() ? mRECTs.Get() + i : nullptr;
    }

protected:
    Util_TypedBuf<IRECT> mRECTs;
    IBitmap mBitmap;
};
