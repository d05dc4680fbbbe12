// NoteDetector against a plain re-statement of the onset rules, on synthesized note bursts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <numbers>
#include <utility>
#include <vector>

#include "Sound/NoteDetector.h"
#include "tests/support/ReferenceDetector.h"

namespace {

using Reference = ReferenceDetector;

constexpr double kThreshold = 0.121532; // Sensitivity 0.7

struct Signal {
    std::vector<double> x;
    explicit Signal(int n) : x(static_cast<size_t>(n), 0.0) {}
    // A 220 Hz tone of the given amplitude.
    Signal& Burst(int start, int length, double amp) {
        for (int i = 0; i < length; ++i)
            x[static_cast<size_t>(start + i)] = amp * std::sin(2.0 * std::numbers::pi * 220.0 * i / 44100.0);
        return *this;
    }
};

std::vector<int> Onsets(NoteDetector& d, const std::vector<double>& x) {
    std::vector<int> out;
    for (size_t k = 0; k < x.size(); ++k)
        if (d.Detect(x[k])) out.push_back(static_cast<int>(k));
    return out;
}

// Slopes of the reference for a signal (they do not depend on the threshold).
std::vector<double> Slopes(const std::vector<double>& x) {
    Reference r(kThreshold);
    std::vector<double> s;
    for (double v : x) {
        r.Detect(v);
        s.push_back(r.s);
    }
    return s;
}

int FirstAbove(const std::vector<double>& s, int from, double level) {
    for (int k = from; k < static_cast<int>(s.size()); ++k)
        if (s[k] > level) return k;
    return -1;
}

// The reference with the alternative rule added: it differentiates against the level it last
// computed, as the detector's SinDetect does.
struct ReferenceWithSin : Reference {
    using Reference::Reference;
    bool SinDetect(double x) {
        e = env.Step(std::fabs(x));
        s = slope.Step(e - prevE) * 44100.0;
        if (s > threshold) {
            if (inNote && s > peak) {
                peak = s;
                counter = 0;
                restart = false;
            }
            if (!inNote && restart) armed = true;
        }
        if (prevS * s < 0.0 && s < 0.0 && static_cast<double>(counter) > 0.1 * 44100.0) {
            prevPeak = peak;
            peak = 0.0;
            inNote = false;
        }
        bool onset = false;
        if (armed) {
            armed = false;
            inNote = true;
            onset = true;
        }
        ++counter;
        if (static_cast<double>(counter) > 44100.0 * 0.1) {
            restart = true;
            prevPeak = peak;
            peak = peak / 5.0;
            counter = 0;
        } else if (restart) {
            counter = 0;
        }
        prevS = s;
        prevE = e;
        return onset;
    }
};

} // namespace

TEST(NoteDetector, ConstructedForFortyFourKilohertz) {
    NoteDetector d;
    EXPECT_EQ(d.GetThreshold(), 0.001);
    EXPECT_EQ(d.GetSampleRate(), 44100);
    EXPECT_EQ(d.GetThresholdScale(), 2.55);
    EXPECT_EQ(d.GetThresholdRef(), 6.0);
    EXPECT_EQ(d.GetRangeDb(), -60.0);
    EXPECT_EQ(d.GetHoldTime(), 0.1);
    EXPECT_FALSE(d.IsArmed());
    EXPECT_EQ(d.GetEnvFilter().GetW(), 31.41592653589793);
    EXPECT_EQ(d.GetEnvFilter().GetQ(), 0.6);
    EXPECT_EQ(d.GetSlopeFilter().GetW(), 314.1592653589793);
    EXPECT_EQ(d.GetSlopeFilter().GetSampleRate(), 44100.0);

    // Reconfiguring keeps the running state.
    Signal sig(3000);
    sig.Burst(0, 3000, 0.5);
    Onsets(d, sig.x);
    const double level = d.GetEnvLevel();
    d.SetSampleRate(48000);
    EXPECT_EQ(d.GetEnvLevel(), level);
    EXPECT_EQ(d.GetRiseCounter(), 3000);
    EXPECT_EQ(d.GetSlopeFilter().GetSampleRate(), 48000.0);
    EXPECT_EQ(d.GetSlopeFilter().GetB0(), (376.99111843077515 / 48000.0) * (376.99111843077515 / 48000.0));
}

