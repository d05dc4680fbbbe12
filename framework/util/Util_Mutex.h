#pragma once
// Util_Mutex: the recursive mutex that guards one plug-in instance (and each process-wide store).
// Any thread may lock it; the owning thread may lock it again and must unlock it as often.
// Util_MutexLock holds a mutex for the life of a scope: this one, or any other with Lock and Unlock
// (the plug-in mutex).
#include <mutex>

class Util_Mutex {
public:
    Util_Mutex() = default;
    Util_Mutex(const Util_Mutex&) = delete;
    Util_Mutex& operator=(const Util_Mutex&) = delete;

    void Lock() { mMutex.lock(); }
    void Unlock() { mMutex.unlock(); }
    bool TryLock() { return mMutex.try_lock(); }

private:
    std::recursive_mutex mMutex;
};

template <class Mutex = Util_Mutex>
class Util_MutexLock {
public:
    explicit Util_MutexLock(Mutex& mutex) : mMutex(mutex) { mMutex.Lock(); }
    ~Util_MutexLock() { mMutex.Unlock(); }
    Util_MutexLock(const Util_MutexLock&) = delete;
    Util_MutexLock& operator=(const Util_MutexLock&) = delete;

private:
    Mutex& mMutex;
};
