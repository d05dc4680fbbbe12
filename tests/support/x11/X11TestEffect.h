#pragma once
// X11TestEffect: a small VST effect whose editor runs on the X11 window host, for the tests and the
// benchmark that embed it the way Linux hosts do.
//
// Parameters: Gain (double 0..1, 0.5), Steps (int 0..10, 5), OnOff (bool, on), Mode (enum "Soft",
// "Hard", "Wild"). The 400 x 300 editor: a background picture (a coordinate picture, loaded by name
// through the window host's picture loading from a compiled-in resource), filmstrip knobs for Gain,
// Steps and Mode with value prompts enabled (right click: a text field for Gain and Steps, a menu for Mode),
// a two-frame switch for OnOff, and a probe control that records what reaches it (mouse, wheel, keys)
// in Log().
//
// Threads: as any effect; the log is written on the editor's thread and read by the test between idle
// calls.
#include <string>
#include <vector>

#include "framework/platform/linux/IGraphicsLinux.h"
#include "framework/vst2/IEffectVST.h"

class X11TestEffect : public IEffectVST {
public:
    enum EParams { kGain = 0, kSteps, kOnOff, kMode, kNumParams };
    enum EControls { kBackground = 0, kGainKnob, kStepsKnob, kModeKnob, kSwitch, kProbe, kNumControls };
    static constexpr int kWidth = 400, kHeight = 300, kKnobSize = 48;
    static constexpr IRECT kGainRect{40, 50, 88, 98};
    static constexpr IRECT kStepsRect{120, 50, 168, 98};
    static constexpr IRECT kModeRect{200, 50, 248, 98};
    static constexpr int kSwitchX = 300, kSwitchY = 60, kSwitchW = 24, kSwitchH = 24;
    static constexpr IRECT kProbeRect{60, 180, 240, 290};

    static AEffect* Entry(audioMasterCallback host);
    static X11TestEffect* From(AEffect* effect) {
        return static_cast<X11TestEffect*>(static_cast<IEffectVST*>(effect->object));
    }

    explicit X11TestEffect(const IEffectInstanceInfo& info);
    void OnParamChange(int paramIdx) override;
    void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override;

    IGraphicsLinux* Gui() { return static_cast<IGraphicsLinux*>(GetGUI()); }
    std::vector<std::string>& Log() { return mLog; }

private:
    std::vector<std::string> mLog;
    double mGain = 0.5;
};
