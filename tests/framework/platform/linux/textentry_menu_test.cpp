// The text field's editing rules, and the popup menus' labels, layout, keyboard order and placement.
#include <gtest/gtest.h>

#include "framework/editor/IPopupMenu.h"
#include "framework/platform/linux/PopupMenuLayout.h"
#include "framework/platform/linux/TextEntryModel.h"

namespace {

TextKey Char(uint32_t c) {
    TextKey k;
    k.mAction = TextKey::kChar;
    k.mChar = c;
    return k;
}

TextKey Action(TextKey::EAction a, bool shift = false) {
    TextKey k;
    k.mAction = a;
    k.mShift = shift;
    return k;
}

using R = TextEntryModel::EResult;

TEST(TextEntryModel, CharacterSetsAndLength) {
    // Each case starts a field, types the keys and ends with the text and the last answer.
    const char* kDouble = "0123456789.-+";
    const char* kInt = "0123456789-+";
    const struct {
        const char* start;
        const char* set;
        int maxLength;
        const char* typed;
        const char* text;
        R last;
    } cases[] = {
        {"0.500", kDouble, 7, "a", "0.500", R::kRefused},   // a letter is refused (the start stays)
        {"0.500", kDouble, 7, "0.25", "0.25", R::kChanged}, // the first character replaces it all
        {"5", kInt, 7, ".", "5", R::kRefused},              // no decimal point for an integer
        {"5", kInt, 7, "-12", "-12", R::kChanged},
        {"", kDouble, 7, "1234567", "1234567", R::kChanged},
        {"", kDouble, 7, "12345678", "1234567", R::kRefused}, // the eighth character is refused
        {"", "", 7, "1", "", R::kRefused},                    // no type: nothing is accepted
        {"abc", nullptr, 0, "x y!", "x y!", R::kChanged},     // no parameter: anything, any length
        {"", kDouble, 0, "123456789012", "123456789012", R::kChanged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.start) + " <- " + c.typed);
        TextEntryModel m;
        m.Start(c.start, c.set, c.maxLength);
        R last = R::kUnchanged;
        for (const char* p = c.typed; *p; ++p) last = m.Apply(Char(static_cast<unsigned char>(*p)));
        EXPECT_EQ(m.Text(), c.text);
        EXPECT_EQ(last, c.last);
    }
}

TEST(TextEntryModel, CaretSelectionAndDeletion) {
    TextEntryModel m;
    m.Start("0.500", "0123456789.-+", 7);
    EXPECT_EQ(m.SelectionStart(), 0);
    EXPECT_EQ(m.SelectionEnd(), 5);
    EXPECT_EQ(m.Apply(Action(TextKey::kRight)), R::kChanged); // collapses to the selection's end
    EXPECT_EQ(m.Caret(), 5);
    EXPECT_FALSE(m.HasSelection());
    m.Apply(Action(TextKey::kBackspace));
    EXPECT_EQ(m.Text(), "0.50");
    m.Apply(Action(TextKey::kHome));
    EXPECT_EQ(m.Apply(Action(TextKey::kBackspace)), R::kUnchanged);
    m.Apply(Action(TextKey::kDelete));
    EXPECT_EQ(m.Text(), ".50");
    m.Apply(Action(TextKey::kRight, true));
    m.Apply(Action(TextKey::kRight, true));
    EXPECT_EQ(m.SelectedText(), ".5");
    m.Apply(Char('9'));
    EXPECT_EQ(m.Text(), "90");
    EXPECT_EQ(m.Caret(), 1);
    m.Apply(Action(TextKey::kEnd));
    EXPECT_EQ(m.Apply(Action(TextKey::kDelete)), R::kUnchanged);
    EXPECT_EQ(m.Apply(Action(TextKey::kCommit)), R::kCommit);
    EXPECT_EQ(m.Apply(Action(TextKey::kCancel)), R::kCancel);
    m.SetCaret(99, false);
    EXPECT_EQ(m.Caret(), 2);
    m.SetCaret(-4, true);
    EXPECT_EQ(m.SelectedText(), "90");
}

TEST(TextEntryModel, ClipboardKeys) {
    TextEntryModel m;
    m.Start("0.25", "0123456789.-+", 7);
    std::string clip;
    EXPECT_EQ(m.Apply(Action(TextKey::kCopy), &clip), R::kCopy);
    EXPECT_EQ(clip, "0.25");
    EXPECT_EQ(m.Text(), "0.25");
    m.SetCaret(2, false);
    m.SetCaret(4, true);
    EXPECT_EQ(m.Apply(Action(TextKey::kCut), &clip), R::kCut);
    EXPECT_EQ(clip, "25");
    EXPECT_EQ(m.Text(), "0.");
    EXPECT_EQ(m.Apply(Action(TextKey::kCopy), &clip), R::kUnchanged); // nothing selected
    EXPECT_EQ(m.Apply(Action(TextKey::kPaste)), R::kPaste);
    EXPECT_FALSE(m.Insert("7a"));     // a paste breaking the rules is refused whole
    EXPECT_FALSE(m.Insert("123456")); // and one that would be too long
    EXPECT_TRUE(m.Insert("75"));
    EXPECT_EQ(m.Text(), "0.75");
    m.Apply(Action(TextKey::kSelectAll));
    EXPECT_EQ(m.SelectedText(), "0.75");
}

