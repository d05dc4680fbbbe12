#include "host/HostXWindow.h"

#include <X11/Xutil.h>

#include <cstdlib>

#include "host/HostText.h"

namespace {
int sXErrors = 0;
extern "C" int CountXError(Display*, XErrorEvent*) {
    ++sXErrors;
    return 0;
}
} // namespace

HostXErrorTrap::HostXErrorTrap() : mPrevious(XSetErrorHandler(CountXError)) {}

HostXErrorTrap::~HostXErrorTrap() {
    XSetErrorHandler(mPrevious);
}

int HostXErrorTrap::Errors() {
    return sXErrors;
}

Display* HostXConnection::OpenDefault(std::string& err) {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) {
        err = "no X display: DISPLAY is not set (run it on a desktop, or under xvfb-run)";
        return nullptr;
    }
    XInitThreads();
    Display* d = XOpenDisplay(nullptr);
    if (!d) err = HostFormat("cannot open the X display '%s'", name);
    return d;
}

HostWindow::HostWindow(Display* d, int w, int h, const char* title) : mDisplay(d) {
    const int screen = DefaultScreen(d);
    XSetWindowAttributes attrs{};
    attrs.background_pixel = BlackPixel(d, screen);
    attrs.event_mask = StructureNotifyMask | ExposureMask;
    mWindow =
        XCreateWindow(d, RootWindow(d, screen), 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), 0,
                      CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attrs);
    XStoreName(d, mWindow, title);
    FixSize(w, h);
}

HostWindow::~HostWindow() {
    XDestroyWindow(mDisplay, mWindow);
    XSync(mDisplay, False);
}

void HostWindow::FixSize(int w, int h) {
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize;
    hints.min_width = hints.max_width = w;
    hints.min_height = hints.max_height = h;
    XSetWMNormalHints(mDisplay, mWindow, &hints);
}

void HostWindow::Resize(int w, int h) {
    FixSize(w, h);
    XResizeWindow(mDisplay, mWindow, static_cast<unsigned>(w), static_cast<unsigned>(h));
}

bool HostWindow::Pump() {
    while (XPending(mDisplay)) {
        XEvent ev;
        XNextEvent(mDisplay, &ev);
        if (ev.type == MapNotify && ev.xmap.window == mWindow) mMapped = true;
    }
    return mMapped;
}
