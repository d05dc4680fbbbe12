// Audio, time, gesture and event callbacks between the host and the binding.
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/vst2/TestEffect.h"
#include "tests/support/vst2/TestHost.h"

namespace {

class CallbacksTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestEffect::sNextConfig = TestEffectConfig();
        plug = TestEffect::From(host.Load(TestEffect::Entry));
        host.Open(44100.0f, 64);
        host.ClearCalls();
    }
    void TearDown() override { TestEffect::sNextConfig = TestEffectConfig(); }

    VstTimeInfo Time(int32_t flags) {
        VstTimeInfo t;
        std::memset(&t, 0, sizeof(t));
        t.sampleRate = 44100.0;
        t.flags = flags;
        return t;
    }

    static ITimeInfo Sentinel() {
        ITimeInfo info;
        info.mTempo = -11.0;
        info.mSamplePos = -12.0;
        info.mPPQPos = -13.0;
        info.mBarStartPos = -14.0;
        info.mCycleStart = -15.0;
        info.mCycleEnd = -16.0;
        info.mNumerator = -17;
        info.mDenominator = -18;
        info.mIsPlaying = true;
        info.mIsLooping = true;
        return info;
    }

    TestHost host;
    TestEffect* plug = nullptr;
};

// ---- Time ----

TEST_F(CallbacksTest, SamplePositionRoundsAndStaysInRange) {
    struct Case {
        double pos;
        int expected;
    } cases[] = {{99.5, 100},
                 {99.49, 99},
                 {0.0, 0},
                 {-3.0, 0},
                 {-0.2, 0},
                 {1e12, INT_MAX},
                 {std::numeric_limits<double>::quiet_NaN(), 0},
                 {std::numeric_limits<double>::infinity(), INT_MAX}};
    for (const Case& c : cases) {
        VstTimeInfo t = Time(0);
        t.samplePos = c.pos;
        host.SetTime(t);
        EXPECT_EQ(plug->GetSamplePos(), c.expected) << c.pos;
    }
    host.SetTimeAvailable(false);
    EXPECT_EQ(plug->GetSamplePos(), 0);
    for (const TestHost::Call& call : host.Calls(audioMasterGetTime)) EXPECT_EQ(call.value, 0);
}

TEST_F(CallbacksTest, TempoNeedsTheValidFlagAndANonNegativeValue) {
    VstTimeInfo t = Time(kVstTempoValid);
    t.tempo = 123.5;
    host.SetTime(t);
    EXPECT_EQ(plug->GetTempo(), 123.5);
    EXPECT_EQ(plug->GetSamplesPerBeat(), 44100.0 * 60.0 / 123.5);
    t.tempo = 0.0;
    host.SetTime(t);
    EXPECT_EQ(plug->GetTempo(), 0.0);
    EXPECT_EQ(plug->GetSamplesPerBeat(), 0.0);
    t.tempo = -5.0;
    host.SetTime(t);
    EXPECT_EQ(plug->GetTempo(), 0.0);
    t.tempo = 140.0;
    t.flags = kVstTransportPlaying;
    host.SetTime(t);
    EXPECT_EQ(plug->GetTempo(), 0.0);
    host.SetTimeAvailable(false);
    EXPECT_EQ(plug->GetTempo(), 0.0);
    for (const TestHost::Call& call : host.Calls(audioMasterGetTime)) EXPECT_EQ(call.value, 0x400);
}

TEST_F(CallbacksTest, TimeSignatureAcceptsZeroButNotNegativeParts) {
    int num = 99, den = 99;
    VstTimeInfo t = Time(kVstTimeSigValid);
    t.timeSigNumerator = 7;
    t.timeSigDenominator = 8;
    host.SetTime(t);
    plug->GetTimeSig(&num, &den);
    EXPECT_EQ(num, 7);
    EXPECT_EQ(den, 8);
    t.timeSigNumerator = 0;
    t.timeSigDenominator = 0;
    host.SetTime(t);
    plug->GetTimeSig(&num, &den);
    EXPECT_EQ(num, 0);
    EXPECT_EQ(den, 0);
    t.timeSigNumerator = -1;
    t.timeSigDenominator = 4;
    host.SetTime(t);
    num = den = 99;
    plug->GetTimeSig(&num, &den);
    EXPECT_EQ(num, 0);
    EXPECT_EQ(den, 0);
    t.timeSigNumerator = 3;
    t.flags = kVstTempoValid;
    host.SetTime(t);
    num = den = 99;
    plug->GetTimeSig(&num, &den);
    EXPECT_EQ(num, 0);
    EXPECT_EQ(den, 0);
    host.SetTimeAvailable(false);
    num = den = 99;
    plug->GetTimeSig(&num, &den);
    EXPECT_EQ(num, 0);
    EXPECT_EQ(den, 0);
    for (const TestHost::Call& call : host.Calls(audioMasterGetTime)) EXPECT_EQ(call.value, 0x2000);
}

