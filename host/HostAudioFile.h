#pragma once
// Audio files for the command-line host, through libsndfile.
//
// HostAudioReader reads a file (WAV, FLAC, OGG, AIFF and whatever else libsndfile reads) piece by
// piece, so that memory stays the same whatever its length; HostReadAudio reads a whole file into
// one double array per channel (for short files). HostAudioWriter encodes audio into a
// Util_AtomicFile its caller opened (through HostOutputs) and moves into place once the writer is
// finished, so a failed render never leaves a half-written output behind; the container comes from
// the destination's extension. Integer sample formats are written with clipping, never with
// wrap-around. Floating-point WAV files get no PEAK chunk: its time stamp would make two renders of
// the same audio different files (libsndfile's AIFF needs it to tell its length right). One thread.
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

class HostAudioReader {
public:
    HostAudioReader() = default;
    ~HostAudioReader();
    HostAudioReader(const HostAudioReader&) = delete;
    HostAudioReader& operator=(const HostAudioReader&) = delete;

    // Opens the regular file at path and checks its channel count and sample rate.
    bool Open(const std::string& path, std::string& err);
    int SampleRate() const { return mSampleRate; }
    int NumChannels() const { return mChannels; }
    int Subtype() const { return mSubtype; } // libsndfile sample format (SF_FORMAT_PCM_16, ...)
    // The frames the file announces (its header, or libsndfile's count when the header says
    // nothing usable); -1 when unknown.
    int64_t AnnouncedFrames() const { return mAnnounced; }
    int64_t FramesRead() const { return mFramesRead; }
    // Reads up to frames frames into channels[c][0 .. got-1]; got is less than frames only at the end.
    bool Read(double* const* channels, int frames, int& got, std::string& err);

private:
    void* mSnd = nullptr; // SNDFILE*
    int mFd = -1;
    std::string mPath;
    int mSampleRate = 0;
    int mChannels = 0;
    int mSubtype = 0;
    int64_t mAnnounced = -1;
    int64_t mFramesRead = 0;
    std::vector<double> mInterleaved;
};

// Reads the whole file at path.
bool HostReadAudio(const std::string& path, HostAudio& out, std::string& err);

// Sample formats by name: "pcm16", "pcm24", "pcm32", "float", "double", "vorbis". 0 for unknown.
int HostSampleFormatFromName(const std::string& name);
// Container from the path's extension (.wav, .flac, .ogg, .aif/.aiff; any case). 0 for unknown.
int HostContainerFromPath(const std::string& path);
// The container an output at path is written in: from its extension, or WAV for a character device
// whose name tells none (/dev/null). 0 when neither tells.
int HostOutputContainer(const std::string& path);
// Why a container cannot be written to a pipe (WAV and AIFF go back to complete their header at the
// end), or null when it can (FLAC and OGG are written front to back).
const char* HostPipeRefusal(int container);

class HostAudioWriter {
public:
    HostAudioWriter() = default;
    ~HostAudioWriter();
    HostAudioWriter(const HostAudioWriter&) = delete;
    HostAudioWriter& operator=(const HostAudioWriter&) = delete;

    // Starts writing into file (created, not yet committed; it must outlive the writer), in the
    // container HostOutputContainer gives for file.Path(). sampleFormat is a libsndfile subtype or 0
    // for the default: preferredFormat when the container can hold it, else the container's usual one.
    bool Open(Util_AtomicFile& file, int sampleRate, int numChannels, int sampleFormat, int preferredFormat,
              std::string& err);
    // Appends frames of every channel (channels[c][0 .. frames-1]).
    bool Write(const double* const* channels, int frames, std::string& err);
    // Completes the file (header, last encoded data); the file's owner then commits it.
    bool Finish(std::string& err);
    int SampleFormat() const { return mSubtype; }

private:
    void Close();

    void* mSnd = nullptr; // SNDFILE*
    std::string mPath;
    int mChannels = 0;
    int mSubtype = 0;
    int mContainer = 0;
    bool mWroteFrames = false;
    std::vector<double> mInterleaved;
};
