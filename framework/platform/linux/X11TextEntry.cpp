#include "framework/platform/linux/X11TextEntry.h"

#include <algorithm>
#include <cstdlib>

#include "framework/editor/EditorStores.h"
#include "framework/editor/IControl.h"
#include "framework/editor/IGraphics.h"
#include "framework/plugin/IParam.h"
#include "framework/raster/Raster_Blit.h"
#include "framework/raster/Raster_FontCached.h"
#include "framework/raster/Raster_Line.h"
#include "framework/util/Util_Mutex.h"

namespace {

constexpr int kPad = 2; // pixels between the field's edge and the text
constexpr IColor kSelectionColor(255, 173, 214, 255);

} // namespace

const char* X11TextEntry::CharacterSetFor(const IParam* pParam) {
    if (!pParam) return nullptr;
    switch (pParam->Type()) {
    case IParam::kTypeDouble:
        return "0123456789.-+";
    case IParam::kTypeBool:
    case IParam::kTypeInt:
    case IParam::kTypeEnum:
        return "0123456789-+";
    default:
        return "";
    }
}

bool X11TextEntry::Open(X11Connection* pConn, xcb_window_t editorWindow, const X11PixelFormat& format,
                        int scale, IGraphics* pGraphics, IControl* pControl, const IText* pText,
                        const IRECT& rect, const char* str, IParam* pParam) {
    Close();
    mRect = IRECT(rect.L, rect.T, rect.R + 1, rect.B + 1);
    if (mRect.W() <= 0 || mRect.H() <= 0) return false;
    const uint32_t events = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
                            XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                            XCB_EVENT_MASK_BUTTON_MOTION | XCB_EVENT_MASK_FOCUS_CHANGE;
    const X11RasterWindow::Options opts{.parent = editorWindow,
                                        .x = mRect.L * scale,
                                        .y = mRect.T * scale,
                                        .w = mRect.W(),
                                        .h = mRect.H(),
                                        .scale = scale,
                                        .eventMask = events};
    if (!mWindow.Create(pConn, opts, &format)) return false;
    mConn = pConn;
    mGraphics = pGraphics;
    mControl = pControl;
    mParam = pParam;
    mStyle = pText ? *pText : IText();
    mStyle.mSize = static_cast<int>(mStyle.mSize * 0.9);
    mStyle.mCached = nullptr;
    // A control with units reads words too ("350 ms"): every character may be typed.
    const bool units = pControl && pControl->GetUnits();
    mModel.Start(str, units ? nullptr : CharacterSetFor(pParam),
                 pParam && pControl ? pControl->GetTextEntryLength() : 0);
    mScroll = 0;
    mWindow.Map();
    Paint();
    TakeFocus();
    xcb_flush(pConn->Get());
    return true;
}

void X11TextEntry::Close() {
    if (!mWindow.Id()) return;
    GiveFocusBack();
    mWindow.Destroy();
    if (mConn && !mConn->HasError()) xcb_flush(mConn->Get());
    mConn = nullptr;
    mControl = nullptr;
    mParam = nullptr;
}

void X11TextEntry::TakeFocus() {
    xcb_connection_t* c = mConn->Get();
    xcb_get_input_focus_reply_t* r = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    mPrevFocus = r ? r->focus : XCB_NONE;
    std::free(r);
    // Refused (an error of our own connection, ignored) while the host's window is not viewable; keys
    // then still come through the editor's window or the host.
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, mWindow.Id(), XCB_CURRENT_TIME);
    mFocusTaken = true;
}

void X11TextEntry::GiveFocusBack() {
    if (!mFocusTaken || !mConn || mConn->HasError()) return;
    mFocusTaken = false;
    xcb_connection_t* c = mConn->Get();
    xcb_get_input_focus_reply_t* r = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    const bool ours = r && r->focus == mWindow.Id();
    std::free(r);
    // A window that is gone by now refuses (ignored); the focus then falls back to our parent when the
    // field goes.
    if (ours) xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, mPrevFocus, XCB_CURRENT_TIME);
}

