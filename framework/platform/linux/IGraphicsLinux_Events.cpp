// IGraphicsLinux: events of the editor's window, input, the text field, popup menus and the nested loop.
#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "framework/editor/IControl.h"
#include "framework/platform/linux/IGraphicsLinux.h"
#include "framework/platform/linux/X11Modal.h"
#include "framework/platform/linux/X11PopupMenu.h"
#include "framework/platform/linux/X11TextEntry.h"

namespace {

constexpr int kMenuIdleLimitMs = 60000;
constexpr uint16_t kButton1Mask = XCB_BUTTON_MASK_1, kButton3Mask = XCB_BUTTON_MASK_3;

// Counts our calls into the editor, so host callbacks made meanwhile on this thread find us busy.
struct DispatchScope {
    int& depth;
    explicit DispatchScope(int& d) : depth(d) { ++depth; }
    ~DispatchScope() { --depth; }
};

bool IsInput(uint8_t type) {
    switch (type) {
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
    case XCB_MOTION_NOTIFY:
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE:
    case XCB_ENTER_NOTIFY:
    case XCB_LEAVE_NOTIFY:
    case XCB_FOCUS_IN:
    case XCB_FOCUS_OUT:
        return true;
    default:
        return false;
    }
}

} // namespace

void IGraphicsLinux::ProcessEvents() {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    DispatchScope scope(mDispatchDepth);
    // Consecutive motions of one window with the same buttons down: only the last one matters.
    xcb_generic_event_t* motion = nullptr;
    auto flushMotion = [&]() {
        if (!motion) return;
        HandleEvent(motion, false);
        std::free(motion);
        motion = nullptr;
    };
    for (int n = 1; mConn && !mCloseRequested && !mCloseDeferred; ++n) {
        xcb_generic_event_t* ev = mConn->Poll();
        if (!ev) break;
        if ((ev->response_type & 0x7F) == XCB_MOTION_NOTIFY) {
            const auto* m = reinterpret_cast<const xcb_motion_notify_event_t*>(ev);
            const auto* prev = reinterpret_cast<const xcb_motion_notify_event_t*>(motion);
            if (prev && (prev->event != m->event || prev->state != m->state)) flushMotion();
            std::free(motion);
            motion = ev;
            continue;
        }
        flushMotion();
        HandleEvent(ev, false);
        std::free(ev);
        // A flood never holds the host's thread for long: the rest waits for the next idle call.
        if (n % 256 == 0 && Clock::now() - start > std::chrono::milliseconds(20)) break;
    }
    if (mConn) flushMotion();
    std::free(motion);
}

