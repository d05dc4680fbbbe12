#pragma once
// HostEditorSession: a plug-in's editor shown as a host shows it, for as long as the object lives. Open
// makes a top-level window on the display, sized as the editor asks (a provisional size while it tells
// none), maps it and opens the editor in it; Idle gives the editor a host's idle call and handles the
// window's events, following a size the editor tells only once open; the destructor closes the editor
// and then destroys the window. Used on the thread that drives the editor (the plug-in's main thread);
// the display and the effect must outlive the session.
#include <X11/Xlib.h>

#include <memory>
#include <string>

#include "host/HostEffect.h"
#include "host/HostXWindow.h"

class HostEditorSession {
public:
    HostEditorSession(HostEffect& effect, Display* display) : mEffect(effect), mDisplay(display) {}
    ~HostEditorSession();
    HostEditorSession(const HostEditorSession&) = delete;
    HostEditorSession& operator=(const HostEditorSession&) = delete;

    // False with err set when the window cannot be made or the editor does not open.
    bool Open(std::string& err);
    void Idle();
    // The size the editor tells now; false while it tells none.
    bool Size(int& w, int& h) { return mEffect.EditorSize(w, h); }

private:
    HostEffect& mEffect;
    Display* mDisplay;
    std::unique_ptr<HostWindow> mWindow;
    bool mOpen = false;
    int mW = 0, mH = 0;
};
