#pragma once
// IEffectMutex: the plug-in mutex of one instance, the lock the audio thread holds for each block.
// Recursive: the owning thread may take it again and must let go as often.
//
// The rule every holder keeps: the audio thread may wait for it, so no other thread holds it while it
// calls the host, draws, allocates, opens a file, waits for X11 or does more than a few microseconds of
// work (mapping a parameter, swapping prepared buffers, restarting the signal path).
//
// It also finishes the hand-over of parameter changes made on other threads (IParamChanges). A thread
// that changed a parameter marks it and tries the mutex without waiting; when it is held, the holder
// maps the change before it lets go: the outermost Unlock runs the drain (the effect's mapping of every
// marked parameter) while it still holds the mutex, and, once it has let go, looks at the marks again
// and, when one was made meanwhile and the mutex is free, takes it again and drains. So a mark is
// always mapped by its own thread, by the holder that kept it out, or by the audio thread at the start
// of its next block, and nobody waits for anybody to map it.
//
// Owned by the plug-in base (a member); the drain is installed once, at construction.
#include <mutex>

class IParamChanges;

class IEffectMutex {
public:
    using Drain = void (*)(void* context);

    IEffectMutex() = default;
    IEffectMutex(const IEffectMutex&) = delete;
    IEffectMutex& operator=(const IEffectMutex&) = delete;

    // Construction only: drain(context) maps the marks of changes; it runs under the mutex.
    void SetDrain(Drain drain, void* context, IParamChanges* changes);

    // Any thread; waits while another thread holds the mutex.
    void Lock();
    // The owning thread; the outermost Unlock drains as described above. Never throws: a drain that
    // throws is cut short, and the mutex is let go all the same.
    void Unlock();
    // Any thread, never waits: true when the mutex is now held by this thread (again).
    bool TryLock();

private:
    void RunDrain();

    std::recursive_mutex mMutex;
    int mDepth = 0; // the owner's nesting, touched only by the thread holding the mutex
    Drain mDrain = nullptr;
    void* mContext = nullptr;
    IParamChanges* mChanges = nullptr;
};
