#include "framework/platform/linux/X11PopupMenu.h"

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "framework/editor/EditorStores.h"
#include "framework/editor/IGraphics.h"
#include "framework/raster/Raster_Blit.h"
#include "framework/raster/Raster_FontCached.h"
#include "framework/raster/Raster_Line.h"
#include "framework/raster/Raster_ShapeFill.h"
#include "framework/util/Util_Mutex.h"

namespace {

constexpr int kMaxLevels = 16;
constexpr IColor kBackground(255, 242, 242, 242);
constexpr IColor kBorder(255, 128, 128, 128);
constexpr IColor kHighlight(255, 51, 102, 204);
constexpr IColor kDisabled(255, 150, 150, 150);
constexpr IColor kSeparator(255, 200, 200, 200);
constexpr uint32_t kEventMask = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS |
                                XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION |
                                XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_ENTER_WINDOW |
                                XCB_EVENT_MASK_LEAVE_WINDOW;

void SleepMs(int ms) {
    timespec t{0, ms * 1000000L};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {}
}

} // namespace

X11PopupMenu::X11PopupMenu(const Context& context) : mContext(context) {
    IColor black = COLOR_BLACK;
    mStyle = IText(13, &black, "DejaVu Sans", IText::kStyleNormal, IText::kAlignNear);
}

xcb_window_t X11PopupMenu::LevelWindow(int level) const {
    return level >= 0 && level < NLevels() ? mLevels[level]->window.Id() : 0;
}

int X11PopupMenu::Highlight(int level) const {
    return level >= 0 && level < NLevels() ? mLevels[level]->highlight : -1;
}

bool X11PopupMenu::Open(IPopupMenu* pMenu, int x, int y, int anchorTop) {
    Close();
    mDone = false;
    mResult = nullptr;
    mPressedInside = false;
    if (!pMenu || pMenu->NItems() <= 0 || !mContext.conn || !mContext.graphics) return false;
    mScreenW = mContext.conn->Screen()->width_in_pixels;
    mScreenH = mContext.conn->Screen()->height_in_pixels;
    if (!OpenLevel(pMenu, x, y, anchorTop, false)) return false;
    // The window is viewable once the server has mapped it: only then can it be grabbed for.
    mContext.conn->Sync();
    Grab();
    mOpenedAt = std::chrono::steady_clock::now();
    return true;
}

