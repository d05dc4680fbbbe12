// A small VST 2.4 effect for testing the validator: a gain with a tone filter, its state in chunks, and
// an editor that opens without a window of its own. Built as it is (fake_faultless: it passes every
// check) and once per planted fault, each the kind of slip a real plug-in makes:
//   FAKE_FAULT_ALLOCATES       its audio callback allocates a scratch buffer for every block;
//   FAKE_FAULT_NAN             the tone's normalisation divides by zero at the top of its range, so the
//                              output turns NaN once Tone is set to 1;
//   FAKE_FAULT_LATENCY         it delays the audio by 100 samples and reports 64;
//   FAKE_FAULT_CHUNK_CRASH     it trusts the program number a chunk names and reads through a null
//                              program for any other;
//   FAKE_FAULT_EDITOR_LOCK     its editor redraws on idle holding the lock its audio callback takes.
#include "framework/vst2/VstAbi.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

enum { kGain, kTone, kNumParams };
constexpr int kNumPrograms = 2;
constexpr int kDelay = 100;
#ifdef FAKE_FAULT_LATENCY
constexpr int kReportedDelay = 64;
#else
constexpr int kReportedDelay = kDelay;
#endif
// The chunk: "FKFT", the program number, then each parameter's value as a float.
constexpr size_t kChunkSize = 8 + 4 * kNumParams;

struct Program {
    float values[kNumParams];
};

struct Fake {
    AEffect effect;
    ERect rect{0, 0, 100, 200};
    Program programs[kNumPrograms] = {{{0.5f, 0.3f}}, {{0.25f, 0.6f}}};
    int current = 0;
    float norm = 1.0f;               // the tone filter's gain normalisation
    float lowpass[2] = {0.0f, 0.0f}; // per channel
    float delay[2][kDelay] = {};
    int delayPos = 0;
    std::mutex lock; // what the audio callback and (FAKE_FAULT_EDITOR_LOCK) the editor share
    unsigned char chunk[kChunkSize];
};

Fake* Self(AEffect* e) {
    return static_cast<Fake*>(e->object);
}

float* Values(Fake* f) {
    return f->programs[f->current].values;
}

void UpdateTone(Fake* f) {
    const float a = Values(f)[kTone];
#ifdef FAKE_FAULT_NAN
    f->norm = (1.0f - a) / (1.0f - a);
#else
    f->norm = a < 1.0f ? 1.0f : 0.0f;
#endif
}

void Process(AEffect* e, float** in, float** out, int frames) {
    Fake* f = Self(e);
    std::lock_guard<std::mutex> hold(f->lock);
#ifdef FAKE_FAULT_ALLOCATES
    std::vector<float> scratch(static_cast<size_t>(frames));
#endif
    const float gain = 2.0f * Values(f)[kGain], a = 0.9f * Values(f)[kTone];
    for (int k = 0; k < frames; ++k) {
        for (int c = 0; c < 2; ++c) {
            f->lowpass[c] = (1.0f - a) * in[c][k] + a * f->lowpass[c];
            float* line = f->delay[c];
            const float delayed = line[f->delayPos];
            line[f->delayPos] = gain * f->norm * f->lowpass[c];
            // Silence in ends in silence out: what the filter holds below -300 dB is dropped.
            if (std::fabs(f->lowpass[c]) < 1e-15f) f->lowpass[c] = 0.0f;
            out[c][k] = delayed;
        }
        f->delayPos = (f->delayPos + 1) % kDelay;
#ifdef FAKE_FAULT_ALLOCATES
        scratch[static_cast<size_t>(k)] = out[0][k];
#endif
    }
}

void SetParameter(AEffect* e, int32_t index, float value) {
    Fake* f = Self(e);
    if (index < 0 || index >= kNumParams) return;
    std::lock_guard<std::mutex> hold(f->lock);
    Values(f)[index] = value;
    UpdateTone(f);
}

float GetParameter(AEffect* e, int32_t index) {
    return index >= 0 && index < kNumParams ? Values(Self(e))[index] : 0.0f;
}

