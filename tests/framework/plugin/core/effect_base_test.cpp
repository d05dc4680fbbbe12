#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "TestEffect.h"

namespace {

using testfx::TestEffect;

// Records what the processing frame hands to the effect and lets a test choose the output.
class ProbeEffect : public TestEffect {
public:
    using TestEffect::TestEffect;
    void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override {
        mInputs = inputs;
        mOutputs = outputs;
        mFrames = nFrames;
        mInputCopies.clear();
        for (int c = 0; inputs && c < NInChannels(); ++c)
            mInputCopies.emplace_back(inputs[c], inputs[c] + nFrames);
        if (mProcess)
            mProcess(inputs, outputs, nFrames);
        else
            IEffectBase::ProcessDoubleReplacing(inputs, outputs, nFrames);
    }
    double** mInputs = nullptr;
    double** mOutputs = nullptr;
    int mFrames = -1;
    std::vector<std::vector<double>> mInputCopies;
    std::function<void(double**, double**, int)> mProcess;
};

TEST(ChannelIO, ParsesEntriesAndSizesTheChannels) {
    TestEffect fx("1-1 2-2");
    ASSERT_EQ(fx.NChannelIO(), 2);
    int in = -1, out = -1;
    EXPECT_TRUE(fx.GetChannelIO(0, &in, &out));
    EXPECT_EQ(in, 1);
    EXPECT_EQ(out, 1);
    EXPECT_TRUE(fx.GetChannelIO(1, &in, &out));
    EXPECT_EQ(in, 2);
    EXPECT_EQ(out, 2);
    EXPECT_FALSE(fx.GetChannelIO(2, &in, &out));
    EXPECT_EQ(fx.NInChannels(), 2);
    EXPECT_EQ(fx.NOutChannels(), 2);
    EXPECT_EQ(fx.mInData.GetSize(), 2);
    EXPECT_EQ(fx.mOutData.GetSize(), 2);
    EXPECT_TRUE(fx.LegalIO(1, -1));
    EXPECT_TRUE(fx.LegalIO(2, 2));
    EXPECT_TRUE(fx.LegalIO(-1, -1));
    EXPECT_TRUE(fx.LegalIO(-1, 1));
    EXPECT_FALSE(fx.LegalIO(1, 2));
    EXPECT_FALSE(fx.LegalIO(3, -1));
    // Each channel's slot pointer points into the array handed to the effect.
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(fx.mInChannels.Get(i)->mSrc, fx.mInData.Get() + i);
        EXPECT_EQ(fx.mOutChannels.Get(i)->mDest, fx.mOutData.Get() + i);
        EXPECT_FALSE(fx.IsInChannelConnected(i));
        EXPECT_FALSE(fx.IsOutChannelConnected(i));
    }
}

TEST(ChannelIO, OddStrings) {
    TestEffect none(nullptr);
    EXPECT_EQ(none.NChannelIO(), 0);
    EXPECT_EQ(none.NInChannels(), 0);
    EXPECT_EQ(none.NOutChannels(), 0);
    EXPECT_FALSE(none.LegalIO(-1, -1));

    auto pairs = [](const char* s) {
        TestEffect fx(s);
        std::string out;
        for (int i = 0; i < fx.NChannelIO(); ++i) {
            int in, o;
            fx.GetChannelIO(i, &in, &o);
            out += '(';
            out += std::to_string(in);
            out += ',';
            out += std::to_string(o);
            out += ')';
        }
        out += ' ';
        out += std::to_string(fx.NInChannels());
        out += 'x';
        out += std::to_string(fx.NOutChannels());
        return out;
    };
    EXPECT_EQ(pairs("1-1 "), "(1,1)(0,0) 1x1");
    EXPECT_EQ(pairs("1-1  2-2"), "(1,1)(2,2)(2,2) 2x2");
    EXPECT_EQ(pairs(""), "(0,0) 0x0");
    EXPECT_EQ(pairs("x"), "(0,0) 0x0");
    EXPECT_EQ(pairs("3"), "(3,0) 3x0");
    EXPECT_EQ(pairs("0-2"), "(0,2) 0x2");
    // The next entry starts after the next space, wherever the previous one ended.
    EXPECT_EQ(pairs("2- 4"), "(2,4)(4,0) 4x4");
    EXPECT_EQ(pairs("2 -4"), "(2,0)(-4,0) 2x0");
    EXPECT_EQ(pairs("-99999999999-1"), "(-2147483648,1) 0x1"); // saturates instead of overflowing
}

