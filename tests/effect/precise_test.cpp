// Tidebloom Precise as a host drives it: its identity beside Tidebloom's parameters and programs, chunks
// that load in either effect, every note of the demo phrase swelling in (the first too) with the attack
// on the note's first sample as it leaves the delay at every rate, and bad input as Tidebloom takes it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "host/HostDemoPhrase.h"
#include "tests/effect/EffectFixture.h"
#include "tests/effect/RatePhrase.h"

namespace {

std::string Text(EffectInstance& fx, int32_t opcode, int index = 0) {
    char text[256] = "";
    fx.Dispatch(opcode, index, 0, text);
    return text;
}

// Where each attack starts: with the left input a constant 2^-20, the right input twice the music and
// Vol 1, the left output is that constant times the gain once the constant has passed the delay, and
// the gain is at its floor 1 - depth only where the attack starts (from 0), on the frame the detected
// note is heard.
std::vector<long> AttackStarts(EffectInstance& fx, const std::vector<double>& music) {
    constexpr double kMarker = 0x1p-20;
    std::vector<double> left(music.size(), kMarker), right(music.size()), out0, out1;
    for (size_t k = 0; k < music.size(); ++k) right[k] = 2.0 * music[k];
    fx.Process(left, right, out0, out1, 512);
    const double depth = fx.Effect().GetDepth();
    const double floor = kMarker * (depth * 0.0 + (1.0 - depth));
    std::vector<long> starts;
    for (size_t k = static_cast<size_t>(fx.Effect().GetDelaySamples()) + 1; k < out0.size(); ++k)
        if (out0[k] == floor && out0[k - 1] > floor) starts.push_back(static_cast<long>(k));
    return starts;
}

} // namespace

TEST(TidebloomPrecise, ItsOwnIdentityWithTidebloomsParametersAndPrograms) {
    EffectInstance precise(0.0f, true), tidebloom;
    const AEffect* e = precise.Fx();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->uniqueID, 0x54626C70); // 'Tblp'
    EXPECT_NE(e->uniqueID, tidebloom.Fx()->uniqueID);
    EXPECT_EQ(Text(precise, effGetEffectName), "Tidebloom Precise");
    EXPECT_EQ(Text(precise, effGetProductString), "Tidebloom Precise");
    for (int32_t AEffect::*field : {&AEffect::numParams, &AEffect::numPrograms, &AEffect::numInputs,
                                    &AEffect::numOutputs, &AEffect::flags, &AEffect::version})
        EXPECT_EQ(e->*field, tidebloom.Fx()->*field);
    for (int i = 0; i < kNumParams; ++i) {
        EXPECT_EQ(Text(precise, effGetParamName, i), Text(tidebloom, effGetParamName, i));
        const IParam* p = precise.Effect().GetParam(i);
        const IParam* q = tidebloom.Effect().GetParam(i);
        EXPECT_EQ(p->GetMin(), q->GetMin());
        EXPECT_EQ(p->GetMax(), q->GetMax());
        EXPECT_EQ(p->Value(), q->Value()); // the defaults
        EXPECT_EQ(p->GetStep(), q->GetStep());
        EXPECT_EQ(p->Type(), q->Type());
    }
    for (int program = 0; program < 6; ++program) {
        precise.Dispatch(effSetProgram, 0, program);
        tidebloom.Dispatch(effSetProgram, 0, program);
        EXPECT_EQ(Text(precise, effGetProgramName), Text(tidebloom, effGetProgramName));
        for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(precise.Plain(i), tidebloom.Plain(i)) << program;
    }
}

TEST(TidebloomPrecise, ChunksOfEitherEffectLoadInTheOther) {
    // A program (index 1) or the bank (index 0), saved with settings of its own, loads into the other
    // effect exactly as into a fresh instance of its own: the same parameters, programs and chunk.
    auto chunkOf = [](EffectInstance& fx, int index) {
        void* data = nullptr;
        const intptr_t size = fx.Dispatch(effGetChunk, index, 0, &data);
        return std::vector<char>(static_cast<char*>(data), static_cast<char*>(data) + size);
    };
    for (const bool fromPrecise : {false, true}) {
        for (const int index : {1, 0}) {
            SCOPED_TRACE(testing::Message()
                         << (fromPrecise ? "from Precise" : "from Tidebloom") << ", index " << index);
            EffectInstance from(0.0f, fromPrecise), own(0.0f, fromPrecise), other(0.0f, !fromPrecise);
            from.Dispatch(effSetProgram, 0, 2);
            from.SetPlain(kSensitivity, "0.123");
            from.SetPlain(kVol, "1.5");
            std::vector<char> chunk = chunkOf(from, index);
            ASSERT_FALSE(chunk.empty());
            for (EffectInstance* to : {&own, &other})
                EXPECT_EQ(to->Dispatch(effSetChunk, index, static_cast<intptr_t>(chunk.size()), chunk.data()),
                          1);
            // A program chunk carries the current settings (a bank the programs as stored).
            if (index == 1) {
                EXPECT_EQ(other.Plain(kSensitivity), 0.123);
            }
            for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(other.Plain(i), own.Plain(i)) << i;
            for (int p = 0; p < 6; ++p)
                EXPECT_EQ(Text(other, effGetProgramNameIndexed, p), Text(own, effGetProgramNameIndexed, p));
            EXPECT_EQ(chunkOf(other, index), chunkOf(own, index));
        }
    }
}

