// The VST 3 bundle's editor as a plug-in view, on a private Xvfb: attached to a window of the test as
// hosts attach it, driven by the test host's run loop (a timer and the X connection's descriptor, turned
// by the test), it shows the VST 2 plug-in's editor at the controller's values and size pixel for pixel
// (200 % at a content scale of 2), a drag, a click (XTest) and the host's keys reach the component
// handler as begin / perform / end edits on the user-interface thread, a size chosen in the editor's
// menu reaches the frame, and it refuses what it cannot do.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Graphics/TidebloomSizes.h"
#include "tests/Graphics/TidebloomReferenceEditor.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestDir.h"
#include "tests/support/vst3/VST3TestHost.h"
#include "tests/support/x11/X11MenuChooser.h"
#include "tests/support/x11/X11Session.h"
#include "tests/support/x11/XvfbServer.h"

namespace {

::testing::Environment* const sXvfb = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

using Plain = TidebloomReferenceEditor::Plain;
constexpr int kW = kTidebloomEditorWidth, kH = kTidebloomEditorHeight;
constexpr uint32_t kProgram = 0x70726F67;

const VST3Library& Library() {
    static const VST3Library sLib(TIDEBLOOM_VST3_SO_PATH);
    return sLib;
}

// The first child of a window (the view's window in the host's), 0 when it has none.
xcb_window_t ChildOf(X11TestDisplay& d, xcb_window_t parent) {
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(d.Conn(), xcb_query_tree(d.Conn(), parent), nullptr);
    if (!tree) return 0;
    const xcb_window_t child =
        xcb_query_tree_children_length(tree) > 0 ? xcb_query_tree_children(tree)[0] : 0;
    free(tree);
    return child;
}

// A plug-in instance with its view, attached to a window of the test.
struct Viewed {
    X11TestDisplay& d = TestDisplay();
    xcb_window_t parent = d.MakeParent(40, 40, 2 * kW + 20, 2 * kH + 20);
    int px = 0, py = 0, scale = 1;
    int percent = 100; // the editor's size
    VST3TestHost host;
    v3_plugin_view** view = nullptr;

