#include "host/HostAllocWatch.h"

#include <atomic>

namespace {
std::atomic<bool> sAvailable{false};
std::atomic<bool> sArmed{false};
std::atomic<long> sCount{0};
std::atomic<long> sTotal{0};
// Constant-initialised: reading it from inside malloc never allocates.
thread_local int tAudioDepth = 0;
} // namespace

HostAudioCallScope::HostAudioCallScope() {
    ++tAudioDepth;
}

HostAudioCallScope::~HostAudioCallScope() {
    --tAudioDepth;
}

HostCallbackScope::HostCallbackScope() : mSavedDepth(tAudioDepth) {
    tAudioDepth = 0;
}

HostCallbackScope::~HostCallbackScope() {
    tAudioDepth = mSavedDepth;
}

bool HostAllocWatchAvailable() {
    return sAvailable.load(std::memory_order_relaxed);
}

void HostAllocWatchArm(bool armed) {
    sArmed.store(armed);
}

long HostAudioAllocations() {
    return sCount.load();
}

long HostAllocTotal() {
    return sTotal.load();
}

void HostAllocNote() {
    sTotal.fetch_add(1, std::memory_order_relaxed);
    if (tAudioDepth > 0 && sArmed.load(std::memory_order_relaxed)) sCount.fetch_add(1);
}

void HostAllocWatchSetAvailable() {
    sAvailable.store(true);
}
