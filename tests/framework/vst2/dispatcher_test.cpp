// Dispatcher behaviour seen from both sides: what the host sends and what reaches the plug-in object.
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/vst2/TestEffect.h"
#include "tests/support/vst2/TestHost.h"

namespace {

class DispatcherTest : public ::testing::Test {
protected:
    void SetUp() override { TestEffect::sNextConfig = TestEffectConfig(); }
    void TearDown() override { TestEffect::sNextConfig = TestEffectConfig(); }

    TestEffect* Load(TestHost& host) {
        AEffect* e = host.Load(TestEffect::Entry);
        return e ? TestEffect::From(e) : nullptr;
    }
};

TEST_F(DispatcherTest, OpenMapsEveryParameterInOrderAndIdentifiesTheHostOnce) {
    TestHost host;
    host.SetProductString("REAPER");
    host.SetVendorVersion(60812); // 6.8.12
    TestEffect* plug = Load(host);
    ASSERT_NE(plug, nullptr);
    EXPECT_TRUE(plug->mParamChanges.empty());
    EXPECT_EQ(host.Dispatch(effOpen), 0);
    EXPECT_EQ(plug->mParamChanges, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(plug->GetHost(), kHostReaper);
    EXPECT_EQ(plug->GetHostVersion(false), 0x6080C);
    EXPECT_EQ(plug->GetHostVersion(true), 60812);
    EXPECT_EQ(plug->mHostIdentified, 1);

    // Host-specific initialisation runs once; a second open only maps the parameters again.
    EXPECT_EQ(host.Dispatch(effOpen), 0);
    EXPECT_EQ(plug->mHostIdentified, 1);
    EXPECT_EQ(plug->mParamChanges.size(), 10u);
    EXPECT_EQ(host.Calls(audioMasterGetProductString).size(), 1u);
    EXPECT_EQ(host.Calls(audioMasterGetVendorVersion).size(), 1u);
}

TEST_F(DispatcherTest, AHostWithoutAProductStringIsUnknownAndNotAskedAgain) {
    TestHost host;
    host.SetProductString("");
    TestEffect* plug = Load(host);
    ASSERT_NE(plug, nullptr);
    host.Dispatch(effOpen);
    EXPECT_EQ(plug->GetHost(), kHostUnknown);
    EXPECT_EQ(plug->GetHostVersion(false), 0);
    EXPECT_EQ(plug->GetHost(), kHostUnknown);
    EXPECT_EQ(host.Calls(audioMasterGetProductString).size(), 1u);
    EXPECT_TRUE(host.Calls(audioMasterGetVendorVersion).empty());
}

TEST_F(DispatcherTest, HostVersionAnswersOutsideTheIntRangeDoNotOverflow) {
    TestHost host;
    host.SetProductString("Ardour");
    host.SetVendorVersion(static_cast<intptr_t>(1) << 50);
    TestEffect* plug = Load(host);
    ASSERT_NE(plug, nullptr);
    host.Dispatch(effOpen);
    EXPECT_EQ(plug->GetHost(), kHostArdour);
    // Held to INT_MAX = 2147483647: 214748 * 65536 + 36 * 256 + 47, wrapped to 32 bits.
    long long packed = 214748LL * 65536 + 36 * 256 + 47;
    EXPECT_EQ(plug->GetHostVersion(false), static_cast<int>(static_cast<uint32_t>(packed)));
}

TEST_F(DispatcherTest, SomeHostsAreLimitedToStereo) {
    for (const char* name : {"Forte 4", "Adobe Audition", "Orion Platinum", "SAWStudio", "REAPER"}) {
        TestEffect::sNextConfig.channelIO = "4-4";
        TestHost host;
        host.SetProductString(name);
        TestEffect* plug = Load(host);
        ASSERT_NE(plug, nullptr);
        host.Dispatch(effOpen);
        bool limited = std::strcmp(name, "REAPER") != 0;
        EXPECT_TRUE(plug->IsInChannelConnected(1)) << name;
        EXPECT_EQ(plug->IsInChannelConnected(2), !limited) << name;
        EXPECT_EQ(plug->IsInChannelConnected(3), !limited) << name;
        EXPECT_TRUE(plug->IsOutChannelConnected(3)) << name;
        // The counts the host sees do not change.
        EXPECT_EQ(host.Effect()->numInputs, 4) << name;
        EXPECT_EQ(host.Effect()->numOutputs, 4) << name;
        VstSpeakerArrangement* in = nullptr;
        host.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), nullptr);
        EXPECT_EQ(in->numChannels, 4);
    }
}

