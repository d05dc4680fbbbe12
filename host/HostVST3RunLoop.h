#pragma once
// HostVST3RunLoop: the run loop a host offers a plug-in's view on Linux (v3_run_loop), turned by the host
// itself: the view registers timers and handlers of file descriptors, and each Turn fires every timer
// once, then calls the handler of every descriptor that is readable. A turn is the host's idle tick, so a
// timer fires at the pace of the turns whatever interval it asked for. Shared by tidebloom-host (its
// editor loop) and the test suite's VST 3 host (turned by the tests).
//
// Threads: the host's user-interface thread; the plug-in registers and unregisters from there (also from
// inside a handler: an entry unregistered during a turn is not called after that). Ownership: the
// handlers are the plug-in's and not counted: it unregisters them before they go, and the host Clears the
// loop once the view is gone. The loop is reached through the host's frame, which owns it; its own
// reference count is not kept.
#include <cstdint>
#include <vector>

#include "framework/vst3/VST3Face.h"

class HostVST3RunLoop {
public:
    // A timer (fd -1) or the handler of a descriptor.
    struct Entry {
        void** handler;
        int fd;
        uint64_t ms; // a timer's interval
    };

    HostVST3RunLoop();
    HostVST3RunLoop(const HostVST3RunLoop&) = delete;
    HostVST3RunLoop& operator=(const HostVST3RunLoop&) = delete;

    v3_run_loop** Face() { return mFace.As<v3_run_loop>(); }
    const std::vector<Entry>& Entries() const { return mEntries; }
    void Turn();
    void Clear() { mEntries.clear(); }

    // ---- v3_run_loop ----
    v3_result QueryInterface(const uint8_t* iid, void** obj);
    uint32_t Ref() { return 2; }
    uint32_t Unref() { return 1; }
    v3_result RegisterEventHandler(v3_event_handler** handler, int fd);
    v3_result UnregisterEventHandler(v3_event_handler** handler);
    v3_result RegisterTimer(v3_timer_handler** handler, uint64_t ms);
    v3_result UnregisterTimer(v3_timer_handler** handler);

private:
    bool Registered(const Entry& e) const;

    VST3Face<HostVST3RunLoop> mFace;
    std::vector<Entry> mEntries;
};
