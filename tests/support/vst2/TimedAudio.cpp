#include "tests/support/vst2/TimedAudio.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

using Clock = std::chrono::steady_clock;

// Room for the callback times of about 12 minutes of 512-frame blocks at 44.1 kHz; the figures of a
// longer run come from its first blocks.
constexpr size_t kMaxTimedBlocks = 1 << 16;
// The input loops over this many frames: four notes a second at 44.1 kHz.
constexpr int kSignalFrames = 44100;

double Ms(long long nanos) {
    return static_cast<double>(nanos) / 1e6;
}

} // namespace

std::string AudioTimes::Describe() const {
    char buf[200];
    std::snprintf(buf, sizeof(buf),
                  "%d blocks in %.2f s (%d at a steady pace), longest %.2f ms, 99th percentile %.2f ms, "
                  "%d longer than the %.1f ms period",
                  blocks, seconds, PacedBlocks(), longestMs, p99Ms, overPeriod, periodMs);
    return buf;
}

TimedAudio::TimedAudio(TestHost& host, int frames, double sampleRate)
    : mHost(host), mFrames(frames), mSampleRate(sampleRate) {
    // Decaying notes of varied pitch and level, the right channel a little quieter.
    mInL.resize(kSignalFrames + static_cast<size_t>(frames));
    mInR.resize(mInL.size());
    const int noteFrames = kSignalFrames / 4;
    for (size_t i = 0; i < mInL.size(); ++i) {
        const int inSignal = static_cast<int>(i % kSignalFrames);
        const int note = inSignal / noteFrames, t = inSignal % noteFrames;
        const double freq = 220.0 * (1.0 + 0.25 * note), level = 0.3 + 0.15 * note;
        const double v = level * std::exp(-t / (0.05 * sampleRate)) *
                         std::sin(2.0 * std::numbers::pi * freq * t / sampleRate);
        mInL[i] = static_cast<float>(v);
        mInR[i] = static_cast<float>(0.8 * v);
    }
    mOutL.resize(static_cast<size_t>(frames));
    mOutR.resize(static_cast<size_t>(frames));
    mNanos.reserve(kMaxTimedBlocks);
}

TimedAudio::~TimedAudio() {
    if (mThread.joinable()) Stop();
}

void TimedAudio::Start() {
    mStop = false;
    mStarted = false;
    mNanos.clear();
    mBlocks = 0;
    mThread = std::thread([this] { Run(); });
    while (!mStarted.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TimedAudio::Run() {
    mHost.SetAudioThread(std::this_thread::get_id());
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(mFrames) / mSampleRate));
    const Clock::time_point start = Clock::now();
    Clock::time_point due = start;
    int offset = 0;
    while (!mStop.load()) {
        float* ins[2] = {mInL.data() + offset, mInR.data() + offset};
        float* outs[2] = {mOutL.data(), mOutR.data()};
        const Clock::time_point before = Clock::now();
        mHost.ProcessReplacing(ins, outs, mFrames);
        const Clock::time_point after = Clock::now();
        ++mBlocks;
        if (mNanos.size() < mNanos.capacity())
            mNanos.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(after - before).count());
        mStarted = true;
        offset = (offset + mFrames) % kSignalFrames;
        // The next block is due one period after this one was; a sound card does not wait for a late
        // thread, so blocks missed while this one ran are gone.
        due += period;
        if (due < after) due = after;
        std::this_thread::sleep_until(due);
    }
    mSeconds = std::chrono::duration<double>(Clock::now() - start).count();
}

AudioTimes TimedAudio::Stop() {
    mStop = true;
    if (mThread.joinable()) mThread.join();
    mHost.SetAudioThread(std::thread::id());
    AudioTimes t;
    t.blocks = mBlocks;
    t.seconds = mSeconds;
    t.periodMs = 1000.0 * mFrames / mSampleRate;
    std::vector<long long> sorted = mNanos;
    std::sort(sorted.begin(), sorted.end());
    if (!sorted.empty()) {
        t.longestMs = Ms(sorted.back());
        const size_t rank = static_cast<size_t>(std::ceil(0.99 * static_cast<double>(sorted.size())));
        t.p99Ms = Ms(sorted[std::max<size_t>(rank, 1) - 1]);
    }
    for (long long n : sorted)
        if (Ms(n) > t.periodMs) ++t.overPeriod;
    return t;
}