TEST(NoteDetector, MatchesTheRulesSampleForSample) {
    Signal sig(44100 * 3);
    sig.Burst(1000, 8000, 0.5).Burst(20000, 1000, 0.8).Burst(22205, 12000, 0.5);
    sig.Burst(60000, 2000, 0.1).Burst(64000, 4000, 0.9).Burst(90000, 30000, 0.05);
    for (size_t k = 100000; k < 101000; ++k)
        sig.x[k] += ((k * 7919) % 1000) / 1000.0 - 0.5; // a noisy stretch
    for (double thr : {kThreshold, 0.0153, 0.48383}) {
        NoteDetector d;
        d.SetThreshold(thr);
        Reference r(thr);
        int onsets = 0;
        for (size_t k = 0; k < sig.x.size(); ++k) {
            const bool got = d.Detect(sig.x[k]);
            const bool want = r.Detect(sig.x[k]);
            ASSERT_EQ(got, want) << "sample " << k;
            ASSERT_EQ(d.IsNoteOn(), want);
            ASSERT_EQ(d.GetEnvLevel(), r.e) << k;
            ASSERT_EQ(d.GetSlope(), r.s) << k;
            ASSERT_EQ(d.GetPrevSlope(), r.prevS) << k;
            ASSERT_EQ(d.GetPeak(), r.peak) << k;
            ASSERT_EQ(d.GetPrevPeak(), r.prevPeak) << k;
            ASSERT_EQ(d.IsArmed(), r.armed) << k;
            ASSERT_EQ(d.IsJump(), r.jump) << k;
            ASSERT_EQ(d.IsInNote(), r.inNote) << k;
            ASSERT_EQ(d.IsRestartPending(), r.restart) << k;
            ASSERT_EQ(d.GetRiseCounter(), r.counter) << k;
            onsets += got;
        }
        EXPECT_GE(onsets, 3) << thr;
    }
}

TEST(NoteDetector, SilenceNeverTriggers) {
    NoteDetector d;
    d.SetThreshold(0.0153);
    for (int k = 0; k < 44100; ++k) ASSERT_FALSE(d.Detect(0.0));
    EXPECT_EQ(d.GetEnvLevel(), 0.0);
    EXPECT_EQ(d.GetSlope(), 0.0);
    EXPECT_FALSE(d.IsArmed());
}

TEST(NoteDetector, FirstNoteArmsAndNextNoteIsReportedAtFirstRise) {
    Signal sig(30000);
    sig.Burst(1000, 8000, 0.5).Burst(20000, 8000, 0.5);
    const std::vector<double> s = Slopes(sig.x);

    NoteDetector d;
    d.SetThreshold(kThreshold);
    std::vector<int> onsets;
    int armedAt = -1;
    for (int k = 0; k < 30000; ++k) {
        if (d.Detect(sig.x[k])) onsets.push_back(k);
        if (armedAt < 0 && d.IsArmed()) armedAt = k;
    }
    // The first note rises unreported; the detector arms where its slope first turns negative.
    int turn = -1;
    for (int k = 1001; k < 30000 && turn < 0; ++k)
        if (s[k] < 0.0 && s[k - 1] > 0.0) turn = k;
    EXPECT_EQ(armedAt, turn);
    EXPECT_GT(turn, 1000 + 4410);
    // The second note is reported at its first sample above the threshold.
    const int first = FirstAbove(s, 20000, kThreshold);
    ASSERT_GT(first, 20000);
    ASSERT_EQ(onsets, std::vector<int>{first});
    EXPECT_LE(s[first - 1], kThreshold);
}

TEST(NoteDetector, RiseWithinHoldTimeWaitsUntilHoldTimeHasPassed) {
    // Arming note, a reported note at 20000, then a new rise 0.05 s later.
    Signal sig(44100);
    sig.Burst(1000, 8000, 0.5).Burst(20000, 1000, 0.8).Burst(22205, 12000, 0.5);
    const std::vector<double> s = Slopes(sig.x);
    NoteDetector d;
    d.SetThreshold(kThreshold);
    const std::vector<int> onsets = Onsets(d, sig.x);
    const int firstNote = FirstAbove(s, 20000, kThreshold);
    const int secondRise = FirstAbove(s, 22205, kThreshold);
    ASSERT_LT(secondRise - firstNote, 4410);
    // Reported once the counter, restarted at the new rise, exceeds 4410: 4411 samples later.
    const int expected = secondRise + 4411;
    for (int k = secondRise; k <= expected; ++k) ASSERT_GT(s[k], kThreshold) << k;
    EXPECT_EQ(onsets, (std::vector<int>{firstNote, expected}));

    // The same rise starting later than the hold time is reported at once.
    Signal late(44100);
    late.Burst(1000, 8000, 0.5).Burst(20000, 1000, 0.8).Burst(25000, 12000, 0.5);
    const std::vector<double> s2 = Slopes(late.x);
    NoteDetector d2;
    d2.SetThreshold(kThreshold);
    const std::vector<int> o2 = Onsets(d2, late.x);
    ASSERT_EQ(o2.size(), 2u);
    EXPECT_EQ(o2[1], FirstAbove(s2, 25000, kThreshold));
}

