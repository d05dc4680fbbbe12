#include "tests/support/x11/X11TestEffect.h"
#include "tests/support/UntypedDescription.h"
#include "tests/support/vst2/EffectEntry.h"

#include "framework/editor/IControls_Bitmap.h"
#include "framework/editor/IControls_Knob.h"
#include "tests/support/editor/EditorFixture.h"
#include "tests/support/editor/TestPictures.h"

namespace {

enum EPictures { kBackgroundID = 300, kSwitchID, kKnobID };
constexpr int kKnobFrames = 32;

// The pictures, registered once as compiled-in named resources.
void RegisterPictures() {
    static const bool sDone = [] {
        RegisterPicture("x11_back.png",
                        MakeCoordPicture(X11TestEffect::kWidth, X11TestEffect::kHeight).get());
        auto sw = MakeSolidPicture(X11TestEffect::kSwitchW, 2 * X11TestEffect::kSwitchH, Px(64, 64, 64));
        for (int y = X11TestEffect::kSwitchH; y < 2 * X11TestEffect::kSwitchH; ++y)
            for (int x = 0; x < X11TestEffect::kSwitchW; ++x)
                sw->getBits()[y * sw->getRowSpan() + x] = Px(64, 224, 64);
        RegisterPicture("x11_switch.png", sw.get());
        // Every pixel of every frame differs, so a wrong frame or a stale pixel shows.
        RegisterPicture(
            "x11_knob.png",
            MakeCoordPicture(X11TestEffect::kKnobSize, X11TestEffect::kKnobSize * kKnobFrames).get());
        return true;
    }();
    (void)sDone;
}

} // namespace

AEffect* X11TestEffect::Entry(audioMasterCallback host) {
    return EffectEntry<X11TestEffect>(host);
}

X11TestEffect::X11TestEffect(const IEffectInstanceInfo& info)
    : IEffectVST(info, UntypedDescription<kNumParams>("X11Test", VstFourCC('T', 'b', 'X', 'e'), 1)) {
    GetParam(kGain)->InitDouble("Gain", 0.5, 0.0, 1.0, 0.001);
    GetParam(kSteps)->InitInt("Steps", 5, 0, 10);
    GetParam(kOnOff)->InitBool("OnOff", true);
    GetParam(kMode)->InitEnum("Mode", 0, 3);
    GetParam(kMode)->SetDisplayText(0, "Soft");
    GetParam(kMode)->SetDisplayText(1, "Hard");
    GetParam(kMode)->SetDisplayText(2, "Wild");
    RegisterPictures();

    auto* g = new IGraphicsLinux(this, kWidth, kHeight, 25);
    g->AttachBackground(kBackgroundID, "resources/img/x11_back.png");
    IBitmap strip = g->LoadIBitmap(kKnobID, "x11_knob.png", kKnobFrames);
    const IRECT rects[] = {kGainRect, kStepsRect, kModeRect};
    const int params[] = {kGain, kSteps, kMode};
    for (int i = 0; i < 3; ++i) {
        auto* knob = new IKnobMultiControl(this, rects[i].L, rects[i].T, params[i], &strip);
        knob->SetPromptDisabled(false);
        g->AttachControl(knob);
    }
    IBitmap sw = g->LoadIBitmap(kSwitchID, "x11_switch.png", 2);
    g->AttachControl(new ISwitchControl(this, kSwitchX, kSwitchY, kOnOff, &sw));
    g->AttachControl(new ProbeControl(this, kProbeRect, -1, "probe", &mLog));
    AttachGraphics(g);
}

void X11TestEffect::OnParamChange(int paramIdx) {
    Util_MutexLock lock(mMutex);
    if (paramIdx == kGain) mGain = GetParam(kGain)->Value();
}

void X11TestEffect::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) {
    for (int c = 0; c < NOutChannels(); ++c)
        for (int i = 0; i < nFrames; ++i) outputs[c][i] = inputs[c][i] * mGain;
}
