#pragma once
// ClapTestHost: a small in-process CLAP host for tests. ClapLibrary opens a .clap module, calls its
// entry's init and hands out the plug-in factory; ClapTestHost creates one plug-in through a factory
// and afterwards talks to it only through the clap_plugin_t record and the extensions it offers, as a
// real host does. It offers the plug-in params, latency, state, gui, thread-check, timer-support and
// posix-fd-support (each can be withheld), records every call the plug-in makes to it (requests,
// rescans, timers and descriptors registered, events pushed to the output lists) and lets the test play
// the host's main loop: FireTimers and FireFds call the plug-in back as a host's loop would, and
// RunMainThreadCallback answers request_callback.
//
// Threads: the thread that constructs the host is its main thread; Process and Flush may run on any
// thread the test chooses and mark it as the audio thread for their duration (thread-check answers
// from that). The record of calls is guarded by one mutex. The host outlives its plug-in (the
// destructor destroys it).
#include <clap/entry.h>
#include <clap/ext/audio-ports.h>
#include <clap/ext/gui.h>
#include <clap/ext/latency.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/thread-check.h>
#include <clap/ext/timer-support.h>
#include <clap/plugin-factory.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "framework/clap/ClapPosixFd.h"
#include "tests/support/SharedLibrary.h"

// A .clap module: clap_entry looked up and initialised (deinit when closed).
class ClapLibrary : public SharedLibrary {
public:
    explicit ClapLibrary(const char* path);
    ~ClapLibrary();
    // Why the module cannot be used; empty when it can.
    const char* Error() const;
    const clap_plugin_entry_t* Entry() const { return mEntry; }
    // The plug-in factory, null when the module did not load or offers none.
    const clap_plugin_factory_t* Factory() const;

private:
    const clap_plugin_entry_t* mEntry = nullptr;
    bool mInitialised = false;
};

class ClapTestHost {
public:
    // The host extensions it can offer; all are offered unless withheld.
    enum EOffer : unsigned {
        kParams = 1u << 0,
        kLatency = 1u << 1,
        kState = 1u << 2,
        kGui = 1u << 3,
        kThreadCheck = 1u << 4,
        kTimers = 1u << 5,
        kFds = 1u << 6,
        kAll = 0x7F
    };
    // One event the plug-in pushed to an output list.
    struct OutEvent {
        uint16_t type;
        uint32_t time;
        clap_id param;
        double value; // PARAM_VALUE only
    };
    // One host value event for the plug-in: at frame time, parameter param takes value.
    struct InEvent {
        uint32_t time;
        clap_id param;
        double value;
    };
    // One request the plug-in made, with the thread it came from.
    struct Request {
        std::string
            what; // "restart", "callback", "flush", "latency", "rescan", "mark_dirty", "resize WxH", "closed"
        bool onMainThread;
    };

    explicit ClapTestHost(unsigned offers = kAll);
    ~ClapTestHost();
    ClapTestHost(const ClapTestHost&) = delete;
    ClapTestHost& operator=(const ClapTestHost&) = delete;

    // create_plugin and init; false (nothing kept) when either fails.
    bool Create(const clap_plugin_factory_t* factory, const char* pluginId);
    // destroy (once).
    void Destroy();
    const clap_plugin_t* Plugin() const { return mPlugin; }
    const clap_host_t* Host() const { return &mHost; }
    template <class T>
    const T* Extension(const char* id) const {
        return mPlugin && mPlugin->get_extension ? static_cast<const T*>(mPlugin->get_extension(mPlugin, id))
                                                 : nullptr;
    }

    bool Activate(double sampleRate = 44100.0, uint32_t maxFrames = 512);
    void Deactivate();
    // process with two channels of each precision; the events are handed over in time order.
    clap_process_status Process(float* const* in, float* const* out, uint32_t frames,
                                const std::vector<InEvent>& events = {});
    clap_process_status Process(double* const* in, double* const* out, uint32_t frames,
                                const std::vector<InEvent>& events = {});
    // params flush with these events.
    void Flush(const std::vector<InEvent>& events = {});

    // ---- params and state through the plug-in's extensions ----
    double Value(clap_id id);
    std::string ValueText(clap_id id, double value);
    bool TextValue(clap_id id, const char* text, double* value);
    std::vector<uint8_t> SaveState();
    // Loads bytes handed over in reads of at most chunk bytes.
    bool LoadState(const std::vector<uint8_t>& bytes, size_t chunk = 4096);

    // ---- The host's main loop ----
    // on_timer for every registered timer; on_fd for every watched descriptor.
    void FireTimers();
    void FireFds();
    // on_main_thread when the plug-in asked for it (request_callback); true when it ran.
    bool RunMainThreadCallback();

    // ---- What the plug-in did ----
    std::vector<OutEvent> TakeOutEvents();
    std::vector<Request> Requests();
    // Only the requests of one kind.
    std::vector<Request> Requests(const std::string& what);
    void ClearRequests();
    std::map<clap_id, uint32_t> Timers();
    std::set<int> Fds();

private:
    static const void* GetExtension(const clap_host_t* host, const char* id);
    static ClapTestHost* From(const clap_host_t* host) { return static_cast<ClapTestHost*>(host->host_data); }
    void Record(const std::string& what);
    template <class T>
    clap_process_status RunProcess(T* const* in, T* const* out, uint32_t frames,
                                   const std::vector<InEvent>& events);

    clap_host_t mHost;
    unsigned mOffers;
    const clap_plugin_t* mPlugin = nullptr;
    bool mActive = false;
    std::thread::id mMainThread;
    static thread_local bool tAudioThread;
    std::mutex mLock; // guards the records below
    std::vector<OutEvent> mOutEvents;
    std::vector<Request> mRequests;
    std::map<clap_id, uint32_t> mTimers;
    clap_id mNextTimer = 1;
    std::set<int> mFds;
    std::atomic<bool> mCallbackWanted{false};
};
