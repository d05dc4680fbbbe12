#pragma once
// HostLv2Plugin: one LV2 plug-in instance and the host it talks to, found and described through lilv;
// the LV2 form of HostEffect.
//
// Load() takes a bundle folder (*.lv2: its first plug-in) or a plug-in's URI (looked up among the
// bundles installed on LV2_PATH), checks that every feature the plug-in requires is one this host
// offers (urid map and unmap, options with the block lengths and the sample rate, bounded block length,
// log, a worker: HostLv2Worker) and instantiates it at 44.1 kHz with blocks of up to 512 frames; Configure
// instantiates it again when the rate or the largest block changes (its internal state carried over through
// its state interface, the port values kept). Audio ports are the plug-in's inputs and outputs in index
// order; CV ports read silence; atom inputs get an empty sequence and atom outputs room that nobody reads.
// Control inputs are the parameters, in their own ranges; a control output designated as latency reports it.
// Programs are the plug-in's presets (by index or label).
//
// Threads: the thread that loads it is its main thread; the audio calls may run on one other thread
// (the validator's). Parameter values are kept in atomics the audio side copies into the control ports
// before each run, so SetParam may be called from the main thread while processing; the latency the
// plug-in writes is copied out the same way. The editor is the plug-in's X11 UI (HostLv2Editor), on the
// main thread. The instance, its world and its UI are freed by the destructor.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "host/HostEffect.h"

struct LilvWorldImpl;
struct LilvPluginImpl;
struct LilvInstanceImpl;
class HostLv2Editor;
class HostLv2Host;
class HostLv2Worker;

// One property a plug-in's state interface saved (the key and type as URIs, so that another
// instance, with other URIDs, can take it).
struct HostLv2Property {
    std::string key, type;
    uint32_t flags = 0;
    std::vector<uint8_t> value;
};

class HostLv2Plugin : public HostEffect {
public:
    // A bundle folder or a URI is an LV2 plug-in; any other path is not.
    static bool IsLv2(const std::string& pathOrUri);
    static std::unique_ptr<HostLv2Plugin> Load(const std::string& pathOrUri, std::string& err);
    ~HostLv2Plugin() override;

    // ---- Parameters (control input ports, by their order among the ports) ----
    struct Param {
        uint32_t port;
        std::string symbol, name, unit;
        float min, max, def;
        bool integer, toggled, enumeration;
        std::vector<std::pair<float, std::string>> scalePoints;
    };
    const std::vector<Param>& Params() const { return mParams; }
    float ParamValue(int index) const;
    // From any thread; reaches the plug-in with the next run.
    void SetParam(int index, float value);
    // The label of a scale point at value, else the number with its unit.
    std::string ParamText(int index, float value) const;
    // A scale point's label or a number; false for anything else.
    bool ParamFromText(int index, const std::string& text, float& value) const;
    std::string Uri() const;
    std::string Vendor() const;
    // "minor.micro" from lv2:minorVersion and lv2:microVersion ("" when it tells none).
    std::string Version() const;

    // ---- State (HostLv2State.cpp) ----
    // The port values and what the state interface saves; false with err when the plug-in fails.
    bool SaveState(std::vector<std::pair<std::string, float>>& ports, std::vector<HostLv2Property>& props,
                   std::string& err);
    // The properties through the state interface, then (when the plug-in took them) the port values by
    // symbol (unknown symbols ignored); false, with nothing changed by the host, when it refused them.
    bool RestoreState(const std::vector<std::pair<std::string, float>>& ports,
                      const std::vector<HostLv2Property>& props);

    // ---- HostEffect ----
    const char* FormatName() const override { return "LV2"; }
    std::string EffectName() override;
    std::string Describe(bool json) override; // HostLv2Info.cpp
    std::string ProgramName() override { return mProgramName; }
    bool ApplyProgramAndValues(const std::string& program, const std::vector<std::string>& assignments,
                               std::string& err) override;
    int NumInputs() override { return static_cast<int>(mAudioIn.size()); }
    int NumOutputs() override { return static_cast<int>(mAudioOut.size()); }
    int Latency() override { return mLatency.load(); }
    std::string CannotProcess(bool doublePrecision) override;
    std::string Configure(int sampleRate, int maxBlock, bool doublePrecision) override;
    int NarrowToMono() override { return NumInputs() == 1 ? NumOutputs() : 0; }
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
    friend class HostLv2Editor;
    enum EKind { kAudio, kControl, kCV, kAtom, kOther };
    struct Port {
        EKind kind = kOther;
        bool input = false;
        bool latency = false;
        float value = 0.0f;         // the connected control value
        std::vector<float> cv;      // silence for a CV port
        std::vector<uint64_t> atom; // an atom port's buffer (8-byte aligned)
    };

    HostLv2Plugin();
    bool Instantiate(double rate, int maxBlock, std::string& err);
    void FreeInstance();
    bool FindParam(const std::string& name, int& index, std::string& err) const;
    bool ApplyPreset(const std::string& program, std::string& err);

    std::unique_ptr<HostLv2Host> mHost; // URIDs, options and features
    std::unique_ptr<HostLv2Worker> mWorker;
    LilvWorldImpl* mWorld = nullptr;
    const LilvPluginImpl* mPlugin = nullptr;
    LilvInstanceImpl* mInstance = nullptr;
    double mRate = 44100.0;
    int mMaxBlock = 512;
    bool mActive = false;
    std::vector<Port> mPorts;
    std::vector<uint32_t> mAudioIn, mAudioOut;
    std::vector<Param> mParams;
    std::unique_ptr<std::atomic<float>[]> mWanted; // per parameter: the value for the next run
    std::atomic<int> mLatency{0};
    int mLatencyPort = -1;
    uint32_t mSequenceType = 0, mChunkType = 0; // URIDs the audio side needs, mapped once
    std::string mProgramName;
    HostTransport mTransport;
    std::unique_ptr<HostLv2Editor> mEditor;
};
