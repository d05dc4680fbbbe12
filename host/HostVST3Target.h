#pragma once
// HostVST3Target: the validator's view of a VST 3 plug-in (HostVST3Plugin), processing in real time.
// Parameters are the controller's: a continuous one in its normalised range 0..1, a stepped one
// (step_count > 0) as its step number 0..step_count; texts are the controller's both ways. The state is
// the component's (get_state/set_state; a state the component takes reaches the controller too); the
// tail is get_tail_samples'. VST 3 processes parameter changes at their sample offsets, so blocks of any
// size must give the same output. Threads as HostValidateTarget says (HostVST3Plugin queues values set
// while processing); owns the HostVST3Plugin.
#include "host/HostVST3Plugin.h"
#include "host/HostValidateTarget.h"

class HostVST3Target : public HostValidateTarget {
public:
    explicit HostVST3Target(std::unique_ptr<HostVST3Plugin> plugin);

    HostEffect& Effect() override { return *mPlugin; }
    HostIdentity Identity() override;
    int NumParams() override { return static_cast<int>(mParams.size()); }
    bool ParamMeta(int index, HostParamMeta& meta) override;
    double ParamValue(int index) override;
    void SetParam(int index, double value) override;
    bool ParamToText(int index, double value, std::string& text) override;
    bool ParamFromText(int index, const std::string& text, double& value) override;
    bool SaveState(std::vector<uint8_t>& bytes, std::string& err) override;
    bool LoadState(const std::vector<uint8_t>& bytes) override { return mPlugin->LoadState(bytes); }
    int64_t TailFrames(int rate) override;
    bool SampleAccurate() override { return true; }

private:
    struct Param {
        v3_param_id id;
        int32_t steps; // 0: continuous
        bool program;  // the program-change parameter
    };
    bool Valid(int index) const { return index >= 0 && index < static_cast<int>(mParams.size()); }
    // The plug-in's normalised value for one of ours, and back.
    double Normalised(const Param& p, double value) const;
    double Ours(const Param& p, double normalised) const;

    std::unique_ptr<HostVST3Plugin> mPlugin;
    std::vector<Param> mParams; // by index, read once
};
