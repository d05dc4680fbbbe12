// HostLv2Plugin::Describe: what `tidebloom-host info` prints about an LV2 plug-in: its URI, name and
// author, its audio ports, latency, presets and editor, and every control input with its text, value and
// range.
#include <lilv/lilv.h>
#include <lv2/presets/presets.h>

#include <algorithm>
#include <cstring>

#include "host/HostLv2Plugin.h"
#include "host/HostText.h"

namespace {

std::string Flags(const HostLv2Plugin::Param& p) {
    std::string s;
    for (const auto& [on, name] :
         {std::pair{p.integer, "integer"}, {p.toggled, "toggled"}, {p.enumeration, "enumeration"}})
        if (on) {
            if (!s.empty()) s += ' ';
            s += name;
        }
    return s;
}

} // namespace

std::string HostLv2Plugin::Describe(bool json) {
    const std::string vendor = Vendor();
    LilvNode* presetClass = lilv_new_uri(mWorld, LV2_PRESETS__Preset);
    LilvNodes* presets = lilv_plugin_get_related(mPlugin, presetClass);
    const unsigned numPresets = presets ? lilv_nodes_size(presets) : 0;
    lilv_nodes_free(presets);
    lilv_node_free(presetClass);
    const bool editor = HasEditor();
    if (json) {
        std::string s = "{\n";
        auto field = [&s](const char* key, const std::string& value, bool last = false) {
            s += HostFormat("  \"%s\": %s%s\n", key, value.c_str(), last ? "" : ",");
        };
        field("uri", HostJsonQuote(Uri()));
        field("format", HostJsonQuote("LV2"));
        field("name", HostJsonQuote(EffectName()));
        field("vendor", HostJsonQuote(vendor));
        field("numInputs", HostFormat("%d", NumInputs()));
        field("numOutputs", HostFormat("%d", NumOutputs()));
        field("latency", HostFormat("%d", Latency()));
        field("presets", HostFormat("%u", numPresets));
        field("editor", editor ? "true" : "false");
        std::string params = "[";
        for (size_t i = 0; i < mParams.size(); ++i) {
            const Param& p = mParams[i];
            const float v = ParamValue(static_cast<int>(i));
            params += HostFormat(
                "%s\n    {\"index\": %zu, \"symbol\": %s, \"name\": %s, \"display\": %s, \"value\": "
                "%.9g, \"min\": %.9g, \"max\": %.9g, \"default\": %.9g, \"flags\": %s}",
                i ? "," : "", i, HostJsonQuote(p.symbol).c_str(), HostJsonQuote(p.name).c_str(),
                HostJsonQuote(ParamText(static_cast<int>(i), v)).c_str(), static_cast<double>(v),
                static_cast<double>(p.min), static_cast<double>(p.max), static_cast<double>(p.def),
                HostJsonQuote(Flags(p)).c_str());
        }
        params += mParams.empty() ? "]" : "\n  ]";
        field("parameters", params, true);
        return s + "}\n";
    }
    std::string s;
    auto row = [&s](const char* key, const std::string& value) {
        s += HostFormat("%-14s%s\n", key, value.c_str());
    };
    row("Plug-in", Uri());
    row("Format", "LV2");
    row("Name", EffectName());
    row("Vendor", vendor);
    row("Inputs", HostFormat("%d", NumInputs()));
    row("Outputs", HostFormat("%d", NumOutputs()));
    row("Parameters", HostFormat("%zu", mParams.size()));
    row("Presets", HostFormat("%u", numPresets));
    row("Latency",
        mLatencyPort >= 0 ? HostFormat("%d samples (once it has run)", Latency()) : "none reported");
    row("Editor", editor ? "X11 UI" : "none");
    s += "\nParameters:\n";
    size_t widest = 0;
    for (const Param& p : mParams) widest = std::max(widest, p.name.size());
    for (size_t i = 0; i < mParams.size(); ++i) {
        const Param& p = mParams[i];
        const float v = ParamValue(static_cast<int>(i));
        const std::string flags = Flags(p);
        s += HostFormat("  %3zu  %-*s  %-16s  %g (%g to %g%s%s)\n", i, static_cast<int>(widest),
                        p.name.c_str(), ParamText(static_cast<int>(i), v).c_str(), static_cast<double>(v),
                        static_cast<double>(p.min), static_cast<double>(p.max), flags.empty() ? "" : ", ",
                        flags.c_str());
    }
    return s;
}
