#pragma once
// VST3TestHost: a small in-process VST 3 host for tests. It opens a module as tidebloom-host does
// (HostVST3Module: GetPluginFactory, ModuleEntry / ModuleExit), creates the factory's first class,
// reaches the processor, the controller and the unit information through the component's interfaces,
// and afterwards talks to the plug-in only through them, as a real host does. It gives the plug-in a
// context (a host application named "VST3TestHost") and a component handler that records every begin /
// perform / end edit and restart with the thread it came on. Streams (byte vectors), the parameter
// changes sent with a block and the run loop are tidebloom-host's own (HostVST3Stream, HostVST3Changes,
// HostVST3RunLoop).
//
// Audio runs on an audio thread of the host's own: Process hands the block to it and waits, so the
// plug-in sees a user-interface thread (the test's) and an audio thread, as in any host. Parameter
// changes go with a block as queues of (offset, value) points, one queue per id, in the order given.
//
// Threads: the test's thread is the user-interface thread; the records are guarded by a mutex. The host
// outlives the plug-in (Close or the destructor releases it).
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/vst3/VST3Face.h"
#include "host/HostVST3Changes.h"
#include "host/HostVST3Module.h"
#include "host/HostVST3RunLoop.h"
#include "host/HostVST3Stream.h"

// The module, opened as tidebloom-host opens it (HostVST3Module); Problem tells why it did not open.
class VST3Library {
public:
    explicit VST3Library(const char* path) : mModule(HostVST3Module::Open(path, mProblem)) {}
    v3_plugin_factory** Factory() const { return mModule ? mModule->Factory() : nullptr; }
    // Why the module cannot be used; empty when it can.
    std::string Problem() const { return mProblem; }

private:
    std::string mProblem;
    std::unique_ptr<HostVST3Module> mModule;
};

// A byte stream for states: tidebloom-host's (reads from the start, writes append, reads hand out at most
// a given chunk a call).
using VST3TestStream = HostVST3Stream;

// One call the plug-in made to the component handler.
struct VST3HandlerCall {
    enum Kind { kBegin, kPerform, kEnd, kRestart } kind;
    uint32_t id;  // parameter id (restart: the flags)
    double value; // perform: the value
    bool onAudioThread;
    bool operator==(const VST3HandlerCall& o) const {
        return kind == o.kind && id == o.id && value == o.value && onAudioThread == o.onAudioThread;
    }
};

// A parameter change to send with a block.
using VST3Change = HostVST3Change;

// A timer or an event handler the plug-in registered with the host's run loop.
using VST3RunLoopEntry = HostVST3RunLoop::Entry;

class VST3TestHost {
public:
    VST3TestHost();
    ~VST3TestHost();
    VST3TestHost(const VST3TestHost&) = delete;
    VST3TestHost& operator=(const VST3TestHost&) = delete;

    // Creates class 0 of the factory, initialises it with the host's context, finds processor, controller
    // and unit information, and gives the controller the handler. False (nothing kept) on failure.
    bool Load(v3_plugin_factory** factory);
    // setup_processing, set_active(1), set_processing(1).
    bool Start(double rate = 44100.0, int maxBlock = 512, int32_t sampleSize = V3_SAMPLE_32);
    // set_processing(0), set_active(0).
    void Stop();
    // Stops when started, terminates and releases everything.
    void Close();

    v3_component** Component() const { return mComponent; }
    v3_audio_processor** Processor() const { return mProcessor; }
    v3_edit_controller** Controller() const { return mController; }
    v3_unit_information** Units() const { return mUnits; }
    v3_component* C() const { return v3_cpp_obj(mComponent); }
    v3_audio_processor* P() const { return v3_cpp_obj(mProcessor); }
    v3_edit_controller* E() const { return v3_cpp_obj(mController); }
    v3_unit_information* U() const { return v3_cpp_obj(mUnits); }

