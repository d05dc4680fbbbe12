// The checks on the audio: silence, parameter sweeps, block sizes, sample rates and latency.
#include <algorithm>
#include <array>
#include <cmath>

#include "host/HostCheckSupport.h"
#include "host/HostText.h"

namespace {

// Quieter than this counts as silence (-100 dBFS).
constexpr double kSilent = 1e-5;
// Outputs that differ by no more than this count as the same (-100 dBFS).
constexpr double kSame = 1e-5;
// How long a plug-in that tells no tail may ring on after its latency.
constexpr double kUnknownTailSeconds = 10.0;
// Below this normalised correlation the output does not follow the input enough to measure a delay.
constexpr double kLeastCorrelation = 0.3;
constexpr std::array kRates = {22050, 44100, 48000, 88200, 96000, 176400, 192000};

int64_t Frames(const HostSignal& s) {
    return s.empty() ? 0 : static_cast<int64_t>(s[0].size());
}

// The last frame louder than silence, or -1.
int64_t LastSound(const HostSignal& s) {
    int64_t last = -1;
    for (const auto& ch : s)
        for (int64_t k = static_cast<int64_t>(ch.size()) - 1; k > last; --k)
            if (!(std::fabs(ch[static_cast<size_t>(k)]) <= kSilent)) {
                last = k;
                break;
            }
    return last;
}

HostSignal Join(const HostSignal& a, const HostSignal& b) {
    HostSignal s = a;
    for (size_t c = 0; c < s.size() && c < b.size(); ++c) s[c].insert(s[c].end(), b[c].begin(), b[c].end());
    return s;
}

// Drops the first n frames.
HostSignal Skip(const HostSignal& s, int64_t n) {
    HostSignal out;
    for (const auto& ch : s)
        out.emplace_back(ch.begin() + std::min<int64_t>(n, static_cast<int64_t>(ch.size())), ch.end());
    return out;
}

// Music, then silence: the output must be finite all along and hold no denormals at its end.
std::string SoundThenSilence(HostCheckInstance& inst, const HostCheckContext& ctx) {
    const HostSignal in = Join(inst.Music(0.2, ctx.Seed("sweep")),
                               HostSilentSignal(std::max(inst.Effect().NumInputs(), 1), inst.Seconds(0.3)));
    const HostSignal out = inst.Renderer().Render(in, kCheckBlock);
    const HostSignalStats all = HostMeasureSignal(out);
    if (all.nonFinite > 0)
        return HostFormat("%lld samples are NaN or infinite (the first at frame %lld)",
                          static_cast<long long>(all.nonFinite), static_cast<long long>(all.firstNonFinite));
    const HostSignalStats end = HostMeasureSignal(out, Frames(out) - inst.Seconds(0.1));
    if (end.denormals > 0)
        return HostFormat("%lld denormal samples 0.2 s into silence", static_cast<long long>(end.denormals));
    return "";
}

} // namespace

HostCheckOutcome HostCheckSilence(const HostCheckContext& ctx) {
    std::string err;
    HostCheckInstance inst;
    if (!inst.Open(ctx, err)) return HostCheckOutcome::Failed(err);
    const int inputs = std::max(inst.Effect().NumInputs(), 1);
    ctx.Step("feeding silence");
    const HostSignal quiet = inst.Renderer().Render(HostSilentSignal(inputs, inst.Seconds(1.0)), kCheckBlock);
    const HostSignalStats st = HostMeasureSignal(quiet);
    if (st.nonFinite > 0 || !(st.peak <= kSilent))
        return HostCheckOutcome::Failed(HostFormat("silence in gives %s out (peak %.1f dBFS)",
                                                   st.nonFinite ? "NaN or infinity" : "sound",
                                                   HostDecibels(st.peak)));
    const int64_t tail = inst.Target().TailFrames(inst.Rate());
    if (tail == HostValidateTarget::kTailInfinite)
        return HostCheckOutcome::Passed("silence in gives silence out; the plug-in says its tail never ends");
    const int latency = inst.Effect().Latency();
    const int64_t allowed =
        latency + (tail == HostValidateTarget::kTailUnknown ? inst.Seconds(kUnknownTailSeconds) : tail);
    ctx.Step("feeding music, then silence");
    const HostSignal music = inst.Music(1.0, ctx.Seed("silence"));
    const HostSignal in = Join(music, HostSilentSignal(inputs, allowed + inst.Seconds(0.5)));
    const HostSignal out = inst.Renderer().Render(in, kCheckBlock);
    const int64_t last = LastSound(out);
    const int64_t after = last - Frames(music) + 1; // frames of sound after the music ended
    const std::string tailText = tail == HostValidateTarget::kTailUnknown
                                     ? HostFormat("no tail told, %.0f s allowed", kUnknownTailSeconds)
                                     : HostFormat("tail %lld frames", static_cast<long long>(tail));
    if (after > allowed + kCheckBlock)
        return HostCheckOutcome::Failed(
            HostFormat("the output goes on %.3f s after the music (latency %d, %s)",
                       static_cast<double>(after) / inst.Rate(), latency, tailText.c_str()));
    const HostSignalStats end = HostMeasureSignal(out, Frames(out) - inst.Seconds(0.5));
    if (end.nonFinite > 0 || end.denormals > 0)
        return HostCheckOutcome::Failed(
            HostFormat("%lld denormal and %lld non-finite samples in the silence after the "
                       "music",
                       static_cast<long long>(end.denormals), static_cast<long long>(end.nonFinite)));
    return HostCheckOutcome::Passed(HostFormat(
        "silence in gives silence out; silent %.3f s after the music (latency %d, "
        "%s)",
        std::max<double>(static_cast<double>(after), 0.0) / inst.Rate(), latency, tailText.c_str()));
}

