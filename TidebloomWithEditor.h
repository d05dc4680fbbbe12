#pragma once
// The VST 2 build's instances: each effect with its editor (Graphics/) on the X11 window host. The
// plug-ins' entry functions create every instance through these, and so do the tests and tools that
// want a plug-in as a host gets it. The effects themselves know no editor.
//
// Called where the binding's entry creates an instance (under its creation lock); builds the editor
// without opening a window or touching an X display (the window opens only at the host's effEditOpen)
// and attaches it (the plug-in owns it from then on).
#include "Tidebloom.h"
#include "TidebloomPrecise.h"

Tidebloom* TidebloomCreateWithEditor(const IEffectInstanceInfo& info);
// The same editor over Tidebloom Precise's background, which names it.
TidebloomPrecise* TidebloomPreciseCreateWithEditor(const IEffectInstanceInfo& info);
