#include "host/HostPresets.h"

#include "host/HostFile.h"
#include "host/HostNames.h"
#include "host/HostText.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

constexpr size_t kMaxStateFile = 256u << 20;
// Resolution of the search for a value by its display text.
constexpr int kDisplaySteps = 1000;
// Most display texts an error lists one by one; more are given as the first and the last.
constexpr size_t kListedTexts = 8;

std::string IdText(int32_t id) {
    std::string t = HostFourCCText(id);
    return t.empty() ? HostFormat("0x%08X", static_cast<unsigned>(id)) : HostFormat("'%s'", t.c_str());
}

bool DisplayMatches(const std::string& display, const std::string& label, const std::string& text) {
    if (HostEqualsNoCase(display, text)) return true;
    if (label.empty()) return false;
    return HostEqualsNoCase(display + " " + label, text) || HostEqualsNoCase(display + label, text);
}

float Normalised(float v) {
    if (!std::isfinite(v)) return 0.0f;
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

bool CheckPluginId(HostPlugin& plugin, int32_t fxID, const char* what, std::string& err) {
    if (fxID == plugin.Effect()->uniqueID) return true;
    err = HostFormat("the %s is for plug-in %s, not %s", what, IdText(fxID).c_str(),
                     IdText(plugin.Effect()->uniqueID).c_str());
    return false;
}

void SetProgramName(HostPlugin& plugin, const std::string& name) {
    if (name.empty()) return;
    char buf[64];
    std::memset(buf, 0, sizeof buf);
    std::memcpy(buf, name.data(), std::min(name.size(), size_t{27}));
    plugin.Dispatch(effSetProgramName, 0, 0, buf);
}

bool TakesChunks(HostPlugin& plugin) {
    return (plugin.Effect()->flags & effFlagsProgramChunks) != 0;
}

bool GetChunk(HostPlugin& plugin, bool program, std::vector<uint8_t>& out, std::string& err) {
    void* data = nullptr;
    intptr_t size = plugin.Dispatch(effGetChunk, program ? 1 : 0, 0, &data);
    if (size <= 0 || !data) {
        err = HostFormat("the plug-in gave no %s chunk", program ? "program" : "bank");
        return false;
    }
    if (size > static_cast<intptr_t>(INT32_MAX)) {
        err = HostFormat("the plug-in's %s chunk is too large (%lld bytes)", program ? "program" : "bank",
                         static_cast<long long>(size));
        return false;
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    out.assign(bytes, bytes + size);
    return true;
}

void SetChunk(HostPlugin& plugin, bool program, const std::vector<uint8_t>& chunk) {
    // The plug-in may keep the pointer only for the call; it gets its own copy of the bytes.
    std::vector<uint8_t> copy = chunk;
    plugin.Dispatch(effSetChunk, program ? 1 : 0, static_cast<intptr_t>(copy.size()),
                    copy.empty() ? nullptr : copy.data());
}

void CaptureParams(HostPlugin& plugin, std::vector<float>& params) {
    int n = plugin.Effect()->numParams;
    params.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) params[static_cast<size_t>(i)] = Normalised(plugin.GetParameter(i));
}

void ApplyParams(HostPlugin& plugin, const std::vector<float>& params) {
    for (size_t i = 0; i < params.size(); ++i) plugin.SetParameter(static_cast<int>(i), params[i]);
}

} // namespace

bool HostFindParameter(HostPlugin& plugin, const std::string& name, int& index, std::string& err) {
    std::vector<std::string> names;
    for (int i = 0; i < plugin.Effect()->numParams; ++i) names.push_back(plugin.ParamName(i));
    index = HostFindParameterName(names, name, err);
    return index >= 0;
}

