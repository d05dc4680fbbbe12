// Value prompts: the text field's rules and focus, and popup menus chosen or dismissed by pointer and
// keyboard, also while the host closes the editor from another thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "framework/platform/linux/X11Keys.h"
#include "tests/support/x11/X11Idler.h"
#include "tests/support/x11/X11Session.h"

namespace {

using E = X11TestEffect;
constexpr uint32_t kControlL = 0xffe3;

struct PromptTest : ::testing::Test {
    X11Session s{TestDisplay()};
    void SetUp() override {
        ASSERT_TRUE(s.Open());
        ASSERT_GE(s.IdleUntil([&] { return s.Gui()->FramesDrawn() > 0; }), 0);
    }
    // Right-clicks a knob and waits for its field.
    void OpenField(const IRECT& r) {
        s.ClickEditor((r.L + r.R) / 2, (r.T + r.B) / 2, 3);
        ASSERT_GE(s.IdleUntil([&] { return s.Gui()->TextEntryOpen(); }), 0);
    }
    void Type(const char* text) {
        for (const char* p = text; *p; ++p) TestDisplay().Tap(static_cast<unsigned char>(*p));
        s.Idle(2);
    }
    void Tap(uint32_t sym) {
        TestDisplay().Tap(sym);
        s.Idle(2);
    }
};

TEST_F(PromptTest, TextFieldRulesAndReturn) {
    const xcb_window_t focusBefore = TestDisplay().Focus();
    OpenField(E::kGainRect);
    EXPECT_EQ(s.Gui()->TextEntryText(), "0.500");
    EXPECT_EQ(TestDisplay().Focus(), s.Gui()->TextEntryWindow()) << "the field takes the keyboard";
    // Its frame: the 40 x 16 prompt rectangle centred on the knob, one pixel wider and taller, in the
    // style's text-entry background (white).
    xcb_connection_t* c = TestDisplay().Conn();
    xcb_get_geometry_reply_t* g =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, s.Gui()->TextEntryWindow()), nullptr);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->x, 44);
    EXPECT_EQ(g->y, 66);
    EXPECT_EQ(g->width, 41);
    EXPECT_EQ(g->height, 17);
    std::free(g);
    const uint32_t white = TestDisplay().RedMask() | TestDisplay().GreenMask() | TestDisplay().BlueMask();
    EXPECT_EQ(TestDisplay().Image(s.Gui()->TextEntryWindow(), 40, 0, 1, 1).at(0) & white, white);
    Type("a");
    EXPECT_EQ(s.Gui()->TextEntryText(), "0.500") << "a letter is refused";
    Type("0.25");
    EXPECT_EQ(s.Gui()->TextEntryText(), "0.25") << "a decimal point is accepted";
    Tap(kXK_Return);
    EXPECT_FALSE(s.Gui()->TextEntryOpen());
    EXPECT_FLOAT_EQ(s.Param(E::kGain), 0.25f);
    EXPECT_EQ(TestDisplay().Focus(), focusBefore) << "and gives it back";
    s.Idle(2, 40);
    EXPECT_TRUE(s.ScreenSettles());
}

TEST_F(PromptTest, IntegerFieldLengthAndEscape) {
    OpenField(E::kStepsRect);
    EXPECT_EQ(s.Gui()->TextEntryText(), "5");
    Type(".");
    EXPECT_EQ(s.Gui()->TextEntryText(), "5") << "no decimal point for an integer";
    Type("12345678");
    EXPECT_EQ(s.Gui()->TextEntryText(), "1234567") << "the eighth character is refused";
    Tap(kXK_BackSpace);
    EXPECT_EQ(s.Gui()->TextEntryText(), "123456");
    Tap(kXK_Escape);
    EXPECT_FALSE(s.Gui()->TextEntryOpen());
    EXPECT_FLOAT_EQ(s.Param(E::kSteps), 0.5f) << "Escape cancels";
}

