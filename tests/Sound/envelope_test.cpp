// ADSREnvelope: the swell the effect configures, sample by sample, and the general stages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "Sound/ADSREnvelope.h"
#include "Sound/FlushDenormals.h"

namespace {

// The envelope as the effect sets it up at 44100 Hz for a delay of delaySamples.
ADSREnvelope MakeSwell(double timeValue, int delaySamples) {
    ADSREnvelope env;
    const int sr = 44100;
    env.SetDecayTime(0.0, sr);
    env.SetNoteOffTime(0.003, sr);
    env.SetReleaseTime(0.0, sr);
    env.SetSustainLevel(1.0);
    env.SetReleaseThreshold(0.0);
    env.SetAttackSpeed(1.0);
    env.SetAttackTime(timeValue, sr);
    env.SetWaitTime(delaySamples);
    return env;
}

std::vector<double> RunEnvelope(ADSREnvelope& env, int n, int triggerAt = -1) {
    std::vector<double> out;
    for (int k = 0; k < n; ++k) out.push_back(env.NextStep(k == triggerAt, 0.0));
    return out;
}

} // namespace

TEST(ADSREnvelope, TimeConversionsTruncate) {
    ADSREnvelope env;
    env.SetAttackTime(0.0, 44100);
    EXPECT_EQ(env.GetAttackTimeSamplesNum(), 441);
    env.SetAttackTime(0.5, 44100);
    EXPECT_EQ(env.GetAttackTimeSamplesNum(), 13945);
    env.SetAttackTime(1.0, 44100);
    EXPECT_EQ(env.GetAttackTimeSamplesNum(), 441000);
    env.SetAttackTime(0.5, 96000);
    EXPECT_EQ(env.GetAttackTimeSamplesNum(), 30357);
    env.SetNoteOffTime(0.003, 44100);
    EXPECT_EQ(env.GetNoteOffTimeSamplesNum(), 132);
    env.SetDecayTime(0.25, 44100);
    EXPECT_EQ(env.GetDecayTimeSamplesNum(), 11025);
    env.SetReleaseTime(0.0101, 1000);
    EXPECT_EQ(env.GetReleaseTimeSamplesNum(), 10);
    // Fade and wait share the requested time; too short a time leaves no wait.
    env.SetWaitTime(1362);
    EXPECT_EQ(env.GetWaitTimeSamplesNum(), 1230);
    env.SetWaitTime(50);
    EXPECT_EQ(env.GetWaitTimeSamplesNum(), 0);
    // Values no sample count can hold do not reach an undefined conversion.
    env.SetAttackTime(std::numeric_limits<double>::quiet_NaN(), 44100);
    EXPECT_EQ(env.GetAttackTimeSamplesNum(), 0);
    env.SetAttackTime(1e9, 44100);
    EXPECT_EQ(env.GetAttackTimeSamplesNum(), std::numeric_limits<int>::max());
    env.SetDecayTime(-1e300, 44100);
    EXPECT_EQ(env.GetDecayTimeSamplesNum(), std::numeric_limits<int>::min());
    env.SetNoteOffTime(0.003, 44100);
    env.SetWaitTime(std::numeric_limits<int>::min());
    EXPECT_EQ(env.GetWaitTimeSamplesNum(), 0);
}

TEST(ADSREnvelope, SwellFadesWaitsAndRisesExactly) {
    const int delay = 1362;
    ADSREnvelope env = MakeSwell(0.0, delay); // attack of 441 samples
    const int a = env.GetAttackTimeSamplesNum();
    ASSERT_EQ(a, 441);
    // Full level until the first onset.
    for (int k = 0; k < 100; ++k) ASSERT_EQ(env.NextStep(false, 0.0), 1.0);

    const int total = delay + a + 50;
    const std::vector<double> out = RunEnvelope(env, total, 0);
    const double l0 = 1.0;
    for (int k = 0; k < 132; ++k) ASSERT_EQ(out[k], (1.0 - k / 132.0) * l0) << k;
    EXPECT_EQ(out[0], l0);
    EXPECT_EQ(out[1], (1.0 - 1.0 / 132.0) * l0);
    const double last = (1.0 - 131.0 / 132.0) * l0;
    EXPECT_NEAR(last, l0 / 132.0, 1e-15);
    for (int k = 132; k < delay; ++k) ASSERT_EQ(out[k], last) << k;
    // The attack's first sample lands exactly `delay` samples after the trigger.
    for (int k = 0; k < a; ++k) ASSERT_EQ(out[delay + k], static_cast<double>(k) / a) << k;
    EXPECT_EQ(out[delay], 0.0);
    for (int k = delay + a; k < total; ++k) ASSERT_EQ(out[k], 1.0) << k;
    EXPECT_EQ(env.GetStage(), kStageSustain);
}