TEST(ChannelIO, ConnectionsLabelsAndStereoLimit) {
    TestEffect fx("4-4");
    fx.SetBlockSize(8);
    fx.SetInputChannelConnections(0, 4, true);
    fx.SetOutputChannelConnections(0, 4, true);
    fx.SetOutputChannelConnections(2, 2, false);
    fx.LimitToStereoIO();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(fx.IsInChannelConnected(i), i < 2) << i;
        EXPECT_TRUE(fx.IsOutChannelConnected(i)) << i;
    }
    EXPECT_EQ(fx.mInData.Get()[2], fx.mInChannels.Get(2)->mScratchBuf.Get());
    EXPECT_FALSE(fx.IsInChannelConnected(4));
    EXPECT_FALSE(fx.IsInChannelConnected(-1));
    // Ranges are clipped to the channels that exist.
    fx.SetInputChannelConnections(3, 100, true);
    fx.SetInputChannelConnections(-2, 3, false);
    EXPECT_FALSE(fx.IsInChannelConnected(0));
    EXPECT_TRUE(fx.IsInChannelConnected(1));
    EXPECT_TRUE(fx.IsInChannelConnected(3));

    fx.SetInputLabel(0, "Left");
    fx.SetInputLabel(4, "nope");
    fx.SetOutputLabel(1, "Right");
    fx.SetOutputLabel(1, nullptr);
    fx.SetOutputLabel(-1, "nope");
    EXPECT_STREQ(fx.GetInputLabel(0), "Left");
    EXPECT_STREQ(fx.GetInputLabel(4), "");
    EXPECT_STREQ(fx.GetOutputLabel(1), "");
}

TEST(ChannelIO, BusLabels) {
    TestEffect fx;
    fx.SetInputBusLabel(2, "ignored");
    fx.SetInputBusLabel(-1, "ignored");
    EXPECT_EQ(fx.NInputBusLabels(), 0);
    fx.SetInputBusLabel(1, "Side");
    EXPECT_EQ(fx.NInputBusLabels(), 1);
    EXPECT_STREQ(fx.GetInputBusLabel(0), "Side");
    fx.SetInputBusLabel(0, "Main");
    EXPECT_EQ(fx.NInputBusLabels(), 1);
    EXPECT_STREQ(fx.GetInputBusLabel(0), "Main");
    fx.SetInputBusLabel(1, "Side");
    EXPECT_STREQ(fx.GetInputBusLabel(1), "Side");
    EXPECT_EQ(fx.GetInputBusLabel(2), nullptr);

    fx.SetOutputBusLabel(5, "Out");
    EXPECT_EQ(fx.NOutputBusLabels(), 1);
    EXPECT_STREQ(fx.GetOutputBusLabel(0), "Out");
    fx.SetOutputBusLabel(-1, "ignored");
    fx.SetOutputBusLabel(0, nullptr);
    EXPECT_EQ(fx.NOutputBusLabels(), 1);
    EXPECT_STREQ(fx.GetOutputBusLabel(0), "");
}

TEST(Buffers, BlockSizeZeroesScratchOnlyWhenItChanges) {
    TestEffect fx;
    fx.SetBlockSize(4);
    EXPECT_EQ(fx.GetBlockSize(), 4);
    InChannel* in1 = fx.mInChannels.Get(1);
    ASSERT_EQ(in1->mScratchBuf.GetSize(), 4);
    in1->mScratchBuf.Get()[2] = 5.0;
    fx.SetBlockSize(4);
    EXPECT_EQ(in1->mScratchBuf.Get()[2], 5.0);
    fx.SetBlockSize(6);
    ASSERT_EQ(in1->mScratchBuf.GetSize(), 6);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(in1->mScratchBuf.Get()[i], 0.0);
    EXPECT_EQ(fx.mOutChannels.Get(0)->mScratchBuf.GetSize(), 6);
    // A disconnected channel keeps reading its (moved) scratch buffer.
    EXPECT_EQ(fx.mInData.Get()[1], in1->mScratchBuf.Get());
    fx.mOutChannels.Get(1)->mScratchBuf.Get()[0] = 3.0;
    fx.ZeroScratchBuffers();
    EXPECT_EQ(fx.mOutChannels.Get(1)->mScratchBuf.Get()[0], 0.0);
}

