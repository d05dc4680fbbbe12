// The basic checks: loading, identity, parameter metadata and texts, loading again and again.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <set>
#include <thread>

#include "host/HostCheckSupport.h"
#include "host/HostText.h"

namespace {

// Longest plausible latency: ten seconds.
constexpr int kMaxLatencySeconds = 10;
constexpr int kReloads = 10;

bool Whole(double v) {
    return std::isfinite(v) && v == std::round(v);
}

// Loads, runs a little music and closes; false with err set when the output is not finite.
bool RunOnce(const HostCheckContext& ctx, std::string& err) {
    HostCheckInstance inst;
    if (!inst.Open(ctx, err)) return false;
    const HostSignal out = inst.Renderer().Render(inst.Music(0.1, ctx.Seed("reload")), kCheckBlock);
    const HostSignalStats st = HostMeasureSignal(out);
    if (st.nonFinite > 0) {
        err = HostFormat("%lld samples of the output are not finite", static_cast<long long>(st.nonFinite));
        return false;
    }
    return true;
}

// What one instance's identity and channels look like, for comparing instances.
std::string Signature(HostValidateTarget& t) {
    const HostIdentity id = t.Identity();
    return id.name + "|" + id.vendor + "|" + id.version + "|" + id.id + "|" +
           HostFormat("%d|%d|%d", t.Effect().NumInputs(), t.Effect().NumOutputs(), t.NumParams());
}

} // namespace

HostCheckOutcome HostCheckLoad(const HostCheckContext& ctx) {
    const auto begin = std::chrono::steady_clock::now();
    ctx.Step("loading");
    std::string err;
    HostCheckInstance inst;
    if (!inst.Open(ctx, err)) return HostCheckOutcome::Failed(err);
    ctx.Step("processing a block");
    HostSignal out = HostSilentSignal(inst.Effect().NumOutputs(), kCheckBlock);
    inst.Renderer().Block(nullptr, 0, kCheckBlock, out);
    const std::string name = inst.Target().Identity().name, format = inst.Effect().FormatName();
    ctx.Step("closing");
    inst = HostCheckInstance();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    return HostCheckOutcome::Passed(HostFormat("'%s' (%s) loaded, processed a block and closed in %.0f ms",
                                               name.c_str(), format.c_str(), ms));
}

HostCheckOutcome HostCheckIdentity(const HostCheckContext& ctx) {
    std::string err;
    auto a = ctx.Open(err);
    if (!a) return HostCheckOutcome::Failed(err);
    const HostIdentity id = a->Identity();
    HostEffect& e = a->Effect();
    if (id.name.empty()) return HostCheckOutcome::Failed("the plug-in has no name");
    if (id.name.size() > 127)
        return HostCheckOutcome::Failed(HostFormat("its name is %zu bytes long", id.name.size()));
    if (id.id.empty()) return HostCheckOutcome::Failed("the plug-in has no unique id");
    if (e.NumOutputs() < 1) return HostCheckOutcome::Failed("the plug-in has no outputs");
    e.Configure(kCheckRate, kCheckBlock, false);
    const int latency = e.Latency();
    if (latency < 0 || latency > kMaxLatencySeconds * kCheckRate)
        return HostCheckOutcome::Failed(HostFormat("it reports a latency of %d samples", latency));
    ctx.Step("opening a second instance");
    auto b = ctx.Open(err);
    if (!b) return HostCheckOutcome::Failed("a second instance did not load: " + err);
    if (Signature(*a) != Signature(*b))
        return HostCheckOutcome::Failed("a second instance tells another name, id, version or channel count");
    return HostCheckOutcome::Passed(HostFormat(
        "'%s' by '%s', id '%s', version '%s', %d in, %d out, %d parameters", id.name.c_str(),
        id.vendor.c_str(), id.id.c_str(), id.version.c_str(), e.NumInputs(), e.NumOutputs(), a->NumParams()));
}