TEST(NoteDetector, MuchStrongerRiseJumpsTheHoldTime) {
    Signal sig(35000);
    sig.Burst(1000, 8000, 0.5).Burst(20000, 1000, 0.8).Burst(22205, 12000, 5.0);
    const std::vector<double> s = Slopes(sig.x);
    // Peak slope of the reported note at 20000: the largest slope before its slope turns negative.
    double prevPeak = 0.0;
    int k = FirstAbove(s, 20000, kThreshold);
    for (; s[k] > 0.0; ++k) prevPeak = std::max(prevPeak, s[k]);
    NoteDetector d;
    d.SetThreshold(kThreshold);
    const std::vector<int> onsets = Onsets(d, sig.x);
    const int jumpAt = FirstAbove(s, 22205, 3.0 * prevPeak);
    ASSERT_GT(jumpAt, 0);
    ASSERT_LT(jumpAt - FirstAbove(s, 22205, kThreshold), 4410);
    ASSERT_EQ(onsets.size(), 2u);
    EXPECT_EQ(onsets[1], jumpAt);
}

TEST(NoteDetector, SlopeEqualToThresholdDoesNotCount) {
    Signal sig(30000);
    sig.Burst(1000, 8000, 0.5).Burst(20000, 8000, 0.5);
    const std::vector<double> s = Slopes(sig.x);
    const int first = FirstAbove(s, 20000, kThreshold);
    // Pick a sample further up the rise and make its slope the threshold itself.
    const int k = first + 20;
    ASSERT_GT(s[k], s[k - 1]);
    ASSERT_GT(s[k + 1], s[k]);
    NoteDetector d;
    d.SetThreshold(s[k]);
    for (int i = 0; i < k; ++i) ASSERT_FALSE(d.Detect(sig.x[i])) << i;
    const double peakBefore = d.GetPeak();
    EXPECT_FALSE(d.Detect(sig.x[k]));
    EXPECT_EQ(d.GetSlope(), s[k]);
    EXPECT_EQ(d.GetPeak(), peakBefore);
    EXPECT_TRUE(d.Detect(sig.x[k + 1]));
}

TEST(NoteDetector, ConstantInputSettlesWithoutFurtherOnsets) {
    NoteDetector d;
    d.SetThreshold(0.0153);
    int onsets = 0;
    for (int k = 0; k < 44100 * 4; ++k) onsets += d.Detect(0.3);
    EXPECT_EQ(onsets, 0);
    EXPECT_NEAR(d.GetEnvLevel(), 0.3, 1e-9);
    EXPECT_NEAR(d.GetSlope(), 0.0, 1e-9);
}

TEST(NoteDetector, NonFiniteInputDoesNotEndDetection) {
    Signal sig(44100 * 2);
    for (int start : {1000, 20000, 40000, 60000, 80000}) sig.Burst(start, 8000, 0.5);
    const double bad[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity()};
    for (double v : bad) {
        // Inside the second note: the bad sample counts as silence.
        std::vector<double> withBad = sig.x, withZero = sig.x;
        withBad[25000] = v;
        withZero[25000] = 0.0;
        NoteDetector a, b;
        a.SetThreshold(kThreshold);
        b.SetThreshold(kThreshold);
        const std::vector<int> oa = Onsets(a, withBad), ob = Onsets(b, withZero);
        EXPECT_EQ(oa, ob);
        EXPECT_EQ(oa.size(), 4u);
        EXPECT_TRUE(std::isfinite(a.GetEnvLevel()));
        EXPECT_EQ(a.GetEnvLevel(), b.GetEnvLevel());
    }
}

