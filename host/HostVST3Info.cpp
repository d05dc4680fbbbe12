// HostVST3Plugin::Describe: what `tidebloom-host info` prints about a VST 3 plug-in: its class (name,
// id, category, vendor, versions), how its controller is made, its main buses, latency, tail and editor
// size, every parameter with its text, plain value, range and normalised value, and its programs.
#include <cmath>

#include "host/HostText.h"
#include "host/HostVST3Plugin.h"

namespace {

struct ParamRow {
    unsigned id;
    std::string name, units, text, flags;
    double value, plain, min, max, def;
    int32_t steps;
};

std::string FlagNames(int32_t flags) {
    std::string s;
    const std::pair<int32_t, const char*> names[] = {
        {V3_PARAM_CAN_AUTOMATE, "automatable"}, {V3_PARAM_READ_ONLY, "read-only"},
        {V3_PARAM_WRAP_AROUND, "wrap-around"},  {V3_PARAM_IS_LIST, "list"},
        {V3_PARAM_IS_HIDDEN, "hidden"},         {V3_PARAM_PROGRAM_CHANGE, "program-change"},
        {V3_PARAM_IS_BYPASS, "bypass"}};
    for (const auto& [bit, name] : names) {
        if (!(flags & bit)) continue;
        if (!s.empty()) s += ' ';
        s += name;
    }
    return s;
}

template <size_t N>
std::string Field(const char (&text)[N]) {
    return HostCleanText(text, N);
}

std::string JsonNumber(double v) {
    return std::isfinite(v) ? HostFormat("%.17g", v) : "null";
}

} // namespace

std::string HostVST3Plugin::ClassIdText() const {
    std::string classId;
    for (uint8_t b : mClassId) classId += HostFormat("%02X", b);
    return classId;
}

std::string HostVST3Plugin::Vendor() const {
    return mHasClassInfo2 && mClassInfo2.vendor[0] ? Field(mClassInfo2.vendor) : Field(mFactoryInfo.vendor);
}

std::string HostVST3Plugin::Version() const {
    return mHasClassInfo2 ? Field(mClassInfo2.version) : "";
}

