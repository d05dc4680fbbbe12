#pragma once
// PopupMenuLayout: the geometry and keyboard rules of our popup menus, apart from any window.
//
// An item's label is its text after the menu's numbering prefix ("%1d: ", "%02d: " or "%03d: " with the
// item's number counted from 1). Rows: separators are 7 pixels high, other items the font's line
// height plus 6; a left column of 20 pixels holds the check mark, title items are indented 12 more
// pixels, a right column of 20 holds the submenu arrow. Selectable items are those neither disabled
// nor separators (items with a submenu open it rather than being chosen).
//
// Placement keeps a menu whole on the screen: below the wanted point if it fits, else above the
// anchor line if that fits, else pushed up to the screen's bottom; pushed left from the right edge and
// never left of 0 or above 0. A submenu opens right of its parent at the item's height, or left of the
// parent when it does not fit. A menu taller than the screen is cut to the screen's height and scrolls.
// Plain functions and values, used under the editor's lock.
#include <functional>
#include <string>
#include <vector>

#include "framework/editor/IPopupMenu.h"

struct PopupMenuLayout {
    static constexpr int kSeparatorHeight = 7;
    static constexpr int kCheckColumn = 20;
    static constexpr int kTitleIndent = 12;
    static constexpr int kArrowColumn = 20;
    static constexpr int kMinWidth = 80;

    struct Row {
        int y = 0, h = 0; // in the menu's content, pixels
        bool selectable = false;
    };
    std::vector<Row> rows;
    int width = 0;         // pixels
    int contentHeight = 0; // all rows
};

// "3: Text" for prefix 1, "03: Text" for 2, "003: Text" for 3; the bare text for 0.
std::string PopupMenuLabel(const IPopupMenu& menu, int index);
bool PopupMenuSelectable(const IPopupMenu& menu, int index);
// Rows and width; textWidth measures a label in pixels.
PopupMenuLayout LayoutPopupMenu(const IPopupMenu& menu, int lineHeight,
                                const std::function<int(const std::string&)>& textWidth);
// The row index at content y, or -1.
int PopupMenuRowAt(const PopupMenuLayout& layout, int y);
// The next selectable index from `from` in direction dir (+1 / -1), wrapping; from -1 starts at the
// first (dir +1) or last (dir -1). -1 when the menu has none.
int PopupMenuNextSelectable(const IPopupMenu& menu, int from, int dir);
// Top-left corner of a w x h menu wanted at (x, y); when it does not fit below, it goes above
// anchorTop (its bottom there). Screen w x h.
void PlacePopupMenu(int w, int h, int x, int y, int anchorTop, int screenW, int screenH, int* pX, int* pY);
// Top-left corner of a submenu of w x h for an item whose row spans parentLeft..parentRight and starts
// at itemTop (screen pixels).
void PlacePopupSubmenu(int w, int h, int parentLeft, int parentRight, int itemTop, int screenW, int screenH,
                       int* pX, int* pY);
