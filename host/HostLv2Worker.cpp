#include "host/HostLv2Worker.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr uint32_t kRingBytes = 1u << 16;
} // namespace

bool HostLv2Worker::Ring::Write(uint32_t size, const void* data) {
    const uint32_t w = mWrite.load(std::memory_order_relaxed), r = mRead.load(std::memory_order_acquire);
    if (size > Capacity() - 4 || Capacity() - (w - r) < 4 + size) return false;
    Copy(w, &size, 4);
    Copy(w + 4, data, size);
    mWrite.store(w + 4 + size, std::memory_order_release);
    return true;
}

bool HostLv2Worker::Ring::Read(std::vector<uint8_t>& out, uint32_t& size) {
    const uint32_t r = mRead.load(std::memory_order_relaxed), w = mWrite.load(std::memory_order_acquire);
    if (w == r) return false;
    Take(r, &size, 4);
    Take(r + 4, out.data(), size);
    mRead.store(r + 4 + size, std::memory_order_release);
    return true;
}

void HostLv2Worker::Ring::Copy(uint32_t at, const void* data, uint32_t n) {
    const uint32_t start = at % Capacity(), first = std::min(n, Capacity() - start);
    std::memcpy(mBytes.data() + start, data, first);
    std::memcpy(mBytes.data(), static_cast<const uint8_t*>(data) + first, n - first);
}

void HostLv2Worker::Ring::Take(uint32_t at, void* data, uint32_t n) const {
    const uint32_t start = at % Capacity(), first = std::min(n, Capacity() - start);
    std::memcpy(data, mBytes.data() + start, first);
    std::memcpy(static_cast<uint8_t*>(data) + first, mBytes.data(), n - first);
}

HostLv2Worker::HostLv2Worker() : mRequests(kRingBytes), mResponses(kRingBytes), mAudioBuffer(kRingBytes) {
    mSchedule = {this, Schedule};
    mFeature = {LV2_WORKER__schedule, &mSchedule};
    sem_init(&mWake, 0, 0);
}

HostLv2Worker::~HostLv2Worker() {
    Stop();
    sem_destroy(&mWake);
}

void HostLv2Worker::Start(const LV2_Worker_Interface* iface, LV2_Handle handle) {
    Stop();
    mInterface = iface;
    mHandle = handle;
    if (!iface || !iface->work) return;
    mQuit = false;
    mThread = std::thread([this] { Run(); });
}

void HostLv2Worker::Stop() {
    if (mThread.joinable()) {
        mQuit = true;
        sem_post(&mWake);
        mThread.join();
    }
    // What the stopped instance asked for or was answered is dropped with it.
    uint32_t size = 0;
    while (mRequests.Read(mAudioBuffer, size)) {}
    while (mResponses.Read(mAudioBuffer, size)) {}
    mInterface = nullptr;
    mHandle = nullptr;
}

LV2_Worker_Status HostLv2Worker::Schedule(LV2_Worker_Schedule_Handle handle, uint32_t size,
                                          const void* data) {
    auto* self = static_cast<HostLv2Worker*>(handle);
    if (!self->mThread.joinable()) return LV2_WORKER_ERR_UNKNOWN;
    if (!self->mRequests.Write(size, data)) return LV2_WORKER_ERR_NO_SPACE;
    sem_post(&self->mWake);
    return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status HostLv2Worker::Respond(LV2_Worker_Respond_Handle handle, uint32_t size, const void* data) {
    auto* self = static_cast<HostLv2Worker*>(handle);
    return self->mResponses.Write(size, data) ? LV2_WORKER_SUCCESS : LV2_WORKER_ERR_NO_SPACE;
}

void HostLv2Worker::Run() {
    std::vector<uint8_t> request(mRequests.Capacity());
    while (!mQuit) {
        while (sem_wait(&mWake) != 0) {}
        uint32_t size = 0;
        while (!mQuit && mRequests.Read(request, size))
            mInterface->work(mHandle, Respond, this, size, request.data());
    }
}

void HostLv2Worker::Deliver() {
    if (!mInterface) return;
    uint32_t size = 0;
    while (mResponses.Read(mAudioBuffer, size))
        if (mInterface->work_response) mInterface->work_response(mHandle, size, mAudioBuffer.data());
    if (mInterface->end_run) mInterface->end_run(mHandle);
}