std::string HostVST3Plugin::Describe(bool json) {
    const std::string classId = ClassIdText();
    const std::string vendor = Vendor();
    const std::string version = Version();
    const std::string sdk = mHasClassInfo2 ? Field(mClassInfo2.sdk_version) : "";
    const std::string subcategories = mHasClassInfo2 ? Field(mClassInfo2.sub_categories) : "";
    const char* controller = !mController ? "none" : mSeparateController ? "separate" : "component";

    std::vector<ParamRow> rows;
    for (int i = 0, n = NumParams(); i < n; ++i) {
        v3_param_info info;
        if (!ParamInfo(i, info)) continue;
        const double v = ParamValue(info.param_id);
        rows.push_back({info.param_id, Text16(info.title), Text16(info.units), ParamText(info.param_id, v),
                        FlagNames(info.flags), v, ParamPlain(info.param_id, v),
                        ParamPlain(info.param_id, 0.0), ParamPlain(info.param_id, 1.0),
                        info.default_normalised_value, info.step_count});
    }
    Programs programs;
    if (!FindPrograms(programs)) programs.names.clear();
    const std::string current = ProgramName();
    int w = 0, h = 0;
    const bool editor = HasEditor() && EditorSize(w, h);
    CloseEditor();
    const int latency = Latency();
    const uint32_t tail = v3_cpp_obj(mProcessor)->get_tail_samples(mProcessor);

    if (json) {
        std::string s = "{\n";
        auto field = [&s](const char* key, const std::string& value, bool last = false) {
            s += HostFormat("  \"%s\": %s%s\n", key, value.c_str(), last ? "" : ",");
        };
        field("path", HostJsonQuote(mPath));
        field("format", HostJsonQuote("VST 3"));
        field("sdkVersion", HostJsonQuote(sdk));
        field("classId", HostJsonQuote(classId));
        field("name", HostJsonQuote(mClassName));
        field("vendor", HostJsonQuote(vendor));
        field("version", HostJsonQuote(version));
        field("category", HostJsonQuote(mCategory));
        field("subcategories", HostJsonQuote(subcategories));
        field("controller", HostJsonQuote(controller));
        field("numInputs", HostFormat("%d", mInputs));
        field("numOutputs", HostFormat("%d", mOutputs));
        field("inputBuses", HostFormat("%zu", mInBuses.size()));
        field("outputBuses", HostFormat("%zu", mOutBuses.size()));
        field("latency", HostFormat("%d", latency));
        field("tail", HostFormat("%u", tail));
        field("editor", editor ? HostFormat("{\"width\": %d, \"height\": %d}", w, h) : std::string("null"));
        std::string params = "[";
        for (size_t i = 0; i < rows.size(); ++i) {
            const ParamRow& r = rows[i];
            params += HostFormat(
                "%s\n    {\"index\": %zu, \"id\": %u, \"name\": %s, \"units\": %s, \"display\": %s, "
                "\"value\": %s, \"plain\": %s, \"min\": %s, \"max\": %s, \"default\": %s, "
                "\"steps\": %d, \"flags\": %s}",
                i ? "," : "", i, r.id, HostJsonQuote(r.name).c_str(), HostJsonQuote(r.units).c_str(),
                HostJsonQuote(r.text).c_str(), JsonNumber(r.value).c_str(), JsonNumber(r.plain).c_str(),
                JsonNumber(r.min).c_str(), JsonNumber(r.max).c_str(), JsonNumber(r.def).c_str(), r.steps,
                HostJsonQuote(r.flags).c_str());
        }
        params += rows.empty() ? "]" : "\n  ]";
        field("parameters", params);
        std::string list = "[";
        for (size_t i = 0; i < programs.names.size(); ++i)
            list += HostFormat("%s\n    {\"index\": %zu, \"name\": %s}", i ? "," : "", i,
                               HostJsonQuote(programs.names[i]).c_str());
        list += programs.names.empty() ? "]" : "\n  ]";
        field("programs", list);
        field("currentProgram", HostJsonQuote(current), true);
        return s + "}\n";
    }

    std::string s;
    auto row = [&s](const char* key, const std::string& value) {
        s += HostFormat("%-14s%s\n", key, value.c_str());
    };
    row("Plug-in", mPath);
    row("Format", sdk.empty() ? "VST 3" : "VST 3 (" + sdk + ")");
    row("Name", mClassName);
    row("Vendor", vendor);
    row("Class ID", classId);
    row("Category", subcategories.empty() ? mCategory : mCategory + " (" + subcategories + ")");
    row("Version", version);
    row("Controller", !mController          ? "none"
                      : mSeparateController ? "a separate object, connected to the component"
                                            : "the component itself");
    auto buses = [](int main, const std::vector<Bus>& all) {
        return all.size() > 1
                   ? HostFormat("%d (%zu buses: the first is used, the others get silence)", main, all.size())
                   : HostFormat("%d", main);
    };
    row("Inputs", buses(mInputs, mInBuses));
    row("Outputs", buses(mOutputs, mOutBuses));
    row("Parameters", HostFormat("%zu", rows.size()));
    row("Programs", programs.names.empty()
                        ? "none"
                        : HostFormat("%zu (current %s)", programs.names.size(), current.c_str()));
    row("Latency", HostFormat("%d samples", latency));
    row("Tail", HostFormat("%u samples", tail));
    row("Editor", editor ? HostFormat("%d x %d", w, h) : "none");
    s += "\nParameters:\n";
    size_t widest = 0;
    for (const ParamRow& r : rows) widest = std::max(widest, r.name.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const ParamRow& r = rows[i];
        const std::string shown = r.units.empty() ? r.text : r.text + " " + r.units;
        std::string details = HostFormat("%g to %g, normalised %.6g, id %u", r.min, r.max, r.value, r.id);
        if (r.steps > 0) details += HostFormat(", %d step%s", r.steps, r.steps == 1 ? "" : "s");
        if (!r.flags.empty()) details += ", " + r.flags;
        s += HostFormat("  %3zu  %-*s  %-16s  %g (%s)\n", i, static_cast<int>(widest), r.name.c_str(),
                        shown.c_str(), r.plain, details.c_str());
    }
    if (!programs.names.empty()) {
        s += "\nPrograms:\n";
        for (size_t i = 0; i < programs.names.size(); ++i)
            s += HostFormat("  %3zu  %s\n", i, programs.names[i].c_str());
    }
    return s;
}
