#pragma once
// X11RasterWindow: a window of our own whose picture we paint with the raster routines into a bitmap
// of its size (in editor pixels) and copy to the screen at the editor's scale: the text field (a child
// of the editor's window), the popup menus and our message box (top-level windows on the root).
//
// Who calls it: IGraphicsLinux and its text field, menus and message box, under the editor's lock. It
// owns the window, the bitmap and the copy's GC; Destroy (or the destructor) removes the window. The
// connection belongs to the caller and must outlive it.
#include "framework/editor/IRECT.h"
#include "framework/platform/linux/X11Connection.h"
#include "framework/platform/linux/X11ScreenCopy.h"
#include "framework/raster/Raster_Bitmap.h"

class X11RasterWindow {
public:
    struct Options {
        xcb_window_t parent = 0;
        int x = 0, y = 0, w = 1, h = 1; // in screen pixels for x, y; editor pixels for w, h
        int scale = 1;
        bool overrideRedirect = false;
        uint32_t eventMask = XCB_EVENT_MASK_EXPOSURE;
        // A top-level window uses the root's visual; a child copies its parent's (whose format is given).
        bool topLevel = false;
    };

    X11RasterWindow() = default;
    ~X11RasterWindow() { Destroy(); }
    X11RasterWindow(const X11RasterWindow&) = delete;
    X11RasterWindow& operator=(const X11RasterWindow&) = delete;

    // childFormat: the parent's pixel format (children only). False (and no window) on failure.
    bool Create(X11Connection* pConn, const Options& opts, const X11PixelFormat* childFormat = nullptr);
    void Destroy();
    void Map();
    // New place (screen pixels) and size (editor pixels); the bitmap follows the size.
    void MoveResize(int x, int y, int w, int h);

    xcb_window_t Id() const { return mWindow; }
    Raster_MemBitmap* Bitmap() { return &mBitmap; }
    int Width() const { return mW; }
    int Height() const { return mH; }
    int Scale() const { return mScale; }
    // Copies the bitmap (or the area of it) to the window.
    void Present(const IRECT* pArea = nullptr);
    // Takes our copy's completion events.
    bool OnEvent(const xcb_generic_event_t* ev) { return mCopy.OnEvent(ev); }

private:
    X11Connection* mConn = nullptr;
    xcb_window_t mWindow = 0;
    X11PixelFormat mFormat;
    X11ScreenCopy mCopy;
    Raster_MemBitmap mBitmap;
    int mW = 0, mH = 0, mScale = 1;
};
