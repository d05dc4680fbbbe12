#include "host/HostClapTarget.h"

#include <clap/ext/state.h>

#include <algorithm>
#include <cstring>

namespace {

// The most a read from the state stream delivers: plug-ins must take a state in pieces.
constexpr size_t kStatePiece = 509;

struct ReadStream {
    const std::vector<uint8_t>* bytes;
    size_t pos = 0;
};

} // namespace

HostClapTarget::HostClapTarget(std::unique_ptr<HostClapPlugin> plugin) : mPlugin(std::move(plugin)) {
    for (int i = 0, n = mPlugin->NumParams(); i < n; ++i) {
        clap_param_info_t info;
        if (mPlugin->ParamInfo(i, info)) mIds.push_back(info.id);
    }
}

HostIdentity HostClapTarget::Identity() {
    const clap_plugin_descriptor_t* d = mPlugin->Descriptor();
    auto text = [](const char* s) { return s ? std::string(s) : std::string(); };
    return HostIdentity{mPlugin->EffectName(), d ? text(d->vendor) : "", d ? text(d->version) : "",
                        d ? text(d->id) : ""};
}

bool HostClapTarget::ParamMeta(int index, HostParamMeta& meta) {
    clap_param_info_t info;
    if (!Valid(index) || !mPlugin->ParamInfo(index, info)) return false;
    meta = HostParamMeta{};
    meta.name = std::string(info.name, strnlen(info.name, sizeof info.name));
    meta.min = info.min_value;
    meta.max = info.max_value;
    meta.def = info.default_value;
    meta.stepped = (info.flags & CLAP_PARAM_IS_STEPPED) != 0;
    meta.readOnly = (info.flags & CLAP_PARAM_IS_READONLY) != 0;
    return true;
}

double HostClapTarget::ParamValue(int index) {
    return Valid(index) ? mPlugin->ParamValue(mIds[static_cast<size_t>(index)]) : 0.0;
}

void HostClapTarget::SetParam(int index, double value) {
    if (Valid(index)) mPlugin->SetParam(mIds[static_cast<size_t>(index)], value);
}

bool HostClapTarget::ParamToText(int index, double value, std::string& text) {
    if (!Valid(index)) return false;
    text = mPlugin->ParamText(mIds[static_cast<size_t>(index)], value);
    return !text.empty();
}

bool HostClapTarget::ParamFromText(int index, const std::string& text, double& value) {
    return Valid(index) && mPlugin->ParamFromText(mIds[static_cast<size_t>(index)], text, value);
}

bool HostClapTarget::SaveState(std::vector<uint8_t>& bytes, std::string& err) {
    bytes.clear();
    const auto* state = mPlugin->Extension<clap_plugin_state_t>(CLAP_EXT_STATE);
    if (!state) {
        err = "the plug-in has no state extension";
        return false;
    }
    clap_ostream_t out{&bytes, [](const clap_ostream_t* s, const void* buffer, uint64_t size) -> int64_t {
                           auto* v = static_cast<std::vector<uint8_t>*>(s->ctx);
                           const auto* p = static_cast<const uint8_t*>(buffer);
                           v->insert(v->end(), p, p + size);
                           return static_cast<int64_t>(size);
                       }};
    if (!state->save(mPlugin->Plugin(), &out)) {
        err = "the plug-in did not save its state";
        return false;
    }
    return true;
}

bool HostClapTarget::LoadState(const std::vector<uint8_t>& bytes) {
    const auto* state = mPlugin->Extension<clap_plugin_state_t>(CLAP_EXT_STATE);
    if (!state) return false;
    ReadStream stream{&bytes};
    clap_istream_t in{&stream, [](const clap_istream_t* s, void* buffer, uint64_t size) -> int64_t {
                          auto* r = static_cast<ReadStream*>(s->ctx);
                          const size_t n = std::min<size_t>(
                              {static_cast<size_t>(size), kStatePiece, r->bytes->size() - r->pos});
                          if (n > 0) std::memcpy(buffer, r->bytes->data() + r->pos, n);
                          r->pos += n;
                          return static_cast<int64_t>(n);
                      }};
    return state->load(mPlugin->Plugin(), &in);
}
