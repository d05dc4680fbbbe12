#include "host/HostInfo.h"

#include "host/HostText.h"

#include <cmath>
#include <cstring>

const char* const kHostCanDoStrings[] = {
    "sendVstEvents",      "sendVstMidiEvent", "sendVstTimeInfo",  "receiveVstEvents", "receiveVstMidiEvent",
    "receiveVstTimeInfo", "offline",          "midiProgramNames", "bypass",
};
const int kHostCanDoCount = static_cast<int>(sizeof kHostCanDoStrings / sizeof kHostCanDoStrings[0]);

namespace {

struct FlagName {
    int32_t bit;
    const char* name;
};
const FlagName kFlagNames[] = {
    {effFlagsHasEditor, "HasEditor"},
    {effFlagsCanMono, "CanMono"},
    {effFlagsCanReplacing, "CanReplacing"},
    {effFlagsProgramChunks, "ProgramChunks"},
    {effFlagsIsSynth, "IsSynth"},
    {effFlagsNoSoundInStop, "NoSoundInStop"},
    {effFlagsCanDoubleReplacing, "CanDoubleReplacing"},
};

const char* CategoryName(intptr_t c) {
    static const char* const names[] = {"unknown",     "effect",          "synth",       "analysis",
                                        "mastering",   "spatializer",     "room effect", "surround effect",
                                        "restoration", "offline process", "shell",       "generator"};
    return c >= 0 && c < 12 ? names[c] : "unknown";
}

const char* CanDoMeaning(intptr_t answer) {
    if (answer == 1) return "yes";
    if (answer == -1) return "no";
    if (answer == 0) return "-";
    return "other";
}

std::string JsonFloat(float v) {
    if (!std::isfinite(v)) return "null";
    return HostFormat("%.9g", static_cast<double>(v));
}

// Characters shown, not bytes: the texts are UTF-8.
size_t DisplayWidth(const std::string& text) {
    size_t n = 0;
    for (unsigned char c : text) n += (c & 0xC0) != 0x80;
    return n;
}

std::string PadRight(const std::string& text, size_t width) {
    size_t w = DisplayWidth(text);
    return w >= width ? text : text + std::string(width - w, ' ');
}

size_t Widest(const std::vector<HostParamInfo>& params) {
    size_t w = 4;
    for (const auto& p : params) w = std::max(w, DisplayWidth(p.name));
    return w;
}

} // namespace

std::string HostFlagNames(int32_t flags) {
    std::string s;
    for (const FlagName& f : kFlagNames) {
        if (flags & f.bit) {
            if (!s.empty()) s += ' ';
            s += f.name;
        }
    }
    return s;
}

void HostCollectInfo(HostPlugin& plugin, HostInfo& info) {
    AEffect* e = plugin.Effect();
    info.path = plugin.Path();
    info.name = plugin.EffectName();
    info.vendor = plugin.VendorString();
    info.product = plugin.ProductString();
    info.version = e->version;
    info.vendorVersion = plugin.Dispatch(effGetVendorVersion);
    info.uniqueID = e->uniqueID;
    info.vstVersion = plugin.Dispatch(effGetVstVersion);
    info.category = plugin.Dispatch(effGetPlugCategory);
    info.numInputs = e->numInputs;
    info.numOutputs = e->numOutputs;
    info.numParams = e->numParams;
    info.numPrograms = e->numPrograms;
    info.currentProgram = plugin.Dispatch(effGetProgram);
    info.flags = e->flags;
    info.latency = e->initialDelay;
    info.tailSize = plugin.Dispatch(effGetTailSize);
    ERect* rect = nullptr;
    if ((e->flags & effFlagsHasEditor) && plugin.Dispatch(effEditGetRect, 0, 0, &rect) != 0 && rect) {
        info.hasEditorRect = true;
        info.editorWidth = rect->right - rect->left;
        info.editorHeight = rect->bottom - rect->top;
    }
    info.params.clear();
    for (int i = 0; i < e->numParams; ++i) {
        HostParamInfo p;
        p.name = plugin.ParamName(i);
        p.label = plugin.ParamLabel(i);
        p.display = plugin.ParamDisplay(i);
        p.value = plugin.GetParameter(i);
        info.params.push_back(p);
    }
    info.programs.clear();
    for (int i = 0; i < e->numPrograms; ++i) {
        std::string name;
        // A plug-in that cannot name other programs still names its current one.
        if (!plugin.ProgramNameIndexed(i, name) && name.empty() && i == info.currentProgram)
            name = plugin.ProgramName();
        info.programs.push_back(name);
    }
    info.canDo.clear();
    for (int i = 0; i < kHostCanDoCount; ++i)
        info.canDo.emplace_back(kHostCanDoStrings[i], plugin.CanDo(kHostCanDoStrings[i]));
}

