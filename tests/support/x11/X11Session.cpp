#include "tests/support/x11/X11Session.h"

#include <dirent.h>

#include <cstdio>

#include "framework/raster/Raster_Bitmap.h"

namespace {

int CountEntries(const char* dir) {
    DIR* d = opendir(dir);
    if (!d) return -1;
    int n = 0;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') ++n;
    closedir(d);
    return n;
}

} // namespace

ResourceCounts ResourceCounts::Now(X11TestDisplay& d) {
    ResourceCounts c;
    c.fds = CountEntries("/proc/self/fd") - 1; // less the one reading the folder
    c.threads = CountEntries("/proc/self/task");
    c.windows = d.CountDescendants(d.Root());
    return c;
}

X11Session::X11Session(X11TestDisplay& display, int x, int y, bool makeParent) : d(display) {
    effect = host.Load(X11TestEffect::Entry);
    plug = effect ? X11TestEffect::From(effect) : nullptr;
    host.Open();
    if (makeParent) {
        parent = d.MakeParent(x, y, X11TestEffect::kWidth * 2, X11TestEffect::kHeight * 2);
        d.RootPosition(parent, &px, &py);
    }
}

X11Session::~X11Session() {
    if (effect) {
        Close();
        host.Close();
    }
    if (parent && d.Exists(parent)) d.Destroy(parent);
}

bool X11Session::OpenIn(xcb_window_t window) {
    const bool ok =
        host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(window))) == 1;
    if (ok) mScale = Gui()->Scale();
    return ok;
}

void X11Session::Idle(int n, int intervalMs) {
    for (int i = 0; i < n; ++i) {
        if (i && intervalMs) std::this_thread::sleep_for(std::chrono::milliseconds(intervalMs));
        host.Dispatch(effEditIdle);
    }
}

void X11Session::ClickEditor(int ex, int ey, int button) {
    d.Click(RootX(ex), RootY(ey), button);
}

bool X11Session::ScreenMatches(std::string* why) {
    Raster_IBitmap* bm = Gui()->GetDrawBitmap();
    const std::string diff = d.CompareWithBitmap(Window(), bm->getBits(), bm->getRowSpan(), Gui()->Width(),
                                                 Gui()->Height(), mScale);
    if (why) *why = diff;
    return diff.empty();
}

::testing::AssertionResult X11Session::ScreenSettles() {
    std::string why;
    for (int i = 0; i < 100; ++i) {
        if (ScreenMatches(&why)) return ::testing::AssertionSuccess();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return ::testing::AssertionFailure() << why;
}

std::vector<std::string> X11Session::ProbeLog() {
    std::vector<std::string> out;
    for (const std::string& l : plug->Log())
        if (l != "probe draw") out.push_back(l);
    return out;
}

bool X11Session::Logged(const std::string& line) {
    for (const std::string& l : plug->Log())
        if (l == line) return true;
    return false;
}
