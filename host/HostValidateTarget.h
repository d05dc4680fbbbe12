#pragma once
// HostValidateTarget: what the validator needs of a loaded plug-in beyond HostEffect, whatever its
// format: identity, parameters with their metadata and texts, state as bytes, and the tail. Each
// format has an adapter over its HostEffect (HostVst2Target, HostVST3Target, HostClapTarget,
// HostLv2Target); a new format adds only its adapter and one line in HostOpenTarget.
//
// Threads: the instance is made on the thread that becomes its main thread (the check's), which also
// makes every call here, except that while the effect is processing on another thread, SetParam and
// SaveState may be called from the main thread at the same time as the audio callbacks run, as a host's
// user interface does. The target owns the HostEffect.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/HostEffect.h"

struct HostIdentity {
    std::string name, vendor, version;
    std::string id; // the format's unique identity: a four-character code, a CLAP id, an LV2 URI
};

// One parameter as the format describes it; values are in the format's own units (VST 2 normalised).
struct HostParamMeta {
    std::string name, unit;
    double min = 0.0, max = 1.0, def = 0.0;
    bool stepped = false;  // whole numbers only (switches, choices)
    bool readOnly = false; // shown but not set by a host (meters, latency)
};

class HostValidateTarget {
public:
    HostValidateTarget() = default;
    HostValidateTarget(const HostValidateTarget&) = delete;
    HostValidateTarget& operator=(const HostValidateTarget&) = delete;
    virtual ~HostValidateTarget() = default;

    // The instance's audio and editor side; called from the main thread, the audio calls from one
    // audio thread at a time.
    virtual HostEffect& Effect() = 0;
    // Main thread.
    virtual HostIdentity Identity() = 0;

    // Parameters (main thread). ParamMeta is false for an index that gives nothing.
    virtual int NumParams() = 0;
    virtual bool ParamMeta(int index, HostParamMeta& meta) = 0;
    virtual double ParamValue(int index) = 0;
    // Main thread; while processing also from the main thread beside the audio thread (the value
    // reaches the plug-in by the next block at the latest).
    virtual void SetParam(int index, double value) = 0;
    // The plug-in's text for a value, and its value for a text; false when it gives none (main thread,
    // not while processing: some formats must set the value to read its text).
    virtual bool ParamToText(int index, double value, std::string& text) = 0;
    virtual bool ParamFromText(int index, const std::string& text, double& value) = 0;

    // The whole state as the host would keep it in a project (main thread; SaveState also while
    // processing). LoadState is false when the plug-in refused the bytes.
    virtual bool SaveState(std::vector<uint8_t>& bytes, std::string& err) = 0;
    virtual bool LoadState(const std::vector<uint8_t>& bytes) = 0;
    // False when the state is only the host's own record of the parameter values (a VST 2 plug-in
    // without chunks): then no bytes of it reach the plug-in.
    virtual bool OwnsState() { return true; }
    // How long the output may go on after the input falls silent, in frames at rate: kTailUnknown when
    // the plug-in does not say, kTailInfinite when it never ends.
    static constexpr int64_t kTailUnknown = -1;
    static constexpr int64_t kTailInfinite = INT64_MAX;
    virtual int64_t TailFrames(int rate) = 0;
    // True when the format makes the plug-in promise sample-accurate processing (its parameter events
    // are timed to the frame, as CLAP's and VST 3's are), so that blocks of any size must give the same
    // output; for the others a difference is told, not failed.
    virtual bool SampleAccurate() { return false; }
};

// Loads the plug-in at path (any format tidebloom-host loads; className as HostOpenEffect takes it) with
// its validation adapter. Null with
// err set (one line) when it does not load. The calling thread becomes the instance's main thread.
std::unique_ptr<HostValidateTarget> HostOpenTarget(const std::string& path, std::string& err,
                                                   const std::string& className = "");
