#include "tests/support/vst2/TestHost.h"

#include <cstring>

namespace {

// The host whose entry call is running on this thread: the plug-in may call back before the host has
// stored itself in the record's user field.
thread_local TestHost* tLoading = nullptr;

// Calls are recorded into reserved space only, so recording never allocates inside an audio callback.
constexpr size_t kMaxRecordedCalls = 1 << 16;

} // namespace

TestHost::TestHost() {
    mCalls.reserve(kMaxRecordedCalls);
    std::memset(&mTime, 0, sizeof(mTime));
    mTime.sampleRate = 44100.0;
    mTime.tempo = 120.0;
    mTime.timeSigNumerator = 4;
    mTime.timeSigDenominator = 4;
    mTime.flags = kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid;
}

TestHost::~TestHost() {
    Close();
}

AEffect* TestHost::Load(VstPluginEntryProc entry) {
    tLoading = this;
    AEffect* effect = entry(Callback);
    tLoading = nullptr;
    if (effect) effect->user = this;
    mEffect = effect;
    return effect;
}

void TestHost::Open(float sampleRate, int blockSize) {
    Dispatch(effOpen);
    Dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    Dispatch(effSetBlockSize, 0, blockSize);
    Dispatch(effMainsChanged, 0, 1);
}

void TestHost::Close() {
    if (!mEffect) return;
    AEffect* effect = mEffect;
    mEffect = nullptr;
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

intptr_t TestHost::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    AEffect* effect = mEffect;
    // After effClose the record is gone with the plug-in.
    if (opcode == effClose) mEffect = nullptr;
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

float TestHost::GetParameter(int32_t index) {
    return mEffect->getParameter(mEffect, index);
}

void TestHost::SetParameter(int32_t index, float value) {
    mEffect->setParameter(mEffect, index, value);
}

void TestHost::Process(float** in, float** out, int32_t nFrames) {
    mEffect->process(mEffect, in, out, nFrames);
}

void TestHost::ProcessReplacing(float** in, float** out, int32_t nFrames) {
    mEffect->processReplacing(mEffect, in, out, nFrames);
}

void TestHost::ProcessDoubleReplacing(double** in, double** out, int32_t nFrames) {
    mEffect->processDoubleReplacing(mEffect, in, out, nFrames);
}

std::string TestHost::GetString(int32_t opcode, int32_t index) {
    char buf[256];
    std::memset(buf, 0x55, sizeof(buf));
    buf[sizeof(buf) - 1] = '\0';
    Dispatch(opcode, index, 0, buf);
    return buf;
}

std::vector<uint8_t> TestHost::GetChunk(bool bank) {
    void* data = nullptr;
    intptr_t size = Dispatch(effGetChunk, bank ? 0 : 1, 0, &data);
    if (size <= 0 || !data) return {};
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

intptr_t TestHost::SetChunk(const std::vector<uint8_t>& bytes, bool bank) {
    // The plug-in must not rely on the host's buffer outliving the call: hand it a temporary copy.
    std::vector<uint8_t> copy = bytes;
    if (copy.empty()) copy.reserve(1);
    return Dispatch(effSetChunk, bank ? 0 : 1, static_cast<intptr_t>(copy.size()), copy.data());
}

void TestHost::SetProductString(const std::string& s) {
    std::lock_guard<std::mutex> lock(mLock);
    mProductString = s;
}

void TestHost::SetVendorVersion(intptr_t v) {
    std::lock_guard<std::mutex> lock(mLock);
    mVendorVersion = v;
}

void TestHost::SetProcessLevel(intptr_t level) {
    std::lock_guard<std::mutex> lock(mLock);
    mProcessLevel = level;
}

void TestHost::SetProcessEventsAnswer(intptr_t answer) {
    std::lock_guard<std::mutex> lock(mLock);
    mProcessEventsAnswer = answer;
}

void TestHost::SetTime(const VstTimeInfo& t) {
    std::lock_guard<std::mutex> lock(mLock);
    mTime = t;
}

void TestHost::SetTimeAvailable(bool available) {
    std::lock_guard<std::mutex> lock(mLock);
    mTimeAvailable = available;
}

void TestHost::AdvanceClock(int nFrames) {
    std::lock_guard<std::mutex> lock(mLock);
    mTime.samplePos += nFrames;
    if (mTime.sampleRate > 0.0) mTime.ppqPos += nFrames / mTime.sampleRate * mTime.tempo / 60.0;
}

std::vector<TestHost::Call> TestHost::Calls() {
    std::lock_guard<std::mutex> lock(mLock);
    return mCalls;
}

std::vector<TestHost::Call> TestHost::Calls(int32_t opcode) {
    std::lock_guard<std::mutex> lock(mLock);
    std::vector<Call> calls;
    for (const Call& c : mCalls)
        if (c.opcode == opcode) calls.push_back(c);
    return calls;
}

std::vector<TestHost::SentEvent> TestHost::SentEvents() {
    std::lock_guard<std::mutex> lock(mLock);
    return mEvents;
}

void TestHost::ClearCalls() {
    std::lock_guard<std::mutex> lock(mLock);
    mCalls.clear();
    mEvents.clear();
}

intptr_t TestHost::Callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                            float opt) {
    TestHost* host = effect && effect->user ? static_cast<TestHost*>(effect->user) : tLoading;
    if (!host) return 0;
    const intptr_t answer = host->Answer(opcode, index, value, ptr, opt);
    if (IsNotification(opcode) && std::this_thread::get_id() != host->mAudioThread.load()) {
        host->mUiNotifications.fetch_add(1);
        if (const long long us = host->mUiDelayUs.load(); us > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(us));
    }
    return answer;
}

bool TestHost::IsNotification(int32_t opcode) {
    switch (opcode) {
    case audioMasterAutomate:
    case audioMasterIdle:
    case audioMasterWantMidi:
    case audioMasterProcessEvents:
    case audioMasterIOChanged:
    case audioMasterNeedIdle:
    case audioMasterSizeWindow:
    case audioMasterVendorSpecific:
    case audioMasterSetIcon:
    case audioMasterOpenWindow:
    case audioMasterCloseWindow:
    case audioMasterUpdateDisplay:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
    case audioMasterOpenFileSelector:
    case audioMasterCloseFileSelector:
    case audioMasterEditFile:
        return true;
    default:
        return false;
    }
}

intptr_t TestHost::Answer(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    std::lock_guard<std::mutex> lock(mLock);
    if (mCalls.size() < kMaxRecordedCalls) mCalls.push_back(Call{opcode, index, value, opt});
    switch (opcode) {
    case audioMasterVersion:
        return kVstVersion;
    case audioMasterGetTime:
        return mTimeAvailable ? reinterpret_cast<intptr_t>(&mTime) : 0;
    case audioMasterGetProductString:
        if (ptr) std::strcpy(static_cast<char*>(ptr), mProductString.c_str());
        return ptr ? 1 : 0;
    case audioMasterGetVendorVersion:
        return mVendorVersion;
    case audioMasterGetCurrentProcessLevel:
        return mProcessLevel;
    case audioMasterProcessEvents: {
        const VstEvents* events = static_cast<const VstEvents*>(ptr);
        if (!events) return 0;
        for (int i = 0; i < events->numEvents; ++i) {
            const VstEvent* ev = events->events[i];
            if (!ev) continue;
            SentEvent sent{ev->type, ev->byteSize, ev->deltaFrames, {}};
            if (ev->type == kVstMidiType) {
                const VstMidiEvent* m = reinterpret_cast<const VstMidiEvent*>(ev);
                sent.bytes.assign(m->midiData, m->midiData + 4);
            } else if (ev->type == kVstSysExType) {
                const VstMidiSysexEvent* s = reinterpret_cast<const VstMidiSysexEvent*>(ev);
                if (s->sysexDump && s->dumpBytes > 0)
                    sent.bytes.assign(s->sysexDump, s->sysexDump + s->dumpBytes);
            }
            mEvents.push_back(sent);
        }
        return mProcessEventsAnswer;
    }
    default:
        return 0;
    }
}
