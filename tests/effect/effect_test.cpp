// The effect's identity, parameter mapping and block processing, checked sample for sample against
// the per-sample model.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>
#include <xmmintrin.h>

#include "tests/effect/EffectFixture.h"
#include "tests/effect/SwellModel.h"

namespace {

void RunModel(SwellModel& m, const std::vector<double>& in0, const std::vector<double>& in1,
              std::vector<double>& out0, std::vector<double>& out1) {
    out0.resize(in0.size());
    out1.resize(in1.size());
    for (size_t k = 0; k < in0.size(); ++k) m.Frame(in0[k], in1[k], out0[k], out1[k]);
}

// Index of the first difference, or -1.
long FirstDifference(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return 0;
    for (size_t k = 0; k < a.size(); ++k)
        if (std::memcmp(&a[k], &b[k], sizeof(double)) != 0) return static_cast<long>(k);
    return -1;
}

} // namespace

TEST(Tidebloom, IdentityParametersAndPresets) {
    EffectInstance fx;
    AEffect* e = fx.Fx();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->numParams, 5);
    EXPECT_EQ(e->numPrograms, 6);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, 0x1019); // editor, replacing, double replacing, mono capable
    EXPECT_EQ(e->uniqueID, 0x54626C6D);
    EXPECT_EQ(e->version, 10000);
    EXPECT_EQ(fx.Effect().GetMfrID(), 0x56647278);
    EXPECT_STREQ(fx.Effect().GetEffectName(), "Tidebloom");
    EXPECT_STREQ(fx.Effect().GetMfrName(), "vendrilax");
    EXPECT_STREQ(fx.Effect().GetProductName(), "");

    const char* names[] = {"Sensitivity", "Time", "Depth", "Vol", "OnOff"};
    const double defaults[] = {0.7, 0.5, 0.75, 1.0, 1.0};
    const double maxima[] = {1.0, 1.0, 1.0, 2.0, 1.0};
    for (int i = 0; i < 5; ++i) {
        const IParam* p = fx.Effect().GetParam(i);
        EXPECT_STREQ(p->GetNameForHost(), names[i]);
        EXPECT_EQ(p->Value(), defaults[i]);
        EXPECT_EQ(p->GetMin(), 0.0);
        EXPECT_EQ(p->GetMax(), maxima[i]);
        EXPECT_STREQ(p->GetLabelForHost(), "");
    }
    EXPECT_EQ(fx.Effect().GetParam(kOnOff)->Type(), IParam::kTypeInt);
    EXPECT_EQ(fx.Effect().GetParam(kVol)->Type(), IParam::kTypeDouble);
    EXPECT_EQ(fx.Effect().GetParam(kTime)->GetStep(), 0.001);

    const char* presets[] = {"Init",     "Swell on Accent",     "Funked Swell",
                             "Arpeggio", "Long Ambient Chords", "Before Overdrive"};
    const double values[6][5] = {{0.7, 0.5, 0.75, 1.0, 1.0},   {0.5, 0.5, 0.75, 1.0, 1.0},
                                 {0.35, 0.431, 0.5, 1.0, 1.0}, {0.676, 0.433, 1.0, 1.0, 1.0},
                                 {0.44, 0.612, 1.0, 1.0, 1.0}, {0.5, 0.772, 1.0, 1.0, 1.0}};
    for (int p = 5; p >= 0; --p) {
        fx.Dispatch(effSetProgram, 0, p);
        char name[256] = "";
        fx.Dispatch(effGetProgramName, 0, 0, name);
        EXPECT_STREQ(name, presets[p]);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(fx.Plain(i), values[p][i]) << p << " " << i;
    }
    // The "Init" program chunk: header, then the five plain values.
    void* data = nullptr;
    const intptr_t size = fx.Dispatch(effGetChunk, 1, 0, &data);
    ASSERT_EQ(size, 48);
    const unsigned char header[8] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
    EXPECT_EQ(std::memcmp(data, header, 8), 0);
    for (int i = 0; i < 5; ++i) {
        double v;
        std::memcpy(&v, static_cast<char*>(data) + 8 + 8 * i, 8);
        EXPECT_EQ(v, values[0][i]);
    }
}