TEST_F(PromptTest, ClickElsewhereAndFocusLossCommit) {
    OpenField(E::kGainRect);
    Type("0.75");
    s.ClickEditor(100, 200);
    ASSERT_GE(s.IdleUntil([&] { return !s.Gui()->TextEntryOpen(); }), 0);
    EXPECT_FLOAT_EQ(s.Param(E::kGain), 0.75f);
    EXPECT_GE(s.IdleUntil([&] { return s.Logged("probe down 100 200"); }), 0)
        << "the click goes on to the editor";

    OpenField(E::kGainRect);
    Type("0.1");
    xcb_set_input_focus(TestDisplay().Conn(), XCB_INPUT_FOCUS_PARENT, s.parent, XCB_CURRENT_TIME);
    TestDisplay().Sync();
    ASSERT_GE(s.IdleUntil([&] { return !s.Gui()->TextEntryOpen(); }), 0);
    EXPECT_FLOAT_EQ(s.Param(E::kGain), 0.1f);

    // The wheel over the editor (not over the field) closes the field without a change.
    OpenField(E::kGainRect);
    Type("0.3");
    TestDisplay().MoveTo(s.RootX(E::kGainRect.L + 24), s.RootY(E::kGainRect.T + 5));
    TestDisplay().Button(5, true);
    TestDisplay().Button(5, false);
    ASSERT_GE(s.IdleUntil([&] { return !s.Gui()->TextEntryOpen(); }), 0);
    EXPECT_FLOAT_EQ(s.Param(E::kGain), 0.09f) << "closed unchanged, then one wheel step down";
}

TEST_F(PromptTest, KeysForwardedByTheHostEditTheField) {
    OpenField(E::kStepsRect);
    const struct {
        int character, vkey;
    } keys[] = {{'8', 0}, {'x', 0}, {0, VKEY_BACK}, {0, VKEY_NUMPAD3}, {0, VKEY_RETURN}};
    for (const auto& k : keys) {
        EXPECT_EQ(s.host.Dispatch(effEditKeyDown, k.character, k.vkey, nullptr, 0.0f), 1);
        EXPECT_EQ(s.host.Dispatch(effEditKeyUp, k.character, k.vkey, nullptr, 0.0f),
                  k.vkey == VKEY_RETURN ? 0 : 1);
    }
    EXPECT_FALSE(s.Gui()->TextEntryOpen());
    EXPECT_FLOAT_EQ(s.Param(E::kSteps), 0.3f);
}

TEST_F(PromptTest, CopyAndPasteBetweenTwoEditorsOfTheProcess) {
    X11Session other(TestDisplay(), 600, 40);
    ASSERT_TRUE(other.Open());
    OpenField(E::kGainRect);
    TestDisplay().Key(kControlL, true);
    TestDisplay().Tap('c');
    TestDisplay().Key(kControlL, false);
    s.Idle(2);
    Util_String text;
    EXPECT_TRUE(other.Gui()->GetTextFromClipboard(&text));
    EXPECT_STREQ(text.Get(), "0.500");
    Tap(kXK_Escape);

    // Another client reads what we offer.
    X11TestDisplay& d = TestDisplay();
    xcb_connection_t* c = d.Conn();
    const xcb_window_t requestor = d.MakeParent(0, 0, 4, 4);
    xcb_convert_selection(c, requestor, d.Atom("CLIPBOARD"), d.Atom("UTF8_STRING"), d.Atom("GOT"),
                          XCB_CURRENT_TIME);
    d.Sync();
    bool answered = false;
    s.IdleUntil([&] {
        while (xcb_generic_event_t* ev = xcb_poll_for_event(c)) {
            answered = answered || (ev->response_type & 0x7F) == XCB_SELECTION_NOTIFY;
            std::free(ev);
        }
        return answered;
    });
    EXPECT_TRUE(answered);
    EXPECT_EQ(d.Property(requestor, "GOT"), "0.500");
    d.Destroy(requestor);
}