TEST(Buffers, DoubleAttachSkipsDisconnectedChannels) {
    ProbeEffect fx;
    fx.SetBlockSize(4);
    fx.SetInputChannelConnections(0, 2, true);
    fx.SetOutputChannelConnections(0, 2, true);
    fx.SetInputChannelConnections(1, 1, false);
    double inA[4] = {1, 2, 3, 4}, inB[4] = {9, 9, 9, 9};
    double outA[4] = {}, outB[4] = {7, 7, 7, 7};
    double* ins[] = {inA, inB};
    double* outs[] = {outA, outB};
    fx.AttachInputBuffers(0, 2, ins, 4);
    fx.AttachOutputBuffers(0, 2, outs);
    fx.ProcessBuffers(0.0, 4);
    EXPECT_EQ(fx.mFrames, 4);
    EXPECT_EQ(fx.mInputs[0], inA);
    EXPECT_EQ(fx.mInputs[1], fx.mInChannels.Get(1)->mScratchBuf.Get());
    EXPECT_EQ(fx.mInputCopies[1], std::vector<double>(4, 0.0));
    // The base rule copies input i to output i: channel 1 copies its silent scratch input.
    EXPECT_EQ(std::vector<double>(outA, outA + 4), (std::vector<double>{1, 2, 3, 4}));
    EXPECT_EQ(std::vector<double>(outB, outB + 4), std::vector<double>(4, 0.0));

    // A disconnected output writes into its scratch buffer and the host's buffer is not touched.
    fx.SetOutputChannelConnections(1, 1, false);
    double outC[4] = {7, 7, 7, 7};
    double* outs2[] = {outA, outC};
    fx.AttachOutputBuffers(0, 2, outs2);
    fx.ProcessBuffers(0.0, 4);
    EXPECT_EQ(fx.mOutputs[1], fx.mOutChannels.Get(1)->mScratchBuf.Get());
    EXPECT_EQ(std::vector<double>(outC, outC + 4), std::vector<double>(4, 7.0));
}

TEST(Buffers, FloatInputIsConvertedAndOutputOverwritten) {
    ProbeEffect fx;
    fx.SetBlockSize(4);
    fx.SetInputChannelConnections(0, 2, true);
    fx.SetOutputChannelConnections(0, 2, true);
    float inA[3] = {0.1f, -0.5f, 2.0f}, inB[3] = {1, 1, 1};
    float outA[3] = {5, 5, 5}, outB[3] = {5, 5, 5};
    float* ins[] = {inA, inB};
    float* outs[] = {outA, outB};
    fx.AttachInputBuffers(0, 2, ins, 3);
    fx.AttachOutputBuffers(0, 2, outs);
    fx.mProcess = [](double** in, double** out, int n) {
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < n; ++i) out[c][i] = in[c][i] * 0.5;
    };
    fx.ProcessBuffers(0.0f, 3);
    EXPECT_EQ(fx.mInputs[0], fx.mInChannels.Get(0)->mScratchBuf.Get());
    EXPECT_EQ(fx.mOutputs[0], fx.mOutChannels.Get(0)->mScratchBuf.Get());
    EXPECT_EQ(fx.mInputCopies[0][0], static_cast<double>(0.1f));
    EXPECT_EQ(fx.mInputCopies[0][1], -0.5);
    EXPECT_EQ(fx.mOutChannels.Get(0)->mFloatDest, outA);
    EXPECT_EQ(outA[0], static_cast<float>(static_cast<double>(0.1f) * 0.5));
    EXPECT_EQ(outA[1], -0.25f);
    EXPECT_EQ(outA[2], 1.0f);
    EXPECT_EQ(outB[0], 0.5f);
}

