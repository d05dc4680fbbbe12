#pragma once
// Audio files for the command-line host, through libsndfile.
//
// HostReadAudio reads a whole file (WAV, FLAC, OGG, AIFF and whatever else libsndfile reads) into
// one double array per channel. HostAudioWriter writes a file whose container comes from the
// destination's extension; it writes into a temporary file next to the destination and renames it
// into place only in Commit(), so a failed render never leaves a half-written output behind.
// Integer sample formats are written with clipping, never with wrap-around. One thread.
#include "host/HostFile.h"

#include <cstdint>
#include <string>
#include <vector>

struct HostAudio {
    int sampleRate = 0;
    int subtype = 0; // libsndfile sample format of the source file (SF_FORMAT_PCM_16, ...)
    std::vector<std::vector<double>> channels;

    int NumChannels() const { return static_cast<int>(channels.size()); }
    int64_t NumFrames() const { return channels.empty() ? 0 : static_cast<int64_t>(channels[0].size()); }
};

// Most channels and the sample-rate range accepted from a file or a command line.
constexpr int kHostMaxChannels = 64;
constexpr int kHostMinSampleRate = 1000;
constexpr int kHostMaxSampleRate = 768000;

bool HostReadAudio(const std::string& path, HostAudio& out, std::string& err);

// Sample formats by name: "pcm16", "pcm24", "pcm32", "float", "double", "vorbis". 0 for unknown.
int HostSampleFormatFromName(const std::string& name);
// Container from the path's extension (.wav, .flac, .ogg, .aif/.aiff; any case). 0 for unknown.
int HostContainerFromPath(const std::string& path);

class HostAudioWriter {
public:
    HostAudioWriter() = default;
    ~HostAudioWriter();
    HostAudioWriter(const HostAudioWriter&) = delete;
    HostAudioWriter& operator=(const HostAudioWriter&) = delete;

    // Opens the temporary output for path. sampleFormat is a libsndfile subtype or 0 for the
    // default: preferredFormat when the container can hold it, else the container's usual one.
    bool Open(const std::string& path, int sampleRate, int numChannels, int sampleFormat, int preferredFormat,
              std::string& err);
    // Appends frames of every channel (channels[c][0 .. frames-1]).
    bool Write(const double* const* channels, int frames, std::string& err);
    // Finishes the file and moves it to its destination.
    bool Commit(std::string& err);
    int SampleFormat() const { return mSubtype; }

private:
    void Close();

    HostAtomicFile mFile;
    void* mSnd = nullptr; // SNDFILE*
    std::string mPath;
    int mChannels = 0;
    int mSubtype = 0;
    int mContainer = 0;
    bool mWroteFrames = false;
    std::vector<double> mInterleaved;
};
