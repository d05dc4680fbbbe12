#include "framework/platform/linux/IGraphicsLinux.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "framework/platform/linux/LinuxEditorSettings.h"
#include "framework/platform/linux/LinuxProcess.h"
#include "framework/platform/linux/X11RasterWindow.h"
#include "framework/platform/linux/X11TextEntry.h"
#include "framework/plugin/IEffectBase.h"
#include "framework/raster/Raster_Bitmap.h"

namespace {

constexpr uint32_t kWindowEvents = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                   XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                   XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_KEY_PRESS |
                                   XCB_EVENT_MASK_KEY_RELEASE | XCB_EVENT_MASK_LEAVE_WINDOW;

} // namespace

IGraphicsLinux::IGraphicsLinux(IEffectBase* pPlug, int w, int h, int fps) : IGraphics(pPlug, w, h, fps) {}

bool IGraphicsLinux::DisplayAvailable() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !name[0]) return false;
    xcb_connection_t* c = xcb_connect(name, nullptr);
    const bool ok = c && !xcb_connection_has_error(c);
    if (c) xcb_disconnect(c);
    return ok;
}

IGraphicsLinux::~IGraphicsLinux() {
    std::unique_lock<std::recursive_mutex> lock = LockForClose();
    CloseWindowLocked();
}

std::unique_lock<std::recursive_mutex> IGraphicsLinux::LockForClose() {
    mCloseRequested = true;
    std::unique_lock<std::recursive_mutex> lock(mLock);
    mCloseRequested = false;
    return lock;
}

void IGraphicsLinux::SetHostScale(double scale) {
    // 2 and above: the doubled picture; any other positive scale: the editor's own size.
    mHostScale = scale >= 2.0 ? 2 : scale > 0.0 ? 1 : 0;
    // An editor with sizes takes the largest up to the host's scale.
    mHostPercent = scale > 0.0 && scale < 100.0 ? static_cast<int>(std::lround(scale * 100.0)) : 0;
}

int IGraphicsLinux::DesktopScale() {
    int scale = mKnownScale.load();
    if (scale != 0) return scale;
    // Asked before the window opened: a short look at the desktop's settings (no display: 1).
    std::lock_guard<std::mutex> guard(mScaleMutex);
    scale = mKnownScale.load();
    if (scale == 0) {
        std::unique_ptr<X11Connection> conn = X11Connection::Open();
        scale = conn ? X11ReadDesktopSettings(conn.get()).scale : 1;
        mKnownScale = scale;
    }
    return scale;
}

int IGraphicsLinux::ScreenPercent() {
    return mHostPercent > 0 ? mHostPercent.load() : 100 * DesktopScale();
}

int IGraphicsLinux::ReadSizeChoice() {
    return LinuxReadEditorSize(mPlug ? mPlug->GetEffectName() : "");
}

void IGraphicsLinux::WriteSizeChoice(int percent) {
    LinuxWriteEditorSize(mPlug ? mPlug->GetEffectName() : "", percent);
}

void IGraphicsLinux::WindowSize(int* pW, int* pH) {
    if (const IEditorLayout* layout = GetLayout()) {
        // The window's size while it is open; before, the size it will open at.
        int w = mShownW.load(), h = mShownH.load();
        if (w <= 0 || h <= 0) layout->EditorSize(PreferredSizePercent(ScreenPercent()), &w, &h);
        *pW = w;
        *pH = h;
        return;
    }
    int scale = mHostScale.load();
    if (scale == 0) scale = DesktopScale();
    *pW = mWidth * scale;
    *pH = mHeight * scale;
}