TEST(Tidebloom, ParameterMapping) {
    EffectInstance fx;
    Tidebloom& t = fx.Effect();
    // Opening mapped the defaults.
    EXPECT_EQ(t.GetDelaySamples(), 1362);
    EXPECT_EQ(fx.Fx()->initialDelay, 1362);
    EXPECT_EQ(t.GetEnvelope().GetAttackTimeSamplesNum(), 13945);
    EXPECT_EQ(t.GetEnvelope().GetNoteOffTimeSamplesNum(), 132);
    EXPECT_EQ(t.GetEnvelope().GetWaitTimeSamplesNum(), 1362 - 132);
    EXPECT_NEAR(t.GetNoteDetector().GetThreshold(), 0.121532, 1e-6);

    struct SensCase {
        const char* text;
        double v, approx;
    };
    for (const SensCase& c : {SensCase{"0", 0.0, 15.3}, SensCase{"0.5", 0.5, 0.48383},
                              SensCase{"0.7", 0.7, 0.121532}, SensCase{"1", 1.0, 0.0153}}) {
        fx.SetPlain(kSensitivity, c.text);
        const double thr = t.GetNoteDetector().GetThreshold();
        EXPECT_EQ(thr, std::exp(c.v * -60.0 / 20.0 * 2.302585092994046) * 2.55 * 6.0) << c.text;
        EXPECT_NEAR(thr, c.approx, 1e-5) << c.text;
    }

    fx.SetPlain(kTime, "0");
    EXPECT_EQ(t.GetEnvelope().GetAttackTimeSamplesNum(), 441);
    fx.SetPlain(kTime, "1");
    EXPECT_EQ(t.GetEnvelope().GetAttackTimeSamplesNum(), 441000);

    struct DepthCase {
        const char* text;
        double depth;
        int delay;
    };
    for (const DepthCase& c :
         {DepthCase{"0.5", 0.793701, 1190}, DepthCase{"0.75", 0.908560, 1362}, DepthCase{"1", 1.0, 1500},
          DepthCase{"0.001", 0.1, 150}, DepthCase{"0", 0.0, 0}}) {
        fx.SetPlain(kDepth, c.text);
        EXPECT_NEAR(t.GetDepth(), c.depth, 1e-6) << c.text;
        EXPECT_EQ(t.GetDelaySamples(), c.delay) << c.text;
        EXPECT_EQ(fx.Fx()->initialDelay, c.delay) << c.text;
        EXPECT_EQ(t.GetEnvelope().GetWaitTimeSamplesNum(), std::max(0, c.delay - 132)) << c.text;
    }
    EXPECT_EQ(t.GetDepth(), 0.0);

    // OnOff reports the latency only while on.
    fx.SetPlain(kDepth, "1");
    fx.SetPlain(kOnOff, "0");
    EXPECT_FALSE(t.IsOn());
    EXPECT_EQ(fx.Fx()->initialDelay, 0);
    fx.SetPlain(kDepth, "0.5");
    EXPECT_EQ(fx.Fx()->initialDelay, 0);
    fx.SetPlain(kDepth, "1");
    fx.SetPlain(kOnOff, "1");
    EXPECT_EQ(fx.Fx()->initialDelay, 1500);

    fx.SetPlain(kVol, "1.25");
    EXPECT_EQ(t.GetVolume(), 1.25);
    // Indices beyond the parameters change nothing.
    t.OnParamChange(5);
    t.OnParamChange(-1);
    EXPECT_EQ(t.GetVolume(), 1.25);
    EXPECT_EQ(t.GetDelaySamples(), 1500);

    // A new sample rate reaches every time constant at once: attack, fade, detector, and the delay
    // (the same 34 ms: 1500 x 96000 / 44100 samples), which is the latency.
    fx.SetPlain(kTime, "0.5");
    fx.Dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    EXPECT_EQ(t.GetEnvelope().GetAttackTimeSamplesNum(), 30357);
    EXPECT_EQ(t.GetNoteDetector().GetSampleRate(), 96000);
    EXPECT_EQ(t.GetEnvelope().GetNoteOffTimeSamplesNum(), 288);
    EXPECT_EQ(t.GetDelaySamples(), 3265);
    EXPECT_EQ(fx.Fx()->initialDelay, 3265);
    EXPECT_EQ(t.GetEnvelope().GetWaitTimeSamplesNum(), 3265 - 288);
    fx.SetPlain(kDepth, "0.75");
    EXPECT_EQ(t.GetDelaySamples(), 2966); // (int)(1362.84 x 96000 / 44100)
    EXPECT_EQ(fx.Fx()->initialDelay, 2966);
    fx.Dispatch(effSetProgram, 0, 0);
    EXPECT_EQ(t.GetEnvelope().GetAttackTimeSamplesNum(), 30357);
}

