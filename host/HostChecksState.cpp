// The checks on the state: a round trip through another instance, and hostile state.
#include <cmath>
#include <cstring>

#include "host/HostCheckSupport.h"
#include "host/HostText.h"

namespace {

constexpr double kSame = 1e-5;

struct StateCase {
    std::string name;
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

void PutBig32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// A VST 2 program file ("CcnK", "FxCk") of a plug-in with another id and five parameters.
std::vector<uint8_t> ForeignProgramFile() {
    std::vector<uint8_t> b = Bytes("CcnK");
    PutBig32(b, 52 + 5 * 4);
    for (char c : std::string("FxCk")) b.push_back(static_cast<uint8_t>(c));
    PutBig32(b, 1);
    for (char c : std::string("XxYz")) b.push_back(static_cast<uint8_t>(c));
    PutBig32(b, 1);
    PutBig32(b, 5);
    b.resize(b.size() + 28, 0);
    std::memcpy(b.data() + b.size() - 28, "Foreign", 7);
    for (int i = 0; i < 5; ++i) PutBig32(b, 0x3F000000); // 0.5f
    return b;
}

// Every hostile state tried at a strictness, made from a valid one.
std::vector<StateCase> HostileStates(const std::vector<uint8_t>& valid, const HostCheckContext& ctx) {
    std::vector<StateCase> cases;
    auto prefix = [&](size_t n) {
        return std::vector<uint8_t>(valid.begin(), valid.begin() + std::min(n, valid.size()));
    };
    cases.push_back({"no bytes", {}});
    cases.push_back({"its first byte only", prefix(1)});
    cases.push_back({"its first half", prefix(valid.size() / 2)});
    cases.push_back({"all but its last byte", prefix(valid.size() > 0 ? valid.size() - 1 : 0)});
    std::vector<uint8_t> twice = valid;
    twice.insert(twice.end(), valid.begin(), valid.end());
    cases.push_back({"itself twice", twice});
    cases.push_back({"a VST 2 program file of another plug-in", ForeignProgramFile()});
    cases.push_back(
        {"another plug-in's JSON", Bytes("{\"plugin\": \"other\", \"params\": [1e308, -1, null]}")});
    cases.push_back({"another plug-in's Turtle", Bytes("@prefix state: <http://lv2plug.in/ns/ext/state#> "
                                                       ".\n<> state:state [ <urn:x#gain> 1e999 ] .\n")});
    cases.push_back(
        {"another plug-in's chunk", Bytes(std::string("FKCH\x03", 5) + std::string(100, '\xff'))});
    std::mt19937_64 rng(ctx.Seed("hostile-state"));
    std::uniform_int_distribution<int> byte(0, 255);
    for (int k = 0; k < ctx.strictness && !valid.empty(); ++k) {
        std::vector<uint8_t> b = valid;
        const int flips = 1 + k % 4;
        for (int f = 0; f < flips; ++f)
            b[std::uniform_int_distribution<size_t>(0, b.size() - 1)(rng)] = static_cast<uint8_t>(byte(rng));
        cases.push_back(
            {HostFormat("itself with %d byte%s changed (%d)", flips, flips > 1 ? "s" : "", k + 1), b});
    }
    for (int k = 0; k < (ctx.strictness + 1) / 2; ++k) {
        std::vector<uint8_t> b(k == 0 ? 65536 : std::max<size_t>(valid.size(), 16));
        for (uint8_t& v : b) v = static_cast<uint8_t>(byte(rng));
        cases.push_back({HostFormat("%zu random bytes", b.size()), b});
    }
    return cases;
}

// Why the instance is not fine after a state was loaded, or "".
std::string Harm(HostCheckInstance& inst, const HostCheckContext& ctx) {
    HostValidateTarget& t = inst.Target();
    for (int i = 0, n = t.NumParams(); i < n; ++i) {
        HostParamMeta m;
        const double v = t.ParamValue(i);
        if (t.ParamMeta(i, m) && !(v >= m.min && v <= m.max))
            return HostFormat("parameter '%s' is left at %g, outside %g to %g", m.name.c_str(), v, m.min,
                              m.max);
    }
    const HostSignalStats st =
        HostMeasureSignal(inst.Renderer().Render(inst.Music(0.2, ctx.Seed("hostile")), kCheckBlock));
    if (st.nonFinite > 0) return "the output is NaN or infinite afterwards";
    std::vector<uint8_t> again;
    std::string err;
    if (!t.SaveState(again, err)) return "its state cannot be saved afterwards: " + err;
    return "";
}

std::string FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    size_t k = 0;
    while (k < a.size() && k < b.size() && a[k] == b[k]) ++k;
    return HostFormat("%zu and %zu bytes, the first difference at byte %zu", a.size(), b.size(), k);
}

} // namespace

