#pragma once
// The VST 2 and VST 3 builds' instance: the effect with its editor (Graphics/) on the X11 window host.
// The plug-in's entry function (or factory) creates every instance through it, and so do the tests and
// tools that want the plug-in as a host gets it. The effect itself knows no editor.
//
// Called where the binding's entry creates an instance (under its creation lock); builds the editor
// without opening a window or touching an X display (the window opens only when the host opens the
// editor) and attaches it (the plug-in owns it from then on).
#include "Tidebloom.h"

Tidebloom* TidebloomCreateWithEditor(const IEffectInstanceInfo& info);