TEST(Tidebloom, HostValuesStayFiniteAndInRange) {
    EffectInstance fx;
    Tidebloom& t = fx.Effect();
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (int i = 0; i < 5; ++i) {
        const double before = fx.Plain(i);
        fx.Fx()->setParameter(fx.Fx(), i, nan);
        EXPECT_EQ(fx.Plain(i), before) << i;
        for (float v : {inf, -inf, 7.5f, -3.0f}) {
            fx.Fx()->setParameter(fx.Fx(), i, v);
            const IParam* p = t.GetParam(i);
            EXPECT_TRUE(std::isfinite(p->Value())) << i;
            EXPECT_GE(p->Value(), p->GetMin()) << i;
            EXPECT_LE(p->Value(), p->GetMax()) << i;
        }
        for (const char* text : {"nan", "inf", "-inf", "1e999", "-1e999", "12"}) {
            fx.SetPlain(i, text);
            const IParam* p = t.GetParam(i);
            EXPECT_TRUE(std::isfinite(p->Value())) << i << " " << text;
            EXPECT_GE(p->Value(), p->GetMin()) << i << " " << text;
            EXPECT_LE(p->Value(), p->GetMax()) << i << " " << text;
        }
    }
    EXPECT_TRUE(std::isfinite(t.GetNoteDetector().GetThreshold()));
    EXPECT_GE(t.GetDelaySamples(), 0);
    EXPECT_LE(t.GetDelaySamples(), 1500);
    std::vector<double> in0, in1, out0, out1;
    MakeMusic(44100, in0, in1);
    fx.Process(in0, in1, out0, out1, 512);
    for (size_t k = 0; k < out0.size(); ++k) {
        ASSERT_TRUE(std::isfinite(out0[k])) << k;
        ASSERT_TRUE(std::isfinite(out1[k])) << k;
    }
}

TEST(Tidebloom, BlocksOfAnySizeMatchThePerSampleModel) {
    std::vector<double> in0, in1;
    MakeMusic(44100 * 4, in0, in1);
    struct Setting {
        const char *depth, *vol, *time, *sens;
    };
    const Setting settings[] = {{"0.75", "1", "0.5", "0.7"},
                                {"1", "2", "0.2", "1"},
                                {"0.5", "0.3", "0", "0.5"},
                                {"0.05", "1", "0.4", "0.9"},
                                {"0", "1", "0.5", "0.7"}};
    for (const Setting& s : settings) {
        SwellModel model;
        model.depthParam = std::atof(s.depth);
        model.vol = std::atof(s.vol);
        model.time = std::atof(s.time);
        model.sensitivity = std::atof(s.sens);
        std::vector<double> want0, want1;
        RunModel(model, in0, in1, want0, want1);
        for (int block : {1, 7, 512, 1500, 2000}) {
            EffectInstance fx;
            fx.SetPlain(kDepth, s.depth);
            fx.SetPlain(kVol, s.vol);
            fx.SetPlain(kTime, s.time);
            fx.SetPlain(kSensitivity, s.sens);
            std::vector<double> out0, out1;
            fx.Process(in0, in1, out0, out1, block);
            EXPECT_EQ(FirstDifference(out0, want0), -1) << "depth " << s.depth << " block " << block;
            EXPECT_EQ(FirstDifference(out1, want1), -1) << "depth " << s.depth << " block " << block;
        }
    }
}

