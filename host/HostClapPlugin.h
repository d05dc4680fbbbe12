#pragma once
// HostClapPlugin: one loaded CLAP plug-in instance and the host it talks to; the CLAP form of
// HostEffect.
//
// Load() opens the module with dlopen, initialises its clap_entry with the module's path, creates the
// first plug-in of its factory (or the one whose id is given) and initialises it. Audio goes through
// the first input and output port (the main ones); every other port gets its own buffers (inputs
// silent, outputs dropped), as a plug-in with a side-chain port expects. The plug-in sees a
// small offline host named "tidebloom-host": params (request_flush, rescan), latency (changed),
// timer-support and posix-fd-support (for the editor: IdleEditor fires every timer and reads every
// watched descriptor that is ready) and gui (no resizing). request_restart is honoured between blocks
// (deactivate and activate again), request_callback by the next call into the host, both on the main
// thread. The main thread is the one that loaded the plug-in; the audio callbacks run there too, or on
// one other thread of the caller's (the validator's audio thread) while the main thread does the rest.
// The host offers no thread-check.
//
// Parameters: set before processing with params flush, while processing as value events of the next
// block (queued under mPendingLock, which the audio side only tries, so it never waits; a value that
// misses a block goes with the next); values are the parameters' plain values. A restart the plug-in
// asks for while its audio runs on the other thread waits until the main thread processes again. Programs:
// CLAP 1.1 has none; a stepped parameter named "Program" stands for them (Tidebloom's), and --program sets
// it. The destructor stops processing, destroys the plug-in and closes the module. Every failure on the way
// is a one-line error.
#include <clap/entry.h>
#include <clap/ext/audio-ports.h>
#include <clap/ext/gui.h>
#include <clap/ext/latency.h>
#include <clap/ext/params.h>
#include <clap/ext/timer-support.h>
#include <clap/plugin-factory.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "framework/clap/ClapPosixFd.h"
#include "host/HostEffect.h"

class HostClapPlugin : public HostEffect {
public:
    static constexpr const char* kHostName = "tidebloom-host";

    // Loads the module at path and makes its plug-in pluginId (empty: the factory's first).
    static std::unique_ptr<HostClapPlugin> Load(const std::string& path, std::string& err,
                                                const std::string& pluginId = "");
    ~HostClapPlugin() override;

    const clap_plugin_t* Plugin() const { return mPlugin; }
    const clap_plugin_descriptor_t* Descriptor() const { return mPlugin->desc; }
    template <class T>
    const T* Extension(const char* id) const {
        return static_cast<const T*>(mPlugin->get_extension(mPlugin, id));
    }

    // ---- Parameters ----
    int NumParams();
    bool ParamInfo(int index, clap_param_info_t& info);
    double ParamValue(clap_id id);
    // The plug-in's text for a value of the parameter ("" when it gives none).
    std::string ParamText(clap_id id, double value);
    // The plug-in's value for a text; false when it reads none.
    bool ParamFromText(clap_id id, const std::string& text, double& value);
    // The parameter takes the plain value: at once (params flush) while inactive, with the next block
    // while processing (then from any thread).
    void SetParam(clap_id id, double value);

    // ---- HostEffect ----
    const char* FormatName() const override { return "CLAP"; }
    std::string EffectName() override;
    std::string Describe(bool json) override;
    std::string ProgramName() override;
    bool ApplyProgramAndValues(const std::string& program, const std::vector<std::string>& assignments,
                               std::string& err) override;
    int NumInputs() override { return mInputs; }
    int NumOutputs() override { return mOutputs; }
    int Latency() override;
    std::string CannotProcess(bool doublePrecision) override;
    std::string Configure(int sampleRate, int maxBlock, bool doublePrecision) override;
    // CLAP 1.1 has no port configurations to ask for: 0 unless the input is mono already.
    int NarrowToMono() override { return mInputs == 1 ? mOutputs : 0; }
    std::string Resume() override;
    void Suspend() override;
    void SetTransport(const HostTransport& t) override { mTransport = t; }
    void RenderFloat(float** inputs, float** outputs, int frames) override;
    void RenderDouble(double** inputs, double** outputs, int frames) override;
    bool HasEditor() override;
    bool EditorSize(int& w, int& h) override;
    bool OpenEditor(unsigned long window) override;
    void IdleEditor() override;
    void CloseEditor() override;

private:
    HostClapPlugin() = default;
    // Every parameter's name, by index.
    std::vector<std::string> ParamNames();
    bool SetParamFromText(int index, const std::string& text, std::string& err);
    int ProgramParam(); // the index of the stepped "Program" parameter, -1 when none
    // process with the queued value events; audio as the port buffers.
    void Process(std::vector<clap_audio_buffer_t>& in, std::vector<clap_audio_buffer_t>& out, int frames);
    // Every port's buffers: the main ones given, the others spare.
    template <class T>
    void FillPorts(T** mainIn, T** mainOut, std::vector<clap_audio_buffer_t>& ins,
                   std::vector<clap_audio_buffer_t>& outs);
    // What the plug-in asked of the host's main thread: on_main_thread, a restart.
    void Serve();
    static const void* GetExtension(const clap_host_t* host, const char* id);
    static HostClapPlugin* From(const clap_host_t* host) {
        return static_cast<HostClapPlugin*>(host->host_data);
    }

    std::string mPath;
    void* mLibrary = nullptr;
    const clap_plugin_entry_t* mEntry = nullptr;
    bool mEntryInitialised = false;
    clap_host_t mHost{};
    const clap_plugin_t* mPlugin = nullptr;
    int mInputs = 0, mOutputs = 0;             // channels of the main (first) ports
    std::vector<uint32_t> mInPorts, mOutPorts; // channels of every port, the main one first
    std::vector<std::vector<float>> mSpare32;  // silence and scratch for the other ports' channels
    std::vector<std::vector<double>> mSpare64;
    std::vector<float*> mSparePtr32;
    std::vector<double*> mSparePtr64;
    uint32_t mInputFlags = 0, mOutputFlags = 0;
    double mSampleRate = 44100.0;
    int mMaxBlock = 512;
    bool mActive = false, mProcessing = false;
    // Asked by the plug-in from any thread, served on the main thread.
    std::atomic<bool> mRestartWanted{false}, mCallbackWanted{false};
    // The thread of the latest audio callback: a restart waits while the audio runs on another.
    std::atomic<std::thread::id> mAudioThread;
    HostTransport mTransport;
    int64_t mSteadyTime = 0;
    std::thread::id mMainThread;
    std::mutex mPendingLock;
    std::vector<clap_event_param_value_t> mPending;           // value events for the next block
    std::vector<clap_event_param_value_t> mBlockEvents;       // audio side: the events of the running block
    std::vector<clap_audio_buffer_t> mInBuffers, mOutBuffers; // audio side: the running block's ports
    std::map<clap_id, uint32_t> mTimers;
    clap_id mNextTimer = 1;
    std::set<int> mFds;
    bool mGuiCreated = false;
};
