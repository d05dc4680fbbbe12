// The CLAP plug-in's editor through its gui extension, on a private Xvfb: embedded in a window of the
// test as hosts embed it (set_parent, show), driven only by the host's timer and descriptor callbacks;
// its window against the VST 2 plug-in's editor drawn off-screen at the same values and size (exact
// pixels; 200 % at scale 2), a drag that reaches the host as gesture begin, values and gesture end
// through the next params flush, a size chosen in the editor's menu that the host is asked to follow,
// hide and destroy, and a floating window of its own.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "TidebloomDescription.h"
#include "tests/Graphics/TidebloomReferenceEditor.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestDir.h"
#include "tests/support/clap/ClapTestHost.h"
#include "tests/support/x11/X11MenuChooser.h"
#include "tests/support/x11/X11Session.h"
#include "tests/support/x11/XvfbServer.h"

namespace {

::testing::Environment* const sXvfb = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

constexpr int kW = kTidebloomEditorWidth, kH = kTidebloomEditorHeight;
constexpr clap_id kProgram = 0x50726F67;

using Plain = TidebloomReferenceEditor::Plain;

Plain Defaults() {
    return TidebloomReferenceEditor::Defaults();
}

// The plug-in with its editor created for embedding, in a window of the test.
struct Embedded {
    X11TestDisplay& d = TestDisplay();
    ClapLibrary lib{TIDEBLOOM_CLAP_PATH};
    ClapTestHost host;
    const clap_plugin_gui_t* gui = nullptr;
    xcb_window_t parent = d.MakeParent(40, 40, 2 * kW + 20, 2 * kH + 20);
    int px = 0, py = 0, scale;
    int percent; // the editor's size