TEST(Tidebloom, AttackStartsOnTheSampleThatTriggeredIt) {
    // Each onset's gain curve reaches 0, the attack's first sample, exactly when the triggering
    // input sample leaves the 1362-sample delay.
    std::vector<double> in0, in1;
    MakeMusic(44100 * 4, in0, in1);
    EffectInstance fx;
    std::vector<double> out0, out1;
    fx.Process(in0, in1, out0, out1, 512);
    SwellModel model;
    const double rest = 1.0 - model.Depth();
    int onsets = 0;
    for (size_t k = 0; k + 1362 < in0.size(); ++k) {
        if (!model.Detect((in0[k] + in1[k]) * 0.5)) continue;
        ++onsets;
        EXPECT_EQ(out0[k + 1362], (1.0 * in0[k]) * (model.Depth() * 0.0 + rest)) << k;
        EXPECT_EQ(out1[k + 1362], (1.0 * in1[k]) * (model.Depth() * 0.0 + rest)) << k;
    }
    EXPECT_GE(onsets, 5);
}

TEST(Tidebloom, DepthZeroVolTwoAndStartOfDelay) {
    std::vector<double> in0, in1;
    MakeMusic(44100 * 2, in0, in1);
    {
        EffectInstance fx;
        fx.SetPlain(kDepth, "0");
        fx.SetPlain(kVol, "0.5");
        std::vector<double> out0, out1;
        fx.Process(in0, in1, out0, out1, 333);
        for (size_t k = 0; k < in0.size(); ++k) {
            ASSERT_EQ(out0[k], 0.5 * in0[k]) << k;
            ASSERT_EQ(out1[k], 0.5 * in1[k]) << k;
        }
    }
    std::vector<double> one0, one1, two0, two1;
    {
        EffectInstance fx;
        fx.SetPlain(kDepth, "1");
        fx.Process(in0, in1, one0, one1, 512);
        for (int k = 0; k < 1500; ++k) ASSERT_EQ(one0[k], 0.0) << k;
        EXPECT_NE(FirstDifference(one0, std::vector<double>(one0.size(), 0.0)), -1);
    }
    {
        EffectInstance fx;
        fx.SetPlain(kDepth, "1");
        fx.SetPlain(kVol, "2");
        fx.Process(in0, in1, two0, two1, 512);
    }
    for (size_t k = 0; k < one0.size(); ++k) {
        ASSERT_EQ(two0[k], 2.0 * one0[k]) << k;
        ASSERT_EQ(two1[k], 2.0 * one1[k]) << k;
    }
}

