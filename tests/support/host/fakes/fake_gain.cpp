// A small VST 2.4 effect for testing the host: a gain with an optional hard clip and a pure delay
// that it reports as latency. It logs what the host tells it (FakeGainGetLog). Built twice: with
// parameter-form state, and with FAKE_CHUNKS defined, keeping its state as opaque chunks.
#include "framework/vst2/VstAbi.h"
#include "tests/support/host/fakes/FakeGainLog.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

enum { kGain, kMode, kLatency, kLate, kNumParams };
constexpr int kNumPrograms = 3;
constexpr int kMaxLatency = 1000;
// effVendorSpecific index that makes the fake act as if its editor changed the gain.
constexpr int kSimulateEdit = 0x7E57;
// effVendorSpecific index after which the fake behaves like plug-ins that keep an edit buffer apart
// from their programs: it names only its current program, and changing the program drops edits.
constexpr int kEditBufferModel = 0x7E58;
// effVendorSpecific index after which the fake refuses a mono output arrangement, like plug-ins that
// always make stereo of what they get.
constexpr int kStereoOutOnly = 0x7E59;

FakeGainLog sLog;

struct Program {
    char name[32];
    float values[kNumParams];
};

struct Fake {
    AEffect effect;
    audioMasterCallback host;
    Program programs[kNumPrograms];
    int current = 0;
    std::vector<double> history[2]; // last kMaxLatency input samples per channel
    bool processedOnce = false;
    bool editBufferModel = false;
    bool stereoOutOnly = false;
    float edit[kNumParams] = {};
    std::vector<unsigned char> chunk;
};

Fake* Self(AEffect* e) {
    return static_cast<Fake*>(e->object);
}
float* Values(Fake* f) {
    return f->editBufferModel ? f->edit : f->programs[f->current].values;
}
int LatencyOf(Fake* f) {
    return static_cast<int>(std::lround(Values(f)[kLatency] * kMaxLatency));
}

void UpdateLatency(Fake* f) {
    // With "Late" on, the latency is only known once audio has been processed.
    bool late = Values(f)[kLate] >= 0.5f;
    int latency = late && !f->processedOnce ? 0 : LatencyOf(f);
    if (latency != f->effect.initialDelay) {
        f->effect.initialDelay = latency;
        if (late) f->host(&f->effect, audioMasterIOChanged, 0, 0, nullptr, 0.0f);
    }
}

void Copy(void* ptr, const char* text) {
    std::strcpy(static_cast<char*>(ptr), text);
}

template <typename T>
void Process(AEffect* e, T** in, T** out, int frames, bool accumulate) {
    Fake* f = Self(e);
    FakeGainBlock b{};
    b.frames = frames;
    VstTimeInfo* ti = reinterpret_cast<VstTimeInfo*>(f->host(
        e, audioMasterGetTime, 0, kVstTempoValid | kVstPpqPosValid | kVstTimeSigValid, nullptr, 0.0f));
    if (ti) {
        b.samplePos = ti->samplePos;
        b.sampleRate = ti->sampleRate;
        b.ppqPos = ti->ppqPos;
        b.tempo = ti->tempo;
        b.barStartPos = ti->barStartPos;
        b.timeSigNumerator = ti->timeSigNumerator;
        b.timeSigDenominator = ti->timeSigDenominator;
        b.flags = ti->flags;
    }
    b.processLevel = f->host(e, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f);
    b.doublePrecision = sizeof(T) == sizeof(double);
    b.accumulating = accumulate;
    if (sLog.numBlocks < FakeGainLog::kMaxBlocks) sLog.blocks[sLog.numBlocks++] = b;
    if (frames > sLog.largestBlock) sLog.largestBlock = frames;

    const double gain = 2.0 * Values(f)[kGain];
    const bool hard = Values(f)[kMode] >= 0.5f;
    const int latency = LatencyOf(f);
    // A mono arrangement means the second input carries nothing: both outputs follow the first.
    const bool mono = sLog.inputArrangementChannels == 1;
    for (int c = 0; c < 2; ++c) {
        std::vector<double>& h = f->history[c];
        const T* src = in[mono ? 0 : c];
        for (int k = 0; k < frames; ++k) {
            h.push_back(static_cast<double>(src[k]));
            double x = h[h.size() - 1 - static_cast<size_t>(latency)];
            double y = gain * x;
            if (hard) y = std::fmax(-0.5, std::fmin(0.5, y));
            if (accumulate)
                out[c][k] += static_cast<T>(y);
            else
                out[c][k] = static_cast<T>(y);
        }
        h.erase(h.begin(), h.end() - kMaxLatency);
    }
    f->processedOnce = true;
    UpdateLatency(f);
}

