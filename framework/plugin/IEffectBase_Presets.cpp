// Preset slots and state serialization of the plug-in base.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/Log.h"

namespace {

// Marks the entries of a named-parameter preset that no pair has set.
constexpr double kUnsetValue = 9.999e-8;

const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool TakesIntArgument(const IParam* param) {
    IParam::EParamType type = param->Type();
    return type == IParam::kTypeBool || type == IParam::kTypeInt || type == IParam::kTypeEnum;
}

} // namespace

// ---- Preset creation ----

IPreset* IEffectBase::GetNextUninitializedPreset(Util_PtrList<IPreset>* pPresets) {
    if (!pPresets) return nullptr;
    for (int i = 0; i < pPresets->GetSize(); ++i) {
        IPreset* preset = pPresets->Get(i);
        if (!preset->mInitialized) return preset;
    }
    return nullptr;
}

void IEffectBase::MakeDefaultUserPresetName(Util_PtrList<IPreset>* pPresets, char* buf) {
    if (!buf) return;
    int count = 0;
    for (int i = 0; pPresets && i < pPresets->GetSize(); ++i) {
        const IPreset* preset = pPresets->Get(i);
        if (preset && std::strstr(preset->mName, "user preset")) ++count;
    }
    std::snprintf(buf, kMaxPresetNameLen, "%s %d", "user preset", count + 1);
}

void IEffectBase::FillPresetSlot(IPreset* pPreset, const char* name, const double* values) {
    // A free slot may still hold bytes from an earlier preset: the new state replaces them.
    pPreset->mChunk.Clear();
    pPreset->mInitialized = true;
    pPreset->SetName(name);
    for (int i = 0; i < NParams(); ++i) pPreset->mChunk.Put(&values[i]);
}

void IEffectBase::MakePreset(const char* name, ...) {
    IPreset* preset = GetNextUninitializedPreset(&mPresets);
    if (!preset) return;
    std::vector<double> values(static_cast<size_t>(NParams()));
    va_list args;
    va_start(args, name);
    for (int i = 0; i < NParams(); ++i) {
        if (TakesIntArgument(mParams.Get(i)))
            values[static_cast<size_t>(i)] = static_cast<double>(va_arg(args, int));
        else
            values[static_cast<size_t>(i)] = va_arg(args, double);
    }
    va_end(args);
    FillPresetSlot(preset, name, values.data());
}

void IEffectBase::MakePresetFromNamedParams(const char* name, int nParamsNamed, ...) {
    IPreset* preset = GetNextUninitializedPreset(&mPresets);
    if (!preset) return;
    std::vector<double> values(static_cast<size_t>(NParams()), kUnsetValue);
    va_list args;
    va_start(args, nParamsNamed);
    for (int i = 0; i < nParamsNamed; ++i) {
        int paramIdx = va_arg(args, int);
        IParam* param = GetParam(paramIdx);
        if (!param) {
            // The type of the value that follows is unknown, so the rest cannot be read safely.
            va_end(args);
            return;
        }
        values[static_cast<size_t>(paramIdx)] =
            TakesIntArgument(param) ? static_cast<double>(va_arg(args, int)) : va_arg(args, double);
    }
    va_end(args);
    for (int i = 0; i < NParams(); ++i)
        if (values[static_cast<size_t>(i)] == kUnsetValue)
            values[static_cast<size_t>(i)] = mParams.Get(i)->Value();
    FillPresetSlot(preset, name, values.data());
}

void IEffectBase::MakePresetFromValues(const char* name, std::span<const double> values) {
    IPreset* preset = GetNextUninitializedPreset(&mPresets);
    if (!preset) return;
    std::vector<double> all(static_cast<size_t>(NParams()));
    for (int i = 0; i < NParams(); ++i)
        all[static_cast<size_t>(i)] =
            static_cast<size_t>(i) < values.size() ? values[static_cast<size_t>(i)] : mParams.Get(i)->Value();
    FillPresetSlot(preset, name, all.data());
}

void IEffectBase::MakePresetFromChunk(const char* name, ByteChunk* pChunk) {
    if (!pChunk) return;
    IPreset* preset = GetNextUninitializedPreset(&mPresets);
    if (!preset) return;
    preset->mChunk.Clear();
    preset->mInitialized = true;
    preset->SetName(name);
    preset->mChunk.PutChunk(pChunk);
}