TEST_F(CallbacksTest, FullTimeInfoIsConverted) {
    VstTimeInfo t = Time(kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid |
                         kVstTimeSigValid | kVstTransportPlaying | kVstTransportCycleActive);
    t.samplePos = 88200.0;
    t.tempo = 90.0;
    t.ppqPos = 0.0; // zero positions are valid
    t.barStartPos = 0.0;
    t.cycleStartPos = 0.0;
    t.cycleEndPos = 16.0;
    t.timeSigNumerator = 6;
    t.timeSigDenominator = 8;
    host.SetTime(t);
    ITimeInfo info = Sentinel();
    plug->GetTime(&info);
    EXPECT_EQ(info.mTempo, 90.0);
    EXPECT_EQ(info.mSamplePos, 88200.0);
    EXPECT_EQ(info.mPPQPos, 0.0);
    EXPECT_EQ(info.mBarStartPos, 0.0);
    EXPECT_EQ(info.mCycleStart, 0.0);
    EXPECT_EQ(info.mCycleEnd, 16.0);
    EXPECT_EQ(info.mNumerator, 6);
    EXPECT_EQ(info.mDenominator, 8);
    EXPECT_TRUE(info.mIsPlaying);
    EXPECT_TRUE(info.mIsLooping);
    ASSERT_EQ(host.Calls(audioMasterGetTime).size(), 1u);
    EXPECT_EQ(host.Calls(audioMasterGetTime)[0].value, 0x3E00);
}

TEST_F(CallbacksTest, TimeInfoFieldsWithFailedConditionsKeepTheCallersValues) {
    VstTimeInfo t =
        Time(kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid);
    t.samplePos = 5.0;
    t.tempo = 0.0;          // valid but not positive
    t.ppqPos = -1.0;        // negative
    t.barStartPos = -4.0;   // negative
    t.cycleStartPos = -1.0; // one negative cycle end spoils both
    t.cycleEndPos = 8.0;
    t.timeSigNumerator = 0; // 0 is refused here
    t.timeSigDenominator = 4;
    host.SetTime(t);
    ITimeInfo info = Sentinel();
    plug->GetTime(&info);
    EXPECT_EQ(info.mTempo, -11.0);
    EXPECT_EQ(info.mSamplePos, 5.0);
    EXPECT_EQ(info.mPPQPos, -13.0);
    EXPECT_EQ(info.mBarStartPos, -14.0);
    EXPECT_EQ(info.mCycleStart, -15.0);
    EXPECT_EQ(info.mCycleEnd, -16.0);
    EXPECT_EQ(info.mNumerator, -17);
    EXPECT_EQ(info.mDenominator, -18);
    // The transport flags are always written.
    EXPECT_FALSE(info.mIsPlaying);
    EXPECT_FALSE(info.mIsLooping);
    EXPECT_EQ(plug->GetTempo(), 0.0);

    // Valid flags missing: the values are there but not taken.
    t.flags = kVstTempoValid;
    t.tempo = 100.0;
    t.ppqPos = 2.0;
    t.timeSigNumerator = 3;
    host.SetTime(t);
    info = Sentinel();
    plug->GetTime(&info);
    EXPECT_EQ(info.mTempo, 100.0);
    EXPECT_EQ(info.mPPQPos, -13.0);
    EXPECT_EQ(info.mNumerator, -17);
}