TEST(ADSREnvelope, RetriggerRestartsFadeFromCurrentLevel) {
    ADSREnvelope env = MakeSwell(0.5, 1500);
    std::vector<double> out;
    for (int k = 0; k < 30; ++k) out.push_back(env.NextStep(k == 0 || k == 10, 0.0));
    const double l1 = (1.0 - 9.0 / 132.0) * 1.0;
    EXPECT_EQ(out[9], l1);
    EXPECT_EQ(out[10], l1);
    for (int k = 10; k < 30; ++k) ASSERT_EQ(out[k], (1.0 - (k - 10) / 132.0) * l1) << k;

    // A trigger in the middle of an attack fades from the attack's level.
    ADSREnvelope rising = MakeSwell(0.0, 200);
    RunEnvelope(rising, 300, 0); // fade 132, wait 68, then 100 attack samples: level 99/441
    const double level = rising.GetLevel();
    EXPECT_EQ(level, 99.0 / 441.0);
    EXPECT_EQ(rising.NextStep(true, 0.0), level);
    EXPECT_EQ(rising.NextStep(false, 0.0), (1.0 - 1.0 / 132.0) * level);
}

TEST(ADSREnvelope, ShortAndZeroLengthStages) {
    // A wait of 0 still takes one sample.
    ADSREnvelope env = MakeSwell(0.0, 100);
    ASSERT_EQ(env.GetWaitTimeSamplesNum(), 0);
    const std::vector<double> out = RunEnvelope(env, 140, 0);
    EXPECT_EQ(out[131], 1.0 - 131.0 / 132.0);
    EXPECT_EQ(out[132], 1.0 - 131.0 / 132.0);
    EXPECT_EQ(out[133], 0.0);
    EXPECT_EQ(out[134], 1.0 / 441.0);

    // No attack: the wait goes straight to sustain (decay 0) or to decay.
    ADSREnvelope noAttack = MakeSwell(0.0, 133); // a wait of 1
    noAttack.SetAttackTime(0.0, 50);             // (int)(50 x 0.01) = 0
    ASSERT_EQ(noAttack.GetAttackTimeSamplesNum(), 0);
    const std::vector<double> o2 = RunEnvelope(noAttack, 140, 0);
    EXPECT_EQ(o2[132], 1.0 - 131.0 / 132.0); // the single wait sample
    EXPECT_EQ(noAttack.GetStage(), kStageSustain);
    EXPECT_EQ(o2[133], 1.0);
    EXPECT_EQ(o2[139], 1.0);

    ADSREnvelope toDecay;
    toDecay.SetAttackTime(0.0, 50);
    toDecay.SetDecayTime(0.1, 100); // 10 samples
    toDecay.SetDecaySpeed(2.0);
    toDecay.SetSustainLevel(0.5);
    toDecay.SetStage(kStageWait);
    toDecay.SetWaitTime(toDecay.GetNoteOffTimeSamplesNum() + 1); // a wait of 1
    toDecay.NextStep(false, 0.0);
    EXPECT_EQ(toDecay.GetStage(), kStageDecay);
    const double d0 = toDecay.NextStep(false, 0.0);
    EXPECT_EQ(d0, 1.0); // (1 - 0.5) x (e^2 - 1) / (e^2 - 1) + 0.5

    // A fade of no length falls straight to 0 instead of dividing 0 by 0.
    ADSREnvelope noFade = MakeSwell(0.0, 10);
    noFade.SetNoteOffTime(0.001, 100);
    ASSERT_EQ(noFade.GetNoteOffTimeSamplesNum(), 0);
    EXPECT_EQ(noFade.NextStep(true, 0.0), 0.0);
    EXPECT_EQ(noFade.GetStage(), kStageWait);
}

