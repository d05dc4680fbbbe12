#pragma once
// HostLv2Host: what tidebloom-host gives an LV2 plug-in and its UI: URIDs (map and unmap), the options
// (the largest, smallest and usual block length and the sample rate), bounded block length and a log
// that writes to standard error, as feature lists. Owned by one HostLv2Plugin; the option values are
// changed (SetBlock) only between instances. Map and Unmap take a lock of their own and may be called
// from any thread (a plug-in that maps in its audio callback waits for nobody but another mapping).
#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class HostLv2Host {
public:
    HostLv2Host();
    HostLv2Host(const HostLv2Host&) = delete;
    HostLv2Host& operator=(const HostLv2Host&) = delete;

    LV2_URID Map(const char* uri);
    // Null for an id never handed out.
    const char* Unmap(LV2_URID id);
    LV2_URID_Map* MapFeature() { return &mMap; }
    LV2_URID_Unmap* UnmapFeature() { return &mUnmap; }

    // The options an instance made next is told.
    void SetBlock(double rate, int maxBlock);
    // The features for instantiating, for the state interface and (with more of their own) for a UI;
    // null-terminated.
    const LV2_Feature* const* Features() { return mFeatureList.data(); }
    // Whether a feature a plug-in requires is one of these or the worker (HostLv2Worker, per instance).
    static bool Offers(const std::string& uri);

private:
    std::mutex mLock; // guards the URID tables
    std::map<std::string, LV2_URID> mIds;
    std::deque<std::string> mUris; // by id - 1 (a deque: what Unmap hands out stays where it is)
    LV2_URID_Map mMap;
    LV2_URID_Unmap mUnmap;
    LV2_Log_Log mLog;
    int32_t mMaxBlock = 512, mMinBlock = 1, mNominalBlock = 512;
    float mRate = 44100.0f;
    std::vector<LV2_Options_Option> mOptions;
    std::vector<LV2_Feature> mFeatures;
    std::vector<const LV2_Feature*> mFeatureList;
};
