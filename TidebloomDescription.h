#pragma once
// The Tidebloom effects as named data: identity, channels, the five parameters and the six factory
// presets. The effect classes, both bindings and the build-time LV2 Turtle generator read these
// descriptions. Tidebloom Precise differs from Tidebloom in its identity only (name, unique ID, URI):
// the same parameters and presets, so their chunks interchange. Constant data: any thread.
#include "framework/plugin/IEffectDescription.h"

enum EParams { kSensitivity = 0, kTime = 1, kDepth = 2, kVol = 3, kOnOff = 4, kNumParams = 5 };

// Length of each channel's delay line at 44.1 kHz, and so the longest delay there; at other rates
// the delay line keeps this length in seconds (34 ms). The description's longest latency.
constexpr int kHistoryLength = 1500;

extern const IEffectDescription kTidebloomDescription;
extern const IEffectDescription kTidebloomPreciseDescription;
