#include "framework/platform/linux/X11RasterWindow.h"

bool X11RasterWindow::Create(X11Connection* pConn, const Options& opts, const X11PixelFormat* childFormat) {
    Destroy();
    if (!pConn || opts.w <= 0 || opts.h <= 0) return false;
    xcb_connection_t* c = pConn->Get();
    xcb_screen_t* screen = pConn->Screen();
    X11PixelFormat format;
    if (opts.topLevel) {
        if (!pConn->PixelFormatOf(screen->root_visual, &format)) return false;
    } else {
        if (!childFormat) return false;
        format = *childFormat;
    }
    const int s = opts.scale > 0 ? opts.scale : 1;
    xcb_window_t w = xcb_generate_id(c);
    // Value list in the order of the mask bits: background pixmap, override-redirect, save-under,
    // event mask.
    uint32_t mask = XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK;
    uint32_t values[4];
    int n = 0;
    values[n++] = XCB_BACK_PIXMAP_NONE;
    if (opts.overrideRedirect) {
        mask |= XCB_CW_OVERRIDE_REDIRECT | XCB_CW_SAVE_UNDER;
        values[n++] = 1;
        values[n++] = 1;
    }
    values[n++] = opts.eventMask;
    const xcb_window_t parent = opts.topLevel ? screen->root : opts.parent;
    const uint8_t depth = opts.topLevel ? screen->root_depth : XCB_COPY_FROM_PARENT;
    const xcb_visualid_t visual = opts.topLevel ? screen->root_visual : XCB_COPY_FROM_PARENT;
    if (!pConn->Check(xcb_create_window_checked(
            c, depth, w, parent, static_cast<int16_t>(opts.x), static_cast<int16_t>(opts.y),
            static_cast<uint16_t>(opts.w * s), static_cast<uint16_t>(opts.h * s), 0,
            XCB_WINDOW_CLASS_INPUT_OUTPUT, visual, mask, values)))
        return false;
    mConn = pConn;
    mWindow = w;
    mFormat = format;
    mW = opts.w;
    mH = opts.h;
    mScale = s;
    mBitmap.resize(mW, mH);
    if (!mCopy.Init(pConn, w, format, mW, mH, s, false)) {
        Destroy();
        return false;
    }
    return true;
}

void X11RasterWindow::Destroy() {
    mCopy.Release();
    if (mWindow && mConn && !mConn->HasError()) xcb_destroy_window(mConn->Get(), mWindow);
    mWindow = 0;
    mConn = nullptr;
}

void X11RasterWindow::Map() {
    if (mWindow) xcb_map_window(mConn->Get(), mWindow);
}

void X11RasterWindow::MoveResize(int x, int y, int w, int h) {
    if (!mWindow || w <= 0 || h <= 0) return;
    const uint32_t values[] = {static_cast<uint32_t>(x), static_cast<uint32_t>(y),
                               static_cast<uint32_t>(w * mScale), static_cast<uint32_t>(h * mScale)};
    xcb_configure_window(mConn->Get(), mWindow,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    if (w != mW || h != mH) {
        mW = w;
        mH = h;
        mBitmap.resize(w, h);
        mCopy.Init(mConn, mWindow, mFormat, w, h, mScale, false);
    }
}

void X11RasterWindow::Present(const IRECT* pArea) {
    if (!mWindow) return;
    mCopy.Copy(&mBitmap, pArea ? *pArea : IRECT(0, 0, mW, mH));
}
