// The effect at the sample rates hosts run at, and across suspend and resume. The demo phrase's
// notes are synthesised at each rate from one definition in seconds (the same music, not the same
// samples relabelled); onsets, look-ahead and attack are then compared in seconds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <limits>
#include <map>
#include <numbers>
#include <vector>

#include "host/HostDemoPhrase.h"
#include "tests/effect/EffectFixture.h"
#include "tests/effect/RatePhrase.h"

namespace {

constexpr int kRates[] = {44100, 22050, 48000, 88200, 96000, 192000};

struct Setting {
    const char *sensitivity, *time, *depth, *vol;
};

void Apply(EffectInstance& fx, const Setting& s) {
    fx.SetPlain(kSensitivity, s.sensitivity);
    fx.SetPlain(kTime, s.time);
    fx.SetPlain(kDepth, s.depth);
    fx.SetPlain(kVol, s.vol);
}

struct Stereo {
    std::vector<double> left, right;
};

// The phrase's first seconds at rate through fx: left as synthesised, right at -0.7 times it.
Stereo RenderPhrase(EffectInstance& fx, int rate, double seconds = kPhraseSeconds) {
    const std::vector<double>& phrase = PhraseAt(rate);
    const std::vector<double> x(phrase.begin(), phrase.begin() + std::llround(seconds * rate));
    std::vector<double> right(x.size());
    for (size_t k = 0; k < x.size(); ++k) right[k] = -0.7 * x[k];
    Stereo out;
    fx.Process(x, right, out.left, out.right, 512);
    return out;
}

void ExpectSame(const Stereo& got, const Stereo& want, const char* what) {
    ASSERT_EQ(got.left.size(), want.left.size()) << what;
    EXPECT_EQ(std::memcmp(got.left.data(), want.left.data(), got.left.size() * sizeof(double)), 0) << what;
    EXPECT_EQ(std::memcmp(got.right.data(), want.right.data(), got.right.size() * sizeof(double)), 0) << what;
}

// The gain curve read from the output. The left input is a constant 2^-20 and the right input
// twice the phrase, so the detector hears the phrase; with Depth 1 and Vol 1 the left output is
// exactly that constant times the gain, once the constant has passed the delay. (The constant's
// start arms the detector, as a first note would, so here even the phrase's first note is
// reported.)
struct Swell {
    std::vector<double> onsets;  // seconds
    std::vector<int> lookAheads; // frames from an onset to the first sample of its attack
    std::vector<int> attacks;    // frames from 0 to full gain, for attacks no onset cut short
};

Swell RenderSwell(EffectInstance& fx, int rate) {
    constexpr double kMarker = 0x1p-20;
    const std::vector<double>& x = PhraseAt(rate);
    std::vector<double> left(x.size(), kMarker), right(x.size()), out0, out1;
    for (size_t k = 0; k < x.size(); ++k) right[k] = 2.0 * x[k];
    fx.Process(left, right, out0, out1, 512);
    auto gain = [&out0](size_t k) { return out0[k] / kMarker; };
    Swell s;
    long onset = -1, attackStart = -1;
    for (size_t k = static_cast<size_t>(fx.Effect().GetDelaySamples()) + 1; k + 1 < out0.size(); ++k) {
        const double before = gain(k - 1), now = gain(k), after = gain(k + 1);
        if (after < now && now >= before && after > 0.0) {
            // A trigger: the fade starts from the level the gain had, and falls from the next frame.
            s.onsets.push_back(static_cast<double>(k) / rate);
            onset = static_cast<long>(k);
            attackStart = -1;
        } else if (now == 0.0 && before > 0.0 && onset >= 0) {
            s.lookAheads.push_back(static_cast<int>(static_cast<long>(k) - onset));
            attackStart = static_cast<long>(k);
        } else if (now == 1.0 && attackStart >= 0) {
            s.attacks.push_back(static_cast<int>(static_cast<long>(k) - attackStart));
            attackStart = -1;
        }
    }
    return s;
}

} // namespace