TEST(NoteDetector, OverflowingInputIsForgottenAndDetectionResumes) {
    // Input near the largest double overflows the filters; the plain rules then stay NaN for good.
    const int n = 44100 * 32;
    Signal sig(n);
    sig.Burst(1000, 8000, 0.5).Burst(20000, 8000, 0.5);
    for (int k = 30000; k < 34000; ++k) sig.x[static_cast<size_t>(k)] = 1.7e308;
    sig.Burst(44100 * 30, 8000, 0.5).Burst(44100 * 31, 8000, 0.5);
    Reference r(kThreshold);
    NoteDetector d;
    d.SetThreshold(kThreshold);
    std::vector<int> late;
    for (int k = 0; k < n; ++k) {
        r.Detect(sig.x[static_cast<size_t>(k)]);
        if (d.Detect(sig.x[static_cast<size_t>(k)]) && k >= 44100 * 30) late.push_back(k);
        if (k < 30000) {
            ASSERT_EQ(d.GetSlope(), r.s) << k;
        }
    }
    EXPECT_TRUE(std::isnan(r.e));
    EXPECT_TRUE(std::isfinite(d.GetEnvLevel()));
    EXPECT_TRUE(std::isfinite(d.GetSlope()));
    EXPECT_TRUE(std::isfinite(d.GetPeak()));
    // The overflowed envelope is dropped as if it had fallen to silence: the next notes are reported.
    ASSERT_EQ(late.size(), 2u);
    EXPECT_LT(late[0], 44100 * 30 + 200);
    EXPECT_GT(late[0], 44100 * 30);
    EXPECT_LT(late[1], 44100 * 31 + 200);
}

TEST(NoteDetector, SinDetectFollowsItsRules) {
    // Plain statement of the alternative rule, differentiating against the previous level.
    ReferenceWithSin r(kThreshold);
    NoteDetector d;
    d.SetThreshold(kThreshold);
    int onsets = 0;
    for (int k = 0; k < 44100 * 2; ++k) {
        const double amp = 0.3 + 0.25 * std::sin(2.0 * std::numbers::pi * 1.5 * k / 44100.0);
        const double x = amp * std::sin(2.0 * std::numbers::pi * 330.0 * k / 44100.0);
        const bool want = r.SinDetect(x);
        ASSERT_EQ(d.SinDetect(x), want) << k;
        ASSERT_EQ(d.GetSlope(), r.s) << k;
        ASSERT_EQ(d.GetPeak(), r.peak) << k;
        ASSERT_EQ(d.GetPrevPeak(), r.prevPeak) << k;
        ASSERT_EQ(d.GetRiseCounter(), r.counter) << k;
        ASSERT_EQ(d.GetPrevEnvLevel(), r.e) << k;
        onsets += want;
    }
    EXPECT_GT(onsets, 0);
}

// Every field a block can change, compared exactly.
void ExpectSameState(const NoteDetector& got, const NoteDetector& want, size_t at) {
    SCOPED_TRACE(at);
    EXPECT_EQ(got.IsNoteOn(), want.IsNoteOn());
    EXPECT_EQ(got.IsArmed(), want.IsArmed());
    EXPECT_EQ(got.IsRestartPending(), want.IsRestartPending());
    EXPECT_EQ(got.IsJump(), want.IsJump());
    EXPECT_EQ(got.IsInNote(), want.IsInNote());
    EXPECT_EQ(got.GetEnvLevel(), want.GetEnvLevel());
    EXPECT_EQ(got.GetPrevEnvLevel(), want.GetPrevEnvLevel());
    EXPECT_EQ(got.GetSlope(), want.GetSlope());
    EXPECT_EQ(got.GetPrevSlope(), want.GetPrevSlope());
    EXPECT_EQ(got.GetPeak(), want.GetPeak());
    EXPECT_EQ(got.GetPrevPeak(), want.GetPrevPeak());
    EXPECT_EQ(got.GetRiseCounter(), want.GetRiseCounter());
    for (const auto& [g, w] : {std::pair(&got.GetEnvFilter(), &want.GetEnvFilter()),
                               std::pair(&got.GetSlopeFilter(), &want.GetSlopeFilter())}) {
        EXPECT_EQ(g->GetOut(), w->GetOut());
        EXPECT_EQ(g->GetY1(), w->GetY1());
        EXPECT_EQ(g->GetY2(), w->GetY2());
    }
}