TEST(Buffers, AccumulatingAddsInSinglePrecision) {
    ProbeEffect fx;
    fx.SetBlockSize(2);
    fx.SetInputChannelConnections(0, 2, true);
    fx.SetOutputChannelConnections(0, 2, true);
    float in[2] = {0, 0};
    float* ins[] = {in, in};
    // 1 + 2^-24 is exactly halfway between two floats: single-precision addition of the converted
    // sample rounds to even (1.0f), while adding in double first and converting would give 1 + 2^-23.
    const double tiny = std::ldexp(1.0, -24) + std::ldexp(1.0, -60);
    float outA[2] = {1.0f, 0.25f}, outB[2] = {1.0f, 1.0f};
    float* outs[] = {outA, outB};
    fx.mProcess = [&](double**, double** out, int) {
        out[0][0] = tiny;
        out[0][1] = 0.5;
        out[1][0] = -1.0;
        out[1][1] = 0.0;
    };
    fx.AttachInputBuffers(0, 2, ins, 2);
    fx.AttachOutputBuffers(0, 2, outs);
    fx.ProcessBuffersAccumulating(0.0f, 2);
    EXPECT_EQ(outA[0], 1.0f);
    EXPECT_EQ(outA[1], 0.75f);
    EXPECT_EQ(outB[0], 0.0f);
    EXPECT_EQ(outB[1], 1.0f);
    // The replacing form overwrites instead.
    fx.AttachOutputBuffers(0, 2, outs);
    fx.ProcessBuffers(0.0f, 2);
    EXPECT_EQ(outA[1], 0.5f);
    EXPECT_EQ(outB[1], 0.0f);
}

