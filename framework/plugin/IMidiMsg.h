#pragma once
// MIDI value records exchanged between the host binding and the plug-in.
// IMidiMsg holds one short channel message, ISysEx one system-exclusive message, each stamped with the
// sample offset of the event inside the current audio block. Both are plain values, copied freely; an
// ISysEx does not own its bytes, which stay valid only during the call that delivers it. The builders
// and decoders keep no state and may be used from any thread.
#include <cstdint>

struct IMidiMsg {
    // The message kind: the high nibble of a channel-message status byte.
    enum EStatusMsg : int {
        kNone = 0,
        kNoteOff = 8,
        kNoteOn = 9,
        kPolyAftertouch = 10,
        kControlChange = 11,
        kProgramChange = 12,
        kChannelAftertouch = 13,
        kPitchWheel = 14
    };

    // A MIDI controller number (0-127). A few common ones are named; any value in range may be passed.
    enum EControlChangeMsg : int {
        kBankSelect = 0,
        kModWheel = 1,
        kBreathController = 2,
        kFootController = 4,
        kPortamentoTime = 5,
        kChannelVolume = 7,
        kBalance = 8,
        kPan = 10,
        kExpressionController = 11,
        kSustainOnOff = 64,
        kPortamentoOnOff = 65,
        kSostenutoOnOff = 66,
        kSoftPedalOnOff = 67,
        kAllSoundOff = 120,
        kResetAllControllers = 121,
        kAllNotesOff = 123
    };

    int32_t mOffset;
    uint8_t mStatus;
    uint8_t mData1;
    uint8_t mData2;

    IMidiMsg(int offset = 0, uint8_t status = 0, uint8_t data1 = 0, uint8_t data2 = 0)
        : mOffset(offset), mStatus(status), mData1(data1), mData2(data2) {}

    // Builders: each clears all fields first. The channel (0-15) is OR-ed into the status byte.
    void MakeNoteOnMsg(int noteNumber, int velocity, int offset, int channel = 0);
    void MakeNoteOffMsg(int noteNumber, int offset, int channel = 0);
    // value -1 .. +1 covers the wheel; the 14-bit result is clamped to 0 .. 16383. Offset 0.
    void MakePitchWheelMsg(double value, int channel = 0);
    // value 0 .. 1 becomes data2 = value * 127 truncated. Offset 0.
    void MakeControlChangeMsg(EControlChangeMsg idx, double value, int channel = 0);
    void Clear();

    // Decoders. Only status bytes 0x80-0xEF are channel messages; anything else decodes as kNone.
    int Channel() const;
    EStatusMsg StatusMsg() const;
    // -1 when the message is not of the kind the decoder reads (PitchWheel answers 0 instead).
    int NoteNumber() const;
    int Velocity() const;
    int PolyAfterTouch() const;
    int ChannelAfterTouch() const;
    int Program() const;
    // (data1 + data2 * 128 - 8192) / 8192, range -1 .. 8191/8192.
    double PitchWheel() const;
    int ControlChangeIdx() const;
    // data2 / 127 when this is a control change of controller idx, otherwise -1.
    double ControlChange(EControlChangeMsg idx) const;

    // Diagnostics hook; does nothing.
    void LogMsg() const {}
};

struct ISysEx {
    int32_t mOffset;
    int32_t mSize;
    const uint8_t* mData; // not owned

    ISysEx(int offset = 0, const uint8_t* data = nullptr, int size = 0)
        : mOffset(offset), mSize(size), mData(data) {}

    void Clear();
    // Diagnostics hook; does nothing.
    void LogMsg() const {}
};

// The name of a message kind: "none", "noteoff", "noteon", "aftertouch", "controlchange",
// "programchange", "channelaftertouch", "pitchwheel", or "unknown" for anything else.
const char* StatusMsgStr(IMidiMsg::EStatusMsg msg);

// Writes the first min(size, bufSize / 3) bytes of data as upper-case hex pairs separated by single
// spaces, NUL-terminated, and returns buf. Null data, size <= 0 or a buffer under 3 bytes give "".
// A null buf or bufSize <= 0 writes nothing and returns buf.
char* SysExStr(char* buf, int bufSize, const unsigned char* data, int size);
