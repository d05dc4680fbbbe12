#pragma once
// EditorTestEffect: a small VST effect with an editor on the headless platform, for the tests that drive
// the editor through the effect record (end to end, threads, loading and unloading the library).
//
// Four parameters: Gain (double 0..1), Time (double 0.01..10 s, label "s"), Mode (enum "Soft", "Hard",
// "Wild"), OnOff (bool). Three factory presets. The editor (555 x 306) holds a background picture, a
// 60-frame knob strip bound to Gain, a caption of Time, three radio buttons for Mode and a two-frame
// switch for OnOff; the pictures are made with raster calls and handed out by the headless platform's
// picture loading (the subclass makes them when the folder has none).
//
// Created through Entry like a plug-in's exported entry function creates its effect. The audio path
// multiplies by Gain while OnOff is on.
#include "framework/platform/linux/IGraphicsHeadless.h"
#include "framework/vst2/IEffectVST.h"

class EditorTestEffect : public IEffectVST {
public:
    enum EParams { kGain = 0, kTime, kMode, kOnOff, kNumParams };
    enum EControls { kBackground = 0, kKnob, kCaption, kRadio, kSwitch, kNumControls };
    static constexpr int kWidth = 555, kHeight = 306;
    static constexpr int kKnobFrames = 60, kKnobSize = 48;
    static constexpr int kKnobX = 40, kKnobY = 50;
    static constexpr int kSwitchX = 300, kSwitchY = 60;

    static AEffect* Entry(audioMasterCallback host);
    static EditorTestEffect* From(AEffect* effect) {
        return static_cast<EditorTestEffect*>(static_cast<IEffectVST*>(effect->object));
    }

    explicit EditorTestEffect(const IEffectInstanceInfo& info);

    void OnParamChange(int paramIdx) override;
    void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override;

    IGraphicsHeadless* Headless() { return static_cast<IGraphicsHeadless*>(GetGUI()); }

private:
    double mGain = 1.0;
    bool mOn = true;
};

// The headless platform with the test effect's pictures made on demand.
class EditorTestGraphics : public IGraphicsHeadless {
public:
    using IGraphicsHeadless::IGraphicsHeadless;
    Raster_IBitmap* OSLoadBitmap(int ID, const char* name) override;
};
