#include "framework/editor/IPopupMenu.h"

IPopupMenuItem::IPopupMenuItem(const char* text, int flags) : mItemText(text), mFlags(flags) {}

IPopupMenuItem::IPopupMenuItem(const char* text, IPopupMenu* pSubMenu)
    : mItemText(text), mSubmenu(pSubMenu) {}

void IPopupMenuItem::SetChecked(bool checked) {
    if (checked)
        mFlags |= kItemChecked;
    else
        mFlags &= ~kItemChecked;
}

IPopupMenu::~IPopupMenu() {
    for (int i = mMenuItems.GetSize() - 1; i >= 0; --i) mMenuItems.Delete(i);
}

IPopupMenuItem* IPopupMenu::AddItem(IPopupMenuItem* pItem, int index) {
    if (!pItem) return nullptr;
    if (index == -1) return mMenuItems.Add(pItem);
    return mMenuItems.Insert(index, pItem); // clamped to 0 .. size
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, int index, int itemFlags) {
    return AddItem(new IPopupMenuItem(text, itemFlags), index);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, int index, IPopupMenu* pSubMenu) {
    return AddItem(new IPopupMenuItem(text, pSubMenu), index);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, IPopupMenu* pSubMenu) {
    return AddItem(new IPopupMenuItem(text, pSubMenu), -1);
}

IPopupMenuItem* IPopupMenu::AddSeparator(int index) {
    return AddItem(new IPopupMenuItem("", IPopupMenuItem::kItemSeparator), index);
}

void IPopupMenu::SetPrefix(int prefix) {
    if (static_cast<unsigned>(prefix) <= 3u) mPrefix = prefix;
}

const char* IPopupMenu::GetItemText(int index) const {
    const IPopupMenuItem* item = GetItem(index);
    return item ? item->GetText() : "";
}

bool IPopupMenu::CheckItem(int index, bool checked) {
    IPopupMenuItem* item = GetItem(index);
    if (!item) return false;
    item->SetChecked(checked);
    return true;
}

void IPopupMenu::CheckItemAlone(int index) {
    for (int i = 0; i < NItems(); ++i) GetItem(i)->SetChecked(i == index);
}

bool IPopupMenu::IsItemChecked(int index) const {
    const IPopupMenuItem* item = GetItem(index);
    return item && item->GetChecked();
}
