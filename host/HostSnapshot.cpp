#include "host/HostSnapshot.h"

#include "framework/raster/raster.h"
#include "host/HostFile.h"
#include "host/HostInterrupt.h"
#include "host/HostOpen.h"
#include "host/HostText.h"
#include "host/HostXWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The window's own background, and a value no 0xRRGGBB pixel has.
constexpr uint32_t kWindowBlack = 0x000000;
constexpr uint32_t kNotFlat = 0xFFFFFFFF;
// Size of the window while the plug-in has not said how large its editor is.
constexpr int kProvisionalWidth = 640, kProvisionalHeight = 480;

// One 8-bit channel from a pixel value and the visual's mask of that channel.
int Channel(unsigned long pixel, unsigned long mask) {
    if (!mask) return 0;
    const int shift = __builtin_ctzl(mask), bits = __builtin_popcountl(mask);
    const unsigned long v = (pixel & mask) >> shift;
    return static_cast<int>(bits >= 8 ? v >> (bits - 8) : v * 255 / ((1ul << bits) - 1));
}

// The window's pixels as 0xRRGGBB, or false (an X error, a window not on screen, no true colour).
bool Grab(Display* d, Window w, int width, int height, std::vector<uint32_t>& out) {
    const int errors = HostXErrorTrap::Errors();
    XImage* img = XGetImage(d, w, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                            AllPlanes, ZPixmap);
    if (!img || HostXErrorTrap::Errors() != errors) {
        if (img) XDestroyImage(img);
        return false;
    }
    const bool trueColour = img->red_mask && img->green_mask && img->blue_mask;
    out.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height && trueColour; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned long p = XGetPixel(img, x, y);
            out[static_cast<size_t>(y) * width + x] =
                static_cast<uint32_t>(Channel(p, img->red_mask) << 16) |
                static_cast<uint32_t>(Channel(p, img->green_mask) << 8) |
                static_cast<uint32_t>(Channel(p, img->blue_mask));
        }
    }
    XDestroyImage(img);
    return trueColour;
}

bool Flat(const std::vector<uint32_t>& px) {
    for (uint32_t p : px)
        if (p != px[0]) return false;
    return true;
}

// The deepest window under point (x, y) of window w, and the point in its coordinates.
Window DeepestAt(Display* d, Window w, int x, int y, int* pX, int* pY) {
    for (;;) {
        Window child = 0;
        int cx = 0, cy = 0;
        if (!XTranslateCoordinates(d, w, w, x, y, &cx, &cy, &child) || !child) break;
        int tx = 0, ty = 0;
        Window ignored = 0;
        if (!XTranslateCoordinates(d, w, child, x, y, &tx, &ty, &ignored)) break;
        w = child;
        x = tx;
        y = ty;
    }
    *pX = x;
    *pY = y;
    return w;
}

// A user's drag as events sent to the window under the point: the left button pressed there, then moves
// in steps of at most 4 pixels, the button held. The window pixel of editor point (x, y) is (x + 2, y + 2)
// (the offsets X11 editors keep).
void SendDrag(Display* d, Window top, const HostSnapshotDrag& drag) {
    int x = 0, y = 0;
    const Window target = DeepestAt(d, top, drag.x + 2, drag.y + 2, &x, &y);
    // Button and motion events share their first fields (type, window, root, position, state).
    auto send = [&](int type, int py, long mask) {
        XEvent ev{};
        ev.xbutton.type = type;
        ev.xbutton.display = d;
        ev.xbutton.window = target;
        ev.xbutton.root = DefaultRootWindow(d);
        ev.xbutton.x = x;
        ev.xbutton.y = py;
        ev.xbutton.same_screen = True;
        if (type == ButtonPress)
            ev.xbutton.button = Button1;
        else
            ev.xmotion.state = Button1Mask;
        XSendEvent(d, target, False, mask, &ev);
    };
    send(ButtonPress, y, ButtonPressMask);
    const int steps = std::max(1, std::abs(drag.dy) / 4);
    for (int i = 1; i <= steps; ++i)
        send(MotionNotify, y + drag.dy * i / steps, PointerMotionMask | ButtonMotionMask | Button1MotionMask);
    XSync(d, False);
}

} // namespace

