#pragma once
// X11ModalClient: something that runs a nested event loop on the editor's connection while the host's
// thread waits for it: a popup menu, our own message box, the wait for a dialog tool. The editor
// (IGraphicsLinux::RunModal) drives the loop: it hands every event to the client first, keeps
// repainting its own window at its frame rate and ends the loop early (Abort) when the editor is being
// closed (also from another thread), its window is gone or the server went away.
//
// Clients are made on the editor's thread under its lock and live on its stack for the loop's length.
#include <xcb/xcb.h>

class X11ModalClient {
public:
    virtual ~X11ModalClient() = default;
    // An event of the editor's connection; true when it was the client's (the editor then ignores it).
    virtual bool OnEvent(const xcb_generic_event_t* ev) = 0;
    // The loop ends when this is true.
    virtual bool Done() = 0;
    // The loop ends early; the client gives up (a menu chooses nothing, a dialog is ended).
    virtual void Abort() = 0;
    // A descriptor the loop also waits on (-1: none).
    virtual int Fd() { return -1; }
    // Called on every turn of the loop (after events, and when Fd() was readable or a wait ran out).
    virtual void OnTurn() {}
};
