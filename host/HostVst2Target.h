#pragma once
// HostVst2Target: the validator's view of a VST 2.4 plug-in (HostPlugin). Parameters are the
// normalised 0..1 values of the effect record, each one's default the value it had when the instance
// was opened; texts come from effGetParamDisplay (the value set for a moment, then put back) and
// effString2Parameter. The state is the bank chunk (effGetChunk/effSetChunk) of a plug-in that keeps
// chunks, else the current program and every parameter value in a small form of the host's own
// ("TBPV"); VST 2 gives no verdict on a chunk it is handed, so LoadState takes chunks as accepted. The
// tail is effGetTailSize's. Threads as HostValidateTarget says; owns the HostPlugin.
#include "host/HostPlugin.h"
#include "host/HostValidateTarget.h"

class HostVst2Target : public HostValidateTarget {
public:
    explicit HostVst2Target(std::unique_ptr<HostPlugin> plugin);

    HostEffect& Effect() override { return *mPlugin; }
    HostIdentity Identity() override;
    int NumParams() override { return mPlugin->Effect()->numParams; }
    bool ParamMeta(int index, HostParamMeta& meta) override;
    double ParamValue(int index) override { return mPlugin->GetParameter(index); }
    void SetParam(int index, double value) override {
        mPlugin->SetParameter(index, static_cast<float>(value));
    }
    bool ParamToText(int index, double value, std::string& text) override;
    bool ParamFromText(int index, const std::string& text, double& value) override;
    bool SaveState(std::vector<uint8_t>& bytes, std::string& err) override;
    bool LoadState(const std::vector<uint8_t>& bytes) override;
    bool OwnsState() override { return TakesChunks(); }
    int64_t TailFrames(int rate) override;

private:
    bool TakesChunks() const { return (mPlugin->Effect()->flags & effFlagsProgramChunks) != 0; }

    std::unique_ptr<HostPlugin> mPlugin;
    std::vector<float> mDefaults; // every parameter's value when the instance was opened
};