TEST(NoteDetector, BlockFormsMatchSingleSamples) {
    // Notes, a NaN, and a stretch loud enough to overflow the filters (the block it falls in is
    // taken again one sample at a time), in blocks of every length from 1 up.
    Signal left(44100 * 3), right(44100 * 3);
    left.Burst(1000, 8000, 0.5).Burst(20000, 1000, 0.8).Burst(40000, 9000, 0.6).Burst(70000, 3000, 0.4);
    right.Burst(1500, 6000, 0.3).Burst(22205, 12000, 0.7).Burst(60000, 9000, 0.6);
    left.Burst(100000, 9000, 0.5).Burst(120000, 5000, 0.6);
    for (size_t k = 90000; k < 94000; ++k) left.x[k] = 1.7e308;
    const size_t n = left.x.size();
    std::vector<double> mono(n);
    for (size_t k = 0; k < n; ++k) mono[k] = (left.x[k] + right.x[k]) * 0.5;
    mono[30000] = std::numeric_limits<double>::quiet_NaN();
    left.x[30000] = std::numeric_limits<double>::quiet_NaN();
    NoteDetector single, fromMono, fromPair;
    for (NoteDetector* d : {&single, &fromMono, &fromPair}) d->SetThreshold(kThreshold);
    std::vector<uint8_t> a(n), b(n);
    int onsets = 0, late = 0;
    for (size_t k = 0, len = 1; k < n; k += len, len = len * 7 % 1024 + 1) {
        len = std::min(len, n - k);
        fromMono.Detect(mono.data() + k, a.data() + k, static_cast<int>(len));
        fromPair.Detect(left.x.data() + k, right.x.data() + k, b.data() + k, static_cast<int>(len));
        for (size_t j = k; j < k + len; ++j) {
            const uint8_t want = single.Detect(mono[j]) ? 1 : 0;
            ASSERT_EQ(a[j], want) << j;
            ASSERT_EQ(b[j], want) << j;
            onsets += want;
            if (j > 94000) late += want;
        }
        ExpectSameState(fromMono, single, k + len);
        ExpectSameState(fromPair, single, k + len);
        if (::testing::Test::HasFailure()) return;
    }
    EXPECT_GE(onsets, 3);
    EXPECT_GE(late, 1); // detection went on after the overflow
}

namespace {

// The same as ExpectSameState, quickly, for checks after every one of many short blocks.
bool SameState(const NoteDetector& a, const NoteDetector& b) {
    auto sameFilter = [](const FilterLP2& f, const FilterLP2& g) {
        return f.GetOut() == g.GetOut() && f.GetY1() == g.GetY1() && f.GetY2() == g.GetY2();
    };
    return a.IsNoteOn() == b.IsNoteOn() && a.IsArmed() == b.IsArmed() &&
           a.IsRestartPending() == b.IsRestartPending() && a.IsJump() == b.IsJump() &&
           a.IsInNote() == b.IsInNote() && a.GetEnvLevel() == b.GetEnvLevel() &&
           a.GetPrevEnvLevel() == b.GetPrevEnvLevel() && a.GetSlope() == b.GetSlope() &&
           a.GetPrevSlope() == b.GetPrevSlope() && a.GetPeak() == b.GetPeak() &&
           a.GetPrevPeak() == b.GetPrevPeak() && a.GetRiseCounter() == b.GetRiseCounter() &&
           sameFilter(a.GetEnvFilter(), b.GetEnvFilter()) &&
           sameFilter(a.GetSlopeFilter(), b.GetSlopeFilter());
}

// The full state of a detector against the plain statement of the rules, after sample k.
void ExpectMatchesRules(const NoteDetector& d, const Reference& r, size_t k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(d.GetEnvLevel(), r.e);
    EXPECT_EQ(d.GetPrevEnvLevel(), r.prevE);
    EXPECT_EQ(d.GetSlope(), r.s);
    EXPECT_EQ(d.GetPrevSlope(), r.prevS);
    EXPECT_EQ(d.GetPeak(), r.peak);
    EXPECT_EQ(d.GetPrevPeak(), r.prevPeak);
    EXPECT_EQ(d.IsArmed(), r.armed);
    EXPECT_EQ(d.IsJump(), r.jump);
    EXPECT_EQ(d.IsInNote(), r.inNote);
    EXPECT_EQ(d.IsRestartPending(), r.restart);
    EXPECT_EQ(d.GetRiseCounter(), r.counter);
    EXPECT_EQ(d.GetEnvFilter().GetY1(), r.env.y1);
    EXPECT_EQ(d.GetEnvFilter().GetY2(), r.env.y2);
    EXPECT_EQ(d.GetSlopeFilter().GetY1(), r.slope.y1);
    EXPECT_EQ(d.GetSlopeFilter().GetY2(), r.slope.y2);
}

// Notes of every strength (some more than three times the previous one) over a slowly swelling
// tone, so both rules find onsets, peaks and turns.
std::vector<double> MixedMusic(int n) {
    Signal sig(n);
    const double amps[] = {0.5, 0.05, 0.9, 0.1, 2.0, 0.3, 0.02, 1.5, 0.4, 3.0};
    int i = 0;
    for (int start = 1000; start + 9000 < n; start += 5200 + (i * 2311) % 9000, ++i)
        sig.Burst(start, 3000 + (i * 977) % 6000, amps[i % 10]);
    for (int k = 0; k < n; ++k) {
        const double amp = 0.1 + 0.08 * std::sin(2.0 * std::numbers::pi * 1.5 * k / 44100.0);
        sig.x[static_cast<size_t>(k)] += amp * std::sin(2.0 * std::numbers::pi * 330.0 * k / 44100.0);
    }
    return sig.x;
}

} // namespace