void IGraphicsLinux::HandleEvent(xcb_generic_event_t* ev, bool modal) {
    const uint8_t type = ev->response_type & 0x7F;
    if (type == 0) return; // an error of one of our requests: the window or parent is gone, or similar
    if (mScreen.OnEvent(ev)) return;
    switch (type) {
    case XCB_EXPOSE: {
        const auto* e = reinterpret_cast<const xcb_expose_event_t*>(ev);
        if (e->window == mWindow)
            mExposed = mExposed.Union(EditorArea(e->x, e->y, e->width, e->height));
        else if (mTextEntry && e->window == mTextEntry->Window() && e->count == 0)
            mTextEntry->Paint();
        return;
    }
    case XCB_MAP_NOTIFY:
        if (reinterpret_cast<const xcb_map_notify_event_t*>(ev)->window == mWindow) mExposed = FullArea();
        return;
    case XCB_REPARENT_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_reparent_notify_event_t*>(ev);
        if (e->window == mWindow) mParent = e->parent;
        return;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_destroy_notify_event_t*>(ev);
        if (e->window == mWindow) {
            // The host destroyed the parent (and our window with it) before effEditClose.
            mWindowGone = true;
            mTextEntry.reset();
        }
        return;
    }
    case XCB_CLIENT_MESSAGE: {
        // The window manager's close button on our own top-level window: closed after this dispatch,
        // as if the host had asked (a binding learns it from WindowIsOpen).
        const auto* e = reinterpret_cast<const xcb_client_message_event_t*>(ev);
        if (mTopLevel && e->window == mWindow && e->type == mConn->A().WM_PROTOCOLS && e->format == 32 &&
            e->data.data32[0] == mConn->A().WM_DELETE_WINDOW)
            mCloseDeferred = true;
        return;
    }
    case XCB_MAPPING_NOTIFY:
        if (mConn) mKeys.Load(mConn.get());
        return;
    case XCB_SELECTION_REQUEST:
    case XCB_SELECTION_CLEAR:
    case XCB_SELECTION_NOTIFY: {
        bool pasted = false;
        std::string text;
        mClipboard.OnEvent(ev, &pasted, &text);
        if (pasted && mTextEntry) mTextEntry->Paste(text);
        return;
    }
    default:
        break;
    }
    if (modal || !IsInput(type) || mWindowGone) return;
    switch (type) {
    case XCB_BUTTON_PRESS:
        OnButtonPress(reinterpret_cast<const xcb_button_press_event_t*>(ev));
        break;
    case XCB_BUTTON_RELEASE:
        OnButtonRelease(reinterpret_cast<const xcb_button_release_event_t*>(ev));
        break;
    case XCB_MOTION_NOTIFY:
        OnMotion(reinterpret_cast<const xcb_motion_notify_event_t*>(ev));
        break;
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE:
        OnKey(reinterpret_cast<const xcb_key_press_event_t*>(ev), type == XCB_KEY_PRESS);
        break;
    case XCB_LEAVE_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_leave_notify_event_t*>(ev);
        if (e->event == mWindow && e->mode == XCB_NOTIFY_MODE_NORMAL &&
            !(e->state & (kButton1Mask | kButton3Mask)))
            OnMouseOut();
        break;
    }
    case XCB_FOCUS_OUT: {
        const auto* e = reinterpret_cast<const xcb_focus_out_event_t*>(ev);
        // The field lost the keyboard to another window: that ends the editing like Return.
        if (mTextEntry && e->event == mTextEntry->Window() &&
            (e->mode == XCB_NOTIFY_MODE_NORMAL || e->mode == XCB_NOTIFY_MODE_WHILE_GRABBED) &&
            e->detail != XCB_NOTIFY_DETAIL_INFERIOR && e->detail != XCB_NOTIFY_DETAIL_POINTER)
            CommitTextEntry();
        break;
    }
    default:
        break;
    }
}

void IGraphicsLinux::OnButtonPress(const xcb_button_press_event_t* e) {
    const int button = e->detail;
    if (mTextEntry) {
        if (e->event == mTextEntry->Window()) {
            if (button == 1) mTextEntry->Pointer(e->event_x / mScale, (e->state & XCB_MOD_MASK_SHIFT) != 0);
            return;
        }
        if (button == 4 || button == 5)
            EndTextEntry(true); // the wheel closes the field unchanged
        else if (button >= 1 && button <= 3)
            CommitTextEntry(); // a click elsewhere commits
    }
    if (e->event != mWindow) return;
    int x, y;
    X11EditorPoint(e->event_x, e->event_y, mScale, mHeight, &x, &y);
    mPrevX = x;
    mPrevY = y;
    if (button == 4 || button == 5) {
        IMouseMod mod = X11MouseMod(e->state, false, mKeys.SuperMask(), mKeys.AltMask());
        OnMouseWheel(x, y, &mod, button == 4 ? 1 : -1);
        return;
    }
    if (button != 1 && button != 3) return;
    const int clicks = mClicks.Press(button, e->event_x, e->event_y, e->time, mSettings.doubleClickMs);
    IMouseMod mod = X11MouseMod(e->state, button == 3, mKeys.SuperMask(), mKeys.AltMask());
    if (button == 1 && clicks >= 2)
        OnMouseDblClick(x, y, &mod);
    else
        OnMouseDown(x, y, &mod);
}

void IGraphicsLinux::OnButtonRelease(const xcb_button_release_event_t* e) {
    if (e->event != mWindow || (e->detail != 1 && e->detail != 3)) return;
    int x, y;
    X11EditorPoint(e->event_x, e->event_y, mScale, mHeight, &x, &y);
    mPrevX = x;
    mPrevY = y;
    IMouseMod mod = X11MouseMod(e->state, e->detail == 3, mKeys.SuperMask(), mKeys.AltMask());
    OnMouseUp(x, y, &mod);
}