TEST_F(CallbacksTest, TimeInfoWithoutPositionFlagsOrWithoutAnswerWritesNothing) {
    VstTimeInfo t = Time(kVstTransportPlaying | kVstTransportCycleActive | kVstNanosValid);
    t.samplePos = 1000.0;
    host.SetTime(t);
    ITimeInfo info = Sentinel();
    plug->GetTime(&info);
    EXPECT_EQ(info.mSamplePos, -12.0);
    EXPECT_TRUE(info.mIsPlaying);
    EXPECT_EQ(info.mNumerator, -17);
    host.SetTimeAvailable(false);
    plug->GetTime(&info);
    EXPECT_EQ(info.mSamplePos, -12.0);
    plug->GetTime(nullptr);
}

TEST_F(CallbacksTest, TimeQueriesDuringProcessingFollowTheHostClock) {
    TestEffect::sNextConfig.queryTimeInProcess = true;
    TestHost timed;
    TestEffect* p = TestEffect::From(timed.Load(TestEffect::Entry));
    timed.Open(48000.0f, 256);
    VstTimeInfo t = Time(kVstTempoValid | kVstPpqPosValid | kVstTimeSigValid | kVstTransportPlaying);
    t.sampleRate = 48000.0;
    t.tempo = 120.0;
    t.timeSigNumerator = 3;
    t.timeSigDenominator = 4;
    timed.SetTime(t);
    std::vector<float> buf(256);
    float* io[2] = {buf.data(), buf.data()};
    for (int block = 0; block < 4; ++block) {
        timed.ProcessReplacing(io, io, 256);
        EXPECT_EQ(p->mLastSamplePos, block * 256);
        EXPECT_EQ(p->mLastTime.mSamplePos, block * 256.0);
        // 256 frames at 48 kHz and 120 bpm are 0.010666... quarter notes.
        EXPECT_DOUBLE_EQ(p->mLastTime.mPPQPos, block * 256.0 / 48000.0 * 2.0);
        EXPECT_EQ(p->mLastTempo, 120.0);
        EXPECT_EQ(p->mLastNumerator, 3);
        EXPECT_EQ(p->mLastDenominator, 4);
        EXPECT_TRUE(p->mLastTime.mIsPlaying);
        timed.AdvanceClock(256);
    }
}

