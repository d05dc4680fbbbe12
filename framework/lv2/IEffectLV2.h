#pragma once
// IEffectLV2: turns the host-independent plug-in object (IEffectBase) into an LV2 plug-in instance,
// in the role IEffectVST plays for VST 2. It implements the descriptor's functions (instantiate
// through LV2CreateInstance, connect_port, activate, run, deactivate, cleanup, extension_data) and
// the state interface. Ports follow LV2PortLayout: audio in, audio out, one control input per
// parameter (plain values in the parameter's range), and the latency output.
//
// Threads and locks (LV2's threading classes): instantiate, activate, deactivate, cleanup and state
// restore never overlap anything else on the instance; connect_port and run come from the audio
// thread; state save may overlap run. run holds the plug-in mutex (mMutex, recursive) for the block and
// maps the control values that changed first; everything else that takes it holds it only for a
// moment of mapping or swapping prepared buffers, so run never waits long. State save reads the
// parameters' atomics and takes no lock; state restore parses and checks the chunk before it hands the
// values over in one short hold of the mutex. The latency reaches the host through the latency port,
// written by run. run allocates nothing, prints nothing and calls no host function. No C++ exception
// leaves a descriptor function.
//
// Ownership: the host owns the port buffers; the instance only keeps their addresses. The instance is
// created by LV2CreateInstance and deleted by cleanup.
//
// Untrusted host values are made safe here: control values are mapped into a parameter only when they
// changed since the last run; NaN changes nothing and values outside the range clamp (the VST 2
// binding's rules), so nothing non-finite reaches a parameter. An input after the first that the host
// leaves unconnected (a mono track) reads the first input; an unconnected first input reads silence;
// an unconnected output is not written. A damaged or foreign state is refused and changes nothing.
#include <cstdint>

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include "framework/lv2/LV2PortLayout.h"
#include "framework/plugin/IEffectBase.h"

// What instantiate hands the plug-in constructor.
struct IEffectInstanceInfo {
    const char* mBundlePath = nullptr;
    const LV2_Feature* const* mFeatures = nullptr; // null-terminated; may be null
};

class IEffectLV2 : public IEffectBase {
public:
    // Constructs the base from the description (API LV2), connects every channel, takes the host's
    // largest block (buf-size options, else 1024; at most kMaxBlockSize) as block size and maps the
    // URIDs the state interface needs (when the host offers urid:map). The sample rate is set by
    // LV2CreateInstance once the effect is complete, as a VST 2 host sets it after creation.
    IEffectLV2(const IEffectInstanceInfo& info, const IEffectDescription& desc);
    ~IEffectLV2() override;

    static constexpr int kDefaultBlockSize = 1024;
    static constexpr int kMaxBlockSize = 8192;

    // A descriptor for the plug-in URI whose instantiate is the given function; the other functions
    // are this class's.
    static LV2_Descriptor MakeDescriptor(const char* uri,
                                         LV2_Handle (*instantiate)(const LV2_Descriptor*, double, const char*,
                                                                   const LV2_Feature* const*));

    // ---- The descriptor's functions ----
    static void ConnectPort(LV2_Handle instance, uint32_t port, void* data);
    static void Activate(LV2_Handle instance);
    static void Run(LV2_Handle instance, uint32_t nFrames);
    static void Deactivate(LV2_Handle instance);
    static void Cleanup(LV2_Handle instance);
    static const void* ExtensionData(const char* uri);

    // ---- The state interface: one property, the program chunk (framework header + parameters) ----
    static LV2_State_Status SaveState(LV2_Handle instance, LV2_State_Store_Function store,
                                      LV2_State_Handle handle, uint32_t flags,
                                      const LV2_Feature* const* features);
    static LV2_State_Status RestoreState(LV2_Handle instance, LV2_State_Retrieve_Function retrieve,
                                         LV2_State_Handle handle, uint32_t flags,
                                         const LV2_Feature* const* features);

    const LV2PortLayout& GetPortLayout() const { return mLayout; }

private:
    void Connect(uint32_t port, void* data);
    void RunBlock(int nFrames);
    // Maps every control value that changed since the last run.
    void MapChangedControls();
    // The last control values seen become the single-precision forms of the current parameter values.
    void RememberParamsAsControls();
    LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    LV2PortLayout mLayout;
    Util_TypedBuf<float*> mAudioIn, mAudioOut; // host buffers by channel (null: not connected)
    Util_TypedBuf<float*> mPieceIn, mPieceOut; // the same, shifted to the current piece of a block
    Util_TypedBuf<const float*> mControlIn;    // host control values by parameter
    Util_TypedBuf<uint32_t> mLastControlBits;  // the last control value seen, as its bit pattern
    float* mLatencyOut = nullptr;
    LV2_URID mStateKey = 0;  // <plug-in URI>#state
    LV2_URID mChunkType = 0; // atom:Chunk
};

// The instantiate steps, for a plug-in entry that names its description and effect class: refuses
// (null) a sample rate the description does not serve and a factory that fails or throws; otherwise,
// under a process-wide creation lock, creates the instance and takes it through the steps a VST 2
// host takes after creating one (empty preset slots filled, every parameter mapped, the sample rate
// and the block size set, each followed by Reset). Returns the instance handle.
LV2_Handle LV2CreateInstance(const IEffectDescription& desc,
                             IEffectLV2* (*factory)(const IEffectInstanceInfo&), double sampleRate,
                             const char* bundlePath, const LV2_Feature* const* features);
