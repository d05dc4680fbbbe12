// The LV2 plug-in's exported entry: the host finds lv2_descriptor by name and asks for descriptor 0,
// the Tidebloom plug-in; every other index answers null. Nothing else is exported from the shared
// object. The descriptor is built on first use (thread-safe) from the effect's description. Built once
// for Tidebloom.lv2 and once, with TIDEBLOOM_PRECISE defined, for TidebloomPrecise.lv2 (descriptor 0
// is then Tidebloom Precise).
#include "Tidebloom.h"
#include "TidebloomPrecise.h"

namespace {

#ifdef TIDEBLOOM_PRECISE
using Effect = TidebloomPrecise;
const IEffectDescription& kDescription = kTidebloomPreciseDescription;
#else
using Effect = Tidebloom;
const IEffectDescription& kDescription = kTidebloomDescription;
#endif

IEffectLV2* CreateTidebloom(const IEffectInstanceInfo& info) {
    return new Effect(info);
}

LV2_Handle Instantiate(const LV2_Descriptor*, double sampleRate, const char* bundlePath,
                       const LV2_Feature* const* features) {
    return LV2CreateInstance(kDescription, CreateTidebloom, sampleRate, bundlePath, features);
}

} // namespace

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    static const LV2_Descriptor descriptor = IEffectLV2::MakeDescriptor(kDescription.mURI, Instantiate);
    return index == 0 ? &descriptor : nullptr;
}
