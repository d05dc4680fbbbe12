#include "Graphics/TidebloomEditor.h"

#include <memory>

#include "Graphics/IKnobMultiControlCap.h"
#include "Graphics/TidebloomSizes.h"
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

int TidebloomEditorLayout::NSizes() const {
    return kTidebloomNumSizes;
}

int TidebloomEditorLayout::SizePercent(int i) const {
    return i >= 0 && i < kTidebloomNumSizes ? kTidebloomSizes[i] : 100;
}

void TidebloomEditorLayout::EditorSize(int percent, int* pW, int* pH) const {
    *pW = TidebloomScaled(kTidebloomEditorWidth, percent);
    *pH = TidebloomScaled(kTidebloomEditorHeight, percent);
}

void TidebloomEditorLayout::Attach(IGraphics* pGraphics, IEffectBase* pPlug, int percent) const {
    const TidebloomSizedLayout layout(percent, mBackground);
    const TidebloomPicture& back = layout.Background();
    pGraphics->AttachBackground(back.id, back.path);
    IKnobMultiControlCap* knobs[kTidebloomNumKnobs];
    for (int i = 0; i < kTidebloomNumKnobs; ++i) {
        const TidebloomKnobLayout& k = layout.Knob(i);
        IBitmap strip = pGraphics->LoadIBitmap(k.knob.id, k.knob.path, k.knob.frames);
        IBitmap caption = pGraphics->LoadIBitmap(k.caption.id, k.caption.path, k.caption.frames);
        knobs[i] = new IKnobMultiControlCap(pPlug, k.anchorX, k.anchorY, k.param, &strip, &caption,
                                            kAlignCentre, kVertical, 4.0, false);
        knobs[i]->SetUnits(TidebloomUnitsFor(k.param));
        // Typed values: a right press opens a field over the knob, as wide as its readout, in the
        // readout's face a little larger (the field draws at 90 %).
        knobs[i]->SetPromptDisabled(false);
        knobs[i]->SetTextEntryLength(kPromptLength);
        const IText entry(k.labelSize + TidebloomScaled(2, percent), nullptr, kFace, IText::kStyleBold,
                          IText::kAlignCenter, 0, IText::kQualityAntiAliased);
        knobs[i]->SetText(&entry);
        const int w = k.readout.w, h = k.readout.h + TidebloomScaled(2, percent);
        knobs[i]->SetPromptRECT(
            IRECT(k.anchorX - w / 2, k.anchorY - h / 2, k.anchorX - w / 2 + w, k.anchorY - h / 2 + h));
        pGraphics->AttachControl(knobs[i]);
    }
    const TidebloomSwitchLayout& s = layout.Switch();
    IBitmap sw = pGraphics->LoadIBitmap(s.picture.id, s.picture.path, s.picture.frames);
    auto* onOff = new IWithReadout<ISwitchControl>(pPlug, s.x, s.y, s.param, &sw, IChannelBlend::kBlendNone);
    onOff->SetUnits(TidebloomUnitsFor(s.param));
    pGraphics->AttachControl(onOff);

    for (int i = 0; i < kTidebloomNumKnobs; ++i) {
        const TidebloomKnobLayout& k = layout.Knob(i);
        IReadoutControl* readout = MakeReadout(pPlug, k.readout, k.labelSize);
        pGraphics->AttachControl(readout);
        knobs[i]->SetReadout(readout);
    }
    IReadoutControl* readout = MakeReadout(pPlug, s.readout, s.labelSize);
    pGraphics->AttachControl(readout);
    onOff->SetReadout(readout);
    pGraphics->HandleMouseOver(true);
}

void TidebloomAttachControls(IGraphics* pGraphics, const TidebloomPicture& background) {
    if (!pGraphics) return;
    pGraphics->AttachLayout(std::make_unique<TidebloomEditorLayout>(background), 100);
}