HostCheckOutcome HostCheckState(const HostCheckContext& ctx) {
    std::string err;
    std::mt19937_64 rng(ctx.Seed("state"));
    ctx.Step("saving the state of an instance with random values");
    HostCheckInstance a, b;
    if (!a.OpenIdle(ctx, err)) return HostCheckOutcome::Failed(err);
    a.Effect().Configure(kCheckRate, kCheckBlock, false);
    HostRandomise(a.Target(), rng);
    std::vector<uint8_t> saved, again;
    if (!a.Target().SaveState(saved, err)) return HostCheckOutcome::Skipped(err);
    ctx.Step("loading it into another instance");
    if (!b.OpenIdle(ctx, err)) return HostCheckOutcome::Failed(err);
    b.Effect().Configure(kCheckRate, kCheckBlock, false);
    if (!b.Target().LoadState(saved))
        return HostCheckOutcome::Failed("another instance refused the state saved");
    // A parameter the state does not carry (a program selector) is told, not failed: the bytes and
    // the audio decide.
    std::string note;
    for (int i = 0, n = a.Target().NumParams(); i < n && note.empty(); ++i) {
        HostParamMeta m;
        const double va = a.Target().ParamValue(i), vb = b.Target().ParamValue(i);
        if (a.Target().ParamMeta(i, m) && !m.readOnly && !(std::fabs(va - vb) <= 1e-6 * (m.max - m.min)))
            note = HostFormat(" (parameter '%s' was %g when saved and is %g after loading)", m.name.c_str(),
                              va, vb);
    }
    ctx.Step("saving it again");
    if (!b.Target().SaveState(again, err)) return HostCheckOutcome::Failed("saving the loaded state: " + err);
    if (again != saved)
        return HostCheckOutcome::Failed("saved again after loading, the state has other bytes: " +
                                        FirstDifference(saved, again));
    ctx.Step("rendering through both");
    a.Start();
    b.Start();
    const HostSignal in = a.Music(1.0, ctx.Seed("state-music"));
    const double diff =
        HostMaxDifference(a.Renderer().Render(in, kCheckBlock), b.Renderer().Render(in, kCheckBlock));
    if (!(diff <= kSame))
        return HostCheckOutcome::Failed(
            HostFormat("the instance that loaded the state sounds different, by up to "
                       "%.1f dBFS",
                       HostDecibels(diff)));
    return HostCheckOutcome::Passed(
        HostFormat("%zu bytes; saved again the same, and the same audio", saved.size()) + note);
}

HostCheckOutcome HostCheckHostileState(const HostCheckContext& ctx) {
    std::string err;
    HostCheckInstance inst;
    if (!inst.Open(ctx, err)) return HostCheckOutcome::Failed(err);
    if (!inst.Target().OwnsState())
        return HostCheckOutcome::Skipped("the plug-in keeps no state of its own, only parameter values");
    std::vector<uint8_t> valid;
    if (!inst.Target().SaveState(valid, err)) return HostCheckOutcome::Skipped(err);
    const bool unchangedWhenRefused = ctx.strictness >= 8;
    int refused = 0, taken = 0;
    const std::vector<StateCase> cases = HostileStates(valid, ctx);
    for (const StateCase& c : cases) {
        ctx.Step("loading " + c.name);
        std::vector<uint8_t> before, after;
        if (unchangedWhenRefused && !inst.Target().SaveState(before, err))
            return HostCheckOutcome::Failed(err);
        const bool accepted = inst.Target().LoadState(c.bytes);
        (accepted ? taken : refused)++;
        ctx.Step("running after loading " + c.name);
        const std::string harm = Harm(inst, ctx);
        if (!harm.empty())
            return HostCheckOutcome::Failed(
                HostFormat("after %s %s: ", accepted ? "taking" : "refusing", c.name.c_str()) + harm);
        if (unchangedWhenRefused && !accepted && inst.Target().SaveState(after, err) && after != before)
            return HostCheckOutcome::Failed("refusing " + c.name + " it changed its state anyway");
        // Back to a known state for the next case.
        if (!inst.Target().LoadState(valid))
            return HostCheckOutcome::Failed("after " + c.name + " it refuses its own state");
    }
    return HostCheckOutcome::Passed(
        HostFormat("%zu damaged, random or foreign states: %d refused, %d taken, all "
                   "harmless",
                   cases.size(), refused, taken));
}