void IEffectBase::MakePresetFromBlob(const char* name, const char* blob, int sizeOfChunk) {
    if (sizeOfChunk < 0) return;
    IPreset* preset = GetNextUninitializedPreset(&mPresets);
    if (!preset) return;
    std::vector<uint8_t> bytes(static_cast<size_t>(sizeOfChunk), 0);
    size_t produced = 0;
    unsigned bits = 0;
    int nBits = 0;
    for (const char* p = blob ? blob : ""; *p && produced < bytes.size(); ++p) {
        const char* found = std::strchr(kBase64Alphabet, *p);
        if (!found) break;
        bits = (bits << 6) | static_cast<unsigned>(found - kBase64Alphabet);
        nBits += 6;
        if (nBits >= 8) {
            nBits -= 8;
            bytes[produced++] = static_cast<uint8_t>(bits >> nBits);
            bits &= (1u << nBits) - 1u;
        }
    }
    preset->mChunk.Clear();
    preset->mInitialized = true;
    preset->SetName(name);
    preset->mChunk.PutBytes(bytes.data(), sizeOfChunk);
}

void IEffectBase::MakeDefaultPreset(const char* name, int nPresets) {
    for (int i = 0; i < nPresets; ++i) {
        IPreset* preset = GetNextUninitializedPreset(&mPresets);
        if (!preset) return;
        preset->mChunk.Clear();
        preset->mInitialized = true;
        preset->SetName(name ? name : "Empty");
        SerializeState(&preset->mChunk);
    }
}

void IEffectBase::EnsureDefaultPreset() {
    if (NPresets() > 0) MakeDefaultPreset("Empty", NPresets());
}

void IEffectBase::PruneUninitializedPresets() {
    for (int i = NPresets() - 1; i >= 0; --i)
        if (!mPresets.Get(i)->mInitialized) mPresets.Delete(i);
}

// ---- Preset use ----

const char* IEffectBase::GetPresetName(int idx) const {
    const IPreset* preset = mPresets.Get(idx);
    return preset ? preset->mName : "";
}

bool IEffectBase::RestorePreset(int idx) {
    Trace(__func__, __LINE__, "%d", idx);
    IPreset* preset = mPresets.Get(idx);
    if (!preset) return false;
    if (preset->mInitialized) {
        if (UnserializeState(&preset->mChunk, 0) <= 0) return false;
    } else {
        char name[kMaxPresetNameLen];
        MakeDefaultUserPresetName(&mPresets, name);
        preset->mInitialized = true;
        preset->SetName(name);
        preset->mChunk.Clear();
        if (!SerializeState(&preset->mChunk)) return false;
    }
    mCurrentPresetIdx = idx;
    PresetsChangedByHost();
    RedrawParamControls();
    return true;
}

bool IEffectBase::RestorePreset(const char* name) {
    if (!name || !name[0]) return false;
    for (int i = 0; i < NPresets(); ++i)
        if (std::strcmp(mPresets.Get(i)->mName, name) == 0) return RestorePreset(i);
    return false;
}

void IEffectBase::ModifyCurrentPreset(const char* name) {
    Trace(__func__, __LINE__, "%d %s", mCurrentPresetIdx, name ? name : "");
    IPreset* preset = mPresets.Get(mCurrentPresetIdx);
    if (!preset) return;
    preset->mChunk.Clear();
    SerializeState(&preset->mChunk);
    if (name && name[0]) preset->SetName(name);
}

// ---- State ----

bool IEffectBase::SerializeParams(ByteChunk* pChunk) {
    if (!pChunk) return false;
    Trace(__func__, __LINE__, "%d params", NParams());
    bool ok = true;
    for (int i = 0; i < NParams(); ++i) {
        double value = mParams.Get(i)->Value();
        ok = pChunk->Put(&value) > 0 && ok;
    }
    return ok;
}

int IEffectBase::UnserializeParams(ByteChunk* pChunk, int startPos) {
    Trace(__func__, __LINE__, "from %d", startPos);
    // Read first, without the plug-in mutex; then stored and mapped under one short hold of it.
    std::vector<double> values;
    values.reserve(static_cast<size_t>(NParams()));
    int pos = pChunk ? startPos : -1;
    for (int i = 0; i < NParams() && pos >= 0; ++i) {
        double value = 0.0;
        pos = pChunk->Get(&value, pos);
        if (pos >= 0) values.push_back(value);
    }
    Util_MutexLock lock(mMutex);
    // A value the chunk does not hold leaves the parameter alone; Set ignores NaN and clamps the rest.
    for (size_t i = 0; i < values.size(); ++i) mParams.Get(static_cast<int>(i))->Set(values[i]);
    OnParamReset();
    return pos;
}

