#pragma once
// ClapEditorDriver: the gui extension of a CLAP plug-in, for an editor on X11. It opens the editor's
// window embedded in the host's window (set_parent) or as a floating window of its own (show), answers
// the size questions (the window's size: the size the user chose, else the one for the host's scale,
// 150 % at 1.5 and 200 % at 2), asks the host to follow a size the editor takes while open
// (request_resize), and drives the
// editor's redraw cycle and event draining (IEffectEditor::HostIdle) from the host's timer (timer-support,
// at the editor's frame rate) and from the host watching the window's X connection (posix-fd-support,
// when offered). It has no thread of its own; a host without timer-support gets no editor (create
// answers false).
//
// Threads: every call comes on the host's main thread, the calls to the host are made from there with
// no plug-in lock held. Ownership: the plug-in object owns the driver and the editor; the driver only
// points at the editor (from create to destroy) and at the host's extension records.
#include <clap/ext/gui.h>
#include <clap/ext/timer-support.h>

#include "framework/clap/ClapPosixFd.h"

class IEffectEditor;

class ClapEditorDriver {
public:
    ClapEditorDriver() = default;
    ClapEditorDriver(const ClapEditorDriver&) = delete;
    ClapEditorDriver& operator=(const ClapEditorDriver&) = delete;

    // The plug-in's init: takes the host's timer-support, posix-fd-support and gui records (each may
    // be missing).
    void SetHost(const clap_host_t* host);

    // ---- The gui extension ----
    // "x11", embedded or floating.
    static bool IsApiSupported(const char* api, bool floating);
    // Needs an editor, a supported api and the host's timer-support; false otherwise.
    bool Create(IEffectEditor* editor, const char* api, bool floating);
    // Stops the timer and the descriptor watch and closes the window. Safe when not created.
    void Destroy();
    // The editor's size for this scale from the next opening on; true when taken.
    bool SetScale(double scale);
    // The window's size in screen pixels.
    bool GetSize(uint32_t* width, uint32_t* height) const;
    // The editor has one size: only that size is accepted.
    bool SetSize(uint32_t width, uint32_t height) const;
    // Embedded only: opens the editor's window in the host's X11 window and starts driving it.
    bool SetParent(const clap_window_t* window);
    // Floating: opens the window (show) or closes it (hide). Embedded: starts (show) or stops (hide)
    // driving the window, which lives in the host's window.
    bool Show();
    bool Hide();

    // The editor took another size (its own event handling, on the main thread): an open window asks
    // the host to resize it.
    void EditorResized();

    // ---- The host's timer and descriptor callbacks ----
    void OnTimer(clap_id timerId);
    void OnFd(int fd, uint32_t flags);

    bool Created() const { return mEditor != nullptr; }

private:
    void StartDriving();
    void StopDriving();
    void Idle();

    const clap_host_t* mHost = nullptr;
    const clap_host_timer_support_t* mTimers = nullptr;
    const ClapHostPosixFdSupport* mFds = nullptr;
    const clap_host_gui_t* mHostGui = nullptr;
    IEffectEditor* mEditor = nullptr; // while created
    bool mFloating = false;
    bool mShown = false; // a floating window opened by show and not closed since
    clap_id mTimer = CLAP_INVALID_ID;
    int mFd = -1; // the descriptor the host watches for us; -1: none
};
