#pragma once
// HostVST3Plugin: one VST 3 plug-in instance and the host it talks to; the VST 3 form of HostEffect.
//
// Load() opens the bundle or module (HostVST3Module) and makes a class of its factory: the one named
// className, else the first of category "Audio Module Class". It creates the component and initialises
// it with the host's context, reaches the audio processor through it, and the edit controller either
// through it (one object) or as an object of the controller class the component names, initialised
// too; two objects are connected through their connection points both ways, and the controller learns
// the component's state (set_component_state). The controller gets the host's component handler; the
// unit information comes from the controller. Every audio bus is activated: audio goes through the
// first input and output bus (the main ones), the others get buffers of their own (inputs silent,
// outputs dropped); event buses stay off.
//
// The plug-in sees a small offline host named "tidebloom-host": its context makes messages and
// attribute lists (create_instance), its component handler takes edits (the values go to the processor
// with the next block) and restarts (noted: the latency is read after every block anyway), and its
// frame resizes nothing but offers the run loop the host turns itself (HostVST3RunLoop), so a view runs
// its timers and descriptor handlers in IdleEditor. The editor is the controller's view "editor" on the
// X11 embed platform type.
//
// Parameters are set on the controller (set_parameter_normalised) and queued for the processor, which
// hears them with the next block (at its first frame). Values given on the command line are the plug-in's
// own texts (get_parameter_value_for_string) or plain values in the parameter's range. Programs are the
// values of the program-change parameter; their names come from the program list of the parameter's
// unit, else from the parameter's texts. The processor gets the program's change and, after it, every
// value the controller moved to the program's (a processor that leaves programs to its controller, as
// ZamComp's does, hears of them only so). Processing is offline (V3_OFFLINE) unless SetRealtime asks
// for real-time processing before Configure.
//
// Threads: the host's one thread, which is its user-interface thread and, for renders, its audio thread;
// the plug-in's calls into the host come on it too. The validator processes on a second thread: then
// SetParam, SaveState and the editor's calls may come from the user-interface thread while the audio
// thread renders (values are queued under mPendingLock, which the audio side only tries, so it never
// waits; a value that misses a block goes with the next). Inside process the host marks the plug-in's
// audio callback for the allocation watch (HostAllocWatch), and the host's own callbacks as its own. The
// destructor stops processing, closes the view, disconnects and terminates both parts, releases them and
// closes the module. Every failure on the way is a one-line error that leaves nothing loaded.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/vst3/VST3Face.h"
#include "host/HostEffect.h"
#include "host/HostVST3Changes.h"
#include "host/HostVST3Module.h"
#include "host/HostVST3RunLoop.h"

class HostVST3Plugin : public HostEffect {
public:
    static constexpr const char* kHostName = "tidebloom-host";
    static constexpr const char* kAudioModuleClass = "Audio Module Class";

    static std::unique_ptr<HostVST3Plugin> Load(const std::string& path, std::string& err,
                                                const std::string& className = "");
    ~HostVST3Plugin() override;

    // ---- Parameters (through the controller) ----
    int NumParams();
    bool ParamInfo(int index, v3_param_info& info);
    double ParamValue(v3_param_id id);                   // normalised
    std::string ParamText(v3_param_id id, double value); // the plug-in's text for a normalised value
    double ParamPlain(v3_param_id id, double value);     // the plain value of a normalised one
    // The controller takes the normalised value and the processor gets it with the next block.
    void SetParam(v3_param_id id, double value);
    // SetParam of a program-change parameter, then every value the controller moved with it, for the
    // processor (one that leaves programs to its controller hears of them only so).
    void SetProgramParam(v3_param_id id, double value);
    // The plug-in's normalised value for a text (get_parameter_value_for_string); false when it reads none.
    bool ParamFromText(v3_param_id id, const std::string& text, double& value);

    // ---- State and identity (the validator's) ----
    // The component's state (get_state), after values still waiting for a block reached the processor
    // (FlushParams). False when it gives none.
    bool SaveState(std::vector<uint8_t>& bytes);
    // set_state on the component; when it takes the bytes, the controller learns them too
    // (set_component_state). False when the component refused them.
    bool LoadState(const std::vector<uint8_t>& bytes);
    // get_tail_samples: 0 none, V3_INFINITE_TAIL (UINT32_MAX) never ending.
    uint32_t TailSamples();
    std::string Vendor() const;
    std::string Version() const;
    std::string ClassIdText() const; // 32 hexadecimal digits
    // Real-time (true) or offline processing from the next Configure on.
    void SetRealtime(bool realtime) { mProcessMode = realtime ? V3_REALTIME : V3_OFFLINE; }

