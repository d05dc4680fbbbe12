#pragma once
// IEffectCLAP: turns the host-independent plug-in object (IEffectBase) into a CLAP plug-in, in the
// role IEffectVST plays for VST 2. It owns the clap_plugin_t record handed to the host (its plugin_data
// points back at this object) and implements the record's functions and the extensions it offers:
// - audio-ports: one main input and one main output port of the effect's channel count (stereo for
//   "1-1 2-2"), 32 or 64 bits, in place allowed.
// - params: one parameter per effect parameter (id = index, plain values in the parameter's range,
//   stepped for all but double parameters), text to value and value to text by the effect's rules,
//   and the factory programs as one more, stepped parameter ("Program", id kProgramParamId): choosing
//   a program sets the effect's parameters to it and reports their new values to the host. Value
//   events are applied at their sample offsets (process splits the block there).
// - state: the bytes of the VST 2 program chunk (framework header and one double per parameter);
//   anything else is refused and changes nothing.
// - latency: the current delay. A change while active asks the host to restart, from the main thread
//   (the audio thread asks for on_main_thread first); a change while inactive is reported with the
//   host's latency changed.
// - gui, timer-support and posix-fd-support: the attached editor on X11 (ClapEditorDriver).
// The host's thread-check, when offered, tells the main thread from others.
//
// Threads and locks (the base's two locks, IEffectBase): process holds the plug-in mutex for the
// block, after handing the editor's parameter reports (ClapParamOutbox) to the host with no lock held.
// Host value events map under it (QueueParamChange maps at once on the holding thread). flush takes no
// lock of its own: each value maps at once when the mutex is free, else before the next block. The
// main-thread functions that change state (activate, deactivate, state load) take the state mutex and
// the plug-in mutex only for the effect's short sections; queries read atomics. Host notifications are
// made with no plug-in lock held; the audio thread never calls a main-thread function of the host.
// No C++ exception leaves a function the host calls.
//
// Ownership: CLAPCreateInstance makes the object; the host's destroy deletes it (its editor first).
// The host owns the clap_host_t and its extension records, which must outlive the instance.
#include <clap/ext/audio-ports.h>
#include <clap/ext/latency.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/thread-check.h>
#include <clap/plugin.h>

#include <atomic>
#include <cstdint>
#include <span>

#include "framework/clap/ClapEditorDriver.h"
#include "framework/clap/ClapParamOutbox.h"
#include "framework/plugin/IEffectBase.h"

// What the factory hands the plug-in constructor.
struct IEffectInstanceInfo {
    const clap_host_t* mHost = nullptr;
};

class IEffectCLAP : public IEffectBase {
public:
    // The id of the program parameter ('Prog'), apart from the effect's parameter indices.
    static constexpr clap_id kProgramParamId = 0x50726F67;
    static constexpr int kDefaultBlockSize = 1024;
    static constexpr int kMaxBlockSize = 8192;

    // Constructs the base from the description (API CLAP), connects every channel, sets the block size
    // to 1024 and fills the record (its desc is set by CLAPCreateInstance).
    IEffectCLAP(const IEffectInstanceInfo& info, const IEffectDescription& desc);
    ~IEffectCLAP() override;

    const clap_plugin_t* GetClapPlugin() const { return &mPlugin; }
    void SetClapDescriptor(const clap_plugin_descriptor_t* descriptor) { mPlugin.desc = descriptor; }
    int NPrograms() const { return static_cast<int>(mPrograms.size()); }
    // The program chosen last (0 at first); any thread.
    int GetProgram() const { return mProgram.load(std::memory_order_relaxed); }

    // ---- Host notifications (no lock held on entry) ----
    // The editor's thread (the host's main thread): queued for the host's next process or flush, which
    // the host is asked for (params request_flush).
    void BeginInformHostOfParamChange(int paramIdx) override;
    void InformHostOfParamChange(int paramIdx, double normalizedValue) override;
    void EndInformHostOfParamChange(int paramIdx) override;
    // Under the plug-in mutex, any thread: a change while active is recorded for a restart request.
    void SetLatency(int samples) override;
    // Off the audio thread, no lock held: on the main thread, asks for the restart a latency change
    // while active needs, or reports a change while inactive; elsewhere asks for on_main_thread first.
    void FlushHostNotifications() override;
    // The editor's thread (the host's main thread), no plug-in lock held: the editor took another size;
    // an open window asks the host to resize (request_resize).
    void ResizeGraphics(int w, int h) override;

private:
    // ---- The record's functions ----
    static bool Init(const clap_plugin_t* plugin);
    static void Destroy(const clap_plugin_t* plugin);
    static bool Activate(const clap_plugin_t* plugin, double sampleRate, uint32_t minFrames,
                         uint32_t maxFrames);
    static void Deactivate(const clap_plugin_t* plugin);
    static bool StartProcessing(const clap_plugin_t* plugin);
    static void StopProcessing(const clap_plugin_t* plugin);
    static void ResetPlugin(const clap_plugin_t* plugin);
    static clap_process_status ProcessPlugin(const clap_plugin_t* plugin, const clap_process_t* process);
    static const void* GetExtension(const clap_plugin_t* plugin, const char* id);
    static void OnMainThread(const clap_plugin_t* plugin);

