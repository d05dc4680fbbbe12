#pragma once
// Rendering audio through a loaded plug-in, block by block, the way a host drives it.
//
// HostPlanChannels decides which file channel feeds which plug-in input and which plug-in output
// lands in which output channel. HostPrepareRender announces the sample rate, the largest block and
// the precision, and narrows the plug-in to one input when asked (HostEffect::NarrowToMono: one
// input and one output when the plug-in takes that, else one input and all its outputs, and the plan
// follows what it took); the caller then sets parameters and programs. Any plug-in format
// (HostEffect). HostRender switches
// processing on, pulls the input from a source block by block, runs the audio callbacks in blocks
// of blockSize frames (the last one shorter, ending where the output is complete; silence is fed
// past the end of the input) with the transport following the render position, and hands the
// output to a sink as it goes, so memory does not grow with the length. The output has exactly as
// many frames as the input plus the tail. With latency compensation the first `latency` frames the
// plug-in produces are dropped and as many more are rendered at the end, so the output lines up
// with the input; the latency is read again after every block because some plug-ins report it only
// once they have processed. Host thread only.
#include "host/HostAudioFile.h"
#include "host/HostEffect.h"

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Largest block a render may use or announce.
constexpr int kHostMaxBlockSize = 1 << 20;

struct HostRenderOptions {
    int blockSize = 512;          // frames per audio callback
    int maxBlockSize = 0;         // announced with effSetBlockSize; 0 announces blockSize
    bool doublePrecision = false; // processDoubleReplacing instead of the single-precision callbacks
    bool compensateLatency = true;
    int64_t tailFrames = 0;
    bool monoInput = false; // narrow the plug-in to one input (mono files only)
    int outputChannels = 0; // 0: as many as the plug-in has outputs
    double tempo = 120.0;
    int timeSigNumerator = 4;
    int timeSigDenominator = 4;
    int64_t expectedInputFrames = 0; // the input's announced length, for progress until it has ended
    std::function<void(int64_t done, int64_t total)> progress; // after every block, if set
    const volatile std::sig_atomic_t* cancel = nullptr;        // stops the render when it becomes non-zero
    // Receives the input's frames (every file channel) as they are fed to the plug-in, if set.
    std::function<void(const double* const* channels, int numChannels, int frames)> inputTap;
};

struct HostChannelPlan {
    enum { kSilence = -1, kMix = -2 };
    std::vector<int> inputSource;  // per plug-in input: a file channel, kSilence or kMix (all averaged)
    std::vector<int> outputSource; // per output channel: the plug-in output it copies
    bool narrowToMono = false;     // tell the plug-in it has one input
};

struct HostRenderResult {
    int latency = 0;             // as last reported by the plug-in
    bool latencyChanged = false; // it changed after output had been written (not compensated then)
    bool compensated = false;    // latency frames were dropped from the start
    int64_t inputFrames = 0;
    int64_t processedFrames = 0; // frames that went through the plug-in
    int64_t outputFrames = 0;
    int outputChannels = 0;
    double processSeconds = 0.0; // wall time spent inside the plug-in's audio callbacks
};

// Gives the input frames in order.
class HostAudioSource {
public:
    virtual ~HostAudioSource() = default;
    virtual int NumChannels() const = 0;
    // Fills channels[c][0 .. got-1] with the next frames, at most frames; got < frames only at the end.
    virtual bool Read(double* const* channels, int frames, int& got, std::string& err) = 0;
};

// A source over audio held in memory.
class HostMemorySource : public HostAudioSource {
public:
    explicit HostMemorySource(const HostAudio& audio) : mAudio(audio) {}
    int NumChannels() const override { return mAudio.NumChannels(); }
    bool Read(double* const* channels, int frames, int& got, std::string& err) override;

private:
    const HostAudio& mAudio;
    int64_t mPos = 0;
};

// A source that reads an audio file through a HostAudioReader.
class HostFileSource : public HostAudioSource {
public:
    explicit HostFileSource(HostAudioReader& reader) : mReader(reader) {}
    int NumChannels() const override { return mReader.NumChannels(); }
    bool Read(double* const* channels, int frames, int& got, std::string& err) override {
        return mReader.Read(channels, frames, got, err);
    }

private:
    HostAudioReader& mReader;
};

// Receives the rendered frames in order.
class HostAudioSink {
public:
    virtual ~HostAudioSink() = default;
    virtual bool Write(const double* const* channels, int frames, std::string& err) = 0;
};

// A sink that keeps everything in memory.
class HostMemorySink : public HostAudioSink {
public:
    explicit HostMemorySink(int channels) : mChannels(static_cast<size_t>(channels)) {}
    bool Write(const double* const* channels, int frames, std::string& err) override;
    const std::vector<std::vector<double>>& Channels() const { return mChannels; }

private:
    std::vector<std::vector<double>> mChannels;
};

// A sink that writes an audio file through a HostAudioWriter.
class HostFileSink : public HostAudioSink {
public:
    explicit HostFileSink(HostAudioWriter& writer) : mWriter(writer) {}
    bool Write(const double* const* channels, int frames, std::string& err) override {
        return mWriter.Write(channels, frames, err);
    }

private:
    HostAudioWriter& mWriter;
};

bool HostPlanChannels(int fileChannels, int pluginInputs, int pluginOutputs, bool monoInput,
                      int outputChannels, HostChannelPlan& plan, std::string& err);

// May change plan's outputs when the plug-in takes a mono input only with all its outputs.
bool HostPrepareRender(HostEffect& plugin, int sampleRate, const HostRenderOptions& options,
                       HostChannelPlan& plan, std::string& err);

bool HostRender(HostEffect& plugin, HostAudioSource& input, HostAudioSink& sink,
                const HostRenderOptions& options, const HostChannelPlan& plan, HostRenderResult& result,
                std::string& err);
// The same over audio in memory.
bool HostRender(HostEffect& plugin, const HostAudio& input, HostAudioSink& sink,
                const HostRenderOptions& options, const HostChannelPlan& plan, HostRenderResult& result,
                std::string& err);