void ProcessAcc(AEffect* e, float** in, float** out, int n) {
    Process<float>(e, in, out, n, true);
}
void ProcessRep(AEffect* e, float** in, float** out, int n) {
    Process<float>(e, in, out, n, false);
}
void ProcessDbl(AEffect* e, double** in, double** out, int n) {
    Process<double>(e, in, out, n, false);
}

void SetParameter(AEffect* e, int32_t index, float value) {
    if (index < 0 || index >= kNumParams) return;
    Values(Self(e))[index] = value;
    UpdateLatency(Self(e));
}

float GetParameter(AEffect* e, int32_t index) {
    return index >= 0 && index < kNumParams ? Values(Self(e))[index] : 0.0f;
}

// The chunk: "FKCH", the program count, then per program its name (32 bytes) and values.
void BuildChunk(Fake* f, bool bank) {
    f->chunk.assign({'F', 'K', 'C', 'H'});
    int first = bank ? 0 : f->current, count = bank ? kNumPrograms : 1;
    f->chunk.push_back(static_cast<unsigned char>(count));
    for (int p = first; p < first + count; ++p) {
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&f->programs[p]);
        f->chunk.insert(f->chunk.end(), bytes, bytes + sizeof(Program));
    }
}

intptr_t ReadChunk(Fake* f, const unsigned char* data, intptr_t size, bool bank) {
    if (!data || size < 5 || std::memcmp(data, "FKCH", 4) != 0) return 0;
    int count = data[4];
    if (count != (bank ? kNumPrograms : 1) || size != 5 + count * static_cast<intptr_t>(sizeof(Program)))
        return 0;
    std::memcpy(bank ? &f->programs[0] : &f->programs[f->current], data + 5, count * sizeof(Program));
    UpdateLatency(f);
    return 1;
}

