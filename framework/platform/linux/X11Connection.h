#pragma once
// X11Connection: one xcb connection to the X server, owned by one open editor window (or used briefly to
// read the desktop's settings). Made with xcb rather than Xlib: xcb reports protocol errors as return
// values or as events of our own connection, so no process-wide error handler is ever installed and no
// XInitThreads is needed; nothing here prints.
//
// Who calls it: IGraphicsLinux (and the pieces it owns: screen copy, text field, menus, message box,
// clipboard), always under the editor's lock; the connection is never shared between editors. The socket
// is close-on-exec, so children we spawn never inherit it. Closing the connection (destructor) makes the
// server free every window, GC, cursor, pixmap and shared-memory attachment made on it.
//
// Blocking: only the calls that wait for a reply (Sync, Intern and the *_reply calls made by users) wait
// for the server; a local server answers within microseconds. Connecting to a display whose socket is
// missing or refused fails at once.
#include <xcb/xcb.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

// The pixel layout of a TrueColor visual as images are sent to the server.
struct X11PixelFormat {
    int depth = 0;
    int bitsPerPixel = 0; // 16 or 32 (the only layouts we write)
    int scanlinePad = 32; // rows are padded to a multiple of this many bits
    uint32_t redMask = 0, greenMask = 0, blueMask = 0;
    bool msbFirst = false; // the server's image byte order
};

class X11Connection {
public:
    // Atoms every editor uses, interned once per connection.
    struct Atoms {
        xcb_atom_t CLIPBOARD = 0, UTF8_STRING = 0, TARGETS = 0, TEXT = 0, INCR = 0;
        xcb_atom_t TIDEBLOOM_SELECTION = 0; // the property our selection requests land in
        xcb_atom_t WM_PROTOCOLS = 0, WM_DELETE_WINDOW = 0;
        xcb_atom_t _NET_WM_NAME = 0, _NET_WM_WINDOW_TYPE = 0, _NET_WM_WINDOW_TYPE_DIALOG = 0;
        xcb_atom_t _NET_WM_WINDOW_TYPE_POPUP_MENU = 0, _NET_WM_STATE = 0, _NET_WM_STATE_MODAL = 0;
        xcb_atom_t RESOURCE_MANAGER = 0, _XSETTINGS_SETTINGS = 0, XSETTINGS_SELECTION = 0;
    };

    // Connects to displayName (null: $DISPLAY). Null, silently, when there is no display, the server
    // refuses, or the screen has no usable root.
    static std::unique_ptr<X11Connection> Open(const char* displayName = nullptr);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    xcb_connection_t* Get() const { return mConn; }
    const xcb_setup_t* Setup() const { return xcb_get_setup(mConn); }
    xcb_screen_t* Screen() const { return mScreen; }
    int ScreenNumber() const { return mScreenNumber; }
    xcb_window_t Root() const { return mScreen->root; }
    int Fd() const { return xcb_get_file_descriptor(mConn); }
    // The display name we connected with ("" when $DISPLAY was used and unset, which cannot happen for
    // an open connection).
    const std::string& DisplayName() const { return mDisplayName; }
    const Atoms& A() const { return mAtoms; }
    // The connection broke (the server went away, or a request was refused for good).
    bool HasError() const { return xcb_connection_has_error(mConn) != 0; }
    // The server offers MIT-SHM (and we may use it: the server is local).
    bool HasShm() const { return mHasShm; }
    // The largest request we may send, in bytes.
    uint32_t MaxRequestBytes() const { return mMaxRequestBytes; }

    // A round trip: every request sent before has been processed when it returns. False when broken.
    bool Sync();
    // The atom of name (0 when it cannot be had).
    xcb_atom_t Intern(const char* name, bool onlyIfExists = false);
    // Waits until the connection has something to read, at most timeoutMs (0: just looks). False on
    // timeout. Call it after Poll returned null (kept events count as readable).
    bool WaitReadable(int timeoutMs);
    // The next event or error (errors have response_type 0): those put back with Keep first, then the
    // connection's; null when none. Never waits. The caller free()s it.
    xcb_generic_event_t* Poll();
    // Keeps an event taken while waiting for something else, for the next Poll (ownership passes).
    void Keep(xcb_generic_event_t* ev) { mKept.push_back(ev); }
    bool HasKept() const { return !mKept.empty(); }
    void Flush() { xcb_flush(mConn); }

    // The pixel format of a visual of this screen; false for anything but a 16 or 32 bits-per-pixel
    // TrueColor visual with 8 or fewer bits per channel.
    bool PixelFormatOf(xcb_visualid_t visual, X11PixelFormat* pFormat) const;
    // A request that must have worked: the error (if any) is taken off the connection and false returned.
    bool Check(xcb_void_cookie_t cookie);

private:
    X11Connection() = default;

    xcb_connection_t* mConn = nullptr;
    xcb_screen_t* mScreen = nullptr;
    int mScreenNumber = 0;
    std::string mDisplayName;
    Atoms mAtoms;
    bool mHasShm = false;
    uint32_t mMaxRequestBytes = 0;
    std::deque<xcb_generic_event_t*> mKept;
};
