#pragma once
// IEffectVST3: turns the host-independent plug-in object (IEffectBase) into a VST 3 plug-in, in the role
// IEffectVST plays for VST 2 and IEffectLV2 for LV2. One object is both the processor and the edit
// controller (a single-component plug-in: the component has no controller class of its own and answers
// the controller's interface itself); it offers the component, audio processor, edit controller and unit
// information interfaces through faces (VST3Face), and the editor as a plug-in view (IEffectVST3View).
//
// Buses: one main audio input and one main audio output. Their channels are the effect's largest legal
// configuration (stereo for "1-1 2-2"); a bus arrangement with another legal pair of channel counts
// (mono to mono) connects that many channels, as the VST 2 speaker arrangement does: a disconnected
// input reads silence. Processing in 32 and 64 bits goes through the base's buffer plumbing, so the
// output is bit for bit the VST 2 binding's for the same blocks and values. Parameter changes the host
// sends with a block are applied at their sample offsets: the block is split there.
//
// Parameters: ids 0 .. NParams() - 1 are the effect's parameters (automatable; a step count for every
// kind but doubles); id kProgramParamID is the program-change parameter over the preset slots, which
// are also the program list of the root unit. Text goes through the parameters' own display and parsing
// rules. Values the host sends with blocks (and program changes there) set the parameters; while the
// component is active, values the host gives the controller (set_parameter_normalised) are what the
// controller reports and the editor shows, and reach the effect through the host's next blocks. While it
// is inactive there are no blocks, so they are applied at once. Changes from the editor apply at once and
// go to the host as begin / perform / end edits.
//
// State: the component state is the VST 2 binding's program chunk (framework header and the parameters'
// plain values), read strictly: damaged, cut short or foreign state is refused and changes nothing. The
// controller's own state is empty; set_component_state synchronises what the controller reports.
//
// Threads and locks (the base's two locks, IEffectBase): process runs on the audio thread and holds the
// plug-in mutex for the block (after mapping changes queued since the last one). set_processing and
// get_latency_samples take no lock. Every other call comes on the host's user-interface thread: those
// that change or read settings hold the state mutex, and the plug-in mutex only for the effect's short
// sections; nothing holds a lock while it calls the host. The host hears what processing made pending (a
// latency change, program values) through restart_component, always from the user-interface thread: at
// the end of the next call the host makes there, or from the editor's timer while the editor is open;
// never from the audio thread. No C++ exception leaves an entry (VST3Face).
//
// Ownership: reference counted. Made by VST3CreateInstance with one reference; the host's last release
// deletes it. The object holds a reference on the host's context and component handler between
// initialize / set_component_handler and terminate; an open view holds a reference on the object.
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/plugin/IEffectBase.h"
#include "framework/vst3/VST3ChangeCursor.h"
#include "framework/vst3/VST3Face.h"

class IEffectVST3View;

// What VST3CreateInstance hands the plug-in constructor (nothing the binding needs yet).
struct IEffectInstanceInfo {};

class IEffectVST3 : public IEffectBase {
public:
    // The program-change parameter's id (outside the effect's parameter indices).
    static constexpr v3_param_id kProgramParamID = 0x70726F67; // 'prog'
    // The root unit's program list.
    static constexpr int32_t kProgramListID = 1;
    // Block sizes beyond this are processed in pieces of it (the scratch buffers stay this size).
    static constexpr int kMaxBlockSize = 65536;

    // Constructs the base from the description (API VST 3), connects every channel and sets the block
    // size to 1024.
    IEffectVST3(const IEffectInstanceInfo& info, const IEffectDescription& desc);
    ~IEffectVST3() override;

    // The face the host receives from the factory: the component.
    v3_component** ComponentFace() { return mComponent.As<v3_component>(); }
    // After construction, on the creating thread: the program table from the preset slots.
    void PreparePrograms();

    // ---- v3_funknown (any thread) ----
    v3_result QueryInterface(const uint8_t* iid, void** obj);
    uint32_t Ref();
    uint32_t Unref();

