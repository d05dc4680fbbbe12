#include "framework/plugin/IMidiMsg.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(MidiMsgBuild, NoteOnAndOff) {
    IMidiMsg msg(99, 0xFF, 0xFF, 0xFF);
    msg.MakeNoteOnMsg(60, 100, 12, 1);
    EXPECT_EQ(msg.mStatus, 0x91);
    EXPECT_EQ(msg.mData1, 60);
    EXPECT_EQ(msg.mData2, 100);
    EXPECT_EQ(msg.mOffset, 12);
    EXPECT_EQ(msg.NoteNumber(), 60);
    EXPECT_EQ(msg.Velocity(), 100);
    EXPECT_EQ(msg.StatusMsg(), IMidiMsg::kNoteOn);
    EXPECT_EQ(msg.Channel(), 1);

    msg.MakeNoteOffMsg(61, 7, 15);
    EXPECT_EQ(msg.mStatus, 0x8F);
    EXPECT_EQ(msg.mData1, 61);
    EXPECT_EQ(msg.mData2, 0); // cleared from the previous note-on
    EXPECT_EQ(msg.mOffset, 7);
    EXPECT_EQ(msg.StatusMsg(), IMidiMsg::kNoteOff);
    EXPECT_EQ(msg.Velocity(), 0);
    EXPECT_EQ(msg.Channel(), 15);
}

TEST(MidiMsgBuild, PitchWheelPackingAndClamping) {
    IMidiMsg msg(55, 1, 2, 3);
    msg.MakePitchWheelMsg(0.0, 0);
    EXPECT_EQ(msg.mStatus, 0xE0);
    EXPECT_EQ(msg.mData1, 0);
    EXPECT_EQ(msg.mData2, 64);
    EXPECT_EQ(msg.mOffset, 0);
    EXPECT_EQ(msg.PitchWheel(), 0.0);

    msg.MakePitchWheelMsg(1.0, 3);
    EXPECT_EQ(msg.mStatus, 0xE3);
    EXPECT_EQ(msg.mData1, 127);
    EXPECT_EQ(msg.mData2, 127);
    EXPECT_EQ(msg.PitchWheel(), 8191.0 / 8192.0);

    msg.MakePitchWheelMsg(-2.0, 0);
    EXPECT_EQ(msg.mData1, 0);
    EXPECT_EQ(msg.mData2, 0);
    EXPECT_EQ(msg.PitchWheel(), -1.0);

    // 0.3 * 8192 = 2457.6 truncates to 2457; + 8192 = 10649 = 83 * 128 + 25.
    msg.MakePitchWheelMsg(0.3, 0);
    EXPECT_EQ(msg.mData1, 25);
    EXPECT_EQ(msg.mData2, 83);
    // -0.3 truncates toward zero: -2457 + 8192 = 5735 = 44 * 128 + 103.
    msg.MakePitchWheelMsg(-0.3, 0);
    EXPECT_EQ(msg.mData1, 103);
    EXPECT_EQ(msg.mData2, 44);
    EXPECT_EQ(msg.PitchWheel(), -2457.0 / 8192.0);

    // Values no int can hold stay within the wheel instead of overflowing.
    msg.MakePitchWheelMsg(1e300, 0);
    EXPECT_EQ(msg.mData1, 127);
    EXPECT_EQ(msg.mData2, 127);
    msg.MakePitchWheelMsg(-1e300, 0);
    EXPECT_EQ(msg.mData1, 0);
    EXPECT_EQ(msg.mData2, 0);
    msg.MakePitchWheelMsg(__builtin_nan(""), 0);
    EXPECT_EQ(msg.mData1, 0);
    EXPECT_EQ(msg.mData2, 64);
}

TEST(MidiMsgBuild, ControlChange) {
    IMidiMsg msg(4, 0, 0, 0);
    msg.MakeControlChangeMsg(IMidiMsg::kChannelVolume, 0.5, 0);
    EXPECT_EQ(msg.mStatus, 0xB0);
    EXPECT_EQ(msg.mData1, 7);
    EXPECT_EQ(msg.mData2, 63);
    EXPECT_EQ(msg.mOffset, 0);
    EXPECT_EQ(msg.ControlChangeIdx(), 7);
    EXPECT_EQ(msg.ControlChange(IMidiMsg::kChannelVolume), 63.0 / 127.0);
    EXPECT_EQ(msg.ControlChange(IMidiMsg::kBalance), -1.0);

    msg.MakeControlChangeMsg(static_cast<IMidiMsg::EControlChangeMsg>(74), 1.0, 9);
    EXPECT_EQ(msg.mStatus, 0xB9);
    EXPECT_EQ(msg.mData1, 74);
    EXPECT_EQ(msg.mData2, 127);
    EXPECT_EQ(msg.ControlChange(static_cast<IMidiMsg::EControlChangeMsg>(74)), 1.0);

    // Out-of-range values stay within the 7-bit data byte.
    msg.MakeControlChangeMsg(IMidiMsg::kModWheel, 5.0, 0);
    EXPECT_EQ(msg.mData2, 127);
    msg.MakeControlChangeMsg(IMidiMsg::kModWheel, -1.0, 0);
    EXPECT_EQ(msg.mData2, 0);
}

TEST(MidiMsgBuild, ClearZeroesEverything) {
    IMidiMsg msg(12, 0x91, 60, 100);
    msg.Clear();
    EXPECT_EQ(msg.mOffset, 0);
    EXPECT_EQ(msg.mStatus, 0);
    EXPECT_EQ(msg.mData1, 0);
    EXPECT_EQ(msg.mData2, 0);

    const unsigned char bytes[] = {0xF0, 0xF7};
    ISysEx sysex(3, bytes, 2);
    sysex.Clear();
    EXPECT_EQ(sysex.mOffset, 0);
    EXPECT_EQ(sysex.mSize, 0);
    EXPECT_EQ(sysex.mData, nullptr);
}

