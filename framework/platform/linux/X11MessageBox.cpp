#include "framework/platform/linux/X11MessageBox.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "framework/editor/EditorStores.h"
#include "framework/editor/IGraphics.h"
#include "framework/raster/Raster_Blit.h"
#include "framework/raster/Raster_FontCached.h"
#include "framework/raster/Raster_Line.h"
#include "framework/util/Util_Mutex.h"

namespace {

constexpr int kMargin = 16, kButtonW = 84, kButtonH = 26, kGap = 8, kMaxTextW = 420, kMinW = 260;
constexpr IColor kBackground(255, 240, 240, 240);
constexpr IColor kButtonFace(255, 225, 225, 225);
constexpr IColor kButtonPressed(255, 190, 190, 190);
constexpr IColor kButtonEdge(255, 120, 120, 120);
constexpr IColor kFocusEdge(255, 51, 102, 204);

} // namespace

std::vector<std::pair<std::string, int>> X11MessageBox::Buttons(int type) {
    switch (type) {
    case kMB_OKCANCEL:
        return {{"OK", kMB_First}, {"Cancel", kMB_Second}};
    case kMB_YESNO:
        return {{"Yes", kMB_First}, {"No", kMB_Second}};
    case kMB_YESNOCANCEL:
        return {{"Yes", kMB_First}, {"No", kMB_Second}, {"Cancel", kMB_Third}};
    default:
        return {{"OK", kMB_First}};
    }
}

int X11MessageBox::EscapeAnswer(int type) {
    return Buttons(type).back().second;
}

X11MessageBox::X11MessageBox(const Context& context) : mContext(context) {
    IColor black = COLOR_BLACK;
    mStyle = IText(13, &black, "DejaVu Sans", IText::kStyleNormal, IText::kAlignNear);
}

bool X11MessageBox::Open(const char* text, const char* caption, int type) {
    Close();
    mDone = false;
    mResult = kMB_None;
    mButtons = Buttons(type);
    mEscape = EscapeAnswer(type);
    mFocus = 0;
    mPressed = -1;
    X11Connection* conn = mContext.conn;
    if (!conn || !mContext.graphics) return false;
    // Measuring uses the shared fonts; the window is made without them.
    int textW = 0;
    {
        Util_MutexLock fonts(EditorStores::FontLock());
        Raster_CachedFont* font = mContext.graphics->CacheFont(&mStyle);
        auto width = [font](const std::string& s) {
            if (!font || s.empty()) return static_cast<int>(s.size()) * 7;
            RECT r = {0, 0, 0, 0};
            font->DrawText(nullptr, s.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
            return static_cast<int>(r.right - r.left);
        };
        mLineHeight = font ? font->GetLineHeight() : 16;

        // Lines: the text's own, wrapped at word boundaries to the widest line we allow.
        mLines.clear();
        const std::string all = text ? text : "";
        size_t start = 0;
        while (start <= all.size()) {
            size_t end = all.find('\n', start);
            if (end == std::string::npos) end = all.size();
            std::string rest = all.substr(start, end - start), line;
            size_t p = 0;
            while (p <= rest.size()) {
                size_t q = rest.find(' ', p);
                if (q == std::string::npos) q = rest.size();
                const std::string word = rest.substr(p, q - p);
                const std::string joined = line.empty() ? word : line + " " + word;
                if (!line.empty() && width(joined) > kMaxTextW) {
                    mLines.push_back(line);
                    line = word;
                } else {
                    line = joined;
                }
                p = q + 1;
            }
            mLines.push_back(line);
            start = end + 1;
        }
        for (const std::string& l : mLines) textW = std::max(textW, width(l));
    }
    const int nButtons = static_cast<int>(mButtons.size());
    const int buttonsW = nButtons * kButtonW + (nButtons - 1) * kGap;
    const int w = std::max({kMinW, textW + 2 * kMargin, buttonsW + 2 * kMargin});
    const int h = kMargin + static_cast<int>(mLines.size()) * mLineHeight + kMargin + kButtonH + kMargin;

    // Centred over the editor's window.
    const int s = mContext.scale;
    int x = 0, y = 0;
    xcb_connection_t* c = conn->Get();
    if (mContext.editorWindow) {
        xcb_translate_coordinates_reply_t* t = xcb_translate_coordinates_reply(
            c, xcb_translate_coordinates(c, mContext.editorWindow, conn->Root(), 0, 0), nullptr);
        xcb_get_geometry_reply_t* g =
            xcb_get_geometry_reply(c, xcb_get_geometry(c, mContext.editorWindow), nullptr);
        if (t && g) {
            x = t->dst_x + (g->width - w * s) / 2;
            y = t->dst_y + (g->height - h * s) / 2;
        }
        std::free(t);
        std::free(g);
    }
    const int screenW = conn->Screen()->width_in_pixels, screenH = conn->Screen()->height_in_pixels;
    x = std::clamp(x, 0, std::max(0, screenW - w * s));
    y = std::clamp(y, 0, std::max(0, screenH - h * s));

    const uint32_t events = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_BUTTON_PRESS |
                            XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                            XCB_EVENT_MASK_FOCUS_CHANGE;
    const X11RasterWindow::Options opts{
        .x = x, .y = y, .w = w, .h = h, .scale = s, .eventMask = events, .topLevel = true};
    if (!mWindow.Create(conn, opts)) return false;
    SetProperties(caption);
    mWindow.Map();
    Paint();
    xcb_flush(c);
    return true;
}

void X11MessageBox::SetProperties(const char* caption) {
    xcb_connection_t* c = mContext.conn->Get();
    const X11Connection::Atoms& a = mContext.conn->A();
    const xcb_window_t w = mWindow.Id();
    const std::string title = caption ? caption : "";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(title.size()), title.data());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, a._NET_WM_NAME, a.UTF8_STRING, 8,
                        static_cast<uint32_t>(title.size()), title.data());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, a.WM_PROTOCOLS, XCB_ATOM_ATOM, 32, 1,
                        &a.WM_DELETE_WINDOW);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, a._NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM, 32, 1,
                        &a._NET_WM_WINDOW_TYPE_DIALOG);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, a._NET_WM_STATE, XCB_ATOM_ATOM, 32, 1,
                        &a._NET_WM_STATE_MODAL);
    // Fixed size, placed by us: WM_NORMAL_HINTS with the program position and min = max size.
    const uint32_t W = static_cast<uint32_t>(mWindow.Width() * mWindow.Scale());
    const uint32_t H = static_cast<uint32_t>(mWindow.Height() * mWindow.Scale());
    uint32_t hints[18] = {};
    hints[0] = 4 | 16 | 32; // PPosition | PMinSize | PMaxSize
    hints[5] = hints[7] = W;
    hints[6] = hints[8] = H;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, 18,
                        hints);
    // Transient for the host's top-level window: the editor window's ancestor just below the root.
    xcb_window_t top = mContext.editorWindow;
    for (int depth = 0; top && depth < 64; ++depth) {
        xcb_query_tree_reply_t* t = xcb_query_tree_reply(c, xcb_query_tree(c, top), nullptr);
        const xcb_window_t parent = t ? t->parent : 0;
        const xcb_window_t root = t ? t->root : 0;
        std::free(t);
        if (!parent || parent == root) break;
        top = parent;
    }
    if (top)
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1,
                            &top);
}

