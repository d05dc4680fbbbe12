// The CLAP plug-in's exported entry: the host finds clap_entry by name, calls init with the module's
// path, asks get_factory for the plug-in factory and creates instances through it. The factory has
// one descriptor, Tidebloom's, made on first use (thread-safe) from the effect's description. Every
// instance comes with its editor on the X11 window host, as the VST 2 plug-in's does. Nothing else is
// exported from the shared object.
#include <clap/entry.h>
#include <clap/plugin-factory.h>

#include <cstring>

#include "TidebloomWithEditor.h"
#include "framework/clap/ClapDescriptor.h"

namespace {

IEffectCLAP* CreateTidebloom(const IEffectInstanceInfo& info) {
    return TidebloomCreateWithEditor(info);
}

const clap_plugin_descriptor_t* Descriptor() {
    static const ClapDescriptor descriptor(kTidebloomDescription);
    return descriptor.Get();
}

uint32_t PluginCount(const clap_plugin_factory_t*) {
    return 1;
}

const clap_plugin_descriptor_t* PluginDescriptor(const clap_plugin_factory_t*, uint32_t index) {
    return index == 0 ? Descriptor() : nullptr;
}

const clap_plugin_t* CreatePlugin(const clap_plugin_factory_t*, const clap_host_t* host,
                                  const char* pluginId) {
    return CLAPCreateInstance(kTidebloomDescription, Descriptor(), CreateTidebloom, host, pluginId);
}

const clap_plugin_factory_t kFactory = {PluginCount, PluginDescriptor, CreatePlugin};

bool Init(const char*) {
    return true;
}

void Deinit() {}

const void* GetFactory(const char* factoryId) {
    return factoryId && !std::strcmp(factoryId, CLAP_PLUGIN_FACTORY_ID) ? &kFactory : nullptr;
}

} // namespace

extern "C" CLAP_EXPORT const clap_plugin_entry_t clap_entry = {CLAP_VERSION_INIT, Init, Deinit, GetFactory};
