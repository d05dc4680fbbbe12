// The bundle in a real LV2 host: jalv (Debian jalv) runs it from the build folder (LV2_PATH) on JACK's
// dummy driver (jackd, Debian jackd2, a server of the test's own), on a private Xvfb.
// - jalv.gtk3 embeds the UI as a child of its window, which shows the VST 2 plug-in's editor pixel for
//   pixel; a drag on Depth in the UI (XTest) reaches the plug-in through the ports, and the latency
//   jalv reports to JACK for the plug-in's output (jack_lsp) climbs to the longest delay.
// - jalv (the console host, -s) shows the UI in a window of the UI's own (show interface), with the
//   same picture, and the same drag moves the latency JACK has.
// Not built in the sanitized builds: jalv is not built with the sanitizers, so it cannot load the modules.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Graphics/TidebloomEditor.h"
#include "Graphics/TidebloomLayout.h"
#include "TidebloomDescription.h"
#include "framework/platform/linux/IGraphicsHeadless.h"
#include "framework/platform/linux/LinuxProcess.h"
#include "tests/Graphics/TidebloomTestSupport.h"
#include "tests/support/JackServer.h"
#include "tests/support/TestDir.h"
#include "tests/support/vst2/TestHost.h"
#include "tests/support/x11/X11Session.h"
#include "tests/support/x11/XvfbServer.h"

extern char** environ;

namespace {

::testing::Environment* const sXvfb = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

using Clock = std::chrono::steady_clock;
constexpr double kRate = 48000.0;
constexpr int kW = kTidebloomEditorWidth, kH = kTidebloomEditorHeight;

// The windows below w (all levels) with their sizes.
struct Found {
    xcb_window_t window = 0;
    int depth = 0;
};
void FindSized(xcb_connection_t* c, xcb_window_t w, int w0, int h0, int depth, Found* best) {
    xcb_query_tree_reply_t* t = xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr);
    if (!t) return;
    const xcb_window_t* children = xcb_query_tree_children(t);
    for (int i = 0; i < xcb_query_tree_children_length(t); ++i) {
        xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, children[i]), nullptr);
        if (g && g->width == w0 && g->height == h0 && depth + 1 > best->depth)
            *best = {children[i], depth + 1};
        std::free(g);
        FindSized(c, children[i], w0, h0, depth + 1, best);
    }
    std::free(t);
}

// The top-level window titled `title` (mapped, not override-redirect), 0 when none.
xcb_window_t TopLevel(X11TestDisplay& d, const char* title) {
    for (xcb_window_t w : d.DialogWindows({}))
        if (d.Property(w, "WM_NAME") == title || d.Property(w, "_NET_WM_NAME") == title) return w;
    return 0;
}

// The VST 2 plug-in's editor on the headless platform at its defaults (the plug-in in host owns it).
Raster_IBitmap* Vst2EditorAtDefaults(TestHost& host) {
    AEffect* fx = host.Load(TidebloomTestEntry);
    host.Open();
    auto* plug = static_cast<IEffectVST*>(fx->object);
    auto* gui = new IGraphicsHeadless(plug, kW, kH);
    TidebloomAttachControls(gui);
    plug->AttachGraphics(gui);
    IRECT all(0, 0, kW, kH);
    gui->Draw(&all);
    return gui->GetDrawBitmap();
}

