#pragma once
// IEffectVST3View: the plug-in's editor as a VST 3 plug-in view (v3_plugin_view) for the X11 embed-window
// platform type, with content scale support. The editor itself is the plug-in's attached editor
// (IEffectEditor, the X11 window host); the view opens its window in the host's parent when attached and
// closes it when removed.
//
// No threads of our own: when attached the view asks the frame the host set (set_frame) for the host's
// run loop (v3_run_loop) and registers a timer at the editor's frame rate and an event handler on the
// editor's X connection (IEffectEditor::EventFd); both call the editor's HostIdle (its redraw cycle and
// event draining), and the timer also lets the plug-in tell the host what processing made pending
// (IEffectVST3::FlushHostNotifications). Without a run loop the view does not attach. Size: the editor's
// window size (the size the user chose, else the one for the content scale: 150 % at 1.5, 200 % at 2);
// the host cannot resize the view, which answers every size constraint with its own size. A content
// scale that changes while attached reopens the window at it, and a size the editor takes (the user's
// choice in its menu) is asked of the frame (resize_view). Keys the host forwards go to the editor
// (VST 3 numbers the keys and modifier bits the editor takes as its HostKeyDown expects); the wheel
// reaches the editor's window from X directly.
//
// Threads: every call comes on the host's user-interface thread (the run loop calls back there too); no
// plug-in lock is held while the view calls the host or the editor.
//
// Ownership: reference counted; made by IEffectVST3::CreateView with one reference, deleted at the
// host's last release (after closing the window, should the host not have removed the view). It holds a
// reference on the plug-in, and on the run loop while attached; the frame is the host's and not
// counted.
#include <atomic>
#include <cstdint>

#include "framework/vst3/VST3Face.h"

class IEffectVST3;

class IEffectVST3View {
public:
    explicit IEffectVST3View(IEffectVST3* plug);
    IEffectVST3View(const IEffectVST3View&) = delete;
    IEffectVST3View& operator=(const IEffectVST3View&) = delete;

    v3_plugin_view** ViewFace() { return mView.As<v3_plugin_view>(); }

    // ---- v3_funknown ----
    v3_result QueryInterface(const uint8_t* iid, void** obj);
    uint32_t Ref();
    uint32_t Unref();

    // ---- v3_plugin_view ----
    v3_result IsPlatformTypeSupported(const char* type);
    // Opens the editor's window in parent (an X window id); V3_FALSE without a run loop, for another
    // platform type, when already attached or when the window cannot open.
    v3_result Attached(void* parent, const char* type);
    v3_result Removed();
    v3_result OnWheel(float distance);
    // V3_OK when the editor took the key, V3_FALSE otherwise.
    v3_result OnKeyDown(int16_t keyChar, int16_t keyCode, int16_t modifiers);
    v3_result OnKeyUp(int16_t keyChar, int16_t keyCode, int16_t modifiers);
    v3_result GetSize(v3_view_rect* rect);
    // V3_OK for the view's own size, V3_FALSE for any other (the editor has one size).
    v3_result OnSize(v3_view_rect* rect);
    v3_result OnFocus(v3_bool state);
    v3_result SetFrame(v3_plugin_frame** frame);
    v3_result CanResize();
    v3_result CheckSizeConstraint(v3_view_rect* rect);

    // ---- v3_plugin_view_content_scale ----
    v3_result SetContentScaleFactor(float factor);

    // The editor may have taken another size while attached: if so, the frame is asked for it (from the
    // editor's own event handling, on the user-interface thread).
    void EditorResized();

    // ---- v3_timer_handler and v3_event_handler (the host's run loop) ----
    void OnTimer();
    void OnFdIsSet(int fd);

private:
    ~IEffectVST3View();
    // Opens the window in parent and registers with the run loop; false when the window cannot open.
    bool Open(void* parent);
    // Unregisters and closes the window (the run loop stays).
    void Close();
    void RegisterFd();
    void UnregisterFd();
    void Size(int* pW, int* pH);

    VST3Face<IEffectVST3View> mView, mScale, mTimer, mEvents;
    VST3RefCount mRefs;
    IEffectVST3* mPlug;
    v3_plugin_frame** mFrame = nullptr;
    v3_run_loop** mLoop = nullptr;
    void* mParent = nullptr;
    int mFd = -1;
    bool mTimerOn = false;
    float mScaleFactor = 0.0f;
    int mShownW = 0, mShownH = 0; // the size the host last had from the view while attached
};