    explicit Embedded(double hostScale = 1.0) : scale(hostScale >= 2.0 ? 2 : 1), percent(100 * scale) {
        d.RootPosition(parent, &px, &py);
        EXPECT_TRUE(host.Create(lib.Factory(), "com.vendrilax.tidebloom")) << lib.Error();
        gui = host.Extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
        if (!gui) return;
        EXPECT_TRUE(gui->create(host.Plugin(), CLAP_WINDOW_API_X11, false));
        EXPECT_TRUE(gui->set_scale(host.Plugin(), hostScale));
        const clap_window_t w{CLAP_WINDOW_API_X11, {.x11 = parent}};
        EXPECT_TRUE(gui->set_parent(host.Plugin(), &w));
        EXPECT_TRUE(gui->show(host.Plugin()));
    }
    ~Embedded() {
        host.Destroy();
        if (d.Exists(parent)) d.Destroy(parent);
    }
    // The editor's window: the one child of the parent.
    xcb_window_t Window() {
        xcb_query_tree_reply_t* t = xcb_query_tree_reply(d.Conn(), xcb_query_tree(d.Conn(), parent), nullptr);
        xcb_window_t w = t && t->children_len > 0 ? xcb_query_tree_children(t)[0] : 0;
        free(t);
        return w;
    }
    // Plays the host's main loop (timers and the watched descriptor) until pred holds, at most two
    // seconds; true when it held.
    template <class F>
    bool LoopUntil(F pred) {
        for (int i = 0; i < 200; ++i) {
            if (pred()) return true;
            host.FireFds();
            host.FireTimers();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return pred();
    }
    ::testing::AssertionResult Shows(const Plain& values) {
        Raster_IBitmap* bm = TidebloomReferenceEditor::Get().At(values, percent);
        std::string diff;
        if (LoopUntil([&] {
                diff = d.CompareWithBitmap(Window(), bm->getBits(), bm->getRowSpan(), bm->getWidth(),
                                           bm->getHeight(), 1);
                return diff.empty();
            }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << diff;
    }
    int RootX(int ex) const { return px + (ex + 2) * scale; }
    int RootY(int ey) const { return py + (ey + 2) * scale; }
};

} // namespace

TEST(TidebloomCLAPGui, X11EmbeddedOrFloatingAndOnlyWithTheHostsTimers) {
    ClapLibrary lib(TIDEBLOOM_CLAP_PATH);
    ClapTestHost host;
    ASSERT_TRUE(host.Create(lib.Factory(), "com.vendrilax.tidebloom"));
    const auto* gui = host.Extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
    ASSERT_NE(gui, nullptr);
    EXPECT_TRUE(gui->is_api_supported(host.Plugin(), "x11", false));
    EXPECT_TRUE(gui->is_api_supported(host.Plugin(), "x11", true));
    for (const char* api : {"wayland", "win32", "cocoa", ""})
        EXPECT_FALSE(gui->is_api_supported(host.Plugin(), api, false));
    const char* api = nullptr;
    bool floating = true;
    ASSERT_TRUE(gui->get_preferred_api(host.Plugin(), &api, &floating));
    EXPECT_STREQ(api, "x11");
    EXPECT_FALSE(floating);
    EXPECT_FALSE(gui->create(host.Plugin(), "wayland", false));
    EXPECT_FALSE(gui->can_resize(host.Plugin()));
    clap_gui_resize_hints_t hints{true, true, true, 1, 1};
    ASSERT_TRUE(gui->get_resize_hints(host.Plugin(), &hints));
    EXPECT_FALSE(hints.can_resize_horizontally || hints.can_resize_vertically || hints.preserve_aspect_ratio);
    // A host without timers cannot drive the editor: it gets none (we run no thread of our own).
    ClapTestHost noTimers(ClapTestHost::kAll & ~ClapTestHost::kTimers);
    ASSERT_TRUE(noTimers.Create(lib.Factory(), "com.vendrilax.tidebloom"));
    const auto* gui2 = noTimers.Extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
    EXPECT_FALSE(gui2->create(noTimers.Plugin(), "x11", false));
}

// Embedded, the window shows the VST 2 plug-in's editor at the same values, pixel for pixel, at its
// size or at 200 % for a host scale of 2; the host's timer runs at the editor's 25 frames a second and
// the host watches the window's connection. Values the host flushes move the controls.
TEST(TidebloomCLAPGui, ShowsTheVst2EditorAtTheSameValues) {
    for (double hostScale : {1.0, 2.0}) {
        SCOPED_TRACE(hostScale);
        Embedded e(hostScale);
        ASSERT_NE(e.gui, nullptr);
        uint32_t w = 0, h = 0;
        ASSERT_TRUE(e.gui->get_size(e.host.Plugin(), &w, &h));
        EXPECT_EQ(w, static_cast<uint32_t>(kW * e.scale));
        EXPECT_EQ(h, static_cast<uint32_t>(kH * e.scale));
        EXPECT_TRUE(e.gui->set_size(e.host.Plugin(), w, h));
        EXPECT_FALSE(e.gui->set_size(e.host.Plugin(), w + 1, h));
        ASSERT_NE(e.Window(), 0u);
        const auto timers = e.host.Timers();
        ASSERT_EQ(timers.size(), 1u);
        EXPECT_EQ(timers.begin()->second, 40u);
        EXPECT_EQ(e.host.Fds().size(), 1u);
        EXPECT_TRUE(e.Shows(Defaults()));
        e.host.Flush({{0, kProgram, 3.0}});
        EXPECT_TRUE(e.Shows({0.676, 0.433, 1.0, 1.0, 1.0}));
        e.host.Flush({{0, kVol, 1.5}, {0, kOnOff, 0.0}});
        EXPECT_TRUE(e.Shows({0.676, 0.433, 1.0, 1.5, 0.0}));
    }
}

// A drag on Time reaches the host at its next flush as gesture begin, increasing values and gesture
// end; the plug-in asked for that flush. The window then shows the editor at the value dragged to.
TEST(TidebloomCLAPGui, ADragReachesTheHostAsAGesture) {
    Embedded e;
    ASSERT_NE(e.Window(), 0u);
    ASSERT_TRUE(e.Shows(Defaults()));
    const TidebloomKnobLayout* time = nullptr;
    for (const TidebloomKnobLayout& k : kTidebloomKnobs)
        if (k.param == kTime) time = &k;
    ASSERT_NE(time, nullptr);
    e.host.ClearRequests();
    e.d.MoveTo(e.RootX(time->anchorX), e.RootY(time->anchorY));
    e.d.Button(1, true);
    ASSERT_TRUE(e.LoopUntil([&] { return !e.host.Requests("flush").empty(); }));
    for (int step = 1; step <= 5; ++step) {
        e.d.MoveTo(e.RootX(time->anchorX), e.RootY(time->anchorY - 6 * step));
        const double before = e.host.Value(kTime);
        EXPECT_TRUE(e.LoopUntil([&] { return e.host.Value(kTime) > before; })) << step;
    }
    e.d.Button(1, false);
    const size_t asked = e.host.Requests("flush").size();
    EXPECT_TRUE(e.LoopUntil([&] { return e.host.Requests("flush").size() > asked; }));
    e.host.Flush();
    const std::vector<ClapTestHost::OutEvent> out = e.host.TakeOutEvents();
    ASSERT_GE(out.size(), 7u);
    EXPECT_EQ(out.front().type, CLAP_EVENT_PARAM_GESTURE_BEGIN);
    EXPECT_EQ(out.back().type, CLAP_EVENT_PARAM_GESTURE_END);
    double last = 0.5;
    for (size_t k = 0; k < out.size(); ++k) {
        EXPECT_EQ(out[k].param, static_cast<clap_id>(kTime)) << k;
        if (k == 0 || k + 1 == out.size()) continue;
        EXPECT_EQ(out[k].type, CLAP_EVENT_PARAM_VALUE) << k;
        EXPECT_GT(out[k].value, last) << k;
        last = out[k].value;
    }
    EXPECT_EQ(last, e.host.Value(kTime));
    Plain now = Defaults();
    now[kTime] = last;
    EXPECT_TRUE(e.Shows(now));
}

// A size chosen in the editor's menu (a right click on the background) resizes the window and asks the
// host, from the main thread, to follow; get_size answers the new size.
TEST(TidebloomCLAPGui, ASizeChosenInTheMenuAsksTheHostToResize) {
    TestDir config("clap-sizes");
    ScopedEnv env("XDG_CONFIG_HOME", config.Path().c_str());
    Embedded e;
    ASSERT_NE(e.Window(), 0u);
    ASSERT_TRUE(e.Shows(Defaults()));
    e.host.ClearRequests();
    {
        X11MenuChooser user(3); // 100, 150, 200 %
        e.d.Click(e.RootX(5), e.RootY(5), 3);
        EXPECT_TRUE(e.LoopUntil([&] { return !e.host.Requests("resize 1110x612").empty(); }));
    }
    const std::vector<ClapTestHost::Request> asked = e.host.Requests("resize 1110x612");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].onMainThread);
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(e.gui->get_size(e.host.Plugin(), &w, &h));
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(1110u, 612u));
    e.percent = 200;
    EXPECT_TRUE(e.Shows(Defaults()));
}