void X11MessageBox::TakeFocus() {
    if (mFocusTaken) return;
    xcb_connection_t* c = mContext.conn->Get();
    xcb_get_input_focus_reply_t* r = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    mPrevFocus = r ? r->focus : XCB_NONE;
    std::free(r);
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, mWindow.Id(), XCB_CURRENT_TIME);
    mFocusTaken = true;
}

void X11MessageBox::Close() {
    X11Connection* conn = mContext.conn;
    if (mWindow.Id() && mFocusTaken && conn && !conn->HasError()) {
        xcb_connection_t* c = conn->Get();
        xcb_get_input_focus_reply_t* r = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
        if (r && r->focus == mWindow.Id())
            xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, mPrevFocus, XCB_CURRENT_TIME);
        std::free(r);
    }
    mFocusTaken = false;
    mWindow.Destroy();
    if (conn && !conn->HasError()) xcb_flush(conn->Get());
}

IRECT X11MessageBox::ButtonRect(int i) const {
    const int n = static_cast<int>(mButtons.size());
    const int w = mWindow.Width(), h = mWindow.Height();
    const int right = w - kMargin - (n - 1 - i) * (kButtonW + kGap);
    const int s = mWindow.Scale();
    return IRECT((right - kButtonW) * s, (h - kMargin - kButtonH) * s, right * s, (h - kMargin) * s);
}

int X11MessageBox::ButtonAt(int x, int y) const {
    for (int i = 0; i < static_cast<int>(mButtons.size()); ++i)
        if (ButtonRect(i).Contains(x, y)) return i;
    return -1;
}

