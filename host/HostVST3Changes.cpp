#include "host/HostVST3Changes.h"

#include <algorithm>

#include "host/HostAllocWatch.h"

// One parameter's points.
class HostVST3Changes::Queue {
public:
    Queue(uint32_t id, std::vector<HostVST3Change> points);
    v3_param_value_queue** Face() { return mFace.As<v3_param_value_queue>(); }
    v3_result QueryInterface(const uint8_t* iid, void** obj) {
        if (!obj) return V3_INVALID_ARG;
        *obj = VST3IsOneOf(iid, v3_funknown_iid, v3_param_value_queue_iid) ? &mFace : nullptr;
        return *obj ? V3_OK : V3_NO_INTERFACE;
    }
    uint32_t Ref() { return 2; }
    uint32_t Unref() { return 1; }
    v3_param_id GetParamId() { return mId; }
    int32_t GetPointCount() { return static_cast<int32_t>(mPoints.size()); }
    v3_result GetPoint(int32_t idx, int32_t* offset, double* value) {
        if (idx < 0 || idx >= GetPointCount() || !offset || !value) return V3_INVALID_ARG;
        *offset = mPoints[static_cast<size_t>(idx)].offset;
        *value = mPoints[static_cast<size_t>(idx)].value;
        return V3_OK;
    }
    v3_result AddPoint(int32_t offset, double value, int32_t* idx) {
        if (idx) *idx = GetPointCount();
        HostCallbackScope hostCode; // the plug-in reports from its process call; the list is the host's
        mPoints.push_back({mId, offset, value});
        return V3_OK;
    }

private:
    VST3Face<Queue> mFace;
    uint32_t mId;
    std::vector<HostVST3Change> mPoints;
};

namespace {

const v3_param_value_queue_cpp kQueueTable = {
    VST3Unknown<HostVST3Changes::Queue>(),
    {VST3Entry<&HostVST3Changes::Queue::GetParamId>, VST3Entry<&HostVST3Changes::Queue::GetPointCount>,
     VST3Entry<&HostVST3Changes::Queue::GetPoint>, VST3Entry<&HostVST3Changes::Queue::AddPoint>}};

const v3_param_changes_cpp kChangesTable = {VST3Unknown<HostVST3Changes>(),
                                            {VST3Entry<&HostVST3Changes::GetParamCount>,
                                             VST3Entry<&HostVST3Changes::GetParamData>,
                                             VST3Entry<&HostVST3Changes::AddParamData>}};

} // namespace

HostVST3Changes::Queue::Queue(uint32_t id, std::vector<HostVST3Change> points)
    : mId(id), mPoints(std::move(points)) {
    mFace = {&kQueueTable, this};
}

HostVST3Changes::HostVST3Changes(const std::vector<HostVST3Change>& changes) {
    mFace = {&kChangesTable, this};
    std::vector<uint32_t> ids;
    for (const HostVST3Change& c : changes)
        if (std::find(ids.begin(), ids.end(), c.id) == ids.end()) ids.push_back(c.id);
    for (uint32_t id : ids) {
        std::vector<HostVST3Change> points;
        for (const HostVST3Change& c : changes)
            if (c.id == id) points.push_back(c);
        mQueues.push_back(std::make_unique<Queue>(id, std::move(points)));
    }
}

HostVST3Changes::~HostVST3Changes() = default;

v3_result HostVST3Changes::QueryInterface(const uint8_t* iid, void** obj) {
    if (!obj) return V3_INVALID_ARG;
    *obj = VST3IsOneOf(iid, v3_funknown_iid, v3_param_changes_iid) ? &mFace : nullptr;
    return *obj ? V3_OK : V3_NO_INTERFACE;
}

int32_t HostVST3Changes::GetParamCount() {
    return static_cast<int32_t>(mQueues.size());
}

v3_param_value_queue** HostVST3Changes::GetParamData(int32_t idx) {
    return idx >= 0 && idx < GetParamCount() ? mQueues[static_cast<size_t>(idx)]->Face() : nullptr;
}

v3_param_value_queue** HostVST3Changes::AddParamData(v3_param_id* id, int32_t* index) {
    if (!id) return nullptr;
    HostCallbackScope hostCode;
    size_t k = 0;
    while (k < mQueues.size() && mQueues[k]->GetParamId() != *id) ++k;
    if (k == mQueues.size()) mQueues.push_back(std::make_unique<Queue>(*id, std::vector<HostVST3Change>{}));
    if (index) *index = static_cast<int32_t>(k);
    return mQueues[k]->Face();
}

void HostVST3Changes::Clear() {
    mQueues.clear();
}