    // One block on the audio thread: nIn input and nOut output channels of one bus each (T float or
    // double, by sampleSize), with the changes. Returns process's answer.
    v3_result Process(float** in, int nIn, float** out, int nOut, int32_t nFrames,
                      const std::vector<VST3Change>& changes = {});
    v3_result Process(double** in, int nIn, double** out, int nOut, int32_t nFrames,
                      const std::vector<VST3Change>& changes = {});
    // Anything on the audio thread (waits for it).
    void OnAudioThread(const std::function<void()>& f);
    // From now on every process call is measured with counter (a process-wide allocation count): what
    // it counts during the calls adds up in ProcessAllocations.
    void CountAllocationsWith(long (*counter)()) { mCounter = counter; }
    long ProcessAllocations() const { return mProcessAllocations; }

    // States through streams.
    std::vector<uint8_t> GetState();
    v3_result SetState(const std::vector<uint8_t>& bytes, int chunk = 1 << 20);
    v3_result SetComponentState(const std::vector<uint8_t>& bytes);

    // Controller helpers.
    v3_param_info Info(int32_t idx);
    std::string ToString(uint32_t id, double normalized);
    // V3_OK and the value, or the plug-in's refusal.
    v3_result FromString(uint32_t id, const std::string& text, double* normalized);
    std::string Text(const int16_t* s) const;

    // ---- The component handler's records ----
    std::vector<VST3HandlerCall> Calls();
    void ClearCalls();

    // ---- The view's frame and run loop ----
    v3_plugin_frame** Frame() { return mFrameFace.As<v3_plugin_frame>(); }
    // Whether the frame answers the run loop's interface (on by default).
    void OfferRunLoop(bool offer) { mOfferRunLoop = offer; }
    std::vector<VST3RunLoopEntry> RunLoopEntries() const { return mLoop.Entries(); }
    // What the view asked the frame to resize to.
    std::vector<v3_view_rect> Resizes() const { return mResizes; }
    // One turn of the run loop: every timer, then every event handler whose descriptor is readable.
    void RunLoopTurn() { mLoop.Turn(); }

    // ---- COM entries (used through the faces) ----
    v3_result QueryInterface(const uint8_t* iid, void** obj);
    uint32_t Ref() { return 2; }
    uint32_t Unref() { return 1; }
    v3_result GetName(int16_t* name);
    v3_result CreateInstance(uint8_t* cid, uint8_t* iid, void** obj);
    v3_result BeginEdit(v3_param_id id);
    v3_result PerformEdit(v3_param_id id, double value);
    v3_result EndEdit(v3_param_id id);
    v3_result RestartComponent(int32_t flags);
    v3_result ResizeView(v3_plugin_view** view, v3_view_rect* rect);

private:
    template <class T>
    v3_result ProcessBlock(T** in, int nIn, T** out, int nOut, int32_t nFrames, int32_t sampleSize,
                           const std::vector<VST3Change>& changes);
    void Record(VST3HandlerCall::Kind kind, uint32_t id, double value);
    void AudioLoop();

    v3_component** mComponent = nullptr;
    v3_audio_processor** mProcessor = nullptr;
    v3_edit_controller** mController = nullptr;
    v3_unit_information** mUnits = nullptr;
    bool mStarted = false;
    long (*mCounter)() = nullptr;
    long mProcessAllocations = 0;

    VST3Face<VST3TestHost> mContextFace, mHandlerFace, mFrameFace;
    std::mutex mLock;
    std::vector<VST3HandlerCall> mCalls;
    bool mOfferRunLoop = true;
    HostVST3RunLoop mLoop;
    std::vector<v3_view_rect> mResizes;

    // The audio thread and its one job at a time.
    std::thread mAudio;
    std::thread::id mAudioId;
    std::mutex mJobLock;
    std::condition_variable mJobReady, mJobDone;
    std::function<void()> mJob;
    bool mQuit = false;
};
