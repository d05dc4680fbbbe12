#include "TidebloomDescription.h"

#include <cstdint>

namespace {

constexpr int32_t FourCC(char a, char b, char c, char d) {
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<unsigned char>(a)) << 24) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(b)) << 16) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(c)) << 8) |
                                static_cast<uint32_t>(static_cast<unsigned char>(d)));
}

// Sensitivity, Time, Depth and Vol are doubles; OnOff is an integer switch.
constexpr IParamDescription kParams[kNumParams] = {
    {.mName = "Sensitivity",
     .mSymbol = "sensitivity",
     .mType = IParam::kTypeDouble,
     .mDefault = 0.7,
     .mMin = 0.0,
     .mMax = 1.0,
     .mStep = 0.001,
     .mShape = 1.0},
    {.mName = "Time",
     .mSymbol = "time",
     .mType = IParam::kTypeDouble,
     .mDefault = 0.5,
     .mMin = 0.0,
     .mMax = 1.0,
     .mStep = 0.001,
     .mShape = 1.0},
    {.mName = "Depth",
     .mSymbol = "depth",
     .mType = IParam::kTypeDouble,
     .mDefault = 0.75,
     .mMin = 0.0,
     .mMax = 1.0,
     .mStep = 0.001,
     .mShape = 1.0},
    {.mName = "Vol",
     .mSymbol = "vol",
     .mType = IParam::kTypeDouble,
     .mDefault = 1.0,
     .mMin = 0.0,
     .mMax = 2.0,
     .mStep = 0.001,
     .mShape = 1.0},
    {.mName = "OnOff",
     .mSymbol = "onoff",
     .mType = IParam::kTypeInt,
     .mDefault = 1.0,
     .mMin = 0.0,
     .mMax = 1.0},
};

// Sensitivity, Time, Depth, Vol, OnOff.
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

} // namespace

constexpr IEffectDescription kTidebloomDescription = {
    .mEffectName = "Tidebloom",
    .mProductName = "",
    .mMfrName = "vendrilax",
    .mVersion = 0x10000, // 1.0.0
    .mUniqueID = FourCC('T', 'b', 'l', 'm'),
    .mMfrID = FourCC('V', 'd', 'r', 'x'),
    .mURI = "urn:vendrilax:tidebloom",
    .mLV2Class = "EnvelopePlugin",
    .mChannelIO = "1-1 2-2", // mono in to mono out, or stereo in to stereo out
    .mSideChainChannels = 0,
    .mLatency = 0, // set by the Depth and OnOff mapping
    // Depth 1 delays by the whole delay line, which keeps its length in seconds.
    .mMaxLatency = kHistoryLength,
    .mMaxLatencyRate = 44100.0,
    .mDoesMidi = false,
    .mDoesStateChunks = false,
    .mIsInstrument = false,
    // Every rate audio hardware offers, from telephone rates to 768 kHz.
    .mMinSampleRate = 8000.0,
    .mMaxSampleRate = 768000.0,
    .mParams = kParams,
    .mNumPresets = 6,
    .mPresets = kPresets,
};

constexpr IEffectDescription kTidebloomPreciseDescription = [] {
    IEffectDescription d = kTidebloomDescription;
    d.mEffectName = "Tidebloom Precise";
    d.mProductName = "Tidebloom Precise";
    d.mUniqueID = FourCC('T', 'b', 'l', 'p');
    d.mURI = "urn:vendrilax:tidebloom-precise";
    return d;
}();
