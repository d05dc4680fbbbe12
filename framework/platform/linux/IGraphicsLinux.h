#pragma once
// IGraphicsLinux: the editor's window host on Linux. The binding hands it the host's X11 window (VST 2's
// effEditOpen, LV2's ui:parent); it puts a child window of the editor's size at (0, 0) of it, shows the
// off-screen bitmap there, turns X input into editor calls and supplies the editor's text fields, menus,
// dialogs, clipboard, cursor, paths and pictures. Given no window (an LV2 host showing the UI through its
// show interface), it opens a top-level window of its own instead; the window manager's close button
// closes it like CloseWindow, after the idle call that received the request.
//
// The window. Each open editor has its own xcb connection (X11Connection: no process-wide error
// handler, no XInitThreads; errors of our requests come back to us and are ignored where harmless). The
// child window takes the parent's visual; it is mapped at once and repainted on every Expose (the host
// unmapping, re-mapping or re-parenting it costs a repaint, nothing more). When the parent is destroyed
// before effEditClose our window goes with it; we notice (DestroyNotify), stop drawing and close
// cleanly later. A dead parent, no display, or a server that refuses us: OpenWindow returns null
// silently and nothing is left behind (audio never depends on any of this).
//
// The redraw cycle runs from effEditIdle (HostIdle), timed on the monotonic clock at FPS() frames a
// second (25): every idle call first drains the connection's events (consecutive pointer motions are
// merged into the last one), repaints what was exposed, and when a frame is due asks the editor for its
// dirty area and redraws it (one pixel wider and taller, as the editor's controls expect); nothing is
// drawn while nothing is dirty. The screen copy (X11ScreenCopy) sends only that area, through MIT-SHM
// when the server attaches a segment. On a dense screen (scale 2: the host's scale when it gives one
// (SetHostScale), else GDK_SCALE, Xft.dpi >= 192 or the desktop's XSETTINGS, read when the window
// opens) the window is twice the editor's size, each pixel a 2 x 2 block, pointer positions are halved,
// and WindowSize (what the binding answers to effEditGetRect, asked before or after effEditOpen)
// reports the doubled size. An editor drawn natively at several sizes (IGraphics::GetLayout) is never
// doubled: it opens at the size the user chose last (remembered in LinuxEditorSettings), else at the
// largest size up to the screen's scale (the host's, else the desktop's: 200 % on a dense screen), and
// WindowSize answers that size before the window opens and the window's size while it is open. A size
// chosen in its menu resizes the window (a top-level one keeps a fixed size of the new size) and the
// host is asked to follow (through the plug-in's ResizeGraphics). The frame rate is the one the editor
// was made with (the LV2 UI makes it the host's update rate, so every idle call can bring a frame).
//
// Input: X11Pointer for coordinates (the editor's -2 / -3 offsets), modifiers (Super acts as the right
// button / Command), double clicks from the desktop's double-click time; buttons 1 and 3 press, drag
// (also when released outside: the press grabs the pointer for our window) and release, 4 and 5 are
// wheel steps of +1 and -1; button 2 and sideways wheels are not used. Keys from X and from
// effEditKeyDown map to the editor's key codes (X11Keys); keys the editor does not take, and every key
// release it did not take the press of, go on to the host's window (a top-level window of our own
// drops them). Clicking never takes the keyboard
// focus; only an open text field does (and gives it back). Closing the window releases the editor's
// mouse capture, which ends an edit gesture whose button release never reached us.
//
// Threads and the lock. Hosts call effEditOpen, effEditClose, effEditIdle and the key opcodes on their
// user-interface thread, some idle from a thread of their own (Ardour). Everything here runs under
// mLock (recursive), which also guards every IGraphics call we make and our X connection. HostIdle and
// the key calls only try the lock: while another thread holds it (a modal menu or dialog is open there)
// they return at once, so no host thread waits on us. OpenWindow, CloseWindow and the destructor raise
// mCloseRequested before taking the lock; a modal loop on another thread sees it within 10 ms, ends
// (the menu answers null, a dialog tool is ended) and lets them in. A host calling back into us while we
// dispatch an event on the same thread (effEditIdle from inside audioMasterAutomate, say) finds
// nothing to do; a close asked that way happens when our dispatch returns. Drawing into bitmaps with
// the shared fonts is serialised across the editors of the process by the editor's font lock
// (EditorStores::FontLock): IGraphics::Draw takes it inside our mLock, and our text field, menus and
// message box take it, also inside mLock, around their own text. The order is always mLock, then the
// font lock; nothing holding the font lock takes mLock.
//
// Modal pieces (popup menus, our message box, waiting for a dialog tool) run a nested event loop on our
// own connection (RunModal) that keeps the editor repainting at its frame rate; menus end after a
// minute without input. Dialogs (message box, file prompt) use zenity or kdialog when installed
// (LinuxDialogs, LinuxProcess); without them the message box is our own (X11MessageBox) and the file
// prompt answers empty.
//
// Ownership: created by the effect, owned by the plug-in base (like any IGraphics). It owns the
// connection, the window and everything made on it; the host owns the parent window.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "framework/editor/IGraphics.h"
#include "framework/platform/linux/X11Clipboard.h"
#include "framework/platform/linux/X11Connection.h"
#include "framework/platform/linux/X11Keys.h"
#include "framework/platform/linux/X11Pointer.h"
#include "framework/platform/linux/X11ScreenCopy.h"
#include "framework/platform/linux/X11Settings.h"

