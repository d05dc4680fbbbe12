#pragma once
// IKnobMultiControlCap: Tidebloom's knob. A filmstrip knob (IKnobMultiControl: dragging, wheel, double
// click and value handling unchanged) placed by an anchor point, with a caption picture (the knob's
// scale) drawn behind its strip, and a readout of its value in its units while it is in use
// (IWithReadout).
//
// Placement: with kAlignTopLeft the knob's rectangle (one frame of the strip) has its top-left corner at
// the anchor and so has the caption; with kAlignCentre both are centred on the anchor, integer halves
// truncated toward zero. Any other alignment is only stored.
//
// Drawing: frame 1 of the caption (when there is one and it is not hidden), plainly blended with its
// alpha, then the strip's frame (int)((N - 1) * value) + 1 (truncated, not rounded: frame N only at
// value 1; values outside 0..1 stay on the first or last frame) with the control's blend.
//
// Typed values: with prompts enabled and a prompt rectangle set, a right press opens the editor's text
// field there (IControl::PromptUserInput), showing the value in the knob's units when it has some; the
// press is no edit of its own (PressEdits), and right-button drags turn nothing, so the typed value is
// the only edit: one gesture of its own when it is committed (IGraphics::SetFromStringAfterPrompt).
//
// Keys: up and down step the value by a hundredth, by a thousandth with Shift (or Control) held, as
// an edit gesture of their own (IGraphics::EditValue); the editor hands keys to the knob under the
// pointer.
//
// Threads and ownership as any IControl: made by the effect's layout code, owned by the editor, touched
// on the editor's thread. The knob owns its copy of the caption's IBitmap record; the pixels of both
// pictures stay owned by the picture store.
#include <memory>

#include "Graphics/IWithReadout.h"
#include "framework/editor/IControls_Knob.h"

enum EAlignment : int { kAlignTopLeft = 0, kAlignCentre = 1 };

class IKnobMultiControlCap : public IWithReadout<IKnobMultiControl> {
public:
    // pCaption may be null (no caption). The rectangles start as one frame at (x, y), then
    // SetAlignment(alignment) places them.
    IKnobMultiControlCap(IEffectBase* pPlug, int x, int y, int paramIdx, const IBitmap* pBitmap,
                         const IBitmap* pCaption, EAlignment alignment = kAlignCentre,
                         EDirection direction = kVertical, double gearing = DEFAULT_GEARING,
                         bool hideCaption = false);
    ~IKnobMultiControlCap() override;
    bool Draw(IGraphics* pGraphics) override;
    // A right press opens the value prompt (see above); other presses as the filmstrip knob's.
    void OnMouseDown(int x, int y, IMouseMod* pMod) override;
    // Right-button drags do nothing; others turn the knob.
    void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* pMod) override;
    // A right press is no edit.
    bool PressEdits(IMouseMod* pMod) override;
    // Up and down (key codes 1 and 2) step the value; other keys are not taken.
    bool OnKeyDown(int x, int y, int key) override;

    // Where the value prompt's text field opens (all zero: the framework's rectangle, 40 x 16 centred).
    void SetPromptRECT(const IRECT& r) { mPromptRECT = r; }
    const IRECT* GetPromptRECT() const { return &mPromptRECT; }

    // Stores the alignment and places the drawing, hit and caption rectangles from the anchor (so it
    // may be called again with another alignment).
    void SetAlignment(EAlignment alignment);
    // Shows or hides the caption from the next redraw of the knob on; it does not mark the knob dirty.
    void HideCaption(bool hide) { mHideCaption = hide; }

    EAlignment GetAlignment() const { return mAlignment; }
    bool IsCaptionHidden() const { return mHideCaption; }
    const IBitmap* GetCaptionBitmap() const { return mCaptionBitmap.get(); }
    // Where the caption is drawn; all zero without a caption or before an alignment placed it.
    const IRECT* GetCaptionRECT() const { return &mCaptionRECT; }
    // The strip frame (1-based) the current value shows.
    int ShownFrame() const;

private:
    std::unique_ptr<IBitmap> mCaptionBitmap;
    int mAnchorX, mAnchorY;
    IRECT mCaptionRECT;
    IRECT mPromptRECT;
    EAlignment mAlignment = kAlignTopLeft;
    bool mHideCaption;
};