HostCheckOutcome HostCheckParameterSweep(const HostCheckContext& ctx) {
    std::string err;
    HostCheckInstance inst;
    if (!inst.Open(ctx, err)) return HostCheckOutcome::Failed(err);
    HostValidateTarget& t = inst.Target();
    std::mt19937_64 rng(ctx.Seed("parameter-sweep"));
    const int randoms = std::max(1, ctx.strictness - 5);
    const std::vector<HostWritableParam> params = HostWritableParams(t);
    int settings = 0;
    for (const HostWritableParam& p : params) {
        std::vector<double> values = {p.meta.min, p.meta.max, p.meta.def};
        for (int k = 0; k < randoms; ++k) values.push_back(HostRandomValue(p.meta, rng));
        for (double v : values) {
            const std::string what = HostValueText(p.meta, v);
            ctx.Step("processing with " + what);
            t.SetParam(p.index, v);
            const std::string fault = SoundThenSilence(inst, ctx);
            if (!fault.empty()) return HostCheckOutcome::Failed("with " + what + ": " + fault);
            ++settings;
        }
        t.SetParam(p.index, p.meta.def);
    }
    for (int k = 0; k < ctx.strictness && !params.empty(); ++k) {
        ctx.Step(HostFormat("processing with random values everywhere (%d)", k + 1));
        HostRandomise(t, rng);
        const std::string fault = SoundThenSilence(inst, ctx);
        if (!fault.empty())
            return HostCheckOutcome::Failed(HostFormat("with random values (set %d): ", k + 1) + fault);
        ++settings;
    }
    return HostCheckOutcome::Passed(HostFormat(
        "%zu parameters, %d settings: finite output, no denormals after silence", params.size(), settings));
}

HostCheckOutcome HostCheckBlockSizes(const HostCheckContext& ctx) {
    std::string err;
    const double seconds = ctx.strictness >= 8 ? 3.0 : 1.5;
    HostCheckInstance ref;
    ctx.Step("rendering in blocks of 512");
    if (!ref.Open(ctx, err)) return HostCheckOutcome::Failed(err);
    const HostSignal in = ref.Music(seconds, ctx.Seed("block-sizes"));
    const HostSignal expected = ref.Renderer().Render(in, kCheckBlock);
    const int refLatency = ref.Effect().Latency();
    const bool promised = ref.Target().SampleAccurate();
    const std::string format = ref.Effect().FormatName();
    ref = HostCheckInstance();
    constexpr int kVarying = 0;
    constexpr std::array kSizes = {1, 2, 17, 64, 512, 4096, kVarying};
    constexpr int kMaxVarying = 4096;
    double worst = 0.0;
    std::string worstName;
    for (int size : kSizes) {
        const std::string name = size == kVarying ? "of varying sizes" : HostFormat("of %d", size);
        ctx.Step("rendering in blocks " + name);
        HostCheckInstance inst;
        if (!inst.Open(ctx, err, kCheckRate, size == kVarying ? kMaxVarying : size))
            return HostCheckOutcome::Failed(err);
        std::mt19937_64 rng(ctx.Seed("block-sizes-varying"));
        std::uniform_int_distribution<int> pick(1, kMaxVarying);
        const HostSignal out =
            inst.Renderer().Render(in, [&](int64_t) { return size == kVarying ? pick(rng) : size; });
        const HostSignalStats st = HostMeasureSignal(out);
        if (st.nonFinite > 0)
            return HostCheckOutcome::Failed("blocks " + name + " give NaN or infinite samples");
        // A plug-in whose latency follows the block size is compared where its outputs line up.
        const int latency = inst.Effect().Latency();
        const int shift = latency - refLatency;
        const double diff = shift >= 0 ? HostMaxDifference(expected, Skip(out, shift))
                                       : HostMaxDifference(Skip(expected, -shift), out);
        if (!(diff <= kSame) && promised)
            return HostCheckOutcome::Failed(HostFormat(
                "blocks %s differ from blocks of 512 by up to %.1f dBFS", name.c_str(), HostDecibels(diff)));
        if (diff > worst) {
            worst = diff;
            worstName = name;
        }
    }
    if (worst > kSame)
        return HostCheckOutcome::Passed(
            HostFormat("finite in blocks of every size; blocks %s differ from blocks of 512 "
                       "by up to %.1f dBFS (%s promises no sample-accurate processing)",
                       worstName.c_str(), HostDecibels(worst), format.c_str()));
    const std::string how = worst == 0.0
                                ? "the same samples"
                                : HostFormat("a difference of %.1f dBFS at most", HostDecibels(worst));
    return HostCheckOutcome::Passed(
        "blocks of 1 to 4096 frames and of varying sizes give what blocks of 512 give: " + how);
}

