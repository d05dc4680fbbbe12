#pragma once
// TestHost: a small in-process VST 2 host for tests. It creates a plug-in through an entry function and
// afterwards talks to it only through the AEffect record (dispatcher, parameter and audio callbacks), as
// a real host does. Its audioMaster callback records every call the plug-in makes (automation, gestures,
// events, time queries), answers time queries from a fake clock (SetTime / AdvanceClock) and answers
// product string, vendor version, process level and event delivery with configurable values.
//
// It can also play a host whose user-interface thread is busy (SetUiDelay): its notifications then take
// a while to return on every thread but the audio thread, as a host's do while it draws or waits for its
// own locks. The real-time tests and the benchmark use that to see whether the audio thread ever waits
// for a call the plug-in makes to the host from another thread.
//
// Threads: the plug-in may call back from any thread; the record of calls and the configured answers are
// guarded by one mutex. The VstTimeInfo answer is handed out by pointer, as hosts do: change the clock
// only while no audio callback runs. The host object must outlive the plug-in instance (Close() or the
// destructor sends effClose).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/vst2/VstAbi.h"

class TestHost {
public:
    // One call the plug-in made to the host.
    struct Call {
        int32_t opcode;
        int32_t index;
        intptr_t value;
        float opt;
    };
    // One event the plug-in sent with audioMasterProcessEvents (copied out of the host call).
    struct SentEvent {
        int32_t type;
        int32_t byteSize;
        int32_t deltaFrames;
        std::vector<uint8_t> bytes; // midiData[0..3] for MIDI, the dump for SysEx
    };

    TestHost();
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    // Calls entry with this host's callback; returns the record (null on failure). One plug-in per host.
    AEffect* Load(VstPluginEntryProc entry);
    // effOpen, sample rate, block size, effMainsChanged(1).
    void Open(float sampleRate = 44100.0f, int blockSize = 512);
    // effClose (once); the record is invalid afterwards.
    void Close();
    AEffect* Effect() const { return mEffect; }

    // effClose through Dispatch also forgets the record.
    intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);
    float GetParameter(int32_t index);
    void SetParameter(int32_t index, float value);
    void Process(float** in, float** out, int32_t nFrames);
    void ProcessReplacing(float** in, float** out, int32_t nFrames);
    void ProcessDoubleReplacing(double** in, double** out, int32_t nFrames);

    // Dispatcher helpers for text answers (buffers of 256 bytes).
    std::string GetString(int32_t opcode, int32_t index = 0);
    std::string ParamName(int32_t index) { return GetString(effGetParamName, index); }
    std::string ParamDisplay(int32_t index) { return GetString(effGetParamDisplay, index); }
    std::string ParamLabel(int32_t index) { return GetString(effGetParamLabel, index); }
    std::string ProgramName() { return GetString(effGetProgramName); }
    // effGetChunk: the bytes copied out (empty when the plug-in answered 0).
    std::vector<uint8_t> GetChunk(bool bank);
    intptr_t SetChunk(const std::vector<uint8_t>& bytes, bool bank);

    // ---- The fake host's answers ----
    void SetProductString(const std::string& s);
    void SetVendorVersion(intptr_t v);
    void SetProcessLevel(intptr_t level);
    void SetProcessEventsAnswer(intptr_t answer);
    // The record audioMasterGetTime answers with; null answers when disabled.
    void SetTime(const VstTimeInfo& t);
    void SetTimeAvailable(bool available);
    // Moves samplePos (and ppqPos at the current tempo) on by nFrames.
    void AdvanceClock(int nFrames);

    // ---- A host with a busy user interface ----
    // From now on every notification (see IsNotification) arriving on any thread but the audio thread
    // returns only after delay. The wait is spent outside the host's lock, so the audio thread's own
    // calls (time queries) never wait for it. Zero, the default, answers at once.
    void SetUiDelay(std::chrono::microseconds delay) { mUiDelayUs = delay.count(); }
    // The audio thread: its calls are never delayed. None (every thread is delayed) until set.
    void SetAudioThread(std::thread::id id) { mAudioThread = id; }
    // Notifications answered so far on other threads than the audio thread, delayed or not.
    long UiNotifications() const { return mUiNotifications.load(); }
    // The opcodes that tell the host something rather than ask it: automation, edit gestures,
    // audioMasterIOChanged, audioMasterUpdateDisplay, window size, idle requests, events and the like.
    static bool IsNotification(int32_t opcode);

    // ---- What the plug-in did ----
    std::vector<Call> Calls();
    // Only the calls with this opcode.
    std::vector<Call> Calls(int32_t opcode);
    std::vector<SentEvent> SentEvents();
    void ClearCalls();

private:
    static intptr_t Callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                             float opt);
    intptr_t Answer(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

    AEffect* mEffect = nullptr;
    std::mutex mLock;
    std::vector<Call> mCalls;
    std::vector<SentEvent> mEvents;
    std::string mProductString = "TestHost";
    intptr_t mVendorVersion = 10203;
    intptr_t mProcessLevel = kVstProcessLevelRealtime;
    intptr_t mProcessEventsAnswer = 1;
    VstTimeInfo mTime;
    bool mTimeAvailable = true;
    std::atomic<long long> mUiDelayUs{0};
    std::atomic<std::thread::id> mAudioThread{};
    std::atomic<long> mUiNotifications{0};
};