bool HostSnapshotEditor(HostEffect& plugin, const HostSnapshotOptions& options, HostSnapshotResult& result,
                        std::string& err) {
    if (!plugin.HasEditor()) {
        err = "the plug-in has no editor";
        return false;
    }
    HostXConnection x(HostXConnection::OpenDefault(err));
    if (!x.Get()) return false;
    Display* d = x.Get();
    HostXErrorTrap trap;
    const int startErrors = HostXErrorTrap::Errors();
    const Clock::time_point deadline =
        Clock::now() + std::chrono::microseconds(static_cast<int64_t>(options.timeoutSeconds * 1e6));

    int w = kProvisionalWidth, h = kProvisionalHeight;
    bool sized = plugin.EditorSize(w, h);
    HostWindow window(d, w, h, "tidebloom-host snapshot");
    XMapWindow(d, window.Id());
    XSync(d, False);
    while (!window.Pump() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (HostXErrorTrap::Errors() != startErrors) {
        err = "the X server refused the editor's window";
        return false;
    }

    plugin.OpenEditor(window.Id());
    std::vector<uint32_t> picture, previous; // the latest grab (previous) is shotW x shotH
    int shotW = 0, shotH = 0;
    bool settled = false;
    bool dragged = !options.drag.active;
    int idles = 0;
    Clock::time_point flatSince = Clock::now(), sameSince = Clock::now();
    while (!settled && Clock::now() < deadline) {
        // Some plug-ins know their size only once open, or after their first idle call.
        int nw = w, nh = h;
        if (plugin.EditorSize(nw, nh) && (!sized || nw != w || nh != h)) {
            sized = true;
            w = nw;
            h = nh;
            window.Resize(w, h);
        }
        plugin.IdleEditor();
        ++idles;
        window.Pump();
        XSync(d, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(options.idleMs));
        if (!sized || !Grab(d, window.Id(), w, h, picture)) continue;
        if (picture != previous) sameSince = Clock::now();
        // One colour all over: the window's own black means nothing is drawn yet; another colour may
        // be an editor's background with the rest still to come, so it must last flatSeconds.
        const uint32_t flat = Flat(picture) ? picture[0] : kNotFlat;
        if (flat == kNotFlat || picture != previous) flatSince = Clock::now();
        previous.swap(picture);
        shotW = w;
        shotH = h;
        const double flatFor = std::chrono::duration<double>(Clock::now() - flatSince).count();
        const double sameFor = std::chrono::duration<double>(Clock::now() - sameSince).count();
        settled = idles >= 3 && sameFor >= options.stableSeconds &&
                  (flat == kNotFlat || (flat != kWindowBlack && flatFor >= options.flatSeconds));
        if (settled && !dragged) {
            // Drawn: now the drag, and the picture once the editor has settled again.
            dragged = true;
            settled = false;
            SendDrag(d, window.Id(), options.drag);
            sameSince = Clock::now();
        }
    }
    plugin.CloseEditor();
    XSync(d, False);

    if (!sized) {
        err = HostFormat("the plug-in reported no editor size within %g s", options.timeoutSeconds);
        return false;
    }
    if (previous.empty() || (Flat(previous) && previous[0] == kWindowBlack)) {
        err = HostFormat("the editor drew nothing within %g s", options.timeoutSeconds);
        return false;
    }
    auto bm = std::make_unique<Raster_MemBitmap>(shotW, shotH);
    for (int y = 0; y < shotH; ++y) {
        uint32_t* row = bm->getBits() + static_cast<size_t>(y) * bm->getRowSpan();
        for (int xx = 0; xx < shotW; ++xx) {
            const uint32_t p = previous[static_cast<size_t>(y) * shotW + xx];
            row[xx] = Raster_MakePixel(static_cast<int>(p >> 16), static_cast<int>((p >> 8) & 0xFF),
                                       static_cast<int>(p & 0xFF), 255);
        }
    }
    result.picture = std::move(bm);
    result.stable = settled;
    return true;
}

HostWatchdog::HostWatchdog(double seconds, std::FILE* err, std::string message) {
    mThread = std::thread([this, seconds, err, message = std::move(message)] {
        std::unique_lock<std::mutex> lock(mLock);
        if (mWake.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return mDone; })) return;
        std::fprintf(err, "tidebloom-host: error: %s\n", message.c_str());
        std::fflush(err);
        HostRemoveTemporaries(); // destructors do not run past _Exit
        std::_Exit(1);
    });
}

HostWatchdog::~HostWatchdog() {
    {
        std::lock_guard<std::mutex> lock(mLock);
        mDone = true;
    }
    mWake.notify_all();
    mThread.join();
}

bool HostWriteEditorSnapshot(const HostSnapshotRequest& request, Util_AtomicFile& output,
                             std::FILE* watchdogErr, std::string& summary, std::string& err) {
    std::unique_ptr<HostEffect> plugin = HostOpenEffect(request.plugin, err, request.pluginClass);
    if (!plugin) return false;
    err = plugin->Configure(44100, 512, false);
    if (!err.empty() || !plugin->ApplyProgramAndValues(request.program, request.assignments, err))
        return false;

    HostSnapshotOptions options;
    options.timeoutSeconds = request.timeoutSeconds;
    options.drag = request.drag;
    HostSnapshotResult shot;
    {
        HostWatchdog watchdog(request.timeoutSeconds + 10.0, watchdogErr,
                              "the plug-in's editor stopped answering");
        if (!HostSnapshotEditor(*plugin, options, shot, err)) return false;
    }
    std::vector<unsigned char> png;
    if (!Raster_WritePNGToMemory(shot.picture.get(), &png, false)) {
        err = "cannot encode the picture";
        return false;
    }
    if (!output.WriteAll(png.data(), png.size(), err)) return false;
    const std::string name = plugin->EffectName();
    summary = HostFormat("wrote the editor of %s (%d x %d) to '%s'%s",
                         name.empty() ? "the plug-in" : ("'" + name + "'").c_str(), shot.picture->getWidth(),
                         shot.picture->getHeight(), output.Path().c_str(),
                         shot.stable ? "" : " (it kept changing; this is how it looked at the end)");
    return true;
}
