#pragma once
// IEffectDescription: an effect as named data, known before any instance exists: identity, channel
// configurations, parameters, factory presets and the sample rates it serves. The plug-in base builds
// its parameters and presets from it, each binding reads its identity from it, and the build-time
// Turtle generator writes the LV2 description from it, so none of them can disagree.
//
// Plain constant data, usually a constexpr object with static storage; every pointer and span in it
// must outlive whoever reads it. Readers only read: any thread, no lock.
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "framework/plugin/IParam.h"

// One parameter. mType selects the Init call: kTypeDouble (InitDouble with every field), kTypeInt
// (InitInt from the truncated default, minimum and maximum), kTypeBool (InitBool: default != 0, range
// 0..1, texts "off" and "on"), kTypeEnum (InitEnum with mMax + 1 values from 0). kTypeNone leaves the
// parameter as a default-constructed IParam.
struct IParamDescription {
    const char* mName = "";   // shown to hosts (at most 31 characters)
    const char* mSymbol = ""; // stable identifier: a letter or '_', then letters, digits or '_'
    IParam::EParamType mType = IParam::kTypeNone;
    double mDefault = 0.0;
    double mMin = 0.0;
    double mMax = 1.0;
    double mStep = 1.0;
    double mShape = 1.0;
    const char* mLabel = "";
    const char* mGroup = "";
};

// One factory preset: its name and one plain value per parameter, in index order.
struct IPresetDescription {
    const char* mName = "";
    std::span<const double> mValues = {};
};

struct IEffectDescription {
    // ---- Identity ----
    const char* mEffectName = "";
    const char* mProductName = "";
    const char* mMfrName = "";
    int32_t mVersion = 0; // major in bits 16-31, minor in bits 8-15, patch in bits 0-7
    int32_t mUniqueID = 0;
    int32_t mMfrID = 0;
    const char* mURI = "";                 // the LV2 plug-in URI
    const char* mLV2Class = "Plugin";      // the LV2 plug-in class, a name from the lv2core vocabulary
    const char* mCLAPId = "";              // the CLAP plug-in id, in reverse-DNS form from the maker's name
    const char* mVST3Subcategories = "Fx"; // the VST 3 class's subcategories, '|' between them
    // ---- Channels: "<in>-<out>" entries separated by single spaces, e.g. "1-1 2-2" ----
    const char* mChannelIO = "";
    int mSideChainChannels = 0;
    // ---- Behaviour ----
    int mLatency = 0; // latency in samples before any parameter is mapped
    // The longest delay the effect ever reports, in samples at the rate mMaxLatencyRate; the delay keeps
    // its length in seconds, so at other rates it grows and shrinks with the rate (0: no delay).
    int mMaxLatency = 0;
    double mMaxLatencyRate = 44100.0;
    bool mDoesMidi = false;
    bool mDoesStateChunks = false;
    bool mIsInstrument = false;
    // The sample rates the effect serves, in Hz (inclusive).
    double mMinSampleRate = 0.0;
    double mMaxSampleRate = 0.0;
    // ---- Parameters and presets ----
    std::span<const IParamDescription> mParams = {};
    int mNumPresets = 0; // preset slots; the factory presets fill the first ones
    std::span<const IPresetDescription> mPresets = {};

    int NParams() const { return static_cast<int>(mParams.size()); }
    // The largest input and output counts of the channel configurations.
    int MaxInputs() const;
    int MaxOutputs() const;
    bool ServesSampleRate(double rate) const { return rate >= mMinSampleRate && rate <= mMaxSampleRate; }
    // The longest delay at the given rate, in whole samples: mMaxLatency * (rate / mMaxLatencyRate),
    // truncated (0 for a rate or reference that is not positive).
    int MaxLatencyAt(double rate) const;
};

// The (inputs, outputs) entries of a channel I/O string, in order. Each entry is read as "%d-%d"
// (white space before a number skipped, whatever fails to parse stays 0); entries start after each
// single space. A null string has no entries.
std::vector<std::pair<int, int>> ParseChannelIO(const char* channelIO);

// Initialises param from its description row (see IParamDescription).
void InitParamFromDescription(IParam* param, const IParamDescription& row);
