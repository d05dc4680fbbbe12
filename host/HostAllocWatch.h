#pragma once
// HostAllocWatch: counts the allocations a plug-in makes inside its audio callback.
//
// The format adapters put a HostAudioCallScope around every call into a plug-in's audio callback, on
// whatever thread makes it, and a HostCallbackScope around their callbacks that the plug-in may call
// from there. The tidebloom-host executable interposes the allocator (HostAllocHooks.cpp:
// malloc and its relatives, which operator new reaches too) and reports each allocation through
// HostAllocNote, which counts it only while HostAllocWatchArm(true) is in effect and the allocating
// thread is inside such a scope. Other executables linking the host library have no hooks:
// HostAllocWatchAvailable() is then false and nothing is counted. The test executables that count
// allocations link the same hooks (HostAllocTotal). Everything here is lock-free and allocation-free;
// any thread.

// Marks the calling thread as inside a plug-in's audio callback for the object's lifetime (nests).
class HostAudioCallScope {
public:
    HostAudioCallScope();
    ~HostAudioCallScope();
    HostAudioCallScope(const HostAudioCallScope&) = delete;
    HostAudioCallScope& operator=(const HostAudioCallScope&) = delete;
};

// Marks the calling thread as back in the host's own code (its callback, called by the plug-in from
// inside an audio callback) for the object's lifetime: what the host allocates there is not counted.
class HostCallbackScope {
public:
    HostCallbackScope();
    ~HostCallbackScope();
    HostCallbackScope(const HostCallbackScope&) = delete;
    HostCallbackScope& operator=(const HostCallbackScope&) = delete;

private:
    int mSavedDepth;
};

// True when the executable's allocator reports to HostAllocNote.
bool HostAllocWatchAvailable();
// Starts (true) or stops counting; the count is kept.
void HostAllocWatchArm(bool armed);
// Allocations counted so far inside audio callbacks while armed.
long HostAudioAllocations();
// Every allocation reported so far, on any thread, armed or not.
long HostAllocTotal();

// Called by the interposed allocator for every allocation; counts it when it is one to count.
void HostAllocNote();
// Called once by the interposed allocator's owner at start-up.
void HostAllocWatchSetAvailable();