// Walks the whole range of parameter index and sets it to the middle of the first stretch of
// values that the plug-in shows as text, so that rounded displays land on the value they name.
// Restores the original value and returns false when no value shows so; shown then describes the
// texts it does show ("'Soft', 'Hard'" or "'0.00' to '2.00'").
static bool SetByDisplayText(HostPlugin& plugin, int index, const std::string& text, std::string& shown) {
    const float original = plugin.GetParameter(index);
    std::string label = plugin.ParamLabel(index);
    std::vector<std::string> texts; // the displays in order, each stretch once
    int first = -1, last = -1;
    for (int step = 0; step <= kDisplaySteps; ++step) {
        plugin.SetParameter(index, static_cast<float>(step) / kDisplaySteps);
        std::string display = plugin.ParamDisplay(index);
        if (DisplayMatches(display, label, text)) {
            if (first < 0) first = step;
            last = step;
        } else if (first >= 0) {
            break;
        }
        if (texts.empty() || texts.back() != display) texts.push_back(std::move(display));
    }
    if (first < 0) {
        plugin.SetParameter(index, original);
        if (texts.size() <= kListedTexts) {
            for (const std::string& t : texts) shown += (shown.empty() ? "'" : ", '") + t + "'";
        } else {
            shown = "'" + texts.front() + "' to '" + texts.back() + "'";
        }
        return false;
    }
    plugin.SetParameter(index, static_cast<float>(first + last) / (2.0f * kDisplaySteps));
    return true;
}

bool HostSetParameterFromText(HostPlugin& plugin, int index, const std::string& text, std::string& err) {
    std::string name = plugin.ParamName(index);
    double number = 0.0;
    std::string shown;
    if (HostParseDouble(text, number)) {
        if (number >= 0.0 && number <= 1.0) {
            plugin.SetParameter(index, static_cast<float>(number));
            return true;
        }
        // A number outside 0..1 may still be a text the plug-in displays ("-6.0").
        if (SetByDisplayText(plugin, index, text, shown)) return true;
        err = HostFormat("value %s for parameter '%s' is out of range (normalised values are 0 to 1) and not "
                         "a text it displays (%s)",
                         text.c_str(), name.c_str(), shown.c_str());
        return false;
    }
    if (SetByDisplayText(plugin, index, text, shown)) return true;
    err = HostFormat("parameter '%s' shows no value as '%s' (give a normalised value 0 to 1 or a text it "
                     "displays: %s)",
                     name.c_str(), text.c_str(), shown.c_str());
    return false;
}

bool HostApplyAssignment(HostPlugin& plugin, const std::string& assignment, std::string& err) {
    size_t eq = assignment.find('=');
    if (eq == std::string::npos || eq == 0) {
        err = HostFormat("'%s' is not NAME=VALUE", assignment.c_str());
        return false;
    }
    int index = 0;
    if (!HostFindParameter(plugin, assignment.substr(0, eq), index, err)) return false;
    return HostSetParameterFromText(plugin, index, assignment.substr(eq + 1), err);
}

bool HostFindProgram(HostPlugin& plugin, const std::string& text, int& index, std::string& err) {
    int n = plugin.Effect()->numPrograms;
    long long number = 0;
    if (HostParseInt(text, LLONG_MIN, LLONG_MAX, number)) {
        if (n <= 0) {
            err = HostFormat("unknown program %s (the plug-in has no programs)", text.c_str());
            return false;
        }
        if (number < 0 || number >= n) {
            err = HostFormat("unknown program %s (the plug-in has %d program%s, 0 to %d)", text.c_str(), n,
                             n == 1 ? "" : "s", n - 1);
            return false;
        }
        index = static_cast<int>(number);
        return true;
    }
    std::vector<std::string> names(static_cast<size_t>(n));
    bool answered = false;
    for (int i = 0; i < n; ++i) answered |= plugin.ProgramNameIndexed(i, names[static_cast<size_t>(i)]);
    if (!answered && n > 0) {
        // The plug-in only names its current program: visit each one, then go back to it with
        // its live values (visiting may have dropped unsaved edits).
        int current = static_cast<int>(plugin.Dispatch(effGetProgram));
        std::vector<float> live;
        CaptureParams(plugin, live);
        for (int i = 0; i < n; ++i) {
            HostSelectProgram(plugin, i);
            names[static_cast<size_t>(i)] = plugin.ProgramName();
        }
        if (current >= 0 && current < n) HostSelectProgram(plugin, current);
        ApplyParams(plugin, live);
    }
    for (int i = 0; i < n; ++i) {
        if (names[static_cast<size_t>(i)] == text) {
            index = i;
            return true;
        }
    }
    for (int i = 0; i < n; ++i) {
        if (HostEqualsNoCase(names[static_cast<size_t>(i)], text)) {
            index = i;
            return true;
        }
    }
    err = HostFormat("unknown program '%s'%s", text.c_str(), n > 0 ? "" : " (the plug-in has no programs)");
    return false;
}

