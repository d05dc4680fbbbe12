#include "Graphics/TidebloomEditor.h"

#include "Graphics/IKnobMultiControlCap.h"
#include "Graphics/TidebloomLayout.h"
#include "Graphics/TidebloomUnits.h"
#include "framework/editor/IControls_Bitmap.h"
#include "framework/editor/IGraphics.h"

namespace {

// The readouts' look: the product's coral on the panels' darkest blue.
constexpr IColor kReadoutText(255, 0xff, 0x8a, 0x5c);
constexpr IColor kReadoutPanel(255, 0x0b, 0x11, 0x16);
constexpr const char* kFace = "DejaVu Sans";
// The longest text the value prompt takes ("-12.345 dB" and room to spare).
constexpr int kPromptLength = 12;

IReadoutControl* MakeReadout(IEffectBase* pPlug, const TidebloomBox& b, int textSize) {
    const IRECT r(b.x, b.y, b.x + b.w, b.y + b.h);
    const IText text(textSize, &kReadoutText, kFace, IText::kStyleBold, IText::kAlignCenter, 0,
                     IText::kQualityAntiAliased);
    return new IReadoutControl(pPlug, &r, &text, kReadoutPanel, b.h / 4);
}

} // namespace

void TidebloomAttachControls(IGraphics* pGraphics, IEffectBase* pPlug) {
    if (!pGraphics) return;
    pGraphics->AttachBackground(kTidebloomBackground.id, kTidebloomBackground.path);
    IKnobMultiControlCap* knobs[kTidebloomNumKnobs];
    int i = 0;
    for (const TidebloomKnobLayout& k : kTidebloomKnobs) {
        IBitmap strip = pGraphics->LoadIBitmap(k.knob.id, k.knob.path, k.knob.frames);
        IBitmap caption = pGraphics->LoadIBitmap(k.caption.id, k.caption.path, k.caption.frames);
        knobs[i] = new IKnobMultiControlCap(pPlug, k.anchorX, k.anchorY, k.param, &strip, &caption,
                                            kAlignCentre, kVertical, 4.0, false);
        knobs[i]->SetUnits(TidebloomUnitsFor(k.param));
        // Typed values: a right press opens a field over the knob, as wide as its readout, in the
        // readout's face a little larger (the field draws at 90 %).
        knobs[i]->SetPromptDisabled(false);
        knobs[i]->SetTextEntryLength(kPromptLength);
        const IText entry(k.labelSize + 2, nullptr, kFace, IText::kStyleBold, IText::kAlignCenter, 0,
                          IText::kQualityAntiAliased);
        knobs[i]->SetText(&entry);
        const int w = k.readout.w, h = k.readout.h + 2;
        knobs[i]->SetPromptRECT(
            IRECT(k.anchorX - w / 2, k.anchorY - h / 2, k.anchorX - w / 2 + w, k.anchorY - h / 2 + h));
        pGraphics->AttachControl(knobs[i++]);
    }
    const TidebloomSwitchLayout& s = kTidebloomSwitch;
    IBitmap sw = pGraphics->LoadIBitmap(s.picture.id, s.picture.path, s.picture.frames);
    auto* onOff = new IWithReadout<ISwitchControl>(pPlug, s.x, s.y, s.param, &sw, IChannelBlend::kBlendNone);
    onOff->SetUnits(TidebloomUnitsFor(s.param));
    pGraphics->AttachControl(onOff);

    i = 0;
    for (const TidebloomKnobLayout& k : kTidebloomKnobs) {
        IReadoutControl* readout = MakeReadout(pPlug, k.readout, k.labelSize);
        pGraphics->AttachControl(readout);
        knobs[i++]->SetReadout(readout);
    }
    IReadoutControl* readout = MakeReadout(pPlug, s.readout, s.labelSize);
    pGraphics->AttachControl(readout);
    onOff->SetReadout(readout);
    pGraphics->HandleMouseOver(true);
}