// Every decoder against every kind of message: only the matching kind answers with its data byte.
TEST(MidiMsgDecode, DecodersAnswerOnlyForTheirKind) {
    struct Row {
        uint8_t status;
        IMidiMsg::EStatusMsg kind;
        int note, velocity, polyAT, channelAT, program;
        double wheel;
    };
    // data1 = 0x15 (21), data2 = 0x42 (66) throughout.
    const double wheel = (21 + 66 * 128 - 8192) / 8192.0;
    const Row rows[] = {
        {0x83, IMidiMsg::kNoteOff, 21, 66, -1, -1, -1, 0.0},
        {0x94, IMidiMsg::kNoteOn, 21, 66, -1, -1, -1, 0.0},
        {0xA5, IMidiMsg::kPolyAftertouch, 21, -1, 66, -1, -1, 0.0},
        {0xB6, IMidiMsg::kControlChange, -1, -1, -1, -1, -1, 0.0},
        {0xC7, IMidiMsg::kProgramChange, -1, -1, -1, -1, 21, 0.0},
        {0xD8, IMidiMsg::kChannelAftertouch, -1, -1, -1, 21, -1, 0.0},
        {0xE9, IMidiMsg::kPitchWheel, -1, -1, -1, -1, -1, wheel},
        {0xF8, IMidiMsg::kNone, -1, -1, -1, -1, -1, 0.0},
        {0xF0, IMidiMsg::kNone, -1, -1, -1, -1, -1, 0.0},
        {0x7F, IMidiMsg::kNone, -1, -1, -1, -1, -1, 0.0},
        {0x00, IMidiMsg::kNone, -1, -1, -1, -1, -1, 0.0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.status);
        const IMidiMsg msg(0, r.status, 0x15, 0x42);
        EXPECT_EQ(msg.StatusMsg(), r.kind);
        EXPECT_EQ(msg.Channel(), r.status & 0x0F);
        EXPECT_EQ(msg.NoteNumber(), r.note);
        EXPECT_EQ(msg.Velocity(), r.velocity);
        EXPECT_EQ(msg.PolyAfterTouch(), r.polyAT);
        EXPECT_EQ(msg.ChannelAfterTouch(), r.channelAT);
        EXPECT_EQ(msg.Program(), r.program);
        EXPECT_EQ(msg.PitchWheel(), r.wheel);
        EXPECT_EQ(msg.ControlChangeIdx(), 0x15);
        EXPECT_EQ(msg.ControlChange(static_cast<IMidiMsg::EControlChangeMsg>(0x15)),
                  r.kind == IMidiMsg::kControlChange ? 66.0 / 127.0 : -1.0);
    }
}

TEST(MidiMsgText, StatusNames) {
    const char* const expected[16] = {
        "none",          "unknown",           "unknown",    "unknown", "unknown",    "unknown",
        "unknown",       "unknown",           "noteoff",    "noteon",  "aftertouch", "controlchange",
        "programchange", "channelaftertouch", "pitchwheel", "unknown"};
    for (int i = 0; i < 16; ++i) {
        EXPECT_STREQ(StatusMsgStr(static_cast<IMidiMsg::EStatusMsg>(i)), expected[i]) << i;
    }
    EXPECT_STREQ(StatusMsgStr(static_cast<IMidiMsg::EStatusMsg>(-1)), "unknown");
    EXPECT_STREQ(StatusMsgStr(static_cast<IMidiMsg::EStatusMsg>(200)), "unknown");
}

TEST(MidiMsgText, SysExHexDump) {
    const unsigned char bytes[] = {0xF0, 0x7E, 0xF7};
    char buf[16];
    std::memset(buf, 'x', sizeof(buf));
    EXPECT_EQ(SysExStr(buf, 16, bytes, 3), buf);
    EXPECT_STREQ(buf, "F0 7E F7");

    // An 8-byte buffer holds two bytes: "F0 7E" plus terminator is 6 characters, nothing beyond.
    char small[9];
    std::memset(small, 'x', sizeof(small));
    SysExStr(small, 8, bytes, 3);
    EXPECT_STREQ(small, "F0 7E");
    EXPECT_EQ(small[6], 'x');
    EXPECT_EQ(small[8], 'x');

    // Exactly three characters per byte: a 9-byte buffer fills completely.
    char exact[10];
    std::memset(exact, 'x', sizeof(exact));
    SysExStr(exact, 9, bytes, 3);
    EXPECT_STREQ(exact, "F0 7E F7");
    EXPECT_EQ(exact[9], 'x');

    const unsigned char low[] = {0x00, 0x0A};
    SysExStr(buf, 16, low, 2);
    EXPECT_STREQ(buf, "00 0A");

    // Nothing to write: empty string.
    std::memset(buf, 'x', sizeof(buf));
    SysExStr(buf, 16, nullptr, 3);
    EXPECT_STREQ(buf, "");
    std::memset(buf, 'x', sizeof(buf));
    SysExStr(buf, 16, bytes, 0);
    EXPECT_STREQ(buf, "");
    std::memset(buf, 'x', sizeof(buf));
    SysExStr(buf, 2, bytes, 3);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(buf[1], 'x');
    std::memset(buf, 'x', sizeof(buf));
    SysExStr(buf, 0, bytes, 3);
    EXPECT_EQ(buf[0], 'x');
    EXPECT_EQ(SysExStr(nullptr, 16, bytes, 3), nullptr);
}

} // namespace