void HostSelectProgram(HostPlugin& plugin, int index) {
    plugin.Dispatch(effBeginSetProgram);
    plugin.Dispatch(effSetProgram, 0, index);
    plugin.Dispatch(effEndSetProgram);
}

bool HostCaptureProgram(HostPlugin& plugin, HostFxProgram& out, std::string& err) {
    AEffect* e = plugin.Effect();
    HostFxProgram p;
    p.fxID = e->uniqueID;
    p.fxVersion = e->version;
    p.numParams = e->numParams;
    p.name = plugin.ProgramName();
    if (TakesChunks(plugin)) {
        p.isChunk = true;
        if (!GetChunk(plugin, true, p.chunk, err)) return false;
    } else {
        CaptureParams(plugin, p.params);
    }
    out = std::move(p);
    return true;
}

bool HostApplyProgram(HostPlugin& plugin, const HostFxProgram& program, std::string& err) {
    AEffect* e = plugin.Effect();
    if (!CheckPluginId(plugin, program.fxID, "program", err)) return false;
    if (program.isChunk) {
        if (!TakesChunks(plugin)) {
            err = "the program holds an opaque chunk, but the plug-in does not take chunks";
            return false;
        }
        SetChunk(plugin, true, program.chunk);
    } else {
        if (static_cast<int>(program.params.size()) != e->numParams) {
            err = HostFormat("the program holds %zu parameters, the plug-in has %d", program.params.size(),
                             e->numParams);
            return false;
        }
        ApplyParams(plugin, program.params);
    }
    SetProgramName(plugin, program.name);
    return true;
}

bool HostCaptureBank(HostPlugin& plugin, HostFxBank& out, std::string& err) {
    AEffect* e = plugin.Effect();
    HostFxBank b;
    b.fxID = e->uniqueID;
    b.fxVersion = e->version;
    b.numPrograms = e->numPrograms;
    int current = static_cast<int>(plugin.Dispatch(effGetProgram));
    b.currentProgram = current;
    if (TakesChunks(plugin)) {
        b.isChunk = true;
        if (!GetChunk(plugin, false, b.chunk, err)) return false;
        out = std::move(b);
        return true;
    }
    // Visiting the programs may drop unsaved edits of the current one: keep and restore them.
    std::vector<float> live;
    CaptureParams(plugin, live);
    for (int i = 0; i < e->numPrograms; ++i) {
        HostSelectProgram(plugin, i);
        HostFxProgram p;
        p.fxID = e->uniqueID;
        p.fxVersion = e->version;
        p.numParams = e->numParams;
        p.name = plugin.ProgramName();
        if (i == current)
            p.params = live; // the current program as it is now, with any unsaved edits
        else
            CaptureParams(plugin, p.params);
        b.programs.push_back(std::move(p));
    }
    if (current >= 0 && current < e->numPrograms) HostSelectProgram(plugin, current);
    ApplyParams(plugin, live);
    out = std::move(b);
    return true;
}

