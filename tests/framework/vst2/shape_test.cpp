// The host's view of an effect shaped like the shipped one, and how the record follows the
// construction arguments.
#include <cstring>

#include <gtest/gtest.h>

#include "tests/support/vst2/Conformance.h"
#include "tests/support/vst2/TestEffect.h"

namespace {

class ShapeTest : public ::testing::Test {
protected:
    void SetUp() override { TestEffect::sNextConfig = TestEffectConfig(); }
    void TearDown() override { TestEffect::sNextConfig = TestEffectConfig(); }
};

TEST_F(ShapeTest, RecordOfAFreshAndAnOpenedInstance) {
    ExpectShippedRecord(TestEffect::Entry, EditorKind::kNone);
}

TEST_F(ShapeTest, DispatcherAnswers) {
    ExpectShippedOpcodes(TestEffect::Entry, EditorKind::kNone);
}

TEST_F(ShapeTest, ChunkBytesAndRoundTrips) {
    ExpectShippedChunks(TestEffect::Entry);
}

TEST_F(ShapeTest, HostValuesAreSanitised) {
    ExpectHostValuesSanitised(TestEffect::Entry);
}

TEST_F(ShapeTest, AudioCallbacksAgree) {
    ExpectAudioCallbacksAgree(TestEffect::Entry);
}

TEST_F(ShapeTest, FlagsFollowTheConstructionArguments) {
    struct Case {
        const char* io;
        bool midi, chunks, synth;
        int32_t flags, category;
    } cases[] = {
        {"1-1 2-2", false, false, false, 0x1018, kPlugCategEffect},
        {"2-2", false, false, false, 0x1010, kPlugCategEffect}, // no mono configuration
        {"1-2", false, true, false, 0x1038, kPlugCategEffect},  // chunks, mono in
        {"0-2", true, false, true, 0x1110, kPlugCategSynth},    // instrument
    };
    for (const Case& c : cases) {
        TestEffect::sNextConfig.channelIO = c.io;
        TestEffect::sNextConfig.doesMidi = c.midi;
        TestEffect::sNextConfig.doesStateChunks = c.chunks;
        TestEffect::sNextConfig.isInstrument = c.synth;
        TestHost host;
        AEffect* e = host.Load(TestEffect::Entry);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->flags, c.flags) << c.io;
        EXPECT_EQ(host.Dispatch(effGetPlugCategory), c.category) << c.io;
        char midiCap[] = "receiveVstMidiEvent";
        EXPECT_EQ(host.Dispatch(effCanDo, 0, 0, midiCap), c.midi ? 1 : 0) << c.io;
    }
}

TEST_F(ShapeTest, MidiCapabilitiesOnlyForMidiEffects) {
    TestEffect::sNextConfig.doesMidi = true;
    TestHost host;
    ASSERT_NE(host.Load(TestEffect::Entry), nullptr);
    for (const char* cap : {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent",
                            "receiveVstTimeInfo"}) {
        char buf[64];
        std::strcpy(buf, cap);
        EXPECT_EQ(host.Dispatch(effCanDo, 0, 0, buf), 1) << cap;
    }
    char other[] = "sendVstTimeInfo";
    EXPECT_EQ(host.Dispatch(effCanDo, 0, 0, other), 0);
    // A MIDI plug-in tells the host it wants MIDI at every audio callback.
    host.Open();
    float l[4] = {}, r[4] = {};
    float* io[2] = {l, r};
    host.ProcessReplacing(io, io, 4);
    host.Process(io, io, 4);
    EXPECT_EQ(host.Calls(audioMasterWantMidi).size(), 2u);
}

