#pragma once
// LV2TestHost: a small in-process LV2 host for tests. It instantiates one plug-in from a descriptor
// with a URID map and (optionally) the buf-size options, owns a buffer for every port of a stereo
// effect with parameters (two audio inputs and outputs, one control value per parameter, the latency
// output), and afterwards talks to the plug-in only through the descriptor and its state interface,
// as a real host does. Saved state is kept in a map of properties the way a host stores it.
//
// Threads: the URID map takes its own lock (plug-ins may map from any thread); everything else is
// used from the threads the LV2 threading rules allow for the call. The host outlives the instance
// (the destructor deactivates and cleans up).
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include "tests/support/SharedLibrary.h"

// The LV2 plug-in shared object: lv2_descriptor looked up once it is open.
class LV2Library : public SharedLibrary {
public:
    explicit LV2Library(const char* path);

    // Why the library cannot be used ("no lv2_descriptor" when it loaded without one); empty when it can.
    const char* Error() const { return IsLoaded() && !mEntry ? "no lv2_descriptor" : SharedLibrary::Error(); }
    // lv2_descriptor(index), null when the library did not load or has no such descriptor.
    const LV2_Descriptor* Descriptor(uint32_t index = 0) const;

private:
    LV2_Descriptor_Function mEntry = nullptr;
};

class LV2TestHost {
public:
    // One stored state property.
    struct Property {
        std::vector<uint8_t> mBytes;
        uint32_t mType = 0;
        uint32_t mFlags = 0;
    };
    using State = std::map<uint32_t, Property>;

    // Port indices of the plug-in: in L, in R, out L, out R, nParams controls, latency.
    explicit LV2TestHost(int nParams = 5);
    ~LV2TestHost();
    LV2TestHost(const LV2TestHost&) = delete;
    LV2TestHost& operator=(const LV2TestHost&) = delete;

    // Instantiates (features: urid:map, and buf-size options when maxBlock > 0) and connects every
    // port to this host's buffers. False when the plug-in refused.
    bool Instantiate(const LV2_Descriptor* descriptor, double sampleRate, int maxBlock = 0,
                     bool withMap = true);
    LV2_Handle Handle() const { return mHandle; }
    const LV2_Descriptor* Descriptor() const { return mDescriptor; }
    void Activate();
    void Deactivate();
    // Deactivates when active and cleans the instance up.
    void Cleanup();

    // Control values the next run reads.
    void SetControl(int param, float value) { mControls[static_cast<size_t>(param)] = value; }
    float Control(int param) const { return mControls[static_cast<size_t>(param)]; }
    float Latency() const { return mLatency; }
    // Port connections other than this host's own buffers (null disconnects an optional port).
    void ConnectPort(uint32_t port, void* data);
    uint32_t LatencyPort() const { return static_cast<uint32_t>(4 + mControls.size()); }

    // Runs the stereo signal through the plug-in in blocks of blockSize frames (the last may be
    // shorter), copying each block into and out of the host's port buffers; returns the outputs.
    void Process(const std::vector<float>& in0, const std::vector<float>& in1, std::vector<float>& out0,
                 std::vector<float>& out1, int blockSize);
    // One run on the current port buffers (each kMaxFrames long).
    void Run(uint32_t nFrames);
    static constexpr int kMaxFrames = 8192;
    float* In(int c) { return mAudio[static_cast<size_t>(c)].data(); }
    float* Out(int c) { return mAudio[static_cast<size_t>(2 + c)].data(); }

    // The plug-in's state interface (null when it has none) and the host's side of save and restore.
    const LV2_State_Interface* StateInterface() const;
    LV2_State_Status Save(State* state);
    LV2_State_Status Restore(const State& state);

    // The URID map the plug-in received.
    uint32_t Map(const char* uri);

private:
    static LV2_URID MapCallback(LV2_URID_Map_Handle handle, const char* uri);
    static LV2_State_Status Store(LV2_State_Handle handle, uint32_t key, const void* value, size_t size,
                                  uint32_t type, uint32_t flags);
    static const void* Retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                                uint32_t* flags);

    const LV2_Descriptor* mDescriptor = nullptr;
    LV2_Handle mHandle = nullptr;
    bool mActive = false;
    std::vector<std::vector<float>> mAudio; // in L, in R, out L, out R
    std::vector<float> mControls;
    float mLatency = -1.0f;

    std::mutex mMapLock;
    std::map<std::string, uint32_t> mUrids;
    LV2_URID_Map mMap;
    int32_t mMaxBlock = 0;
    std::vector<LV2_Options_Option> mOptions;
    LV2_Feature mMapFeature;
    LV2_Feature mOptionsFeature;
    std::vector<const LV2_Feature*> mFeatures;
};