HostCheckOutcome HostCheckParameters(const HostCheckContext& ctx) {
    std::string err;
    auto t = ctx.Open(err);
    if (!t) return HostCheckOutcome::Failed(err);
    t->Effect().Configure(kCheckRate, kCheckBlock, false);
    std::set<std::string> names;
    std::mt19937_64 rng(ctx.Seed("parameters"));
    int shown = 0, readBack = 0;
    for (int i = 0, n = t->NumParams(); i < n; ++i) {
        HostParamMeta m;
        if (!t->ParamMeta(i, m)) return HostCheckOutcome::Failed(HostFormat("parameter %d tells nothing", i));
        const std::string which = HostFormat("parameter %d ('%s')", i, m.name.c_str());
        if (m.name.empty()) return HostCheckOutcome::Failed(HostFormat("parameter %d has no name", i));
        if (!m.readOnly && !names.insert(m.name).second)
            return HostCheckOutcome::Failed(which + " has the name of another parameter");
        if (!std::isfinite(m.min) || !std::isfinite(m.max) ||
            !(m.min < m.max || (m.readOnly && m.min == m.max)))
            return HostCheckOutcome::Failed(which + HostFormat(" has the range %g to %g", m.min, m.max));
        if (!(m.def >= m.min && m.def <= m.max))
            return HostCheckOutcome::Failed(
                which + HostFormat(" has the default %g outside %g to %g", m.def, m.min, m.max));
        const double now = t->ParamValue(i);
        if (!(now >= m.min && now <= m.max))
            return HostCheckOutcome::Failed(
                which + HostFormat(" has the value %g outside %g to %g", now, m.min, m.max));
        if (m.stepped && !(Whole(m.min) && Whole(m.max) && Whole(m.def)))
            return HostCheckOutcome::Failed(which + " is stepped but its range or default is not whole");
        if (m.readOnly) continue;
        // Each value's text, read back, shows the same text again.
        std::vector<double> values = {m.min, m.max, m.def, 0.5 * (m.min + m.max)};
        for (int k = 0; k < ctx.strictness; ++k) values.push_back(HostRandomValue(m, rng));
        for (double v : values) {
            if (m.stepped) v = std::round(v);
            std::string text, again;
            double back = 0.0;
            ctx.Step(HostFormat("%s at %g", which.c_str(), v));
            if (!t->ParamToText(i, v, text)) continue;
            ++shown;
            if (!t->ParamFromText(i, text, back)) continue;
            ++readBack;
            // Texts are rounded: a value read back may stray from the range by a rounding error.
            const double slack = 1e-6 * (m.max - m.min);
            if (!std::isfinite(back) || back < m.min - slack || back > m.max + slack)
                return HostCheckOutcome::Failed(which +
                                                HostFormat(": the text '%s' of %g reads back as %g, outside "
                                                           "its range",
                                                           text.c_str(), v, back));
            if (!t->ParamToText(i, back, again) || again != text)
                return HostCheckOutcome::Failed(which +
                                                HostFormat(": %g shows '%s', which reads back as %g, which "
                                                           "shows '%s'",
                                                           v, text.c_str(), back, again.c_str()));
        }
    }
    return HostCheckOutcome::Passed(
        HostFormat("%d parameters; %d value texts, %d of them read back to the same text", t->NumParams(),
                   shown, readBack));
}

HostCheckOutcome HostCheckReload(const HostCheckContext& ctx) {
    std::string err;
    for (int k = 0; k < kReloads; ++k) {
        ctx.Step(HostFormat("loading for the %d. time", k + 1));
        if (!RunOnce(ctx, err))
            return HostCheckOutcome::Failed(HostFormat("load %d: %s", k + 1, err.c_str()));
    }
    for (int k = 0; k < kReloads; ++k) {
        ctx.Step(HostFormat("loading on thread %d", k + 1));
        bool ok = false;
        std::thread([&] { ok = RunOnce(ctx, err); }).join();
        if (!ok) return HostCheckOutcome::Failed(HostFormat("load on thread %d: %s", k + 1, err.c_str()));
    }
    // An instance running beside another that hears other music gives what it gives alone: nothing of
    // one leaks into the other.
    ctx.Step("running an instance alone");
    HostCheckInstance alone, a, b;
    if (!alone.Open(ctx, err)) return HostCheckOutcome::Failed(err);
    const HostSignal in = alone.Music(1.0, ctx.Seed("reload-a")),
                     other = alone.Music(1.0, ctx.Seed("reload-b"));
    const HostSignal reference = alone.Renderer().Render(in, kCheckBlock);
    alone = HostCheckInstance();
    ctx.Step("running two instances at once");
    if (!a.Open(ctx, err) || !b.Open(ctx, err))
        return HostCheckOutcome::Failed("two instances at once: " + err);
    HostSignal outA = HostSilentSignal(a.Effect().NumOutputs(), static_cast<int64_t>(in[0].size()));
    HostSignal outB = HostSilentSignal(b.Effect().NumOutputs(), static_cast<int64_t>(in[0].size()));
    for (int64_t pos = 0; pos < static_cast<int64_t>(in[0].size()); pos += kCheckBlock) {
        const int n =
            static_cast<int>(std::min<int64_t>(kCheckBlock, static_cast<int64_t>(in[0].size()) - pos));
        a.Renderer().Block(&in, pos, n, outA);
        b.Renderer().Block(&other, pos, n, outB);
    }
    const double diff = HostMaxDifference(outA, reference);
    if (!(diff <= 1e-6))
        return HostCheckOutcome::Failed(
            HostFormat("an instance running beside another differs from one running alone by up to %.1f dBFS",
                       HostDecibels(diff)));
    return HostCheckOutcome::Passed(
        HostFormat("%d loads in one process and %d on threads of their own; two instances "
                   "at once stay apart",
                   kReloads, kReloads));
}
