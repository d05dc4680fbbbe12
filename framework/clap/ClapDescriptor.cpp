#include "framework/clap/ClapDescriptor.h"

#include <clap/plugin-features.h>

ClapDescriptor::ClapDescriptor(const IEffectDescription& desc) {
    const int v = desc.mVersion;
    mVersion = std::to_string((v >> 16) & 0xFFFF) + "." + std::to_string((v >> 8) & 0xFF) + "." +
               std::to_string(v & 0xFF);
    mFeatures.push_back(desc.mIsInstrument ? CLAP_PLUGIN_FEATURE_INSTRUMENT
                                           : CLAP_PLUGIN_FEATURE_AUDIO_EFFECT);
    const int outputs = desc.MaxOutputs();
    if (outputs == 2) mFeatures.push_back(CLAP_PLUGIN_FEATURE_STEREO);
    if (outputs == 1) mFeatures.push_back(CLAP_PLUGIN_FEATURE_MONO);
    mFeatures.push_back(nullptr);
    mDescriptor = clap_plugin_descriptor_t{};
    mDescriptor.clap_version = CLAP_VERSION;
    mDescriptor.id = desc.mCLAPId;
    mDescriptor.name = desc.mEffectName;
    mDescriptor.vendor = desc.mMfrName;
    mDescriptor.url = "";
    mDescriptor.manual_url = "";
    mDescriptor.support_url = "";
    mDescriptor.version = mVersion.c_str();
    mDescriptor.description = "";
    mDescriptor.features = mFeatures.data();
}
