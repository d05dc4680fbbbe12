#pragma once
// Tidebloom's editor contents, attached to any editor: the one place the layout of
// Graphics/TidebloomLayout.h becomes controls. The plug-in attaches them to its X11 window host, the
// tests to the headless platform, so both draw the very same editor.
//
// In attaching order (controls draw in this order, after the background): the background picture, the
// four captioned knobs (Sensitivity, Time, Depth, Vol: 120-frame strips stacked vertically, vertical,
// gearing 4, centred on their anchors, caption shown), the on/off switch (an ISwitchControl, top-left
// at its anchor, alpha-blended at full weight, one frame of its picture as its rectangle), then one
// readout (IReadoutControl) per knob and the switch's, in the same order, hidden until its control is
// in use. Each control speaks its parameter's units (TidebloomUnits); a right press on a knob opens a
// text field over it for a value in those units. Pictures come through the editor's
// picture store (IGraphics::LoadIBitmap). The editor routes mouse-over, so hovering shows readouts.
//
// Called on the thread that builds the editor, before the editor is attached to the plug-in.
class IEffectBase;
class IGraphics;

// The index of the first readout among the editor's controls (the one of the first knob).
inline constexpr int kTidebloomFirstReadout = 6;

// pGraphics: an editor of kTidebloomEditorWidth x kTidebloomEditorHeight with no controls yet; the
// controls are bound to pPlug's parameters. Nothing for a null editor.
void TidebloomAttachControls(IGraphics* pGraphics, IEffectBase* pPlug);
