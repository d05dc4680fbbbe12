#pragma once
// IParamChanges: which parameters have a new value the effect has not mapped yet. One flag per
// parameter, sized at construction; marking and taking never lock and never allocate.
//
// A thread that changes a parameter stores the new value first (IParam's value is an atomic) and marks
// it afterwards; the thread that maps changes takes the marks (clearing each before it reads the value)
// in index order. A mark made after a take is seen by the next take, so the last value written is
// always mapped; a value written twice before a take is mapped once, as its latest value.
//
// Owned by the plug-in base. Mark from any thread; take only under the plug-in mutex, so mappings never
// run twice at once.
#include <atomic>
#include <memory>

class IParamChanges {
public:
    explicit IParamChanges(int nParams);
    IParamChanges(const IParamChanges&) = delete;
    IParamChanges& operator=(const IParamChanges&) = delete;

    // Any thread: parameter idx changed (ignored for an index outside the parameters).
    void Mark(int idx);
    // Any thread: every parameter changed.
    void MarkAll();
    // Any thread: whether any mark waits to be taken.
    bool Pending() const { return mAny.load(std::memory_order_acquire) != 0; }
    // The same look as a read-modify-write of the word every Mark writes: a thread that has just let
    // go of the plug-in mutex either sees a mark made meanwhile, or its release happened before that
    // Mark and so before the marking thread's attempt to take the mutex (see IEffectMutex).
    bool PendingAfterRelease() { return mAny.fetch_add(0, std::memory_order_acq_rel) != 0; }
    // Under the plug-in mutex: calls map(idx) for every marked parameter in index order, each mark
    // cleared before its call. When map throws, the marks not reached yet stay for the next take.
    template <class F>
    void Take(F&& map) {
        if (!mAny.exchange(0, std::memory_order_acq_rel)) return;
        for (int i = 0; i < mN; ++i) {
            if (!mFlags[i].exchange(false, std::memory_order_acq_rel)) continue;
            try {
                map(i);
            } catch (...) {
                mAny.store(1, std::memory_order_release);
                throw;
            }
        }
    }

private:
    const int mN;
    std::unique_ptr<std::atomic<bool>[]> mFlags;
    std::atomic<int> mAny{0}; // 1 while some mark waits; written only by read-modify-writes and takes
};