TEST(TidebloomRates, ThePhraseSwellsAlikeInSecondsAtEveryRate) {
    // The look-ahead keeps its 34 ms at every rate.
    const double lookAheadSeconds = 1500.0 / 44100.0;
    std::vector<double> reference; // onsets at 44.1 kHz, the first rate
    for (size_t i = 0; i < std::size(kRates); ++i) {
        const int rate = kRates[i];
        // Attacks of 0.0794 s and of 0.01 s, at every other rate.
        const char* time = i % 2 == 0 ? "0.3" : "0";
        const double attackSeconds = std::pow(10.0, 3.0 * std::atof(time) - 2.0);
        SCOPED_TRACE(testing::Message() << rate << " Hz, Time " << time);
        const double frame = 1.0 / rate;
        EffectInstance fx(static_cast<float>(rate));
        fx.SetPlain(kDepth, "1");
        fx.SetPlain(kTime, time);
        const int delay = fx.Effect().GetDelaySamples();
        EXPECT_EQ(fx.Fx()->initialDelay, delay);
        EXPECT_LT(std::fabs(delay * frame - lookAheadSeconds), frame);

        const Swell s = RenderSwell(fx, rate);
        ASSERT_GE(s.onsets.size(), 11u);
        if (reference.empty()) reference = s.onsets;
        ASSERT_EQ(s.onsets.size(), reference.size());
        for (size_t n = 0; n < reference.size(); ++n)
            EXPECT_NEAR(s.onsets[n], reference[n], 0.002) << "onset " << n;
        // Every attack starts as its onset leaves the delay and lasts the Time setting.
        EXPECT_EQ(s.lookAheads.size(), s.onsets.size());
        for (int frames : s.lookAheads) EXPECT_EQ(frames, delay);
        ASSERT_GE(s.attacks.size(), s.onsets.size() - 2);
        for (int frames : s.attacks) EXPECT_LT(std::fabs(frames * frame - attackSeconds), frame);
    }
}

TEST(TidebloomRates, TheFirstNoteAfterTheStartPassesUnchanged) {
    // The detector arms itself on the first note: until the second note starts (0.85 s) the output
    // is the input, delayed; the gain falls within a few milliseconds of the second note's start.
    for (int rate : kRates) {
        SCOPED_TRACE(testing::Message() << rate << " Hz");
        EffectInstance fx(static_cast<float>(rate));
        const Stereo out = RenderPhrase(fx, rate, 1.0);
        const std::vector<double>& x = PhraseAt(rate);
        const size_t delay = static_cast<size_t>(fx.Effect().GetDelaySamples());
        size_t k = 0;
        for (; k < out.left.size(); ++k) {
            const double in = k < delay ? 0.0 : x[k - delay];
            if (out.left[k] != in || out.right[k] != -0.7 * in) break;
        }
        EXPECT_GT(static_cast<double>(k) / rate, 0.85);
        EXPECT_LT(static_cast<double>(k) / rate, 0.85 + 0.015);
    }
}

TEST(TidebloomRates, TheRateTakesEffectBeforeOrAfterOpenAndAtAnyLaterChange) {
    // The same settings, then the phrase at the new rate, give the same output bit for bit however
    // the instance came to that rate.
    const Setting setting{"0.8", "0.25", "0.6", "0.9"};
    EffectInstance fresh44;
    Apply(fresh44, setting);
    const Stereo at44 = RenderPhrase(fresh44, 44100, 2.0);
    // Down and up, without and with a suspend around the change.
    for (int rate : {22050, 96000}) {
        SCOPED_TRACE(testing::Message() << rate << " Hz");
        const float r = static_cast<float>(rate);
        EffectInstance before(r);
        Apply(before, setting);
        const Stereo want = RenderPhrase(before, rate);

        EffectInstance after;
        Apply(after, setting);
        after.Dispatch(effSetSampleRate, 0, 0, nullptr, r);
        ExpectSame(RenderPhrase(after, rate), want, "rate set after effOpen");

        const bool suspend = rate > 44100;
        EffectInstance changed;
        Apply(changed, setting);
        ExpectSame(RenderPhrase(changed, 44100, 2.0), at44, "first render at 44.1 kHz");
        if (suspend) changed.Dispatch(effMainsChanged, 0, 0);
        changed.Dispatch(effSetSampleRate, 0, 0, nullptr, r);
        if (suspend) changed.Dispatch(effMainsChanged, 0, 1);
        ExpectSame(RenderPhrase(changed, rate), want, suspend ? "changed while suspended" : "changed");
    }
}

