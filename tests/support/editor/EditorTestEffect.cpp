#include "tests/support/editor/EditorTestEffect.h"
#include "tests/support/UntypedDescription.h"
#include "tests/support/vst2/EffectEntry.h"

#include <cstring>
#include <vector>

#include "framework/editor/IControls_Bitmap.h"
#include "framework/editor/IControls_Knob.h"
#include "framework/editor/IControls_Text.h"
#include "framework/raster/Raster_Blit.h"
#include "framework/raster/Raster_PNG.h"
#include "framework/raster/Raster_ShapeCircle.h"

namespace {

enum EPictures { kBackgroundID = 100, kKnobID, kSwitchID, kRadioID };

Raster_IBitmap* MakePicture(const char* name) {
    const int n = EditorTestEffect::kKnobFrames, s = EditorTestEffect::kKnobSize;
    if (std::strcmp(name, "back.png") == 0) {
        auto* bm = new Raster_MemBitmap(EditorTestEffect::kWidth, EditorTestEffect::kHeight);
        Raster_GradRect(bm, 0, 0, bm->getWidth(), bm->getHeight(), 0.2f, 0.3f, 0.4f, 1.0f, 0.001f, 0.0f, 0.0f,
                        0.0f, 0.0f, 0.001f, 0.0f, 0.0f, RASTER_BLEND_COPY);
        return bm;
    }
    if (std::strcmp(name, "knob.png") == 0) {
        auto* bm = new Raster_MemBitmap(s, s * n);
        Raster_Clear(bm, 0);
        for (int f = 0; f < n; ++f) {
            const float cy = static_cast<float>(f * s + s / 2);
            Raster_FillCircle(bm, s / 2.0f, cy, s / 2.0f - 2, 0xFF303030u | 0xFFu, 1.0f, RASTER_BLEND_COPY,
                              true);
            Raster_Arc(bm, s / 2.0f, cy, s / 2.0f - 4, -2.4f, -2.4f + 4.8f * f / (n - 1), 0xFF00FFFFu, 1.0f,
                       RASTER_BLEND_COPY, true);
        }
        return bm;
    }
    if (std::strcmp(name, "switch.png") == 0 || std::strcmp(name, "radio.png") == 0) {
        auto* bm = new Raster_MemBitmap(24, 48);
        Raster_FillRect(bm, 0, 0, 24, 24, 0x404040FFu, 1.0f, RASTER_BLEND_COPY);
        Raster_FillRect(bm, 0, 24, 24, 24, 0x40E040FFu, 1.0f, RASTER_BLEND_COPY);
        return bm;
    }
    return nullptr;
}

} // namespace

Raster_IBitmap* EditorTestGraphics::OSLoadBitmap(int ID, const char* name) {
    if (Raster_IBitmap* bm = IGraphicsHeadless::OSLoadBitmap(ID, name)) return bm;
    Raster_IBitmap* made = name ? MakePicture(name) : nullptr;
    if (!made || made->getWidth() * made->getHeight() > 4096) return made;
    // The small pictures go through PNG and back, as a real picture arrives.
    std::vector<unsigned char> png;
    const bool written = Raster_WritePNGToMemory(made, &png);
    delete made;
    return written ? Raster_LoadPNGFromMemory(png.data(), static_cast<int>(png.size()), nullptr) : nullptr;
}

AEffect* EditorTestEffect::Entry(audioMasterCallback host) {
    return EffectEntry<EditorTestEffect>(host);
}

EditorTestEffect::EditorTestEffect(const IEffectInstanceInfo& info)
    : IEffectVST(info, UntypedDescription<kNumParams>("EditorTest", VstFourCC('T', 'b', 'E', 'd'), 3)) {
    GetParam(kGain)->InitDouble("Gain", 0.5, 0.0, 1.0, 0.001);
    GetParam(kTime)->InitDouble("Time", 1.0, 0.01, 10.0, 0.01, "s");
    GetParam(kMode)->InitEnum("Mode", 0, 3);
    GetParam(kMode)->SetDisplayText(0, "Soft");
    GetParam(kMode)->SetDisplayText(1, "Hard");
    GetParam(kMode)->SetDisplayText(2, "Wild");
    GetParam(kOnOff)->InitBool("OnOff", true);
    MakePreset("Quiet", 0.1, 0.5, 0, 1);
    MakePreset("Loud", 0.9, 2.0, 1, 1);
    MakePreset("Off", 0.5, 5.0, 2, 0);

    EditorTestGraphics* g = new EditorTestGraphics(this, kWidth, kHeight, 25, nullptr);
    g->AttachBackground(kBackgroundID, "back.png");
    IBitmap knob = g->LoadIBitmap(kKnobID, "knob.png", kKnobFrames);
    g->AttachControl(new IKnobMultiControl(this, kKnobX, kKnobY, kGain, &knob, kVertical, 2.0));
    IText text(12, &COLOR_WHITE);
    IRECT captionRect(30, 110, 130, 126);
    g->AttachControl(new ICaptionControl(this, &captionRect, kTime, &text, true));
    IBitmap radio = g->LoadIBitmap(kRadioID, "radio.png", 2);
    IRECT radioRect(200, 40, 224, 140);
    g->AttachControl(new IRadioButtonsControl(this, &radioRect, kMode, 3, &radio));
    IBitmap sw = g->LoadIBitmap(kSwitchID, "switch.png", 2);
    g->AttachControl(new ISwitchControl(this, kSwitchX, kSwitchY, kOnOff, &sw));
    AttachGraphics(g);
}

void EditorTestEffect::OnParamChange(int paramIdx) {
    Util_MutexLock lock(mMutex);
    if (paramIdx == kGain) mGain = GetParam(kGain)->Value();
    if (paramIdx == kOnOff) mOn = GetParam(kOnOff)->Bool();
}

void EditorTestEffect::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) {
    const double gain = mOn ? mGain : 1.0;
    for (int c = 0; c < NOutChannels(); ++c)
        for (int i = 0; i < nFrames; ++i) outputs[c][i] = inputs[c][i] * gain;
}