TEST_F(DispatcherTest, SampleRateBlockSizeAndActivation) {
    TestHost host;
    TestEffect* plug = Load(host);
    ASSERT_NE(plug, nullptr);
    EXPECT_EQ(plug->GetBlockSize(), 1024);
    EXPECT_EQ(plug->GetSampleRate(), 44100.0);

    host.Dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    EXPECT_EQ(plug->GetSampleRate(), 96000.0);
    EXPECT_EQ(plug->mResets, 1);
    host.Dispatch(effSetSampleRate, 0, 0, nullptr, 22050.5f);
    EXPECT_EQ(plug->GetSampleRate(), 22050.5);
    EXPECT_EQ(plug->mResets, 2);
    // Rates outside 8 kHz to 768 kHz, and rates that are not numbers, are ignored, without a reset.
    for (float bad : {0.0f, -48000.0f, 7999.5f, 768000.1f, 1e30f, std::numeric_limits<float>::quiet_NaN(),
                      std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()}) {
        host.Dispatch(effSetSampleRate, 0, 0, nullptr, bad);
        EXPECT_EQ(plug->GetSampleRate(), 22050.5) << bad;
    }
    EXPECT_EQ(plug->mResets, 2);
    // The ends of the range are served.
    for (float edge : {8000.0f, 768000.0f, 22050.5f}) {
        host.Dispatch(effSetSampleRate, 0, 0, nullptr, edge);
        EXPECT_EQ(plug->GetSampleRate(), static_cast<double>(edge));
    }
    EXPECT_EQ(plug->mResets, 5);

    host.Dispatch(effSetBlockSize, 0, 64);
    EXPECT_EQ(plug->GetBlockSize(), 64);
    EXPECT_EQ(plug->mResets, 6);
    for (intptr_t bad : {intptr_t(0), intptr_t(-1), static_cast<intptr_t>(1) << 33}) {
        host.Dispatch(effSetBlockSize, 0, bad);
        EXPECT_EQ(plug->GetBlockSize(), 64);
    }
    EXPECT_EQ(plug->mResets, 6);

    host.Dispatch(effMainsChanged, 0, 1);
    EXPECT_EQ(plug->mResets, 6);
    host.Dispatch(effMainsChanged, 0, 0);
    EXPECT_EQ(plug->mResets, 7);
    host.Dispatch(effMainsChanged, 0, 7);
    EXPECT_EQ(plug->mActivations, (std::vector<bool>{true, false, true}));
}

TEST_F(DispatcherTest, ProgramSwitchWithStateChunksDoesNotSaveTheLiveState) {
    TestEffect::sNextConfig.doesStateChunks = true;
    TestHost host;
    ASSERT_NE(Load(host), nullptr);
    host.Open();
    host.SetParameter(0, 0.125f);
    host.Dispatch(effSetProgram, 0, 1);
    host.Dispatch(effSetProgram, 0, 0);
    EXPECT_FLOAT_EQ(host.GetParameter(0), 0.7f);
    // Chunks are answered with or without the flag.
    EXPECT_EQ(host.GetChunk(false).size(), 48u);
}

