// The shipped LV2 plug-in loaded from its bundle next to the shipped VST 2 plug-in, both in this
// process: the same settings give bit for bit the same output and latency, its state holds the bytes
// of the VST 2 program chunk, and it refuses sample rates it cannot serve. The description both are
// built from is checked against literal values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "TidebloomDescription.h"
#include "tests/support/lv2/LV2TestHost.h"
#include "tests/support/vst2/Conformance.h"

namespace {

constexpr int kVstBlock = 512;
constexpr int kLv2Block = 384; // another size, so the split into blocks cannot matter
constexpr int kFrames = 1536 * 60;

// Plucked tones of varied loudness and spacing, different in the two channels.
void Music(std::vector<float>& l, std::vector<float>& r) {
    l.assign(kFrames, 0.0f);
    r.assign(kFrames, 0.0f);
    for (int start = 700, n = 0; start < kFrames; start += 7000 + 2300 * (n % 5), ++n) {
        const double amp = 0.15 + 0.15 * (n % 4), freq = 110.0 * (1 + n % 6);
        for (int i = 0; start + i < kFrames; ++i) {
            const double t = i / 44100.0, a = amp * std::exp(-5.0 * t) * std::min(1.0, i / 30.0);
            l[static_cast<size_t>(start + i)] += static_cast<float>(a * std::sin(2 * M_PI * freq * t));
            r[static_cast<size_t>(start + i)] +=
                static_cast<float>(0.7 * a * std::sin(2 * M_PI * freq * 1.5 * t));
        }
    }
}

// A setting applied to both plug-ins before the frame `at`.
struct Change {
    int at;
    std::function<void(TestHost&)> vst;
    std::function<void(LV2TestHost&)> lv2;
};

struct Renders {
    std::vector<float> vst0, vst1, lv20, lv21;
    std::vector<int> vstLatency, lv2Latency; // after each stretch between changes
};

Renders RenderBoth(const std::vector<Change>& changes, double rate = 44100.0) {
    std::vector<float> l, r;
    Music(l, r);
    Renders out;
    out.vst0.assign(kFrames, 0.0f);
    out.vst1.assign(kFrames, 0.0f);
    out.lv20 = out.vst0;
    out.lv21 = out.vst0;
    PluginLibrary vstLib(TIDEBLOOM_SO_PATH);
    LV2Library lv2Lib(TIDEBLOOM_LV2_SO_PATH);
    TestHost vst;
    LV2TestHost lv2;
    EXPECT_NE(vst.Load(vstLib.PluginMain()), nullptr) << vstLib.Error();
    EXPECT_TRUE(lv2.Instantiate(lv2Lib.Descriptor(), rate, kLv2Block)) << lv2Lib.Error();
    if (!vst.Effect() || !lv2.Handle()) return out;
    vst.Open(static_cast<float>(rate), kVstBlock);
    // The host sets every control from the plug-in's description.
    for (int i = 0; i < kNumParams; ++i)
        lv2.SetControl(i, static_cast<float>(kTidebloomDescription.mParams[i].mDefault));
    lv2.Activate();
    int done = 0;
    auto runTo = [&](int end) {
        for (int k = done; k < end; k += kVstBlock) {
            const int n = std::min(kVstBlock, end - k);
            float* in[2] = {l.data() + k, r.data() + k};
            float* o[2] = {out.vst0.data() + k, out.vst1.data() + k};
            vst.ProcessReplacing(in, o, n);
        }
        for (int k = done; k < end; k += kLv2Block) {
            const int n = std::min(kLv2Block, end - k);
            std::copy_n(l.data() + k, n, lv2.In(0));
            std::copy_n(r.data() + k, n, lv2.In(1));
            lv2.Run(static_cast<uint32_t>(n));
            std::copy_n(lv2.Out(0), n, out.lv20.data() + k);
            std::copy_n(lv2.Out(1), n, out.lv21.data() + k);
        }
        lv2.Run(0); // the latency port of the latest settings, even before any audio
        done = end;
        out.vstLatency.push_back(vst.Effect()->initialDelay);
        out.lv2Latency.push_back(static_cast<int>(lv2.Latency()));
    };
    for (const Change& c : changes) {
        runTo(c.at);
        c.vst(vst);
        c.lv2(lv2);
    }
    runTo(kFrames);
    return out;
}

void ExpectSame(const Renders& r, const char* what) {
    EXPECT_EQ(r.vstLatency, r.lv2Latency) << what;
    for (size_t k = 0; k < r.vst0.size(); ++k) {
        ASSERT_EQ(std::memcmp(&r.vst0[k], &r.lv20[k], sizeof(float)), 0) << what << " frame " << k;
        ASSERT_EQ(std::memcmp(&r.vst1[k], &r.lv21[k], sizeof(float)), 0) << what << " frame " << k;
    }
}

// The LV2 state of a program: framework header and the five values.
LV2TestHost::State ProgramState(LV2TestHost& host, const double* values) {
    std::vector<uint8_t> bytes = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
    for (int i = 0; i < kNumParams; ++i) AppendLE(&bytes, values[i]);
    LV2TestHost::State state;
    state[host.Map("urn:vendrilax:tidebloom#state")] = {
        bytes, host.Map("http://lv2plug.in/ns/ext/atom#Chunk"), LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE};
    return state;
}

const double kArpeggio[kNumParams] = {0.676, 0.433, 1.0, 1.0, 1.0};

} // namespace