intptr_t Dispatcher(AEffect* e, int32_t op, int32_t index, intptr_t value, void* ptr, float opt) {
    Fake* f = Self(e);
    switch (op) {
    case effOpen: {
        char product[256] = {0};
        f->host(e, audioMasterGetProductString, 0, 0, product, 0.0f);
        std::memcpy(sLog.hostProduct, product, sizeof sLog.hostProduct - 1);
        sLog.hostVendorVersion = f->host(e, audioMasterGetVendorVersion, 0, 0, nullptr, 0.0f);
        sLog.hostCanDoTimeInfo =
            f->host(e, audioMasterCanDo, 0, 0, const_cast<char*>("sendVstTimeInfo"), 0.0f);
        sLog.levelOutsideProcess = f->host(e, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f);
        // Some plug-ins chat on standard output; the fake does when FAKE_GAIN_CHATTY is set.
        if (std::getenv("FAKE_GAIN_CHATTY")) {
            std::printf("fake_gain: opened through stdio\n");
            std::fflush(stdout);
            const char raw[] = "fake_gain: opened through the descriptor\n";
            if (::write(1, raw, sizeof raw - 1) < 0) return 0;
        }
        return 0;
    }
    case effClose:
        delete f;
        return 1;
    case effSetProgram:
        if (value >= 0 && value < kNumPrograms) f->current = static_cast<int>(value);
        std::memcpy(f->edit, f->programs[f->current].values, sizeof f->edit);
        UpdateLatency(f);
        return 0;
    case effGetProgram:
        return f->current;
    case effSetProgramName:
        std::snprintf(f->programs[f->current].name, 32, "%s", static_cast<char*>(ptr));
        return 0;
    case effGetProgramName:
        Copy(ptr, f->programs[f->current].name);
        return 0;
    case effGetProgramNameIndexed:
        if (index < 0 || index >= kNumPrograms || f->editBufferModel) return 0;
        Copy(ptr, f->programs[index].name);
        return 1;
    case effGetParamName: {
        static const char* const names[] = {"Gain", "Mode", "Latency", "Late"};
        if (index >= 0 && index < kNumParams) Copy(ptr, names[index]);
        return 0;
    }
    case effGetParamLabel: {
        static const char* const labels[] = {"x", "", "smp", ""};
        if (index >= 0 && index < kNumParams) Copy(ptr, labels[index]);
        return 0;
    }
    case effGetParamDisplay: {
        float v = index >= 0 && index < kNumParams ? Values(f)[index] : 0.0f;
        char* out = static_cast<char*>(ptr);
        if (index == kGain) std::snprintf(out, 32, "%.2f", 2.0 * v);
        if (index == kMode) Copy(ptr, v >= 0.5f ? "Hard" : "Soft");
        if (index == kLatency) std::snprintf(out, 32, "%d", static_cast<int>(std::lround(v * kMaxLatency)));
        if (index == kLate) Copy(ptr, v >= 0.5f ? "On" : "Off");
        return 0;
    }
    case effSetSampleRate:
        sLog.announcedSampleRate = opt;
        return 0;
    case effSetBlockSize:
        sLog.announcedBlockSize = static_cast<int>(value);
        return 0;
    case effMainsChanged:
        (value ? sLog.mainsOn : sLog.mainsOff)++;
        return 0;
    case effStartProcess:
        sLog.startProcess++;
        return 0;
    case effStopProcess:
        sLog.stopProcess++;
        return 0;
    case effSetProcessPrecision:
        sLog.precision = value;
        return 1;
    case effGetEffectName:
        Copy(ptr, "Fake Gain");
        return 1;
    case effGetVendorString:
        Copy(ptr, "Tidebloom Tests");
        return 1;
    case effGetProductString:
        Copy(ptr, "Fake Gain Test");
        return 1;
    case effGetVendorVersion:
        return 1234;
    case effGetVstVersion:
        return kVstVersion;
    case effGetPlugCategory:
        return kPlugCategEffect;
    case effCanDo: {
        const char* s = static_cast<const char*>(ptr);
        if (s && std::strcmp(s, "receiveVstTimeInfo") == 0) return 1;
        if (s && std::strcmp(s, "bypass") == 0) return -1;
        return 0;
    }
    case effSetSpeakerArrangement: {
        const VstSpeakerArrangement* in = reinterpret_cast<const VstSpeakerArrangement*>(value);
        const VstSpeakerArrangement* out = static_cast<const VstSpeakerArrangement*>(ptr);
        if (f->stereoOutOnly && out && out->numChannels != 2) return 0;
        sLog.inputArrangementChannels = in ? in->numChannels : -1;
        sLog.outputArrangementChannels = out ? out->numChannels : -1;
        return 1;
    }
    case effGetChunk:
        BuildChunk(f, index == 0);
        *static_cast<void**>(ptr) = f->chunk.data();
        return static_cast<intptr_t>(f->chunk.size());
    case effSetChunk:
        return ReadChunk(f, static_cast<const unsigned char*>(ptr), value, index == 0);
    case effVendorSpecific:
        if (index == kEditBufferModel) {
            std::memcpy(f->edit, f->programs[f->current].values, sizeof f->edit);
            f->editBufferModel = true;
            return 1;
        }
        if (index == kStereoOutOnly) {
            f->stereoOutOnly = true;
            return 1;
        }
        if (index != kSimulateEdit) return 0;
        f->host(e, audioMasterBeginEdit, kGain, 0, nullptr, 0.0f);
        SetParameter(e, kGain, 0.25f);
        f->host(e, audioMasterAutomate, kGain, 0, nullptr, 0.25f);
        f->host(e, audioMasterEndEdit, kGain, 0, nullptr, 0.0f);
        f->host(e, audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f);
        return 1;
    default:
        return 0;
    }
}

} // namespace

FAKE_EXPORT FakeGainLog* FakeGainGetLog() {
    return &sLog;
}

FAKE_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    std::memset(&sLog, 0, sizeof sLog);
    sLog.inputArrangementChannels = -1;
    sLog.outputArrangementChannels = -1;
    sLog.precision = -1;
    sLog.hostVersion = host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f);
    Fake* f = new Fake();
    f->host = host;
    const Program programs[kNumPrograms] = {
        {"Unity", {0.5f, 0.0f, 0.0f, 0.0f}},
        {"Half", {0.25f, 0.0f, 0.0f, 0.0f}},
        {"Loud Clip", {1.0f, 1.0f, 0.1f, 0.0f}},
    };
    std::memcpy(f->programs, programs, sizeof programs);
    for (auto& h : f->history) h.assign(kMaxLatency, 0.0);
    AEffect& e = f->effect;
    e.magic = kEffectMagic;
    e.dispatcher = Dispatcher;
    e.process = ProcessAcc;
    e.setParameter = SetParameter;
    e.getParameter = GetParameter;
    e.numPrograms = kNumPrograms;
    e.numParams = kNumParams;
    e.numInputs = 2;
    e.numOutputs = 2;
#ifdef FAKE_CHUNKS
    e.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing | effFlagsProgramChunks;
    e.uniqueID = VstFourCC('F', 'k', 'C', 'h');
#else
    e.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
    e.uniqueID = VstFourCC('F', 'k', 'G', 'n');
#endif
    e.ioRatio = 1.0f;
    e.object = f;
    e.version = 1234;
    e.processReplacing = ProcessRep;
    e.processDoubleReplacing = ProcessDbl;
    return &e;
}
