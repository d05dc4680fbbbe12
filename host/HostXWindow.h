#pragma once
// What the host needs of X11 to show a plug-in's editor: X errors counted instead of ending the
// process (HostXErrorTrap), a connection closed with its owner (HostXConnection) and the top-level
// window an editor is opened in (HostWindow). Used on the thread that drives the editor; the error
// handler is process-wide, so errors a plug-in causes on its own connection are counted too.
#include <X11/Xlib.h>

#include <string>

// Counts X errors instead of ending the process, for as long as it lives.
class HostXErrorTrap {
public:
    HostXErrorTrap();
    ~HostXErrorTrap();
    HostXErrorTrap(const HostXErrorTrap&) = delete;
    HostXErrorTrap& operator=(const HostXErrorTrap&) = delete;
    // Errors counted so far in this process.
    static int Errors();

private:
    int (*mPrevious)(Display*, XErrorEvent*);
};

class HostXConnection {
public:
    explicit HostXConnection(Display* d) : mDisplay(d) {}
    ~HostXConnection() {
        if (mDisplay) XCloseDisplay(mDisplay);
    }
    HostXConnection(const HostXConnection&) = delete;
    HostXConnection& operator=(const HostXConnection&) = delete;
    Display* Get() const { return mDisplay; }

    // The display DISPLAY names (Xlib made thread-safe first, as editors may use it from their own
    // threads); null with err set when there is none.
    static Display* OpenDefault(std::string& err);

private:
    Display* mDisplay;
};

// The top-level window the editor lives in, black and of a fixed size; destroyed (after the editor
// is closed) with this object.
class HostWindow {
public:
    HostWindow(Display* d, int w, int h, const char* title);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    Window Id() const { return mWindow; }

    // Window managers keep it at exactly this size.
    void FixSize(int w, int h);
    void Resize(int w, int h);
    // Handles whatever arrived for the window; true once it has been mapped.
    bool Pump();

private:
    Display* mDisplay;
    Window mWindow = 0;
    bool mMapped = false;
};
