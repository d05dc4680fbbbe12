#pragma once
// HostLv2Worker: the LV2 worker (worker:schedule) an instance hands its non-real-time work to. Its
// schedule_work, called by the plug-in from its audio callback, copies the request into a ring of fixed
// size and wakes the worker's thread (never waiting, never allocating: a full ring answers
// LV2_WORKER_ERR_NO_SPACE); the thread calls the plug-in's work with each request, and what the work
// responds goes into a second ring, which Deliver (the audio thread, after each run) hands to the
// plug-in's work_response before its end_run. Both rings have one writer and one reader.
//
// Owned by the HostLv2Plugin; Start binds it to an instance after instantiation and starts the thread,
// Stop (and the destructor) ends the thread before that instance is freed. The schedule feature stays
// valid for the worker's lifetime.
#include <lv2/worker/worker.h>
#include <semaphore.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

class HostLv2Worker {
public:
    HostLv2Worker();
    ~HostLv2Worker();
    HostLv2Worker(const HostLv2Worker&) = delete;
    HostLv2Worker& operator=(const HostLv2Worker&) = delete;

    // The feature to give the plug-in at instantiation.
    LV2_Feature* Feature() { return &mFeature; }
    // iface may be null (a plug-in that asks for the feature but offers no interface: nothing is done).
    void Start(const LV2_Worker_Interface* iface, LV2_Handle handle);
    void Stop();
    void Deliver();

private:
    // A ring of messages (a 32-bit size, then the bytes) with one writer and one reader.
    class Ring {
    public:
        explicit Ring(uint32_t capacity) : mBytes(capacity) {}
        bool Write(uint32_t size, const void* data);
        // The next message into out (which has room for the largest); false when there is none.
        bool Read(std::vector<uint8_t>& out, uint32_t& size);
        uint32_t Capacity() const { return static_cast<uint32_t>(mBytes.size()); }

    private:
        void Copy(uint32_t at, const void* data, uint32_t n);
        void Take(uint32_t at, void* data, uint32_t n) const;
        std::vector<uint8_t> mBytes;
        std::atomic<uint32_t> mRead{0}, mWrite{0}; // positions, counting up without bound
    };

    static LV2_Worker_Status Schedule(LV2_Worker_Schedule_Handle handle, uint32_t size, const void* data);
    static LV2_Worker_Status Respond(LV2_Worker_Respond_Handle handle, uint32_t size, const void* data);
    void Run();

    Ring mRequests, mResponses;
    std::vector<uint8_t> mAudioBuffer; // the audio side's room for a response
    LV2_Worker_Schedule mSchedule;
    LV2_Feature mFeature;
    const LV2_Worker_Interface* mInterface = nullptr;
    LV2_Handle mHandle = nullptr;
    sem_t mWake;
    std::atomic<bool> mQuit{false};
    std::thread mThread;
};