HostCheckOutcome HostCheckSampleRates(const HostCheckContext& ctx) {
    std::string err;
    HostCheckInstance inst;
    if (!inst.OpenIdle(ctx, err)) return HostCheckOutcome::Failed(err);
    const bool compare = ctx.strictness >= 7;
    for (int rate : kRates) {
        ctx.Step(HostFormat("suspending and resuming at %d Hz", rate));
        inst.Start(rate);
        const HostSignal in = inst.Music(0.5, ctx.Seed("sample-rates"));
        const HostSignal out = inst.Renderer().Render(in, kCheckBlock);
        const HostSignalStats st = HostMeasureSignal(out);
        if (st.nonFinite > 0)
            return HostCheckOutcome::Failed(
                HostFormat("at %d Hz the output has NaN or infinite samples", rate));
        const int latency = inst.Effect().Latency();
        if (latency < 0 || latency > 10 * rate)
            return HostCheckOutcome::Failed(
                HostFormat("at %d Hz it reports a latency of %d samples", rate, latency));
        if (!compare) continue;
        ctx.Step(HostFormat("comparing with a fresh instance at %d Hz", rate));
        HostCheckInstance fresh;
        if (!fresh.Open(ctx, err, rate)) return HostCheckOutcome::Failed(err);
        const double diff = HostMaxDifference(out, fresh.Renderer().Render(in, kCheckBlock));
        if (!(diff <= kSame))
            return HostCheckOutcome::Failed(
                HostFormat("resumed at %d Hz it differs from a fresh instance by up to "
                           "%.1f dBFS",
                           rate, HostDecibels(diff)));
    }
    return HostCheckOutcome::Passed(compare
                                        ? "22.05 to 192 kHz: finite output, each resume like a fresh instance"
                                        : "22.05 to 192 kHz: finite output and a plausible latency");
}

HostCheckOutcome HostCheckLatency(const HostCheckContext& ctx) {
    std::string err;
    std::mt19937_64 rng(ctx.Seed("latency"));
    const int settings = ctx.strictness >= 7 ? 3 : 1;
    int measured = 0;
    std::string summary;
    for (int k = 0; k < settings; ++k) {
        const std::string setting = k == 0 ? "the defaults" : HostFormat("random values (set %d)", k);
        ctx.Step("measuring the delay with " + setting);
        HostCheckInstance inst;
        if (!inst.Open(ctx, err)) return HostCheckOutcome::Failed(err);
        if (inst.Effect().NumInputs() < 1) return HostCheckOutcome::Skipped("the plug-in has no inputs");
        if (k > 0) HostRandomise(inst.Target(), rng);
        // Steady noise: no onsets after the first, so effects that react to onsets (Tidebloom's gain
        // dips at each) pass it on; the cross-correlation with the output is the plug-in's response,
        // which a gain that moves slowly does not shift.
        const int before = inst.Effect().Latency();
        const int maxLag = std::min(std::max(2 * before + 2048, 8192), 5 * inst.Rate());
        const HostSignal in = HostNoiseSignal(inst.Effect().NumInputs(), inst.Seconds(2.0) + maxLag, 0.25,
                                              ctx.Seed("latency-noise"));
        const HostSignal out = inst.Renderer().Render(in, kCheckBlock);
        const int reported = inst.Effect().Latency(); // some plug-ins know theirs only once they run
        // A pure delay puts the onset and the peak of the response at the latency; a filter's response
        // starts at the latency and peaks later (minimum phase) or rings ahead of a peak at it (linear
        // phase): the latency is right when it lies between the two.
        HostDelayMeasure m;
        if (!HostMeasureDelay(in, out, maxLag, m) || m.strength < kLeastCorrelation) continue;
        if (reported < m.onset || reported > m.peak)
            return HostCheckOutcome::Failed(
                m.onset == m.peak
                    ? HostFormat("with %s it reports %d samples, the audio is %d samples late "
                                 "(correlation %.2f)",
                                 setting.c_str(), reported, m.peak, m.strength)
                    : HostFormat("with %s it reports %d samples, the audio follows from %d samples on, "
                                 "most strongly at %d (correlation %.2f)",
                                 setting.c_str(), reported, m.onset, m.peak, m.strength));
        ++measured;
        if (summary.empty())
            summary =
                m.onset == m.peak
                    ? HostFormat("%d samples reported and measured (correlation %.2f)", m.peak, m.strength)
                    : HostFormat("%d samples reported, the audio follows from %d on, most "
                                 "strongly at %d (correlation %.2f)",
                                 reported, m.onset, m.peak, m.strength);
    }
    if (measured == 0)
        return HostCheckOutcome::Skipped(
            "the output does not follow the input closely enough to measure a delay");
    return HostCheckOutcome::Passed(summary + HostFormat(" in %d of %d settings", measured, settings));
}