TEST(Tidebloom, SwitchingAndAutomationBetweenBlocksFollowTheModel) {
    // OnOff goes off and on again (switched off: exact pass-through, delay lines kept, gain curve
    // running on); Depth, Time and Vol move every few blocks.
    std::vector<double> in0, in1;
    MakeMusic(44100 * 3, in0, in1);
    const char* depths[] = {"0.75", "0.3", "1", "0.02"};
    const char* times[] = {"0.5", "0.1", "0.25"};
    const char* vols[] = {"1", "0.7", "1.9"};
    EffectInstance fx;
    SwellModel model;
    std::vector<double> out0(in0.size()), out1(in1.size());
    const int block = 441;
    fx.Dispatch(effSetBlockSize, 0, block);
    for (size_t done = 0; done < in0.size(); done += block) {
        const size_t b = done / block;
        const bool on = b % 40 < 25; // on, then off, then on again ...
        fx.SetPlain(kOnOff, on ? "1" : "0");
        model.on = on;
        if (b % 7 == 3) {
            fx.SetPlain(kDepth, depths[b % 4]);
            fx.SetPlain(kTime, times[b % 3]);
            fx.SetPlain(kVol, vols[b % 3]);
            model.depthParam = std::atof(depths[b % 4]);
            model.time = std::atof(times[b % 3]);
            model.vol = std::atof(vols[b % 3]);
        }
        double* ins[2] = {in0.data() + done, in1.data() + done};
        double* outs[2] = {out0.data() + done, out1.data() + done};
        fx.Fx()->processDoubleReplacing(fx.Fx(), ins, outs, block);
        for (size_t k = done; k < done + block; ++k) {
            double a, b;
            model.Frame(in0[k], in1[k], a, b);
            ASSERT_EQ(out0[k], a) << k;
            ASSERT_EQ(out1[k], b) << k;
            if (!on) {
                ASSERT_EQ(out0[k], in0[k]);
                ASSERT_EQ(out1[k], in1[k]);
            }
        }
    }
    // The envelope followed the music during the off stretches too.
    EXPECT_EQ(fx.Effect().GetEnvelope().GetLevel(), model.level);
}

TEST(Tidebloom, InPlaceBuffersGiveTheSameResult) {
    std::vector<double> in0, in1;
    MakeMusic(44100 * 2, in0, in1);
    EffectInstance separate, inPlace;
    std::vector<double> want0, want1;
    separate.Process(in0, in1, want0, want1, 512);
    std::vector<double> buf0 = in0, buf1 = in1;
    for (size_t done = 0; done < buf0.size(); done += 512) {
        const int len = static_cast<int>(std::min<size_t>(512, buf0.size() - done));
        double* io[2] = {buf0.data() + done, buf1.data() + done};
        inPlace.Fx()->processDoubleReplacing(inPlace.Fx(), io, io, len);
    }
    EXPECT_EQ(FirstDifference(buf0, want0), -1);
    EXPECT_EQ(FirstDifference(buf1, want1), -1);
    // Swapped channels: output 0 writes over input 1.
    EffectInstance swapped;
    std::vector<double> s0 = in0, s1 = in1;
    for (size_t done = 0; done < s0.size(); done += 512) {
        const int len = static_cast<int>(std::min<size_t>(512, s0.size() - done));
        double* ins[2] = {s0.data() + done, s1.data() + done};
        double* outs[2] = {s1.data() + done, s0.data() + done};
        swapped.Fx()->processDoubleReplacing(swapped.Fx(), ins, outs, len);
    }
    EXPECT_EQ(FirstDifference(s1, want0), -1);
    EXPECT_EQ(FirstDifference(s0, want1), -1);
}

TEST(Tidebloom, EmptyBlockWritesNothing) {
    EffectInstance fx;
    double a[4] = {1, 2, 3, 4}, b[4] = {5, 6, 7, 8}, c[4] = {9, 9, 9, 9}, d[4] = {9, 9, 9, 9};
    double* ins[2] = {a, b};
    double* outs[2] = {c, d};
    fx.Effect().ProcessDoubleReplacing(ins, outs, 0);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(c[k] + d[k], 18.0);
    EXPECT_EQ(fx.Effect().GetNoteDetector().GetRiseCounter(), 0);
}

