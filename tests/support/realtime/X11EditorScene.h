#pragma once
// The editor scene on a real X server: the plug-in's editor embedded in a parent window of the test
// display as Linux hosts embed it, idled with effEditIdle every 10 ms from the host's user-interface
// thread (the calling thread) while a user thread drags its knobs with XTest pointer events, clicks its
// switch and double-clicks knobs back to their defaults. The audio thread runs and is timed meanwhile
// (RealtimeScenes.h). DISPLAY must name the server of the test display (XvfbServer sets it).
#include <string>
#include <vector>

#include "tests/support/realtime/RealtimeScenes.h"
#include "tests/support/x11/X11TestDisplay.h"

// Where the user presses, in editor pixels (scale 1).
struct EditorPoint {
    int x, y;
};
struct EditorTargets {
    std::vector<EditorPoint> knobs; // dragged up and down, and double-clicked, in turn
    EditorPoint toggle;             // clicked now and then
};

// Tidebloom's knobs (Sensitivity, Time, Depth, Vol) and its on/off switch, from its editor's layout.
EditorTargets TidebloomEditorTargets();

// False (with the reason in *pError) when the plug-in has no editor or it did not open in the parent.
bool RunX11EditorScene(TestHost& host, X11TestDisplay& display, const EditorTargets& targets,
                       const SceneOptions& options, SceneResult* pResult, std::string* pError);