TEST(TidebloomLV2, TheDescriptionHoldsTheEffectsIdentity) {
    const IEffectDescription& d = kTidebloomDescription;
    EXPECT_STREQ(d.mURI, "urn:vendrilax:tidebloom");
    EXPECT_STREQ(d.mLV2Class, "EnvelopePlugin");
    EXPECT_STREQ(d.mChannelIO, "1-1 2-2");
    EXPECT_EQ(d.mMinSampleRate, 8000.0);
    EXPECT_EQ(d.mMaxSampleRate, 768000.0);
    const char* symbols[kNumParams] = {"sensitivity", "time", "depth", "vol", "onoff"};
    ASSERT_EQ(d.NParams(), kNumParams);
    for (int i = 0; i < kNumParams; ++i) EXPECT_STREQ(d.mParams[i].mSymbol, symbols[i]);
    EXPECT_EQ(d.mNumPresets, 6);
    ASSERT_EQ(d.mPresets.size(), 6u);
    EXPECT_STREQ(d.mPresets[3].mName, "Arpeggio");
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_EQ(d.mPresets[3].mValues[static_cast<size_t>(i)], kArpeggio[i]);
}

TEST(TidebloomLV2, OneDescriptorThatRefusesRatesItCannotServe) {
    LV2Library lib(TIDEBLOOM_LV2_SO_PATH);
    ASSERT_NE(lib.Descriptor(0), nullptr) << lib.Error();
    EXPECT_STREQ(lib.Descriptor(0)->URI, "urn:vendrilax:tidebloom");
    EXPECT_EQ(lib.Descriptor(1), nullptr);
    for (double rate : {0.0, -48000.0, 7999.0, 768001.0, static_cast<double>(NAN)}) {
        LV2TestHost host;
        EXPECT_FALSE(host.Instantiate(lib.Descriptor(), rate)) << rate;
    }
    for (double rate : {8000.0, 48000.0, 768000.0}) {
        LV2TestHost host;
        ASSERT_TRUE(host.Instantiate(lib.Descriptor(), rate)) << rate;
        for (int i = 0; i < kNumParams; ++i)
            host.SetControl(i, static_cast<float>(kTidebloomDescription.mParams[i].mDefault));
        host.Activate();
        host.Run(0);
        // The default Depth's delay (1362 samples at 44.1 kHz) keeps its length in seconds.
        EXPECT_EQ(host.Latency(), std::floor(1500.0 * std::cbrt(0.75) * rate / 44100.0)) << rate;
    }
}

// The latency port's range in the Turtle is the description's longest delay at the highest rate served:
// the delay the plug-in reports reaches it (Depth 1) and never goes past it, at every rate.
TEST(TidebloomLV2, TheLatencyStaysWithinTheDescribedLongest) {
    const IEffectDescription& d = kTidebloomDescription;
    EXPECT_EQ(d.MaxLatencyAt(44100.0), 1500);
    LV2Library lib(TIDEBLOOM_LV2_SO_PATH);
    ASSERT_NE(lib.Descriptor(0), nullptr) << lib.Error();
    for (double rate : {8000.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0, 768000.0}) {
        EXPECT_LE(d.MaxLatencyAt(rate), d.MaxLatencyAt(d.mMaxSampleRate)) << rate;
        for (float depth : {0.0f, 0.3f, 0.75f, 1.0f}) {
            LV2TestHost host;
            ASSERT_TRUE(host.Instantiate(lib.Descriptor(), rate)) << rate;
            for (int i = 0; i < kNumParams; ++i)
                host.SetControl(i, static_cast<float>(d.mParams[i].mDefault));
            host.SetControl(kDepth, depth);
            host.Activate();
            host.Run(0);
            if (depth == 1.0f)
                EXPECT_EQ(host.Latency(), d.MaxLatencyAt(rate)) << rate;
            else
                EXPECT_LT(host.Latency(), d.MaxLatencyAt(rate)) << rate << " " << depth;
        }
    }
}

