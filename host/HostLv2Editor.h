#pragma once
// HostLv2Editor: an LV2 plug-in's X11 UI, embedded as a host embeds it, for as long as the object lives.
// Open loads the UI's module (the first X11 UI the plug-in names), instantiates it inside the parent
// window with the features it may ask for (parent, resize, idle interface, touch, urid map and unmap,
// options, log) and tells it every control value; Idle sends it the control values that changed since
// (the parameters, the latency) and calls its idle interface. What the UI writes to a control input goes
// to the plug-in as a parameter change. Its size is the one it asks for through resize, else its
// window's. The destructor cleans the UI up and unloads its module. Main thread of the plug-in only;
// owned by its HostLv2Plugin, which outlives it.
#include <lv2/ui/ui.h>

#include <string>
#include <vector>

struct LilvWorldImpl;
struct LilvPluginImpl;
class HostLv2Plugin;

class HostLv2Editor {
public:
    // Whether the plug-in has an X11 UI whose module is there.
    static bool Available(LilvWorldImpl* world, const LilvPluginImpl* plugin);

    explicit HostLv2Editor(HostLv2Plugin& plugin) : mPlugin(plugin) {}
    ~HostLv2Editor();
    HostLv2Editor(const HostLv2Editor&) = delete;
    HostLv2Editor& operator=(const HostLv2Editor&) = delete;

    bool Open(unsigned long parent);
    void Idle();
    bool Size(int& w, int& h);

private:
    void SendChanges(bool all);

    HostLv2Plugin& mPlugin;
    void* mLibrary = nullptr;
    const LV2UI_Descriptor* mDescriptor = nullptr;
    LV2UI_Handle mHandle = nullptr;
    LV2UI_Widget mWidget = nullptr;
    LV2UI_Resize mResize{};
    LV2UI_Touch mTouch{};
    std::vector<LV2_Feature> mFeatures;
    std::vector<const LV2_Feature*> mFeatureList;
    int mW = 0, mH = 0;       // asked for through resize (0: not asked)
    std::vector<float> mSent; // per parameter, the value the UI was last told
    float mSentLatency = -1.0f;
};
