#include "host/HostVST3Target.h"

#include <algorithm>
#include <cmath>

#include "framework/vst3/VST3Strings.h"

HostVST3Target::HostVST3Target(std::unique_ptr<HostVST3Plugin> plugin) : mPlugin(std::move(plugin)) {
    mPlugin->SetRealtime(true);
    for (int i = 0, n = mPlugin->NumParams(); i < n; ++i) {
        v3_param_info info;
        if (mPlugin->ParamInfo(i, info))
            mParams.push_back(
                {info.param_id, std::max(info.step_count, 0), (info.flags & V3_PARAM_PROGRAM_CHANGE) != 0});
    }
}

double HostVST3Target::Normalised(const Param& p, double value) const {
    return p.steps > 0 ? value / p.steps : value;
}

double HostVST3Target::Ours(const Param& p, double normalised) const {
    return p.steps > 0 ? std::round(normalised * p.steps) : normalised;
}

HostIdentity HostVST3Target::Identity() {
    return HostIdentity{mPlugin->EffectName(), mPlugin->Vendor(), mPlugin->Version(), mPlugin->ClassIdText()};
}

bool HostVST3Target::ParamMeta(int index, HostParamMeta& meta) {
    v3_param_info info;
    if (!Valid(index) || !mPlugin->ParamInfo(index, info)) return false;
    const Param& p = mParams[static_cast<size_t>(index)];
    meta = HostParamMeta{};
    meta.name = VST3ToUTF8(info.title, 128);
    meta.unit = VST3ToUTF8(info.units, 128);
    meta.max = p.steps > 0 ? p.steps : 1.0;
    meta.def = Ours(p, info.default_normalised_value);
    meta.stepped = p.steps > 0;
    meta.readOnly = (info.flags & V3_PARAM_READ_ONLY) != 0;
    return true;
}

double HostVST3Target::ParamValue(int index) {
    if (!Valid(index)) return 0.0;
    const Param& p = mParams[static_cast<size_t>(index)];
    return Ours(p, mPlugin->ParamValue(p.id));
}

void HostVST3Target::SetParam(int index, double value) {
    if (!Valid(index)) return;
    const Param& p = mParams[static_cast<size_t>(index)];
    const double normalised = std::clamp(Normalised(p, value), 0.0, 1.0);
    if (p.program)
        mPlugin->SetProgramParam(p.id, normalised);
    else
        mPlugin->SetParam(p.id, normalised);
}

bool HostVST3Target::ParamToText(int index, double value, std::string& text) {
    if (!Valid(index)) return false;
    const Param& p = mParams[static_cast<size_t>(index)];
    text = mPlugin->ParamText(p.id, Normalised(p, value));
    return !text.empty();
}

bool HostVST3Target::ParamFromText(int index, const std::string& text, double& value) {
    if (!Valid(index)) return false;
    const Param& p = mParams[static_cast<size_t>(index)];
    double normalised = 0.0;
    if (!mPlugin->ParamFromText(p.id, text, normalised)) return false;
    value = p.steps > 0 ? normalised * p.steps : normalised;
    return true;
}

bool HostVST3Target::SaveState(std::vector<uint8_t>& bytes, std::string& err) {
    if (mPlugin->SaveState(bytes)) return true;
    err = "the component did not save its state";
    return false;
}

int64_t HostVST3Target::TailFrames(int) {
    const uint32_t tail = mPlugin->TailSamples();
    return tail == UINT32_MAX ? kTailInfinite : static_cast<int64_t>(tail);
}