TEST_F(DispatcherTest, ProgramRestoreMapsEveryParameterAndRenameKeepsAnEmptyName) {
    TestHost host;
    TestEffect* plug = Load(host);
    ASSERT_NE(plug, nullptr);
    host.Open();
    plug->mParamChanges.clear();
    host.Dispatch(effSetProgram, 0, 2);
    EXPECT_EQ(plug->mParamChanges, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(host.Effect()->initialDelay, 1190); // Depth 0.5

    char empty[] = "";
    host.Dispatch(effSetProgramName, 0, 0, empty);
    EXPECT_EQ(host.ProgramName(), "Funked Swell");
    EXPECT_EQ(host.Dispatch(effSetProgramName, 0, 0, nullptr), 0);
    EXPECT_EQ(host.Dispatch(effGetProgramName, 0, 0, nullptr), 0);
    // A name at the slot's limit of 255 characters, and one beyond it.
    std::string longName(300, 'n');
    host.Dispatch(effSetProgramName, 0, 0, longName.data());
    EXPECT_EQ(host.ProgramName(), std::string(255, 'n'));
}

TEST_F(DispatcherTest, StringToParameterWithDisplayTexts) {
    TestEffect::sNextConfig.boolOnOff = true;
    TestHost host;
    TestEffect* plug = Load(host);
    ASSERT_NE(plug, nullptr);
    host.Open();
    EXPECT_EQ(host.ParamDisplay(4), "on");
    char off[] = "off", on[] = "on", upper[] = "On", number[] = "0";
    plug->mParamChanges.clear();
    EXPECT_EQ(host.Dispatch(effString2Parameter, 4, 0, off), 1);
    EXPECT_EQ(host.GetParameter(4), 0.0f);
    EXPECT_EQ(host.ParamDisplay(4), "off");
    EXPECT_EQ(plug->mParamChanges, (std::vector<int>{4}));
    // Texts are matched exactly: neither "On" nor a number maps.
    EXPECT_EQ(host.Dispatch(effString2Parameter, 4, 0, upper), 0);
    EXPECT_EQ(host.Dispatch(effString2Parameter, 4, 0, number), 0);
    EXPECT_EQ(host.GetParameter(4), 0.0f);
    EXPECT_EQ(plug->mParamChanges.size(), 1u);
    EXPECT_EQ(host.Dispatch(effString2Parameter, 4, 0, on), 1);
    EXPECT_EQ(host.GetParameter(4), 1.0f);
    // A Boolean is not a continuous parameter.
    EXPECT_EQ(host.Dispatch(effVendorSpecific, 8, 4), 0xBEEF);
    char display[64];
    EXPECT_EQ(host.Dispatch(effVendorSpecific, 7, 4, display, 0.0f), 0xBEEF);
    EXPECT_STREQ(display, "off");
    // The host is never told about its own text entry.
    EXPECT_TRUE(host.Calls(audioMasterAutomate).empty());
}

TEST_F(DispatcherTest, FormattingAHostValueAnswersForMissingParametersTooAndWritesNothing) {
    TestHost host;
    ASSERT_NE(Load(host), nullptr);
    host.Open();
    char display[64] = "kept";
    for (intptr_t index : {intptr_t(5), intptr_t(-1), static_cast<intptr_t>(1) << 40}) {
        EXPECT_EQ(host.Dispatch(effVendorSpecific, 7, index, display, 0.5f), 0xBEEF) << index;
        EXPECT_STREQ(display, "kept") << index;
        EXPECT_EQ(host.Dispatch(effVendorSpecific, 8, index), 0) << index;
    }
    // Time 0.1 of 0..1, three decimals; the parameter keeps its own value.
    EXPECT_EQ(host.Dispatch(effVendorSpecific, 7, 1, display, 0.1f), 0xBEEF);
    EXPECT_STREQ(display, "0.100");
    EXPECT_EQ(host.ParamDisplay(1), "0.500");
}

TEST_F(DispatcherTest, SetAndGetParameterReachTheEffect) {
    TestHost host;
    TestEffect* plug = Load(host);
    ASSERT_NE(plug, nullptr);
    host.Open();
    plug->mParamChanges.clear();
    host.SetParameter(3, 0.25f);
    EXPECT_EQ(plug->mMapping.mVolume, 0.5);
    EXPECT_EQ(plug->mParamChanges, (std::vector<int>{3}));
    EXPECT_EQ(host.GetParameter(3), 0.25f);
    // The integer parameter rounds half up.
    host.SetParameter(4, 0.49f);
    EXPECT_EQ(host.GetParameter(4), 0.0f);
    host.SetParameter(4, 0.5f);
    EXPECT_EQ(host.GetParameter(4), 1.0f);
    // Out-of-range indices and NaN reach nothing.
    host.SetParameter(5, 0.5f);
    host.SetParameter(-1, 0.5f);
    host.SetParameter(0, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(plug->mParamChanges.size(), 3u);
    EXPECT_TRUE(host.Calls(audioMasterAutomate).empty());
}

TEST_F(DispatcherTest, MidiKeyNames) {
    TestHost host;
    ASSERT_NE(Load(host), nullptr);
    MidiKeyName key;
    std::memset(&key, 0, sizeof(key));
    key.thisKeyNumber = 60;
    std::strcpy(key.keyName, "stale");
    EXPECT_EQ(host.Dispatch(effGetMidiKeyName, 0, 0, &key), 0);
    EXPECT_STREQ(key.keyName, "");
    EXPECT_EQ(host.Dispatch(effGetMidiKeyName, 0, 0, nullptr), 0);
    host.Close();

    TestEffect::sNextConfig.namesNotes = true;
    TestHost naming;
    ASSERT_NE(Load(naming), nullptr);
    EXPECT_EQ(naming.Dispatch(effGetMidiKeyName, 0, 0, &key), 1);
    EXPECT_STREQ(key.keyName, "C4");
    key.thisKeyNumber = 61;
    EXPECT_EQ(naming.Dispatch(effGetMidiKeyName, 0, 0, &key), 0);
    EXPECT_STREQ(key.keyName, "");
}

TEST_F(DispatcherTest, NullPointersAreAnsweredWithZero) {
    TestHost host;
    ASSERT_NE(Load(host), nullptr);
    host.Open();
    for (int32_t op : {effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName,
                       effGetProgramNameIndexed, effEditGetRect, effGetChunk, effSetChunk, effProcessEvents,
                       effGetInputProperties, effGetOutputProperties, effGetEffectName, effGetVendorString,
                       effGetProductString, effCanDo, effGetMidiKeyName})
        EXPECT_EQ(host.Dispatch(op, 0, 48, nullptr), 0) << op;
    // The speaker arrangement opcodes answer 1 even with nothing to read or write.
    EXPECT_EQ(host.Dispatch(effSetSpeakerArrangement, 0, 0, nullptr), 1);
    EXPECT_EQ(host.Dispatch(effGetSpeakerArrangement, 0, 0, nullptr), 1);
}

TEST_F(DispatcherTest, ARecordWithoutObjectIsIgnored) {
    TestHost host;
    AEffect* e = host.Load(TestEffect::Entry);
    ASSERT_NE(e, nullptr);
    AEffect copy = *e;
    copy.object = nullptr;
    EXPECT_EQ(copy.dispatcher(&copy, effIdentify, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(copy.dispatcher(&copy, effClose, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(copy.getParameter(&copy, 0), 0.0f);
    copy.setParameter(&copy, 0, 0.1f);
    float buf[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    float* io[2] = {buf, buf + 4};
    copy.processReplacing(&copy, io, io, 4);
    EXPECT_EQ(buf[0], 1.0f);
    EXPECT_FLOAT_EQ(host.GetParameter(0), 0.7f);
    EXPECT_EQ(e->dispatcher(nullptr, effIdentify, 0, 0, nullptr, 0.0f), 0);
}

TEST_F(DispatcherTest, ExceptionsStayInsideThePluginAndReleaseTheLock) {
    TestEffect::sNextConfig.throws = true;
    TestHost host;
    TestEffect* plug = Load(host);
    ASSERT_NE(plug, nullptr);
    char text[] = "0.5";
    auto everyEntry = [&] {
        EXPECT_EQ(host.Dispatch(effOpen), 0);
        EXPECT_EQ(host.Dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f), 0);
        EXPECT_EQ(host.Dispatch(effString2Parameter, 0, 0, text), 0);
        host.SetParameter(1, 0.5f);
        float buf[8] = {};
        float* io[2] = {buf, buf + 4};
        host.ProcessReplacing(io, io, 4);
        host.Process(io, io, 4);
        double dbuf[8] = {};
        double* dio[2] = {dbuf, dbuf + 4};
        host.ProcessDoubleReplacing(dio, dio, 4);
    };
    EXPECT_NO_THROW(everyEntry());
    EXPECT_EQ(plug->mBlocks, 3);
    // Another thread can take the plug-in mutex: no callback left it held.
    bool locked = false;
    std::thread other([&] {
        locked = plug->GetMutex().TryLock();
        if (locked) plug->GetMutex().Unlock();
    });
    other.join();
    EXPECT_TRUE(locked);
    EXPECT_EQ(host.Dispatch(effIdentify), 0x4E764566);
}

TEST_F(DispatcherTest, CloseDeletesThePlugin) {
    // Under the address sanitizer this also shows that nothing is leaked or freed twice.
    for (int i = 0; i < 3; ++i) {
        TestHost host;
        AEffect* e = host.Load(TestEffect::Entry);
        ASSERT_NE(e, nullptr);
        host.Open();
        (void)host.GetChunk(true);
        (void)host.GetChunk(false);
        EXPECT_EQ(host.Dispatch(effClose), 0);
        EXPECT_EQ(host.Effect(), nullptr);
    }
}

} // namespace
