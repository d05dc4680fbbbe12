#include "framework/plugin/IEffectMutex.h"

#include "framework/plugin/IParamChanges.h"

void IEffectMutex::SetDrain(Drain drain, void* context, IParamChanges* changes) {
    mDrain = drain;
    mContext = context;
    mChanges = changes;
}

void IEffectMutex::Lock() {
    mMutex.lock();
    ++mDepth;
}

bool IEffectMutex::TryLock() {
    if (!mMutex.try_lock()) return false;
    ++mDepth;
    return true;
}

void IEffectMutex::RunDrain() {
    if (!mDrain || !mChanges || !mChanges->Pending()) return;
    // Unlock runs in destructors and must let go whatever happens: a mapping that throws is dropped
    // here, as the bindings drop everything a throwing effect does.
    try {
        mDrain(mContext);
    } catch (...) {}
}

void IEffectMutex::Unlock() {
    if (mDepth > 1) {
        --mDepth;
        mMutex.unlock();
        return;
    }
    RunDrain();
    mDepth = 0;
    mMutex.unlock();
    if (!mChanges) return;
    // A thread that marked a change after the drain above found the mutex held and left the change to
    // us; its mark comes before its attempt, our release before this look, so one of the two sees the
    // other (PendingAfterRelease). When someone else holds the mutex by now, it is theirs to drain.
    for (;;) {
        if (!mChanges->PendingAfterRelease() || !mMutex.try_lock()) return;
        mDepth = 1;
        RunDrain();
        mDepth = 0;
        mMutex.unlock();
    }
}
