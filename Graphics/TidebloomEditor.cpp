#include "Graphics/TidebloomEditor.h"

#include "Graphics/IKnobMultiControlCap.h"
#include "Graphics/TidebloomLayout.h"
#include "framework/editor/IControls_Bitmap.h"
#include "framework/editor/IGraphics.h"

void TidebloomAttachControls(IGraphics* pGraphics, IEffectBase* pPlug) {
    TidebloomAttachControls(pGraphics, pPlug, kTidebloomBackground);
}

void TidebloomAttachControls(IGraphics* pGraphics, IEffectBase* pPlug, const TidebloomPicture& background) {
    if (!pGraphics) return;
    pGraphics->AttachBackground(background.id, background.path);
    for (const TidebloomKnobLayout& k : kTidebloomKnobs) {
        IBitmap strip = pGraphics->LoadIBitmap(k.knob.id, k.knob.path, k.knob.frames);
        IBitmap caption = pGraphics->LoadIBitmap(k.caption.id, k.caption.path, k.caption.frames);
        pGraphics->AttachControl(new IKnobMultiControlCap(pPlug, k.anchorX, k.anchorY, k.param, &strip,
                                                          &caption, kAlignCentre, kVertical, 4.0, false));
    }
    const TidebloomSwitchLayout& s = kTidebloomSwitch;
    IBitmap sw = pGraphics->LoadIBitmap(s.picture.id, s.picture.path, s.picture.frames);
    pGraphics->AttachControl(new ISwitchControl(pPlug, s.x, s.y, s.param, &sw, IChannelBlend::kBlendNone));
}
