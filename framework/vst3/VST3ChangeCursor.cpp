#include "framework/vst3/VST3ChangeCursor.h"

#include <algorithm>

VST3ChangeCursor::VST3ChangeCursor(int maxQueues)
    : mQueues(std::make_unique<Queue[]>(static_cast<size_t>(std::max(maxQueues, 1)))),
      mCapacity(std::max(maxQueues, 1)) {}

int VST3ChangeCursor::NextOffset() const {
    int next = INT_MAX;
    for (int i = 0; i < mCount; ++i)
        if (mQueues[i].mNext < mQueues[i].mCount) next = std::min(next, static_cast<int>(mQueues[i].mOffset));
    return next;
}

VST3ChangeCursor::Queue VST3ChangeCursor::Open(v3_param_value_queue** queue) {
    Queue q;
    q.mQueue = queue;
    v3_param_value_queue* table = v3_cpp_obj(queue);
    q.mId = table->get_param_id(queue);
    q.mCount = std::max(table->get_point_count(queue), 0);
    if (q.mCount == 0 || !Read(q, 0)) q.mNext = q.mCount;
    return q;
}

bool VST3ChangeCursor::Read(Queue& q, int32_t idx) {
    if (idx >= q.mCount) {
        q.mNext = q.mCount;
        return false;
    }
    int32_t offset = 0;
    double value = 0.0;
    if (v3_cpp_obj(q.mQueue)->get_point(q.mQueue, idx, &offset, &value) != V3_OK) return false;
    q.mNext = idx;
    q.mOffset = std::max(offset, 0);
    q.mValue = value;
    return true;
}
