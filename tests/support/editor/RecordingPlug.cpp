#include "tests/support/editor/RecordingPlug.h"
#include "tests/support/UntypedDescription.h"

#include <cstdio>

RecordingPlug::RecordingPlug()
    : IEffectBase(UntypedDescription<kNumParams>("Recording", 0x54627263, 1), kAPIVST2) {
    GetParam(kGain)->InitDouble("Gain", 0.5, 0.0, 1.0, 0.01);
    GetParam(kMode)->InitEnum("Mode", 1, 3);
    GetParam(kMode)->SetDisplayText(0, "Soft");
    GetParam(kMode)->SetDisplayText(1, "Hard");
    GetParam(kMode)->SetDisplayText(2, "Wild");
    GetParam(kOnOff)->InitBool("OnOff", true);
    GetParam(kSteps)->InitInt("Steps", 3, 0, 10);
    GetParam(kLevel)->InitDouble("Level", 0.0, -12.0, 12.0, 0.1, "dB");
    GetParam(kLevel)->SetNegateDisplay(true);
    GetParam(kSparse)->InitEnum("Sparse", 0, 4);
    GetParam(kSparse)->SetDisplayText(0, "zero");
    GetParam(kSparse)->SetDisplayText(2, "two");
}

void RecordingPlug::BeginInformHostOfParamChange(int paramIdx) {
    mEvents.push_back("begin " + std::to_string(paramIdx));
}

void RecordingPlug::InformHostOfParamChange(int paramIdx, double normalizedValue) {
    char line[64];
    std::snprintf(line, sizeof(line), "automate %d %f", paramIdx, normalizedValue);
    mEvents.push_back(line);
}

void RecordingPlug::EndInformHostOfParamChange(int paramIdx) {
    mEvents.push_back("end " + std::to_string(paramIdx));
}

void RecordingPlug::OnParamChange(int paramIdx) {
    mEvents.push_back("change " + std::to_string(paramIdx));
}

void RecordingPlug::ResizeGraphics(int w, int h) {
    mEvents.push_back("resize " + std::to_string(w) + " " + std::to_string(h));
}

std::vector<std::string> RecordingPlug::Events(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& e : mEvents)
        if (e.compare(0, prefix.size(), prefix) == 0) out.push_back(e);
    return out;
}
