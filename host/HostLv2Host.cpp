#include "host/HostLv2Host.h"

#include "host/HostAllocWatch.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/parameters/parameters.h>
#include <lv2/worker/worker.h>

#include <cstdarg>
#include <cstdio>

namespace {

int LogV(LV2_Log_Handle, LV2_URID, const char* fmt, va_list ap) {
    return std::vfprintf(stderr, fmt, ap);
}

int LogF(LV2_Log_Handle h, LV2_URID type, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int n = LogV(h, type, fmt, ap);
    va_end(ap);
    return n;
}

} // namespace

HostLv2Host::HostLv2Host() {
    mMap = {this,
            [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<HostLv2Host*>(h)->Map(uri); }};
    mUnmap = {this,
              [](LV2_URID_Unmap_Handle h, LV2_URID id) { return static_cast<HostLv2Host*>(h)->Unmap(id); }};
    mLog = {this, LogF, LogV};
    const LV2_URID atomInt = Map(LV2_ATOM__Int), atomFloat = Map(LV2_ATOM__Float);
    auto option = [&](const char* key, LV2_URID type, const void* value) {
        mOptions.push_back({LV2_OPTIONS_INSTANCE, 0, Map(key), 4, type, value});
    };
    option(LV2_BUF_SIZE__maxBlockLength, atomInt, &mMaxBlock);
    option(LV2_BUF_SIZE__minBlockLength, atomInt, &mMinBlock);
    option(LV2_BUF_SIZE__nominalBlockLength, atomInt, &mNominalBlock);
    option(LV2_PARAMETERS__sampleRate, atomFloat, &mRate);
    mOptions.push_back({LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr});
    mFeatures = {{LV2_URID__map, &mMap},
                 {LV2_URID__unmap, &mUnmap},
                 {LV2_OPTIONS__options, mOptions.data()},
                 {LV2_BUF_SIZE__boundedBlockLength, nullptr},
                 {LV2_LOG__log, &mLog}};
    for (const LV2_Feature& f : mFeatures) mFeatureList.push_back(&f);
    mFeatureList.push_back(nullptr);
}

LV2_URID HostLv2Host::Map(const char* uri) {
    if (!uri) return 0;
    HostCallbackScope hostCode; // a plug-in may map from its audio callback: the table is the host's
    std::lock_guard<std::mutex> lock(mLock);
    auto [it, added] = mIds.emplace(uri, static_cast<LV2_URID>(mUris.size() + 1));
    if (added) mUris.push_back(uri);
    return it->second;
}

const char* HostLv2Host::Unmap(LV2_URID id) {
    std::lock_guard<std::mutex> lock(mLock);
    return id >= 1 && id <= mUris.size() ? mUris[id - 1].c_str() : nullptr;
}

void HostLv2Host::SetBlock(double rate, int maxBlock) {
    mRate = static_cast<float>(rate);
    mMaxBlock = mNominalBlock = maxBlock;
}

bool HostLv2Host::Offers(const std::string& uri) {
    for (const char* offered :
         {LV2_URID__map, LV2_URID__unmap, LV2_OPTIONS__options, LV2_BUF_SIZE__boundedBlockLength,
          LV2_LOG__log, LV2_CORE__isLive, LV2_WORKER__schedule})
        if (uri == offered) return true;
    return false;
}