TEST_F(ShapeTest, SpeakerArrangementTypesFollowTheChannelCounts) {
    struct Case {
        const char* io;
        int32_t inType, outType, nIn, nOut;
    } cases[] = {
        {"1-1 2-2", kSpeakerArrStereo, kSpeakerArrStereo, 2, 2},
        {"1-1", kSpeakerArrMono, kSpeakerArrMono, 1, 1},
        {"0-1", kSpeakerArrEmpty, kSpeakerArrMono, 0, 1},
        {"4-6", kSpeakerArrUserDefined, kSpeakerArrUserDefined, 4, 6},
    };
    for (const Case& c : cases) {
        TestEffect::sNextConfig.channelIO = c.io;
        TestHost host;
        AEffect* e = host.Load(TestEffect::Entry);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->numInputs, c.nIn);
        EXPECT_EQ(e->numOutputs, c.nOut);
        VstSpeakerArrangement* in = nullptr;
        VstSpeakerArrangement* out = nullptr;
        EXPECT_EQ(host.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 1);
        ASSERT_TRUE(in && out);
        EXPECT_EQ(in->type, c.inType) << c.io;
        EXPECT_EQ(out->type, c.outType) << c.io;
        EXPECT_EQ(in->numChannels, c.nIn);
        EXPECT_EQ(out->numChannels, c.nOut);
        for (const VstSpeakerProperties& s : in->speakers) EXPECT_EQ(s.type, 0);
        // Either pointer may be left out.
        out = nullptr;
        EXPECT_EQ(host.Dispatch(effGetSpeakerArrangement, 0, 0, &out), 1);
        EXPECT_NE(out, nullptr);
        EXPECT_EQ(host.Dispatch(effGetSpeakerArrangement, 0, 0, nullptr), 1);
    }
}

TEST_F(ShapeTest, PinPropertiesPairChannelsAndUseLabels) {
    TestEffect::sNextConfig.channelIO = "5-3";
    TestHost host;
    AEffect* e = host.Load(TestEffect::Entry);
    ASSERT_NE(e, nullptr);
    TestEffect* plug = TestEffect::From(e);
    plug->SetInputLabel(2, "Side L");
    // A label longer than the pin's field is cut to 63 characters.
    std::string longLabel(100, 'x');
    plug->SetOutputLabel(0, longLabel.c_str());

    const int32_t inFlags[] = {3, 1, 3, 1, 1};
    for (int i = 0; i < 5; ++i) {
        VstPinProperties pin;
        std::memset(&pin, 0x7F, sizeof(pin));
        EXPECT_EQ(host.Dispatch(effGetInputProperties, i, 0, &pin), 1);
        EXPECT_EQ(pin.flags, inFlags[i]) << i;
        EXPECT_STREQ(pin.label, i == 2 ? "Side L" : ("Input " + std::to_string(i + 1)).c_str());
        // Other fields stay as the host passed them.
        EXPECT_EQ(pin.arrangementType, 0x7F7F7F7F);
        EXPECT_EQ(pin.shortLabel[0], 0x7F);
    }
    VstPinProperties pin;
    EXPECT_EQ(host.Dispatch(effGetOutputProperties, 0, 0, &pin), 1);
    EXPECT_EQ(std::string(pin.label), std::string(63, 'x'));
    EXPECT_EQ(host.Dispatch(effGetOutputProperties, 2, 0, &pin), 1);
    EXPECT_EQ(pin.flags, 1); // the last, unpaired channel
    EXPECT_EQ(host.Dispatch(effGetOutputProperties, 3, 0, &pin), 0);
    EXPECT_EQ(host.Dispatch(effGetInputProperties, -1, 0, &pin), 0);
}

TEST_F(ShapeTest, ZeroProgramsAreReportedAsOne) {
    TestEffect::sNextConfig.nPresets = 0;
    TestHost host;
    AEffect* e = host.Load(TestEffect::Entry);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(host.GetString(effGetProgramNameIndexed, 0), "");
}

TEST_F(ShapeTest, FreeSlotsAreFilledWithTheCurrentStateAtCreation) {
    TestEffect::sNextConfig.makePresets = false;
    TestHost host;
    ASSERT_NE(host.Load(TestEffect::Entry), nullptr);
    for (int p = 0; p < 6; ++p) EXPECT_EQ(host.GetString(effGetProgramNameIndexed, p), "Empty");
    host.Dispatch(effSetProgram, 0, 5);
    EXPECT_FLOAT_EQ(host.GetParameter(0), 0.7f);
}

TEST_F(ShapeTest, EntryWithoutFactoryOrWithAThrowingFactoryGivesNull) {
    EXPECT_EQ(VSTCreateInstance(nullptr, nullptr), nullptr);
    auto throwing = [](const IEffectInstanceInfo&) -> IEffectVST* { throw 42; };
    EXPECT_EQ(VSTCreateInstance(nullptr, throwing), nullptr);
    auto none = [](const IEffectInstanceInfo&) -> IEffectVST* { return nullptr; };
    EXPECT_EQ(VSTCreateInstance(nullptr, none), nullptr);
}

} // namespace