TEST_F(CallbacksTest, WithoutAHostCallbackEveryHostQueryAnswersNothing) {
    AEffect* e = VSTCreateInstance(nullptr, [](const IEffectInstanceInfo& info) -> IEffectVST* {
        return new TestEffect(info, TestEffectConfig());
    });
    ASSERT_NE(e, nullptr);
    TestEffect* p = TestEffect::From(e);
    EXPECT_EQ(e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(p->GetHost(), kHostUnknown);
    EXPECT_EQ(p->GetTempo(), 0.0);
    EXPECT_EQ(p->GetSamplePos(), 0);
    EXPECT_FALSE(p->IsRenderingOffline());
    IMidiMsg msg(0, 0x90, 60, 100);
    EXPECT_FALSE(p->SendMidiMsg(&msg));
    p->SimulateEdit(0, 0.5);
    EXPECT_EQ(e->getParameter(e, 0), 0.5f);
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}

TEST_F(CallbacksTest, OfflineOnlyWhenTheHostSaysSo) {
    host.SetProcessLevel(kVstProcessLevelOffline);
    EXPECT_TRUE(plug->IsRenderingOffline());
    for (intptr_t level : {0, 1, 2, 3, 5}) {
        host.SetProcessLevel(level);
        EXPECT_FALSE(plug->IsRenderingOffline()) << level;
    }
}

// ---- Gestures and automation ----

TEST_F(CallbacksTest, AnEditorGestureIsReportedAsBeginAutomateEnd) {
    plug->SimulateEdit(1, 0.3);
    plug->SimulateEdit(4, 0.3); // rounds to 0, but the host hears what the editor sent
    std::vector<TestHost::Call> calls = host.Calls();
    // Switching OnOff off drops the latency while processing, which the host hears at once.
    const TestHost::Call want[] = {{audioMasterBeginEdit, 1, 0, 0.0f}, {audioMasterAutomate, 1, 0, 0.3f},
                                   {audioMasterEndEdit, 1, 0, 0.0f},   {audioMasterBeginEdit, 4, 0, 0.0f},
                                   {audioMasterAutomate, 4, 0, 0.3f},  {audioMasterIOChanged, 0, 0, 0.0f},
                                   {audioMasterEndEdit, 4, 0, 0.0f}};
    ASSERT_EQ(calls.size(), std::size(want));
    for (size_t k = 0; k < std::size(want); ++k) {
        EXPECT_EQ(calls[k].opcode, want[k].opcode) << k;
        EXPECT_EQ(calls[k].index, want[k].index) << k;
        EXPECT_EQ(calls[k].value, 0) << k;
        EXPECT_EQ(calls[k].opt, want[k].opt) << k;
    }
    EXPECT_FLOAT_EQ(host.GetParameter(1), 0.3f);
    EXPECT_EQ(host.GetParameter(4), 0.0f);
}

TEST(Vst2Latency, AChangeWhileProcessingIsAnnouncedOtherwiseTheRecordIsEnough) {
    TestEffect::sNextConfig = TestEffectConfig();
    TestHost host;
    AEffect* e = host.Load(TestEffect::Entry);
    ASSERT_NE(e, nullptr);
    auto announced = [&host] { return host.Calls(audioMasterIOChanged).size(); };
    // Depth 1, 0.5 and 0.75 give 1500, 1190 and 1362 samples.
    constexpr int32_t kDepthChange = -1;
    struct Step {
        int32_t opcode; // effOpen, effMainsChanged (value 1 or 0), or kDepthChange
        intptr_t value;
        float depth;
        int32_t latency;
        size_t announcements; // so far
    };
    const Step steps[] = {
        {effOpen, 0, 0.0f, 1362, 0},         // before processing the host reads the record
        {kDepthChange, 0, 1.0f, 1500, 0},    //
        {effMainsChanged, 1, 0.0f, 1500, 0}, // resumed: the host reads initialDelay now
        {kDepthChange, 0, 0.5f, 1190, 1},    // a change while processing is announced
        {kDepthChange, 0, 0.5f, 1190, 1},    // the same latency again is not
        {kDepthChange, 0, 1.0f, 1500, 2},    //
        {effMainsChanged, 0, 0.0f, 1500, 2}, // suspended: the record is enough again
        {kDepthChange, 0, 0.75f, 1362, 2},   //
        {effMainsChanged, 1, 0.0f, 1362, 2}, //
        {kDepthChange, 0, 1.0f, 1500, 3},
    };
    for (const Step& s : steps) {
        if (s.opcode != kDepthChange) {
            host.Dispatch(s.opcode, 0, s.value);
        } else {
            host.SetParameter(TestEffect::kDepth, s.depth);
        }
        EXPECT_EQ(e->initialDelay, s.latency) << s.opcode << " " << s.depth;
        EXPECT_EQ(announced(), s.announcements) << s.opcode << " " << s.depth;
    }
}

// A latency change made on the audio thread (where hosts automate) is announced from the host's next
// call on another thread, effEditIdle or setParameter included, never from inside the change; when no
// such call comes, the audio thread announces it itself once 50 ms of audio (2205 frames) have passed,
// after its block. Whatever is pending at a suspend is dropped: the host reads the record at resume.
TEST(Vst2Latency, AChangeOnTheAudioThreadIsAnnouncedOffItUnlessTheHostStaysSilent) {
    TestEffect::sNextConfig = TestEffectConfig();
    TestHost host;
    AEffect* e = host.Load(TestEffect::Entry);
    ASSERT_NE(e, nullptr);
    host.Open(44100.0f, 512);
    // This thread runs the blocks, so it is the audio thread; the other steps run on threads of their
    // own, as a host's user-interface calls do.
    std::vector<float> buf(512, 0.25f);
    float* io[2] = {buf.data(), buf.data()};
    enum Where { kAudio, kOther };
    enum What { kBlocks, kDepth, kEditIdle, kVol, kSuspend, kResume };
    struct Step {
        Where where;
        What what;
        float value;          // blocks of 512 frames, or the parameter's value
        int32_t latency;      // the record afterwards
        size_t announcements; // so far
    };
    const Step steps[] = {
        {kAudio, kBlocks, 1, 1362, 0},
        {kAudio, kDepth, 0.5f, 1190, 0}, // no announcement from inside
        {kAudio, kBlocks, 4, 1190, 0},
        {kOther, kEditIdle, 0, 1190, 1}, // the UI thread's idle call
        {kOther, kEditIdle, 0, 1190, 1},
        {kAudio, kDepth, 1.0f, 1500, 1}, //
        {kOther, kVol, 0.5f, 1500, 2},
        {kAudio, kDepth, 0.75f, 1362, 2}, // setParameter off the audio thread
        {kAudio, kBlocks, 4, 1362, 2},
        {kAudio, kBlocks, 1, 1362, 3}, // 2560 frames: the audio thread
        {kAudio, kBlocks, 8, 1362, 3},
        {kAudio, kDepth, 0.5f, 1190, 3}, //
        {kOther, kSuspend, 0, 1190, 3},
        {kOther, kResume, 0, 1190, 3}, // dropped at the suspend
        {kAudio, kBlocks, 8, 1190, 3},
        {kOther, kEditIdle, 0, 1190, 3},
    };
    int k = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(k++);
        auto act = [&] {
            switch (s.what) {
            case kBlocks:
                for (int b = 0; b < static_cast<int>(s.value); ++b) host.ProcessReplacing(io, io, 512);
                break;
            case kDepth:
                host.SetParameter(TestEffect::kDepth, s.value);
                break;
            case kVol:
                host.SetParameter(TestEffect::kVol, s.value);
                break;
            case kEditIdle:
                host.Dispatch(effEditIdle);
                break;
            case kSuspend:
            case kResume:
                host.Dispatch(effMainsChanged, 0, s.what == kResume ? 1 : 0);
                break;
            }
        };
        if (s.where == kAudio)
            act();
        else
            std::thread(act).join();
        EXPECT_EQ(e->initialDelay, s.latency);
        EXPECT_EQ(host.Calls(audioMasterIOChanged).size(), s.announcements);
    }
    host.Close();
}

