// HostClapPlugin::Describe: what `tidebloom-host info` prints about a CLAP plug-in: its descriptor, its
// main ports, latency and editor size, and every parameter with its text, plain value and range.
#include <cstring>

#include "host/HostClapPlugin.h"
#include "host/HostText.h"

namespace {

struct ClapParamRow {
    unsigned id;
    std::string name, text, flags;
    double value, min, max, def;
};

std::string FlagNames(uint32_t flags) {
    std::string s;
    const std::pair<uint32_t, const char*> names[] = {
        {CLAP_PARAM_IS_STEPPED, "stepped"},         {CLAP_PARAM_IS_HIDDEN, "hidden"},
        {CLAP_PARAM_IS_READONLY, "read-only"},      {CLAP_PARAM_IS_BYPASS, "bypass"},
        {CLAP_PARAM_IS_AUTOMATABLE, "automatable"}, {CLAP_PARAM_IS_MODULATABLE, "modulatable"}};
    for (const auto& [bit, name] : names) {
        if (!(flags & bit)) continue;
        if (!s.empty()) s += ' ';
        s += name;
    }
    return s;
}

std::string Text(const char* s) {
    return s ? HostCleanText(s, std::strlen(s) + 1) : "";
}

} // namespace

std::string HostClapPlugin::Describe(bool json) {
    const clap_plugin_descriptor_t* d = Descriptor();
    std::string features;
    for (const char* const* f = d && d->features ? d->features : nullptr; f && *f; ++f) {
        if (!features.empty()) features += ' ';
        features += Text(*f);
    }
    std::vector<ClapParamRow> rows;
    for (int i = 0, n = NumParams(); i < n; ++i) {
        clap_param_info_t info;
        if (!ParamInfo(i, info)) continue;
        const double v = ParamValue(info.id);
        rows.push_back({info.id, Text(info.name), ParamText(info.id, v), FlagNames(info.flags), v,
                        info.min_value, info.max_value, info.default_value});
    }
    int w = 0, h = 0;
    const bool editor = HasEditor() && EditorSize(w, h);
    CloseEditor();
    const int latency = Latency();
    const std::string version = HostFormat("%u.%u.%u", mEntry->clap_version.major, mEntry->clap_version.minor,
                                           mEntry->clap_version.revision);
    if (json) {
        std::string s = "{\n";
        auto field = [&s](const char* key, const std::string& value, bool last = false) {
            s += HostFormat("  \"%s\": %s%s\n", key, value.c_str(), last ? "" : ",");
        };
        field("path", HostJsonQuote(mPath));
        field("format", HostJsonQuote("CLAP"));
        field("clapVersion", HostJsonQuote(version));
        field("id", HostJsonQuote(Text(d ? d->id : nullptr)));
        field("name", HostJsonQuote(EffectName()));
        field("vendor", HostJsonQuote(Text(d ? d->vendor : nullptr)));
        field("version", HostJsonQuote(Text(d ? d->version : nullptr)));
        field("features", HostJsonQuote(features));
        field("numInputs", HostFormat("%d", mInputs));
        field("numOutputs", HostFormat("%d", mOutputs));
        field("latency", HostFormat("%d", latency));
        field("editor", editor ? HostFormat("{\"width\": %d, \"height\": %d}", w, h) : std::string("null"));
        std::string params = "[";
        for (size_t i = 0; i < rows.size(); ++i) {
            const ClapParamRow& r = rows[i];
            params += HostFormat(
                "%s\n    {\"index\": %zu, \"id\": %u, \"name\": %s, \"display\": %s, \"value\": "
                "%.17g, \"min\": %.17g, \"max\": %.17g, \"default\": %.17g, \"flags\": %s}",
                i ? "," : "", i, r.id, HostJsonQuote(r.name).c_str(), HostJsonQuote(r.text).c_str(), r.value,
                r.min, r.max, r.def, HostJsonQuote(r.flags).c_str());
        }
        params += rows.empty() ? "]" : "\n  ]";
        field("parameters", params, true);
        return s + "}\n";
    }
    std::string s;
    auto row = [&s](const char* key, const std::string& value) {
        s += HostFormat("%-14s%s\n", key, value.c_str());
    };
    row("Plug-in", mPath);
    row("Format", "CLAP " + version);
    row("Name", EffectName());
    row("Vendor", Text(d ? d->vendor : nullptr));
    row("ID", Text(d ? d->id : nullptr));
    row("Version", Text(d ? d->version : nullptr));
    row("Features", features);
    auto ports = [](int main, const std::vector<uint32_t>& all) {
        return all.size() > 1
                   ? HostFormat("%d (%zu ports: the first is used, the others get silence)", main, all.size())
                   : HostFormat("%d", main);
    };
    row("Inputs", ports(mInputs, mInPorts));
    row("Outputs", ports(mOutputs, mOutPorts));
    row("Parameters", HostFormat("%zu", rows.size()));
    row("Latency", HostFormat("%d samples", latency));
    row("Editor", editor ? HostFormat("%d x %d", w, h) : "none");
    s += "\nParameters:\n";
    size_t widest = 0;
    for (const ClapParamRow& r : rows) widest = std::max(widest, r.name.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const ClapParamRow& r = rows[i];
        s += HostFormat("  %3zu  %-*s  %-16s  %g (%g to %g%s%s)\n", i, static_cast<int>(widest),
                        r.name.c_str(), r.text.c_str(), r.value, r.min, r.max, r.flags.empty() ? "" : ", ",
                        r.flags.c_str());
    }
    return s;
}
