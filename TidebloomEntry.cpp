// The plug-in's exported entry functions: the host finds VSTPluginMain (or main) by name and calls it
// once per instance with its audioMaster callback. Both return the new instance's effect record, or
// null when it could not be created. Every instance comes with its editor on the X11 window host.
// Nothing else is exported from the shared object. Built once for Tidebloom.so and once, with
// TIDEBLOOM_PRECISE defined, for TidebloomPrecise.so.
#include "TidebloomWithEditor.h"

namespace {

IEffectVST* CreateTidebloom(const IEffectInstanceInfo& info) {
#ifdef TIDEBLOOM_PRECISE
    return TidebloomPreciseCreateWithEditor(info);
#else
    return TidebloomCreateWithEditor(info);
#endif
}

} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
    return VSTCreateInstance(host, CreateTidebloom);
}

// Older hosts look for "main"; it only calls VSTPluginMain. C++ reserves the name main for the
// program's own entry, so the function gets its exported name through an assembler label.
extern "C" __attribute__((visibility("default"))) AEffect*
VSTPluginMainAsMain(audioMasterCallback host) __asm__("main");

AEffect* VSTPluginMainAsMain(audioMasterCallback host) {
    return VSTPluginMain(host);
}
