// Tidebloom's editor sizes on an X server: the window opens at the size the host was told, a size chosen
// in the background's menu (right click, keyboard) resizes the window, asks the host to follow and is
// remembered; the screen shows the editor's bitmap at the new size and a drag reaches the knob where it
// now is, geared to its new height.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "Graphics/TidebloomSizes.h"
#include "framework/platform/linux/IGraphicsLinux.h"
#include "framework/platform/linux/LinuxEditorSettings.h"
#include "framework/platform/linux/X11Keys.h"
#include "tests/Graphics/TidebloomTestSupport.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestDir.h"
#include "tests/support/vst2/TestHost.h"
#include "tests/support/x11/X11Idler.h"
#include "tests/support/x11/X11TestDisplay.h"
#include "tests/support/x11/XvfbServer.h"

namespace {

::testing::Environment* const sXvfb = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

template <class F>
bool WaitFor(F pred, int ms = 5000) {
    for (int i = 0; i < ms / 10; ++i) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pred();
}

std::pair<int, int> Geometry(X11TestDisplay& d, xcb_window_t w) {
    xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(d.Conn(), xcb_get_geometry(d.Conn(), w), nullptr);
    if (!g) return {0, 0};
    const std::pair<int, int> size(g->width, g->height);
    std::free(g);
    return size;
}

TEST(TidebloomSizesX11, AChosenSizeResizesTheWindowAndThePointerFollows) {
    TestDir config("sizes-x11");
    ScopedEnv env("XDG_CONFIG_HOME", config.Path().c_str());
    ScopedEnv gdk("GDK_SCALE", "1");
    X11TestDisplay d;
    ASSERT_TRUE(d.Ok());
    TestHost host;
    AEffect* fx = host.Load(TidebloomTestEntry);
    ASSERT_NE(fx, nullptr);
    host.Open();
    auto* gui = static_cast<IGraphicsLinux*>(static_cast<IEffectVST*>(fx->object)->GetGUI());
    ERect* rect = nullptr;
    ASSERT_EQ(host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->right, 555);
    EXPECT_EQ(rect->bottom, 306);
    const xcb_window_t parent = d.MakeParent(20, 20, 1200, 700);
    ASSERT_EQ(host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t{parent})), 1);
    const xcb_window_t window = static_cast<xcb_window_t>(reinterpret_cast<uintptr_t>(gui->GetWindow()));
    int px = 0, py = 0;
    d.RootPosition(window, &px, &py);
    EXPECT_EQ(Geometry(d, window), std::make_pair(555, 306));

    {
        X11Idler idler(host);
        ASSERT_TRUE(WaitFor([&] { return gui->FramesDrawn() > 0; }));
        host.ClearCalls();
        // The background's right click (the window pixel of editor point (x, y) is (x + 2, y + 2)).
        d.Click(px + 5 + 2, py + 5 + 2, 3);
        ASSERT_TRUE(WaitFor([&] { return d.PopupWindows().size() == 1; }));
        for (int i = 0; i < 3; ++i) d.Tap(kXK_Down);
        d.Tap(kXK_Return);
        ASSERT_TRUE(WaitFor([&] { return Geometry(d, window) == std::make_pair(1110, 612); }));
        ASSERT_TRUE(WaitFor([&] { return !host.Calls(audioMasterSizeWindow).empty(); }));
        const TestHost::Call asked = host.Calls(audioMasterSizeWindow).front();
        EXPECT_EQ(asked.index, 1110);
        EXPECT_EQ(asked.value, 612);
        EXPECT_TRUE(WaitFor([] { return LinuxReadEditorSize("Tidebloom") == 200; })) << "remembered";

        // Half the Time knob's new height up: an eighth of a turn.
        const TidebloomSizedLayout big(200);
        const TidebloomKnobLayout& time = big.Knob(kTime);
        d.MoveTo(px + time.anchorX + 2, py + time.anchorY + 2);
        d.Button(1, true);
        for (int step = 1; step <= 8; ++step) {
            d.MoveTo(px + time.anchorX + 2, py + time.anchorY + 2 - step * time.knob.width / 16);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        d.Button(1, false);
        EXPECT_TRUE(WaitFor([&] { return host.GetParameter(kTime) == 0.625f; })) << host.GetParameter(kTime);
        d.MoveTo(5, 5); // away from the editor: no readout in the picture below
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ASSERT_EQ(host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->right, 1110);
    EXPECT_EQ(rect->bottom, 612);
    EXPECT_EQ(gui->SizePercent(), 200);
    // The screen shows the bitmap drawn at the new size, pixel for pixel (no doubling).
    for (int i = 0; i < 20; ++i) host.Dispatch(effEditIdle);
    Raster_SysBitmap* bm = gui->GetDrawBitmap();
    ASSERT_NE(bm, nullptr);
    EXPECT_EQ(bm->getWidth(), 1110);
    EXPECT_TRUE(WaitFor([&] {
        host.Dispatch(effEditIdle);
        return d.CompareWithBitmap(window, bm->getBits(), bm->getRowSpan(), 1110, 612, 1).empty();
    }));
    host.Dispatch(effEditClose);

    // The next editor opens at the remembered size, and the host hears it before the window opens.
    TestHost second;
    AEffect* fx2 = second.Load(TidebloomTestEntry);
    ASSERT_NE(fx2, nullptr);
    second.Open();
    ASSERT_EQ(second.Dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->right, 1110);
    EXPECT_EQ(rect->bottom, 612);
    d.Destroy(parent);
}

} // namespace