TEST(Tidebloom, NonFiniteInputIsHeardOnceAndDetectionGoesOn) {
    std::vector<double> in0, in1;
    MakeMusic(44100 * 4, in0, in1);
    const size_t bad = 30000;
    for (double v : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        std::vector<double> a0 = in0, a1 = in1, z0 = in0, z1 = in1;
        a0[bad] = v;
        z0[bad] = -in1[bad];
        // The detector takes the bad sample as silence: it detects like the run whose mix is 0 there.
        EffectInstance withBad, withZero;
        std::vector<double> o0, o1, w0, w1;
        withBad.Process(a0, a1, o0, o1, 512);
        withZero.Process(z0, z1, w0, w1, 512);
        for (size_t k = 0; k < o0.size(); ++k) {
            if (k == bad + 1362) {
                EXPECT_FALSE(std::isfinite(o0[k]));
                continue;
            }
            ASSERT_EQ(o0[k], w0[k]) << k;
            ASSERT_EQ(o1[k], w1[k]) << k;
        }
        EXPECT_EQ(withBad.Effect().GetNoteDetector().GetEnvLevel(),
                  withZero.Effect().GetNoteDetector().GetEnvLevel());
        // And the music after it still has notes to detect.
        SwellModel model;
        int later = 0;
        for (size_t k = 0; k < z0.size(); ++k) {
            double x, y;
            model.Frame(z0[k], z1[k], x, y);
            later += model.lastOnset && k > bad;
        }
        EXPECT_GE(later, 3);
    }
}

TEST(Tidebloom, LongSilenceAfterLoudNotesChangesNoOutputAndKeepsHostFloatingPointState) {
    // Loud notes, 25 s of silence (the detector's filters decay through the subnormal range), notes.
    const int n = 44100 * 27, silenceEnd = n - 44100;
    std::vector<double> in0(static_cast<size_t>(n), 0.0), in1;
    std::vector<double> m0, m1;
    MakeMusic(44100, m0, m1, 5);
    for (int k = 0; k < 44100; ++k) in0[static_cast<size_t>(k)] = 2.0 * m0[static_cast<size_t>(k)];
    for (int k = 0; k < 44100; ++k) in0[static_cast<size_t>(silenceEnd + k)] = m1[static_cast<size_t>(k)];
    in1 = in0;

    // The plain model reaches subnormal filter states during the silence.
    SwellModel model;
    std::vector<double> want0(in0.size()), want1(in0.size());
    int subnormalFrames = 0, onsetsAfter = 0;
    for (size_t k = 0; k < in0.size(); ++k) {
        model.Frame(in0[k], in1[k], want0[k], want1[k]);
        subnormalFrames += std::fpclassify(model.detector.env.y1) == FP_SUBNORMAL;
        onsetsAfter += model.lastOnset && k >= static_cast<size_t>(silenceEnd);
    }
    ASSERT_GT(subnormalFrames, 44100);
    ASSERT_GE(onsetsAfter, 1);

    EffectInstance fx;
    const unsigned int csr = _mm_getcsr() & ~0x3Fu; // control bits, not sticky flags
    std::vector<double> head0(in0.begin(), in0.begin() + silenceEnd),
        tail0(in0.begin() + silenceEnd, in0.end());
    std::vector<double> out0, out1, end0, end1;
    fx.Process(head0, head0, out0, out1, 512);
    EXPECT_EQ(_mm_getcsr() & ~0x3Fu, csr);
    // The effect's filters hold no subnormal values.
    const NoteDetector& d = fx.Effect().GetNoteDetector();
    for (double v : {d.GetEnvFilter().GetY1(), d.GetEnvFilter().GetY2(), d.GetSlopeFilter().GetY1(),
                     d.GetSlopeFilter().GetY2(), d.GetSlope(), d.GetPrevSlope()})
        EXPECT_NE(std::fpclassify(v), FP_SUBNORMAL) << v;
    fx.Process(tail0, tail0, end0, end1, 512);
    out0.insert(out0.end(), end0.begin(), end0.end());
    out1.insert(out1.end(), end1.begin(), end1.end());
    // Yet every output sample is the model's.
    EXPECT_EQ(FirstDifference(out0, want0), -1);
    EXPECT_EQ(FirstDifference(out1, want1), -1);
}