bool X11PopupMenu::OpenLevel(IPopupMenu* pMenu, int x, int y, int anchorTop, bool submenu) {
    if (NLevels() >= kMaxLevels || !pMenu || pMenu->NItems() <= 0) return false;
    Util_MutexLock fonts(EditorStores::FontLock());
    Raster_CachedFont* font = mContext.graphics->CacheFont(&mStyle);
    const int lineHeight = font ? font->GetLineHeight() : 14;
    auto measure = [font](const std::string& s) {
        if (!font || s.empty()) return static_cast<int>(s.size()) * 7;
        RECT r = {0, 0, 0, 0};
        font->DrawText(nullptr, s.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        return static_cast<int>(r.right - r.left);
    };
    auto level = std::make_unique<Level>();
    level->menu = pMenu;
    level->layout = LayoutPopupMenu(*pMenu, lineHeight, measure);
    const int s = mContext.scale;
    const int w = level->layout.width + 2;
    const int h = std::min(level->layout.contentHeight + 2, std::max(mScreenH / s, 1));
    int px = 0, py = 0;
    if (submenu) // x, y: the parent's right edge and the item's top; anchorTop: the parent's left edge
        PlacePopupSubmenu(w * s, h * s, anchorTop, x, y, mScreenW, mScreenH, &px, &py);
    else
        PlacePopupMenu(w * s, h * s, x, y, anchorTop, mScreenW, mScreenH, &px, &py);
    const X11RasterWindow::Options opts{.x = px,
                                        .y = py,
                                        .w = w,
                                        .h = h,
                                        .scale = s,
                                        .overrideRedirect = true,
                                        .eventMask = kEventMask,
                                        .topLevel = true};
    if (!level->window.Create(mContext.conn, opts)) return false;
    level->x = px;
    level->y = py;
    level->w = w * s;
    level->h = h * s;
    const X11Connection::Atoms& a = mContext.conn->A();
    const xcb_atom_t type = a._NET_WM_WINDOW_TYPE_POPUP_MENU;
    xcb_change_property(mContext.conn->Get(), XCB_PROP_MODE_REPLACE, level->window.Id(),
                        a._NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM, 32, 1, &type);
    level->window.Map();
    mLevels.push_back(std::move(level));
    Paint(NLevels() - 1);
    return true;
}

void X11PopupMenu::Grab() {
    xcb_connection_t* c = mContext.conn->Get();
    const xcb_window_t w = LevelWindow(0);
    for (int i = 0; i < 10 && !(mPointerGrabbed && mKeyboardGrabbed); ++i) {
        if (i) SleepMs(10);
        if (!mPointerGrabbed) {
            xcb_grab_pointer_reply_t* r = xcb_grab_pointer_reply(
                c,
                xcb_grab_pointer(c, 1, w,
                                 XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                     XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_ENTER_WINDOW |
                                     XCB_EVENT_MASK_LEAVE_WINDOW,
                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE,
                                 XCB_CURRENT_TIME),
                nullptr);
            mPointerGrabbed = r && r->status == XCB_GRAB_STATUS_SUCCESS;
            std::free(r);
        }
        if (!mKeyboardGrabbed) {
            xcb_grab_keyboard_reply_t* r = xcb_grab_keyboard_reply(
                c, xcb_grab_keyboard(c, 1, w, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                nullptr);
            mKeyboardGrabbed = r && r->status == XCB_GRAB_STATUS_SUCCESS;
            std::free(r);
        }
    }
}

void X11PopupMenu::Close() {
    X11Connection* conn = mContext.conn;
    const bool grabbed = mPointerGrabbed || mKeyboardGrabbed;
    if (conn && !conn->HasError()) {
        if (mPointerGrabbed) xcb_ungrab_pointer(conn->Get(), XCB_CURRENT_TIME);
        if (mKeyboardGrabbed) xcb_ungrab_keyboard(conn->Get(), XCB_CURRENT_TIME);
    }
    mPointerGrabbed = mKeyboardGrabbed = false;
    mLevels.clear();
    if (!conn || conn->HasError()) return;
    // A grab is released only once the server has taken the ungrab: wait for that (one round trip),
    // so the host's next click or key already goes where the user aims it.
    if (grabbed)
        conn->Sync();
    else
        xcb_flush(conn->Get());
}

void X11PopupMenu::CloseLevelsAfter(int level) {
    while (NLevels() > level + 1) mLevels.pop_back();
}

void X11PopupMenu::Paint(int level) {
    Util_MutexLock fonts(EditorStores::FontLock());
    Level& lv = *mLevels[level];
    Raster_MemBitmap* bm = lv.window.Bitmap();
    const int w = lv.window.Width(), h = lv.window.Height();
    Raster_FillRect(bm, 0, 0, w, h, kBackground.ToPixel(), 1.0f, 0);
    Raster_CachedFont* font = mContext.graphics->CacheFont(&mStyle);
    const IPopupMenu& menu = *lv.menu;
    for (int i = 0; i < menu.NItems(); ++i) {
        const PopupMenuLayout::Row& row = lv.layout.rows[i];
        const int top = 1 + row.y - lv.scroll;
        if (top + row.h <= 1 || top >= h - 1) continue;
        const IPopupMenuItem* item = menu.GetItem(i);
        if (item->GetIsSeparator()) {
            Raster_Line(bm, 4, top + row.h / 2, w - 5, top + row.h / 2, kSeparator.ToPixel(), 1.0f, 0, false);
            continue;
        }
        const bool lit = i == lv.highlight && row.selectable;
        if (lit) Raster_FillRect(bm, 1, top, w - 2, row.h, kHighlight.ToPixel(), 1.0f, 0);
        const uint32_t ink = lit                  ? COLOR_WHITE.ToPixel()
                             : item->GetEnabled() ? COLOR_BLACK.ToPixel()
                                                  : kDisabled.ToPixel();
        const int mid = top + row.h / 2;
        if (item->GetChecked()) {
            for (int d = 0; d < 2; ++d) {
                Raster_Line(bm, 6, mid + d, 9, mid + 3 + d, ink, 1.0f, 0, true);
                Raster_Line(bm, 9, mid + 3 + d, 15, mid - 4 + d, ink, 1.0f, 0, true);
            }
        }
        if (item->GetSubmenu())
            Raster_FillTriangle(bm, w - 13, mid - 4, w - 13, mid + 4, w - 8, mid, ink, 1.0f, 0);
        if (font) {
            font->SetTextColor(ink);
            const int left =
                1 + PopupMenuLayout::kCheckColumn + (item->GetIsTitle() ? PopupMenuLayout::kTitleIndent : 0);
            RECT r = {left, top, w - 1 - PopupMenuLayout::kArrowColumn, top + row.h};
            const std::string label = PopupMenuLabel(menu, i);
            font->DrawText(bm, label.c_str(), -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        }
    }
    Raster_DrawRect(bm, 0, 0, w - 1, h - 1, kBorder.ToPixel(), 1.0f, 0);
    lv.window.Present();
}

int X11PopupMenu::LevelAt(int rootX, int rootY) const {
    for (int i = NLevels() - 1; i >= 0; --i) {
        const Level& lv = *mLevels[i];
        if (rootX >= lv.x && rootX < lv.x + lv.w && rootY >= lv.y && rootY < lv.y + lv.h) return i;
    }
    return -1;
}

int X11PopupMenu::ItemAt(int level, int rootX, int rootY) const {
    const Level& lv = *mLevels[level];
    const int s = mContext.scale;
    const int x = (rootX - lv.x) / s, y = (rootY - lv.y) / s;
    if (x < 1 || x >= lv.window.Width() - 1 || y < 1 || y >= lv.window.Height() - 1) return -1;
    return PopupMenuRowAt(lv.layout, y - 1 + lv.scroll);
}

void X11PopupMenu::SetHighlight(int level, int item, bool openSubmenu) {
    Level& lv = *mLevels[level];
    const IPopupMenuItem* it = lv.menu->GetItem(item);
    const bool wantsSub = openSubmenu && it && it->GetSubmenu() && it->GetEnabled();
    const bool subOpen = NLevels() > level + 1 && it && mLevels[level + 1]->menu == it->GetSubmenu();
    if (lv.highlight == item && (subOpen || !wantsSub)) return;
    lv.highlight = item;
    if (!subOpen) CloseLevelsAfter(level);
    EnsureVisible(level);
    Paint(level);
    if (wantsSub && !subOpen) OpenSubmenu(level);
}

void X11PopupMenu::OpenSubmenu(int level) {
    Level& lv = *mLevels[level];
    const IPopupMenuItem* it = lv.menu->GetItem(lv.highlight);
    if (!it || !it->GetSubmenu() || !it->GetEnabled()) return;
    CloseLevelsAfter(level);
    const int s = mContext.scale;
    const int itemTop = lv.y + (1 + lv.layout.rows[lv.highlight].y - lv.scroll) * s;
    OpenLevel(it->GetSubmenu(), lv.x + lv.w, itemTop, lv.x, true);
}

void X11PopupMenu::EnsureVisible(int level) {
    Level& lv = *mLevels[level];
    if (lv.highlight < 0) return;
    const PopupMenuLayout::Row& row = lv.layout.rows[lv.highlight];
    const int visible = lv.window.Height() - 2;
    if (row.y < lv.scroll) lv.scroll = row.y;
    if (row.y + row.h > lv.scroll + visible) lv.scroll = row.y + row.h - visible;
}

void X11PopupMenu::Scroll(int level, int dy) {
    Level& lv = *mLevels[level];
    const int maxScroll = std::max(0, lv.layout.contentHeight - (lv.window.Height() - 2));
    const int next = std::clamp(lv.scroll + dy, 0, maxScroll);
    if (next == lv.scroll) return;
    lv.scroll = next;
    CloseLevelsAfter(level);
    Paint(level);
}

void X11PopupMenu::Finish(IPopupMenu* pMenu, int index) {
    if (pMenu) pMenu->SetChosenItemIdx(index);
    mResult = pMenu;
    mDone = true;
    Close();
}

bool X11PopupMenu::Armed() const {
    return mPressedInside || std::chrono::steady_clock::now() - mOpenedAt >= std::chrono::milliseconds(250);
}

void X11PopupMenu::OnKey(uint32_t keysym) {
    if (mLevels.empty()) return;
    const int d = NLevels() - 1;
    Level& lv = *mLevels[d];
    const IPopupMenuItem* it = lv.menu->GetItem(lv.highlight);
    switch (keysym) {
    case kXK_Up:
    case kXK_KP_Up:
        SetHighlight(d, PopupMenuNextSelectable(*lv.menu, lv.highlight, -1), false);
        break;
    case kXK_Down:
    case kXK_KP_Down:
        SetHighlight(d, PopupMenuNextSelectable(*lv.menu, lv.highlight, +1), false);
        break;
    case kXK_Home:
    case kXK_KP_Home:
        SetHighlight(d, PopupMenuNextSelectable(*lv.menu, -1, +1), false);
        break;
    case kXK_End:
    case kXK_KP_End:
        SetHighlight(d, PopupMenuNextSelectable(*lv.menu, -1, -1), false);
        break;
    case kXK_Right:
    case kXK_KP_Right:
    case kXK_Return:
    case kXK_KP_Enter:
    case ' ':
        if (it && it->GetSubmenu()) {
            OpenSubmenu(d);
            if (NLevels() > d + 1)
                SetHighlight(d + 1, PopupMenuNextSelectable(*mLevels[d + 1]->menu, -1, +1), false);
        } else if (keysym != kXK_Right && keysym != kXK_KP_Right && it &&
                   PopupMenuSelectable(*lv.menu, lv.highlight)) {
            Finish(lv.menu, lv.highlight);
        }
        break;
    case kXK_Left:
    case kXK_KP_Left:
        if (d > 0) CloseLevelsAfter(d - 1);
        break;
    case kXK_Escape:
        if (d > 0)
            CloseLevelsAfter(d - 1);
        else
            Finish(nullptr, -1);
        break;
    default:
        break;
    }
}

bool X11PopupMenu::OnEvent(const xcb_generic_event_t* ev) {
    if (mDone) return false;
    switch (ev->response_type & 0x7F) {
    case XCB_EXPOSE: {
        const auto* e = reinterpret_cast<const xcb_expose_event_t*>(ev);
        for (int i = 0; i < NLevels(); ++i)
            if (mLevels[i]->window.Id() == e->window) {
                if (e->count == 0) Paint(i);
                return true;
            }
        return false;
    }
    case XCB_MOTION_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_motion_notify_event_t*>(ev);
        const int level = LevelAt(e->root_x, e->root_y);
        if (level >= 0) {
            SetHighlight(level, ItemAt(level, e->root_x, e->root_y), true);
        } else if (!mLevels.empty() && mLevels.back()->highlight >= 0) {
            mLevels.back()->highlight = -1;
            Paint(NLevels() - 1);
        }
        return true;
    }
    case XCB_BUTTON_PRESS: {
        const auto* e = reinterpret_cast<const xcb_button_press_event_t*>(ev);
        const int level = LevelAt(e->root_x, e->root_y);
        if (e->detail == 4 || e->detail == 5) {
            if (level >= 0) Scroll(level, (e->detail == 4 ? -1 : 1) * 20);
            return true;
        }
        if (e->detail > 3) return true;
        if (level < 0) {
            Finish(nullptr, -1); // a press outside every menu dismisses it
            return true;
        }
        mPressedInside = true;
        SetHighlight(level, ItemAt(level, e->root_x, e->root_y), true);
        return true;
    }
    case XCB_BUTTON_RELEASE: {
        const auto* e = reinterpret_cast<const xcb_button_release_event_t*>(ev);
        if (e->detail < 1 || e->detail > 3) return true;
        const int level = LevelAt(e->root_x, e->root_y);
        if (level < 0 || !Armed()) return true;
        const int item = ItemAt(level, e->root_x, e->root_y);
        const IPopupMenuItem* it = mLevels[level]->menu->GetItem(item);
        if (it && !it->GetSubmenu() && PopupMenuSelectable(*mLevels[level]->menu, item))
            Finish(mLevels[level]->menu, item);
        return true;
    }
    case XCB_KEY_PRESS: {
        const auto* e = reinterpret_cast<const xcb_key_press_event_t*>(ev);
        if (mContext.keys) OnKey(mContext.keys->KeySym(e->detail, e->state));
        return true;
    }
    case XCB_KEY_RELEASE:
    case XCB_ENTER_NOTIFY:
    case XCB_LEAVE_NOTIFY:
        return true;
    default:
        return false;
    }
}