bool HostApplyBank(HostPlugin& plugin, const HostFxBank& bank, std::string& err) {
    AEffect* e = plugin.Effect();
    if (!CheckPluginId(plugin, bank.fxID, "bank", err)) return false;
    if (bank.isChunk) {
        if (!TakesChunks(plugin)) {
            err = "the bank holds an opaque chunk, but the plug-in does not take chunks";
            return false;
        }
        SetChunk(plugin, false, bank.chunk);
        if (bank.currentProgram >= 0 && bank.currentProgram < e->numPrograms)
            HostSelectProgram(plugin, bank.currentProgram);
        return true;
    }
    if (static_cast<int>(bank.programs.size()) > e->numPrograms) {
        err = HostFormat("the bank holds %zu programs, the plug-in has %d", bank.programs.size(),
                         e->numPrograms);
        return false;
    }
    for (size_t i = 0; i < bank.programs.size(); ++i) {
        if (static_cast<int>(bank.programs[i].params.size()) != e->numParams) {
            err = HostFormat("program %zu of the bank holds %zu parameters, the plug-in has %d", i,
                             bank.programs[i].params.size(), e->numParams);
            return false;
        }
    }
    for (size_t i = 0; i < bank.programs.size(); ++i) {
        HostSelectProgram(plugin, static_cast<int>(i));
        ApplyParams(plugin, bank.programs[i].params);
        SetProgramName(plugin, bank.programs[i].name);
    }
    int current = bank.currentProgram;
    if (current < 0 || current >= static_cast<int>(bank.programs.size())) current = 0;
    if (!bank.programs.empty()) HostSelectProgram(plugin, current);
    return true;
}

bool HostLoadProgramFile(HostPlugin& plugin, const std::string& path, std::string& err) {
    std::vector<uint8_t> bytes;
    if (!HostReadWholeFile(path, kMaxStateFile, bytes, err)) return false;
    HostFxProgram program;
    std::string why;
    if (!HostDecodeFxp(bytes.data(), bytes.size(), program, why) || !HostApplyProgram(plugin, program, why)) {
        err = HostFormat("cannot load program '%s': %s", path.c_str(), why.c_str());
        return false;
    }
    return true;
}

bool HostSaveProgramFile(HostPlugin& plugin, Util_AtomicFile& file, std::string& err) {
    HostFxProgram program;
    std::string why;
    if (!HostCaptureProgram(plugin, program, why)) {
        err = HostFormat("cannot save program '%s': %s", file.Path().c_str(), why.c_str());
        return false;
    }
    const std::vector<uint8_t> bytes = HostEncodeFxp(program);
    return file.WriteAll(bytes.data(), bytes.size(), err);
}

bool HostLoadBankFile(HostPlugin& plugin, const std::string& path, std::string& err) {
    std::vector<uint8_t> bytes;
    if (!HostReadWholeFile(path, kMaxStateFile, bytes, err)) return false;
    HostFxBank bank;
    std::string why;
    if (!HostDecodeFxb(bytes.data(), bytes.size(), bank, why) || !HostApplyBank(plugin, bank, why)) {
        err = HostFormat("cannot load bank '%s': %s", path.c_str(), why.c_str());
        return false;
    }
    return true;
}

bool HostSaveBankFile(HostPlugin& plugin, Util_AtomicFile& file, std::string& err) {
    HostFxBank bank;
    std::string why;
    if (!HostCaptureBank(plugin, bank, why)) {
        err = HostFormat("cannot save bank '%s': %s", file.Path().c_str(), why.c_str());
        return false;
    }
    const std::vector<uint8_t> bytes = HostEncodeFxb(bank);
    return file.WriteAll(bytes.data(), bytes.size(), err);
}

bool HostApplyProgramAndValues(HostPlugin& plugin, const std::string& program,
                               const std::vector<std::string>& assignments, std::string& err) {
    if (!program.empty()) {
        int index = 0;
        if (!HostFindProgram(plugin, program, index, err)) return false;
        HostSelectProgram(plugin, index);
    }
    for (const std::string& a : assignments)
        if (!HostApplyAssignment(plugin, a, err)) return false;
    return true;
}
