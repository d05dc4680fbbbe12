// HostLv2Plugin's state: port values and what the plug-in's state interface keeps, and its presets.
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/HostLv2Host.h"
#include "host/HostLv2Plugin.h"
#include "host/HostText.h"

namespace {

struct Saving {
    HostLv2Host* host;
    std::vector<HostLv2Property>* props;
};

struct Restoring {
    HostLv2Host* host;
    const std::vector<HostLv2Property>* props;
};

const LV2_State_Interface* StateInterface(LilvInstance* instance) {
    return instance ? static_cast<const LV2_State_Interface*>(
                          lilv_instance_get_extension_data(instance, LV2_STATE__interface))
                    : nullptr;
}

LV2_State_Status Store(LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type,
                       uint32_t flags) {
    auto* s = static_cast<Saving*>(handle);
    const char* keyUri = s->host->Unmap(key);
    const char* typeUri = s->host->Unmap(type);
    if (!keyUri || !typeUri || (!value && size > 0)) return LV2_STATE_ERR_UNKNOWN;
    const auto* bytes = static_cast<const uint8_t*>(value);
    s->props->push_back({keyUri, typeUri, flags, std::vector<uint8_t>(bytes, bytes + size)});
    return LV2_STATE_SUCCESS;
}

const void* Retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) {
    auto* r = static_cast<Restoring*>(handle);
    const char* keyUri = r->host->Unmap(key);
    if (!keyUri) return nullptr;
    for (const HostLv2Property& p : *r->props) {
        if (p.key != keyUri) continue;
        if (size) *size = p.value.size();
        if (type) *type = r->host->Map(p.type.c_str());
        if (flags) *flags = p.flags;
        return p.value.data();
    }
    return nullptr;
}

} // namespace

bool HostLv2Plugin::SaveState(std::vector<std::pair<std::string, float>>& ports,
                              std::vector<HostLv2Property>& props, std::string& err) {
    ports.clear();
    props.clear();
    for (size_t k = 0; k < mParams.size(); ++k) ports.emplace_back(mParams[k].symbol, mWanted[k].load());
    const LV2_State_Interface* state = StateInterface(mInstance);
    if (!state || !state->save) return true;
    Saving saving{mHost.get(), &props};
    const LV2_State_Status status = state->save(lilv_instance_get_handle(mInstance), Store, &saving,
                                                LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, mHost->Features());
    if (status != LV2_STATE_SUCCESS) {
        err = HostFormat("the plug-in did not save its state (status %d)", static_cast<int>(status));
        return false;
    }
    return true;
}

bool HostLv2Plugin::RestoreState(const std::vector<std::pair<std::string, float>>& ports,
                                 const std::vector<HostLv2Property>& props) {
    const LV2_State_Interface* state = StateInterface(mInstance);
    if (!props.empty() && (!state || !state->restore)) return false;
    // The plug-in's verdict first: a state it refuses changes no port either.
    if (state && state->restore) {
        Restoring restoring{mHost.get(), &props};
        if (state->restore(lilv_instance_get_handle(mInstance), Retrieve, &restoring,
                           LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, mHost->Features()) != LV2_STATE_SUCCESS)
            return false;
    }
    // The host keeps port values in their ranges, as it does for a user's.
    for (const auto& [symbol, value] : ports)
        for (size_t k = 0; k < mParams.size(); ++k)
            if (mParams[k].symbol == symbol && !std::isnan(value))
                SetParam(static_cast<int>(k), std::fmin(std::fmax(value, mParams[k].min), mParams[k].max));
    return true;
}

bool HostLv2Plugin::ApplyPreset(const std::string& program, std::string& err) {
    LilvNode* presetClass = lilv_new_uri(mWorld, LV2_PRESETS__Preset);
    LilvNode* label = lilv_new_uri(mWorld, LILV_NS_RDFS "label");
    LilvNodes* presets = lilv_plugin_get_related(mPlugin, presetClass);
    std::vector<std::pair<const LilvNode*, std::string>> found;
    LILV_FOREACH(nodes, it, presets) {
        const LilvNode* preset = lilv_nodes_get(presets, it);
        lilv_world_load_resource(mWorld, preset);
        LilvNode* name = lilv_world_get(mWorld, preset, label, nullptr);
        const char* text = name ? lilv_node_as_string(name) : "";
        found.emplace_back(preset, HostCleanText(text, std::strlen(text) + 1));
        lilv_node_free(name);
    }
    // lilv hands presets over in no fixed order: by label, as hosts list them, the numbers stay put.
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second < b.second
                                    : std::strcmp(lilv_node_as_uri(a.first), lilv_node_as_uri(b.first)) < 0;
    });
    long long number = -1;
    int chosen = -1;
    for (size_t k = 0; k < found.size() && chosen < 0; ++k)
        if (HostEqualsNoCase(found[k].second, program)) chosen = static_cast<int>(k);
    if (chosen < 0 && !found.empty() &&
        HostParseInt(program, 0, static_cast<long long>(found.size()) - 1, number))
        chosen = static_cast<int>(number);
    bool ok = false;
    if (chosen < 0) {
        std::string list;
        for (const auto& f : found) list += (list.empty() ? "" : ", ") + f.second;
        err = found.empty()
                  ? HostFormat("unknown program '%s' (the plug-in has no presets)", program.c_str())
                  : HostFormat("unknown program '%s' (the plug-in has: %s)", program.c_str(), list.c_str());
    } else if (LilvState* state =
                   lilv_state_new_from_world(mWorld, mHost->MapFeature(), found[chosen].first)) {
        lilv_state_restore(
            state, mInstance,
            [](const char* symbol, void* self, const void* value, uint32_t size, uint32_t type) {
                auto* p = static_cast<HostLv2Plugin*>(self);
                const char* t = p->mHost->Unmap(type);
                const std::string typeUri = t ? t : "";
                float v = 0.0f;
                if (size == 4 && (typeUri == LV2_ATOM__Float || typeUri == LILV_NS_XSD "float")) {
                    std::memcpy(&v, value, 4);
                } else if (size == 8 && (typeUri == LV2_ATOM__Double || typeUri == LILV_NS_XSD "double")) {
                    double d = 0.0;
                    std::memcpy(&d, value, 8);
                    v = static_cast<float>(d);
                } else if (size == 4 && (typeUri == LV2_ATOM__Int || typeUri == LV2_ATOM__Bool)) {
                    int32_t i = 0;
                    std::memcpy(&i, value, 4);
                    v = static_cast<float>(i);
                } else {
                    return;
                }
                for (size_t k = 0; k < p->mParams.size(); ++k)
                    if (p->mParams[k].symbol == symbol) p->SetParam(static_cast<int>(k), v);
            },
            this, 0, mHost->Features());
        lilv_state_free(state);
        mProgramName = found[chosen].second;
        ok = true;
    } else {
        err = HostFormat("the preset '%s' does not load", found[chosen].second.c_str());
    }
    lilv_nodes_free(presets);
    lilv_node_free(label);
    lilv_node_free(presetClass);
    return ok;
}