TEST(TidebloomRates, ARefusedRateChangesNothing) {
    // Below 8 kHz, above 768 kHz and not a number: the instance carries on at its rate, mid-phrase.
    EffectInstance fx(48000.0f);
    Apply(fx, {"0.8", "0.25", "0.6", "0.9"});
    RenderPhrase(fx, 48000);
    const Tidebloom& t = fx.Effect();
    const NoteDetector detector = t.GetNoteDetector();
    const ADSREnvelope envelope = t.GetEnvelope();
    const int delay = t.GetDelaySamples();
    for (float bad : {7999.0f, 768001.0f, std::numeric_limits<float>::quiet_NaN(),
                      std::numeric_limits<float>::infinity(), 0.0f, -48000.0f})
        fx.Dispatch(effSetSampleRate, 0, 0, nullptr, bad);
    EXPECT_EQ(t.GetSampleRate(), 48000.0);
    EXPECT_EQ(t.GetNoteDetector().GetSampleRate(), 48000);
    EXPECT_EQ(t.GetNoteDetector().GetRiseCounter(), detector.GetRiseCounter());
    EXPECT_EQ(t.GetNoteDetector().GetEnvLevel(), detector.GetEnvLevel());
    EXPECT_EQ(t.GetEnvelope().GetStage(), envelope.GetStage());
    EXPECT_EQ(t.GetEnvelope().GetStep(), envelope.GetStep());
    EXPECT_EQ(t.GetEnvelope().GetAttackTimeSamplesNum(), envelope.GetAttackTimeSamplesNum());
    EXPECT_EQ(t.GetDelaySamples(), delay);
    EXPECT_EQ(fx.Fx()->initialDelay, delay);
}

TEST(TidebloomRates, ResumeStartsLikeAFreshInstanceWithTheCurrentSettings) {
    // After music, a suspend and resume: silence in gives exact silence out (none of the music in
    // the delay lines comes out), and the phrase gives what a fresh instance gives, also with
    // settings changed while suspended.
    struct Case {
        int rate;
        Setting before, during;
    };
    for (const Case& c : {Case{44100, {"0.7", "0.5", "0.75", "1"}, {"0.7", "0.5", "0.75", "1"}},
                          Case{96000, {"0.8", "0.25", "1", "1.5"}, {"0.6", "0.4", "0.5", "0.8"}}}) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz");
        EffectInstance fx(static_cast<float>(c.rate));
        Apply(fx, c.before);
        RenderPhrase(fx, c.rate, 2.0);
        fx.Dispatch(effMainsChanged, 0, 0);
        Apply(fx, c.during);
        fx.Dispatch(effMainsChanged, 0, 1);
        const std::vector<double> silence(static_cast<size_t>(c.rate), 0.0);
        std::vector<double> out0, out1;
        fx.Process(silence, silence, out0, out1, 512);
        EXPECT_EQ(std::count(out0.begin(), out0.end(), 0.0), c.rate);
        EXPECT_EQ(std::count(out1.begin(), out1.end(), 0.0), c.rate);

        RenderPhrase(fx, c.rate, 2.0);
        fx.Dispatch(effMainsChanged, 0, 0);
        fx.Dispatch(effMainsChanged, 0, 1);
        EffectInstance fresh(static_cast<float>(c.rate));
        Apply(fresh, c.during);
        ExpectSame(RenderPhrase(fx, c.rate), RenderPhrase(fresh, c.rate), "after resume");
    }
}
