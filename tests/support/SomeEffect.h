#pragma once
// The description of "some effect" for the tests of the framework that need one: shaped like
// Tidebloom (five parameters Sensitivity, Time, Depth, Vol, OnOff with its ranges and defaults,
// "1-1 2-2", six factory presets, IDs 'Tblm' / 'Vdrx', version 1.0.0) but independent of it. Tests
// copy it and change the fields they vary. Constant data.
#include <array>
#include <span>

#include <algorithm>
#include <cmath>

#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/IEffectDescription.h"

namespace someeffect {

enum { kSensitivity = 0, kTime, kDepth, kVol, kOnOff, kNumParams };

constexpr IParamDescription kParams[kNumParams] = {
    {.mName = "Sensitivity",
     .mSymbol = "sensitivity",
     .mType = IParam::kTypeDouble,
     .mDefault = 0.7,
     .mMin = 0.0,
     .mMax = 1.0,
     .mStep = 0.001},
    {.mName = "Time",
     .mSymbol = "time",
     .mType = IParam::kTypeDouble,
     .mDefault = 0.5,
     .mMin = 0.0,
     .mMax = 1.0,
     .mStep = 0.001},
    {.mName = "Depth",
     .mSymbol = "depth",
     .mType = IParam::kTypeDouble,
     .mDefault = 0.75,
     .mMin = 0.0,
     .mMax = 1.0,
     .mStep = 0.001},
    {.mName = "Vol",
     .mSymbol = "vol",
     .mType = IParam::kTypeDouble,
     .mDefault = 1.0,
     .mMin = 0.0,
     .mMax = 2.0,
     .mStep = 0.001},
    {.mName = "OnOff",
     .mSymbol = "onoff",
     .mType = IParam::kTypeInt,
     .mDefault = 1.0,
     .mMin = 0.0,
     .mMax = 1.0},
};

// The same five with OnOff a Boolean parameter (display texts "off" and "on").
constexpr IParamDescription kParamsBoolOnOff[kNumParams] = {
    kParams[0],
    kParams[1],
    kParams[2],
    kParams[3],
    {.mName = "OnOff",
     .mSymbol = "onoff",
     .mType = IParam::kTypeBool,
     .mDefault = 1.0,
     .mMin = 0.0,
     .mMax = 1.0},
};

constexpr double kInit[kNumParams] = {0.7, 0.5, 0.75, 1.0, 1.0};
constexpr double kSwellOnAccent[kNumParams] = {0.5, 0.5, 0.75, 1.0, 1.0};
constexpr double kFunkedSwell[kNumParams] = {0.35, 0.431, 0.5, 1.0, 1.0};
constexpr double kArpeggio[kNumParams] = {0.676, 0.433, 1.0, 1.0, 1.0};
constexpr double kLongAmbientChords[kNumParams] = {0.44, 0.612, 1.0, 1.0, 1.0};
constexpr double kBeforeOverdrive[kNumParams] = {0.5, 0.772, 1.0, 1.0, 1.0};

constexpr IPresetDescription kPresets[] = {
    {.mName = "Init", .mValues = kInit},
    {.mName = "Swell on Accent", .mValues = kSwellOnAccent},
    {.mName = "Funked Swell", .mValues = kFunkedSwell},
    {.mName = "Arpeggio", .mValues = kArpeggio},
    {.mName = "Long Ambient Chords", .mValues = kLongAmbientChords},
    {.mName = "Before Overdrive", .mValues = kBeforeOverdrive},
};

constexpr IEffectDescription kDescription = {
    .mEffectName = "Tidebloom",
    .mProductName = "",
    .mMfrName = "vendrilax",
    .mVersion = 0x10000,
    .mUniqueID = ('T' << 24) | ('b' << 16) | ('l' << 8) | 'm',
    .mMfrID = ('V' << 24) | ('d' << 16) | ('r' << 8) | 'x',
    .mURI = "urn:tidebloom-tests:some-effect",
    .mChannelIO = "1-1 2-2",
    .mMinSampleRate = 8000.0,
    .mMaxSampleRate = 768000.0,
    .mParams = kParams,
    .mNumPresets = 6,
    .mPresets = kPresets,
};

// The parameter mapping of some effect's signal path: Vol is the gain while OnOff is on; Depth sets a
// delay of up to 1500 samples (cube-root curve); the latency reported is that delay while OnOff is on.
// The test effect owning it calls Map from its OnParamChange, under its plug-in mutex.
struct Mapping {
    double mVolume = 1.0;
    bool mOnOff = true;
    int mDelaySamples = 1500;

    double Gain() const { return mOnOff ? mVolume : 1.0; }
    void Map(IEffectBase& fx, int paramIdx) {
        const IParam* param = fx.GetParam(paramIdx);
        if (!param) return;
        const double v = param->Value();
        switch (paramIdx) {
        case kDepth:
            mDelaySamples = std::min(static_cast<int>(1500.0 * std::exp(std::log(v) / 3.0)), 1500);
            fx.SetLatency(mOnOff ? mDelaySamples : 0);
            break;
        case kVol:
            mVolume = v;
            break;
        case kOnOff:
            mOnOff = v != 0.0;
            fx.SetLatency(mOnOff ? mDelaySamples : 0);
            break;
        default:
            break;
        }
    }
};

// Plain parameters for tests that need many: n rows "P" of range 0..1, default 0.25, step 0.001
// (n at most 128).
inline std::span<const IParamDescription> PlainParams(int n) {
    static const auto rows = [] {
        std::array<IParamDescription, 128> r{};
        for (IParamDescription& p : r)
            p = {.mName = "P",
                 .mType = IParam::kTypeDouble,
                 .mDefault = 0.25,
                 .mMin = 0.0,
                 .mMax = 1.0,
                 .mStep = 0.001};
        return r;
    }();
    return std::span<const IParamDescription>(rows.data(), static_cast<size_t>(n));
}

} // namespace someeffect
