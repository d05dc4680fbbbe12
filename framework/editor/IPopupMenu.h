#pragma once
// IPopupMenu: the platform-neutral description of a popup menu: an ordered list of items (text, optional
// submenu, flags), a numbering prefix, and after the menu was shown the index of the item chosen. The
// editor builds one to offer an enumerated parameter's display texts; the window host turns it into a
// native menu, shows it and writes the chosen index back into the (sub)menu whose item was chosen.
//
// Ownership: the menu owns its items; an item does not own its submenu (whoever made the submenu keeps
// it and must keep it alive while the menu is shown). Used on the editor's thread only.
#include "framework/util/Util_PtrList.h"
#include "framework/util/Util_String.h"

class IPopupMenu;

class IPopupMenuItem {
public:
    enum Flags : int {
        kItemPlain = 0,
        kItemDisabled = 1,  // shown disabled
        kItemTitle = 2,     // shown indented by one level
        kItemChecked = 4,   // shown with a check mark
        kItemSeparator = 8, // a separator line
    };

    explicit IPopupMenuItem(const char* text, int flags = kItemPlain);
    IPopupMenuItem(const char* text, IPopupMenu* pSubMenu);

    const char* GetText() const { return mItemText.Get(); }
    void SetText(const char* text) { mItemText.Set(text); }
    int GetFlags() const { return mFlags; }
    void SetFlags(int flags) { mFlags = flags; }
    IPopupMenu* GetSubmenu() const { return mSubmenu; }
    void SetSubmenu(IPopupMenu* pSubMenu) { mSubmenu = pSubMenu; }
    bool GetEnabled() const { return !(mFlags & kItemDisabled); }
    bool GetChecked() const { return (mFlags & kItemChecked) != 0; }
    bool GetIsTitle() const { return (mFlags & kItemTitle) != 0; }
    bool GetIsSeparator() const { return (mFlags & kItemSeparator) != 0; }
    // Sets or clears kItemChecked; the other flags stay.
    void SetChecked(bool checked);

private:
    Util_String mItemText;
    IPopupMenu* mSubmenu = nullptr;
    int mFlags = kItemPlain;
};

class IPopupMenu {
public:
    IPopupMenu() = default;
    // Deletes the items from the last to the first; submenus are not deleted.
    ~IPopupMenu();
    IPopupMenu(const IPopupMenu&) = delete;
    IPopupMenu& operator=(const IPopupMenu&) = delete;

    // Takes ownership of the item. index -1 appends; any other index inserts there, clamped to
    // 0 .. NItems(). Returns the item.
    IPopupMenuItem* AddItem(IPopupMenuItem* pItem, int index = -1);
    IPopupMenuItem* AddItem(const char* text, int index = -1, int itemFlags = IPopupMenuItem::kItemPlain);
    IPopupMenuItem* AddItem(const char* text, int index, IPopupMenu* pSubMenu);
    IPopupMenuItem* AddItem(const char* text, IPopupMenu* pSubMenu);
    // An item with empty text and only kItemSeparator.
    IPopupMenuItem* AddSeparator(int index = -1);

    // Numbering of item titles: 0 none, 1 "%1d: ", 2 "%02d: ", 3 "%03d: " (items numbered from 1). Any
    // other value is refused and leaves the prefix as it was.
    void SetPrefix(int prefix);
    int GetPrefix() const { return mPrefix; }

    int NItems() const { return mMenuItems.GetSize(); }
    // Null for an index outside 0 .. NItems() - 1.
    IPopupMenuItem* GetItem(int index) const { return mMenuItems.Get(index); }
    // The item's text; "" for an empty text or an invalid index.
    const char* GetItemText(int index) const;
    // Sets or clears kItemChecked; false (nothing changed) for an invalid index.
    bool CheckItem(int index, bool checked);
    // Only the item at index is checked afterwards (none for an index outside the list).
    void CheckItemAlone(int index);
    // Whether a valid item carries kItemChecked.
    bool IsItemChecked(int index) const;

    // Written by the window host when an item of this menu was chosen; -1 when none.
    void SetChosenItemIdx(int index) { mChosenItemIdx = index; }
    int GetChosenItemIdx() const { return mChosenItemIdx; }

private:
    int mPrefix = 0;
    int mChosenItemIdx = -1;
    Util_PtrList<IPopupMenuItem> mMenuItems{4096};
};
