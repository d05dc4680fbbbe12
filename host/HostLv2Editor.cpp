#include "host/HostLv2Editor.h"

#include <X11/Xlib.h>
#include <dlfcn.h>
#include <lilv/lilv.h>

#include <cstdlib>
#include <cstring>

#include "host/HostLv2Host.h"
#include "host/HostLv2Plugin.h"
#include "host/HostXWindow.h"

namespace {

struct UiFiles {
    std::string uri, binary, bundle;
};

std::string FilePath(const LilvNode* uri) {
    char* path = uri ? lilv_file_uri_parse(lilv_node_as_uri(uri), nullptr) : nullptr;
    const std::string s = path ? path : "";
    lilv_free(path);
    return s;
}

// The plug-in's first X11 UI with a module on disk.
bool FindUi(LilvWorld* world, const LilvPlugin* plugin, UiFiles& out) {
    LilvNode* x11 = lilv_new_uri(world, LV2_UI__X11UI);
    LilvUIs* uis = lilv_plugin_get_uis(plugin);
    bool found = false;
    LILV_FOREACH(uis, it, uis) {
        const LilvUI* ui = lilv_uis_get(uis, it);
        if (!lilv_ui_is_a(ui, x11)) continue;
        out = {lilv_node_as_uri(lilv_ui_get_uri(ui)), FilePath(lilv_ui_get_binary_uri(ui)),
               FilePath(lilv_ui_get_bundle_uri(ui))};
        if (!out.binary.empty()) {
            found = true;
            break;
        }
    }
    lilv_uis_free(uis);
    lilv_node_free(x11);
    return found;
}

} // namespace

bool HostLv2Editor::Available(LilvWorldImpl* world, const LilvPluginImpl* plugin) {
    UiFiles files;
    return FindUi(world, plugin, files);
}

HostLv2Editor::~HostLv2Editor() {
    if (mHandle && mDescriptor->cleanup) mDescriptor->cleanup(mHandle);
    if (mLibrary) dlclose(mLibrary);
}

bool HostLv2Editor::Open(unsigned long parent) {
    UiFiles files;
    if (!FindUi(mPlugin.mWorld, mPlugin.mPlugin, files)) return false;
    mLibrary = dlopen(files.binary.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto entry =
        mLibrary ? reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(mLibrary, "lv2ui_descriptor")) : nullptr;
    for (uint32_t i = 0; entry && !mDescriptor; ++i) {
        const LV2UI_Descriptor* d = entry(i);
        if (!d) break;
        if (d->URI && files.uri == d->URI) mDescriptor = d;
    }
    if (!mDescriptor || !mDescriptor->instantiate) return false;
    mResize = {this, [](LV2UI_Feature_Handle h, int w, int hgt) {
                   auto* self = static_cast<HostLv2Editor*>(h);
                   self->mW = w;
                   self->mH = hgt;
                   return 0;
               }};
    mTouch = {this, [](LV2UI_Feature_Handle, uint32_t, bool) {}};
    HostLv2Host& host = *mPlugin.mHost;
    mFeatures = {{LV2_UI__parent, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))},
                 {LV2_UI__resize, &mResize},
                 {LV2_UI__idleInterface, nullptr},
                 {LV2_UI__touch, &mTouch}};
    for (const LV2_Feature* const* f = host.Features(); *f; ++f) mFeatures.push_back(**f);
    for (const LV2_Feature& f : mFeatures) mFeatureList.push_back(&f);
    mFeatureList.push_back(nullptr);
    const std::string bundle =
        files.bundle.empty() || files.bundle.back() == '/' ? files.bundle : files.bundle + "/";
    const std::string pluginUri = mPlugin.Uri();
    mHandle = mDescriptor->instantiate(
        mDescriptor, pluginUri.c_str(), bundle.c_str(),
        [](LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer) {
            auto* self = static_cast<HostLv2Editor*>(controller);
            if (protocol != 0 || size != sizeof(float) || !buffer) return;
            float v = 0.0f;
            std::memcpy(&v, buffer, sizeof v);
            const auto& params = self->mPlugin.Params();
            for (size_t k = 0; k < params.size(); ++k)
                if (params[k].port == port) {
                    self->mPlugin.SetParam(static_cast<int>(k), v);
                    if (k < self->mSent.size()) self->mSent[k] = v; // the UI knows what it wrote
                }
        },
        this, &mWidget, mFeatureList.data());
    if (!mHandle) return false;
    SendChanges(true);
    return true;
}

void HostLv2Editor::SendChanges(bool all) {
    if (!mHandle || !mDescriptor->port_event) return;
    const auto& params = mPlugin.Params();
    mSent.resize(params.size(), 0.0f);
    for (size_t k = 0; k < params.size(); ++k) {
        const float v = mPlugin.ParamValue(static_cast<int>(k));
        if (!all && v == mSent[k]) continue;
        mSent[k] = v;
        mDescriptor->port_event(mHandle, params[k].port, sizeof(float), 0, &v);
    }
    const float latency = static_cast<float>(mPlugin.Latency());
    if (mPlugin.mLatencyPort >= 0 && (all || latency != mSentLatency)) {
        mSentLatency = latency;
        mDescriptor->port_event(mHandle, static_cast<uint32_t>(mPlugin.mLatencyPort), sizeof(float), 0,
                                &latency);
    }
}

void HostLv2Editor::Idle() {
    if (!mHandle) return;
    SendChanges(false);
    const auto* idle =
        mDescriptor->extension_data
            ? static_cast<const LV2UI_Idle_Interface*>(mDescriptor->extension_data(LV2_UI__idleInterface))
            : nullptr;
    if (idle && idle->idle) idle->idle(mHandle);
}

bool HostLv2Editor::Size(int& w, int& h) {
    if (mW > 0 && mH > 0) {
        w = mW;
        h = mH;
        return true;
    }
    if (!mWidget) return false;
    // The UI did not say: its window's size, asked on a connection of our own.
    Display* d = XOpenDisplay(nullptr);
    if (!d) return false;
    HostXErrorTrap trap; // a widget that is no window is an error, not the end
    Window root = 0;
    int x = 0, y = 0;
    unsigned gw = 0, gh = 0, border = 0, depth = 0;
    const bool ok = XGetGeometry(d, static_cast<Window>(reinterpret_cast<uintptr_t>(mWidget)), &root, &x, &y,
                                 &gw, &gh, &border, &depth) != 0;
    XCloseDisplay(d);
    if (!ok || gw < 1 || gh < 1) return false;
    w = static_cast<int>(gw);
    h = static_cast<int>(gh);
    return true;
}