TEST(NoteDetector, NegativeZeroAndNaNThresholdsFollowTheRules) {
    // A negative threshold takes rises and turns in the same sample; NaN never counts as above.
    const std::vector<double> x = MixedMusic(44100 * 3);
    for (double thr : {-1.0, 0.0, -0.0, std::numeric_limits<double>::quiet_NaN(), 1e-300}) {
        SCOPED_TRACE(thr);
        NoteDetector d;
        d.SetThreshold(thr);
        Reference r(thr);
        int onsets = 0;
        for (size_t k = 0; k < x.size(); ++k) {
            const bool want = r.Detect(x[k]);
            ASSERT_EQ(d.Detect(x[k]), want) << k;
            onsets += want;
            if (k % 97 == 0 || want) ExpectMatchesRules(d, r, k);
            if (::testing::Test::HasFailure()) return;
        }
        ExpectMatchesRules(d, r, x.size());
        if (std::isnan(thr)) {
            EXPECT_EQ(onsets, 0);
        } else {
            EXPECT_GE(onsets, 3);
        }
    }
}

TEST(NoteDetector, SinDetectAndDetectTakeTurnsOnOneInstance) {
    // Runs of either rule on one detector; each rule must see the peaks and note state the other
    // one left, sample for sample, in the single-sample and the block form of Detect. It starts
    // with the alternative rule, which leaves the detector between notes and unarmed.
    const std::vector<double> x = MixedMusic(44100 * 10);
    for (double thr : {kThreshold, 0.0153, -1.0}) {
        for (bool blocks : {false, true}) {
            SCOPED_TRACE(testing::Message() << "threshold " << thr << (blocks ? " blocks" : " single"));
            NoteDetector d;
            d.SetThreshold(thr);
            ReferenceWithSin r(thr);
            uint32_t seed = 7;
            int sinOnsets = 0, detectOnsets = 0;
            bool sin = true;
            std::vector<uint8_t> onsets(x.size());
            for (size_t k = 0; k < x.size();) {
                seed = seed * 1664525u + 1013904223u;
                const size_t len = std::min<size_t>(x.size() - k, 1 + (seed >> 8) % (sin ? 2000 : 12000));
                if (sin) {
                    for (size_t j = k; j < k + len; ++j) {
                        const bool want = r.SinDetect(x[j]);
                        ASSERT_EQ(d.SinDetect(x[j]), want) << j;
                        sinOnsets += want;
                    }
                } else if (blocks) {
                    d.Detect(x.data() + k, onsets.data() + k, static_cast<int>(len));
                    for (size_t j = k; j < k + len; ++j) {
                        const bool want = r.Detect(x[j]);
                        ASSERT_EQ(onsets[j], want ? 1 : 0) << j;
                        detectOnsets += want;
                    }
                } else {
                    for (size_t j = k; j < k + len; ++j) {
                        const bool want = r.Detect(x[j]);
                        ASSERT_EQ(d.Detect(x[j]), want) << j;
                        detectOnsets += want;
                        if (j % 61 == 0) ExpectMatchesRules(d, r, j);
                    }
                }
                k += len;
                ExpectMatchesRules(d, r, k);
                if (::testing::Test::HasFailure()) return;
                sin = !sin;
            }
            EXPECT_GE(sinOnsets, 2);
            EXPECT_GE(detectOnsets, 2);
        }
    }
}

