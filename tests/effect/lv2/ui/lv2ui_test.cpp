// The bundle's UI module, TidebloomUI.so, loaded through lv2ui_descriptor by a test UI host (no plug-in
// behind it) on a private Xvfb, embedded in a window of the test as hosts embed it: its window against
// the VST 2 plug-in's editor drawn off-screen at the same values (exact pixels), the values it writes to
// the ports for a drag, the wheel and a click (XTest) with their touch gestures, the port events that
// move its controls, its own window through the show interface, and its lifetime.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <string>

#include "Graphics/TidebloomLayout.h"
#include "TidebloomDescription.h"
#include "framework/lv2/LV2PortLayout.h"
#include "tests/Graphics/TidebloomReferenceEditor.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/lv2/LV2UITestHost.h"
#include "tests/support/x11/X11Session.h"
#include "tests/support/x11/XvfbServer.h"

namespace {

::testing::Environment* const sXvfb = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

const IEffectDescription& kDesc = kTidebloomDescription;
const LV2PortLayout kPorts = LV2PortLayout::Of(kTidebloomDescription);
constexpr int kW = kTidebloomEditorWidth, kH = kTidebloomEditorHeight;

using Plain = TidebloomReferenceEditor::Plain;

Plain Defaults() {
    return TidebloomReferenceEditor::Defaults();
}

const LV2UILibrary& Library() {
    static const LV2UILibrary sLib(TIDEBLOOM_LV2UI_SO_PATH);
    return sLib;
}

const LV2UI_Descriptor* UI() {
    return Library().Descriptor(0);
}

// Window w shows the VST 2 editor at these values and size, pixel for pixel, within two seconds of
// idling at 30 Hz.
::testing::AssertionResult Shows(LV2UITestHost& host, xcb_window_t w, const Plain& values,
                                 int percent = 100) {
    Raster_IBitmap* bm = TidebloomReferenceEditor::Get().At(values, percent);
    std::string diff;
    const int calls = host.IdleUntil([&] {
        diff = TestDisplay().CompareWithBitmap(w, bm->getBits(), bm->getRowSpan(), bm->getWidth(),
                                               bm->getHeight(), 1);
        return diff.empty();
    });
    if (calls >= 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << diff;
}

void SendValues(LV2UITestHost& host, const Plain& values) {
    for (int i = 0; i < kNumParams; ++i)
        host.PortEvent(kPorts.ControlIn(i), static_cast<float>(values[static_cast<size_t>(i)]));
}

// A UI embedded in a window of the test, as hosts embed it.
struct Embedded {
    X11TestDisplay& d = TestDisplay();
    xcb_window_t parent = d.MakeParent(40, 40, 2 * kW + 20, 2 * kH + 20);
    int px = 0, py = 0, scale = 1;
    LV2UITestHost host;

    explicit Embedded(LV2UITestHost::Features f = {}, int windowScale = 1) : scale(windowScale) {
        d.RootPosition(parent, &px, &py);
        f.parent = parent;
        EXPECT_TRUE(host.Instantiate(UI(), kDesc.mURI, f)) << Library().Error();
    }
    ~Embedded() {
        host.Cleanup();
        if (d.Exists(parent)) d.Destroy(parent);
    }
    xcb_window_t Window() const { return static_cast<xcb_window_t>(host.Widget()); }
    // Screen position of editor point (ex, ey).
    int RootX(int ex) const { return px + (ex + 2) * scale; }
    int RootY(int ey) const { return py + (ey + 2) * scale; }
};

// The touches of one gesture on a port, as a host offering ui:touch records them (none without it).
std::vector<LV2UITestHost::Touch> Gesture(uint32_t port, bool touch) {
    if (!touch) return {};
    return {{port, true}, {port, false}};
}

const TidebloomKnobLayout& Knob(int param) {
    for (const TidebloomKnobLayout& k : kTidebloomKnobs)
        if (k.param == param) return k;
    return kTidebloomKnobs[0];
}

} // namespace

TEST(TidebloomLV2UI, OneDescriptorForThePlugin) {
    ASSERT_NE(UI(), nullptr) << Library().Error();
    EXPECT_STREQ(UI()->URI, "urn:vendrilax:tidebloom#ui");
    EXPECT_EQ(Library().Descriptor(1), nullptr);
    // Another plug-in's URI: no UI.
    LV2UITestHost host;
    EXPECT_FALSE(host.Instantiate(UI(), "urn:vendrilax:other", {.parent = TestDisplay().Root()}));
}

// In the host's window the UI shows the VST 2 plug-in's editor at the same values, pixel for pixel, and
// tells the host its size; the host's scale factor chooses the size whatever the desktop says (200 %
// from a factor of 2 up, drawn natively).
TEST(TidebloomLV2UI, ShowsTheVst2EditorAtTheSameValues) {
    struct Case {
        const char* what;
        Plain values;
        float scaleFactor;
        const char* gdkScale;
        int percent;
    };
    const Plain arpeggio = {0.676, 0.433, 1.0, 1.0, 1.0};
    const Case cases[] = {
        {"defaults", Defaults(), 0.0f, nullptr, 100},
        {"Arpeggio", arpeggio, 0.0f, nullptr, 100},
        {"lowest, off", {0.0, 0.0, 0.0, 0.0, 0.0}, 0.0f, nullptr, 100},
        {"highest", {1.0, 1.0, 1.0, 2.0, 1.0}, 0.0f, nullptr, 100},
        {"between", {0.25, 0.75, 0.5, 1.5, 1.0}, 1.0f, "2", 100},
        {"host scale 1.5", arpeggio, 1.5f, nullptr, 150},
        {"host scale 2", arpeggio, 2.0f, nullptr, 200},
        {"host scale 2.5", Defaults(), 2.5f, "1", 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedEnv gdk("GDK_SCALE", c.gdkScale);
        Embedded ui({.scaleFactor = c.scaleFactor});
        ASSERT_NE(ui.Window(), 0u);
        // 555 x 306, 833 x 459, 1110 x 612.
        const std::pair<int, int> size = c.percent == 100   ? std::make_pair(kW, kH)
                                         : c.percent == 150 ? std::make_pair(833, 459)
                                                            : std::make_pair(2 * kW, 2 * kH);
        EXPECT_EQ(ui.host.Sizes(), (std::vector<std::pair<int, int>>{size}));
        if (c.values != Defaults()) SendValues(ui.host, c.values);
        EXPECT_TRUE(Shows(ui.host, ui.Window(), c.values, c.percent));
        // Values the host reports are not written back to it.
        EXPECT_TRUE(ui.host.Writes().empty());
    }
}

// Each port event moves its control; what the plug-in would not take (NaN) changes nothing, values out
// of range hold to it, the switch takes whole steps; other ports and formats are passed over.
TEST(TidebloomLV2UI, PortEventsMoveTheControls) {
    Embedded ui;
    ASSERT_NE(ui.Window(), 0u);
    struct Step {
        uint32_t port;
        float value;
        Plain shown;
    };
    const uint32_t latency = kPorts.LatencyOut();
    const Step steps[] = {
        {kPorts.ControlIn(kSensitivity), 0.1f, {0.1, 0.5, 0.75, 1.0, 1.0}},
        {kPorts.ControlIn(kTime), 0.9f, {0.1, 0.9, 0.75, 1.0, 1.0}},
        {kPorts.ControlIn(kDepth), 0.2f, {0.1, 0.9, 0.2, 1.0, 1.0}},
        {kPorts.ControlIn(kVol), 1.7f, {0.1, 0.9, 0.2, 1.7, 1.0}},
        {kPorts.ControlIn(kOnOff), 0.0f, {0.1, 0.9, 0.2, 1.7, 0.0}},
        {kPorts.ControlIn(kTime), NAN, {0.1, 0.9, 0.2, 1.7, 0.0}},
        {kPorts.ControlIn(kVol), 9.0f, {0.1, 0.9, 0.2, 2.0, 0.0}},
        {kPorts.ControlIn(kDepth), -4.0f, {0.1, 0.9, 0.0, 2.0, 0.0}},
        {kPorts.ControlIn(kOnOff), 0.7f, {0.1, 0.9, 0.0, 2.0, 1.0}},
        {latency, 0.3f, {0.1, 0.9, 0.0, 2.0, 1.0}},
        {kPorts.AudioIn(0), 0.3f, {0.1, 0.9, 0.0, 2.0, 1.0}},
        {kPorts.NumPorts() + 3, 0.3f, {0.1, 0.9, 0.0, 2.0, 1.0}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE("port " + std::to_string(s.port) + " value " + std::to_string(s.value));
        ui.host.PortEvent(s.port, s.value);
        EXPECT_TRUE(Shows(ui.host, ui.Window(), s.shown));
    }
    // Another format than a plain float is not a control value.
    const double wide = 0.5;
    UI()->port_event(ui.host.Handle(), kPorts.ControlIn(kSensitivity), sizeof(wide), 0, &wide);
    const float one = 0.5f;
    UI()->port_event(ui.host.Handle(), kPorts.ControlIn(kSensitivity), sizeof(one), 7, &one);
    EXPECT_TRUE(Shows(ui.host, ui.Window(), steps[11].shown));
    EXPECT_TRUE(ui.host.Writes().empty());
}

// A drag on Time writes increasing plain values to Time's port inside a touch gesture, and the host's
// own reports of the port are passed over while the user holds the knob; the wheel writes its port
// without a gesture; a click on the switch writes its port inside one. Without ui:touch the same values
// go out. Afterwards the window shows the VST 2 editor at the values written.
TEST(TidebloomLV2UI, GesturesWriteTheirPorts) {
    for (bool touch : {true, false}) {
        SCOPED_TRACE(touch ? "with touch" : "without touch");
        Embedded ui({.touch = touch});
        ASSERT_NE(ui.Window(), 0u);
        X11TestDisplay& d = ui.d;
        ASSERT_TRUE(Shows(ui.host, ui.Window(), Defaults()));
        const uint32_t timePort = kPorts.ControlIn(kTime);

        const TidebloomKnobLayout& time = Knob(kTime);
        d.MoveTo(ui.RootX(time.anchorX), ui.RootY(time.anchorY));
        d.Button(1, true);
        ui.host.Idle();
        for (int step = 1; step <= 10; ++step) {
            d.MoveTo(ui.RootX(time.anchorX), ui.RootY(time.anchorY - 6 * step));
            const size_t before = ui.host.WritesTo(timePort).size();
            EXPECT_GE(ui.host.IdleUntil([&] { return ui.host.WritesTo(timePort).size() > before; }, 10), 0);
            // The host reports an older value in the middle of the drag: the knob stays in the hand.
            if (step == 5) ui.host.PortEvent(timePort, 0.0f);
        }
        d.Button(1, false);
        ui.host.IdleUntil([&] { return !touch || ui.host.Touches().size() >= 2; }, 10);
        const std::vector<float> times = ui.host.WritesTo(timePort);
        ASSERT_GE(times.size(), 10u);
        for (size_t i = 0; i < times.size(); ++i) {
            EXPECT_GT(times[i], i ? times[i - 1] : 0.5f) << i;
            EXPECT_LE(times[i], 1.0f) << i;
        }
        EXPECT_EQ(ui.host.Writes().size(), times.size()) << "only Time's port";
        EXPECT_EQ(ui.host.Touches(), Gesture(timePort, touch));

        // The wheel over Sensitivity: one step up, no gesture.
        ui.host.ClearRecords();
        const TidebloomKnobLayout& sens = Knob(kSensitivity);
        d.MoveTo(ui.RootX(sens.anchorX), ui.RootY(sens.anchorY));
        d.Button(4, true);
        d.Button(4, false);
        EXPECT_GE(ui.host.IdleUntil([&] { return !ui.host.Writes().empty(); }, 10), 0);
        ui.host.Idle();
        const std::vector<float> sensValues = ui.host.WritesTo(kPorts.ControlIn(kSensitivity));
        ASSERT_EQ(sensValues.size(), 1u);
        EXPECT_GT(sensValues[0], 0.7f);
        EXPECT_EQ(ui.host.Writes().size(), 1u);
        EXPECT_TRUE(ui.host.Touches().empty());

        // A click on the switch turns the effect off.
        ui.host.ClearRecords();
        const uint32_t onoffPort = kPorts.ControlIn(kOnOff);
        d.Click(ui.RootX(kTidebloomSwitch.x + kTidebloomSwitch.picture.width / 2),
                ui.RootY(kTidebloomSwitch.y + kTidebloomSwitch.picture.FrameHeight() / 2));
        EXPECT_GE(
            ui.host.IdleUntil(
                [&] { return !ui.host.Writes().empty() && (!touch || ui.host.Touches().size() >= 2); }, 10),
            0);
        EXPECT_EQ(ui.host.WritesTo(onoffPort), std::vector<float>{0.0f});
        EXPECT_EQ(ui.host.Touches(), Gesture(onoffPort, touch));

        Plain shown = Defaults();
        shown[kTime] = times.back();
        shown[kSensitivity] = sensValues[0];
        shown[kOnOff] = 0.0;
        EXPECT_TRUE(Shows(ui.host, ui.Window(), shown));
    }
}

// Instantiate and cleanup, 100 times, leave the process's descriptors and threads and the server's
// windows where they were; so does a host that destroys its window before cleaning the UI up.
TEST(TidebloomLV2UI, CyclesAndADeadParentLeaveNothingBehind) {
    X11TestDisplay& d = TestDisplay();
    const xcb_window_t parent = d.MakeParent(40, 40, kW, kH);
    LV2UITestHost host;
    // The first instance loads fonts and pictures for good; count from after it.
    ASSERT_TRUE(host.Instantiate(UI(), kDesc.mURI, {.parent = parent}));
    host.Idle();
    host.Cleanup();
    const ResourceCounts before = ResourceCounts::Now(d);
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(host.Instantiate(UI(), kDesc.mURI, {.parent = parent})) << i;
        for (int k = 0; k <= i % 3; ++k) host.Idle();
        host.Cleanup();
    }
    EXPECT_EQ(ResourceCounts::Now(d), before);
    EXPECT_EQ(d.CountDescendants(parent), 0);

    ASSERT_TRUE(host.Instantiate(UI(), kDesc.mURI, {.parent = parent}));
    host.IdleUntil([&] { return false; }, 2);
    d.Destroy(parent);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(host.Idle(), 0);
    host.Cleanup();
    const ResourceCounts after = ResourceCounts::Now(d);
    EXPECT_EQ(after.fds, before.fds);
    EXPECT_EQ(after.threads, before.threads);
    EXPECT_EQ(after.windows, before.windows - 1); // the parent is gone
}

// Without a parent the UI shows a top-level window of its own through the show interface; when the user
// closes it, idle answers 1, and the host may hide it and show it again.
TEST(TidebloomLV2UI, OwnWindowThroughTheShowInterface) {
    X11TestDisplay& d = TestDisplay();
    const std::vector<xcb_window_t> others = d.DialogWindows({});
    LV2UITestHost host;
    ASSERT_TRUE(host.Instantiate(UI(), kDesc.mURI, {}));
    EXPECT_EQ(host.Widget(), 0u);
    EXPECT_EQ(host.Idle(), 0);
    EXPECT_TRUE(d.DialogWindows(others).empty()) << "nothing shows before show()";
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        EXPECT_EQ(host.Show(), 0);
        const std::vector<xcb_window_t> shown = d.DialogWindows(others);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(d.Property(shown[0], "WM_NAME"), "Tidebloom");
        EXPECT_TRUE(Shows(host, shown[0], Defaults()));
        if (round == 0) {
            d.AskToClose(shown[0]);
            EXPECT_GE(host.IdleUntil([&] { return host.Idle() == 1; }, 10), 0);
        }
        EXPECT_EQ(host.Hide(), 0);
        d.Sync();
        EXPECT_FALSE(d.Exists(shown[0]));
        EXPECT_EQ(host.Idle(), 0);
    }
    EXPECT_TRUE(host.Sizes().empty()) << "no host window to size";
    host.Cleanup();
}

// No display (none named, or a server that is not there): instantiate answers null and prints nothing.
TEST(TidebloomLV2UI, NoDisplayNoUISilently) {
    ASSERT_NE(UI(), nullptr) << Library().Error();
    const ResourceCounts before = ResourceCounts::Now(TestDisplay());
    fflush(stdout);
    fflush(stderr);
    char outFile[] = "/tmp/tb_lv2ui_output_XXXXXX";
    const int outFd = mkstemp(outFile);
    const int savedOut = dup(1), savedErr = dup(2);
    dup2(outFd, 1);
    dup2(outFd, 2);
    for (const char* display : {static_cast<const char*>(nullptr), ":4242"}) {
        ScopedEnv env("DISPLAY", display);
        for (uintptr_t parent : {static_cast<uintptr_t>(TestDisplay().Root()), uintptr_t{0}}) {
            LV2UITestHost host;
            EXPECT_FALSE(host.Instantiate(UI(), kDesc.mURI, {.parent = parent}))
                << (display ? display : "unset") << " " << parent;
        }
    }
    fflush(stdout);
    fflush(stderr);
    dup2(savedOut, 1);
    dup2(savedErr, 2);
    close(savedOut);
    close(savedErr);
    EXPECT_EQ(lseek(outFd, 0, SEEK_END), 0);
    close(outFd);
    unlink(outFile);
    EXPECT_EQ(ResourceCounts::Now(TestDisplay()), before);
}