TEST_F(PromptTest, PasteFromAnotherClient) {
    X11TestDisplay& d = TestDisplay();
    xcb_connection_t* c = d.Conn();
    const xcb_window_t owner = d.MakeParent(0, 0, 4, 4);
    xcb_set_selection_owner(c, owner, d.Atom("CLIPBOARD"), XCB_CURRENT_TIME);
    d.Sync();
    // Answers selection requests with "0.625" (as UTF8_STRING).
    auto answer = [&] {
        while (xcb_generic_event_t* ev = xcb_poll_for_event(c)) {
            if ((ev->response_type & 0x7F) == XCB_SELECTION_REQUEST) {
                const auto* req = reinterpret_cast<const xcb_selection_request_event_t*>(ev);
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, req->requestor, req->property,
                                    d.Atom("UTF8_STRING"), 8, 5, "0.625");
                union {
                    xcb_selection_notify_event_t n;
                    char bytes[32];
                } sent = {};
                sent.n.response_type = XCB_SELECTION_NOTIFY;
                sent.n.requestor = req->requestor;
                sent.n.selection = req->selection;
                sent.n.target = req->target;
                sent.n.property = req->property;
                sent.n.time = req->time;
                xcb_send_event(c, 0, req->requestor, 0, sent.bytes);
                d.Sync();
            }
            std::free(ev);
        }
    };
    // Read from another thread (it waits a little for the answer) while we answer.
    Util_String text;
    std::atomic<bool> ok{false};
    std::thread reader([&] { ok = s.Gui()->GetTextFromClipboard(&text); });
    for (int i = 0; i < 50 && !ok; ++i) {
        answer();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    reader.join();
    EXPECT_TRUE(ok);
    EXPECT_STREQ(text.Get(), "0.625");

    // Pasting into the field: the answer arrives with a later idle call.
    OpenField(E::kGainRect);
    TestDisplay().Key(kControlL, true);
    TestDisplay().Tap('v');
    TestDisplay().Key(kControlL, false);
    EXPECT_GE(s.IdleUntil([&] {
        answer();
        return s.Gui()->TextEntryText() == "0.625";
    }),
              0);
    d.Destroy(owner);
}

// ---- Menus ----

// Idles the effect on a thread of its own (a modal menu blocks the idling thread), as hosts do.
using Idler = X11Idler;

