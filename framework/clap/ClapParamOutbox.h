#pragma once
// ClapParamOutbox: what the editor tells the host about parameters (gesture begin, new value, gesture
// end), held until the host's next process or params flush hands the plug-in an output event list. A
// CLAP plug-in may tell the host of a parameter change only there.
//
// A fixed ring, filled on the host's main thread (the editor's thread, the only producer) and emptied
// by whichever thread runs process or flush (never two at once: the only consumer); lock-free, and it
// never allocates. A full ring drops the newest entry and counts it (the parameter keeps its value, so
// the host still reads it with get_value).
#include <array>
#include <atomic>
#include <cstdint>

class ClapParamOutbox {
public:
    enum EKind : uint8_t { kGestureBegin, kValue, kGestureEnd };
    struct Entry {
        EKind mKind = kValue;
        uint32_t mParamId = 0;
        double mValue = 0.0; // plain value (kValue only)
    };
    static constexpr uint32_t kCapacity = 256;

    // The producer: false (and the entry dropped) when the ring is full.
    bool Push(const Entry& entry) {
        const uint32_t tail = mTail.load(std::memory_order_relaxed);
        if (tail - mHead.load(std::memory_order_acquire) >= kCapacity) {
            mDropped.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        mEntries[tail % kCapacity] = entry;
        mTail.store(tail + 1, std::memory_order_release);
        return true;
    }
    // The consumer: the oldest entry into *pEntry; false when empty.
    bool Pop(Entry* pEntry) {
        const uint32_t head = mHead.load(std::memory_order_relaxed);
        if (head == mTail.load(std::memory_order_acquire)) return false;
        *pEntry = mEntries[head % kCapacity];
        mHead.store(head + 1, std::memory_order_release);
        return true;
    }
    uint32_t Dropped() const { return mDropped.load(std::memory_order_relaxed); }

private:
    std::array<Entry, kCapacity> mEntries{};
    std::atomic<uint32_t> mHead{0}, mTail{0};
    std::atomic<uint32_t> mDropped{0};
};