int X11TextEntry::TextWidth(const std::string& s) {
    if (s.empty()) return 0;
    Util_MutexLock fonts(EditorStores::FontLock());
    Raster_CachedFont* font = mGraphics ? mGraphics->CacheFont(&mStyle) : nullptr;
    if (!font) return 0;
    RECT r = {0, 0, 0, 0};
    font->DrawText(nullptr, s.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return r.right - r.left;
}

int X11TextEntry::CaretX(int i) {
    const int fw = mRect.W();
    const int tw = TextWidth(mModel.Text());
    int x0 = kPad;
    if (tw <= fw - 2 * kPad) {
        if (mStyle.mAlign == IText::kAlignCenter)
            x0 = (fw - tw) / 2;
        else if (mStyle.mAlign == IText::kAlignFar)
            x0 = fw - kPad - tw;
    } else {
        x0 = kPad - mScroll;
    }
    return x0 + TextWidth(mModel.Prefix(i));
}

int X11TextEntry::PositionAt(int x) {
    int best = 0, bestDist = 1 << 30;
    for (int i = 0; i <= mModel.Length(); ++i) {
        const int d = std::abs(CaretX(i) - x);
        if (d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    return best;
}

void X11TextEntry::Paint() {
    if (!mWindow.Id()) return;
    Util_MutexLock fonts(EditorStores::FontLock());
    Raster_MemBitmap* bm = mWindow.Bitmap();
    const int fw = mRect.W(), fh = mRect.H();
    Raster_FillRect(bm, 0, 0, fw, fh, mStyle.mTextEntryBGColor.ToPixel() | 0xFF, 1.0f, 0);
    // Keep the caret in view when the text is wider than the field.
    const int tw = TextWidth(mModel.Text());
    if (tw <= fw - 2 * kPad) {
        mScroll = 0;
    } else {
        const int caret = kPad + TextWidth(mModel.Prefix(mModel.Caret())) - mScroll;
        if (caret > fw - kPad) mScroll += caret - (fw - kPad);
        if (caret < kPad) mScroll -= kPad - caret;
        mScroll = std::clamp(mScroll, 0, tw - (fw - 2 * kPad));
    }
    const int x0 = CaretX(0);
    if (mModel.HasSelection()) {
        const int a = CaretX(mModel.SelectionStart()), b = CaretX(mModel.SelectionEnd());
        Raster_FillRect(bm, a, 1, b - a, fh - 2, kSelectionColor.ToPixel(), 1.0f, 0);
    }
    const uint32_t fg = mStyle.mTextEntryFGColor.ToPixel();
    Raster_CachedFont* font = mGraphics ? mGraphics->CacheFont(&mStyle) : nullptr;
    const std::string text = mModel.Text();
    if (font && !text.empty()) {
        font->SetTextColor(fg);
        RECT r = {x0, 0, x0 + tw + 1, fh};
        font->DrawText(bm, text.c_str(), -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOCLIP | DT_NOPREFIX);
    }
    const int cx = CaretX(mModel.Caret());
    Raster_Line(bm, cx, 2, cx, fh - 3, fg | 0xFF, 1.0f, 0, false);
    mWindow.Present();
}

TextEntryModel::EResult X11TextEntry::Key(const TextKey& key, std::string* pClipText) {
    TextEntryModel::EResult r = mModel.Apply(key, pClipText);
    if (r == TextEntryModel::kChanged || r == TextEntryModel::kCut) Paint();
    return r;
}

void X11TextEntry::Paste(const std::string& utf8) {
    if (mModel.Insert(utf8)) Paint();
}

void X11TextEntry::Pointer(int x, bool extend) {
    mModel.SetCaret(PositionAt(x), extend);
    Paint();
}
