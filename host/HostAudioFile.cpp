#include "host/HostAudioFile.h"

#include "host/HostAudioHeader.h"
#include "host/HostText.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Frames converted per libsndfile call: large enough to keep calls rare, small enough to keep the
// interleaved buffer small with many channels.
constexpr int kPieceFrames = 16384;
} // namespace

HostAudioReader::~HostAudioReader() {
    if (mSnd) sf_close(static_cast<SNDFILE*>(mSnd));
    if (mFd >= 0) ::close(mFd);
}

bool HostAudioReader::Open(const std::string& path, std::string& err) {
    if (mSnd || mFd >= 0) {
        err = HostFormat("cannot read '%s': already reading '%s'", path.c_str(), mPath.c_str());
        return false;
    }
    mFd = HostOpenForReading(path, err);
    if (mFd < 0) return false;
    mPath = path;
    const int64_t headerFrames = HostHeaderFrames(mFd);
    SF_INFO info{};
    SNDFILE* snd = sf_open_fd(mFd, SFM_READ, &info, SF_FALSE);
    if (!snd) {
        err = HostFormat("cannot read '%s' as audio: %s", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    mSnd = snd;
    if (info.channels < 1 || info.channels > kHostMaxChannels) {
        err = HostFormat("cannot use '%s': %d channels (1 to %d are supported)", path.c_str(), info.channels,
                         kHostMaxChannels);
        return false;
    }
    if (info.samplerate < kHostMinSampleRate || info.samplerate > kHostMaxSampleRate) {
        err = HostFormat("cannot use '%s': sample rate %d Hz (%d to %d Hz are supported)", path.c_str(),
                         info.samplerate, kHostMinSampleRate, kHostMaxSampleRate);
        return false;
    }
    mSampleRate = info.samplerate;
    mChannels = info.channels;
    mSubtype = info.format & SF_FORMAT_SUBMASK;
    mAnnounced = headerFrames >= 0 ? headerFrames : (info.frames == SF_COUNT_MAX ? -1 : info.frames);
    return true;
}

bool HostAudioReader::Read(double* const* channels, int frames, int& got, std::string& err) {
    got = 0;
    if (!mSnd) {
        err = HostFormat("cannot read '%s': not open", mPath.c_str());
        return false;
    }
    SNDFILE* snd = static_cast<SNDFILE*>(mSnd);
    const size_t nch = static_cast<size_t>(mChannels);
    mInterleaved.resize(static_cast<size_t>(std::min(frames, kPieceFrames)) * nch);
    // Read in pieces until the end rather than trusting the announced length.
    while (got < frames) {
        const sf_count_t n = sf_readf_double(snd, mInterleaved.data(), std::min(frames - got, kPieceFrames));
        if (n <= 0) break;
        for (size_t c = 0; c < nch; ++c) {
            double* dst = channels[c] + got;
            const double* src = mInterleaved.data() + c;
            for (sf_count_t f = 0; f < n; ++f) dst[f] = src[static_cast<size_t>(f) * nch];
        }
        got += static_cast<int>(n);
    }
    mFramesRead += got;
    const int e = sf_error(snd);
    if (e != SF_ERR_NO_ERROR) {
        err = HostFormat("cannot read '%s': %s", mPath.c_str(), sf_error_number(e));
        return false;
    }
    return true;
}

bool HostReadAudio(const std::string& path, HostAudio& out, std::string& err) {
    HostAudioReader reader;
    if (!reader.Open(path, err)) return false;
    HostAudio a;
    a.sampleRate = reader.SampleRate();
    a.subtype = reader.Subtype();
    a.channels.assign(static_cast<size_t>(reader.NumChannels()), {});
    std::vector<double*> ptrs(a.channels.size());
    for (;;) {
        const size_t base = a.channels[0].size();
        for (size_t c = 0; c < a.channels.size(); ++c) {
            a.channels[c].resize(base + kPieceFrames);
            ptrs[c] = a.channels[c].data() + base;
        }
        int got = 0;
        if (!reader.Read(ptrs.data(), kPieceFrames, got, err)) return false;
        for (auto& ch : a.channels) ch.resize(base + static_cast<size_t>(got));
        if (got < kPieceFrames) break;
    }
    out = std::move(a);
    return true;
}

int HostSampleFormatFromName(const std::string& name) {
    if (name == "pcm16") return SF_FORMAT_PCM_16;
    if (name == "pcm24") return SF_FORMAT_PCM_24;
    if (name == "pcm32") return SF_FORMAT_PCM_32;
    if (name == "float") return SF_FORMAT_FLOAT;
    if (name == "double") return SF_FORMAT_DOUBLE;
    if (name == "vorbis") return SF_FORMAT_VORBIS;
    return 0;
}

int HostContainerFromPath(const std::string& path) {
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return 0;
    std::string ext = path.substr(dot + 1);
    if (HostEqualsNoCase(ext, "wav")) return SF_FORMAT_WAV;
    if (HostEqualsNoCase(ext, "flac")) return SF_FORMAT_FLAC;
    if (HostEqualsNoCase(ext, "ogg") || HostEqualsNoCase(ext, "oga")) return SF_FORMAT_OGG;
    if (HostEqualsNoCase(ext, "aif") || HostEqualsNoCase(ext, "aiff")) return SF_FORMAT_AIFF;
    return 0;
}

int HostOutputContainer(const std::string& path) {
    const int container = HostContainerFromPath(path);
    struct stat st {};
    if (container == 0 && ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode)) return SF_FORMAT_WAV;
    return container;
}

const char* HostPipeRefusal(int container) {
    if (container == SF_FORMAT_WAV)
        return "WAV cannot be written to a pipe, its header is completed at the end (FLAC and OGG can)";
    if (container == SF_FORMAT_AIFF)
        return "AIFF cannot be written to a pipe, its header is completed at the end (FLAC and OGG can)";
    return nullptr;
}

static const char* SampleFormatName(int subtype) {
    switch (subtype) {
    case SF_FORMAT_PCM_16:
        return "pcm16";
    case SF_FORMAT_PCM_24:
        return "pcm24";
    case SF_FORMAT_PCM_32:
        return "pcm32";
    case SF_FORMAT_FLOAT:
        return "float";
    case SF_FORMAT_DOUBLE:
        return "double";
    case SF_FORMAT_VORBIS:
        return "vorbis";
    default:
        return "this";
    }
}

HostAudioWriter::~HostAudioWriter() {
    Close();
}

void HostAudioWriter::Close() {
    if (mSnd) {
        sf_close(static_cast<SNDFILE*>(mSnd));
        mSnd = nullptr;
    }
}

bool HostAudioWriter::Open(Util_AtomicFile& file, int sampleRate, int numChannels, int sampleFormat,
                           int preferredFormat, std::string& err) {
    const std::string& path = file.Path();
    if (mSnd) {
        err = HostFormat("cannot write '%s': already writing '%s'", path.c_str(), mPath.c_str());
        return false;
    }
    if (file.Descriptor() < 0) {
        err = HostFormat("cannot write '%s': not open", path.c_str());
        return false;
    }
    const int container = HostOutputContainer(path);
    if (container == 0) {
        err =
            HostFormat("cannot tell the audio format of '%s' (use .wav, .flac, .ogg or .aiff)", path.c_str());
        return false;
    }
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = numChannels;
    int subtype = sampleFormat;
    if (subtype != 0) {
        info.format = container | subtype;
        if (!sf_format_check(&info)) {
            err = HostFormat("'%s' cannot hold %s samples", path.c_str(), SampleFormatName(subtype));
            return false;
        }
    } else {
        // The source's own sample format when the container takes it, else the container's usual one.
        const int fallbacks[] = {preferredFormat, SF_FORMAT_PCM_24, SF_FORMAT_PCM_16, SF_FORMAT_VORBIS};
        for (int candidate : fallbacks) {
            if (candidate == 0) continue;
            info.format = container | candidate;
            if (sf_format_check(&info)) {
                subtype = candidate;
                break;
            }
        }
        if (subtype == 0) {
            err = HostFormat("'%s' cannot hold %d channels at %d Hz", path.c_str(), numChannels, sampleRate);
            return false;
        }
    }
    if (!sf_format_check(&info)) {
        err = HostFormat("'%s' cannot hold %d channels at %d Hz", path.c_str(), numChannels, sampleRate);
        return false;
    }
    SNDFILE* snd = sf_open_fd(file.Descriptor(), SFM_WRITE, &info, SF_FALSE);
    if (!snd) {
        err = HostFormat("cannot write '%s': %s", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    sf_command(snd, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    // No peak chunk in float WAV files: it carries the clock time of the write, so the same render would
    // give another file every second. (AIFF keeps it: without it libsndfile counts a frame too many in
    // double AIFF files.)
    if (container == SF_FORMAT_WAV) sf_command(snd, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    mSnd = snd;
    mPath = path;
    mChannels = numChannels;
    mSubtype = subtype;
    mContainer = container;
    return true;
}

bool HostAudioWriter::Write(const double* const* channels, int frames, std::string& err) {
    if (!mSnd) {
        err = HostFormat("cannot write '%s': not open", mPath.c_str());
        return false;
    }
    if (frames <= 0) return true;
    mInterleaved.resize(static_cast<size_t>(frames) * static_cast<size_t>(mChannels));
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < mChannels; ++c)
            mInterleaved[static_cast<size_t>(f) * static_cast<size_t>(mChannels) + static_cast<size_t>(c)] =
                channels[c][f];
    sf_count_t n = sf_writef_double(static_cast<SNDFILE*>(mSnd), mInterleaved.data(), frames);
    if (n != frames) {
        err = HostFormat("cannot write '%s': %s", mPath.c_str(), sf_strerror(static_cast<SNDFILE*>(mSnd)));
        return false;
    }
    mWroteFrames = true;
    return true;
}

bool HostAudioWriter::Finish(std::string& err) {
    if (!mSnd) {
        err = HostFormat("cannot write '%s': not open", mPath.c_str());
        return false;
    }
    SNDFILE* snd = static_cast<SNDFILE*>(mSnd);
    // An output of no frames: FLAC writes its header only with the first frames and would be left an
    // empty, unreadable file, and syncing a Vorbis stream that holds no audio writes broken pages.
    if (!mWroteFrames && mContainer == SF_FORMAT_FLAC) sf_command(snd, SFC_UPDATE_HEADER_NOW, nullptr, 0);
    if (mWroteFrames) sf_write_sync(snd);
    int e = sf_error(snd);
    // sf_close writes the final header and the last encoded data (FLAC, Vorbis) before it reports.
    int closeResult = sf_close(snd);
    mSnd = nullptr;
    if (e != SF_ERR_NO_ERROR || closeResult != 0) {
        err = HostFormat("cannot write '%s': %s", mPath.c_str(),
                         sf_error_number(e != SF_ERR_NO_ERROR ? e : closeResult));
        return false;
    }
    return true;
}