namespace {

// For the life of a scope the host thread flushes subnormals (FTZ and DAZ) or does not.
class HostFloatMode {
public:
    explicit HostFloatMode(bool flush) : mSaved(_mm_getcsr()) {
        _mm_setcsr(flush ? (mSaved | 0x8040u) : (mSaved & ~0x8040u));
    }
    ~HostFloatMode() { _mm_setcsr(mSaved); }
    HostFloatMode(const HostFloatMode&) = delete;
    HostFloatMode& operator=(const HostFloatMode&) = delete;

private:
    unsigned mSaved;
};

// Block lengths 0 to 9, and 0 to 9 past `around` (where the delay line's part of a block ends).
int ShortBlockLength(size_t i, int around) {
    const int k = static_cast<int>(i % 20);
    return k < 10 ? k : around + k - 10;
}

} // namespace

TEST(Tidebloom, ShortBlocksAtEverySplitMatchThePerSampleModel) {
    // Every length of the gain stage's wide part and tail, from the delay line and from the block,
    // in host buffers of exactly the block's length (inputs) or guarded on both sides (outputs, at
    // every alignment), with the host flushing subnormals or not.
    std::vector<double> in0, in1;
    MakeMusic(44100 + 22050, in0, in1, 3);
    struct Setting {
        const char *depth, *vol;
        int delay;
    };
    for (const Setting& s :
         {Setting{"0", "1.7", 0}, Setting{"0.001", "0.3", 150}, Setting{"0.75", "1", 1362}}) {
        SwellModel model;
        model.depthParam = std::atof(s.depth);
        model.vol = std::atof(s.vol);
        ASSERT_EQ(model.Delay(), s.delay);
        std::vector<double> want0, want1;
        RunModel(model, in0, in1, want0, want1);
        for (bool flush : {false, true}) {
            SCOPED_TRACE(testing::Message() << "depth " << s.depth << " vol " << s.vol << " flush " << flush);
            HostFloatMode mode(flush);
            EffectInstance fx;
            fx.SetPlain(kDepth, s.depth);
            fx.SetPlain(kVol, s.vol);
            fx.Dispatch(effSetBlockSize, 0, s.delay + 10);
            std::vector<double> got0(in0.size(), -7.0), got1(in1.size(), -7.0);
            size_t done = 0;
            for (size_t i = 0; done < in0.size(); ++i) {
                const size_t len =
                    std::min(in0.size() - done, static_cast<size_t>(ShortBlockLength(i, s.delay)));
                const auto from = static_cast<ptrdiff_t>(done), to = static_cast<ptrdiff_t>(done + len);
                std::vector<double> a(in0.begin() + from, in0.begin() + to),
                    b(in1.begin() + from, in1.begin() + to);
                const size_t at = 1 + i % 4;
                std::vector<double> o0(len + 8, -7.0), o1(len + 8, -7.0);
                double* ins[2] = {a.data(), b.data()};
                double* outs[2] = {o0.data() + at, o1.data() + at};
                fx.Fx()->processDoubleReplacing(fx.Fx(), ins, outs, static_cast<int32_t>(len));
                for (size_t k = 0; k < o0.size(); ++k) {
                    if (k >= at && k < at + len) continue;
                    ASSERT_EQ(o0[k], -7.0) << "written outside the block at " << done << " + " << k;
                    ASSERT_EQ(o1[k], -7.0) << "written outside the block at " << done << " + " << k;
                }
                std::copy(o0.begin() + static_cast<ptrdiff_t>(at),
                          o0.begin() + static_cast<ptrdiff_t>(at + len), got0.begin() + from);
                std::copy(o1.begin() + static_cast<ptrdiff_t>(at),
                          o1.begin() + static_cast<ptrdiff_t>(at + len), got1.begin() + from);
                done += len;
            }
            EXPECT_EQ(FirstDifference(got0, want0), -1);
            EXPECT_EQ(FirstDifference(got1, want1), -1);
        }
    }
}

