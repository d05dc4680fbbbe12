#include "framework/platform/linux/PopupMenuLayout.h"

#include <algorithm>
#include <cstdio>

std::string PopupMenuLabel(const IPopupMenu& menu, int index) {
    const char* text = menu.GetItemText(index);
    char prefix[16] = "";
    switch (menu.GetPrefix()) {
    case 1:
        std::snprintf(prefix, sizeof(prefix), "%1d: ", index + 1);
        break;
    case 2:
        std::snprintf(prefix, sizeof(prefix), "%02d: ", index + 1);
        break;
    case 3:
        std::snprintf(prefix, sizeof(prefix), "%03d: ", index + 1);
        break;
    default:
        break;
    }
    return std::string(prefix) + text;
}

bool PopupMenuSelectable(const IPopupMenu& menu, int index) {
    const IPopupMenuItem* item = menu.GetItem(index);
    return item && item->GetEnabled() && !item->GetIsSeparator();
}

PopupMenuLayout LayoutPopupMenu(const IPopupMenu& menu, int lineHeight,
                                const std::function<int(const std::string&)>& textWidth) {
    PopupMenuLayout l;
    int y = 0, widest = 0;
    for (int i = 0; i < menu.NItems(); ++i) {
        const IPopupMenuItem* item = menu.GetItem(i);
        PopupMenuLayout::Row row;
        row.y = y;
        if (item->GetIsSeparator()) {
            row.h = PopupMenuLayout::kSeparatorHeight;
        } else {
            row.h = lineHeight + 6;
            row.selectable = item->GetEnabled();
            const int indent = item->GetIsTitle() ? PopupMenuLayout::kTitleIndent : 0;
            widest = std::max(widest, indent + textWidth(PopupMenuLabel(menu, i)));
        }
        y += row.h;
        l.rows.push_back(row);
    }
    l.contentHeight = y;
    l.width = std::max(PopupMenuLayout::kMinWidth,
                       PopupMenuLayout::kCheckColumn + widest + PopupMenuLayout::kArrowColumn);
    return l;
}

int PopupMenuRowAt(const PopupMenuLayout& layout, int y) {
    for (size_t i = 0; i < layout.rows.size(); ++i)
        if (y >= layout.rows[i].y && y < layout.rows[i].y + layout.rows[i].h) return static_cast<int>(i);
    return -1;
}

int PopupMenuNextSelectable(const IPopupMenu& menu, int from, int dir) {
    const int n = menu.NItems();
    if (n <= 0) return -1;
    int i = from < 0 ? (dir > 0 ? -1 : n) : from;
    for (int k = 0; k < n; ++k) {
        i = ((i + dir) % n + n) % n;
        if (PopupMenuSelectable(menu, i)) return i;
    }
    return -1;
}

void PlacePopupMenu(int w, int h, int x, int y, int anchorTop, int screenW, int screenH, int* pX, int* pY) {
    if (y + h > screenH) y = anchorTop - h >= 0 ? anchorTop - h : screenH - h;
    if (x + w > screenW) x = screenW - w;
    *pX = std::max(x, 0);
    *pY = std::max(y, 0);
}

void PlacePopupSubmenu(int w, int h, int parentLeft, int parentRight, int itemTop, int screenW, int screenH,
                       int* pX, int* pY) {
    int x = parentRight;
    if (x + w > screenW) x = parentLeft - w >= 0 ? parentLeft - w : screenW - w;
    int y = itemTop;
    if (y + h > screenH) y = screenH - h;
    *pX = std::max(x, 0);
    *pY = std::max(y, 0);
}