TEST(TextEntryModel, Utf8) {
    const struct {
        std::string in;
        std::u32string chars;
        std::string out;
    } cases[] = {
        {"a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5", U"a\u00e9\u20ac\U0001F3B5",
         "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5"},
        {"\xC3", U"\uFFFD", "\xEF\xBF\xBD"},                             // cut sequence
        {"\xE2\x28\xA1", U"\uFFFD(\uFFFD", "\xEF\xBF\xBD(\xEF\xBF\xBD"}, // bad continuation
        {"\xFF", U"\uFFFD", "\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextEntryModel::FromUTF8(c.in), c.chars);
        EXPECT_EQ(TextEntryModel::ToUTF8(TextEntryModel::FromUTF8(c.in)), c.out);
    }
    TextEntryModel m;
    m.Start("\xC3\xA9t\xC3\xA9", nullptr, 3);
    EXPECT_EQ(m.Length(), 3);
    EXPECT_EQ(m.Prefix(1), "\xC3\xA9");
}

TEST(PopupMenuLayout, LabelsWithPrefixes) {
    IPopupMenu menu;
    for (int i = 0; i < 12; ++i) menu.AddItem(("Item" + std::to_string(i)).c_str());
    const struct {
        int prefix, index;
        const char* label;
    } cases[] = {
        {0, 0, "Item0"}, {1, 0, "1: Item0"}, {1, 11, "12: Item11"}, {2, 2, "03: Item2"}, {3, 9, "010: Item9"},
    };
    for (const auto& c : cases) {
        menu.SetPrefix(c.prefix);
        EXPECT_EQ(PopupMenuLabel(menu, c.index), c.label);
    }
}

TEST(PopupMenuLayout, RowsWidthAndKeyboardOrder) {
    IPopupMenu sub;
    IPopupMenu menu;
    menu.AddItem("Title", -1, IPopupMenuItem::kItemTitle);
    menu.AddSeparator();
    menu.AddItem("Off", -1, IPopupMenuItem::kItemDisabled);
    menu.AddItem("On", -1, IPopupMenuItem::kItemChecked);
    menu.AddItem("More", &sub);
    auto width = [](const std::string& s) { return static_cast<int>(s.size()) * 10; };
    const PopupMenuLayout l = LayoutPopupMenu(menu, 14, width);
    ASSERT_EQ(l.rows.size(), 5u);
    const int ys[] = {0, 20, 27, 47, 67};
    const int hs[] = {20, 7, 20, 20, 20};
    const bool selectable[] = {true, false, false, true, true};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(l.rows[i].y, ys[i]) << i;
        EXPECT_EQ(l.rows[i].h, hs[i]) << i;
        EXPECT_EQ(l.rows[i].selectable, selectable[i]) << i;
    }
    EXPECT_EQ(l.contentHeight, 87);
    EXPECT_EQ(l.width, 20 + (12 + 50) + 20); // the indented title is the widest
    EXPECT_EQ(PopupMenuRowAt(l, 26), 1);
    EXPECT_EQ(PopupMenuRowAt(l, 87), -1);
    // Down from nothing: the first selectable; separators and disabled items are skipped; wrapping.
    const struct {
        int from, dir, next;
    } order[] = {{-1, 1, 0}, {0, 1, 3}, {3, 1, 4}, {4, 1, 0}, {-1, -1, 4}, {0, -1, 4}, {3, -1, 0}};
    for (const auto& o : order) EXPECT_EQ(PopupMenuNextSelectable(menu, o.from, o.dir), o.next) << o.from;
    IPopupMenu none;
    none.AddSeparator();
    EXPECT_EQ(PopupMenuNextSelectable(none, -1, 1), -1);
}

TEST(PopupMenuLayout, KeptOnScreen) {
    // A 100 x 200 menu on a 1000 x 800 screen, wanted at (x, y) below a rectangle whose top is anchor.
    const struct {
        int x, y, anchor, px, py;
    } cases[] = {
        {50, 60, 40, 50, 60},    // fits below
        {50, 700, 680, 50, 480}, // no room below: above the rectangle
        {50, 700, 150, 50, 600}, // room neither below nor above: pushed up to the bottom edge
        {950, 60, 40, 900, 60},  // pushed in from the right edge
        {-30, -10, -20, 0, 0},   // never off the left or top edge
    };
    for (const auto& c : cases) {
        int x = 0, y = 0;
        PlacePopupMenu(100, 200, c.x, c.y, c.anchor, 1000, 800, &x, &y);
        EXPECT_EQ(x, c.px) << c.x << "," << c.y;
        EXPECT_EQ(y, c.py) << c.x << "," << c.y;
    }
    const struct {
        int left, right, top, px, py;
    } subs[] = {
        {100, 300, 50, 300, 50},  // right of the parent
        {700, 920, 50, 600, 50},  // no room right: left of it
        {40, 920, 700, 900, 600}, // room on neither side: at the right edge; pushed up
    };
    for (const auto& s : subs) {
        int x = 0, y = 0;
        PlacePopupSubmenu(100, 200, s.left, s.right, s.top, 1000, 800, &x, &y);
        EXPECT_EQ(x, s.px) << s.left;
        EXPECT_EQ(y, s.py) << s.left;
    }
}

} // namespace
