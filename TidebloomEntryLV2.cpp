// The LV2 plug-in's exported entry: the host finds lv2_descriptor by name and asks for descriptor 0,
// the Tidebloom plug-in; every other index answers null. Nothing else is exported from the shared
// object. The descriptor is built on first use (thread-safe) from the effect's description.
#include "Tidebloom.h"

namespace {

IEffectLV2* CreateTidebloom(const IEffectInstanceInfo& info) {
    return new Tidebloom(info);
}

LV2_Handle Instantiate(const LV2_Descriptor*, double sampleRate, const char* bundlePath,
                       const LV2_Feature* const* features) {
    return LV2CreateInstance(kTidebloomDescription, CreateTidebloom, sampleRate, bundlePath, features);
}

} // namespace

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    static const LV2_Descriptor descriptor =
        IEffectLV2::MakeDescriptor(kTidebloomDescription.mURI, Instantiate);
    return index == 0 ? &descriptor : nullptr;
}