    // ---- v3_plugin_base (user-interface thread) ----
    // Keeps the host's context and identifies the host by its name; a second call only counts.
    v3_result Initialize(v3_funknown** context);
    // Releases the host's context and component handler at the last matching call.
    v3_result Terminate();

    // ---- v3_component (user-interface thread) ----
    // V3_FALSE: the component is its own controller.
    v3_result GetControllerClassId(uint8_t* classId);
    v3_result SetIoMode(int32_t mode);
    int32_t GetBusCount(int32_t mediaType, int32_t direction);
    v3_result GetBusInfo(int32_t mediaType, int32_t direction, int32_t idx, v3_bus_info* info);
    v3_result GetRoutingInfo(v3_routing_info* in, v3_routing_info* out);
    v3_result ActivateBus(int32_t mediaType, int32_t direction, int32_t idx, v3_bool state);
    // Like VST 2's effMainsChanged: OnActivate(true), or OnActivate(false) and Reset.
    v3_result SetActive(v3_bool state);
    v3_result SetState(v3_bstream** stream);
    v3_result GetState(v3_bstream** stream);

    // ---- v3_audio_processor ----
    // User-interface thread: a legal pair of input and output channel counts, one bus each.
    v3_result SetBusArrangements(v3_speaker_arrangement* inputs, int32_t nIn, v3_speaker_arrangement* outputs,
                                 int32_t nOut);
    v3_result GetBusArrangement(int32_t direction, int32_t idx, v3_speaker_arrangement* arr);
    v3_result CanProcessSampleSize(int32_t size);
    // Any thread, no lock.
    uint32_t GetLatencySamples();
    // User-interface thread, inactive: sample rate (a rate the description serves), block size and
    // sample size; like VST 2's effSetSampleRate and effSetBlockSize, each followed by Reset.
    v3_result SetupProcessing(v3_process_setup* setup);
    // Any thread, no lock.
    v3_result SetProcessing(v3_bool state);
    // Audio thread.
    v3_result Process(v3_process_data* data);
    uint32_t GetTailSamples();

    // ---- v3_edit_controller (user-interface thread) ----
    v3_result SetComponentState(v3_bstream** stream);
    v3_result SetControllerState(v3_bstream** stream);
    v3_result GetControllerState(v3_bstream** stream);
    int32_t GetParameterCount();
    v3_result GetParameterInfo(int32_t idx, v3_param_info* info);
    v3_result GetParameterStringForValue(v3_param_id id, double normalized, int16_t* out);
    v3_result GetParameterValueForString(v3_param_id id, int16_t* text, double* normalized);
    double NormalizedParameterToPlain(v3_param_id id, double normalized);
    double PlainParameterToNormalized(v3_param_id id, double plain);
    double GetParameterNormalized(v3_param_id id);
    v3_result SetParameterNormalized(v3_param_id id, double normalized);
    v3_result SetComponentHandler(v3_component_handler** handler);
    // A new view for "editor" when an editor is attached and no other view lives; null otherwise.
    v3_plugin_view** CreateView(const char* name);

    // ---- v3_unit_information (user-interface thread): the root unit and its program list ----
    int32_t GetUnitCount();
    v3_result GetUnitInfo(int32_t idx, v3_unit_info* info);
    int32_t GetProgramListCount();
    v3_result GetProgramListInfo(int32_t idx, v3_program_list_info* info);
    v3_result GetProgramName(int32_t listId, int32_t idx, int16_t* name);
    v3_result GetProgramInfo(int32_t listId, int32_t idx, const char* attribute, int16_t* value);
    v3_result HasProgramPitchNames(int32_t listId, int32_t idx);
    v3_result GetProgramPitchName(int32_t listId, int32_t idx, int16_t pitch, int16_t* name);
    int32_t GetSelectedUnit();
    v3_result SelectUnit(int32_t unitId);
    v3_result GetUnitByBus(int32_t type, int32_t direction, int32_t busIdx, int32_t channel, int32_t* unitId);
    v3_result SetUnitProgramData(int32_t listOrUnitId, int32_t idx, v3_bstream** data);