TEST(NoteDetector, ShortBlocksMatchSingleSamplesWithBadInputAndAnyThreshold) {
    // Blocks of 1 to 9 samples (and a repeating 0, 1, 2, 3, 4 pattern), with NaN and infinite samples
    // among the notes, for thresholds of every kind.
    std::vector<double> x = MixedMusic(30000);
    std::vector<double> ins[10];
    std::vector<uint8_t> outs[10];
    for (size_t len = 0; len < 10; ++len) {
        ins[len].resize(len);
        outs[len].resize(len);
    }
    const double bad[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity()};
    for (size_t k = 3000; k < x.size(); k += 2777) x[k] = bad[k % 3];
    x[1] = x[2] = std::numeric_limits<double>::quiet_NaN(); // in the first block of every length
    for (double thr : {kThreshold, -1.0, 0.0, std::numeric_limits<double>::quiet_NaN()}) {
        for (int pattern = 0; pattern <= 9; ++pattern) {
            SCOPED_TRACE(testing::Message() << "threshold " << thr << " pattern " << pattern);
            NoteDetector single, fromMono, fromPair;
            for (NoteDetector* d : {&single, &fromMono, &fromPair}) d->SetThreshold(thr);
            std::vector<uint8_t> a(x.size(), 9), b(x.size(), 9);
            int onsets = 0;
            for (size_t k = 0, i = 0; k < x.size(); ++i) {
                const size_t want = pattern == 0 ? i % 5 : static_cast<size_t>(pattern);
                const size_t len = std::min(want, x.size() - k);
                // Buffers of exactly the block's length: under the address sanitizer nothing may
                // be read or written beyond them.
                std::vector<double>& in = ins[len];
                std::vector<uint8_t>& out = outs[len];
                std::copy(x.begin() + static_cast<ptrdiff_t>(k), x.begin() + static_cast<ptrdiff_t>(k + len),
                          in.begin());
                fromMono.Detect(in.data(), out.data(), static_cast<int>(len));
                std::copy(out.begin(), out.end(), a.begin() + static_cast<ptrdiff_t>(k));
                // The mix of x with itself is x (halving is exact), NaN and infinities included.
                fromPair.Detect(in.data(), in.data(), out.data(), static_cast<int>(len));
                std::copy(out.begin(), out.end(), b.begin() + static_cast<ptrdiff_t>(k));
                for (size_t j = k; j < k + len; ++j) {
                    const uint8_t w = single.Detect(x[j]) ? 1 : 0;
                    ASSERT_EQ(a[j], w) << j;
                    ASSERT_EQ(b[j], w) << j;
                    onsets += w;
                }
                k += len;
                if (!SameState(fromMono, single)) ExpectSameState(fromMono, single, k);
                if (!SameState(fromPair, single)) ExpectSameState(fromPair, single, k);
                if (::testing::Test::HasFailure()) return;
            }
            if (!std::isnan(thr)) {
                EXPECT_GE(onsets, 2);
            }
        }
    }
}