    // ---- HostEffect ----
    const char* FormatName() const override { return "VST 3"; }
    std::string EffectName() override { return mClassName; }
    std::string Describe(bool json) override; // HostVST3Info.cpp
    std::string ProgramName() override;
    bool ApplyProgramAndValues(const std::string& program, const std::vector<std::string>& assignments,
                               std::string& err) override;
    int NumInputs() override { return mInputs; }
    int NumOutputs() override { return mOutputs; }
    int Latency() override;
    std::string CannotProcess(bool doublePrecision) override;
    // setup_processing (offline, the precision, the largest block, the rate).
    std::string Configure(int sampleRate, int maxBlock, bool doublePrecision) override;
    // set_bus_arrangements: mono in and out, else mono in and the outputs as they are.
    int NarrowToMono() override;
    // set_active and set_processing.
    std::string Resume() override;
    void Suspend() override;
    void SetTransport(const HostTransport& t) override { mTransport = t; }
    void RenderFloat(float** inputs, float** outputs, int frames) override;
    void RenderDouble(double** inputs, double** outputs, int frames) override;
    bool HasEditor() override;
    bool EditorSize(int& w, int& h) override;
    bool OpenEditor(unsigned long window) override;
    void IdleEditor() override { mRunLoop.Turn(); }
    void CloseEditor() override;

    // ---- The host's interfaces (context, component handler, frame), through its faces ----
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
    // One audio bus as the component describes it.
    struct Bus {
        int32_t channels = 0;
        bool main = false;
        std::string name;
    };
    // The program-change parameter and its programs' names.
    struct Programs {
        v3_param_id id = 0;
        int32_t steps = 0; // programs - 1
        std::vector<std::string> names;
    };

    HostVST3Plugin();
    // A 128-unit UTF-16 text of the plug-in's as printable UTF-8.
    static std::string Text16(const int16_t* text);
    bool Create(const std::string& path, const std::string& className, std::string& err);
    // The audio buses and the main buses' channels (activating every bus when asked).
    bool ReadBuses(bool activate, std::string& err);
    void ConnectParts(bool connect);
    // Every parameter's title, by index.
    std::vector<std::string> ParamNames();
    bool SetParamFromText(int index, const std::string& text, std::string& err);
    // False when the plug-in has no program-change parameter.
    bool FindPrograms(Programs& programs);
    // The buses' buffers for a block: the main ones given, the others spare.
    template <class T>
    void Process(T** inputs, T** outputs, int frames);
    bool EnsureView();
    // process with the host's mode, the values in changes (may be null) and an empty list for what the
    // plug-in reports, inside the allocation watch's audio-callback scope.
    void CallProcess(v3_process_data& data, HostVST3Changes* changes);
    // When not processing, values waiting for the next block go to the processor now, in a block of no
    // frames (the component made active for it when it is not).
    void FlushParams();

    std::unique_ptr<HostVST3Module> mModule;
    std::string mPath, mClassName, mCategory;
    v3_tuid mClassId = {};
    v3_class_info_2 mClassInfo2 = {};
    bool mHasClassInfo2 = false;
    v3_factory_info mFactoryInfo = {};

    VST3Face<HostVST3Plugin> mContextFace, mHandlerFace, mFrameFace;
    HostVST3RunLoop mRunLoop;

    v3_component** mComponent = nullptr;
    v3_audio_processor** mProcessor = nullptr;
    v3_edit_controller** mController = nullptr;
    v3_unit_information** mUnits = nullptr;
    v3_connection_point** mComponentPoint = nullptr;
    v3_connection_point** mControllerPoint = nullptr;
    bool mComponentInitialised = false, mControllerInitialised = false;
    bool mSeparateController = false;
    bool mHandlerSet = false;

    std::vector<Bus> mInBuses, mOutBuses;
    int mInputs = 0, mOutputs = 0; // channels of the main (first) buses
    double mSampleRate = 44100.0;
    int mMaxBlock = 512;
    bool mActive = false, mProcessing = false;
    std::atomic<int32_t> mRestartFlags{0}; // restarts the plug-in asked for, all of them
    int32_t mProcessMode = V3_OFFLINE;
    bool mDoublePrecision = false;
    HostTransport mTransport;

    std::mutex mPendingLock;
    std::vector<HostVST3Change> mPending; // values for the processor with the next block (mPendingLock)
    HostVST3Changes mOutChanges;          // what the processor reports back (dropped)
    std::vector<std::vector<float>> mSpare32;
    std::vector<std::vector<double>> mSpare64;
    std::vector<float*> mSparePtr32;
    std::vector<double*> mSparePtr64;
    std::vector<v3_audio_bus_buffers> mInBuffers, mOutBuffers;

    v3_plugin_view** mView = nullptr;
    bool mAttached = false;
};
