#pragma once
// The Tidebloom effect as named data: identity, channels, the five parameters and the six factory
// presets. The effect class, both bindings and the build-time LV2 Turtle generator read this one
// description. Constant data: any thread.
#include "framework/plugin/IEffectDescription.h"

enum EParams { kSensitivity = 0, kTime = 1, kDepth = 2, kVol = 3, kOnOff = 4, kNumParams = 5 };

extern const IEffectDescription kTidebloomDescription;
