#include "tests/support/lv2/LV2UITestHost.h"

#include <chrono>
#include <thread>

#include <lv2/atom/atom.h>

LV2UILibrary::LV2UILibrary(const char* path)
    : SharedLibrary(path), mEntry(Function<LV2UI_DescriptorFunction>("lv2ui_descriptor")) {}

const LV2UI_Descriptor* LV2UILibrary::Descriptor(uint32_t index) const {
    return mEntry ? mEntry(index) : nullptr;
}

LV2_URID LV2UITestHost::MapFn(LV2_URID_Map_Handle handle, const char* uri) {
    auto& urids = static_cast<LV2UITestHost*>(handle)->mUrids;
    return urids.emplace(uri, static_cast<uint32_t>(urids.size() + 1)).first->second;
}

void LV2UITestHost::WriteFn(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol,
                            const void* buffer) {
    auto* host = static_cast<LV2UITestHost*>(controller);
    // Anything but one float in the float protocol is recorded as NaN, which no check accepts.
    float v = __builtin_nanf("");
    if (protocol == 0 && size == sizeof(float) && buffer) v = *static_cast<const float*>(buffer);
    host->mWrites.push_back({port, v});
}

void LV2UITestHost::TouchFn(LV2UI_Feature_Handle handle, uint32_t port, bool grabbed) {
    static_cast<LV2UITestHost*>(handle)->mTouches.push_back({port, grabbed});
}

int LV2UITestHost::ResizeFn(LV2UI_Feature_Handle handle, int w, int h) {
    static_cast<LV2UITestHost*>(handle)->mSizes.emplace_back(w, h);
    return 0;
}

bool LV2UITestHost::Instantiate(const LV2UI_Descriptor* descriptor, const char* pluginURI,
                                const Features& f) {
    Cleanup();
    ClearRecords();
    mDescriptor = descriptor;
    if (!descriptor) return false;
    mUpdateRate = f.updateRate;
    mScaleFactor = f.scaleFactor;
    mOptions.clear();
    auto option = [&](const char* key, const float* value) {
        mOptions.push_back(
            {LV2_OPTIONS_INSTANCE, 0, MapFn(this, key), sizeof(float), MapFn(this, LV2_ATOM__Float), value});
    };
    if (f.updateRate > 0.0f) option(LV2_UI__updateRate, &mUpdateRate);
    if (f.scaleFactor > 0.0f) option(LV2_UI__scaleFactor, &mScaleFactor);
    mOptions.push_back({LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr});

    // The idle interface feature tells the UI the host will call idle.
    mFeatureData.clear();
    mFeatureData.push_back({LV2_UI__idleInterface, nullptr});
    if (f.parent) mFeatureData.push_back({LV2_UI__parent, reinterpret_cast<void*>(f.parent)});
    if (f.resize) mFeatureData.push_back({LV2_UI__resize, &mResize});
    if (f.touch) mFeatureData.push_back({LV2_UI__touch, &mTouch});
    if (f.map) {
        mFeatureData.push_back({LV2_URID__map, &mMap});
        mFeatureData.push_back({LV2_OPTIONS__options, mOptions.data()});
    }
    mFeatures.clear();
    for (const LV2_Feature& feature : mFeatureData) mFeatures.push_back(&feature);
    mFeatures.push_back(nullptr);
    mWidget = nullptr;
    mHandle = descriptor->instantiate(descriptor, pluginURI, "/nonexistent/bundle/", WriteFn, this, &mWidget,
                                      mFeatures.data());
    return mHandle != nullptr;
}

void LV2UITestHost::Cleanup() {
    if (!mHandle) return;
    mDescriptor->cleanup(mHandle);
    mHandle = nullptr;
    mWidget = nullptr;
}

void LV2UITestHost::PortEvent(uint32_t port, float value) {
    if (mHandle && mDescriptor->port_event) mDescriptor->port_event(mHandle, port, sizeof(float), 0, &value);
}

int LV2UITestHost::Idle() {
    const auto* idle =
        mDescriptor && mDescriptor->extension_data
            ? static_cast<const LV2UI_Idle_Interface*>(mDescriptor->extension_data(LV2_UI__idleInterface))
            : nullptr;
    return mHandle && idle ? idle->idle(mHandle) : -1;
}

int LV2UITestHost::Show() {
    const auto* show =
        mDescriptor && mDescriptor->extension_data
            ? static_cast<const LV2UI_Show_Interface*>(mDescriptor->extension_data(LV2_UI__showInterface))
            : nullptr;
    return mHandle && show ? show->show(mHandle) : -1;
}

int LV2UITestHost::Hide() {
    const auto* show =
        mDescriptor && mDescriptor->extension_data
            ? static_cast<const LV2UI_Show_Interface*>(mDescriptor->extension_data(LV2_UI__showInterface))
            : nullptr;
    return mHandle && show ? show->hide(mHandle) : -1;
}

std::vector<float> LV2UITestHost::WritesTo(uint32_t port) const {
    std::vector<float> out;
    for (const Write& w : mWrites)
        if (w.port == port) out.push_back(w.value);
    return out;
}

void LV2UITestHost::ClearRecords() {
    mWrites.clear();
    mTouches.clear();
    mSizes.clear();
}

void LV2UITestHost::SleepIdlePeriod() {
    std::this_thread::sleep_for(std::chrono::milliseconds(kIdleMs));
}