// Drags from editor point (ex, ey) of window w up by `up` pixels in steps, as a hand does.
void DragUp(X11TestDisplay& d, xcb_window_t w, int ex, int ey, int up) {
    int x = 0, y = 0;
    d.RootPosition(w, &x, &y);
    d.MoveTo(x + ex + 2, y + ey + 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    d.Button(1, true);
    for (int k = 1; k <= 15; ++k) {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        d.MoveTo(x + ex + 2, y + ey + 2 - up * k / 15);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    d.Button(1, false);
}

// The playback latency JACK has for port (as jack_lsp -l prints it: "[ min max ]"); -1 when none.
// The test's JACK server, its clients finding the build's LV2 bundles.
bool StartJack(JackServer& jack, std::string* why) {
    return jack.Start(static_cast<int>(kRate), 256,
                      {"LV2_PATH=" + std::string(TIDEBLOOM_LV2_DIR) + ":/usr/lib/lv2", "NO_AT_BRIDGE=1"},
                      why);
}

double JackLatency(const JackServer& jack, const std::string& port) {
    LinuxProcess lsp;
    if (!lsp.Start(LinuxFindExecutable("jack_lsp"), {"jack_lsp", "-l", port}, jack.env, true)) return -1;
    WaitForCondition([&] { return lsp.TryReap(); }, 5, {&lsp});
    lsp.ReadAvailable();
    const std::string key = "port playback latency = [ ";
    const size_t at = lsp.Output().find(key);
    return at == std::string::npos ? -1 : std::strtod(lsp.Output().c_str() + at + key.size(), nullptr);
}

// The latency jalv reports to JACK for the plug-in's output at the default Depth, then a drag on Depth
// in the UI's window w up to its top: the latency climbs to the longest delay, never going back.
void ExpectDepthDragReachesThePlugin(X11TestDisplay& d, const JackServer& jack, LinuxProcess& host,
                                     xcb_window_t w) {
    const std::string out = kTidebloomDescription.mEffectName + std::string(":out_l");
    const double initial = std::floor(kHistoryLength * std::cbrt(0.75) * kRate / 44100.0);
    ASSERT_TRUE(WaitForCondition([&] { return JackLatency(jack, out) == initial; }, 10, {&host}))
        << JackLatency(jack, out) << "; jalv said: " << host.Output();
    // What JACK reports while the hand moves, read from a second thread.
    std::vector<double> latencies;
    std::atomic<bool> dragging{true};
    std::thread watcher([&] {
        while (dragging) {
            const double l = JackLatency(jack, out);
            // JACK shows 0 for a moment while it recomputes the graph's latencies: not a value.
            if (l > 0 && (latencies.empty() || latencies.back() != l)) latencies.push_back(l);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const TidebloomKnobLayout& depth = kTidebloomKnobs[2];
    ASSERT_EQ(depth.param, kDepth);
    DragUp(d, w, depth.anchorX, depth.anchorY, 150);
    const double longest = kTidebloomDescription.MaxLatencyAt(kRate);
    EXPECT_TRUE(WaitForCondition([&] { return JackLatency(jack, out) == longest; }, 10, {&host}))
        << JackLatency(jack, out) << "; jalv said: " << host.Output();
    dragging = false;
    watcher.join();
    // How many steps a reader sees depends on how busy the machine is; that they only climb does not.
    for (size_t i = 1; i < latencies.size(); ++i) EXPECT_GT(latencies[i], latencies[i - 1]) << i;
}

// Window w shows the VST 2 plug-in's editor at the defaults, within five seconds.
::testing::AssertionResult ShowsTheVst2Editor(X11TestDisplay& d, xcb_window_t w) {
    TestHost vst;
    Raster_IBitmap* expected = Vst2EditorAtDefaults(vst);
    std::string diff;
    if (WaitForCondition(
            [&] {
                diff = d.CompareWithBitmap(w, expected->getBits(), expected->getRowSpan(), kW, kH, 1);
                return diff.empty();
            },
            5))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << diff;
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

} // namespace

TEST(TidebloomJalv, Gtk3EmbedsTheUIAndADragReachesThePlugin) {
    const auto start = Clock::now();
    const std::string jalv = LinuxFindExecutable("jalv.gtk3");
    ASSERT_FALSE(jalv.empty()) << "jalv.gtk3 is not installed (Debian package jalv)";
    JackServer jack;
    std::string why;
    ASSERT_TRUE(StartJack(jack, &why)) << why;
    X11TestDisplay& d = TestDisplay();

    LinuxProcess host;
    const std::string stdbuf = LinuxFindExecutable("stdbuf"); // jalv's output line by line into our pipe
    ASSERT_TRUE(host.Start(stdbuf, {"stdbuf", "-oL", jalv, kTidebloomDescription.mURI}, jack.env, true));
    // jalv's window, and in it the UI's: the innermost window of the editor's size.
    Found ui;
    ASSERT_TRUE(WaitForCondition(
        [&] {
            const xcb_window_t top = TopLevel(d, kTidebloomDescription.mEffectName);
            ui = {};
            if (top) FindSized(d.Conn(), top, kW, kH, 0, &ui);
            return ui.window != 0;
        },
        20, {&host}))
        << "no UI in jalv's window; jalv said: " << host.Output();
    EXPECT_GE(ui.depth, 2) << "a child of a window of jalv's, not jalv's own top-level window";
    EXPECT_TRUE(ShowsTheVst2Editor(d, ui.window));
    ExpectDepthDragReachesThePlugin(d, jack, host, ui.window);
    host.Terminate();
    std::printf("jalv.gtk3 end to end: %.1f s\n", Seconds(start));
}

TEST(TidebloomJalv, ConsoleShowsTheUIsOwnWindowAndADragReachesThePlugin) {
    const auto start = Clock::now();
    const std::string jalv = LinuxFindExecutable("jalv");
    ASSERT_FALSE(jalv.empty()) << "jalv is not installed (Debian package jalv)";
    JackServer jack;
    std::string why;
    ASSERT_TRUE(StartJack(jack, &why)) << why;
    X11TestDisplay& d = TestDisplay();

    // jalv -s shows the UI while its standard input stays open: a FIFO we hold.
    TestDir dir;
    const std::string fifo = dir / "commands";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int commands = open(fifo.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(commands, 0);
    LinuxProcess host;
    const std::string script =
        "exec stdbuf -oL '" + jalv + "' -s " + kTidebloomDescription.mURI + " <'" + fifo + "'";
    ASSERT_TRUE(host.Start("/bin/sh", {"sh", "-c", script}, jack.env, true));
    xcb_window_t own = 0;
    ASSERT_TRUE(WaitForCondition([&] { return (own = TopLevel(d, kTidebloomDescription.mEffectName)) != 0; },
                                 20, {&host}))
        << "no window; jalv said: " << host.Output();
    EXPECT_EQ(d.CountDescendants(own), 0) << "the editor's own top-level window";
    EXPECT_TRUE(ShowsTheVst2Editor(d, own));
    ExpectDepthDragReachesThePlugin(d, jack, host, own);
    host.Terminate();
    close(commands);
    std::printf("jalv -s end to end: %.1f s\n", Seconds(start));
}
