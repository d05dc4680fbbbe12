#include "framework/platform/linux/X11Clipboard.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "framework/platform/linux/TextEntryModel.h"

namespace {

using Key = std::pair<std::string, xcb_window_t>;

std::mutex& TableMutex() {
    static std::mutex m;
    return m;
}

std::map<Key, std::string>& Table() {
    static std::map<Key, std::string> t;
    return t;
}

bool Lookup(const Key& key, std::string* pText) {
    std::lock_guard<std::mutex> lock(TableMutex());
    auto it = Table().find(key);
    if (it == Table().end()) return false;
    *pText = it->second;
    return true;
}

void Erase(const Key& key) {
    std::lock_guard<std::mutex> lock(TableMutex());
    Table().erase(key);
}

std::string Latin1ToUTF8(const std::string& s) {
    std::u32string u;
    for (unsigned char c : s) u.push_back(c);
    return TextEntryModel::ToUTF8(u);
}

std::string UTF8ToLatin1(const std::string& s) {
    std::string out;
    for (char32_t c : TextEntryModel::FromUTF8(s)) out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
    return out;
}

} // namespace

bool X11Clipboard::FindOffered(const std::string& display, xcb_window_t owner, std::string* pText) {
    return Lookup(Key(display, owner), pText);
}

void X11Clipboard::Init(X11Connection* pConn, xcb_window_t window) {
    Release();
    mConn = pConn;
    mWindow = window;
}

void X11Clipboard::Release() {
    if (mConn) Erase(Key(mConn->DisplayName(), mWindow));
    mConn = nullptr;
    mWindow = 0;
    mAsyncPending = false;
}

bool X11Clipboard::SetText(const std::string& text, xcb_timestamp_t time) {
    if (!mConn) return false;
    const Key key(mConn->DisplayName(), mWindow);
    {
        std::lock_guard<std::mutex> lock(TableMutex());
        Table()[key] = text;
    }
    xcb_connection_t* c = mConn->Get();
    xcb_set_selection_owner(c, mWindow, mConn->A().CLIPBOARD, time);
    xcb_get_selection_owner_reply_t* r =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, mConn->A().CLIPBOARD), nullptr);
    const bool owned = r && r->owner == mWindow;
    std::free(r);
    if (!owned) Erase(key);
    return owned;
}

bool X11Clipboard::ReadLocal(std::string* pText) {
    xcb_connection_t* c = mConn->Get();
    xcb_get_selection_owner_reply_t* r =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, mConn->A().CLIPBOARD), nullptr);
    const xcb_window_t owner = r ? r->owner : 0;
    std::free(r);
    if (!owner) {
        pText->clear();
        return true; // nobody offers anything: an empty answer, at once
    }
    return Lookup(Key(mConn->DisplayName(), owner), pText);
}

void X11Clipboard::Convert(xcb_atom_t target) {
    xcb_convert_selection(mConn->Get(), mWindow, mConn->A().CLIPBOARD, target, mConn->A().TIDEBLOOM_SELECTION,
                          XCB_CURRENT_TIME);
    xcb_flush(mConn->Get());
}

bool X11Clipboard::TakeAnswer(const xcb_selection_notify_event_t* ev, std::string* pText) {
    if (ev->property == XCB_ATOM_NONE) return false;
    xcb_connection_t* c = mConn->Get();
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        c, xcb_get_property(c, 1, mWindow, ev->property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 20), nullptr);
    bool ok = false;
    if (r && r->format == 8 && r->type != mConn->A().INCR) {
        std::string bytes(static_cast<const char*>(xcb_get_property_value(r)),
                          static_cast<size_t>(xcb_get_property_value_length(r)));
        *pText = r->type == XCB_ATOM_STRING ? Latin1ToUTF8(bytes) : bytes;
        ok = true;
    }
    std::free(r);
    return ok;
}

