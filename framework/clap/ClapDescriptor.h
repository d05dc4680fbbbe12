#pragma once
// ClapDescriptor: the clap_plugin_descriptor_t of an effect, made from its description: the id
// (mCLAPId, reverse-DNS from the maker's name), the effect's name, the maker as vendor, the version as
// "major.minor.patch", and the features: "instrument" or "audio-effect", then "stereo" or "mono" by the
// widest output. Built once by the plug-in's entry (a function-local static) and never changed: any
// thread may read it. It owns the strings and the feature list the record points at.
#include <clap/plugin.h>

#include <string>
#include <vector>

#include "framework/plugin/IEffectDescription.h"

class ClapDescriptor {
public:
    explicit ClapDescriptor(const IEffectDescription& desc);
    ClapDescriptor(const ClapDescriptor&) = delete;
    ClapDescriptor& operator=(const ClapDescriptor&) = delete;

    const clap_plugin_descriptor_t* Get() const { return &mDescriptor; }

private:
    std::string mVersion;
    std::vector<const char*> mFeatures; // null-terminated
    clap_plugin_descriptor_t mDescriptor;
};
