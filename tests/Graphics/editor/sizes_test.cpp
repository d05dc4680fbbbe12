// The editor's sizes on the headless platform: the size menu on the background, the host asked to follow
// and told the new size, every size's own pictures drawn at its rectangles, values, defaults, hit-testing
// and drag gearing following the size, and new editors opening at the size the user chose last.
#include <gtest/gtest.h>

#include <fstream>

#include "Graphics/IKnobMultiControlCap.h"
#include "Graphics/TidebloomSizes.h"
#include "framework/platform/linux/LinuxEditorSettings.h"
#include "tests/Graphics/editor/EditorSession.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestDir.h"

namespace {

// A settings folder of the test's own, so no choice reaches another test.
struct Settings {
    TestDir dir{"sizes"};
    ScopedEnv env{"XDG_CONFIG_HOME", dir.Path().c_str()};
};

std::pair<int, int> EditRect(Session& s) {
    ERect* rect = nullptr;
    if (s.host.Dispatch(effEditGetRect, 0, 0, &rect) != 1 || !rect) return {0, 0};
    return {rect->right - rect->left, rect->bottom - rect->top};
}

void* Parent() {
    return reinterpret_cast<void*>(uintptr_t{0x400001});
}

TEST(TidebloomSizes, TheMenuOnTheBackgroundResizesAndTheHostFollows) {
    Settings settings;
    Session s(TidebloomHeadlessEntry);
    ASSERT_NE(s.gui, nullptr);
    auto* gui = static_cast<IGraphicsHeadless*>(s.gui);
    EXPECT_EQ(EditRect(s), std::make_pair(555, 306));
    ASSERT_EQ(s.host.Dispatch(effEditOpen, 0, 0, Parent()), 1);
    struct Case {
        int item, percent, w, h;
    };
    const Case cases[] = {{2, 200, 1110, 612}, {1, 150, 833, 459}, {0, 100, 555, 306}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.percent);
        const int before = s.gui->SizePercent();
        s.host.ClearCalls();
        gui->QueueMenuAnswer({c.item});
        IMouseMod right(false, true);
        s.gui->OnMouseDown(5, 5, &right); // the background, above the switch
        const IGraphicsHeadless::MenuRequest& menu = gui->MenuRequests().back();
        EXPECT_EQ(menu.mItems, (std::vector<std::string>{"100 %", "150 %", "200 %"}));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(menu.mFlags[i], kTidebloomSizes[i] == before ? IPopupMenuItem::kItemChecked : 0);
        EXPECT_EQ(s.gui->SizePercent(), c.percent);
        EXPECT_EQ(s.gui->Width(), c.w);
        EXPECT_EQ(s.gui->Height(), c.h);
        const std::vector<TestHost::Call> asked = s.host.Calls(audioMasterSizeWindow);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].index, c.w);
        EXPECT_EQ(asked[0].value, c.h);
        EXPECT_EQ(EditRect(s), std::make_pair(c.w, c.h));
        EXPECT_EQ(LinuxReadEditorSize("Tidebloom"), c.percent) << "remembered";
        EXPECT_TRUE(s.host.Calls(audioMasterBeginEdit).empty());
    }
    // Dismissed: nothing changes, nothing is remembered anew.
    s.host.ClearCalls();
    gui->QueueMenuDismiss();
    IMouseMod right(false, true);
    s.gui->OnMouseDown(5, 5, &right);
    EXPECT_EQ(s.gui->SizePercent(), 100);
    EXPECT_TRUE(s.host.Calls(audioMasterSizeWindow).empty());
}

// At every size the editor draws that size's own pictures at the size's rectangles, and keeps what the
// knobs hold: value, default (a double click returns to it) and the drag's gearing (a full turn is four
// knob heights, in the size's pixels).
TEST(TidebloomSizes, EachSizeDrawsItsOwnPicturesAndFollowsThePointer) {
    Settings settings;
    for (int percent : kTidebloomSizes) {
        SCOPED_TRACE(percent);
        Session s(TidebloomHeadlessEntry);
        ASSERT_NE(s.gui, nullptr);
        s.host.SetParameter(kTime, 0.25f);
        ASSERT_TRUE(s.gui->SetSizePercent(percent));
        const TidebloomSizedLayout layout(percent);
        EXPECT_EQ(s.gui->NControls(), 2 + 2 * kTidebloomNumKnobs + 1);
        s.DrawAll();
        const int frames[] = {84, 30, 90, 60}; // Time at 0.25
        for (int i = 0; i < kTidebloomNumKnobs; ++i) {
            SCOPED_TRACE(kTidebloomKnobs[i].label);
            const TidebloomKnobLayout& k = layout.Knob(i);
            auto* knob = static_cast<IKnobMultiControlCap*>(s.gui->GetControl(1 + i));
            const LayoutRect r = Centred(k.anchorX, k.anchorY, k.knob);
            EXPECT_EQ(*knob->GetRECT(), IRECT(r.l, r.t, r.r, r.b));
            EXPECT_EQ(knob->GetBitmap()->W, k.knob.width);
            EXPECT_EQ(KnobAreaWrong(s, k, frames[i], layout.Background()), "");
        }
        const TidebloomKnobLayout& time = layout.Knob(kTime);
        auto* knob = s.gui->GetControl(1 + kTime);
        EXPECT_DOUBLE_EQ(knob->GetValue(), 0.25);
        IMouseMod left(true);
        s.gui->OnMouseDblClick(time.anchorX, time.anchorY, &left);
        EXPECT_DOUBLE_EQ(knob->GetValue(), 0.5) << "the default is kept";
        s.gui->OnMouseDown(time.anchorX, time.anchorY, &left);
        s.gui->OnMouseDrag(time.anchorX, time.anchorY - time.knob.width / 2, &left);
        s.gui->OnMouseUp(time.anchorX, time.anchorY - time.knob.width / 2, &left);
        EXPECT_DOUBLE_EQ(knob->GetValue(), 0.625) << "half a knob up: an eighth of a turn";
    }
}

// A new editor opens at the size the user chose last; a missing, damaged or foreign choice leaves it at
// the screen's scale (100 % on the headless screen).
TEST(TidebloomSizes, NewEditorsOpenAtTheRememberedSize) {
    struct Case {
        const char* file; // null: none
        int percent;
    };
    const Case cases[] = {
        {"size=150\n", 150}, {"size=200\n", 200}, {nullptr, 100},
        {"size=175\n", 100}, {"size=2x0\n", 100}, {"\x89PNG garbage", 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "none");
        Settings settings;
        if (c.file) {
            ASSERT_TRUE(LinuxWriteEditorSize("Tidebloom", 100)); // makes the folder
            std::ofstream(LinuxEditorSettingsPath("Tidebloom"), std::ios::binary) << c.file;
        }
        Session s(TidebloomHeadlessEntry);
        ASSERT_NE(s.gui, nullptr);
        ASSERT_EQ(s.host.Dispatch(effEditOpen, 0, 0, Parent()), 1);
        EXPECT_EQ(s.gui->SizePercent(), c.percent);
        EXPECT_EQ(EditRect(s),
                  std::make_pair(TidebloomScaled(555, c.percent), TidebloomScaled(306, c.percent)));
    }
}

} // namespace