TEST_F(CallbacksTest, DirtyParametersAutomatesEveryParameterAndProgramChangeRefreshesTheDisplay) {
    plug->DirtyParameters();
    std::vector<TestHost::Call> calls = host.Calls(audioMasterAutomate);
    ASSERT_EQ(calls.size(), 5u);
    const float expected[] = {0.7f, 0.5f, 0.75f, 0.5f, 1.0f};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(calls[i].index, i);
        EXPECT_FLOAT_EQ(calls[i].opt, expected[i]);
    }
    plug->InformHostOfProgramChange();
    EXPECT_EQ(host.Calls(audioMasterUpdateDisplay).size(), 1u);
}

// ---- Events ----

struct EventList4 {
    int32_t numEvents;
    intptr_t reserved;
    VstEvent* events[4];
};
static_assert(offsetof(EventList4, events) == offsetof(VstEvents, events));

TEST_F(CallbacksTest, IncomingEventsAreDeliveredInOrderAndMidiPassesThrough) {
    VstMidiEvent noteOn, cc;
    std::memset(&noteOn, 0, sizeof(noteOn));
    std::memset(&cc, 0, sizeof(cc));
    noteOn.type = kVstMidiType;
    noteOn.byteSize = sizeof(VstMidiEvent);
    noteOn.deltaFrames = 12;
    noteOn.midiData[0] = static_cast<char>(0x91);
    noteOn.midiData[1] = 60;
    noteOn.midiData[2] = 100;
    cc = noteOn;
    cc.deltaFrames = 40;
    cc.midiData[0] = static_cast<char>(0xB0);
    cc.midiData[1] = 7;
    cc.midiData[2] = 127;
    char dump[] = {static_cast<char>(0xF0), 0x7E, static_cast<char>(0xF7)};
    VstMidiSysexEvent sysex;
    std::memset(&sysex, 0, sizeof(sysex));
    sysex.type = kVstSysExType;
    sysex.byteSize = sizeof(VstMidiSysexEvent);
    sysex.deltaFrames = 3;
    sysex.dumpBytes = 3;
    sysex.sysexDump = dump;
    VstEvent other;
    std::memset(&other, 0, sizeof(other));
    other.type = kVstParameterType;

    EventList4 list;
    list.numEvents = 5;
    list.reserved = 0;
    list.events[0] = reinterpret_cast<VstEvent*>(&noteOn);
    list.events[1] = nullptr;
    list.events[2] = reinterpret_cast<VstEvent*>(&sysex);
    list.events[3] = &other;
    // A fifth entry beyond the two the record declares.
    struct {
        EventList4 head;
        VstEvent* fifth;
    } longer{list, reinterpret_cast<VstEvent*>(&cc)};
    static_assert(offsetof(decltype(longer), fifth) == offsetof(EventList4, events) + 4 * sizeof(VstEvent*));

    EXPECT_EQ(host.Dispatch(effProcessEvents, 0, 0, &longer), 1);
    std::vector<TestHost::SentEvent> sent = host.SentEvents();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].type, kVstMidiType);
    EXPECT_EQ(sent[0].byteSize, 32);
    EXPECT_EQ(sent[0].deltaFrames, 12);
    EXPECT_EQ(sent[0].bytes, (std::vector<uint8_t>{0x91, 60, 100, 0}));
    EXPECT_EQ(sent[1].deltaFrames, 40);
    EXPECT_EQ(sent[1].bytes, (std::vector<uint8_t>{0xB0, 7, 127, 0}));
    EXPECT_EQ(host.Calls(audioMasterProcessEvents).size(), 2u);
    ASSERT_EQ(plug->mSysEx.size(), 1u);
    EXPECT_EQ(plug->mSysEx[0], (std::vector<uint8_t>{0xF0, 0x7E, 0xF7}));

    // Dumps that cannot be read are not delivered.
    VstMidiSysexEvent negative = sysex, missing = sysex;
    negative.dumpBytes = -1;
    missing.sysexDump = nullptr;
    EventList4 bad{
        2,
        0,
        {reinterpret_cast<VstEvent*>(&negative), reinterpret_cast<VstEvent*>(&missing), nullptr, nullptr}};
    EXPECT_EQ(host.Dispatch(effProcessEvents, 0, 0, &bad), 1);
    EXPECT_EQ(plug->mSysEx.size(), 1u);

    EventList4 empty{0, 0, {nullptr, nullptr, nullptr, nullptr}};
    EXPECT_EQ(host.Dispatch(effProcessEvents, 0, 0, &empty), 1);
    empty.numEvents = -3;
    EXPECT_EQ(host.Dispatch(effProcessEvents, 0, 0, &empty), 1);
    EXPECT_EQ(host.SentEvents().size(), 2u);
}