    // ---- Extensions (IEffectCLAP_Extensions.cpp) ----
    static uint32_t AudioPortsCount(const clap_plugin_t* plugin, bool isInput);
    static bool AudioPortsGet(const clap_plugin_t* plugin, uint32_t index, bool isInput,
                              clap_audio_port_info_t* info);
    static uint32_t ParamsCount(const clap_plugin_t* plugin);
    static bool ParamsGetInfo(const clap_plugin_t* plugin, uint32_t index, clap_param_info_t* info);
    static bool ParamsGetValue(const clap_plugin_t* plugin, clap_id id, double* value);
    static bool ParamsValueToText(const clap_plugin_t* plugin, clap_id id, double value, char* display,
                                  uint32_t size);
    static bool ParamsTextToValue(const clap_plugin_t* plugin, clap_id id, const char* display,
                                  double* value);
    static void ParamsFlush(const clap_plugin_t* plugin, const clap_input_events_t* in,
                            const clap_output_events_t* out);
    static bool StateSave(const clap_plugin_t* plugin, const clap_ostream_t* stream);
    static bool StateLoad(const clap_plugin_t* plugin, const clap_istream_t* stream);
    static uint32_t LatencyGet(const clap_plugin_t* plugin);
    static bool GuiIsApiSupported(const clap_plugin_t* plugin, const char* api, bool floating);
    static bool GuiGetPreferredApi(const clap_plugin_t* plugin, const char** api, bool* floating);
    static bool GuiCreate(const clap_plugin_t* plugin, const char* api, bool floating);
    static void GuiDestroy(const clap_plugin_t* plugin);
    static bool GuiSetScale(const clap_plugin_t* plugin, double scale);
    static bool GuiGetSize(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height);
    static bool GuiCanResize(const clap_plugin_t* plugin);
    static bool GuiGetResizeHints(const clap_plugin_t* plugin, clap_gui_resize_hints_t* hints);
    static bool GuiAdjustSize(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height);
    static bool GuiSetSize(const clap_plugin_t* plugin, uint32_t width, uint32_t height);
    static bool GuiSetParent(const clap_plugin_t* plugin, const clap_window_t* window);
    static bool GuiSetTransient(const clap_plugin_t* plugin, const clap_window_t* window);
    static void GuiSuggestTitle(const clap_plugin_t* plugin, const char* title);
    static bool GuiShow(const clap_plugin_t* plugin);
    static bool GuiHide(const clap_plugin_t* plugin);
    static void TimerOnTimer(const clap_plugin_t* plugin, clap_id timerId);
    static void PosixFdOnFd(const clap_plugin_t* plugin, int fd, uint32_t flags);

    // ---- The work behind them ----
    bool InitInstance();
    bool ActivateInstance(double sampleRate, uint32_t maxFrames);
    void DeactivateInstance();
    clap_process_status Process(const clap_process_t* process);
    // Frames [offset, offset + nFrames) of the host's buffers, in pieces of the block size.
    void RunFrames(const clap_process_t* process, int offset, int nFrames);
    // A value event of the host: the parameter (or the program) takes it; out hears what a program
    // changed, at the event's time.
    void ApplyEvent(const clap_event_header_t* event, const clap_output_events_t* out);
    void ApplyProgram(int program, uint32_t time, const clap_output_events_t* out);
    // The editor's reports to the host's output list.
    void SendOutbox(const clap_output_events_t* out);
    void Flush(const clap_input_events_t* in, const clap_output_events_t* out);
    bool ParamInfo(uint32_t index, clap_param_info_t* info) const;
    bool ValueToText(clap_id id, double value, char* display, uint32_t size) const;
    bool TextToValue(clap_id id, const char* display, double* value) const;
    bool SaveState(const clap_ostream_t* stream);
    bool LoadState(const clap_istream_t* stream);
    // After the audio thread recorded a latency change: the host is asked for on_main_thread.
    void AskForMainThread();
    bool IsMainThread() const;
    void RequestParamFlush();

    clap_plugin_t mPlugin;
    const clap_host_t* mHost;
    const clap_host_params_t* mHostParams = nullptr;
    const clap_host_latency_t* mHostLatency = nullptr;
    const clap_host_thread_check_t* mThreadCheck = nullptr;
    std::span<const IParamDescription> mParamRows; // defaults and flags of the parameters
    std::span<const IPresetDescription> mPrograms; // the factory programs
    std::atomic<int> mProgram{0};
    std::atomic<bool> mActive{false};
    std::atomic<int> mToldLatency{0};        // the latency the host knows
    std::atomic<bool> mRestartWanted{false}; // latency changed while active, restart not asked yet
    std::atomic<bool> mCallbackAsked{false}; // on_main_thread asked for and not run yet
    ClapParamOutbox mOutbox;
    ClapEditorDriver mEditorDriver;
    // Host channel pointers of the current piece (sized at construction: the audio path never allocates).
    Util_TypedBuf<float*> mPieceInF, mPieceOutF;
    Util_TypedBuf<double*> mPieceInD, mPieceOutD;
};

// The factory's create_plugin steps, for a plug-in entry that names its description, descriptor and
// effect class: null for another plug-in id, no host or an incompatible host version, and when the
// factory fails or throws. Otherwise, under a process-wide creation lock, makes the instance, fills its
// empty preset slots and returns its record, whose desc is descriptor.
const clap_plugin_t* CLAPCreateInstance(const IEffectDescription& desc,
                                        const clap_plugin_descriptor_t* descriptor,
                                        IEffectCLAP* (*factory)(const IEffectInstanceInfo&),
                                        const clap_host_t* host, const char* pluginId);
