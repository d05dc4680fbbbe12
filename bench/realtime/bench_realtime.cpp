// How long a VST 2 plug-in's audio callbacks take while the host works on its other threads, and whether
// they wait for it. Each scene runs 512-frame blocks (processReplacing, 44.1 kHz stereo) on an audio thread
// of their own at the block period, timed on the monotonic clock, while:
// - editor-x11: the plug-in's editor, embedded in a window of a private Xvfb and idled every 10 ms, has
//   its knobs dragged (at the points where Tidebloom's knobs are), its switch clicked and knobs
//   double-clicked through XTest;
// - editor-headless: the same on the headless editor of a built-in test effect (not the plug-in given),
//   driven by editor calls from the editor's thread;
// - chunks: programs are switched and program and bank chunks saved and loaded from a host thread;
// - automation: every parameter is set (setParameter) and set from a text (effString2Parameter).
// Each scene runs once with the host answering its notifications at once and once with each taking
// 50 ms on any thread but the audio thread (a busy host user interface). Per scene: blocks processed,
// the longest callback, the 99th percentile, and the callbacks longer than the block period (11.6 ms).
//
//   bench_realtime [PLUGIN.so] [--seconds S] [--delays MS,MS,...] [--scenes NAME,NAME,...]
//
// The plug-in defaults to the built Tidebloom.so; S (default 3) is each scene's length.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/editor/EditorTestEffect.h"
#include "tests/support/realtime/X11EditorScene.h"
#include "tests/support/vst2/Conformance.h"
#include "tests/support/x11/XvfbServer.h"

namespace {

struct Options {
    std::string plugin = TIDEBLOOM_SO_PATH;
    double seconds = 3.0;
    std::vector<int> delays = {0, 50};
    std::vector<std::string> scenes = {"editor-x11", "editor-headless", "chunks", "automation"};
};

std::vector<std::string> SplitCommas(const char* s) {
    std::vector<std::string> out;
    std::stringstream in(s);
    for (std::string item; std::getline(in, item, ',');)
        if (!item.empty()) out.push_back(item);
    return out;
}

bool ParseArgs(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--seconds") && hasValue) {
            o->seconds = std::atof(argv[++i]);
            if (!(o->seconds > 0.0)) return false;
        } else if (!std::strcmp(argv[i], "--delays") && hasValue) {
            o->delays.clear();
            for (const std::string& d : SplitCommas(argv[++i])) o->delays.push_back(std::atoi(d.c_str()));
        } else if (!std::strcmp(argv[i], "--scenes") && hasValue) {
            o->scenes = SplitCommas(argv[++i]);
        } else if (argv[i][0] != '-') {
            o->plugin = argv[i];
        } else {
            return false;
        }
    }
    return true;
}

// One scene at one delay on a fresh instance; false (with the reason) when it could not run.
bool RunOne(const std::string& scene, VstPluginEntryProc entry, X11TestDisplay* display,
            const SceneOptions& so, SceneResult* result, std::string* why) {
    TestHost host;
    if (!host.Load(scene == "editor-headless" ? EditorTestEffect::Entry : entry)) {
        *why = "the entry function made no effect";
        return false;
    }
    host.Open(static_cast<float>(so.sampleRate), so.blockFrames);
    bool ok = true;
    if (scene == "editor-x11") {
        if (display)
            ok = RunX11EditorScene(host, *display, TidebloomEditorTargets(), so, result, why);
        else
            ok = false, *why = "no X server";
    } else if (scene == "editor-headless") {
        *result = RunHeadlessEditorScene(host, so);
    } else if (scene == "chunks") {
        *result = RunChunkScene(host, so);
    } else if (scene == "automation") {
        *result = RunAutomationScene(host, so);
    } else {
        ok = false, *why = "no such scene";
    }
    host.Close();
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseArgs(argc, argv, &o)) {
        std::fprintf(stderr,
                     "usage: bench_realtime [PLUGIN.so] [--seconds S] [--delays MS,...] [--scenes NAME,...]\n"
                     "scenes: editor-x11, editor-headless, chunks, automation\n");
        return 2;
    }
    PluginLibrary lib(o.plugin.c_str());
    if (!lib.IsLoaded() || !lib.PluginMain()) {
        std::fprintf(stderr, "bench_realtime: %s: %s\n", o.plugin.c_str(),
                     lib.IsLoaded() ? "no VSTPluginMain" : lib.Error());
        return 1;
    }
    XvfbServer server;
    std::unique_ptr<X11TestDisplay> display;
    std::string xError;
    if (server.Start(24, true, &xError)) {
        display = std::make_unique<X11TestDisplay>();
        if (!display->Ok()) display.reset(), xError = "no connection to Xvfb";
    }

    SceneOptions so;
    so.length = std::chrono::milliseconds(static_cast<long>(o.seconds * 1000.0));
    std::printf("%s\n%d-frame blocks at %.1f kHz (period %.2f ms) on their own thread, %.1f s per scene\n\n",
                o.plugin.c_str(), so.blockFrames, so.sampleRate / 1000.0,
                1000.0 * so.blockFrames / so.sampleRate, o.seconds);
    std::printf("%-16s %9s %7s %12s %9s %10s %14s\n", "scene", "host wait", "blocks", "longest ms", "p99 ms",
                "> period", "notifications");
    for (const std::string& scene : o.scenes) {
        for (int delay : o.delays) {
            so.uiDelay = std::chrono::milliseconds(delay);
            SceneResult r;
            std::string why;
            if (!RunOne(scene, lib.PluginMain(), display.get(), so, &r, &why)) {
                std::printf("%-16s %6d ms  skipped: %s%s%s\n", scene.c_str(), delay, why.c_str(),
                            xError.empty() ? "" : ": ", xError.c_str());
                continue;
            }
            std::printf("%-16s %6d ms %7d %12.2f %9.2f %10d %14ld\n", scene.c_str(), delay, r.audio.blocks,
                        r.audio.longestMs, r.audio.p99Ms, r.audio.overPeriod, r.uiNotifications);
            std::fflush(stdout);
        }
    }
    for (const std::string& scene : o.scenes)
        if (scene == "editor-headless") std::printf("\neditor-headless runs on the built-in test effect.\n");
    return 0;
}