TEST_F(CallbacksTest, SendingSucceedsOnlyWhenTheHostAnswersOne) {
    IMidiMsg msg(5, 0x80, 64, 0);
    for (intptr_t answer : {0, 2, -1}) {
        host.SetProcessEventsAnswer(answer);
        EXPECT_FALSE(plug->SendMidiMsg(&msg)) << answer;
    }
    host.SetProcessEventsAnswer(1);
    EXPECT_TRUE(plug->SendMidiMsg(&msg));
    EXPECT_FALSE(plug->SendMidiMsg(nullptr));

    const uint8_t bytes[] = {0xF0, 0x43, 0x10, 0xF7};
    ISysEx sysex(9, bytes, 4);
    EXPECT_TRUE(plug->SendSysEx(&sysex));
    host.SetProcessEventsAnswer(0);
    EXPECT_FALSE(plug->SendSysEx(&sysex));
    std::vector<TestHost::SentEvent> sent = host.SentEvents();
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_EQ(sent[3].bytes, (std::vector<uint8_t>{0x80, 64, 0, 0}));
    EXPECT_EQ(sent[3].deltaFrames, 5);
    EXPECT_EQ(sent[4].type, kVstSysExType);
    EXPECT_EQ(sent[4].byteSize, 48);
    EXPECT_EQ(sent[4].deltaFrames, 9);
    EXPECT_EQ(sent[4].bytes, (std::vector<uint8_t>(bytes, bytes + 4)));
    // One host call per send, nothing queued.
    EXPECT_EQ(host.Calls(audioMasterProcessEvents).size(), 6u);
}

// ---- Audio ----

class AudioTest : public CallbacksTest {
protected:
    static constexpr int kN = 200; // longer than the block size 64
    void Fill() {
        for (int i = 0; i < kN; ++i) {
            in0[i] = 0.25f * static_cast<float>(i % 17) - 1.0f;
            in1[i] = 0.125f * static_cast<float>(i % 23);
            out0[i] = 7.0f;
            out1[i] = -3.0f;
        }
    }
    float in0[kN], in1[kN], out0[kN], out1[kN];
};