void IGraphicsLinux::OnMotion(const xcb_motion_notify_event_t* e) {
    const bool left = (e->state & kButton1Mask) != 0, right = !left && (e->state & kButton3Mask) != 0;
    if (mTextEntry) {
        // Drags are the field's own while it is open.
        if (left && e->event == mTextEntry->Window()) mTextEntry->Pointer(e->event_x / mScale, true);
        return;
    }
    if (e->event != mWindow) return;
    int x, y;
    X11EditorPoint(e->event_x, e->event_y, mScale, mHeight, &x, &y);
    mPrevX = x;
    mPrevY = y;
    IMouseMod mod = X11MouseMod(e->state, right, mKeys.SuperMask(), mKeys.AltMask());
    if (left || right)
        OnMouseDrag(x, y, &mod);
    else
        OnMouseOver(x, y, &mod);
}

void IGraphicsLinux::OnKey(const xcb_key_press_event_t* e, bool press) {
    const uint8_t code = e->detail;
    const bool wasTaken = (mTakenKeys[code / 8] >> (code % 8)) & 1;
    if (!press) {
        // The release of a press the editor took stays here; the others go where their press went.
        if (wasTaken)
            mTakenKeys[code / 8] &= static_cast<uint8_t>(~(1u << (code % 8)));
        else
            ForwardKey(e);
        return;
    }
    bool taken = false;
    if (mTextEntry) {
        const uint32_t sym = mKeys.KeySym(code, e->state);
        OnTextKey(X11TextKeyFromKeySym(sym, (e->state & XCB_MOD_MASK_SHIFT) != 0,
                                       (e->state & XCB_MOD_MASK_CONTROL) != 0),
                  e->time);
        taken = true;
    } else {
        const int key = X11EditorKeyFromKeySym(mKeys.PlainKeySym(code, e->state));
        const IMouseMod mod = X11MouseMod(e->state, false, mKeys.SuperMask(), mKeys.AltMask());
        taken = key >= 0 && OnKeyDown(mPrevX, mPrevY, key, &mod);
    }
    if (taken)
        mTakenKeys[code / 8] |= static_cast<uint8_t>(1u << (code % 8));
    else
        ForwardKey(e);
}

void IGraphicsLinux::ForwardKey(const xcb_key_press_event_t* e) {
    // A top-level window of our own has no host window to hand keys to.
    if (!mConn || !mParent || mTopLevel || mWindowGone) return;
    xcb_key_press_event_t f = *e;
    f.response_type = e->response_type & 0x7F;
    f.event = mParent;
    f.child = XCB_NONE;
    const uint32_t mask =
        f.response_type == XCB_KEY_PRESS ? XCB_EVENT_MASK_KEY_PRESS : XCB_EVENT_MASK_KEY_RELEASE;
    static_assert(sizeof(f) == 32, "a sent event is 32 bytes");
    xcb_send_event(mConn->Get(), 1, mParent, mask, reinterpret_cast<const char*>(&f));
}

bool IGraphicsLinux::HostKeyDown(int character, int virtualKey, int modifiers) {
    std::unique_lock<std::recursive_mutex> lock(mLock, std::try_to_lock);
    if (!lock.owns_lock() || mDispatchDepth > 0 || mModalDepth > 0 || !Open()) return false;
    DispatchScope scope(mDispatchDepth);
    if (mTextEntry) {
        OnTextKey(X11TextKeyFromVst(character, virtualKey, modifiers), XCB_CURRENT_TIME);
        return true;
    }
    const int key = X11EditorKeyFromVst(character, virtualKey);
    const IMouseMod mod = X11KeyModFromVst(modifiers);
    return key >= 0 && OnKeyDown(mPrevX, mPrevY, key, &mod);
}

bool IGraphicsLinux::HostKeyUp(int character, int virtualKey, int modifiers) {
    (void)character;
    (void)virtualKey;
    (void)modifiers;
    std::unique_lock<std::recursive_mutex> lock(mLock, std::try_to_lock);
    // While the field is open every key is its own.
    return lock.owns_lock() && mTextEntry != nullptr;
}

// ---- Text field ----

void IGraphicsLinux::CreateTextEntry(IControl* pControl, IText* pText, IRECT* pTextRect, const char* str,
                                     IParam* pParam) {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    if (!pControl || !pTextRect || mTextEntry || !Open()) return;
    auto field = std::make_unique<X11TextEntry>();
    if (field->Open(mConn.get(), mWindow, mFormat, mScale, this, pControl, pText, *pTextRect, str, pParam))
        mTextEntry = std::move(field);
}

void IGraphicsLinux::ForceEndUserEdit() {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    EndTextEntry(false);
}

void IGraphicsLinux::EndTextEntry(bool repaint) {
    if (!mTextEntry) return;
    mTextEntry.reset();
    if (repaint) mExposed = FullArea();
}