TEST(Buffers, BaseProcessingCopiesMatchingChannelsAndSilencesTheRest) {
    TestEffect fx("1-2");
    fx.SetBlockSize(3);
    fx.SetInputChannelConnections(0, 1, true);
    fx.SetOutputChannelConnections(0, 2, true);
    double in[3] = {0.5, -0.25, 1.0};
    double o0[3] = {9, 9, 9}, o1[3] = {9, 9, 9};
    double* ins[] = {in};
    double* outs[] = {o0, o1};
    fx.AttachInputBuffers(0, 1, ins, 3);
    fx.AttachOutputBuffers(0, 2, outs);
    fx.ProcessBuffers(0.0, 3);
    EXPECT_EQ(std::vector<double>(o0, o0 + 3), (std::vector<double>{0.5, -0.25, 1.0}));
    EXPECT_EQ(std::vector<double>(o1, o1 + 3), std::vector<double>(3, 0.0));

    float fin[3] = {1, 2, 3}, f0[3] = {9, 9, 9}, f1[3] = {9, 9, 9};
    float* fins[] = {fin};
    float* fouts[] = {f0, f1};
    fx.ProcessSingleReplacing(fins, fouts, 3);
    EXPECT_EQ(std::vector<float>(f0, f0 + 3), (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(std::vector<float>(f1, f1 + 3), std::vector<float>(3, 0.0f));

    // Pass-through applies the same rule to the attached buffers, and converts for float.
    fx.AttachInputBuffers(0, 1, fins, 3);
    float g0[3] = {9, 9, 9}, g1[3] = {9, 9, 9};
    float* gouts[] = {g0, g1};
    fx.AttachOutputBuffers(0, 2, gouts);
    fx.PassThroughBuffers(0.0f, 3);
    EXPECT_EQ(std::vector<float>(g0, g0 + 3), (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(std::vector<float>(g1, g1 + 3), std::vector<float>(3, 0.0f));
}

TEST(Buffers, OversizedBlocksAndNullHostBuffersAreHandledSafely) {
    ProbeEffect fx;
    fx.SetBlockSize(4);
    fx.SetInputChannelConnections(0, 2, true);
    fx.SetOutputChannelConnections(0, 2, true);
    std::vector<float> inA(10, 1.0f), outA(10, 3.0f), outB(10, 3.0f);
    float* ins[] = {inA.data(), nullptr};
    float* outs[] = {outA.data(), outB.data()};
    fx.AttachInputBuffers(0, 2, ins, 10);
    fx.AttachOutputBuffers(0, 2, outs);
    fx.ProcessBuffers(0.0f, 10);
    EXPECT_EQ(fx.mFrames, 4);
    EXPECT_EQ(fx.mInputCopies[1], std::vector<double>(4, 0.0)); // null host input reads silence
    EXPECT_EQ(outA, (std::vector<float>{1, 1, 1, 1, 0, 0, 0, 0, 0, 0}));

    std::vector<float> accA(10, 3.0f), accB(10, 3.0f);
    float* accs[] = {accA.data(), accB.data()};
    fx.AttachInputBuffers(0, 2, ins, 10);
    fx.AttachOutputBuffers(0, 2, accs);
    fx.ProcessBuffersAccumulating(0.0f, 10);
    EXPECT_EQ(accA, (std::vector<float>{4, 4, 4, 4, 3, 3, 3, 3, 3, 3}));

    std::vector<double> dinA(10, 2.0), doutA(10, 3.0);
    double* dins[] = {dinA.data(), nullptr};
    double* douts[] = {doutA.data(), nullptr};
    fx.AttachInputBuffers(0, 2, dins, 10);
    fx.AttachOutputBuffers(0, 2, douts);
    fx.ProcessBuffers(0.0, 10);
    EXPECT_EQ(fx.mFrames, 4);
    EXPECT_EQ(fx.mOutputs[1], fx.mOutChannels.Get(1)->mScratchBuf.Get());
    EXPECT_EQ(doutA, (std::vector<double>{2, 2, 2, 2, 0, 0, 0, 0, 0, 0}));

    // Negative frame counts process nothing; null arrays attach nothing.
    fx.ProcessBuffers(0.0, -5);
    EXPECT_EQ(fx.mFrames, 0);
    fx.AttachInputBuffers(0, 2, static_cast<double**>(nullptr), 4);
    fx.AttachOutputBuffers(0, 2, static_cast<float**>(nullptr));
}

TEST(Buffers, NoChannelsPassNullArrays) {
    ProbeEffect fx(nullptr);
    fx.SetBlockSize(4);
    double* sentinel[1] = {nullptr};
    fx.mInputs = sentinel;
    fx.mOutputs = sentinel;
    fx.ProcessBuffers(0.0, 4);
    EXPECT_EQ(fx.mInputs, nullptr);
    EXPECT_EQ(fx.mOutputs, nullptr);
}

TEST(EffectBase, ConstructionStoresIdentityAndDefaults) {
    TestEffect fx;
    EXPECT_STREQ(fx.GetEffectName(), "Tidebloom");
    EXPECT_STREQ(fx.GetProductName(), "");
    EXPECT_STREQ(fx.GetMfrName(), "vendrilax");
    EXPECT_EQ(fx.GetUniqueID(), 0x54626C6D);
    EXPECT_EQ(fx.GetMfrID(), 0x56647278);
    EXPECT_EQ(fx.GetEffectVersion(false), 0x10000);
    EXPECT_EQ(fx.GetEffectVersion(true), 10000);
    char buf[32];
    fx.GetEffectVersionStr(buf);
    EXPECT_STREQ(buf, "v1.0.0");
    EXPECT_EQ(fx.mHost, kHostUninit);
    EXPECT_EQ(fx.GetSampleRate(), 44100.0);
    EXPECT_EQ(fx.GetBlockSize(), 0);
    EXPECT_EQ(fx.GetLatency(), 0);
    EXPECT_EQ(fx.GetTailSize(), 0);
    EXPECT_EQ(fx.GetCurrentPresetIdx(), 0);
    EXPECT_EQ(fx.GetGUI(), nullptr);
    EXPECT_FALSE(fx.DoesMidi());
    EXPECT_FALSE(fx.DoesStateChunks());
    EXPECT_FALSE(fx.IsInstrument());
    EXPECT_EQ(fx.NParams(), 5);
    EXPECT_EQ(fx.NPresets(), 6);
    for (int i = 0; i < 6; ++i) EXPECT_STREQ(fx.GetPresetName(i), "empty");
    EXPECT_EQ(fx.GetParam(5), nullptr);
    EXPECT_EQ(fx.GetParam(-1), nullptr);
    EXPECT_STREQ(fx.GetAPIString(), "VST2");
    EXPECT_STREQ(fx.GetArchString(), "x64");
    fx.SetLatency(1362);
    EXPECT_EQ(fx.GetLatency(), 1362);
    EXPECT_TRUE(fx.SetSampleRate(96000.0));
    EXPECT_EQ(fx.GetSampleRate(), 96000.0);

    const std::string longName(300, 'n');
    IEffectBase big({.mEffectName = longName.c_str(),
                     .mProductName = nullptr,
                     .mMfrName = longName.c_str(),
                     .mVersion = 0x10203,
                     .mChannelIO = "",
                     .mDoesMidi = true,
                     .mDoesStateChunks = true,
                     .mIsInstrument = true},
                    static_cast<EAPI>(8));
    EXPECT_EQ(std::strlen(big.GetEffectName()), 127u);
    EXPECT_STREQ(big.GetProductName(), "");
    EXPECT_EQ(big.GetEffectVersion(true), 10203);
    big.GetEffectVersionStr(buf);
    EXPECT_STREQ(buf, "v1.2.3");
    EXPECT_STREQ(big.GetAPIString(), "");
    // A binding this object does not know of, well outside the named values.
    IEffectBase unknown(IEffectDescription{}, static_cast<EAPI>(1000));
    EXPECT_STREQ(unknown.GetAPIString(), "");
    IEffectBase lv2(IEffectDescription{}, kAPILV2);
    EXPECT_STREQ(lv2.GetAPIString(), "LV2");
    IEffectBase clap(IEffectDescription{}, kAPICLAP);
    EXPECT_STREQ(clap.GetAPIString(), "CLAP");
    EXPECT_TRUE(big.DoesMidi() && big.DoesStateChunks() && big.IsInstrument());
}

TEST(EffectBase, HostIdentityAndVersion) {
    TestEffect fx;
    fx.SetHost("Cubase 7", 0x070005);
    EXPECT_EQ(fx.mHost, kHostCubase);
    fx.mGetHostCalls = 0;
    EXPECT_EQ(fx.GetHostVersion(true), 70005);
    EXPECT_EQ(fx.GetHostVersion(false), 0x070005);
    char buf[32];
    fx.GetHostVersionStr(buf);
    EXPECT_STREQ(buf, "v7.0.5");
    EXPECT_EQ(fx.mGetHostCalls, 3); // each asks the binding to identify the host first
    fx.SetHost("", 0);
    EXPECT_EQ(fx.GetHost(), kHostUnknown);
}

TEST(EffectBase, GuiChangesReachParameterHostAndEffectInOrder) {
    TestEffect fx;
    fx.SetParameterFromGUI(testfx::kOnOff, 0.3);
    EXPECT_EQ(fx.GetParam(testfx::kOnOff)->Value(), 0.0);
    ASSERT_EQ(fx.mInformed.size(), 1u);
    EXPECT_EQ(fx.mInformed[0].first, testfx::kOnOff);
    EXPECT_EQ(fx.mInformed[0].second, 0.3); // exactly what was passed, not the rounded value
    EXPECT_EQ(fx.mEvents, (std::vector<std::string>{"inform 4", "change 4"}));
    fx.SetParameterFromGUI(testfx::kVol, 0.25);
    EXPECT_EQ(fx.GetParam(testfx::kVol)->Value(), 0.5);
    fx.mEvents.clear();
    fx.SetParameterFromGUI(5, 0.5);
    fx.SetParameterFromGUI(-1, 0.5);
    EXPECT_TRUE(fx.mEvents.empty());
}

TEST(EffectBase, ResetAndDirtyParametersWalkEveryParameter) {
    TestEffect fx;
    fx.OnParamReset();
    EXPECT_EQ(fx.mEvents,
              (std::vector<std::string>{"change 0", "change 1", "change 2", "change 3", "change 4"}));
    fx.DirtyParameters();
    ASSERT_EQ(fx.mInformed.size(), 5u);
    const double expected[] = {0.7, 0.5, 0.75, 0.5, 1.0};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(fx.mInformed[static_cast<size_t>(i)].first, i);
        EXPECT_DOUBLE_EQ(fx.mInformed[static_cast<size_t>(i)].second, expected[i]);
    }
}

// Mappings run under the plug-in mutex, so none changes inside a block; the host is told with no lock
// held, so a host that takes its time never holds up the audio thread.
TEST(EffectBase, TheEffectMapsUnderTheMutexAndTheHostIsToldWithoutLocks) {
    TestEffect fx;
    fx.mCheckLockHeld = true;
    fx.SetParameterFromGUI(0, 0.5);
    fx.DirtyParameters();
    ByteChunk chunk;
    fx.SerializeParams(&chunk);
    fx.UnserializeParams(&chunk, 0);
    fx.mCheckLockHeld = false;
    {
        // Changes queued while another thread holds the mutex are mapped by it before it lets go.
        Util_MutexLock held(fx.GetMutex());
        std::thread([&fx] { fx.SetParameterFromGUI(3, 1.0); }).join();
        fx.mEvents.push_back("holder lets go");
    }
    EXPECT_EQ(fx.mEvents,
              (std::vector<std::string>{"inform 0", "change 0 [mutex]", "inform 0", "inform 1", "inform 2",
                                        "inform 3", "inform 4", "change 0 [mutex]", "change 1 [mutex]",
                                        "change 2 [mutex]", "change 3 [mutex]", "change 4 [mutex]",
                                        "inform 3", "holder lets go", "change 3"}));
    // And it is released afterwards, also after recursive locking.
    EXPECT_FALSE(fx.LockHeldElsewhere());
    {
        Util_MutexLock outer(fx.GetMutex());
        fx.Reset();
        fx.OnActivate(true);
        EXPECT_TRUE(fx.LockHeldElsewhere());
    }
    EXPECT_FALSE(fx.LockHeldElsewhere());
}

TEST(EffectBase, MidiAndTempoHelpers) {
    TestEffect fx;
    Util_TypedBuf<IMidiMsg> msgs;
    EXPECT_TRUE(fx.SendMidiMsgs(&msgs));
    for (int i = 0; i < 3; ++i) msgs.Add(IMidiMsg(i, 0x90, 60, 100));
    fx.mSendResults = {true, false, true};
    EXPECT_FALSE(fx.SendMidiMsgs(&msgs));
    ASSERT_EQ(fx.mSent.size(), 3u); // every message is attempted
    EXPECT_EQ(fx.mSent[2].mOffset, 2);
    fx.mSendResults = {true};
    EXPECT_TRUE(fx.SendMidiMsgs(&msgs));

    IMidiMsg through(5, 0x80, 61, 0);
    fx.ProcessMidiMsg(&through);
    EXPECT_EQ(fx.mSent.back().mData1, 61);

    char name[8] = "xyz";
    EXPECT_FALSE(fx.MidiNoteName(60, name));
    EXPECT_STREQ(name, "");

    fx.mTempo = 120.0;
    EXPECT_EQ(fx.GetSamplesPerBeat(), 22050.0);
    fx.mTempo = 0.0;
    EXPECT_EQ(fx.GetSamplesPerBeat(), 0.0);
    fx.mTempo = -5.0;
    EXPECT_EQ(fx.GetSamplesPerBeat(), 0.0);

    // The base answers as if no host were listening.
    IEffectBase& base = fx;
    int num = 9, den = 9;
    base.IEffectBase::GetTimeSig(&num, &den);
    EXPECT_EQ(num, 0);
    EXPECT_EQ(den, 0);
    EXPECT_FALSE(base.IEffectBase::SendMidiMsg(&through));
    EXPECT_FALSE(base.SendSysEx(nullptr));
    EXPECT_FALSE(base.IsRenderingOffline());
    EXPECT_FALSE(base.HostRequestingAboutBox());
}

TEST(EffectBase, WithoutAnEditorNothingIsAttached) {
    TestEffect fx;
    fx.AttachGraphics(nullptr);
    EXPECT_EQ(fx.GetGUI(), nullptr);
    fx.RedrawParamControls();
    EXPECT_EQ(fx.GetGUI(), nullptr);
}

} // namespace
