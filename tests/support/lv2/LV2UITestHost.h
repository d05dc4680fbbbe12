#pragma once
// LV2UITestHost: a small LV2 UI host for tests, with no plug-in behind it. It loads a UI module through
// lv2ui_descriptor (dlopen, as hosts do), instantiates the UI with the features a Linux host gives (a
// parent window, ui:resize, ui:touch, urid:map, and the options ui:updateRate and ui:scaleFactor, each
// optional) and records what the UI tells it: every value written to a port, every touch and every size
// it asks for. It sends port events, idles the UI and shows or hides it through its interfaces.
//
// Threads: one test thread (the host's user-interface thread) does everything; the records are read on
// it between calls. The host outlives the UI instance (the destructor cleans it up).
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include "tests/support/SharedLibrary.h"

// The UI shared object: lv2ui_descriptor looked up once it is open.
class LV2UILibrary : public SharedLibrary {
public:
    explicit LV2UILibrary(const char* path);
    // lv2ui_descriptor(index), null when the library did not load or has no such descriptor.
    const LV2UI_Descriptor* Descriptor(uint32_t index = 0) const;

private:
    LV2UI_DescriptorFunction mEntry = nullptr;
};

class LV2UITestHost {
public:
    struct Features {
        uintptr_t parent = 0; // ui:parent (an X window id); 0: not given
        bool resize = true;
        bool touch = true;
        bool map = true;
        float updateRate = 0.0f;  // ui:updateRate; 0: not given
        float scaleFactor = 0.0f; // ui:scaleFactor; 0: not given
    };
    struct Write {
        uint32_t port;
        float value;
    };
    struct Touch {
        uint32_t port;
        bool grabbed;
        bool operator==(const Touch&) const = default;
    };

    LV2UITestHost() = default;
    ~LV2UITestHost() { Cleanup(); }
    LV2UITestHost(const LV2UITestHost&) = delete;
    LV2UITestHost& operator=(const LV2UITestHost&) = delete;

    // Instantiates the UI for pluginURI; false when it answered null. The records start empty.
    bool Instantiate(const LV2UI_Descriptor* descriptor, const char* pluginURI, const Features& features);
    void Cleanup();
    LV2UI_Handle Handle() const { return mHandle; }
    // The widget the UI gave back (its X window id for an X11 UI).
    uintptr_t Widget() const { return reinterpret_cast<uintptr_t>(mWidget); }

    // A control value as the host reports it (format 0).
    void PortEvent(uint32_t port, float value);
    // The UI's idle, show and hide (-1 when it offers no such interface).
    int Idle();
    int Show();
    int Hide();
    // Idles at the host's rate (30 Hz) until pred() holds, at most maxCalls times: the calls it took,
    // or -1 when it never held.
    template <class F>
    int IdleUntil(F pred, int maxCalls = 60);

    const std::vector<Write>& Writes() const { return mWrites; }
    const std::vector<Touch>& Touches() const { return mTouches; }
    const std::vector<std::pair<int, int>>& Sizes() const { return mSizes; }
    // The values written to one port, in order.
    std::vector<float> WritesTo(uint32_t port) const;
    void ClearRecords();

    static constexpr int kIdleMs = 33; // 30 Hz

private:
    static void WriteFn(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol,
                        const void* buffer);
    static void TouchFn(LV2UI_Feature_Handle handle, uint32_t port, bool grabbed);
    static int ResizeFn(LV2UI_Feature_Handle handle, int w, int h);
    static LV2_URID MapFn(LV2_URID_Map_Handle handle, const char* uri);
    void SleepIdlePeriod();

    const LV2UI_Descriptor* mDescriptor = nullptr;
    LV2UI_Handle mHandle = nullptr;
    LV2UI_Widget mWidget = nullptr;
    std::vector<Write> mWrites;
    std::vector<Touch> mTouches;
    std::vector<std::pair<int, int>> mSizes;

    std::map<std::string, uint32_t> mUrids;
    LV2_URID_Map mMap{this, MapFn};
    LV2UI_Touch mTouch{this, TouchFn};
    LV2UI_Resize mResize{this, ResizeFn};
    float mUpdateRate = 0.0f, mScaleFactor = 0.0f;
    std::vector<LV2_Options_Option> mOptions;
    std::vector<LV2_Feature> mFeatureData;
    std::vector<const LV2_Feature*> mFeatures;
};

template <class F>
int LV2UITestHost::IdleUntil(F pred, int maxCalls) {
    for (int i = 0; i <= maxCalls; ++i) {
        if (pred()) return i;
        if (i == maxCalls) break;
        Idle();
        SleepIdlePeriod();
    }
    return -1;
}