bool X11Clipboard::Read(std::string* pText, int timeoutMs) {
    pText->clear();
    if (!mConn) return false;
    if (ReadLocal(pText)) return !pText->empty();
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    xcb_atom_t target = mConn->A().UTF8_STRING;
    Convert(target);
    for (;;) {
        xcb_generic_event_t* ev = xcb_poll_for_event(mConn->Get());
        if (!ev) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0 || mConn->HasError()) return false;
            mConn->WaitReadable(static_cast<int>(left.count()));
            continue;
        }
        if ((ev->response_type & 0x7F) == XCB_SELECTION_NOTIFY) {
            const auto* n = reinterpret_cast<const xcb_selection_notify_event_t*>(ev);
            if (n->requestor == mWindow && n->selection == mConn->A().CLIPBOARD) {
                const bool ok = TakeAnswer(n, pText);
                std::free(ev);
                if (ok) return !pText->empty();
                if (target == XCB_ATOM_STRING) return false;
                target = XCB_ATOM_STRING;
                Convert(target);
                continue;
            }
        }
        mConn->Keep(ev);
    }
}

bool X11Clipboard::RequestAsync(std::string* pText) {
    if (!mConn) return false;
    if (ReadLocal(pText)) return true;
    Convert(mConn->A().UTF8_STRING);
    mAsyncPending = true;
    mTriedString = false;
    return false;
}

void X11Clipboard::Answer(const xcb_selection_request_event_t* req) {
    xcb_connection_t* c = mConn->Get();
    const X11Connection::Atoms& a = mConn->A();
    std::string text;
    const bool have = req->selection == a.CLIPBOARD && Lookup(Key(mConn->DisplayName(), mWindow), &text);
    xcb_atom_t property = req->property ? req->property : req->target;
    if (!have) {
        property = XCB_ATOM_NONE;
    } else if (req->target == a.TARGETS) {
        const xcb_atom_t targets[] = {a.TARGETS, a.UTF8_STRING, a.TEXT, XCB_ATOM_STRING};
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, req->requestor, property, XCB_ATOM_ATOM, 32, 4,
                            targets);
    } else if (req->target == a.UTF8_STRING || req->target == a.TEXT || req->target == XCB_ATOM_STRING) {
        const bool latin1 = req->target == XCB_ATOM_STRING;
        const std::string bytes = latin1 ? UTF8ToLatin1(text) : text;
        if (bytes.size() + 64 > mConn->MaxRequestBytes()) {
            property = XCB_ATOM_NONE; // too large for one property write; we do not send in pieces
        } else {
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, req->requestor, property,
                                latin1 ? xcb_atom_t(XCB_ATOM_STRING) : a.UTF8_STRING, 8,
                                static_cast<uint32_t>(bytes.size()), bytes.data());
        }
    } else {
        property = XCB_ATOM_NONE;
    }
    // Sent events are 32 bytes; the notify record is shorter.
    union {
        xcb_selection_notify_event_t n;
        char bytes[32];
    } sent;
    std::memset(&sent, 0, sizeof(sent));
    xcb_selection_notify_event_t& n = sent.n;
    n.response_type = XCB_SELECTION_NOTIFY;
    n.time = req->time;
    n.requestor = req->requestor;
    n.selection = req->selection;
    n.target = req->target;
    n.property = property;
    xcb_send_event(c, 0, req->requestor, XCB_EVENT_MASK_NO_EVENT, sent.bytes);
    xcb_flush(c);
}

bool X11Clipboard::OnEvent(const xcb_generic_event_t* ev, bool* pPasted, std::string* pPastedText) {
    *pPasted = false;
    if (!mConn) return false;
    switch (ev->response_type & 0x7F) {
    case XCB_SELECTION_REQUEST: {
        const auto* req = reinterpret_cast<const xcb_selection_request_event_t*>(ev);
        if (req->owner != mWindow) return false;
        Answer(req);
        return true;
    }
    case XCB_SELECTION_CLEAR: {
        const auto* clear = reinterpret_cast<const xcb_selection_clear_event_t*>(ev);
        if (clear->owner != mWindow) return false;
        if (clear->selection == mConn->A().CLIPBOARD) Erase(Key(mConn->DisplayName(), mWindow));
        return true;
    }
    case XCB_SELECTION_NOTIFY: {
        const auto* n = reinterpret_cast<const xcb_selection_notify_event_t*>(ev);
        if (n->requestor != mWindow) return false;
        if (!mAsyncPending) return true;
        if (TakeAnswer(n, pPastedText)) {
            mAsyncPending = false;
            *pPasted = true;
        } else if (!mTriedString) {
            mTriedString = true;
            Convert(XCB_ATOM_STRING);
        } else {
            mAsyncPending = false;
        }
        return true;
    }
    default:
        return false;
    }
}
