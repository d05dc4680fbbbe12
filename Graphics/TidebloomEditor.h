#pragma once
// Tidebloom's editor contents, attached to any editor: the one place the layout of
// Graphics/TidebloomLayout.h (at the editor's sizes, Graphics/TidebloomSizes.h) becomes controls. The
// plug-in attaches them to its X11 window host, the tests to the headless platform, so both draw the very
// same editor.
//
// In attaching order (controls draw in this order, after the background): the background picture, the
// four captioned knobs (Sensitivity, Time, Depth, Vol: 120-frame strips stacked vertically, vertical,
// gearing 4, centred on their anchors, caption shown), the on/off switch (an ISwitchControl, top-left
// at its anchor, alpha-blended at full weight, one frame of its picture as its rectangle), then one
// readout (IReadoutControl) per knob and the switch's, in the same order, hidden until its control is
// in use. Each control speaks its parameter's units (TidebloomUnits); a right press on a knob opens a
// text field over it for a value in those units. Pictures come through the editor's picture store
// (IGraphics::LoadIBitmap), each size's own. The editor routes mouse-over, so hovering shows readouts.
//
// Called on the thread that builds the editor, before the editor is attached to the plug-in; at a size
// change the editor calls the layout again on its own thread.
#include "Graphics/TidebloomLayout.h"
#include "framework/editor/IEditorLayout.h"

// The index of the first readout among the editor's controls (the one of the first knob).
inline constexpr int kTidebloomFirstReadout = 6;

// Tidebloom's controls at 100 %, 150 % and 200 %, over a background (Tidebloom's, or Tidebloom Precise's,
// which names it; given at 100 %, each size its own).
class TidebloomEditorLayout final : public IEditorLayout {
public:
    explicit TidebloomEditorLayout(const TidebloomPicture& background) : mBackground(background) {}
    int NSizes() const override;
    int SizePercent(int i) const override;
    void EditorSize(int percent, int* pW, int* pH) const override;
    void Attach(IGraphics* pGraphics, IEffectBase* pPlug, int percent) const override;

private:
    TidebloomPicture mBackground;
};

// pGraphics: an editor of kTidebloomEditorWidth x kTidebloomEditorHeight with no controls yet; it gets
// the layout (TidebloomEditorLayout over background) and the controls at 100 %, bound to the parameters
// of the editor's plug-in. Nothing for a null editor.
void TidebloomAttachControls(IGraphics* pGraphics, const TidebloomPicture& background = kTidebloomBackground);