// Hide stops the timer and the watch; show starts them again; destroy closes the window. A floating
// editor opens a top-level window of its own at show and closes it at hide.
TEST(TidebloomCLAPGui, ShowHideDestroyAndFloating) {
    {
        Embedded e;
        ASSERT_NE(e.Window(), 0u);
        EXPECT_TRUE(e.gui->hide(e.host.Plugin()));
        EXPECT_TRUE(e.host.Timers().empty());
        EXPECT_TRUE(e.host.Fds().empty());
        EXPECT_TRUE(e.gui->show(e.host.Plugin()));
        EXPECT_EQ(e.host.Timers().size(), 1u);
        EXPECT_TRUE(e.Shows(Defaults()));
        e.gui->destroy(e.host.Plugin());
        EXPECT_TRUE(e.host.Timers().empty());
        e.d.Sync();
        EXPECT_EQ(e.Window(), 0u);
    }
    X11TestDisplay& d = TestDisplay();
    ClapLibrary lib(TIDEBLOOM_CLAP_PATH);
    ClapTestHost host;
    ASSERT_TRUE(host.Create(lib.Factory(), "com.vendrilax.tidebloom"));
    const auto* gui = host.Extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
    const std::vector<xcb_window_t> before = d.DialogWindows({});
    ASSERT_TRUE(gui->create(host.Plugin(), CLAP_WINDOW_API_X11, true));
    const clap_window_t w{CLAP_WINDOW_API_X11, {.x11 = d.Root()}};
    EXPECT_FALSE(gui->set_parent(host.Plugin(), &w));
    ASSERT_TRUE(gui->show(host.Plugin()));
    d.Sync();
    EXPECT_EQ(d.DialogWindows(before).size(), 1u);
    EXPECT_EQ(host.Timers().size(), 1u);
    ASSERT_TRUE(gui->hide(host.Plugin()));
    d.Sync();
    EXPECT_TRUE(d.DialogWindows(before).empty());
    EXPECT_TRUE(host.Timers().empty());
}
