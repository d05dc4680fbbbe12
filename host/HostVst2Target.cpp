#include "host/HostVst2Target.h"

#include <cmath>
#include <cstring>

#include "host/HostText.h"

namespace {

// The host's own state form for plug-ins without chunks: "TBPV", the program, the count, the values.
constexpr char kValuesMagic[4] = {'T', 'B', 'P', 'V'};

void PutInt(std::vector<uint8_t>& out, int32_t v) {
    const auto* p = reinterpret_cast<const uint8_t*>(&v);
    out.insert(out.end(), p, p + 4);
}

int32_t GetInt(const uint8_t* p) {
    int32_t v = 0;
    std::memcpy(&v, p, 4);
    return v;
}

} // namespace

HostVst2Target::HostVst2Target(std::unique_ptr<HostPlugin> plugin) : mPlugin(std::move(plugin)) {
    for (int i = 0; i < NumParams(); ++i) mDefaults.push_back(mPlugin->GetParameter(i));
}

HostIdentity HostVst2Target::Identity() {
    HostIdentity id;
    id.name = mPlugin->EffectName();
    if (id.name.empty()) id.name = mPlugin->ProductString();
    id.vendor = mPlugin->VendorString();
    id.version = HostFormat("%d", mPlugin->Effect()->version);
    const int32_t unique = mPlugin->Effect()->uniqueID;
    id.id = unique == 0 ? "" : HostFourCCText(unique);
    if (unique != 0 && id.id.empty()) id.id = HostFormat("0x%08X", static_cast<unsigned>(unique));
    return id;
}

bool HostVst2Target::ParamMeta(int index, HostParamMeta& meta) {
    if (index < 0 || index >= NumParams()) return false;
    meta = HostParamMeta{};
    meta.name = mPlugin->ParamName(index);
    meta.unit = mPlugin->ParamLabel(index);
    meta.def = mDefaults[static_cast<size_t>(index)];
    return true;
}

bool HostVst2Target::ParamToText(int index, double value, std::string& text) {
    const float before = mPlugin->GetParameter(index);
    mPlugin->SetParameter(index, static_cast<float>(value));
    text = mPlugin->ParamDisplay(index);
    mPlugin->SetParameter(index, before);
    return !text.empty();
}

bool HostVst2Target::ParamFromText(int index, const std::string& text, double& value) {
    const float before = mPlugin->GetParameter(index);
    std::vector<char> copy(text.begin(), text.end());
    copy.push_back('\0');
    const bool taken = mPlugin->Dispatch(effString2Parameter, index, 0, copy.data()) != 0;
    value = mPlugin->GetParameter(index);
    mPlugin->SetParameter(index, before);
    return taken;
}

bool HostVst2Target::SaveState(std::vector<uint8_t>& bytes, std::string& err) {
    bytes.clear();
    if (TakesChunks()) {
        void* data = nullptr;
        const intptr_t size = mPlugin->Dispatch(effGetChunk, 0, 0, &data);
        if (size <= 0 || !data) {
            err = "the plug-in gave no bank chunk";
            return false;
        }
        if (size > (intptr_t{1} << 30)) {
            err = HostFormat("the plug-in's bank chunk is implausibly large (%lld bytes)",
                             static_cast<long long>(size));
            return false;
        }
        const auto* p = static_cast<const uint8_t*>(data);
        bytes.assign(p, p + size);
        return true;
    }
    bytes.assign(kValuesMagic, kValuesMagic + 4);
    PutInt(bytes, static_cast<int32_t>(mPlugin->Dispatch(effGetProgram)));
    PutInt(bytes, NumParams());
    for (int i = 0; i < NumParams(); ++i) {
        const float v = mPlugin->GetParameter(i);
        const auto* p = reinterpret_cast<const uint8_t*>(&v);
        bytes.insert(bytes.end(), p, p + 4);
    }
    return true;
}

bool HostVst2Target::LoadState(const std::vector<uint8_t>& bytes) {
    if (TakesChunks()) {
        // The plug-in reads its own copy, as it would from a host's project.
        std::vector<uint8_t> copy(bytes);
        mPlugin->Dispatch(effSetChunk, 0, static_cast<intptr_t>(copy.size()),
                          copy.empty() ? nullptr : copy.data());
        return true;
    }
    const size_t n = static_cast<size_t>(NumParams());
    if (bytes.size() != 12 + 4 * n || std::memcmp(bytes.data(), kValuesMagic, 4) != 0 ||
        GetInt(bytes.data() + 8) != static_cast<int32_t>(n))
        return false;
    const int32_t program = GetInt(bytes.data() + 4);
    std::vector<float> values(n);
    std::memcpy(values.data(), bytes.data() + 12, 4 * n);
    for (float v : values)
        if (!(v >= 0.0f && v <= 1.0f)) return false;
    if (program < 0 || program >= std::max(mPlugin->Effect()->numPrograms, 1)) return false;
    if (mPlugin->Effect()->numPrograms > 0) mPlugin->Dispatch(effSetProgram, 0, program);
    for (size_t i = 0; i < n; ++i) mPlugin->SetParameter(static_cast<int>(i), values[i]);
    return true;
}

int64_t HostVst2Target::TailFrames(int rate) {
    (void)rate; // VST 2 tells the tail in frames at the current rate
    const intptr_t tail = mPlugin->Dispatch(effGetTailSize);
    if (tail == 0) return kTailUnknown;
    return tail == 1 ? 0 : static_cast<int64_t>(tail);
}
