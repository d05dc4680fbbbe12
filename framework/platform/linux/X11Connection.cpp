#include "framework/platform/linux/X11Connection.h"

#include <fcntl.h>
#include <poll.h>
#include <xcb/shm.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The atoms of X11Connection::Atoms in member order, so one loop interns them all.
constexpr const char* kAtomNames[] = {
    "CLIPBOARD",
    "UTF8_STRING",
    "TARGETS",
    "TEXT",
    "INCR",
    "TIDEBLOOM_SELECTION",
    "WM_PROTOCOLS",
    "WM_DELETE_WINDOW",
    "_NET_WM_NAME",
    "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_DIALOG",
    "_NET_WM_WINDOW_TYPE_POPUP_MENU",
    "_NET_WM_STATE",
    "_NET_WM_STATE_MODAL",
    "RESOURCE_MANAGER",
    "_XSETTINGS_SETTINGS",
    nullptr, // XSETTINGS_SELECTION: "_XSETTINGS_S<screen>", named at run time
};
constexpr int kNAtoms = sizeof(kAtomNames) / sizeof(kAtomNames[0]);
static_assert(sizeof(X11Connection::Atoms) == kNAtoms * sizeof(xcb_atom_t));

int ChannelBits(uint32_t mask) {
    int n = 0;
    for (; mask; mask >>= 1) n += mask & 1;
    return n;
}

} // namespace

std::unique_ptr<X11Connection> X11Connection::Open(const char* displayName) {
    const char* name = displayName ? displayName : std::getenv("DISPLAY");
    if (!name || !name[0]) return nullptr;
    int screenNumber = 0;
    xcb_connection_t* conn = xcb_connect(name, &screenNumber);
    // xcb always returns an object; a failed one only reports its error.
    if (!conn) return nullptr;
    if (xcb_connection_has_error(conn)) {
        xcb_disconnect(conn);
        return nullptr;
    }
    std::unique_ptr<X11Connection> c(new X11Connection());
    c->mConn = conn;
    c->mDisplayName = name;
    // Children we spawn (dialogs, the address opener) must not hold our socket.
    int fd = xcb_get_file_descriptor(conn);
    int fdFlags = fcntl(fd, F_GETFD);
    if (fdFlags >= 0) fcntl(fd, F_SETFD, fdFlags | FD_CLOEXEC);

    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn));
    for (int i = 0; it.rem && i < screenNumber; ++i) xcb_screen_next(&it);
    if (!it.rem) return nullptr;
    c->mScreen = it.data;
    c->mScreenNumber = screenNumber;

    // All atoms in one round trip: send every request, then collect the replies.
    char xsettingsName[32];
    std::snprintf(xsettingsName, sizeof(xsettingsName), "_XSETTINGS_S%d", screenNumber);
    xcb_intern_atom_cookie_t cookies[kNAtoms];
    for (int i = 0; i < kNAtoms; ++i) {
        const char* atomName = kAtomNames[i] ? kAtomNames[i] : xsettingsName;
        cookies[i] = xcb_intern_atom(conn, 0, static_cast<uint16_t>(std::strlen(atomName)), atomName);
    }
    const xcb_query_extension_reply_t* shmExt = xcb_get_extension_data(conn, &xcb_shm_id);
    xcb_shm_query_version_cookie_t shmCookie{};
    bool askShm = shmExt && shmExt->present;
    if (askShm) shmCookie = xcb_shm_query_version(conn);
    xcb_atom_t* atoms = reinterpret_cast<xcb_atom_t*>(&c->mAtoms);
    for (int i = 0; i < kNAtoms; ++i) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(conn, cookies[i], nullptr);
        atoms[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
    }
    if (askShm) {
        xcb_shm_query_version_reply_t* reply = xcb_shm_query_version_reply(conn, shmCookie, nullptr);
        c->mHasShm = reply != nullptr;
        std::free(reply);
    }
    c->mMaxRequestBytes = xcb_get_maximum_request_length(conn) * 4u;
    if (xcb_connection_has_error(conn)) return nullptr;
    return c;
}

X11Connection::~X11Connection() {
    for (xcb_generic_event_t* ev : mKept) std::free(ev);
    if (mConn) xcb_disconnect(mConn);
}

xcb_generic_event_t* X11Connection::Poll() {
    if (!mKept.empty()) {
        xcb_generic_event_t* ev = mKept.front();
        mKept.pop_front();
        return ev;
    }
    return xcb_poll_for_event(mConn);
}

bool X11Connection::Sync() {
    xcb_get_input_focus_reply_t* reply =
        xcb_get_input_focus_reply(mConn, xcb_get_input_focus(mConn), nullptr);
    bool ok = reply != nullptr;
    std::free(reply);
    return ok && !HasError();
}

xcb_atom_t X11Connection::Intern(const char* name, bool onlyIfExists) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        mConn, xcb_intern_atom(mConn, onlyIfExists ? 1 : 0, static_cast<uint16_t>(std::strlen(name)), name),
        nullptr);
    xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

bool X11Connection::WaitReadable(int timeoutMs) {
    if (!mKept.empty()) return true;
    pollfd p{};
    p.fd = Fd();
    p.events = POLLIN;
    for (;;) {
        int n = poll(&p, 1, timeoutMs);
        if (n < 0 && errno == EINTR) continue;
        return n > 0;
    }
}

bool X11Connection::PixelFormatOf(xcb_visualid_t visual, X11PixelFormat* pFormat) const {
    const xcb_setup_t* setup = Setup();
    for (xcb_depth_iterator_t d = xcb_screen_allowed_depths_iterator(mScreen); d.rem; xcb_depth_next(&d)) {
        for (xcb_visualtype_iterator_t v = xcb_depth_visuals_iterator(d.data); v.rem;
             xcb_visualtype_next(&v)) {
            if (v.data->visual_id != visual) continue;
            if (v.data->_class != XCB_VISUAL_CLASS_TRUE_COLOR &&
                v.data->_class != XCB_VISUAL_CLASS_DIRECT_COLOR)
                return false;
            X11PixelFormat f;
            f.depth = d.data->depth;
            for (xcb_format_iterator_t fi = xcb_setup_pixmap_formats_iterator(setup); fi.rem;
                 xcb_format_next(&fi))
                if (fi.data->depth == f.depth) {
                    f.bitsPerPixel = fi.data->bits_per_pixel;
                    f.scanlinePad = fi.data->scanline_pad;
                }
            f.redMask = v.data->red_mask;
            f.greenMask = v.data->green_mask;
            f.blueMask = v.data->blue_mask;
            f.msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
            if (f.bitsPerPixel != 16 && f.bitsPerPixel != 32) return false;
            if (f.scanlinePad < 8 || f.scanlinePad % 8) return false;
            if (!f.redMask || !f.greenMask || !f.blueMask) return false;
            if (ChannelBits(f.redMask) > 8 || ChannelBits(f.greenMask) > 8 || ChannelBits(f.blueMask) > 8)
                return false;
            *pFormat = f;
            return true;
        }
    }
    return false;
}

bool X11Connection::Check(xcb_void_cookie_t cookie) {
    xcb_generic_error_t* error = xcb_request_check(mConn, cookie);
    if (!error) return true;
    std::free(error);
    return false;
}