std::string HostFormatInfoText(const HostInfo& info) {
    std::string s;
    auto row = [&s](const char* key, const std::string& value) {
        s += HostFormat("%-14s%s\n", key, value.c_str());
    };
    std::string id = HostFourCCText(info.uniqueID);
    row("Plug-in", info.path);
    row("Name", info.name);
    row("Vendor", info.vendor);
    row("Product", info.product);
    row("Version",
        HostFormat("%d (vendor version %lld)", info.version, static_cast<long long>(info.vendorVersion)));
    row("Unique ID", id.empty()
                         ? HostFormat("0x%08X", static_cast<unsigned>(info.uniqueID))
                         : HostFormat("'%s' (0x%08X)", id.c_str(), static_cast<unsigned>(info.uniqueID)));
    row("VST version", HostFormat("%lld", static_cast<long long>(info.vstVersion)));
    row("Category",
        HostFormat("%s (%lld)", CategoryName(info.category), static_cast<long long>(info.category)));
    row("Inputs", HostFormat("%d", info.numInputs));
    row("Outputs", HostFormat("%d", info.numOutputs));
    row("Parameters", HostFormat("%d", info.numParams));
    row("Programs",
        HostFormat("%d (current %lld)", info.numPrograms, static_cast<long long>(info.currentProgram)));
    std::string flagNames = HostFlagNames(info.flags);
    row("Flags", HostFormat("0x%X%s%s%s", static_cast<unsigned>(info.flags), flagNames.empty() ? "" : " (",
                            flagNames.c_str(), flagNames.empty() ? "" : ")"));
    row("Latency", HostFormat("%d samples", info.latency));
    row("Tail", HostFormat("%lld samples", static_cast<long long>(info.tailSize)));
    row("Editor", info.hasEditorRect ? HostFormat("%d x %d", info.editorWidth, info.editorHeight)
                  : (info.flags & effFlagsHasEditor) ? "yes (no size before it is opened)"
                                                     : "none");

    s += "\nParameters:\n";
    size_t w = Widest(info.params);
    for (size_t i = 0; i < info.params.size(); ++i) {
        const HostParamInfo& p = info.params[i];
        std::string shown = p.label.empty() ? p.display : p.display + " " + p.label;
        s += HostFormat("  %3zu  %s  %s  %.6f\n", i, PadRight(p.name, w).c_str(), PadRight(shown, 16).c_str(),
                        static_cast<double>(p.value));
    }
    s += "\nPrograms:\n";
    for (size_t i = 0; i < info.programs.size(); ++i)
        s += HostFormat("  %3zu  %s\n", i, info.programs[i].c_str());
    s += "\nCan do:\n";
    for (const auto& c : info.canDo)
        s += HostFormat("  %-20s %s (%lld)\n", c.first.c_str(), CanDoMeaning(c.second),
                        static_cast<long long>(c.second));
    return s;
}

std::string HostFormatInfoJson(const HostInfo& info) {
    std::string s = "{\n";
    auto field = [&s](const char* key, const std::string& json, bool last = false) {
        s += HostFormat("  \"%s\": %s%s\n", key, json.c_str(), last ? "" : ",");
    };
    auto num = [](long long v) { return HostFormat("%lld", v); };
    field("path", HostJsonQuote(info.path));
    field("name", HostJsonQuote(info.name));
    field("vendor", HostJsonQuote(info.vendor));
    field("product", HostJsonQuote(info.product));
    field("version", num(info.version));
    field("vendorVersion", num(info.vendorVersion));
    field("uniqueID", num(info.uniqueID));
    field("uniqueIDText", HostJsonQuote(HostFourCCText(info.uniqueID)));
    field("vstVersion", num(info.vstVersion));
    field("category", num(info.category));
    field("numInputs", num(info.numInputs));
    field("numOutputs", num(info.numOutputs));
    field("numParams", num(info.numParams));
    field("numPrograms", num(info.numPrograms));
    field("currentProgram", num(info.currentProgram));
    field("flags", num(info.flags));
    std::string names = "[";
    std::string flagNames = HostFlagNames(info.flags);
    size_t start = 0;
    while (start < flagNames.size()) {
        size_t end = flagNames.find(' ', start);
        if (end == std::string::npos) end = flagNames.size();
        if (names.size() > 1) names += ", ";
        names += HostJsonQuote(flagNames.substr(start, end - start));
        start = end + 1;
    }
    names += "]";
    field("flagNames", names);
    field("latency", num(info.latency));
    field("tailSize", num(info.tailSize));
    field("editor", info.hasEditorRect
                        ? HostFormat("{\"width\": %d, \"height\": %d}", info.editorWidth, info.editorHeight)
                        : std::string("null"));
    std::string params = "[";
    for (size_t i = 0; i < info.params.size(); ++i) {
        const HostParamInfo& p = info.params[i];
        params += HostFormat(
            "%s\n    {\"index\": %zu, \"name\": %s, \"label\": %s, \"display\": %s, \"value\": %s}",
            i ? "," : "", i, HostJsonQuote(p.name).c_str(), HostJsonQuote(p.label).c_str(),
            HostJsonQuote(p.display).c_str(), JsonFloat(p.value).c_str());
    }
    params += info.params.empty() ? "]" : "\n  ]";
    field("parameters", params);
    std::string programs = "[";
    for (size_t i = 0; i < info.programs.size(); ++i)
        programs += HostFormat("%s\n    {\"index\": %zu, \"name\": %s}", i ? "," : "", i,
                               HostJsonQuote(info.programs[i]).c_str());
    programs += info.programs.empty() ? "]" : "\n  ]";
    field("programs", programs);
    std::string cando = "{";
    for (size_t i = 0; i < info.canDo.size(); ++i)
        cando += HostFormat("%s\n    %s: %lld", i ? "," : "", HostJsonQuote(info.canDo[i].first).c_str(),
                            static_cast<long long>(info.canDo[i].second));
    cando += info.canDo.empty() ? "}" : "\n  }";
    field("canDo", cando, true);
    s += "}\n";
    return s;
}
