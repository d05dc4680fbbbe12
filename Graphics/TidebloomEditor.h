#pragma once
// Tidebloom's editor contents, attached to any editor: the one place the layout of
// Graphics/TidebloomLayout.h becomes controls. The plug-in attaches them to its X11 window host, the
// tests to the headless platform, so both draw the very same editor.
//
// In attaching order (controls draw in this order, after the background): the background picture, the
// four captioned knobs (Sensitivity, Time, Depth, Vol: 120-frame strips stacked vertically, vertical,
// gearing 4, centred on their anchors, caption shown), then the on/off switch (ISwitchControl, top-left
// at its anchor, alpha-blended at full weight, one frame of its picture as its rectangle). Pictures
// come through the editor's picture store (IGraphics::LoadIBitmap).
//
// Called on the thread that builds the editor, before the editor is attached to the plug-in.
class IEffectBase;
class IGraphics;

// pGraphics: an editor of kTidebloomEditorWidth x kTidebloomEditorHeight with no controls yet; the
// controls are bound to pPlug's parameters; background is the picture behind them (Tidebloom's, or
// Tidebloom Precise's, which names it). Nothing for a null editor.
struct TidebloomPicture;
void TidebloomAttachControls(IGraphics* pGraphics, IEffectBase* pPlug);
void TidebloomAttachControls(IGraphics* pGraphics, IEffectBase* pPlug, const TidebloomPicture& background);