class X11ModalClient;
class X11TextEntry;

class IGraphicsLinux : public IGraphics {
public:
    IGraphicsLinux(IEffectBase* pPlug, int w, int h, int fps = 0);
    ~IGraphicsLinux() override;

    // Any thread: whether an X server accepts us at $DISPLAY (a connection made and closed at once);
    // silent, like OpenWindow.
    static bool DisplayAvailable();

    // ---- Platform operations ----
    // Copies the area (editor pixels) of the off-screen bitmap to the window; false when none is open.
    bool DrawScreen(IRECT* pR) override;
    // Closes an open text field without committing it.
    void ForceEndUserEdit() override;
    // The editor's size changes; an open window follows (doubled at scale 2) before the plug-in tells
    // the host.
    void Resize(int w, int h) override;
    // The size remembered for this plug-in (LinuxEditorSettings); any thread.
    int ReadSizeChoice() override;
    void WriteSizeChoice(int percent) override;
    const char* GetGUIAPI() override { return "X11"; }
    int ShowMessageBox(const char* text, const char* caption, int type) override;
    IPopupMenu* CreateIPopupMenu(IPopupMenu* pMenu, IRECT* pAreaRect) override;
    void CreateTextEntry(IControl* pControl, IText* pText, IRECT* pTextRect, const char* str,
                         IParam* pParam) override;
    // The running executable (unchanged when it cannot be read).
    void HostPath(Util_String* pPath) override;
    // The folder of the plug-in's shared object, with a trailing "/".
    void PluginPath(Util_String* pPath) override;
    void DesktopPath(Util_String* pPath) override;
    void AppSupportPath(Util_String* pPath, bool isSystem = false) override;
    void SandboxSafeAppSupportPath(Util_String* pPath) override;
    void PromptForFile(Util_String* pFilename, EFileAction action = kFileOpen, Util_String* pDir = nullptr,
                       const char* extensions = "") override;
    bool PromptForColor(IColor* pColor, const char* prompt = "") override;
    // Hands the address (or file) to xdg-open without waiting; false when it cannot be started.
    bool OpenURL(const char* url, const char* msgWindowTitle = nullptr, const char* confirmMsg = nullptr,
                 const char* errMsgOnFailure = nullptr) override;
    using IGraphics::OpenWindow;
    // pParentWnd: the host's X window (a child window at its (0, 0)); null: a top-level window of our
    // own, titled with the plug-in's name, of one size, closed by the window manager's close button.
    void* OpenWindow(void* pParentWnd) override;
    void CloseWindow() override;
    // 2 and above: the doubled picture whatever the desktop says; other positive scales: the editor's
    // own size; 0: the desktop decides (the default). An editor with sizes takes the largest up to the
    // scale instead (1.5: 150 %). Takes effect at the next OpenWindow (and WindowSize); any thread.
    void SetHostScale(double scale) override;
    // The X window id of the open editor window (as a pointer), null when closed.
    void* GetWindow() override;
    bool GetTextFromClipboard(Util_String* pStr) override;
    void HideMouseCursor() override;
    void ShowMouseCursor() override;
    // No tooltips on this platform (they are never enabled by this system's editor).
    void UpdateTooltips() override {}
    // "x.png" names only: a replacement "<plug-in>.resources/x.png" beside the plug-in (LinuxResourceFolder)
    // when it decodes, else the compiled-in resource, decoded when first drawn (Raster_LoadNamedPicture).
    Raster_IBitmap* OSLoadBitmap(int ID, const char* name) override;
    void HostIdle() override;
    // The open window's X connection (readable when it has events for HostIdle); -1 when closed. Any
    // thread.
    int EventFd() override { return mEventFd.load(); }
    bool HostKeyDown(int character, int virtualKey, int modifiers) override;
    bool HostKeyUp(int character, int virtualKey, int modifiers) override;
    // The window's size on the screen (doubled at scale 2); any thread.
    void WindowSize(int* pW, int* pH) override;

