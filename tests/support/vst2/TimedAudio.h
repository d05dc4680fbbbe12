#pragma once
// TimedAudio: a host's audio thread for the real-time tests and the benchmark. On a thread of its own it
// calls processReplacing on stereo blocks of a fixed size (a steady train of decaying notes, so the
// effect has onsets to find), one block per block period as a sound card asks for them, and times every
// callback on the monotonic clock. It tells the test host which thread is the audio thread, so the host
// never delays that thread's calls (TestHost::SetUiDelay).
//
// The pace: block k is due k periods after the start; a block that comes due while the previous one is
// still running starts at once, and a late thread does not catch up on the blocks it missed (a sound
// card drops them), so a stall shows both as a long callback and as fewer blocks.
//
// Threads: Start and Stop on one thread (the test's); the plug-in is called only from the audio thread.
// The callback times are kept in space reserved at construction, so the audio thread never allocates.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/vst2/TestHost.h"

// What one run of the audio thread saw.
struct AudioTimes {
    int blocks = 0;         // callbacks made
    double seconds = 0.0;   // from the first callback to Stop
    double periodMs = 0.0;  // the block period
    double longestMs = 0.0; // the longest callback
    double p99Ms = 0.0;     // 99 % of the callbacks took at most this
    int overPeriod = 0;     // callbacks longer than the block period

    // The blocks a steady sound card would have asked for in that time.
    int PacedBlocks() const { return periodMs > 0.0 ? static_cast<int>(seconds * 1000.0 / periodMs) : 0; }
    // One line with every figure, for messages.
    std::string Describe() const;
};

class TimedAudio {
public:
    // The plug-in must be open (effOpen, rate, block size at least frames, resumed).
    explicit TimedAudio(TestHost& host, int frames = 512, double sampleRate = 44100.0);
    ~TimedAudio();
    TimedAudio(const TimedAudio&) = delete;
    TimedAudio& operator=(const TimedAudio&) = delete;

    // Starts the thread; returns once its first callback has returned.
    void Start();
    // Ends the thread after its current callback and returns the figures.
    AudioTimes Stop();

private:
    void Run();

    TestHost& mHost;
    const int mFrames;
    const double mSampleRate;
    std::vector<float> mInL, mInR, mOutL, mOutR;
    std::vector<long long> mNanos; // one per callback, capacity reserved
    int mBlocks = 0;
    double mSeconds = 0.0;
    std::atomic<bool> mStop{false};
    std::atomic<bool> mStarted{false};
    std::thread mThread;
};
