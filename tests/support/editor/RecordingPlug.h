#pragma once
// RecordingPlug: a plug-in object without a host binding for the editor tests. Its parameters cover the
// kinds the editor treats differently, and it records what the editor does to it (gestures, automation,
// parameter changes) as text lines in call order.
#include <string>
#include <vector>

#include "framework/plugin/IEffectBase.h"

class RecordingPlug : public IEffectBase {
public:
    enum EParams {
        kGain = 0, // double 0..1, step 0.01
        kMode,     // enum of 3: "Soft", "Hard", "Wild"
        kOnOff,    // bool with display texts "off" / "on"
        kSteps,    // int 0..10
        kLevel,    // double -12..12, step 0.1, label "dB", display negated
        kSparse,   // enum of 4 with texts only for 0 and 2 ("zero", "two")
        kNumParams
    };

    RecordingPlug();

    void BeginInformHostOfParamChange(int paramIdx) override;
    void InformHostOfParamChange(int paramIdx, double normalizedValue) override;
    void EndInformHostOfParamChange(int paramIdx) override;
    void OnParamChange(int paramIdx) override;
    void ResizeGraphics(int w, int h) override;

    // "begin 0", "automate 0 0.500000", "end 0", "change 0", "resize 10 20".
    std::vector<std::string> mEvents;
    // Only the lines starting with prefix.
    std::vector<std::string> Events(const std::string& prefix) const;
};