TEST(TidebloomPrecise, EveryNoteOfThePhraseSwellsInOnItsFirstSampleAtEveryRate) {
    // The demo phrase's sixteen notes, the first and the soft ones under louder decays too: each
    // attack starts within 10 ms of the moment its note leaves the delay, which is the latency reported.
    for (const int rate : {8000, 22050, 44100, 48000, 96000, 192000, 768000}) {
        SCOPED_TRACE(testing::Message() << rate << " Hz");
        EffectInstance fx(static_cast<float>(rate), true);
        fx.SetPlain(kDepth, "1");
        const Tidebloom& t = fx.Effect();
        const int delay = t.GetDelaySamples();
        EXPECT_EQ(fx.Fx()->initialDelay, delay);
        EXPECT_EQ(delay, static_cast<int>(1500.0 * (rate / 44100.0)));
        const std::vector<long> starts = AttackStarts(fx, PhraseAt(rate, 9.5));
        const auto& notes = HostDemoNotes();
        ASSERT_EQ(starts.size(), notes.size());
        for (size_t n = 0; n < notes.size(); ++n)
            EXPECT_NEAR((starts[n] - delay) / static_cast<double>(rate), notes[n].start, 0.010)
                << "note " << n;
    }
}

TEST(TidebloomPrecise, TheDelayCoversTheDetectorsLagAtAnyDepth) {
    // Depth sets the delay as for Tidebloom, but never below the detector's lag plus the 3 ms fade (at
    // Depth 0 the gain is constant and there is no delay); the latency is the delay applied.
    struct Case {
        const char* depth;
        int delay; // at 44.1 kHz: the lag is 781 samples, the fade 132
    };
    for (const Case& c :
         {Case{"0", 0}, Case{"0.001", 913}, Case{"0.2", 913}, Case{"0.5", 1190}, Case{"1", 1500}}) {
        SCOPED_TRACE(c.depth);
        EffectInstance fx(0.0f, true);
        fx.SetPlain(kDepth, c.depth);
        EXPECT_EQ(fx.Effect().GetDelaySamples(), c.delay);
        EXPECT_EQ(fx.Fx()->initialDelay, c.delay);
        const std::vector<long> starts = AttackStarts(fx, PhraseAt(44100, 1.0));
        if (c.delay == 0) continue;
        ASSERT_EQ(starts.size(), 2u);
        EXPECT_NEAR(starts[0] - c.delay, 0.25 * 44100, 441);
    }
}

TEST(TidebloomPrecise, SilenceStaysSilentAndABadSampleIsHeardOnceAndDetectionGoesOn) {
    const std::vector<double>& music = PhraseAt(44100, 3.0);
    for (const double bad :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        // A second of silence, a bad sample, then the phrase's first notes.
        std::vector<double> in(44100 + music.size(), 0.0);
        std::copy(music.begin(), music.end(), in.begin() + 44100);
        in[1000] = bad;
        EffectInstance fx(0.0f, true);
        std::vector<double> out0, out1;
        fx.Process(in, in, out0, out1, 512);
        const size_t delay = static_cast<size_t>(fx.Effect().GetDelaySamples());
        for (size_t k = 0; k < 44100; ++k) {
            if (k == 1000 + delay) {
                EXPECT_FALSE(std::isfinite(out0[k]));
                continue;
            }
            ASSERT_EQ(out0[k], 0.0) << k;
        }
        // The bad sample counts as silence: from the music on, the output is that of a clean run.
        EffectInstance clean(0.0f, true);
        std::vector<double> want0, want1;
        in[1000] = 0.0;
        clean.Process(in, in, want0, want1, 512);
        for (size_t k = 44100; k < out0.size(); ++k) ASSERT_EQ(out0[k], want0[k]) << k;
        // And notes are still found: the five of the phrase's first three seconds, once more.
        const std::vector<long> starts = AttackStarts(fx, music);
        EXPECT_EQ(starts.size(), 5u);
    }
}
