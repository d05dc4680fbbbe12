#include "tests/support/lv2/LV2TestHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>

LV2Library::LV2Library(const char* path)
    : SharedLibrary(path), mEntry(Function<LV2_Descriptor_Function>("lv2_descriptor")) {}

const LV2_Descriptor* LV2Library::Descriptor(uint32_t index) const {
    return mEntry ? mEntry(index) : nullptr;
}

LV2TestHost::LV2TestHost(int nParams)
    : mAudio(4, std::vector<float>(kMaxFrames, 0.0f)), mControls(static_cast<size_t>(nParams), 0.0f) {
    mMap.handle = this;
    mMap.map = MapCallback;
}

LV2TestHost::~LV2TestHost() {
    Cleanup();
}

LV2_URID LV2TestHost::MapCallback(LV2_URID_Map_Handle handle, const char* uri) {
    return static_cast<LV2TestHost*>(handle)->Map(uri);
}

uint32_t LV2TestHost::Map(const char* uri) {
    std::lock_guard<std::mutex> lock(mMapLock);
    auto [it, added] = mUrids.emplace(uri, static_cast<uint32_t>(mUrids.size() + 1));
    (void)added;
    return it->second;
}

bool LV2TestHost::Instantiate(const LV2_Descriptor* descriptor, double sampleRate, int maxBlock,
                              bool withMap) {
    Cleanup();
    mDescriptor = descriptor;
    if (!descriptor) return false;
    mFeatures.clear();
    if (withMap) {
        mMapFeature = {LV2_URID__map, &mMap};
        mFeatures.push_back(&mMapFeature);
    }
    if (maxBlock > 0 && withMap) {
        mMaxBlock = maxBlock;
        mOptions = {{LV2_OPTIONS_INSTANCE, 0, Map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
                     Map(LV2_ATOM__Int), &mMaxBlock},
                    {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
        mOptionsFeature = {LV2_OPTIONS__options, mOptions.data()};
        mFeatures.push_back(&mOptionsFeature);
    }
    mFeatures.push_back(nullptr);
    mHandle = descriptor->instantiate(descriptor, sampleRate, "/nonexistent/bundle/", mFeatures.data());
    if (!mHandle) return false;
    for (uint32_t c = 0; c < 4; ++c) descriptor->connect_port(mHandle, c, mAudio[c].data());
    for (size_t i = 0; i < mControls.size(); ++i)
        descriptor->connect_port(mHandle, static_cast<uint32_t>(4 + i), &mControls[i]);
    descriptor->connect_port(mHandle, LatencyPort(), &mLatency);
    return true;
}

void LV2TestHost::Activate() {
    if (mHandle && !mActive && mDescriptor->activate) mDescriptor->activate(mHandle);
    mActive = mHandle != nullptr;
}

void LV2TestHost::Deactivate() {
    if (mHandle && mActive && mDescriptor->deactivate) mDescriptor->deactivate(mHandle);
    mActive = false;
}

void LV2TestHost::Cleanup() {
    if (!mHandle) return;
    Deactivate();
    mDescriptor->cleanup(mHandle);
    mHandle = nullptr;
}

void LV2TestHost::ConnectPort(uint32_t port, void* data) {
    mDescriptor->connect_port(mHandle, port, data);
}

void LV2TestHost::Run(uint32_t nFrames) {
    mDescriptor->run(mHandle, nFrames);
}

void LV2TestHost::Process(const std::vector<float>& in0, const std::vector<float>& in1,
                          std::vector<float>& out0, std::vector<float>& out1, int blockSize) {
    const size_t n = in0.size();
    out0.assign(n, 0.0f);
    out1.assign(n, 0.0f);
    for (size_t done = 0; done < n;) {
        const size_t len = std::min(n - done, static_cast<size_t>(std::min(blockSize, kMaxFrames)));
        std::copy_n(in0.begin() + static_cast<long>(done), len, In(0));
        std::copy_n(in1.begin() + static_cast<long>(done), len, In(1));
        Run(static_cast<uint32_t>(len));
        std::copy_n(Out(0), len, out0.begin() + static_cast<long>(done));
        std::copy_n(Out(1), len, out1.begin() + static_cast<long>(done));
        done += len;
    }
}

const LV2_State_Interface* LV2TestHost::StateInterface() const {
    if (!mDescriptor || !mDescriptor->extension_data) return nullptr;
    return static_cast<const LV2_State_Interface*>(mDescriptor->extension_data(LV2_STATE__interface));
}

LV2_State_Status LV2TestHost::Store(LV2_State_Handle handle, uint32_t key, const void* value, size_t size,
                                    uint32_t type, uint32_t flags) {
    State* state = static_cast<State*>(handle);
    const uint8_t* bytes = static_cast<const uint8_t*>(value);
    (*state)[key] = Property{std::vector<uint8_t>(bytes, bytes + size), type, flags};
    return LV2_STATE_SUCCESS;
}

const void* LV2TestHost::Retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                                  uint32_t* flags) {
    const State* state = static_cast<const State*>(handle);
    auto it = state->find(key);
    if (it == state->end()) return nullptr;
    if (size) *size = it->second.mBytes.size();
    if (type) *type = it->second.mType;
    if (flags) *flags = it->second.mFlags;
    return it->second.mBytes.data();
}

LV2_State_Status LV2TestHost::Save(State* state) {
    const LV2_State_Interface* iface = StateInterface();
    if (!iface) return LV2_STATE_ERR_UNKNOWN;
    const LV2_Feature* none[] = {nullptr};
    return iface->save(mHandle, Store, state, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, none);
}

LV2_State_Status LV2TestHost::Restore(const State& state) {
    const LV2_State_Interface* iface = StateInterface();
    if (!iface) return LV2_STATE_ERR_UNKNOWN;
    const LV2_Feature* none[] = {nullptr};
    return iface->restore(mHandle, Retrieve, const_cast<State*>(&state), 0, none);
}
