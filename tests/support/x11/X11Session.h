#pragma once
// X11Session: one X11TestEffect loaded into the in-process test host and embedded as Linux hosts embed
// editors: a top-level window of the test display is the parent, its id goes to effEditOpen, and the
// test idles the effect (effEditIdle) like the host's timer would. Helpers map editor points to the
// screen and compare the window's pixels with the editor's off-screen bitmap.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/x11/X11TestDisplay.h"
#include "tests/support/x11/X11TestEffect.h"
#include "tests/support/vst2/TestHost.h"

struct X11Session {
    X11TestDisplay& d;
    TestHost host;
    AEffect* effect = nullptr;
    X11TestEffect* plug = nullptr;
    xcb_window_t parent = 0;
    int px = 0, py = 0; // the parent's place on the screen

    explicit X11Session(X11TestDisplay& display, int x = 40, int y = 40, bool makeParent = true);
    ~X11Session();
    X11Session(const X11Session&) = delete;
    X11Session& operator=(const X11Session&) = delete;

    IGraphicsLinux* Gui() { return plug->Gui(); }
    // effEditOpen with the parent (or another window id); true when the effect answered 1.
    bool Open() { return OpenIn(parent); }
    bool OpenIn(xcb_window_t window);
    void Close() { host.Dispatch(effEditClose); }
    xcb_window_t Window() {
        return static_cast<xcb_window_t>(reinterpret_cast<uintptr_t>(Gui()->GetWindow()));
    }
    // n idle calls, intervalMs apart.
    void Idle(int n = 1, int intervalMs = 0);
    // Idles every intervalMs until pred() holds, at most maxCalls times: the number of calls it took, or
    // -1 when it never held.
    template <class F>
    int IdleUntil(F pred, int maxCalls = 200, int intervalMs = 10) {
        for (int i = 0; i <= maxCalls; ++i) {
            if (pred()) return i;
            if (i == maxCalls) break;
            host.Dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(intervalMs));
        }
        return -1;
    }
    // Screen position of editor point (ex, ey) (the window pixel is (ex + 2, ey + 2) at scale 1).
    int RootX(int ex) const { return px + (ex + 2) * Scale(); }
    int RootY(int ey) const { return py + (ey + 2) * Scale(); }
    int Scale() const { return mScale; }
    void ClickEditor(int ex, int ey, int button = 1);
    // Whether the window shows the off-screen bitmap exactly (each pixel a block at scale 2); why
    // tells the first difference.
    bool ScreenMatches(std::string* why = nullptr);
    // Polls ScreenMatches for up to two seconds without idling (the server may still be copying); a
    // failure tells the last difference.
    ::testing::AssertionResult ScreenSettles();
    // The probe's log without its draw lines.
    std::vector<std::string> ProbeLog();
    bool Logged(const std::string& line);
    double Param(int idx) { return host.GetParameter(idx); }

private:
    int mScale = 1;
};

// The test display of the program, connected on first use (after the environment started the server).
inline X11TestDisplay& TestDisplay() {
    static X11TestDisplay sDisplay;
    return sDisplay;
}

// Open descriptors, threads and windows of the process and the display, for leak checks.
struct ResourceCounts {
    int fds = 0, threads = 0, windows = 0;
    static ResourceCounts Now(X11TestDisplay& d);
    bool operator==(const ResourceCounts& o) const = default;
};
