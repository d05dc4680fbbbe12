#pragma once
// VST3ChangeCursor: the parameter changes of one process call (the host's v3_param_changes), handed out
// in the order of their sample offsets so that the binding can split its block at each change. It reads
// the host's queues point by point through their interfaces and never allocates: its table of queues is
// made at construction, for at most maxQueues queues a call.
//
// A point is taken once its offset is reached: TakeUpTo(frame) hands over every point at or before
// frame, queue by queue in the host's order (points in their queue's order), the queues of one
// parameter id first. Negative offsets count as 0; a point the host cannot give ends its queue. Queues
// beyond the capacity are handed over at Begin, their last point only (the value they end the block
// with).
//
// Owned by the binding; used only on the audio thread, under the plug-in mutex, for one process call at
// a time (Begin starts the next one). The host's objects are only read during that call.
#include <climits>
#include <cstdint>
#include <memory>

#include "framework/vst3/VST3Interfaces.h"

class VST3ChangeCursor {
public:
    explicit VST3ChangeCursor(int maxQueues);
    VST3ChangeCursor(const VST3ChangeCursor&) = delete;
    VST3ChangeCursor& operator=(const VST3ChangeCursor&) = delete;

    // The changes of a new process call (null: none); apply(id, value) gets what the capacity leaves out.
    template <class Apply>
    void Begin(v3_param_changes** changes, Apply apply) {
        mCount = 0;
        if (!changes || !*changes) return;
        v3_param_changes* table = v3_cpp_obj(changes);
        const int32_t n = table->get_param_count(changes);
        for (int32_t i = 0; i < n; ++i) {
            v3_param_value_queue** queue = table->get_param_data(changes, i);
            if (!queue || !*queue) continue;
            Queue q = Open(queue);
            if (q.mNext >= q.mCount) continue;
            if (mCount < mCapacity) {
                mQueues[mCount++] = q;
            } else if (Read(q, q.mCount - 1)) {
                apply(q.mId, q.mValue);
            }
        }
    }

    // Every point at or before frame not taken yet, as apply(id, value).
    template <class Apply>
    void TakeUpTo(int frame, v3_param_id firstId, Apply apply) {
        for (int pass = 0; pass < 2; ++pass) {
            for (int i = 0; i < mCount; ++i) {
                Queue& q = mQueues[i];
                if ((q.mId == firstId) != (pass == 0)) continue;
                while (q.mNext < q.mCount && q.mOffset <= frame) {
                    apply(q.mId, q.mValue);
                    if (!Read(q, q.mNext + 1)) q.mNext = q.mCount;
                }
            }
        }
    }

    // The smallest offset of a point not taken yet; INT_MAX when none is left.
    int NextOffset() const;

private:
    struct Queue {
        v3_param_value_queue** mQueue = nullptr;
        v3_param_id mId = 0;
        int32_t mCount = 0;
        int32_t mNext = 0;   // the point mOffset and mValue belong to
        int32_t mOffset = 0; // of point mNext
        double mValue = 0.0;
    };
    // The queue positioned at its first point (mNext == mCount when it has none).
    static Queue Open(v3_param_value_queue** queue);
    // Point idx into q (mNext, mOffset, mValue); false when the host cannot give it.
    static bool Read(Queue& q, int32_t idx);

    std::unique_ptr<Queue[]> mQueues;
    int mCapacity;
    int mCount = 0;
};