intptr_t SetChunk(Fake* f, const unsigned char* data, intptr_t size) {
    if (!data || size != static_cast<intptr_t>(kChunkSize) || std::memcmp(data, "FKFT", 4) != 0) return 0;
    int32_t program = 0;
    std::memcpy(&program, data + 4, 4);
    float values[kNumParams];
    std::memcpy(values, data + 8, sizeof values);
#ifdef FAKE_FAULT_CHUNK_CRASH
    Program* target = program >= 0 && program < kNumPrograms ? &f->programs[program] : nullptr;
    std::memcpy(target->values, values, sizeof values);
#else
    if (program < 0 || program >= kNumPrograms) return 0;
    for (float v : values)
        if (!(v >= 0.0f && v <= 1.0f)) return 0;
    std::memcpy(f->programs[program].values, values, sizeof values);
#endif
    std::lock_guard<std::mutex> hold(f->lock);
    f->current = program;
    UpdateTone(f);
    return 1;
}

void Text(void* ptr, const char* text) {
    std::snprintf(static_cast<char*>(ptr), 24, "%s", text);
}

intptr_t Dispatcher(AEffect* e, int32_t op, int32_t index, intptr_t value, void* ptr, float opt) {
    (void)opt;
    Fake* f = Self(e);
    switch (op) {
    case effClose:
        delete f;
        return 1;
    case effSetProgram:
        if (value >= 0 && value < kNumPrograms) {
            std::lock_guard<std::mutex> hold(f->lock);
            f->current = static_cast<int>(value);
            UpdateTone(f);
        }
        return 0;
    case effGetProgram:
        return f->current;
    case effMainsChanged:
        if (value) {
            // Resumed: it starts as a fresh instance does.
            std::lock_guard<std::mutex> hold(f->lock);
            std::memset(f->delay, 0, sizeof f->delay);
            f->lowpass[0] = f->lowpass[1] = 0.0f;
            f->delayPos = 0;
        }
        return 0;
    case effGetProgramName:
        Text(ptr, f->current == 0 ? "Plain" : "Dark");
        return 0;
    case effGetParamName:
        if (index >= 0 && index < kNumParams) Text(ptr, index == kGain ? "Gain" : "Tone");
        return 0;
    case effGetParamDisplay:
        if (index >= 0 && index < kNumParams)
            std::snprintf(static_cast<char*>(ptr), 24, "%.3f", Values(f)[index]);
        return 0;
    case effString2Parameter: {
        char* end = nullptr;
        const float v = ptr ? std::strtof(static_cast<const char*>(ptr), &end) : 0.0f;
        if (!ptr || end == ptr || index < 0 || index >= kNumParams || !(v >= 0.0f && v <= 1.0f)) return 0;
        SetParameter(e, index, v);
        return 1;
    }
    case effGetEffectName:
        Text(ptr, "Fake Faulty");
        return 1;
    case effGetVendorString:
        Text(ptr, "Tidebloom Tests");
        return 1;
    case effGetTailSize:
        return 1; // no tail
    case effGetChunk: {
        std::memcpy(f->chunk, "FKFT", 4);
        const int32_t program = f->current;
        std::memcpy(f->chunk + 4, &program, 4);
        std::memcpy(f->chunk + 8, Values(f), sizeof(Program));
        *static_cast<void**>(ptr) = f->chunk;
        return static_cast<intptr_t>(kChunkSize);
    }
    case effSetChunk:
        return SetChunk(f, static_cast<const unsigned char*>(ptr), value);
    case effEditGetRect:
        *static_cast<ERect**>(ptr) = &f->rect;
        return 1;
    case effEditOpen:
        return 1;
    case effEditIdle: {
#ifdef FAKE_FAULT_EDITOR_LOCK
        std::lock_guard<std::mutex> hold(f->lock);
        std::this_thread::sleep_for(std::chrono::milliseconds(30)); // drawing
#endif
        return 1;
    }
    default:
        return 0;
    }
}

} // namespace

FAKE_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    Fake* f = new Fake();
    AEffect& e = f->effect;
    e.magic = kEffectMagic;
    e.dispatcher = Dispatcher;
    e.setParameter = SetParameter;
    e.getParameter = GetParameter;
    e.processReplacing = Process;
    e.numPrograms = kNumPrograms;
    e.numParams = kNumParams;
    e.numInputs = 2;
    e.numOutputs = 2;
    e.flags = effFlagsCanReplacing | effFlagsProgramChunks | effFlagsHasEditor;
    e.initialDelay = kReportedDelay;
    e.uniqueID = VstFourCC('F', 'k', 'F', 't');
    e.ioRatio = 1.0f;
    e.object = f;
    e.version = 1;
    UpdateTone(f);
    return &e;
}
