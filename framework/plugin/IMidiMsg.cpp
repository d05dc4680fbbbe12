#include "framework/plugin/IMidiMsg.h"

#include <cmath>
#include <cstdio>

namespace {

bool IsChannelStatus(uint8_t status) {
    return status >= 0x80 && status <= 0xEF;
}

} // namespace

void IMidiMsg::Clear() {
    mOffset = 0;
    mStatus = 0;
    mData1 = 0;
    mData2 = 0;
}

void IMidiMsg::MakeNoteOnMsg(int noteNumber, int velocity, int offset, int channel) {
    Clear();
    mStatus = static_cast<uint8_t>(0x90 | channel);
    mData1 = static_cast<uint8_t>(noteNumber);
    mData2 = static_cast<uint8_t>(velocity);
    mOffset = offset;
}

void IMidiMsg::MakeNoteOffMsg(int noteNumber, int offset, int channel) {
    Clear();
    mStatus = static_cast<uint8_t>(0x80 | channel);
    mData1 = static_cast<uint8_t>(noteNumber);
    mOffset = offset;
}

void IMidiMsg::MakePitchWheelMsg(double value, int channel) {
    Clear();
    mStatus = static_cast<uint8_t>(0xE0 | channel);
    // Clamp in floating point so that no value (huge, infinite or NaN) reaches an int conversion out
    // of range; NaN leaves the wheel centred.
    double v = std::isnan(value) ? 8192.0 : std::trunc(value * 8192.0) + 8192.0;
    if (v < 0.0) v = 0.0;
    if (v > 16383.0) v = 16383.0;
    const int i = static_cast<int>(v);
    mData1 = static_cast<uint8_t>(i & 0x7F);
    mData2 = static_cast<uint8_t>(i >> 7);
}

void IMidiMsg::MakeControlChangeMsg(EControlChangeMsg idx, double value, int channel) {
    Clear();
    mStatus = static_cast<uint8_t>(0xB0 | channel);
    mData1 = static_cast<uint8_t>(idx);
    // Callers keep value within 0 .. 1; anything else is held to the 7-bit data range.
    double v = std::isnan(value) ? 0.0 : std::trunc(value * 127.0);
    if (v < 0.0) v = 0.0;
    if (v > 127.0) v = 127.0;
    mData2 = static_cast<uint8_t>(v);
}

int IMidiMsg::Channel() const {
    return mStatus & 0x0F;
}

IMidiMsg::EStatusMsg IMidiMsg::StatusMsg() const {
    return IsChannelStatus(mStatus) ? static_cast<EStatusMsg>(mStatus >> 4) : kNone;
}

int IMidiMsg::NoteNumber() const {
    switch (StatusMsg()) {
    case kNoteOff:
    case kNoteOn:
    case kPolyAftertouch:
        return mData1;
    default:
        return -1;
    }
}

int IMidiMsg::Velocity() const {
    const EStatusMsg s = StatusMsg();
    return (s == kNoteOff || s == kNoteOn) ? mData2 : -1;
}

int IMidiMsg::PolyAfterTouch() const {
    return StatusMsg() == kPolyAftertouch ? mData2 : -1;
}

int IMidiMsg::ChannelAfterTouch() const {
    return StatusMsg() == kChannelAftertouch ? mData1 : -1;
}

int IMidiMsg::Program() const {
    return StatusMsg() == kProgramChange ? mData1 : -1;
}

double IMidiMsg::PitchWheel() const {
    if (StatusMsg() != kPitchWheel) return 0.0;
    return static_cast<double>(mData1 + mData2 * 128 - 8192) / 8192.0;
}

int IMidiMsg::ControlChangeIdx() const {
    return mData1;
}

double IMidiMsg::ControlChange(EControlChangeMsg idx) const {
    if (StatusMsg() == kControlChange && static_cast<int>(mData1) == static_cast<int>(idx)) {
        return static_cast<double>(mData2) / 127.0;
    }
    return -1.0;
}

void ISysEx::Clear() {
    mOffset = 0;
    mSize = 0;
    mData = nullptr;
}

const char* StatusMsgStr(IMidiMsg::EStatusMsg msg) {
    switch (msg) {
    case IMidiMsg::kNone:
        return "none";
    case IMidiMsg::kNoteOff:
        return "noteoff";
    case IMidiMsg::kNoteOn:
        return "noteon";
    case IMidiMsg::kPolyAftertouch:
        return "aftertouch";
    case IMidiMsg::kControlChange:
        return "controlchange";
    case IMidiMsg::kProgramChange:
        return "programchange";
    case IMidiMsg::kChannelAftertouch:
        return "channelaftertouch";
    case IMidiMsg::kPitchWheel:
        return "pitchwheel";
    }
    return "unknown";
}

char* SysExStr(char* buf, int bufSize, const unsigned char* data, int size) {
    if (!buf || bufSize <= 0) return buf;
    buf[0] = '\0';
    if (!data || size <= 0 || bufSize < 3) return buf;
    const int n = size < bufSize / 3 ? size : bufSize / 3;
    static const char kHex[] = "0123456789ABCDEF";
    char* p = buf;
    for (int i = 0; i < n; ++i) {
        *p++ = kHex[data[i] >> 4];
        *p++ = kHex[data[i] & 0x0F];
        *p++ = (i + 1 < n) ? ' ' : '\0';
    }
    return buf;
}
