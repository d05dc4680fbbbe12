#pragma once
// HostClapTarget: the validator's view of a CLAP plug-in (HostClapPlugin). Parameters are the params
// extension's, in their plain ranges, with the plug-in's own value_to_text and text_to_value; the
// state is what the state extension writes (read back in pieces, as a stream may deliver it). CLAP 1.1
// tells no tail. Threads as HostValidateTarget says (HostClapPlugin queues values set while
// processing); owns the HostClapPlugin.
#include "host/HostClapPlugin.h"
#include "host/HostValidateTarget.h"

class HostClapTarget : public HostValidateTarget {
public:
    explicit HostClapTarget(std::unique_ptr<HostClapPlugin> plugin);

    HostEffect& Effect() override { return *mPlugin; }
    HostIdentity Identity() override;
    int NumParams() override { return static_cast<int>(mIds.size()); }
    bool ParamMeta(int index, HostParamMeta& meta) override;
    double ParamValue(int index) override;
    void SetParam(int index, double value) override;
    bool ParamToText(int index, double value, std::string& text) override;
    bool ParamFromText(int index, const std::string& text, double& value) override;
    bool SaveState(std::vector<uint8_t>& bytes, std::string& err) override;
    bool LoadState(const std::vector<uint8_t>& bytes) override;
    int64_t TailFrames(int) override { return kTailUnknown; }
    bool SampleAccurate() override { return true; }

private:
    bool Valid(int index) const { return index >= 0 && index < static_cast<int>(mIds.size()); }

    std::unique_ptr<HostClapPlugin> mPlugin;
    std::vector<clap_id> mIds; // by index, read once
};
