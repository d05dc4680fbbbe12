#pragma once
// The VST 2 and CLAP builds' instance: the effect with its editor (Graphics/) on the X11 window host.
// The plug-in's entry function creates every instance through it, and so do the tests and tools that
// want the plug-in as a host gets it. The effect itself knows no editor.
//
// Called where the binding's entry creates an instance (under its creation lock); builds the editor
// without opening a window or touching an X display (the window opens only when the host asks: VST 2's
// effEditOpen, CLAP's gui set_parent or show) and attaches it (the plug-in owns it from then on).
#include "Tidebloom.h"

Tidebloom* TidebloomCreateWithEditor(const IEffectInstanceInfo& info);