    // ---- IEffectBase operations talking to the host (user-interface thread, no lock held) ----
    void BeginInformHostOfParamChange(int paramIdx) override;                    // begin_edit
    void InformHostOfParamChange(int paramIdx, double normalizedValue) override; // perform_edit
    void EndInformHostOfParamChange(int paramIdx) override;                      // end_edit
    void InformHostOfProgramChange() override;                                   // restart: parameter values
    // Under the plug-in mutex, any thread: records the latency; while the component is active, a change
    // is announced later (FlushHostNotifications).
    void SetLatency(int samples) override;
    // Off the audio thread, no lock held: restart_component with whatever is pending.
    void FlushHostNotifications() override;

    // The editor's thread (the host's user-interface thread), no plug-in lock held: the editor took
    // another size; an attached view asks its frame to resize.
    void ResizeGraphics(int w, int h) override;

    // ---- For the view (user-interface thread) ----
    void ViewClosed(IEffectVST3View* view);
    // The program the host chose last (0 .. NPresets() - 1).
    int CurrentProgram() const { return mProgram.load(std::memory_order_relaxed); }

private:
    // Parameter id to index (-1: not one of the effect's parameters).
    int ParamIndex(v3_param_id id) const;
    double ProgramNormalized(int program) const;
    int ProgramFromNormalized(double normalized) const;
    // Under the plug-in mutex (audio thread or not): the program's values into the parameters, mapped,
    // and the controls told; the host hears of it later.
    void ApplyProgramLocked(int program);
    // Under the plug-in mutex: a value from the host's block into parameter idx.
    void ApplyHostValueLocked(int idx, double normalized);
    void ProcessLocked(v3_process_data& data);
    void ProcessSpan(v3_process_data& data, int offset, int nFrames, bool isDouble);
    // One piece of at most the block size: the host's channels from offset on, attached and processed.
    template <class T>
    void ProcessPiece(T** hostIn, int nHostIn, T** hostOut, int nHostOut, Util_TypedBuf<T*>& pieceIn,
                      Util_TypedBuf<T*>& pieceOut, int offset, int nFrames);
    // The controller's view of each value follows the parameters.
    void MirrorParams();
    void BeginAudio();
    bool OnAudioThread() const;
    // Reads a whole stream of at most maxBytes (one more tells it is longer); false on a read error.
    static bool ReadStream(v3_bstream** stream, uint8_t* buf, int maxBytes, int* pRead);
    static bool WriteStream(v3_bstream** stream, const void* data, int size);
    // A program chunk from the host's stream into values: V3_OK; V3_INVALID_ARG without a stream;
    // V3_FALSE for anything but a program chunk (ReadProgramChunk's rules).
    v3_result ReadStateStream(v3_bstream** stream, std::vector<double>* values) const;
    uint32_t ChannelsOf(int32_t direction) const;

    VST3Face<IEffectVST3> mComponent, mProcessor, mController, mUnits;
    VST3RefCount mRefs;
    int mInitCount = 0;
    v3_funknown** mContext = nullptr;
    v3_component_handler** mHandler = nullptr;
    IEffectVST3View* mView = nullptr;

    VST3ChangeCursor mChanges;
    Util_TypedBuf<float*> mPieceInF, mPieceOutF;
    Util_TypedBuf<double*> mPieceInD, mPieceOutD;
    std::unique_ptr<std::atomic<double>[]> mMirror; // what the controller reports, normalised
    std::unique_ptr<double[]> mDefaults;            // default values, normalised
    std::unique_ptr<double[]> mPrograms;            // NPresets() x NParams() plain values
    std::atomic<int> mProgram{0};
    v3_speaker_arrangement mInputArr = 0, mOutputArr = 0;
    std::atomic<bool> mActive{false};
    std::atomic<int32_t> mPendingRestart{0};
    std::atomic<unsigned long> mAudioThread{0};
};

// The creation steps, for the factory: under a process-wide creation lock, calls factory, fills every
// still-empty preset slot with the current state, builds the program table and maps every parameter
// (what a VST 2 host's effOpen does). Null when factory returns null or throws.
IEffectVST3* VST3CreateInstance(IEffectVST3* (*factory)(const IEffectInstanceInfo& info));
