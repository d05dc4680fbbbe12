// Editor key codes from key symbols and forwarded keys, the keyboard map's rules, and pointer
// coordinates, modifiers and click counting.
#include <gtest/gtest.h>

#include "framework/platform/linux/X11Keys.h"
#include "framework/platform/linux/X11Pointer.h"
#include "framework/vst2/VstAbi.h"

namespace {

TEST(X11Keys, EditorCodesFromKeySymbols) {
    const struct {
        uint32_t sym;
        int code;
    } cases[] = {
        {' ', 0},       {kXK_Up, 1},      {kXK_Down, 2},    {kXK_Left, 3},     {kXK_Right, 4},
        {kXK_KP_Up, 1}, {kXK_KP_Down, 2}, {kXK_KP_Left, 3}, {kXK_KP_Right, 4}, {'0', 5},
        {'9', 14},      {kXK_KP_0, 5},    {kXK_KP_9, 14},   {'A', 15},         {'a', 15},
        {'Z', 40},      {'z', 40},        {'m', 27},        {'.', -1},         {'!', -1},
        {0xe4, -1},     {0xffbe, -1},     {kXK_Return, -1}, {kXK_Escape, -1},  {0, -1},
    };
    for (const auto& c : cases) EXPECT_EQ(X11EditorKeyFromKeySym(c.sym), c.code) << std::hex << c.sym;
}

TEST(X11Keys, EditorCodesFromForwardedKeys) {
    const struct {
        int character, vkey, code;
    } cases[] = {
        {0, VKEY_SPACE, 0}, {' ', 0, 0},  {0, VKEY_UP, 1},      {0, VKEY_DOWN, 2},      {0, VKEY_LEFT, 3},
        {0, VKEY_RIGHT, 4}, {'q', 0, 31}, {'Q', 0, 31},         {'5', 0, 10},           {0, VKEY_NUMPAD3, 8},
        {0, VKEY_F1, -1},   {',', 0, -1}, {0, VKEY_RETURN, -1}, {'a', VKEY_ESCAPE, -1}, {0, 0, -1},
        {-3, 0, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(X11EditorKeyFromVst(c.character, c.vkey), c.code) << c.character << " " << c.vkey;
}

TEST(X11Keys, KeyMapFollowsTheCoreRules) {
    X11KeyMap map;
    // Codes 10..14, two groups of two columns: a/A, 1/!, keypad Home/7, b (no upper column), and a key
    // with a second group (Mode_switch) of ä/Ä.
    map.Set(10, 4, {'a',         'A',    0,    0,     //
                    '1',         '!',    0,    0,     //
                    kXK_KP_Home, 0xffb7, 0,    0,     //
                    'b',         0,      0,    0,     //
                    'x',         'X',    0xe4, 0xc4}, //
            XCB_MOD_MASK_2, XCB_MOD_MASK_5);
    const uint16_t S = XCB_MOD_MASK_SHIFT, L = XCB_MOD_MASK_LOCK, N = XCB_MOD_MASK_2, M = XCB_MOD_MASK_5;
    const struct {
        uint8_t code;
        uint16_t state;
        uint32_t sym;
    } cases[] = {
        {10, 0, 'a'}, {10, S, 'A'}, {10, L, 'A'},         {10, S | L, 'A'},  {11, 0, '1'},
        {11, S, '!'}, {11, L, '1'}, {12, 0, kXK_KP_Home}, {12, N, 0xffb7},   {12, N | S, kXK_KP_Home},
        {13, 0, 'b'}, {13, S, 'B'}, {14, M, 0xe4},        {14, M | S, 0xc4}, {14, M | L, 0xc4},
        {9, 0, 0},    {15, 0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(map.KeySym(c.code, c.state), c.sym) << int(c.code) << " " << c.state;
    // Editor codes ignore Shift, Control, Lock: only Num Lock still chooses on the keypad.
    EXPECT_EQ(map.PlainKeySym(11, S | XCB_MOD_MASK_CONTROL), static_cast<uint32_t>('1'));
    EXPECT_EQ(map.PlainKeySym(12, N | S), 0xffb7u);
}

TEST(X11Keys, TextFieldKeys) {
    const struct {
        TextKey key;
        TextKey::EAction action;
        uint32_t ch;
    } cases[] = {
        {X11TextKeyFromKeySym('7', false, false), TextKey::kChar, '7'},
        {X11TextKeyFromKeySym(0xffae, false, false), TextKey::kChar, '.'}, // keypad decimal point
        {X11TextKeyFromKeySym(0xe9, false, false), TextKey::kChar, 0xe9},
        {X11TextKeyFromKeySym(0x010020ac, false, false), TextKey::kChar, 0x20ac},
        {X11TextKeyFromKeySym(kXK_Return, false, false), TextKey::kCommit, 0},
        {X11TextKeyFromKeySym(kXK_KP_Enter, false, false), TextKey::kCommit, 0},
        {X11TextKeyFromKeySym(kXK_Escape, false, false), TextKey::kCancel, 0},
        {X11TextKeyFromKeySym('v', false, true), TextKey::kPaste, 0},
        {X11TextKeyFromKeySym('C', true, true), TextKey::kCopy, 0},
        {X11TextKeyFromKeySym('q', false, true), TextKey::kNone, 0},
        {X11TextKeyFromKeySym(0xffbe, false, false), TextKey::kNone, 0},
        {X11TextKeyFromVst(0, VKEY_BACK, 0), TextKey::kBackspace, 0},
        {X11TextKeyFromVst(0, VKEY_DECIMAL, 0), TextKey::kChar, '.'},
        {X11TextKeyFromVst(0, VKEY_NUMPAD7, 0), TextKey::kChar, '7'},
        {X11TextKeyFromVst('4', 0, 0), TextKey::kChar, '4'},
        {X11TextKeyFromVst(0, VKEY_ENTER, 0), TextKey::kCommit, 0},
        {X11TextKeyFromVst(0, VKEY_ESCAPE, 0), TextKey::kCancel, 0},
        {X11TextKeyFromVst('a', 0, MODIFIER_COMMAND), TextKey::kSelectAll, 0},
        {X11TextKeyFromVst(0, VKEY_F1, 0), TextKey::kNone, 0},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        EXPECT_EQ(cases[i].key.mAction, cases[i].action) << i;
        EXPECT_EQ(cases[i].key.mChar, cases[i].ch) << i;
    }
    EXPECT_TRUE(X11TextKeyFromVst(0, VKEY_LEFT, MODIFIER_SHIFT).mShift);
}

TEST(X11Pointer, EditorCoordinatesKeepTheOffsets) {
    const struct {
        int wx, wy, scale, x, y;
    } cases[] = {
        // The view point (100.7, 50.2) of a 306-pixel-high view lies in window pixel (100, 255).
        {100, 255, 1, 98, 253},
        {0, 0, 1, -2, -2},
        {554, 305, 1, 552, 303},
        // Doubled: window pixel (201, 511) is the view point (100.75, 50.25).
        {201, 511, 2, 98, 253},
        {200, 510, 2, 98, 253},
        {1, 1, 2, -2, -2},
        // Outside the window during a drag: truncation toward zero.
        {-5, -5, 1, -6, -7},
        {-1, -1, 1, -2, -3},
        {-3, 600, 2, -3, 298},
    };
    for (const auto& c : cases) {
        int x = 0, y = 0;
        X11EditorPoint(c.wx, c.wy, c.scale, 306, &x, &y);
        EXPECT_EQ(x, c.x) << c.wx << "," << c.wy << " x" << c.scale;
        EXPECT_EQ(y, c.y) << c.wx << "," << c.wy << " x" << c.scale;
    }
}

TEST(X11Pointer, Modifiers) {
    const uint16_t super = XCB_MOD_MASK_4, alt = XCB_MOD_MASK_1;
    const struct {
        uint16_t state;
        bool right;
        bool L, R, S, C, A;
    } cases[] = {
        {0, false, true, false, false, false, false},
        {0, true, false, true, false, false, false},
        {super, false, true, true, false, false, false}, // Super-click acts as a right click
        {XCB_MOD_MASK_SHIFT, false, true, false, true, false, false},
        {XCB_MOD_MASK_CONTROL, true, false, true, false, true, false},
        {alt, false, true, false, false, false, true},
        {XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2, false, true, false, false, false, false},
    };
    for (const auto& c : cases) {
        const IMouseMod m = X11MouseMod(c.state, c.right, super, alt);
        EXPECT_EQ(m.L, c.L) << c.state;
        EXPECT_EQ(m.R, c.R) << c.state;
        EXPECT_EQ(m.S, c.S) << c.state;
        EXPECT_EQ(m.C, c.C) << c.state;
        EXPECT_EQ(m.A, c.A) << c.state;
    }
}

TEST(X11Pointer, ClickCounting) {
    X11ClickCounter clicks;
    EXPECT_EQ(clicks.Press(1, 10, 10, 1000, 400), 1);
    EXPECT_EQ(clicks.Press(1, 12, 13, 1300, 400), 2);
    EXPECT_EQ(clicks.Press(1, 12, 13, 1700, 400), 3); // each within the time of the one before
    EXPECT_EQ(clicks.Press(1, 12, 13, 2101, 400), 1); // too late
    EXPECT_EQ(clicks.Press(3, 12, 13, 2200, 400), 1); // another button
    EXPECT_EQ(clicks.Press(1, 12, 13, 2300, 400), 1);
    EXPECT_EQ(clicks.Press(1, 17, 13, 2400, 400), 1); // too far
    EXPECT_EQ(clicks.Press(1, 17, 13, 0xFFFFFF00u, 400), 1);
    EXPECT_EQ(clicks.Press(1, 17, 13, 0x40u, 400), 2); // the server's clock wrapped
    clicks.Reset();
    EXPECT_EQ(clicks.Press(1, 17, 13, 0x50u, 400), 1);
}

} // namespace