    // ---- State, for tests and benchmarks (under the lock, so from the idling thread) ----
    int Scale() const { return mScale; }
    bool UsesShm() const { return mScreen.UsesShm(); }
    bool TextEntryOpen() const { return mTextEntry != nullptr; }
    xcb_window_t TextEntryWindow() const;
    // The open field's text ("" when none is open).
    std::string TextEntryText() const;
    // Frames put on the screen since construction.
    uint64_t FramesDrawn() const { return mFrames.load(); }
    bool ParentGone() const { return mWindowGone; }

private:
    // Under mLock.
    void CloseWindowLocked();
    // Title, class, close protocol and fixed size of a top-level window of our own.
    void SetTopLevelProperties(X11Connection* pConn, xcb_window_t window);
    // The window manager's size hints: w x h window pixels and no other size.
    void SetFixedSizeHints(X11Connection* pConn, xcb_window_t window, int w, int h);
    // The desktop's scale (1 or 2), looked up once; any thread.
    int DesktopScale();
    // The screen's scale in percent: the host's when it gave one, else the desktop's; any thread.
    int ScreenPercent();
    void ProcessEvents();
    // modal: a nested loop runs; input events to the editor's window are dropped.
    void HandleEvent(xcb_generic_event_t* ev, bool modal);
    void RepaintExposed();
    void RedrawCycle();
    void DrawArea(IRECT area);
    IRECT FullArea() const { return IRECT(0, 0, mWidth, mHeight); }
    // A window area (screen pixels) in editor pixels, covering every touched pixel.
    IRECT EditorArea(int x, int y, int w, int h) const;
    bool Open() const { return mConn && mWindow && !mWindowGone; }

    void OnButtonPress(const xcb_button_press_event_t* e);
    void OnButtonRelease(const xcb_button_release_event_t* e);
    void OnMotion(const xcb_motion_notify_event_t* e);
    void OnKey(const xcb_key_press_event_t* e, bool press);
    void ForwardKey(const xcb_key_press_event_t* e);
    void OnTextKey(const TextKey& key, xcb_timestamp_t time);
    void CommitTextEntry();
    void EndTextEntry(bool repaint);

    // Runs a nested event loop until the client is done (or must end: see the class comment);
    // idleLimitMs > 0 ends it after that long without input.
    void RunModal(X11ModalClient* pClient, int idleLimitMs);
    bool ModalMustEnd() const;
    // Runs a dialog tool command and waits for it as a modal dialog; false when it could not start.
    // exitCode -1: ended by us or no status.
    bool RunDialogTool(const struct DialogCommand& cmd, int* pExitCode, std::string* pOutput);

    // Raises mCloseRequested and takes the lock (see the class comment).
    std::unique_lock<std::recursive_mutex> LockForClose();

    std::recursive_mutex mLock;
    std::atomic<bool> mCloseRequested{false};
    std::atomic<int> mKnownScale{0};         // 0: not asked yet
    std::atomic<int> mHostScale{0};          // the host's choice; 0: none
    std::atomic<int> mHostPercent{0};        // the host's scale in percent; 0: none
    std::atomic<int> mShownW{0}, mShownH{0}; // the open window's size; 0: none open
    std::mutex mScaleMutex;                  // the first WindowSize's look-up
    std::atomic<uint64_t> mFrames{0};
    std::atomic<int> mEventFd{-1};

    std::unique_ptr<X11Connection> mConn;
    xcb_window_t mWindow = 0, mParent = 0;
    bool mTopLevel = false; // our window is a top-level window of its own
    bool mWindowGone = false;
    X11PixelFormat mFormat;
    X11ScreenCopy mScreen;
    X11KeyMap mKeys;
    X11DesktopSettings mSettings;
    int mScale = 1;
    X11Clipboard mClipboard;
    std::unique_ptr<X11TextEntry> mTextEntry;
    X11ClickCounter mClicks;
    int mPrevX = 0, mPrevY = 0;  // editor position of the last pointer event (for keys)
    uint8_t mTakenKeys[32] = {}; // key codes whose press the editor took
    IRECT mExposed;
    std::chrono::steady_clock::time_point mNextFrame;
    xcb_cursor_t mBlankCursor = 0;
    int mDispatchDepth = 0; // > 0 while we are calling the editor from our event handling
    int mModalDepth = 0;
    bool mCloseDeferred = false;
};