TEST_F(AudioTest, ReplacingOverwritesAndAccumulatingAdds) {
    host.SetParameter(3, 0.25f); // Vol 0.5
    Fill();
    float* in[2] = {in0, in1};
    float* out[2] = {out0, out1};
    host.ProcessReplacing(in, out, 64);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(out0[i], in0[i] * 0.5f) << i;
        ASSERT_EQ(out1[i], in1[i] * 0.5f) << i;
    }
    EXPECT_EQ(out0[64], 7.0f);
    Fill();
    host.Process(in, out, 64);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(out0[i], 7.0f + in0[i] * 0.5f) << i;
        ASSERT_EQ(out1[i], -3.0f + in1[i] * 0.5f) << i;
    }
}

TEST_F(AudioTest, DoubleProcessingWorksOnTheHostsBuffers) {
    host.SetParameter(3, 0.375f); // Vol 0.75
    double d0[64], d1[64], o0[64], o1[64];
    for (int i = 0; i < 64; ++i) {
        d0[i] = i * 0.01;
        d1[i] = -i * 0.02;
    }
    double* in[2] = {d0, d1};
    double* out[2] = {o0, o1};
    host.ProcessDoubleReplacing(in, out, 64);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(o0[i], d0[i] * 0.75);
        ASSERT_EQ(o1[i], d1[i] * 0.75);
    }
    EXPECT_EQ(plug->mLastInputs[0], d0);
    EXPECT_EQ(plug->mLastInputs[1], d1);
    EXPECT_EQ(plug->mLastOutputs[0], o0);
    EXPECT_EQ(plug->mLastOutputs[1], o1);
}

TEST_F(AudioTest, BlocksLongerThanTheBlockSizeAreProcessedInPieces) {
    host.SetParameter(3, 0.25f);
    for (int form = 0; form < 3; ++form) {
        Fill();
        double d0[kN], d1[kN], o0[kN], o1[kN];
        for (int i = 0; i < kN; ++i) {
            d0[i] = in0[i];
            d1[i] = in1[i];
            o0[i] = o1[i] = 9.0;
        }
        float* in[2] = {in0, in1};
        float* out[2] = {out0, out1};
        double* din[2] = {d0, d1};
        double* dout[2] = {o0, o1};
        plug->mLargestBlock = 0;
        plug->mBlocks = 0;
        plug->mFramesProcessed = 0;
        if (form == 0) host.ProcessReplacing(in, out, kN);
        if (form == 1) host.Process(in, out, kN);
        if (form == 2) host.ProcessDoubleReplacing(din, dout, kN);
        EXPECT_EQ(plug->mFramesProcessed, kN) << form;
        EXPECT_EQ(plug->mBlocks, 4) << form; // 64 + 64 + 64 + 8
        EXPECT_EQ(plug->mLargestBlock, 64) << form;
        for (int i = 0; i < kN; ++i) {
            if (form == 0) {
                ASSERT_EQ(out0[i], in0[i] * 0.5f) << i;
            } else if (form == 1) {
                ASSERT_EQ(out1[i], -3.0f + in1[i] * 0.5f) << i;
            } else {
                ASSERT_EQ(o1[i], d1[i] * 0.5) << i;
            }
        }
    }
}

TEST_F(AudioTest, EmptyOrMissingBuffersAreHandledSafely) {
    Fill();
    float* in[2] = {in0, in1};
    float* out[2] = {out0, out1};
    host.ProcessReplacing(in, out, 0);
    host.ProcessReplacing(in, out, -5);
    host.Process(in, out, -1);
    EXPECT_EQ(plug->mBlocks, 0);
    EXPECT_EQ(out0[0], 7.0f);
    // No output array: nowhere to deliver, nothing happens.
    host.ProcessReplacing(in, nullptr, 64);
    host.ProcessDoubleReplacing(nullptr, nullptr, 64);
    EXPECT_EQ(plug->mBlocks, 0);
    // No input array: the inputs are silent.
    host.ProcessReplacing(nullptr, out, 64);
    EXPECT_EQ(plug->mBlocks, 1);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(out0[i], 0.0f);
    // A null channel buffer reads silence too.
    Fill();
    float* partial[2] = {in0, nullptr};
    host.ProcessReplacing(partial, out, 64);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(out0[i], in0[i]);
        ASSERT_EQ(out1[i], 0.0f);
    }
    // Also in double precision, after float blocks have passed audio through the conversion buffers,
    // and for a missing input array.
    Fill();
    float* both[2] = {in0, in1};
    host.ProcessReplacing(both, out, 64);
    ASSERT_EQ(out1[5], 0.625f);
    double d0[64], o0[64], o1[64];
    for (int i = 0; i < 64; ++i) d0[i] = 0.5 + i;
    double* dpartial[2] = {d0, nullptr};
    double* dout[2] = {o0, o1};
    host.ProcessDoubleReplacing(dpartial, dout, 64);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(o0[i], 0.5 + i) << i;
        ASSERT_EQ(o1[i], 0.0) << i;
    }
    host.ProcessReplacing(both, out, 64);
    host.ProcessDoubleReplacing(nullptr, dout, 64);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(o0[i], 0.0) << i;
        ASSERT_EQ(o1[i], 0.0) << i;
    }
}