    explicit Viewed(float contentScale = 0.0f, bool runLoop = true) {
        d.RootPosition(parent, &px, &py);
        EXPECT_TRUE(host.Load(Library().Factory())) << Library().Problem();
        host.OfferRunLoop(runLoop);
        view = host.E()->create_view(host.Controller(), "editor");
        EXPECT_NE(view, nullptr);
        if (!view) return;
        V()->set_frame(view, host.Frame());
        if (contentScale > 0.0f) {
            v3_plugin_view_content_scale** s = nullptr;
            EXPECT_EQ(v3_cpp_obj_query_interface(view, v3_plugin_view_content_scale_iid, &s), V3_OK);
            EXPECT_EQ(v3_cpp_obj(s)->set_content_scale_factor(s, contentScale), V3_OK);
            v3_cpp_obj_unref(s);
            scale = contentScale >= 2.0f ? 2 : 1;
            percent = 100 * scale;
        }
    }
    ~Viewed() {
        if (view) {
            V()->removed(view);
            v3_cpp_obj_unref(view);
        }
        host.Close();
        if (d.Exists(parent)) d.Destroy(parent);
    }
    v3_plugin_view* V() const { return v3_cpp_obj(view); }
    v3_result Attach() {
        return V()->attached(view, reinterpret_cast<void*>(static_cast<uintptr_t>(parent)),
                             V3_VIEW_PLATFORM_TYPE_X11);
    }
    xcb_window_t Window() { return ChildOf(d, parent); }
    int RootX(int ex) const { return px + (ex + 2) * scale; }
    int RootY(int ey) const { return py + (ey + 2) * scale; }
    // Turns the run loop every 10 ms until pred() holds (at most maxTurns); false when it never did.
    template <class F>
    bool TurnUntil(F pred, int maxTurns = 200) {
        for (int i = 0; i <= maxTurns; ++i) {
            if (pred()) return true;
            host.RunLoopTurn();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    ::testing::AssertionResult Shows(const Plain& values) {
        Raster_IBitmap* bm = TidebloomReferenceEditor::Get().At(values, percent);
        std::string diff;
        if (TurnUntil([&] {
                diff = d.CompareWithBitmap(Window(), bm->getBits(), bm->getRowSpan(), bm->getWidth(),
                                           bm->getHeight(), 1);
                return diff.empty();
            }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << diff;
    }
    // The controller's values as the host sets them (plain values, normalised here).
    void SetValues(const Plain& values) {
        for (int i = 0; i < kNumParams; ++i) {
            const double max = kTidebloomDescription.mParams[static_cast<size_t>(i)].mMax;
            host.E()->set_parameter_normalised(host.Controller(), static_cast<uint32_t>(i),
                                               values[static_cast<size_t>(i)] / max);
        }
    }
};

const TidebloomKnobLayout& Knob(int param) {
    for (const TidebloomKnobLayout& k : kTidebloomKnobs)
        if (k.param == param) return k;
    return kTidebloomKnobs[0];
}

} // namespace

// In the host's window the view shows the VST 2 plug-in's editor at the controller's values, at the
// size it reports, on a timer at the editor's frame rate and the X connection's descriptor; removed,
// it leaves the host's window empty and the run loop as it found it.
TEST(TidebloomVST3View, ShowsTheVst2EditorAtTheControllersValues) {
    struct Case {
        const char* what;
        Plain values;
        float contentScale;
    };
    const Plain arpeggio = {0.676, 0.433, 1.0, 1.0, 1.0};
    const Case cases[] = {
        {"defaults", TidebloomReferenceEditor::Defaults(), 0.0f},
        {"between, scale 1", {0.25, 0.75, 0.5, 1.5, 0.0}, 1.0f},
        {"Arpeggio, scale 2", arpeggio, 2.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Viewed v(c.contentScale);
        ASSERT_NE(v.view, nullptr);
        v3_view_rect size = {};
        ASSERT_EQ(v.V()->get_size(v.view, &size), V3_OK);
        EXPECT_EQ(size.right - size.left, kW * v.scale);
        EXPECT_EQ(size.bottom - size.top, kH * v.scale);
        ASSERT_EQ(v.Attach(), V3_OK);
        const std::vector<VST3RunLoopEntry> entries = v.host.RunLoopEntries();
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(entries[0].fd, -1);
        EXPECT_EQ(entries[0].ms, 40u);
        EXPECT_GE(entries[1].fd, 0);
        v.SetValues(c.values);
        EXPECT_TRUE(v.Shows(c.values));
        EXPECT_TRUE(v.host.Calls().empty()) << "the host's own values are not sent back";
        EXPECT_EQ(v.V()->removed(v.view), V3_OK);
        v.d.Sync();
        EXPECT_EQ(v.d.CountDescendants(v.parent), 0);
        EXPECT_TRUE(v.host.RunLoopEntries().empty());
    }
}

// A content scale that changes the size while attached opens the window again at the new size and asks
// the frame for it; a program the host chooses moves the controls.
TEST(TidebloomVST3View, ScaleChangeAndProgramWhileAttached) {
    Viewed v(1.0f);
    ASSERT_EQ(v.Attach(), V3_OK);
    v3_plugin_view_content_scale** s = nullptr;
    ASSERT_EQ(v3_cpp_obj_query_interface(v.view, v3_plugin_view_content_scale_iid, &s), V3_OK);
    EXPECT_EQ(v3_cpp_obj(s)->set_content_scale_factor(s, 2.0f), V3_OK);
    v3_cpp_obj_unref(s);
    v.scale = 2;
    v.percent = 200;
    ASSERT_EQ(v.host.Resizes().size(), 1u);
    EXPECT_EQ(v.host.Resizes()[0].right, 2 * kW);
    EXPECT_EQ(v.host.Resizes()[0].bottom, 2 * kH);
    ASSERT_EQ(v.host.E()->set_parameter_normalised(v.host.Controller(), kProgram, 0.8), V3_OK);
    EXPECT_TRUE(v.Shows({0.44, 0.612, 1.0, 1.0, 1.0}));
    // The host's fd entry follows the new connection.
    ASSERT_EQ(v.host.RunLoopEntries().size(), 2u);
    EXPECT_GE(v.host.RunLoopEntries()[1].fd, 0);
}

// A drag on Time and a click on the switch reach the component handler as gestures on the
// user-interface thread, with increasing values for the drag; the controller reports the last ones.
// The latency change the switch makes while processing is announced from the view's timer.
TEST(TidebloomVST3View, GesturesReachTheComponentHandler) {
    Viewed v;
    ASSERT_EQ(v.Attach(), V3_OK);
    ASSERT_TRUE(v.host.Start());
    ASSERT_TRUE(v.Shows(TidebloomReferenceEditor::Defaults()));
    X11TestDisplay& d = v.d;
    const TidebloomKnobLayout& time = Knob(kTime);
    d.MoveTo(v.RootX(time.anchorX), v.RootY(time.anchorY));
    d.Button(1, true);
    for (int step = 1; step <= 10; ++step) {
        d.MoveTo(v.RootX(time.anchorX), v.RootY(time.anchorY - 6 * step));
        const size_t before = v.host.Calls().size();
        EXPECT_TRUE(v.TurnUntil([&] { return v.host.Calls().size() > before; }, 20)) << step;
    }
    d.Button(1, false);
    EXPECT_TRUE(v.TurnUntil([&] {
        const auto calls = v.host.Calls();
        return !calls.empty() && calls.back().kind == VST3HandlerCall::kEnd;
    }));
    const std::vector<VST3HandlerCall> calls = v.host.Calls();
    ASSERT_GE(calls.size(), 12u);
    EXPECT_EQ(calls.front(), (VST3HandlerCall{VST3HandlerCall::kBegin, kTime, 0.0, false}));
    EXPECT_EQ(calls.back(), (VST3HandlerCall{VST3HandlerCall::kEnd, kTime, 0.0, false}));
    double last = 0.5;
    for (size_t i = 1; i + 1 < calls.size(); ++i) {
        EXPECT_EQ(calls[i].kind, VST3HandlerCall::kPerform) << i;
        EXPECT_EQ(calls[i].id, static_cast<uint32_t>(kTime)) << i;
        EXPECT_FALSE(calls[i].onAudioThread) << i;
        EXPECT_GT(calls[i].value, last) << i;
        last = calls[i].value;
    }
    EXPECT_EQ(v.host.E()->get_parameter_normalised(v.host.Controller(), kTime), last);

    // The switch turns the effect off: a gesture, and the latency (1362 samples before) goes to 0.
    v.host.ClearCalls();
    EXPECT_EQ(v.host.P()->get_latency_samples(v.host.Processor()), 1362u);
    d.Click(v.RootX(kTidebloomSwitch.x + kTidebloomSwitch.picture.width / 2),
            v.RootY(kTidebloomSwitch.y + kTidebloomSwitch.picture.FrameHeight() / 2));
    EXPECT_TRUE(v.TurnUntil([&] { return v.host.Calls().size() >= 4; }));
    const std::vector<VST3HandlerCall> expected = {
        {VST3HandlerCall::kBegin, kOnOff, 0.0, false},
        {VST3HandlerCall::kPerform, kOnOff, 0.0, false},
        {VST3HandlerCall::kRestart, V3_RESTART_LATENCY_CHANGED, 0.0, false},
        {VST3HandlerCall::kEnd, kOnOff, 0.0, false},
    };
    EXPECT_EQ(v.host.Calls(), expected);
    EXPECT_EQ(v.host.P()->get_latency_samples(v.host.Processor()), 0u);
}

// A size chosen in the editor's menu (a right click on the background) asks the frame for the new size;
// an up arrow the host forwards steps the knob under the pointer by a hundredth, as one gesture.
TEST(TidebloomVST3View, TheMenusSizesAndTheHostsKeys) {
    TestDir config("vst3-sizes");
    ScopedEnv env("XDG_CONFIG_HOME", config.Path().c_str());
    Viewed v;
    ASSERT_EQ(v.Attach(), V3_OK);
    ASSERT_TRUE(v.Shows(TidebloomReferenceEditor::Defaults()));
    {
        X11MenuChooser user(3); // 100, 150, 200 %
        v.d.Click(v.RootX(5), v.RootY(5), 3);
        EXPECT_TRUE(v.TurnUntil([&] { return !v.host.Resizes().empty(); }));
    }
    ASSERT_EQ(v.host.Resizes().size(), 1u);
    EXPECT_EQ(v.host.Resizes()[0].right, 1110);
    EXPECT_EQ(v.host.Resizes()[0].bottom, 612);
    v3_view_rect size = {};
    ASSERT_EQ(v.V()->get_size(v.view, &size), V3_OK);
    EXPECT_EQ(size.right, 1110);
    v.percent = 200;
    EXPECT_TRUE(v.Shows(TidebloomReferenceEditor::Defaults()));

    constexpr int16_t kKeyUp = 12; // the up arrow's virtual key code
    const TidebloomSizedLayout big(200);
    const TidebloomKnobLayout& depth = big.Knob(kDepth);
    v.d.MoveTo(v.px + depth.anchorX + 2, v.py + depth.anchorY + 2);
    v.TurnUntil([] { return false; }, 10); // the editor sees the pointer arrive
    v.host.ClearCalls();
    EXPECT_EQ(v.V()->on_key_down(v.view, 0, kKeyUp, 0), V3_OK);
    const std::vector<VST3HandlerCall> calls = v.host.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0], (VST3HandlerCall{VST3HandlerCall::kBegin, kDepth, 0.0, false}));
    EXPECT_EQ(calls[1].kind, VST3HandlerCall::kPerform);
    EXPECT_NEAR(calls[1].value, 0.76, 1e-12);
    EXPECT_EQ(calls[2], (VST3HandlerCall{VST3HandlerCall::kEnd, kDepth, 0.0, false}));
    EXPECT_EQ(v.V()->on_key_down(v.view, 0, 0, 0), V3_FALSE) << "a key the editor does not take";
}

// Without the host's run loop, for another platform, twice, or for another view name: no window.
// The view has one size: it cannot be resized and answers every constraint with its size.
TEST(TidebloomVST3View, RefusesWhatItCannotDo) {
    {
        Viewed v(0.0f, false);
        ASSERT_NE(v.view, nullptr);
        EXPECT_EQ(v.Attach(), V3_FALSE);
        EXPECT_EQ(v.d.CountDescendants(v.parent), 0);
        EXPECT_TRUE(v.host.RunLoopEntries().empty());
        EXPECT_EQ(v.V()->removed(v.view), V3_FALSE);
    }
    Viewed v;
    EXPECT_EQ(v.V()->is_platform_type_supported(v.view, V3_VIEW_PLATFORM_TYPE_X11), V3_TRUE);
    EXPECT_EQ(v.V()->is_platform_type_supported(v.view, "HWND"), V3_FALSE);
    EXPECT_EQ(v.V()->attached(v.view, reinterpret_cast<void*>(static_cast<uintptr_t>(v.parent)), "NSView"),
              V3_FALSE);
    EXPECT_EQ(v.host.E()->create_view(v.host.Controller(), "editor"), nullptr) << "one view at a time";
    EXPECT_EQ(v.host.E()->create_view(v.host.Controller(), "other"), nullptr);
    ASSERT_EQ(v.Attach(), V3_OK);
    EXPECT_EQ(v.Attach(), V3_FALSE) << "attached already";
    EXPECT_EQ(v.V()->can_resize(v.view), V3_FALSE);
    v3_view_rect r = {10, 20, 30, 40};
    EXPECT_EQ(v.V()->check_size_constraint(v.view, &r), V3_OK);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right, 10 + kW);
    EXPECT_EQ(r.bottom, 20 + kH);
    EXPECT_EQ(v.V()->on_size(v.view, &r), V3_OK);
    r.right += 1;
    EXPECT_EQ(v.V()->on_size(v.view, &r), V3_FALSE);

    // Released, the view makes room for the next one.
    EXPECT_EQ(v.V()->removed(v.view), V3_OK);
    v3_cpp_obj_unref(v.view);
    v.view = v.host.E()->create_view(v.host.Controller(), "editor");
    EXPECT_NE(v.view, nullptr);
}