TEST(Tidebloom, ShortSinglePrecisionBlocksMatchThePerSampleModel) {
    // The single-precision callbacks convert in and out around the same processing: each output is
    // the model's sample rounded to float (added to what the host left, when accumulating).
    std::vector<double> d0, d1;
    MakeMusic(44100, d0, d1, 4);
    std::vector<float> in0(d0.begin(), d0.end()), in1(d1.begin(), d1.end());
    SwellModel model;
    std::vector<double> want0, want1;
    RunModel(model, std::vector<double>(in0.begin(), in0.end()), std::vector<double>(in1.begin(), in1.end()),
             want0, want1);
    for (bool accumulate : {false, true}) {
        for (bool flush : {false, true}) {
            SCOPED_TRACE(testing::Message() << "accumulate " << accumulate << " flush " << flush);
            HostFloatMode mode(flush);
            EffectInstance fx;
            fx.Dispatch(effSetBlockSize, 0, 1400);
            size_t done = 0;
            for (size_t i = 0; done < in0.size(); ++i) {
                const size_t len =
                    std::min(in0.size() - done, static_cast<size_t>(ShortBlockLength(i, 1362)));
                const auto from = static_cast<ptrdiff_t>(done), to = static_cast<ptrdiff_t>(done + len);
                std::vector<float> a(in0.begin() + from, in0.begin() + to),
                    b(in1.begin() + from, in1.begin() + to);
                const size_t at = 1 + i % 8;
                std::vector<float> o0(len + 16, 0.25f), o1(len + 16, -0.5f);
                float* ins[2] = {a.data(), b.data()};
                float* outs[2] = {o0.data() + at, o1.data() + at};
                if (accumulate) {
                    fx.Fx()->process(fx.Fx(), ins, outs, static_cast<int32_t>(len));
                } else {
                    fx.Fx()->processReplacing(fx.Fx(), ins, outs, static_cast<int32_t>(len));
                }
                for (size_t k = 0; k < o0.size(); ++k) {
                    const bool inside = k >= at && k < at + len;
                    const size_t j = done + k - at;
                    const float w0 =
                        !inside ? 0.25f : (accumulate ? 0.25f : 0.0f) + static_cast<float>(want0[j]);
                    const float w1 =
                        !inside ? -0.5f : (accumulate ? -0.5f : 0.0f) + static_cast<float>(want1[j]);
                    ASSERT_EQ(o0[k], w0) << "block at " << done << " + " << k;
                    ASSERT_EQ(o1[k], w1) << "block at " << done << " + " << k;
                }
                done += len;
            }
        }
    }
}

TEST(Tidebloom, InstancesCreatedAndProcessingOnSeveralThreadsAtOnceKeepToThemselves) {
    // Each thread creates its own instance and processes its own music in its own block sizes, all
    // at the same time; every output is what that instance gives on its own.
    constexpr int kThreads = 4;
    std::vector<double> in0[kThreads], in1[kThreads], want0[kThreads], want1[kThreads];
    for (int t = 0; t < kThreads; ++t) {
        MakeMusic(44100, in0[t], in1[t], 10u + static_cast<uint32_t>(t));
        SwellModel model;
        RunModel(model, in0[t], in1[t], want0[t], want1[t]);
    }
    std::vector<double> got0[kThreads], got1[kThreads];
    std::atomic<int> waiting{kThreads};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            --waiting;
            while (waiting.load() > 0) std::this_thread::yield();
            EffectInstance fx;
            fx.Process(in0[t], in1[t], got0[t], got1[t], 1 + 97 * t);
        });
    }
    for (std::thread& t : threads) t.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(FirstDifference(got0[t], want0[t]), -1) << t;
        EXPECT_EQ(FirstDifference(got1[t], want1[t]), -1) << t;
    }
}
