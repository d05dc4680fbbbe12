#include "framework/plugin/IParamChanges.h"

IParamChanges::IParamChanges(int nParams) : mN(nParams > 0 ? nParams : 0) {
    if (mN == 0) return;
    mFlags.reset(new std::atomic<bool>[static_cast<size_t>(mN)]);
    for (int i = 0; i < mN; ++i) mFlags[i].store(false, std::memory_order_relaxed);
}

void IParamChanges::Mark(int idx) {
    if (idx < 0 || idx >= mN) return;
    mFlags[idx].store(true, std::memory_order_release);
    mAny.exchange(1, std::memory_order_acq_rel);
}

void IParamChanges::MarkAll() {
    for (int i = 0; i < mN; ++i) mFlags[i].store(true, std::memory_order_release);
    if (mN > 0) mAny.exchange(1, std::memory_order_acq_rel);
}