TEST_F(AudioTest, AMonoInputArrangementLeavesTheSecondInputSilent) {
    VstSpeakerArrangement mono, stereo;
    std::memset(&mono, 0, sizeof(mono));
    std::memset(&stereo, 0, sizeof(stereo));
    mono.type = kSpeakerArrMono;
    mono.numChannels = 1;
    stereo.type = kSpeakerArrStereo;
    stereo.numChannels = 2;
    EXPECT_EQ(host.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&mono), &stereo), 1);
    EXPECT_FALSE(plug->IsInChannelConnected(1));
    EXPECT_TRUE(plug->IsInChannelConnected(0));
    EXPECT_EQ(host.Effect()->numInputs, 2);
    VstSpeakerArrangement* in = nullptr;
    host.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), nullptr);
    EXPECT_EQ(in->numChannels, 2); // the stored arrangement is not changed

    Fill();
    float* inputs[1] = {in0}; // the host passes one input buffer
    float* outputs[2] = {out0, out1};
    host.ProcessReplacing(inputs, outputs, 64);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(out0[i], in0[i]);
        ASSERT_EQ(out1[i], 0.0f);
    }

    // Back to stereo, then a mono output: the second output is not written.
    EXPECT_EQ(host.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&stereo), &mono), 1);
    EXPECT_TRUE(plug->IsInChannelConnected(1));
    EXPECT_FALSE(plug->IsOutChannelConnected(1));
    Fill();
    float* both[2] = {in0, in1};
    float* one[1] = {out0};
    host.ProcessReplacing(both, one, 64);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(out0[i], in0[i]);
    EXPECT_EQ(out1[0], -3.0f);

    // Counts beyond the channels and negative counts are held to the channels.
    mono.numChannels = 9;
    stereo.numChannels = -4;
    EXPECT_EQ(host.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&mono), &stereo), 1);
    EXPECT_TRUE(plug->IsInChannelConnected(1));
    EXPECT_FALSE(plug->IsOutChannelConnected(0));
}

TEST_F(AudioTest, AnInputDisconnectedAfterProcessingReadsSilenceNotItsLastBlock) {
    // Stereo blocks first: the second input's samples pass through its conversion buffer.
    Fill();
    float* both[2] = {in0, in1};
    float* outputs[2] = {out0, out1};
    host.ProcessReplacing(both, outputs, 64);
    ASSERT_EQ(out1[5], 0.625f);

    VstSpeakerArrangement mono, stereo;
    std::memset(&mono, 0, sizeof(mono));
    std::memset(&stereo, 0, sizeof(stereo));
    mono.type = kSpeakerArrMono;
    mono.numChannels = 1;
    stereo.type = kSpeakerArrStereo;
    stereo.numChannels = 2;
    EXPECT_EQ(host.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&mono), &stereo), 1);

    // The host now passes one input: the disconnected second input is silent in every form.
    Fill();
    float* one[1] = {in0};
    host.ProcessReplacing(one, outputs, 64);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(out0[i], in0[i]) << i;
        ASSERT_EQ(out1[i], 0.0f) << i;
    }
    double d0[64], o0[64], o1[64];
    for (int i = 0; i < 64; ++i) {
        d0[i] = 0.5 + i;
        o1[i] = 9.0;
    }
    double* din[1] = {d0};
    double* dout[2] = {o0, o1};
    host.ProcessDoubleReplacing(din, dout, 64);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(o0[i], 0.5 + i) << i;
        ASSERT_EQ(o1[i], 0.0) << i;
    }
}

} // namespace
