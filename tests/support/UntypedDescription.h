#pragma once
// The description of a test plug-in that takes only its identity and slot counts from it: NParams
// parameters of no kind (its constructor gives them their kinds with the IParam Init calls), "1-1 2-2",
// no factory presets, version 1.0.0, maker ID 'Vdrx', every sample rate the plug-in base serves.
// The parameter rows are static; the description itself is a value the caller passes on at once.
#include <cstdint>

#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/IEffectDescription.h"

template <int NParams>
IEffectDescription UntypedDescription(const char* effectName, int32_t uniqueID, int nPresets) {
    static constexpr IParamDescription kRows[NParams] = {};
    IEffectDescription d;
    d.mEffectName = effectName;
    d.mMfrName = "Tidebloom";
    d.mVersion = 0x10000;
    d.mUniqueID = uniqueID;
    d.mMfrID = 0x56647278; // 'Vdrx'
    d.mChannelIO = "1-1 2-2";
    d.mMinSampleRate = 8000.0;
    d.mMaxSampleRate = 768000.0;
    d.mParams = kRows;
    d.mNumPresets = nPresets;
    return d;
}