TEST(TidebloomLV2, SameOutputAndLatencyAsTheVst2PluginForTheSameSettings) {
    auto none = [](auto&) {};
    ExpectSame(RenderBoth({}), "Init");
    ExpectSame(RenderBoth({}, 48000.0), "Init at 48 kHz");
    ExpectSame(RenderBoth({{0, [](TestHost& h) { h.Dispatch(effSetProgram, 0, 5); },
                            [](LV2TestHost& h) {
                                for (int i = 0; i < kNumParams; ++i)
                                    h.SetControl(
                                        i, static_cast<float>(kTidebloomDescription.mPresets[5].mValues[i]));
                            }}},
                          96000.0),
               "Before Overdrive at 96 kHz");
    // The program through state (exact values) and the same values through the controls (single
    // precision, as automation sends them to either plug-in).
    ExpectSame(RenderBoth({{0, [](TestHost& h) { h.Dispatch(effSetProgram, 0, 3); },
                            [](LV2TestHost& h) {
                                EXPECT_EQ(h.Restore(ProgramState(h, kArpeggio)), LV2_STATE_SUCCESS);
                                for (int i = 0; i < kNumParams; ++i)
                                    h.SetControl(i, static_cast<float>(kArpeggio[i]));
                            }}}),
               "Arpeggio");
    ExpectSame(RenderBoth({{0,
                            [](TestHost& h) {
                                for (int i = 0; i < kNumParams; ++i)
                                    h.SetParameter(
                                        i, static_cast<float>(kArpeggio[i] / (i == kVol ? 2.0 : 1.0)));
                            },
                            [](LV2TestHost& h) {
                                for (int i = 0; i < kNumParams; ++i)
                                    h.SetControl(i, static_cast<float>(kArpeggio[i]));
                            }}}),
               "Arpeggio by controls");
    ExpectSame(RenderBoth({{0, [](TestHost& h) { h.SetParameter(kOnOff, 0.0f); },
                            [](LV2TestHost& h) { h.SetControl(kOnOff, 0.0f); }}}),
               "OnOff off");
    // Depth and OnOff moved while playing, between blocks of both.
    ExpectSame(RenderBoth({{1536 * 20, [](TestHost& h) { h.SetParameter(kDepth, 0.5f); },
                            [](LV2TestHost& h) { h.SetControl(kDepth, 0.5f); }},
                           {1536 * 35, [](TestHost& h) { h.SetParameter(kOnOff, 0.0f); },
                            [](LV2TestHost& h) { h.SetControl(kOnOff, 0.0f); }},
                           {1536 * 40, [](TestHost& h) { h.SetParameter(kOnOff, 1.0f); },
                            [](LV2TestHost& h) { h.SetControl(kOnOff, 1.0f); }},
                           {1536 * 50, none, none}}),
               "Depth change");
}

TEST(TidebloomLV2, TheStateHoldsTheBytesOfTheVst2ProgramChunk) {
    PluginLibrary vstLib(TIDEBLOOM_SO_PATH);
    LV2Library lv2Lib(TIDEBLOOM_LV2_SO_PATH);
    TestHost vst;
    LV2TestHost lv2, other;
    ASSERT_NE(vst.Load(vstLib.PluginMain()), nullptr);
    ASSERT_TRUE(lv2.Instantiate(lv2Lib.Descriptor(), 44100.0));
    ASSERT_TRUE(other.Instantiate(lv2Lib.Descriptor(), 44100.0));
    vst.Open();
    vst.Dispatch(effSetProgram, 0, 3);
    vst.SetParameter(kVol, 0.625f);
    // The host restores the state and sets the controls to the same values, then moves Vol.
    ASSERT_EQ(lv2.Restore(ProgramState(lv2, kArpeggio)), LV2_STATE_SUCCESS);
    for (int i = 0; i < kNumParams; ++i) lv2.SetControl(i, static_cast<float>(kArpeggio[i]));
    lv2.SetControl(kVol, 1.25f);
    lv2.Run(0);
    LV2TestHost::State saved;
    ASSERT_EQ(lv2.Save(&saved), LV2_STATE_SUCCESS);
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved.begin()->second.mBytes, vst.GetChunk(false));
    // And it restores into another instance, which saves it again unchanged.
    ASSERT_EQ(other.Restore(saved), LV2_STATE_SUCCESS);
    LV2TestHost::State again;
    ASSERT_EQ(other.Save(&again), LV2_STATE_SUCCESS);
    EXPECT_EQ(again.begin()->second.mBytes, saved.begin()->second.mBytes);
}