TEST(ADSREnvelope, DecaySustainReleaseCurves) {
    ADSREnvelope env;
    const double s = 0.2, speed = 3.0, rspeed = 1.5;
    env.SetDecayTime(0.01, 1000);    // 10 samples
    env.SetReleaseTime(0.005, 1000); // 5 samples
    env.SetDecaySpeed(speed);
    env.SetReleaseSpeed(rspeed);
    env.SetReleaseThreshold(0.1);
    env.SetStage(kStageDecay);
    for (int r = 0; r < 10; ++r) {
        const double expected = (1.0 - s) * (std::exp((1.0 - static_cast<double>(r) / 10.0) * speed) - 1.0) /
                                    (std::exp(speed) - 1.0) +
                                s;
        ASSERT_EQ(env.NextStep(false, 1.0), expected) << r;
    }
    EXPECT_EQ(env.GetStage(), kStageSustain);
    EXPECT_EQ(env.NextStep(false, 0.5), s); // input above the release threshold: stays
    EXPECT_EQ(env.GetStage(), kStageSustain);
    EXPECT_EQ(env.NextStep(false, 0.05), s); // below: release starts after this sample
    EXPECT_EQ(env.GetStage(), kStageRelease);
    for (int r = 0; r < 5; ++r) {
        const double expected =
            (std::exp((1.0 - static_cast<double>(r) / 5.0) * rspeed) - 1.0) / (std::exp(rspeed) - 1.0) * s;
        ASSERT_EQ(env.NextStep(false, 0.0), expected) << r;
    }
    EXPECT_EQ(env.GetStage(), kStageIdle);
    EXPECT_EQ(env.NextStep(false, 0.0), 0.0);

    // Speed 0 gives the straight line.
    ADSREnvelope linear;
    linear.SetDecayTime(0.004, 1000);
    linear.SetStage(kStageDecay);
    for (int r = 0; r < 4; ++r) ASSERT_EQ(linear.NextStep(false, 1.0), (1.0 - 0.2) * (1.0 - r / 4.0) + 0.2);
    linear.SetReleaseTime(0.004, 1000);
    linear.SetStage(kStageRelease);
    for (int r = 0; r < 4; ++r) ASSERT_EQ(linear.NextStep(false, 0.0), (1.0 - r / 4.0) * 0.2);

    // A level above 1 is returned as 1.
    ADSREnvelope loud;
    loud.SetSustainLevel(1.5);
    EXPECT_EQ(loud.NextStep(false, 1.0), 1.0);
    loud.SetSustainLevel(-1.5);
    EXPECT_EQ(loud.NextStep(false, 1.0), 1.0);
    loud.SetSustainLevel(-0.5);
    EXPECT_EQ(loud.NextStep(false, 1.0), -0.5);
}

TEST(ADSREnvelope, AttackCurveAndResumeWithoutRetrigger) {
    ADSREnvelope env;
    env.SetAttackTime(0.0, 1000); // 10 samples
    env.SetAttackSpeed(1.2);
    env.SetDecayTime(0.0, 1000);
    env.SetStage(kStageAttack);
    for (int r = 0; r < 10; ++r) ASSERT_EQ(env.NextStep(false, 0.0), std::pow(r / 10.0, 1.2 * 1.2)) << r;
    EXPECT_EQ(env.GetStage(), kStageSustain);

    // Without retrigger an onset waits at the current level and resumes the attack from there.
    ADSREnvelope hold;
    hold.SetAttackTime(0.0, 100000); // 1000 samples
    hold.SetAttackSpeed(1.0);
    hold.SetDecayTime(0.0, 1000);
    hold.SetSustainLevel(1.0);
    hold.SetReTrig(false);
    hold.SetNoteOffTime(0.0, 1000);
    hold.SetWaitTime(3);
    hold.SetStage(kStageAttack);
    for (int k = 0; k < 400; ++k) hold.NextStep(false, 0.0);
    const double level = hold.GetLevel();
    ASSERT_EQ(level, 399.0 / 1000.0);
    EXPECT_EQ(hold.NextStep(true, 0.0), level);
    EXPECT_EQ(hold.NextStep(false, 0.0), level);
    EXPECT_EQ(hold.NextStep(false, 0.0), level); // third wait sample ends the wait
    const int resume = static_cast<int>(1000.0 / 1.0 * std::log((std::exp(1.0) - 1.0) * level + 1.0));
    EXPECT_EQ(hold.GetStage(), kStageAttack);
    EXPECT_EQ(hold.GetStep(), resume);
    EXPECT_EQ(hold.NextStep(false, 0.0), resume / 1000.0);
}