// Whether another client holds the keyboard (a menu grabs it once its window is up).
bool KeyboardTaken() {
    xcb_connection_t* c = TestDisplay().Conn();
    xcb_grab_keyboard_reply_t* k =
        xcb_grab_keyboard_reply(c,
                                xcb_grab_keyboard(c, 0, TestDisplay().Root(), XCB_CURRENT_TIME,
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                nullptr);
    const bool taken = k && k->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
    if (k && k->status == XCB_GRAB_STATUS_SUCCESS) xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    std::free(k);
    TestDisplay().Sync();
    return taken;
}

// Waits (bounded) until n popup windows are mapped (and, with n > 0, the menu holds the keyboard, so
// typed keys reach it); returns them.
std::vector<xcb_window_t> WaitPopups(size_t n) {
    std::vector<xcb_window_t> popups;
    for (int i = 0; i < 300; ++i) {
        popups = TestDisplay().PopupWindows();
        if (popups.size() == n && (n == 0 || KeyboardTaken())) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return popups;
}

struct Geometry {
    int x = 0, y = 0, w = 0, h = 0;
};

Geometry GeometryOf(xcb_window_t w) {
    xcb_connection_t* c = TestDisplay().Conn();
    xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr);
    Geometry out;
    if (g) out = {g->x, g->y, g->width, g->height};
    std::free(g);
    return out;
}

// No grab survives a menu: another client can grab the pointer and the keyboard.
bool NothingGrabbed() {
    xcb_connection_t* c = TestDisplay().Conn();
    const xcb_window_t root = TestDisplay().Root();
    xcb_grab_pointer_reply_t* p =
        xcb_grab_pointer_reply(c,
                               xcb_grab_pointer(c, 0, root, 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                                                XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
                               nullptr);
    xcb_grab_keyboard_reply_t* k = xcb_grab_keyboard_reply(
        c, xcb_grab_keyboard(c, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        nullptr);
    const bool ok = p && p->status == XCB_GRAB_STATUS_SUCCESS && k && k->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(p);
    std::free(k);
    xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    TestDisplay().Sync();
    return ok;
}

struct MenuTest : PromptTest {
    // Right-clicks the Mode knob on the idling thread's editor and waits for its menu.
    xcb_window_t OpenModeMenu() {
        s.ClickEditor((E::kModeRect.L + E::kModeRect.R) / 2, (E::kModeRect.T + E::kModeRect.B) / 2, 3);
        const std::vector<xcb_window_t> popups = WaitPopups(1);
        return popups.size() == 1 ? popups[0] : 0;
    }
    // The centre of item i of an n-item menu without separators.
    void ClickItem(xcb_window_t menu, int i, int n) {
        const Geometry g = GeometryOf(menu);
        const int rowH = (g.h - 2) / n;
        TestDisplay().Click(g.x + g.w / 2, g.y + 1 + rowH * i + rowH / 2);
    }
    bool WaitParam(int idx, float value) {
        for (int i = 0; i < 300; ++i) {
            if (s.Param(idx) == value) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
};

TEST_F(MenuTest, ChosenAndDismissedByPointer) {
    Idler idler(s.host);
    const xcb_window_t menu = OpenModeMenu();
    ASSERT_NE(menu, 0u);
    const Geometry g = GeometryOf(menu);
    // Just below the knob (4 pixels under its bottom edge).
    EXPECT_EQ(g.x, s.RootX(E::kModeRect.L) - 2);
    EXPECT_EQ(g.y, s.RootY(E::kModeRect.B + 5) - 2);
    ClickItem(menu, 2, 3);
    EXPECT_TRUE(WaitParam(E::kMode, 1.0f)) << "Wild";
    EXPECT_TRUE(WaitPopups(0).empty());
    EXPECT_TRUE(NothingGrabbed());

    ASSERT_NE(OpenModeMenu(), 0u);
    TestDisplay().Click(5, 5); // outside: dismissed
    EXPECT_TRUE(WaitPopups(0).empty());
    EXPECT_EQ(s.Param(E::kMode), 1.0f);
    EXPECT_TRUE(NothingGrabbed());
}

TEST_F(MenuTest, ChosenAndDismissedByKeyboard) {
    Idler idler(s.host);
    ASSERT_NE(OpenModeMenu(), 0u);
    TestDisplay().Tap(kXK_Down);
    TestDisplay().Tap(kXK_Down);
    TestDisplay().Tap(kXK_Return);
    EXPECT_TRUE(WaitParam(E::kMode, 0.5f)) << "Hard";
    EXPECT_TRUE(WaitPopups(0).empty());

    ASSERT_NE(OpenModeMenu(), 0u);
    TestDisplay().Tap(kXK_Up);
    TestDisplay().Tap(kXK_Escape);
    EXPECT_TRUE(WaitPopups(0).empty());
    EXPECT_EQ(s.Param(E::kMode), 0.5f);
    EXPECT_TRUE(NothingGrabbed());
}

// A menu of every kind of item, shown by a thread that plays the editor's.
struct RichMenu {
    IPopupMenu sub, menu;
    RichMenu() {
        sub.AddItem("Sub one");
        sub.AddItem("Sub two");
        menu.SetPrefix(2);
        menu.AddItem("Alpha");
        menu.AddSeparator();
        menu.AddItem("Beta", -1, IPopupMenuItem::kItemDisabled);
        menu.AddItem("Gamma", -1, IPopupMenuItem::kItemChecked);
        menu.AddItem("Title", -1, IPopupMenuItem::kItemTitle);
        menu.AddItem("More", &sub);
    }
};

TEST_F(MenuTest, SubmenusByKeyboardAndPointer) {
    RichMenu m;
    IRECT where(20, 20, 60, 40);
    IPopupMenu* result = &m.menu;
    std::thread shower([&] { result = s.Gui()->CreateIPopupMenu(&m.menu, &where); });
    ASSERT_EQ(WaitPopups(1).size(), 1u);
    // Down four times: Alpha, Gamma, Title, More (the separator and the disabled item are skipped).
    for (int i = 0; i < 4; ++i) TestDisplay().Tap(kXK_Down);
    TestDisplay().Tap(kXK_Right);
    ASSERT_EQ(WaitPopups(2).size(), 2u);
    TestDisplay().Tap(kXK_Down);
    TestDisplay().Tap(kXK_Return);
    shower.join();
    EXPECT_EQ(result, &m.sub);
    EXPECT_EQ(m.sub.GetChosenItemIdx(), 1);
    EXPECT_EQ(m.menu.GetChosenItemIdx(), -1);
    EXPECT_TRUE(WaitPopups(0).empty());

    m.sub.SetChosenItemIdx(-1);
    std::thread shower2([&] { result = s.Gui()->CreateIPopupMenu(&m.menu, &where); });
    const std::vector<xcb_window_t> popups = WaitPopups(1);
    ASSERT_EQ(popups.size(), 1u);
    const Geometry g = GeometryOf(popups[0]);
    const int rowH = (g.h - 2 - 7) / 5; // five items and a separator
    // Item i's row starts below the rows before it (item 1 is the 7-pixel separator).
    auto rowY = [&](int i) { return g.y + 1 + (i <= 1 ? i * rowH : (i - 1) * rowH + 7) + rowH / 2; };
    TestDisplay().Click(g.x + g.w / 2, rowY(2));  // Beta is disabled: the menu stays
    TestDisplay().MoveTo(g.x + g.w / 2, rowY(5)); // hovering More opens its submenu
    const std::vector<xcb_window_t> both = WaitPopups(2);
    ASSERT_EQ(both.size(), 2u);
    const Geometry sg = GeometryOf(both[1]);
    EXPECT_EQ(sg.x, g.x + g.w) << "right of its parent";
    TestDisplay().Click(sg.x + sg.w / 2, sg.y + 1 + (sg.h - 2) / 4);
    shower2.join();
    EXPECT_EQ(result, &m.sub);
    EXPECT_EQ(m.sub.GetChosenItemIdx(), 0);
    EXPECT_TRUE(NothingGrabbed());
}

TEST_F(MenuTest, KeptOnScreen) {
    // A parent at the screen's bottom-right corner, partly off it, and a long menu.
    X11Session corner(TestDisplay(), 1150, 900);
    ASSERT_TRUE(corner.Open());
    IPopupMenu menu;
    for (int i = 0; i < 60; ++i) menu.AddItem(("A long item text, number " + std::to_string(i)).c_str());
    IRECT where(10, 10, 50, 30);
    IPopupMenu* result = &menu;
    std::thread shower([&] { result = corner.Gui()->CreateIPopupMenu(&menu, &where); });
    const std::vector<xcb_window_t> popups = WaitPopups(1);
    ASSERT_EQ(popups.size(), 1u);
    const Geometry g = GeometryOf(popups[0]);
    xcb_screen_t* screen = TestDisplay().Screen();
    EXPECT_GE(g.x, 0);
    EXPECT_GE(g.y, 0);
    EXPECT_LE(g.x + g.w, screen->width_in_pixels);
    EXPECT_LE(g.y + g.h, screen->height_in_pixels);
    EXPECT_LT(g.x, corner.px + 10) << "pushed in from the right edge";
    // The keyboard reaches items beyond the screen's height (the menu scrolls).
    TestDisplay().Tap(kXK_End);
    TestDisplay().Tap(kXK_Return);
    shower.join();
    EXPECT_EQ(result, &menu);
    EXPECT_EQ(menu.GetChosenItemIdx(), 59);
}

TEST_F(MenuTest, ClosedFromAnotherThreadWhileOpen) {
    const ResourceCounts before = ResourceCounts::Now(TestDisplay());
    {
        Idler idler(s.host);
        ASSERT_NE(OpenModeMenu(), 0u);
        const auto t0 = std::chrono::steady_clock::now();
        s.Close();
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
        EXPECT_FALSE(s.Gui()->WindowIsOpen());
        EXPECT_TRUE(WaitPopups(0).empty());
    }
    EXPECT_EQ(s.Param(E::kMode), 0.0f);
    EXPECT_TRUE(NothingGrabbed());
    ResourceCounts after = ResourceCounts::Now(TestDisplay());
    EXPECT_EQ(after.windows, before.windows - 1); // our editor window went
    EXPECT_EQ(after.fds, before.fds - 1);         // with its connection
}

TEST_F(MenuTest, ParentDestroyedWhileOpen) {
    Idler idler(s.host);
    ASSERT_NE(OpenModeMenu(), 0u);
    TestDisplay().Destroy(s.parent);
    s.parent = 0;
    EXPECT_TRUE(WaitPopups(0).empty());
    EXPECT_TRUE(NothingGrabbed());
}

} // namespace