void IGraphicsLinux::CommitTextEntry() {
    if (!mTextEntry) return;
    // The field goes first, so whatever the editor does with the text finds none open.
    std::unique_ptr<X11TextEntry> field = std::move(mTextEntry);
    const std::string text = field->Model().Text();
    IControl* control = field->Control();
    IParam* param = field->Param();
    field.reset();
    std::vector<char> buf(text.begin(), text.end());
    buf.push_back('\0');
    if (param)
        SetFromStringAfterPrompt(control, param, buf.data());
    else if (control)
        control->TextFromTextEntry(buf.data());
    mExposed = FullArea();
}

void IGraphicsLinux::OnTextKey(const TextKey& key, xcb_timestamp_t time) {
    if (!mTextEntry) return;
    std::string clip;
    switch (mTextEntry->Key(key, &clip)) {
    case TextEntryModel::kCommit:
        CommitTextEntry();
        break;
    case TextEntryModel::kCancel:
        EndTextEntry(true);
        break;
    case TextEntryModel::kCopy:
    case TextEntryModel::kCut:
        mClipboard.SetText(clip, time);
        break;
    case TextEntryModel::kPaste: {
        // Our own process answers at once; another client's answer comes with a later idle call.
        std::string text;
        if (mClipboard.RequestAsync(&text)) mTextEntry->Paste(text);
        break;
    }
    default:
        break;
    }
}

// ---- Menus and the nested loop ----

IPopupMenu* IGraphicsLinux::CreateIPopupMenu(IPopupMenu* pMenu, IRECT* pAreaRect) {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    ReleaseMouseCapture();
    if (!pMenu || !pAreaRect || !Open()) return nullptr;
    xcb_connection_t* c = mConn->Get();
    xcb_translate_coordinates_reply_t* t = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, mWindow, mConn->Root(), 0, 0), nullptr);
    if (!t) return nullptr;
    const int ox = t->dst_x, oy = t->dst_y;
    std::free(t);
    X11PopupMenu::Context context;
    context.conn = mConn.get();
    context.graphics = this;
    context.keys = &mKeys;
    // The menu's own pixels: doubled on a doubled editor, and at the editor's larger sizes.
    context.scale = mScale * (SizePercent() >= 200 ? 2 : 1);
    X11PopupMenu menu(context);
    // Just below the rectangle (its bottom edge, 4 pixels down), or above it when there is no room.
    if (!menu.Open(pMenu, ox + pAreaRect->L * mScale, oy + (pAreaRect->B + 5) * mScale,
                   oy + pAreaRect->T * mScale))
        return nullptr;
    RunModal(&menu, kMenuIdleLimitMs);
    menu.Close();
    mClicks.Reset();
    return menu.Result();
}

bool IGraphicsLinux::ModalMustEnd() const {
    return mCloseRequested || mCloseDeferred || (mConn && (mConn->HasError() || mWindowGone));
}

void IGraphicsLinux::RunModal(X11ModalClient* pClient, int idleLimitMs) {
    using Clock = std::chrono::steady_clock;
    ++mModalDepth;
    Clock::time_point lastInput = Clock::now();
    while (!pClient->Done()) {
        if (ModalMustEnd()) {
            pClient->Abort();
            break;
        }
        while (mConn && !pClient->Done()) {
            xcb_generic_event_t* ev = mConn->Poll();
            if (!ev) break;
            if (IsInput(ev->response_type & 0x7F)) lastInput = Clock::now();
            if (!pClient->OnEvent(ev)) HandleEvent(ev, true);
            std::free(ev);
        }
        if (pClient->Done()) break;
        pClient->OnTurn();
        if (pClient->Done()) break;
        if (mConn) {
            RepaintExposed();
            RedrawCycle();
            mConn->Flush();
        }
        if (idleLimitMs > 0 && Clock::now() - lastInput > std::chrono::milliseconds(idleLimitMs)) {
            pClient->Abort();
            break;
        }
        pollfd fds[2];
        int n = 0;
        if (mConn) fds[n++] = pollfd{mConn->Fd(), POLLIN, 0};
        if (pClient->Fd() >= 0) fds[n++] = pollfd{pClient->Fd(), POLLIN, 0};
        if (!mConn || !mConn->HasKept()) poll(fds, static_cast<nfds_t>(n), 10);
    }
    --mModalDepth;
}