TEST(ADSREnvelope, SetNextStageTransitions) {
    ADSREnvelope env; // decay 10000 samples
    env.SetStage(kStageAttack);
    env.SetNextStage();
    EXPECT_EQ(env.GetStage(), kStageDecay);
    env.SetNextStage();
    EXPECT_EQ(env.GetStage(), kStageSustain);
    env.SetNextStage();
    EXPECT_EQ(env.GetStage(), kStageRelease);
    env.SetNextStage();
    EXPECT_EQ(env.GetStage(), kStageIdle);
    EXPECT_EQ(env.GetLevel(), 1.0);
    env.SetNextStage();
    EXPECT_EQ(env.GetStage(), kStageIdle);
    EXPECT_EQ(env.GetLevel(), 0.0);
    env.SetStage(kStageNoteOff);
    env.SetNextStage();
    EXPECT_EQ(env.GetStage(), kStageWait);
    env.SetNextStage();
    EXPECT_EQ(env.GetStage(), kStageAttack);
    EXPECT_EQ(env.GetStep(), 0);
    env.SetDecayTime(0.0, 44100);
    env.SetNextStage();
    EXPECT_EQ(env.GetStage(), kStageSustain);
}

TEST(ADSREnvelope, BlockStepsMatchSingleSteps) {
    // Every configuration the bulk stretches handle, and some they leave to NextStep.
    struct Config {
        double time, attackSpeed, sustain, releaseThreshold, input;
        int wait;
        bool reTrig;
    };
    const Config configs[] = {
        {0.5, 1.0, 1.0, 0.0, 0.0, 1362, true}, {0.0, 1.0, 1.0, 0.0, 0.0, 100, true},
        {0.1, 1.0, 1.0, 0.0, 0.0, 0, true},    {0.2, 1.3, 1.0, 0.0, 0.0, 700, true},
        {0.2, 1.0, 1.5, 0.0, 0.0, 700, true},  {0.1, 1.0, 0.6, 0.5, 0.2, 300, true},
        {0.1, 1.0, 0.8, 0.0, 0.0, 500, false}, {0.15, 0.7, -1.2, 0.0, 0.0, 140, true},
    };
    uint32_t seed = 99;
    auto next = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (const Config& c : configs) {
        ADSREnvelope single, bulk;
        for (ADSREnvelope* e : {&single, &bulk}) {
            e->SetDecayTime(0.0, 44100);
            e->SetNoteOffTime(0.003, 44100);
            e->SetReleaseTime(0.002, 44100);
            e->SetSustainLevel(c.sustain);
            e->SetReleaseThreshold(c.releaseThreshold);
            e->SetAttackSpeed(c.attackSpeed);
            e->SetReleaseSpeed(2.0);
            e->SetAttackTime(c.time, 44100);
            e->SetWaitTime(c.wait);
            e->SetReTrig(c.reTrig);
        }
        const int n = 60000;
        std::vector<uint8_t> triggers(n, 0);
        for (int k = 0; k < n; ++k) triggers[k] = next() % 3000 == 0 ? 1 : 0;
        triggers[10] = triggers[11] = 1; // back to back
        std::vector<double> want(n), got(n, -9.0);
        for (int k = 0; k < n; ++k) want[k] = single.NextStep(triggers[k] == 1, c.input);
        for (int k = 0; k < n;) {
            const int len = std::min(n - k, 1 + static_cast<int>(next() % 1500));
            bulk.NextSteps(triggers.data() + k, c.input, got.data() + k, len);
            k += len;
        }
        for (int k = 0; k < n; ++k) ASSERT_EQ(got[k], want[k]) << "sample " << k << " time " << c.time;
        EXPECT_EQ(bulk.GetStage(), single.GetStage());
        EXPECT_EQ(bulk.GetStep(), single.GetStep());
        EXPECT_EQ(bulk.GetLevel(), single.GetLevel());
    }
}