void* IGraphicsLinux::OpenWindow(void* pParentWnd) {
    std::unique_lock<std::recursive_mutex> lock = LockForClose();
    // Asked from inside our own event handling (a host callback): the window we are serving stays.
    if (mDispatchDepth > 0 || mModalDepth > 0) return nullptr;
    CloseWindowLocked();
    std::unique_ptr<X11Connection> conn = X11Connection::Open();
    if (!conn) return nullptr;
    xcb_connection_t* c = conn->Get();
    // Without the host's window, a top-level window of our own on the root.
    const bool topLevel = pParentWnd == nullptr;
    const xcb_window_t parent =
        topLevel ? conn->Root() : static_cast<xcb_window_t>(reinterpret_cast<uintptr_t>(pParentWnd));

    // The parent must exist; our window takes its visual and depth.
    xcb_get_window_attributes_cookie_t ac = xcb_get_window_attributes(c, parent);
    xcb_get_geometry_cookie_t gc = xcb_get_geometry(c, parent);
    xcb_get_window_attributes_reply_t* attrs = xcb_get_window_attributes_reply(c, ac, nullptr);
    xcb_get_geometry_reply_t* geom = xcb_get_geometry_reply(c, gc, nullptr);
    X11PixelFormat format;
    const bool usable = attrs && geom && conn->PixelFormatOf(attrs->visual, &format);
    std::free(attrs);
    std::free(geom);
    if (!usable) return nullptr;

    mSettings = X11ReadDesktopSettings(conn.get());
    mKnownScale = mSettings.scale;
    if (GetLayout()) {
        // Drawn natively at the size the user chose last, else at the screen's scale: never doubled.
        mScale = 1;
        SetSizePercent(PreferredSizePercent(ScreenPercent()));
    } else {
        mScale = mHostScale > 0 ? mHostScale.load() : mSettings.scale;
    }
    mKeys.Load(conn.get());

    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t values[] = {XCB_BACK_PIXMAP_NONE, kWindowEvents};
    if (!conn->Check(xcb_create_window_checked(
            c, XCB_COPY_FROM_PARENT, window, parent, 0, 0, static_cast<uint16_t>(mWidth * mScale),
            static_cast<uint16_t>(mHeight * mScale), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
            XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, values)))
        return nullptr; // the parent died, or refused us: nothing was made
    if (!mScreen.Init(conn.get(), window, format, mWidth, mHeight, mScale)) return nullptr;
    if (topLevel) SetTopLevelProperties(conn.get(), window);
    xcb_map_window(c, window);
    conn->Flush();

    mConn = std::move(conn);
    mEventFd = mConn->Fd();
    mShownW = mWidth * mScale;
    mShownH = mHeight * mScale;
    mWindow = window;
    mParent = parent;
    mTopLevel = topLevel;
    mWindowGone = false;
    mFormat = format;
    mClipboard.Init(mConn.get(), window);
    mClicks.Reset();
    std::memset(mTakenKeys, 0, sizeof(mTakenKeys));
    mExposed = IRECT();
    mNextFrame = std::chrono::steady_clock::now();
    return reinterpret_cast<void*>(static_cast<uintptr_t>(window));
}

void IGraphicsLinux::SetTopLevelProperties(X11Connection* pConn, xcb_window_t window) {
    xcb_connection_t* c = pConn->Get();
    const X11Connection::Atoms& a = pConn->A();
    const std::string title = mPlug && mPlug->GetEffectName()[0] ? mPlug->GetEffectName() : "Editor";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(title.size()), title.data());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, a._NET_WM_NAME, a.UTF8_STRING, 8,
                        static_cast<uint32_t>(title.size()), title.data());
    // WM_CLASS: instance and class name, each ended by a zero byte.
    const std::string wmClass = title + '\0' + title + '\0';
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(wmClass.size()), wmClass.data());
    // The window manager's close button asks us (WM_DELETE_WINDOW) rather than destroying the window.
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, a.WM_PROTOCOLS, XCB_ATOM_ATOM, 32, 1,
                        &a.WM_DELETE_WINDOW);
    SetFixedSizeHints(pConn, window, mWidth * mScale, mHeight * mScale);
}

void IGraphicsLinux::SetFixedSizeHints(X11Connection* pConn, xcb_window_t window, int w, int h) {
    xcb_connection_t* c = pConn->Get();
    // The window has the editor's size and no other: WM_NORMAL_HINTS with min = max size.
    uint32_t hints[18] = {};
    hints[0] = 16 | 32; // PMinSize | PMaxSize
    hints[5] = hints[7] = static_cast<uint32_t>(w);
    hints[6] = hints[8] = static_cast<uint32_t>(h);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS,
                        32, 18, hints);
}

void IGraphicsLinux::CloseWindow() {
    std::unique_lock<std::recursive_mutex> lock = LockForClose();
    if (mDispatchDepth > 0 || mModalDepth > 0) {
        mCloseDeferred = true; // our dispatch on this thread ends first; HostIdle closes then
        return;
    }
    CloseWindowLocked();
}

