#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/editor/IPopupMenu.h"

namespace {

std::vector<std::string> Texts(const IPopupMenu& menu) {
    std::vector<std::string> out;
    for (int i = 0; i < menu.NItems(); ++i) out.push_back(menu.GetItemText(i));
    return out;
}

TEST(PopupMenu, InsertionPositions) {
    struct Case {
        int index;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {-1, {"a", "b", "c", "new"}}, {10, {"a", "b", "c", "new"}}, {3, {"a", "b", "c", "new"}},
        {-5, {"new", "a", "b", "c"}}, {0, {"new", "a", "b", "c"}},  {1, {"a", "new", "b", "c"}},
    };
    for (const Case& c : cases) {
        IPopupMenu menu;
        menu.AddItem("a");
        menu.AddItem("b");
        menu.AddItem("c");
        menu.AddItem("new", c.index);
        EXPECT_EQ(Texts(menu), c.expected) << "index " << c.index;
    }
}

TEST(PopupMenu, ItemForms) {
    IPopupMenu sub;
    sub.AddItem("inner");
    IPopupMenu menu;
    IPopupMenuItem* plain =
        menu.AddItem("plain", -1, IPopupMenuItem::kItemDisabled | IPopupMenuItem::kItemTitle);
    IPopupMenuItem* withSub = menu.AddItem("more", &sub);
    IPopupMenuItem* first = menu.AddItem("first", 0, &sub);
    IPopupMenuItem* sep = menu.AddSeparator(1);
    ASSERT_EQ(menu.NItems(), 4);
    EXPECT_EQ(menu.GetItem(0), first);
    EXPECT_EQ(menu.GetItem(1), sep);
    EXPECT_EQ(menu.GetItem(2), plain);
    EXPECT_EQ(menu.GetItem(3), withSub);
    EXPECT_EQ(plain->GetFlags(), IPopupMenuItem::kItemDisabled | IPopupMenuItem::kItemTitle);
    EXPECT_FALSE(plain->GetEnabled());
    EXPECT_TRUE(plain->GetIsTitle());
    EXPECT_EQ(plain->GetSubmenu(), nullptr);
    EXPECT_EQ(withSub->GetSubmenu(), &sub);
    EXPECT_EQ(withSub->GetFlags(), 0);
    EXPECT_EQ(first->GetSubmenu(), &sub);
    // A separator: empty text, only the separator flag.
    EXPECT_STREQ(sep->GetText(), "");
    EXPECT_EQ(sep->GetFlags(), IPopupMenuItem::kItemSeparator);
    EXPECT_TRUE(sep->GetIsSeparator());
    // Invalid indices.
    EXPECT_EQ(menu.GetItem(-1), nullptr);
    EXPECT_EQ(menu.GetItem(4), nullptr);
    EXPECT_STREQ(menu.GetItemText(7), "");
}

TEST(PopupMenu, Prefix) {
    struct Case {
        int value;
        int expected; // after starting from 2
    };
    const Case cases[] = {{0, 0}, {1, 1}, {3, 3}, {4, 2}, {-1, 2}, {1000, 2}};
    for (const Case& c : cases) {
        IPopupMenu menu;
        EXPECT_EQ(menu.GetPrefix(), 0);
        menu.SetPrefix(2);
        menu.SetPrefix(c.value);
        EXPECT_EQ(menu.GetPrefix(), c.expected) << c.value;
    }
}

TEST(PopupMenu, CheckMarks) {
    IPopupMenu menu;
    menu.AddItem("a", -1, IPopupMenuItem::kItemChecked | IPopupMenuItem::kItemDisabled);
    menu.AddItem("b");
    menu.AddItem("c", -1, IPopupMenuItem::kItemChecked);
    menu.CheckItemAlone(1);
    EXPECT_FALSE(menu.IsItemChecked(0));
    EXPECT_TRUE(menu.IsItemChecked(1));
    EXPECT_FALSE(menu.IsItemChecked(2));
    // Other flags survive.
    EXPECT_EQ(menu.GetItem(0)->GetFlags(), IPopupMenuItem::kItemDisabled);

    menu.CheckItemAlone(9); // outside: none checked
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(menu.IsItemChecked(i));

    EXPECT_TRUE(menu.CheckItem(2, true));
    EXPECT_TRUE(menu.IsItemChecked(2));
    EXPECT_TRUE(menu.CheckItem(2, false));
    EXPECT_FALSE(menu.IsItemChecked(2));
    EXPECT_FALSE(menu.CheckItem(3, true));
    EXPECT_FALSE(menu.CheckItem(-1, true));
    EXPECT_FALSE(menu.IsItemChecked(-1));

    IPopupMenuItem item("x", IPopupMenuItem::kItemTitle);
    item.SetChecked(true);
    EXPECT_EQ(item.GetFlags(), IPopupMenuItem::kItemTitle | IPopupMenuItem::kItemChecked);
    item.SetChecked(false);
    EXPECT_EQ(item.GetFlags(), IPopupMenuItem::kItemTitle);
}

TEST(PopupMenu, SubmenusOutliveTheMenu) {
    // A menu deletes its items but not the submenus they show (the sanitizer build catches a double
    // delete or a use after free here).
    IPopupMenu sub;
    sub.AddItem("kept");
    {
        IPopupMenu menu;
        menu.AddItem("sub", &sub);
        menu.AddItem("sub again", &sub);
    }
    ASSERT_EQ(sub.NItems(), 1);
    EXPECT_STREQ(sub.GetItemText(0), "kept");
    EXPECT_EQ(sub.GetChosenItemIdx(), -1);
}

} // namespace