bool IEffectBase::ReadProgramChunk(const void* data, size_t size, double* values) const {
    if (!data || !values || size != static_cast<size_t>(ProgramChunkSize())) return false;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    int32_t magic = 0, version = 0;
    std::memcpy(&magic, bytes, sizeof(magic));
    std::memcpy(&version, bytes + 4, sizeof(version));
    if (magic != kFrameworkChunkMagic || version != kFrameworkVersion) return false;
    for (int i = 0; i < NParams(); ++i) {
        double v;
        std::memcpy(&v, bytes + kFrameworkHeaderSize + 8 * i, sizeof(v));
        const IParam* param = mParams.Get(i);
        if (!(v >= param->GetMin() && v <= param->GetMax())) return false;
    }
    for (int i = 0; i < NParams(); ++i) std::memcpy(&values[i], bytes + kFrameworkHeaderSize + 8 * i, 8);
    return true;
}

void IEffectBase::ApplyParamValues(const double* values) {
    {
        Util_MutexLock lock(mMutex);
        for (int i = 0; i < NParams(); ++i) mParams.Get(i)->Set(values[i]);
        OnParamReset();
    }
    RedrawParamControls();
}

bool IEffectBase::SerializePresets(ByteChunk* pChunk) {
    Trace(__func__, __LINE__, "%d presets", NPresets());
    if (!pChunk) return false;
    for (int i = 0; i < NPresets(); ++i) {
        IPreset* preset = mPresets.Get(i);
        pChunk->PutStr(preset->mName);
        uint8_t initialized = preset->mInitialized ? 1 : 0;
        pChunk->Put(&initialized);
        if (preset->mInitialized && pChunk->PutChunk(&preset->mChunk) <= 0) return false;
    }
    return true;
}

int IEffectBase::UnserializePresets(ByteChunk* pChunk, int startPos) {
    Trace(__func__, __LINE__, "from %d", startPos);
    int pos = pChunk ? startPos : -1;
    if (NPresets() > 0 && pos >= 0) {
        Util_String name;
        for (int i = 0; i < NPresets() && pos >= 0; ++i) {
            IPreset* preset = mPresets.Get(i);
            // A slot whose name or flag cannot be read is left as it was.
            pos = pChunk->GetStr(&name, pos);
            if (pos < 0) break;
            preset->SetName(name.Get());
            uint8_t initialized = 0;
            pos = pChunk->Get(&initialized, pos);
            if (pos < 0) break;
            bool wasInitialized = preset->mInitialized;
            preset->mInitialized = initialized != 0;
            if (preset->mInitialized) {
                pos = UnserializeState(pChunk, pos);
                if (pos > 0) {
                    preset->mChunk.Clear();
                    SerializeState(&preset->mChunk);
                } else {
                    // Without its state the slot must not be written out as holding one.
                    preset->mInitialized = wasInitialized;
                }
            }
        }
    }
    RestorePreset(mCurrentPresetIdx);
    return pos;
}

bool IEffectBase::CompareState(const unsigned char* data, int startPos) {
    if (!data || startPos < 0) return false;
    for (int i = 0; i < NParams(); ++i) {
        double stored;
        std::memcpy(&stored, data + (static_cast<size_t>(startPos) + static_cast<size_t>(i)) * sizeof(double),
                    sizeof(double));
        // The difference is taken in single precision; the bound is the double 1e-5 (the float nearest to
        // it lies just below it and still matches).
        float diff = static_cast<float>(mParams.Get(i)->Value()) - static_cast<float>(stored);
        if (!(static_cast<double>(std::fabs(diff)) < 1e-5)) return false;
    }
    return true;
}

void IEffectBase::InitChunkWithFrameworkVer(ByteChunk* pChunk) {
    if (!pChunk) return;
    pChunk->Clear();
    int32_t magic = kFrameworkChunkMagic;
    int32_t version = kFrameworkVersion;
    pChunk->Put(&magic);
    pChunk->Put(&version);
}

int IEffectBase::GetFrameworkVerFromChunk(ByteChunk* pChunk, int* pPos) {
    if (!pChunk || !pPos || *pPos < 0) return 0;
    int32_t magic = 0;
    int pos = pChunk->Get(&magic, *pPos);
    if (pos < 0 || magic != kFrameworkChunkMagic) return 0;
    int32_t version = 0;
    pos = pChunk->Get(&version, pos);
    if (pos < 0) {
        *pPos = -1;
        return 0;
    }
    *pPos = pos;
    return version;
}