void IGraphicsLinux::CloseWindowLocked() {
    if (mConn) {
        // A press whose release never reached us (the host closes us mid-drag, or destroyed the parent)
        // ends its gesture with the window. The host may call us back from the end-of-edit: it finds
        // us busy, as during any dispatch.
        ++mDispatchDepth;
        ReleaseMouseCapture();
        --mDispatchDepth;
    }
    mCloseDeferred = false;
    if (!mConn) return;
    mTextEntry.reset();
    mCursorHidden = false; // the cursor belonged to our window, which goes now
    mClipboard.Release();
    mScreen.Release();
    if (!mWindowGone && !mConn->HasError()) {
        xcb_destroy_window(mConn->Get(), mWindow);
        mConn->Flush();
    }
    // Disconnecting frees whatever else the server holds for us (cursor, GCs, segments).
    mEventFd = -1;
    mConn.reset();
    mBlankCursor = 0;
    mWindow = mParent = 0;
    mTopLevel = false;
    mWindowGone = false;
    mExposed = IRECT();
    mShownW = mShownH = 0;
}

void* IGraphicsLinux::GetWindow() {
    return mWindow ? reinterpret_cast<void*>(static_cast<uintptr_t>(mWindow)) : nullptr;
}

xcb_window_t IGraphicsLinux::TextEntryWindow() const {
    return mTextEntry ? mTextEntry->Window() : 0;
}

std::string IGraphicsLinux::TextEntryText() const {
    return mTextEntry ? mTextEntry->Model().Text() : std::string();
}

bool IGraphicsLinux::DrawScreen(IRECT* pR) {
    if (!Open() || !mDrawBitmap) return false;
    mScreen.Copy(mDrawBitmap, pR ? *pR : FullArea());
    ++mFrames;
    return true;
}

void IGraphicsLinux::Resize(int w, int h) {
    if (w == mWidth && h == mHeight) return;
    std::lock_guard<std::recursive_mutex> lock(mLock);
    const bool open = Open();
    if (open) {
        // The window first, so the host asked to fit it (through the plug-in) finds it at its new size.
        mShownW = w * mScale;
        mShownH = h * mScale;
        const uint32_t values[] = {static_cast<uint32_t>(w * mScale), static_cast<uint32_t>(h * mScale)};
        if (mTopLevel) SetFixedSizeHints(mConn.get(), mWindow, w * mScale, h * mScale);
        xcb_configure_window(mConn->Get(), mWindow, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                             values);
        mConn->Flush();
    }
    IGraphics::Resize(w, h);
    if (!open) return;
    mScreen.Init(mConn.get(), mWindow, mFormat, w, h, mScale);
    mExposed = FullArea();
}

IRECT IGraphicsLinux::EditorArea(int x, int y, int w, int h) const {
    const int s = mScale;
    return IRECT(x / s, y / s, (x + w + s - 1) / s, (y + h + s - 1) / s).ClipTo(FullArea());
}

void IGraphicsLinux::DrawArea(IRECT area) {
    area = area.ClipTo(FullArea());
    if (area.Empty() || !Open()) return;
    Draw(&area); // takes the editor's font lock inside ours
}

void IGraphicsLinux::RepaintExposed() {
    if (mExposed.Empty() || !Open()) return;
    // Dirty controls are drawn (and cleaned) by this draw too: their area goes to the screen with it.
    IRECT dirty;
    IRECT area = mExposed;
    if (IsDirty(&dirty)) area = area.Union(IRECT(dirty.L, dirty.T, dirty.R + 1, dirty.B + 1));
    mExposed = IRECT();
    DrawArea(area);
}

void IGraphicsLinux::RedrawCycle() {
    if (!Open()) return;
    using namespace std::chrono;
    const steady_clock::time_point now = steady_clock::now();
    const steady_clock::duration period = microseconds(1000000 / std::max(mFPS, 1));
    const steady_clock::duration early = period / 8; // idle calls come with some jitter
    if (now < mNextFrame - early) return;
    mNextFrame = std::max(mNextFrame + period, now + period - early);
    IRECT r;
    if (!IsDirty(&r)) return;
    // The area the editor's controls expect: one pixel wider and taller than their union.
    DrawArea(IRECT(r.L, r.T, r.R + 1, r.B + 1));
}

void IGraphicsLinux::HostIdle() {
    LinuxReapAdopted();
    std::unique_lock<std::recursive_mutex> lock(mLock, std::try_to_lock);
    if (!lock.owns_lock()) return; // a modal loop runs on another thread
    if (mDispatchDepth > 0 || mModalDepth > 0) return;
    if (mConn) {
        ProcessEvents();
        RepaintExposed();
        RedrawCycle();
        if (mConn) mConn->Flush();
    }
    if (mCloseDeferred) CloseWindowLocked();
}

bool IGraphicsLinux::PromptForColor(IColor* pColor, const char* prompt) {
    (void)pColor;
    (void)prompt;
    return false;
}
