// The editor's window: pictures on the screen, scale, and its life in the host's window.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "tests/support/ScopedEnv.h"
#include "tests/support/x11/X11Session.h"
#include "tests/support/x11/XvfbServer.h"

namespace {

::testing::Environment* const sXvfb = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

using E = X11TestEffect;

// A parameter-automating thread, as a host playing automation runs one on its audio thread.
struct Automation {
    TestHost& host;
    std::atomic<bool> stop{false};
    std::thread t;
    explicit Automation(TestHost& h)
        : host(h), t([this] {
              for (int i = 0; !stop; ++i) {
                  host.SetParameter(E::kGain, static_cast<float>((i % 100) / 100.0));
                  std::this_thread::sleep_for(std::chrono::microseconds(200));
              }
          }) {}
    ~Automation() {
        stop = true;
        t.join();
    }
};

class X11Window : public ::testing::TestWithParam<int> {};

// The window shows the off-screen bitmap within two idle calls of the host's period, and again after
// the host unmaps and re-maps its window, after a cover over it goes, and after a parameter changes.
TEST_P(X11Window, ShowsTheBitmapWithinTwoIdleCalls) {
    const int period = GetParam();
    X11Session s(TestDisplay());
    ASSERT_TRUE(s.Open());
    // Shared memory carries the pictures whenever the server offers it.
    EXPECT_EQ(s.Gui()->UsesShm(), getenv("TB_XVFB_NO_SHM") == nullptr);
    s.Idle(2, period);
    EXPECT_TRUE(s.ScreenSettles());

    // Unmapped and mapped again: the server shows the root's background until we repaint.
    TestDisplay().Unmap(s.parent);
    TestDisplay().Map(s.parent);
    EXPECT_FALSE(s.ScreenMatches()) << "the test needs the window to lose its picture";
    s.Idle(2, period);
    EXPECT_TRUE(s.ScreenSettles());

    // A window over it, then gone: the uncovered part keeps the cover's pixels until we repaint.
    const xcb_window_t cover = TestDisplay().MakeParent(s.px + 30, s.py + 30, 200, 150);
    TestDisplay().Destroy(cover);
    EXPECT_FALSE(s.ScreenMatches());
    s.Idle(2, period);
    EXPECT_TRUE(s.ScreenSettles());

    // The host moves a knob: the next frame (at the editor's frame rate) redraws it.
    const uint64_t frames = s.Gui()->FramesDrawn();
    s.host.SetParameter(E::kGain, 0.9f);
    EXPECT_GE(s.IdleUntil([&] { return s.Gui()->FramesDrawn() > frames; }, 100, period), 1);
    EXPECT_TRUE(s.ScreenSettles());
}

INSTANTIATE_TEST_SUITE_P(IdlePeriods, X11Window, ::testing::Values(10, 40, 66));

// Shared-memory segments of this process: their permission bits (with 01000 once marked for removal).
std::vector<int> OurSegments() {
    std::vector<int> modes;
    FILE* f = fopen("/proc/sysvipc/shm", "r");
    char line[512];
    while (f && fgets(line, sizeof(line), f)) {
        long key = 0, id = 0, size = 0;
        int perms = 0, cpid = 0;
        if (sscanf(line, "%ld %ld %o %ld %d", &key, &id, &perms, &size, &cpid) == 5 && cpid == getpid())
            modes.push_back(perms);
    }
    if (f) fclose(f);
    return modes;
}

TEST(X11Window, SharedMemoryOnlyOursAndAlreadyRemoved) {
    if (getenv("TB_XVFB_NO_SHM")) GTEST_SKIP() << "the server offers no shared memory";
    ASSERT_TRUE(OurSegments().empty());
    {
        X11Session s(TestDisplay());
        ASSERT_TRUE(s.Open());
        // Readable by our user only, and marked for removal as soon as the server attached it.
        EXPECT_EQ(OurSegments(), std::vector<int>{01600});
        s.Close();
    }
    EXPECT_TRUE(OurSegments().empty());
}

TEST(X11Window, NothingIsDrawnWhileNothingChanges) {
    X11Session s(TestDisplay());
    ASSERT_TRUE(s.Open());
    ASSERT_GE(s.IdleUntil([&] { return s.Gui()->FramesDrawn() > 0 && s.ScreenMatches(); }), 0);
    // Value changes draw a control twice: let those pass.
    s.Idle(4, 45);
    const uint64_t frames = s.Gui()->FramesDrawn();
    s.Idle(10, 45);
    EXPECT_EQ(s.Gui()->FramesDrawn(), frames);
}

TEST(X11Window, DoubledOnDenseScreens) {
    struct Case {
        const char* gdkScale;
        const char* resources; // RESOURCE_MANAGER on the root, or null
        int scale;
    };
    const Case cases[] = {
        {"2", nullptr, 2},
        {nullptr, "Xft.antialias:\t1\nXft.dpi:\t192\n", 2},
        {nullptr, "Xft.dpi:\t96\n", 1},
        {"1", "Xft.dpi:\t192\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.gdkScale ? c.gdkScale : "-") + " " + (c.resources ? c.resources : "-"));
        ScopedEnv env("GDK_SCALE", c.gdkScale);
        if (c.resources) TestDisplay().SetRootProperty("RESOURCE_MANAGER", c.resources);
        {
            X11Session s(TestDisplay());
            // Asked before the window opens, the host learns the real size.
            ERect* rect = nullptr;
            ASSERT_EQ(s.host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
            EXPECT_EQ(rect->right, E::kWidth * c.scale);
            EXPECT_EQ(rect->bottom, E::kHeight * c.scale);
            ASSERT_TRUE(s.Open());
            EXPECT_EQ(s.Scale(), c.scale);
            ASSERT_EQ(s.host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
            EXPECT_EQ(rect->right, E::kWidth * c.scale);
            s.Idle(2, 40);
            EXPECT_TRUE(s.ScreenSettles());
            // Pointer positions are halved: window pixel (201, 401) is the editor's (98, 198).
            if (c.scale == 2) {
                TestDisplay().Click(s.px + 201, s.py + 401);
                EXPECT_GE(s.IdleUntil([&] { return s.Logged("probe up 98 198"); }), 0);
                EXPECT_TRUE(s.Logged("probe down 98 198"));
            }
        }
        TestDisplay().DeleteRootProperty("RESOURCE_MANAGER");
    }
}

TEST(X11Window, OpenCloseCyclesLeaveNothingBehind) {
    X11TestDisplay& d = TestDisplay();
    X11Session s(d);
    Automation automation(s.host);
    // The first cycle loads fonts and libraries for good; count from after it.
    ASSERT_TRUE(s.Open());
    s.Idle(2, 5);
    s.Close();
    const ResourceCounts before = ResourceCounts::Now(d);
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(s.Open()) << i;
        s.Idle(1 + i % 3, 2);
        s.Close();
    }
    EXPECT_EQ(ResourceCounts::Now(d), before);
    EXPECT_EQ(d.CountDescendants(s.parent), 0);
}

TEST(X11Window, TwoEditorsInterleavedClosedInEitherOrder) {
    X11TestDisplay& d = TestDisplay();
    X11Session a(d, 20, 20), b(d, 700, 20);
    Automation automationA(a.host), automationB(b.host);
    ASSERT_TRUE(a.Open());
    a.Close();
    const ResourceCounts before = ResourceCounts::Now(d);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(a.Open());
        ASSERT_TRUE(b.Open());
        for (int i = 0; i < 3; ++i) {
            a.Idle(1);
            b.Idle(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
        EXPECT_TRUE(a.ScreenSettles());
        EXPECT_TRUE(b.ScreenSettles());
        if (round == 0) {
            a.Close();
            b.Idle(2, 10);
            b.Close();
        } else {
            b.Close();
            a.Idle(2, 10);
            a.Close();
        }
        EXPECT_EQ(ResourceCounts::Now(d), before) << round;
    }
}

TEST(X11Window, TwoEditorsIdledFromTwoThreads) {
    X11TestDisplay& d = TestDisplay();
    X11Session a(d, 20, 20), b(d, 700, 20);
    ASSERT_TRUE(a.Open());
    ASSERT_TRUE(b.Open());
    {
        Automation automationA(a.host), automationB(b.host);
        std::thread ta([&] { a.Idle(30, 10); });
        std::thread tb([&] { b.Idle(30, 10); });
        ta.join();
        tb.join();
    }
    a.Idle(3, 40);
    b.Idle(3, 40);
    EXPECT_TRUE(a.ScreenSettles());
    EXPECT_TRUE(b.ScreenSettles());
}

TEST(X11Window, ParentDestroyedBeforeClose) {
    X11TestDisplay& d = TestDisplay();
    X11Session s(d);
    Automation automation(s.host);
    const ResourceCounts before = ResourceCounts::Now(d);
    ASSERT_TRUE(s.Open());
    s.Idle(2, 10);
    d.Destroy(s.parent);
    EXPECT_GE(s.IdleUntil([&] { return s.Gui()->ParentGone(); }), 0);
    s.Idle(5, 10); // keeps idling with nothing to draw into
    EXPECT_TRUE(s.Gui()->WindowIsOpen());
    s.Close();
    EXPECT_FALSE(s.Gui()->WindowIsOpen());
    ResourceCounts after = ResourceCounts::Now(d);
    EXPECT_EQ(after.fds, before.fds);
    EXPECT_EQ(after.windows, before.windows - 1); // the parent is gone
    s.parent = 0;
}

TEST(X11Window, IdleFromAnotherThreadThanOpen) {
    X11Session s(TestDisplay());
    ASSERT_TRUE(s.Open());
    std::thread idler([&] { s.Idle(3, 40); });
    idler.join();
    EXPECT_TRUE(s.ScreenSettles());
}

TEST(X11Window, IdleAndCloseWithoutOpen) {
    X11Session s(TestDisplay());
    s.Idle(3);
    EXPECT_EQ(s.host.Dispatch(effEditKeyDown, 'a', 0, nullptr, 0.0f), 0);
    s.Close();
    s.Close();
    EXPECT_FALSE(s.Gui()->WindowIsOpen());
}

TEST(X11Window, OpenRefusedSilently) {
    X11TestDisplay& d = TestDisplay();
    X11Session s(d, 40, 40, false);
    const ResourceCounts before = ResourceCounts::Now(d);
    // Nothing may be printed: the host's terminal is not ours.
    fflush(stderr);
    char errFile[] = "/tmp/tb_x11_stderr_XXXXXX";
    const int errFd = mkstemp(errFile);
    const int savedErr = dup(2);
    dup2(errFd, 2);

    EXPECT_EQ(s.host.Dispatch(effEditOpen, 0, 0, nullptr), 0) << "null parent";
    const xcb_window_t dead = d.MakeParent(0, 0, 10, 10);
    d.Destroy(dead);
    EXPECT_EQ(s.OpenIn(dead), false) << "dead parent";
    {
        ScopedEnv noDisplay("DISPLAY", nullptr);
        EXPECT_FALSE(s.OpenIn(d.Root())) << "no display";
    }
    {
        ScopedEnv refusing("DISPLAY", ":4242");
        EXPECT_FALSE(s.OpenIn(d.Root())) << "refusing server";
    }
    // Audio goes on.
    double in[2][16] = {}, out[2][16] = {};
    double* ins[2] = {in[0], in[1]};
    double* outs[2] = {out[0], out[1]};
    in[0][3] = 1.0;
    s.host.ProcessDoubleReplacing(ins, outs, 16);
    EXPECT_EQ(out[0][3], 0.5);

    fflush(stderr);
    dup2(savedErr, 2);
    close(savedErr);
    EXPECT_EQ(lseek(errFd, 0, SEEK_END), 0);
    close(errFd);
    unlink(errFile);
    EXPECT_FALSE(s.Gui()->WindowIsOpen());
    EXPECT_EQ(ResourceCounts::Now(d), before);
}

} // namespace
