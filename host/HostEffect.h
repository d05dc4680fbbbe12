#pragma once
// HostEffect: one loaded plug-in instance as the commands use it (info, render, snapshot), whatever its
// format. HostPlugin (VST 2.4), HostVST3Plugin (VST 3) and HostClapPlugin (CLAP) implement it; HostOpenEffect
// loads a file with the format it has. Everything on the host's one thread: it sets the instance up, drives
// its audio and its editor, one call at a time.
#include <string>
#include <vector>

// Most inputs or outputs a plug-in may announce; loading refuses plug-ins with more.
constexpr int kHostMaxPins = 256;

// What the host tells the plug-in about the song position.
struct HostTransport {
    double samplePos = 0.0; // frames since the start of the render, at the current block
    double tempo = 120.0;   // beats per minute
    int timeSigNumerator = 4;
    int timeSigDenominator = 4;
    bool playing = false;
    bool changed = true; // the next answer carries a transport change (VST 2's kVstTransportChanged)
};

class HostEffect {
public:
    HostEffect() = default;
    HostEffect(const HostEffect&) = delete;
    HostEffect& operator=(const HostEffect&) = delete;
    virtual ~HostEffect() = default;

    // "VST 2.4", "VST 3" or "CLAP".
    virtual const char* FormatName() const = 0;
    virtual std::string EffectName() = 0;
    // What `info` prints: aligned text, or one JSON object.
    virtual std::string Describe(bool json) = 0;

    // ---- Settings ----
    // The current program's name ("" when the plug-in has none).
    virtual std::string ProgramName() = 0;
    // Chooses the program (a name or an index; none when empty), then each NAME=VALUE in order; false
    // with err at the first that does not apply.
    virtual bool ApplyProgramAndValues(const std::string& program,
                                       const std::vector<std::string>& assignments, std::string& err) = 0;

    // ---- Audio ----
    virtual int NumInputs() = 0;
    virtual int NumOutputs() = 0;
    // The latency the plug-in reports now, in samples.
    virtual int Latency() = 0;
    // "" when the plug-in processes in that precision, else why it does not.
    virtual std::string CannotProcess(bool doublePrecision) = 0;
    // The sample rate, the largest block and the precision, before processing starts: "" when the
    // plug-in takes them, else why not.
    virtual std::string Configure(int sampleRate, int maxBlock, bool doublePrecision) = 0;
    // Asks the plug-in to take one input: the outputs it then has (1 when it also narrows its output),
    // 0 when it does not take one input.
    virtual int NarrowToMono() = 0;
    // Processing on: "" when it is, else why not. Suspend turns it off again.
    virtual std::string Resume() = 0;
    virtual void Suspend() = 0;
    virtual void SetTransport(const HostTransport& t) = 0;
    // One block of frames; the outputs come zeroed and are overwritten (or added to, by plug-ins that
    // only accumulate).
    virtual void RenderFloat(float** inputs, float** outputs, int frames) = 0;
    virtual void RenderDouble(double** inputs, double** outputs, int frames) = 0;

    // ---- Editor (on an X display) ----
    virtual bool HasEditor() = 0;
    // The editor's size in pixels; false while the plug-in tells none.
    virtual bool EditorSize(int& w, int& h) = 0;
    // Opens the editor inside the X window; false when it does not open.
    virtual bool OpenEditor(unsigned long window) = 0;
    // What a host's loop does for an open editor between frames.
    virtual void IdleEditor() = 0;
    virtual void CloseEditor() = 0;
};
