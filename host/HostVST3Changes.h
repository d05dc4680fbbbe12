#pragma once
// HostVST3Changes: the parameter changes a host sends with one process call (v3_param_changes), one queue
// of (sample offset, normalised value) points per parameter id, in the order the ids first appear; the
// points of an id keep their order. An empty list is also the output list a plug-in writes its own
// changes into (add_param_data, add_point), which the host reads or clears. Used by tidebloom-host and
// the test suite's VST 3 host.
//
// Threads: built on the host's thread, read by the plug-in during the one process call it is given to
// (on whatever thread the host processes); it is not changed meanwhile. Lifetime: the owner's; the
// plug-in may not keep it beyond the call, so reference counts are not kept. It allocates when built and
// when the plug-in adds to it.
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/vst3/VST3Face.h"

// A value for a parameter from a frame of the block on.
struct HostVST3Change {
    uint32_t id;
    int32_t offset;
    double value;
};

class HostVST3Changes {
public:
    explicit HostVST3Changes(const std::vector<HostVST3Change>& changes = {});
    ~HostVST3Changes();
    HostVST3Changes(const HostVST3Changes&) = delete;
    HostVST3Changes& operator=(const HostVST3Changes&) = delete;

    v3_param_changes** Face() { return mFace.As<v3_param_changes>(); }

    // ---- v3_param_changes ----
    v3_result QueryInterface(const uint8_t* iid, void** obj);
    uint32_t Ref() { return 2; }
    uint32_t Unref() { return 1; }
    int32_t GetParamCount();
    v3_param_value_queue** GetParamData(int32_t idx);
    // The queue of id, made when there is none yet (null for a null id).
    v3_param_value_queue** AddParamData(v3_param_id* id, int32_t* index);
    // Every queue gone.
    void Clear();

    class Queue;

private:
    VST3Face<HostVST3Changes> mFace;
    std::vector<std::unique_ptr<Queue>> mQueues;
};
