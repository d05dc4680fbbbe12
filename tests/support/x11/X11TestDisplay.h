#pragma once
// X11TestDisplay: the test's own side of the X server: a connection of its own, top-level windows that
// play the host's parent window, input injected with XTest (as a user's would arrive), and pictures and
// window trees read back. Used by one test thread at a time.
#include <xcb/xcb.h>

#include <cstdint>
#include <string>
#include <vector>

class X11TestDisplay {
public:
    X11TestDisplay();
    ~X11TestDisplay();
    X11TestDisplay(const X11TestDisplay&) = delete;
    X11TestDisplay& operator=(const X11TestDisplay&) = delete;

    bool Ok() const { return mConn && !xcb_connection_has_error(mConn); }
    xcb_connection_t* Conn() const { return mConn; }
    xcb_window_t Root() const { return mScreen->root; }
    xcb_screen_t* Screen() const { return mScreen; }

    // A mapped top-level window (the host's parent) of w x h at (x, y); returns once it is viewable.
    xcb_window_t MakeParent(int x, int y, int w, int h);
    void Destroy(xcb_window_t w);
    void Map(xcb_window_t w);
    void Unmap(xcb_window_t w);
    // A round trip: everything sent before has been processed.
    void Sync();

    // ---- Input through XTest (root coordinates) ----
    void MoveTo(int x, int y);
    void Button(int button, bool press);
    void Click(int x, int y, int button = 1);
    // The key that types keysym (with Shift when the symbol needs it).
    void Key(uint32_t keysym, bool press);
    void Tap(uint32_t keysym);
    // What a window manager's close button sends a top-level window (WM_DELETE_WINDOW).
    void AskToClose(xcb_window_t w);
    void ModifierKey(uint32_t keysym, bool press) { Key(keysym, press); }

    // ---- Reading back ----
    // Pixels of the area of window w as 32-bit values in the visual's layout (16-bit pixels widened).
    std::vector<uint32_t> Image(xcb_window_t w, int x, int y, int width, int height);
    // "" when window w shows the editor bitmap (width x height pixel words, rowSpan words a row) exactly,
    // each pixel a scale x scale block, in the visual's channel bits; else the first difference.
    std::string CompareWithBitmap(xcb_window_t w, const uint32_t* bits, int rowSpan, int width, int height,
                                  int scale);
    // The window's position on the root.
    void RootPosition(xcb_window_t w, int* pX, int* pY);
    // Windows below w (all levels).
    int CountDescendants(xcb_window_t w);
    // Mapped override-redirect windows on the root (our popup menus), newest last.
    std::vector<xcb_window_t> PopupWindows();
    // Mapped top-level windows that are not override-redirect and not in `except`.
    std::vector<xcb_window_t> DialogWindows(const std::vector<xcb_window_t>& except);
    bool Exists(xcb_window_t w);
    xcb_window_t Focus();
    // A property of type STRING / UTF8_STRING of w, or "".
    std::string Property(xcb_window_t w, const char* name);
    void SetRootProperty(const char* name, const std::string& value);
    void DeleteRootProperty(const char* name);
    xcb_atom_t Atom(const char* name);

    // Channel masks of the root visual, for the expected-pixel model.
    uint32_t RedMask() const { return mRedMask; }
    uint32_t GreenMask() const { return mGreenMask; }
    uint32_t BlueMask() const { return mBlueMask; }
    int Depth() const { return mScreen->root_depth; }

private:
    uint8_t KeyCode(uint32_t keysym, bool* pShift);

    xcb_connection_t* mConn = nullptr;
    xcb_screen_t* mScreen = nullptr;
    uint32_t mRedMask = 0, mGreenMask = 0, mBlueMask = 0;
};