TEST(ADSREnvelope, AttackRampOfEveryShortLengthIsExactAndStaysInsideItsBuffer) {
    // The linear attack in blocks of 0 to 9 samples, from attack positions near the start, the
    // middle and the end (so the ramp ends inside the block), for attack lengths from 5 samples to
    // two thousand million, written to buffers at every alignment, with subnormal flushing on and
    // off. Every level is step / attack length, divided as doubles; the samples after the attack
    // hold full level; nothing around the block is touched.
    for (bool flush : {false, true}) {
        std::optional<FlushDenormals> mode;
        if (flush) mode.emplace();
        for (int attack : {5, 9, 441, 13945, 441000, 2000000000}) {
            for (int n = 0; n <= 9; ++n) {
                for (int offset = 0; offset < 4; ++offset) {
                    // Wait one sample, then attack: the level at step s is s / attack.
                    ADSREnvelope env, twin;
                    for (ADSREnvelope* e : {&env, &twin}) {
                        e->SetDecayTime(0.0, 44100);
                        e->SetSustainLevel(1.0);
                        e->SetAttackSpeed(1.0);
                        e->SetStage(kStageWait);
                        e->SetWaitTime(e->GetNoteOffTimeSamplesNum() + 1);
                    }
                    // 0.01 s at 100 times the length in Hz, or 10 s at a tenth of it.
                    for (ADSREnvelope* e : {&env, &twin}) {
                        if (attack % 10 == 0) {
                            e->SetAttackTime(1.0, attack / 10);
                        } else {
                            e->SetAttackTime(0.0, attack * 100);
                        }
                    }
                    ASSERT_EQ(env.GetAttackTimeSamplesNum(), attack);
                    env.NextStep(false, 0.0);
                    twin.NextStep(false, 0.0);
                    ASSERT_EQ(env.GetStage(), kStageAttack);
                    // Start n + offset samples before the end of the attack, or near its start.
                    const int skip = attack > 100 ? offset * 3 : std::max(0, attack - n + offset - 2);
                    for (int k = 0; k < skip; ++k) {
                        env.NextStep(false, 0.0);
                        twin.NextStep(false, 0.0);
                    }
                    SCOPED_TRACE(testing::Message() << "flush " << flush << " attack " << attack << " n " << n
                                                    << " offset " << offset << " from " << skip);
                    const std::vector<uint8_t> triggers(static_cast<size_t>(n), 0); // exactly n
                    std::vector<double> buf(static_cast<size_t>(n + 8), -3.0);
                    double* out = buf.data() + 2 + offset;
                    env.NextSteps(triggers.data(), 0.0, out, n);
                    for (int k = 0; k < n; ++k) {
                        const int step = skip + k;
                        const double want =
                            step < attack ? static_cast<double>(step) / static_cast<double>(attack) : 1.0;
                        ASSERT_EQ(out[k], want) << k;
                        ASSERT_EQ(twin.NextStep(false, 0.0), want) << k;
                    }
                    for (int k = 0; k < 2 + offset; ++k) ASSERT_EQ(buf[static_cast<size_t>(k)], -3.0) << k;
                    for (size_t k = static_cast<size_t>(2 + offset + n); k < buf.size(); ++k)
                        ASSERT_EQ(buf[k], -3.0) << k;
                    EXPECT_EQ(env.GetStage(), twin.GetStage());
                    EXPECT_EQ(env.GetStep(), twin.GetStep());
                    EXPECT_EQ(env.GetLevel(), twin.GetLevel());
                }
            }
        }
    }
}

TEST(ADSREnvelope, AttackRampNearTheLargestStep) {
    // Without retrigger a new attack resumes at the step whose level is the current one, here
    // (int)(2000000000 x ln((e - 1) x 0.999 + 1)), close to the largest int: the steps stay exact.
    ADSREnvelope env, twin;
    for (ADSREnvelope* e : {&env, &twin}) {
        e->SetDecayTime(0.0, 44100);
        e->SetSustainLevel(0.999);
        e->SetAttackSpeed(1.0);
        e->SetReTrig(false);
        e->SetAttackTime(1.0, 200000000); // 10 s: 2000000000 samples
        e->SetWaitTime(e->GetNoteOffTimeSamplesNum() + 1);
        e->NextStep(false, 0.0); // sustain at 0.999
        e->NextStep(true, 0.0);  // trigger: wait one sample, then resume the attack
    }
    const int resume = static_cast<int>(2000000000.0 / 1.0 * std::log((std::exp(1.0) - 1.0) * 0.999 + 1.0));
    ASSERT_EQ(env.GetStage(), kStageAttack);
    ASSERT_EQ(env.GetStep(), resume);
    ASSERT_GT(resume, 1998000000);
    for (int n = 0; n <= 9; ++n) {
        const std::vector<uint8_t> triggers(static_cast<size_t>(n), 0);
        std::vector<double> out(static_cast<size_t>(n));
        const int from = env.GetStep();
        env.NextSteps(triggers.data(), 0.0, out.data(), n);
        for (int k = 0; k < n; ++k) {
            ASSERT_EQ(out[static_cast<size_t>(k)], static_cast<double>(from + k) / 2000000000.0)
                << n << " " << k;
            ASSERT_EQ(twin.NextStep(false, 0.0), out[static_cast<size_t>(k)]);
        }
        ASSERT_EQ(env.GetStep(), from + n);
    }
}