void X11MessageBox::Paint() {
    Util_MutexLock fonts(EditorStores::FontLock());
    Raster_MemBitmap* bm = mWindow.Bitmap();
    const int w = mWindow.Width(), h = mWindow.Height(), s = mWindow.Scale();
    Raster_FillRect(bm, 0, 0, w, h, kBackground.ToPixel(), 1.0f, 0);
    Raster_CachedFont* font = mContext.graphics->CacheFont(&mStyle);
    if (font) font->SetTextColor(COLOR_BLACK.ToPixel());
    for (size_t i = 0; font && i < mLines.size(); ++i) {
        const int top = kMargin + static_cast<int>(i) * mLineHeight;
        RECT r = {kMargin, top, w - kMargin, top + mLineHeight};
        font->DrawText(bm, mLines[i].c_str(), -1, &r, DT_SINGLELINE | DT_NOPREFIX);
    }
    for (int i = 0; i < static_cast<int>(mButtons.size()); ++i) {
        const IRECT b = ButtonRect(i);
        const int L = b.L / s, T = b.T / s;
        Raster_FillRect(bm, L, T, kButtonW, kButtonH,
                        (i == mPressed ? kButtonPressed : kButtonFace).ToPixel(), 1.0f, 0);
        Raster_DrawRect(bm, L, T, kButtonW - 1, kButtonH - 1,
                        (i == mFocus ? kFocusEdge : kButtonEdge).ToPixel(), 1.0f, 0);
        if (i == mFocus)
            Raster_DrawRect(bm, L + 1, T + 1, kButtonW - 3, kButtonH - 3, kFocusEdge.ToPixel(), 1.0f, 0);
        if (font) {
            RECT r = {L, T, L + kButtonW, T + kButtonH};
            font->DrawText(bm, mButtons[i].first.c_str(), -1, &r,
                           DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
        }
    }
    mWindow.Present();
}

void X11MessageBox::Finish(int answer) {
    mResult = answer;
    mDone = true;
    Close();
}

bool X11MessageBox::OnEvent(const xcb_generic_event_t* ev) {
    if (mDone || !mWindow.Id()) return false;
    const xcb_window_t w = mWindow.Id();
    switch (ev->response_type & 0x7F) {
    case XCB_EXPOSE: {
        const auto* e = reinterpret_cast<const xcb_expose_event_t*>(ev);
        if (e->window != w) return false;
        if (e->count == 0) Paint();
        TakeFocus(); // viewable now
        return true;
    }
    case XCB_KEY_PRESS: {
        const auto* e = reinterpret_cast<const xcb_key_press_event_t*>(ev);
        const uint32_t sym = mContext.keys ? mContext.keys->KeySym(e->detail, e->state) : 0;
        const int n = static_cast<int>(mButtons.size());
        if (sym == kXK_Escape) {
            Finish(mEscape);
        } else if (sym == kXK_Return || sym == kXK_KP_Enter || sym == ' ') {
            Finish(mButtons[mFocus].second);
        } else if (sym == kXK_Tab || sym == kXK_Right || sym == kXK_Left) {
            mFocus = (mFocus + (sym == kXK_Left ? n - 1 : 1)) % n;
            Paint();
        }
        return true;
    }
    case XCB_BUTTON_PRESS: {
        const auto* e = reinterpret_cast<const xcb_button_press_event_t*>(ev);
        if (e->event != w) return true;
        if (e->detail == 1) {
            mPressed = ButtonAt(e->event_x, e->event_y);
            Paint();
        }
        return true;
    }
    case XCB_BUTTON_RELEASE: {
        const auto* e = reinterpret_cast<const xcb_button_release_event_t*>(ev);
        if (e->detail != 1) return true;
        const int pressed = mPressed;
        mPressed = -1;
        if (pressed >= 0 && e->event == w && ButtonAt(e->event_x, e->event_y) == pressed)
            Finish(mButtons[pressed].second);
        else
            Paint();
        return true;
    }
    case XCB_CLIENT_MESSAGE: {
        const auto* e = reinterpret_cast<const xcb_client_message_event_t*>(ev);
        if (e->window != w) return false;
        if (e->type == mContext.conn->A().WM_PROTOCOLS &&
            e->data.data32[0] == mContext.conn->A().WM_DELETE_WINDOW)
            Finish(mEscape);
        return true;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_destroy_notify_event_t*>(ev);
        if (e->window != w) return false;
        Finish(mEscape);
        return true;
    }
    case XCB_MOTION_NOTIFY:
    case XCB_KEY_RELEASE:
        return true;
    // These events carry the window they report for at the same place (after the sequence number).
    case XCB_FOCUS_IN:
    case XCB_FOCUS_OUT:
    case XCB_MAP_NOTIFY:
    case XCB_UNMAP_NOTIFY:
    case XCB_CONFIGURE_NOTIFY:
    case XCB_REPARENT_NOTIFY:
        return reinterpret_cast<const xcb_map_notify_event_t*>(ev)->event == w;
    default:
        return false;
    }
}