TEST(NoteDetector, OverflowAtEitherEndOfABlockIsTakenLikeSingleSamples) {
    // Loud stretches overflow the filters again and again; blocks are laid out so that every such
    // sample falls first, second, second to last or last in a block of 1 to 8 samples (or 64).
    std::vector<double> x = MixedMusic(44100);
    for (int k = 5000; k < 9000; ++k) x[static_cast<size_t>(k)] = 1.7e308;
    for (int k = 20000; k < 20700; ++k) x[static_cast<size_t>(k)] = -1.7e308;
    for (int k = 30000; k < 30003; ++k) x[static_cast<size_t>(k)] = std::numeric_limits<double>::max();

    // Where one sample at a time the filters overflow: the envelope restarts from silence there
    // although the input is loud.
    std::vector<size_t> overflows;
    {
        NoteDetector d;
        d.SetThreshold(kThreshold);
        for (size_t k = 0; k < x.size(); ++k) {
            d.Detect(x[k]);
            if (std::fabs(x[k]) > 1.0 && d.GetEnvLevel() == 0.0 && d.GetEnvFilter().GetY1() == 0.0)
                overflows.push_back(k);
        }
        // Independently: the plain rules' slope first leaves the finite range at the first of them.
        Reference r(kThreshold);
        size_t first = 0;
        while (std::isfinite(r.s)) r.Detect(x[first++]);
        ASSERT_GE(overflows.size(), 4u);
        ASSERT_EQ(overflows[0], first - 1);
    }

    for (int len : {1, 2, 3, 4, 5, 6, 7, 8, 64}) {
        for (int pos : {0, 1, len - 2, len - 1}) {
            if (pos < 0 || pos >= len) continue;
            SCOPED_TRACE(testing::Message() << "length " << len << " position " << pos);
            NoteDetector single, block;
            single.SetThreshold(kThreshold);
            block.SetThreshold(kThreshold);
            std::vector<uint8_t> got(x.size(), 9);
            size_t aligned = 0, next = 0, k = 0;
            auto run = [&](size_t n) {
                block.Detect(x.data() + k, got.data() + k, static_cast<int>(n));
                for (size_t j = k; j < k + n; ++j) ASSERT_EQ(got[j], single.Detect(x[j]) ? 1 : 0) << j;
                k += n;
                if (!SameState(block, single)) ExpectSameState(block, single, k);
            };
            while (k < x.size() && !::testing::Test::HasFailure()) {
                while (next < overflows.size() && overflows[next] < k + static_cast<size_t>(pos)) ++next;
                if (next == overflows.size()) {
                    run(x.size() - k);
                    break;
                }
                const size_t start = overflows[next] - static_cast<size_t>(pos);
                if (start > k) run(start - k); // whatever comes before, in one block
                if (::testing::Test::HasFailure()) break;
                run(std::min(static_cast<size_t>(len), x.size() - k)); // the overflow at pos
                ++aligned;
            }
            EXPECT_GE(aligned, 4u);
            if (::testing::Test::HasFailure()) return;
        }
    }
}

TEST(NoteDetector, ThresholdChangesBetweenSamplesAndBlocksFollowTheRules) {
    // The owner may change the threshold between any two blocks. Here it moves between kinds of
    // value every 3000 samples and is raised out of reach for 40 samples after every onset, so an
    // onset is followed by samples below the threshold at once.
    const std::vector<double> x = MixedMusic(44100 * 10);
    const double bases[] = {-1.0, kThreshold, 0.0153, -1.0, 0.0};
    std::vector<double> thr(x.size());
    int jumpOnsets = 0;
    {
        Reference r(0.0);
        size_t raisedUntil = 0;
        for (size_t k = 0; k < x.size(); ++k) {
            thr[k] = k < raisedUntil ? 1e300 : bases[(k / 3000) % 5];
            r.threshold = thr[k];
            const int64_t counter = r.counter;
            if (r.Detect(x[k])) {
                raisedUntil = k + 41;
                jumpOnsets += static_cast<double>(counter) <= 44100.0 * 0.1; // reported by the jump rule
            }
        }
        ASSERT_GE(jumpOnsets, 2);
    }

    Reference r(0.0);
    NoteDetector single, block;
    std::vector<uint8_t> got(x.size(), 9);
    uint32_t seed = 3;
    for (size_t k = 0; k < x.size();) {
        // A block of one threshold, 1 to 700 samples long.
        seed = seed * 1664525u + 1013904223u;
        size_t end = k + 1;
        while (end < x.size() && end - k < 1 + (seed >> 8) % 700 && thr[end] == thr[k]) ++end;
        block.SetThreshold(thr[k]);
        block.Detect(x.data() + k, got.data() + k, static_cast<int>(end - k));
        for (size_t j = k; j < end; ++j) {
            r.threshold = thr[j];
            single.SetThreshold(thr[j]);
            const bool want = r.Detect(x[j]);
            ASSERT_EQ(single.Detect(x[j]), want) << j;
            ASSERT_EQ(got[j], want ? 1 : 0) << j;
            ASSERT_EQ(single.IsJump(), r.jump) << j;
        }
        k = end;
        ExpectMatchesRules(single, r, k);
        if (!SameState(block, single)) ExpectSameState(block, single, k);
        if (::testing::Test::HasFailure()) return;
    }
}
