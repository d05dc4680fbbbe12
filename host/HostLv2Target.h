#pragma once
// HostLv2Target: the validator's view of an LV2 plug-in (HostLv2Plugin). Parameters are the control
// inputs in their own ranges, stepped when integer, toggled or an enumeration; their texts are the host's
// (scale point labels, else the number and unit), as LV2 leaves texts to hosts. The state is the control
// values and the properties the state interface saves, in a form of the host's own ("TBL2": lengths and
// bytes), read back strictly before anything reaches the plug-in; LoadState is the plug-in's own verdict
// on the properties. LV2 tells no tail. Threads as HostValidateTarget says; owns the HostLv2Plugin.
#include "host/HostLv2Plugin.h"
#include "host/HostValidateTarget.h"

class HostLv2Target : public HostValidateTarget {
public:
    explicit HostLv2Target(std::unique_ptr<HostLv2Plugin> plugin) : mPlugin(std::move(plugin)) {}

    HostEffect& Effect() override { return *mPlugin; }
    HostIdentity Identity() override;
    int NumParams() override { return static_cast<int>(mPlugin->Params().size()); }
    bool ParamMeta(int index, HostParamMeta& meta) override;
    double ParamValue(int index) override { return mPlugin->ParamValue(index); }
    void SetParam(int index, double value) override { mPlugin->SetParam(index, static_cast<float>(value)); }
    bool ParamToText(int index, double value, std::string& text) override;
    bool ParamFromText(int index, const std::string& text, double& value) override;
    bool SaveState(std::vector<uint8_t>& bytes, std::string& err) override;
    bool LoadState(const std::vector<uint8_t>& bytes) override;
    int64_t TailFrames(int) override { return kTailUnknown; }

private:
    std::unique_ptr<HostLv2Plugin> mPlugin;
};
