#pragma once
// The Tidebloom effect as named data: identity, channels, the five parameters and the six factory
// presets. The effect class, both bindings and the build-time LV2 Turtle generator read this one
// description. Constant data: any thread.
#include "framework/plugin/IEffectDescription.h"

enum EParams { kSensitivity = 0, kTime = 1, kDepth = 2, kVol = 3, kOnOff = 4, kNumParams = 5 };

// Length of each channel's delay line at 44.1 kHz, and so the longest delay there; at other rates
// the delay line keeps this length in seconds (34 ms). The description's longest latency.
constexpr int kHistoryLength = 1500;

extern const IEffectDescription kTidebloomDescription;
