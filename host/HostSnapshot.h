#pragma once
// HostSnapshotEditor: a picture of a plug-in's editor, taken the way a host shows it.
//
// It opens a top-level X11 window of its own on the current display, sized from the editor's size
// (asked before and again after opening, as hosts do, for plug-ins that know their size only once
// open: VST 2's effEditGetRect, CLAP's gui get_size), opens the editor in it (effEditOpen; CLAP's gui
// create, set_parent and show) and then idles it every idleMs (effEditIdle; CLAP's timers and watched
// descriptors) while pumping its own events. After each idle call it grabs the window's pixels (XGetImage,
// child windows included); the editor has drawn when the picture has stayed the same for stableSeconds and is
// not one flat colour (a flat colour other than the window's own black is accepted once it has lasted
// flatSeconds). With a drag, the editor gets it as a user's (X events sent to the editor's own window
// under the point: a press, then moves) once it has drawn, and the picture is taken while the button is
// held. An editor still changing at the timeout (an animated one) gives its latest picture with
// stable false; one that left the window black is an error. The editor is closed and the window destroyed
// before returning.
//
// Errors are one line: no editor, no display (DISPLAY unset or unreachable), no size, an X error, or
// nothing drawn in time. A plug-in that never returns from a call cannot be interrupted from here:
// HostWatchdog ends the process then. Host thread only; installs its own X error handler while it runs.
#include "framework/util/Util_AtomicFile.h"
#include "host/HostEffect.h"

#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class Raster_MemBitmap;

// A drag on the editor before its picture is taken: the left button pressed at editor point (x, y) and
// moved dy pixels down (up when negative), held while the picture is taken.
struct HostSnapshotDrag {
    bool active = false;
    int x = 0, y = 0, dy = 0;
};

struct HostSnapshotOptions {
    double timeoutSeconds = 10.0;
    HostSnapshotDrag drag;
    int idleMs = 30;
    double stableSeconds = 0.8; // unchanged this long counts as drawn (editors may draw in stages)
    double flatSeconds = 1.5;
};

struct HostSnapshotResult {
    std::unique_ptr<Raster_MemBitmap> picture; // opaque pixels of the editor's window
    bool stable = true;                        // false: the editor kept changing until the timeout
};

bool HostSnapshotEditor(HostEffect& plugin, const HostSnapshotOptions& options, HostSnapshotResult& result,
                        std::string& err);

// The snapshot command's work: loads the plug-in, announces 44.1 kHz and 512-frame blocks, selects
// the program and applies the NAME=VALUE assignments as a render does, takes the picture (under a
// HostWatchdog reporting on watchdogErr) and writes it as PNG into output, which its owner
// (HostOutputs) opened before and commits after. summary describes what was written.
struct HostSnapshotRequest {
    std::string plugin, program;
    std::string pluginClass; // a VST 3 module's class by name ("": the first audio module)
    std::vector<std::string> assignments;
    double timeoutSeconds = 10.0;
    HostSnapshotDrag drag;
};
bool HostWriteEditorSnapshot(const HostSnapshotRequest& request, Util_AtomicFile& output,
                             std::FILE* watchdogErr, std::string& summary, std::string& err);

// Ends the process with the line "tidebloom-host: error: MESSAGE" on err and exit status 1 unless it
// is destroyed within `seconds`: for calls into a plug-in that may never return. The run's registered
// temporaries (HostInterrupt) are removed first.

class HostWatchdog {
public:
    HostWatchdog(double seconds, std::FILE* err, std::string message);
    ~HostWatchdog();
    HostWatchdog(const HostWatchdog&) = delete;
    HostWatchdog& operator=(const HostWatchdog&) = delete;

private:
    std::mutex mLock;
    std::condition_variable mWake;
    bool mDone = false;
    std::thread mThread;
};
