// The VST 3 module's exported functions: the host finds GetPluginFactory, ModuleEntry and ModuleExit
// by name. GetPluginFactory hands out the module's one factory (made on first use, thread-safe), which
// describes the effect as an audio effect and creates its instances: each one the effect with its
// editor on the X11 window host, as the VST 2 plug-in's entry makes it. ModuleEntry and ModuleExit have
// nothing to set up or tear down: everything lives in the factory and the instances. Nothing else is
// exported from the shared object. Built once for Tidebloom.vst3 and once, with TIDEBLOOM_PRECISE
// defined, for TidebloomPrecise.vst3.
#include "TidebloomWithEditor.h"
#include "framework/vst3/IEffectVST3Factory.h"

namespace {

#ifdef TIDEBLOOM_PRECISE
const IEffectDescription& kDescription = kTidebloomPreciseDescription;
#else
const IEffectDescription& kDescription = kTidebloomDescription;
#endif

IEffectVST3* CreateTidebloom(const IEffectInstanceInfo& info) {
#ifdef TIDEBLOOM_PRECISE
    return TidebloomPreciseCreateWithEditor(info);
#else
    return TidebloomCreateWithEditor(info);
#endif
}

} // namespace

extern "C" __attribute__((visibility("default"))) v3_plugin_factory** GetPluginFactory() {
    static IEffectVST3Factory factory(kDescription, CreateTidebloom);
    return factory.Face();
}

extern "C" __attribute__((visibility("default"))) bool ModuleEntry(void*) {
    return true;
}

extern "C" __attribute__((visibility("default"))) bool ModuleExit() {
    return true;
}
