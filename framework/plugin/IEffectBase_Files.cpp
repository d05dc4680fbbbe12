// Program (FXP) and bank (FXB) files and the preset source dumps of IEffectBase.
//
// Files are built and parsed whole in a ByteChunk; every 32-bit field is big-endian. A save builds its
// bytes under the plug-in mutex and writes them after releasing it, so a slow disk (or a FIFO nobody
// reads yet) never holds up the audio thread, through a Util_AtomicFile, so a failed save leaves an
// existing file whole. A file is untrusted:
// loading validates everything it is going to apply before it changes anything, so a damaged file is
// rejected with the parameters, preset slots and current program exactly as they were. Chunk-form files,
// whose state only UnserializeState can judge, are applied against a snapshot that is put back when
// the state turns out to be damaged.
#include "framework/plugin/IEffectBase.h"

#include "framework/plugin/Log.h"
#include "framework/util/Util_AtomicFile.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int32_t FourCC(char a, char b, char c, char d) {
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24) |
                                (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16) |
                                (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8) |
                                static_cast<uint32_t>(static_cast<uint8_t>(d)));
}

constexpr int32_t kChunkMagic = FourCC('C', 'c', 'n', 'K');
constexpr int32_t kProgramMagic = FourCC('F', 'x', 'C', 'k');
constexpr int32_t kProgramChunkMagic = FourCC('F', 'P', 'C', 'h');
constexpr int32_t kBankMagic = FourCC('F', 'x', 'B', 'k');
constexpr int32_t kBankChunkMagic = FourCC('F', 'B', 'C', 'h');
constexpr int32_t kProgramFormatVersion = 1;
constexpr int32_t kBankFormatVersion = 2;

// Name field of program records: 27 characters and a terminator.
constexpr int kFileNameFieldLen = 28;
constexpr int kBankReservedLen = 124;
// A bank header, up to its first program record (or its chunk size).
constexpr int kBankHeaderLen = 156;
// The chunk forms store their own length in the byte-size field as chunk size + these.
constexpr int kProgramChunkOverhead = 60;
constexpr int kBankChunkOverhead = 160;

// Files beyond this size are not program or bank files; refusing them keeps every position an int.
constexpr long kMaxFileSize = 1L << 30;

bool IsUsablePath(const Util_String* pFileName) {
    return pFileName && pFileName->GetLength() > 0;
}

// Reads the whole file into pChunk; false when it cannot be opened or read, is too large, or is not a
// regular file (a FIFO would otherwise keep the caller waiting for a writer).
bool ReadWholeFile(const char* path, ByteChunk* pChunk) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::unique_ptr<FILE, int (*)(FILE*)> f(::fdopen(fd, "rb"), &std::fclose);
    if (!f) {
        ::close(fd);
        return false;
    }
    pChunk->Clear();
    std::vector<char> block(64 * 1024);
    for (;;) {
        const size_t n = std::fread(block.data(), 1, block.size(), f.get());
        if (n > 0) {
            if (static_cast<long>(pChunk->Size()) + static_cast<long>(n) > kMaxFileSize) return false;
            pChunk->PutBytes(block.data(), static_cast<int>(n));
        }
        if (n < block.size()) break;
    }
    return !std::ferror(f.get());
}

// Writes size bytes as the whole file, all or nothing; true only when every byte reached it. Called
// without the plug-in mutex.
bool WriteWholeFile(const char* path, const void* data, size_t size) {
    std::string err;
    if (Util_WriteWholeFile(path, data, size, err)) return true;
    Trace(__FUNCTION__, __LINE__, "%s", err.c_str());
    return false;
}

bool WriteWholeFile(const char* path, const ByteChunk& chunk) {
    return WriteWholeFile(path, chunk.GetBytes(), static_cast<size_t>(chunk.Size()));
}

void PutBE32(ByteChunk* pChunk, int32_t value) {
    pChunk->PutBE(&value);
}

void PutBEFloat(ByteChunk* pChunk, float value) {
    pChunk->PutBE(&value);
}

// The 28-byte name field: at most 27 characters, zero-filled.
void PutNameField(ByteChunk* pChunk, const char* name) {
    char field[kFileNameFieldLen] = {};
    if (name) std::memcpy(field, name, strnlen(name, kFileNameFieldLen - 1));
    pChunk->PutBytes(field, kFileNameFieldLen);
}

// Reads a 28-byte name field at pos; an unterminated field gives its first 27 characters. Returns the
// next position or -1.
int GetNameField(const ByteChunk& chunk, int pos, std::string* pName) {
    char field[kFileNameFieldLen];
    pos = chunk.GetBytes(field, kFileNameFieldLen, pos);
    if (pos < 0) return -1;
    pName->assign(field, strnlen(field, kFileNameFieldLen - 1));
    return pos;
}

// The fields every program record and bank header begin with.
struct FileHeader {
    int32_t mChunkMagic = 0;
    int32_t mByteSize = 0;
    int32_t mFxMagic = 0;
    int32_t mFormatVersion = 0;
    int32_t mFxID = 0;
    int32_t mFxVersion = 0;
    int32_t mCount = 0; // parameters (program) or programs (bank)
};

int GetFileHeader(const ByteChunk& chunk, int pos, FileHeader* pHeader) {
    pos = chunk.GetBE(&pHeader->mChunkMagic, pos);
    pos = chunk.GetBE(&pHeader->mByteSize, pos);
    pos = chunk.GetBE(&pHeader->mFxMagic, pos);
    pos = chunk.GetBE(&pHeader->mFormatVersion, pos);
    pos = chunk.GetBE(&pHeader->mFxID, pos);
    pos = chunk.GetBE(&pHeader->mFxVersion, pos);
    pos = chunk.GetBE(&pHeader->mCount, pos);
    return pos;
}

void PutFileHeader(ByteChunk* pChunk, int32_t byteSize, int32_t fxMagic, int32_t formatVersion, int32_t fxID,
                   int32_t fxVersion, int32_t count) {
    PutBE32(pChunk, kChunkMagic);
    PutBE32(pChunk, byteSize);
    PutBE32(pChunk, fxMagic);
    PutBE32(pChunk, formatVersion);
    PutBE32(pChunk, fxID);
    PutBE32(pChunk, fxVersion);
    PutBE32(pChunk, count);
}

// Reads nValues big-endian floats at pos into pValues; returns the next position or -1.
int GetBEFloats(const ByteChunk& chunk, int pos, int nValues, std::vector<float>* pValues) {
    pValues->assign(static_cast<size_t>(nValues), 0.0f);
    for (int i = 0; i < nValues && pos >= 0; ++i) pos = chunk.GetBE(&(*pValues)[static_cast<size_t>(i)], pos);
    return pos;
}

// Skips the chunk-size field of a chunk-form file at pos, after checking that the chunk it announces lies
// within the file, and the framework version header if one follows. Returns the position of the state
// or -1.
int SkipToChunkState(ByteChunk* pChunk, int pos) {
    int32_t chunkSize = 0;
    pos = pChunk->GetBE(&chunkSize, pos);
    if (pos < 0 || chunkSize < 0 || chunkSize > pChunk->Size() - pos) return -1;
    IEffectBase::GetFrameworkVerFromChunk(pChunk, &pos);
    return pos;
}

// base64 with the RFC 4648 alphabet, '='-padded to a multiple of 4 characters.
std::string EncodeBase64(const uint8_t* data, int size) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    if (size <= 0 || !data) return out;
    out.reserve(static_cast<size_t>((size + 2) / 3) * 4);
    for (int i = 0; i < size; i += 3) {
        const int n = size - i < 3 ? size - i : 3;
        uint32_t triple = static_cast<uint32_t>(data[i]) << 16;
        if (n > 1) triple |= static_cast<uint32_t>(data[i + 1]) << 8;
        if (n > 2) triple |= static_cast<uint32_t>(data[i + 2]);
        out += kAlphabet[(triple >> 18) & 0x3F];
        out += kAlphabet[(triple >> 12) & 0x3F];
        out += n > 1 ? kAlphabet[(triple >> 6) & 0x3F] : '=';
        out += n > 2 ? kAlphabet[triple & 0x3F] : '=';
    }
    return out;
}

// The value of one parameter as source text.
std::string ValueSourceText(const IParam& param) {
    char text[64];
    const double v = param.Value();
    switch (param.Type()) {
    case IParam::kTypeBool:
        return v >= 0.5 ? "true" : "false";
    case IParam::kTypeInt:
    case IParam::kTypeEnum:
        std::snprintf(text, sizeof(text), "%d", param.Int());
        return text;
    default: {
        // "%.6f" of a large value is longer than any fixed field: let the string take it whole.
        const int len = std::snprintf(nullptr, 0, "%.6f", v);
        std::string s(static_cast<size_t>(len), '\0');
        std::snprintf(s.data(), s.size() + 1, "%.6f", v);
        return s;
    }
    }
}

} // namespace

bool IEffectBase::SaveProgramAsFXP(const Util_String* pFileName) {
    Trace(__FUNCTION__, __LINE__, "%s", pFileName ? pFileName->Get() : "");
    if (!IsUsablePath(pFileName)) return false;
    ByteChunk file;
    {
        Util_MutexLock lock(mStateMutex);
        const int32_t fxVersion = GetEffectVersion(true);
        const int32_t nParams = NParams();
        const char* name = GetPresetName(mCurrentPresetIdx);

        if (mDoesStateChunks) {
            ByteChunk state;
            InitChunkWithFrameworkVer(&state);
            // A state the effect could not write whole would not load back: no file, and no success.
            if (!SerializeState(&state)) return false;
            const int32_t chunkSize = state.Size();
            PutFileHeader(&file, chunkSize + kProgramChunkOverhead, kProgramChunkMagic, kProgramFormatVersion,
                          mUniqueID, fxVersion, nParams);
            PutNameField(&file, name);
            PutBE32(&file, chunkSize);
            file.PutChunk(&state);
        } else {
            PutFileHeader(&file, 0, kProgramMagic, kProgramFormatVersion, mUniqueID, fxVersion, nParams);
            PutNameField(&file, name);
            for (int i = 0; i < nParams; ++i) {
                PutBEFloat(&file, static_cast<float>(mParams.Get(i)->GetNormalized()));
            }
        }
    }
    // Written after the lock is released: a slow file holds up nobody.
    return WriteWholeFile(pFileName->Get(), file);
}

bool IEffectBase::SaveBankAsFXB(const Util_String* pFileName) {
    Trace(__FUNCTION__, __LINE__, "%s", pFileName ? pFileName->Get() : "");
    if (!IsUsablePath(pFileName)) return false;
    ByteChunk file;
    {
        Util_MutexLock lock(mStateMutex);
        const int32_t fxVersion = GetEffectVersion(true);
        const int32_t nParams = NParams();
        const int32_t nPresets = NPresets();
        const char reserved[kBankReservedLen] = {};

        if (mDoesStateChunks) {
            ByteChunk state;
            InitChunkWithFrameworkVer(&state);
            if (!SerializePresets(&state)) return false;
            const int32_t chunkSize = state.Size();
            PutFileHeader(&file, chunkSize + kBankChunkOverhead, kBankChunkMagic, kBankFormatVersion,
                          mUniqueID, fxVersion, nPresets);
            PutBE32(&file, mCurrentPresetIdx);
            file.PutBytes(reserved, kBankReservedLen);
            PutBE32(&file, chunkSize);
            file.PutChunk(&state);
        } else {
            PutFileHeader(&file, 0, kBankMagic, kBankFormatVersion, mUniqueID, fxVersion, nPresets);
            PutBE32(&file, mCurrentPresetIdx);
            file.PutBytes(reserved, kBankReservedLen);
            for (int p = 0; p < nPresets; ++p) {
                const IPreset* pPreset = mPresets.Get(p);
                PutFileHeader(&file, 0, kProgramMagic, kProgramFormatVersion, mUniqueID, fxVersion, nParams);
                PutNameField(&file, pPreset->mName);
                // The slot's stored values; a short or empty chunk reads 0.0 for the values it lacks.
                int pos = 0;
                for (int i = 0; i < nParams; ++i) {
                    double v = 0.0;
                    pos = pPreset->mChunk.Get(&v, pos);
                    PutBEFloat(&file, static_cast<float>(mParams.Get(i)->GetNormalized(v)));
                }
            }
        }
    }
    // Written after the lock is released: a slow file holds up nobody.
    return WriteWholeFile(pFileName->Get(), file);
}

bool IEffectBase::LoadFile(const Util_String* pFileName, bool (IEffectBase::*apply)(ByteChunk& file)) {
    if (!IsUsablePath(pFileName)) return false;
    ByteChunk file;
    if (!ReadWholeFile(pFileName->Get(), &file)) return false;
    bool loaded;
    {
        Util_MutexLock lock(mStateMutex);
        loaded = (this->*apply)(file);
    }
    // The host hears of the new program after the lock is released.
    if (loaded) InformHostOfProgramChange();
    return loaded;
}

bool IEffectBase::LoadProgramFromFXP(const Util_String* pFileName) {
    Trace(__FUNCTION__, __LINE__, "%s", pFileName ? pFileName->Get() : "");
    return LoadFile(pFileName, &IEffectBase::LoadProgram);
}

bool IEffectBase::LoadProgram(ByteChunk& file) {
    FileHeader header;
    std::string name;
    int pos = GetFileHeader(file, 0, &header);
    pos = GetNameField(file, pos, &name);
    if (pos < 0) return false;
    if (header.mChunkMagic != kChunkMagic || header.mFormatVersion != kProgramFormatVersion ||
        header.mFxID != mUniqueID || header.mCount != NParams()) {
        return false;
    }

    if (mDoesStateChunks && header.mFxMagic == kProgramChunkMagic) {
        pos = SkipToChunkState(&file, pos);
        if (pos < 0) return false;
        // Only UnserializeState can tell whether the state is whole: keep what it may overwrite.
        ByteChunk before;
        SerializeState(&before);
        if (UnserializeState(&file, pos) < 0) {
            UnserializeState(&before, 0);
            return false;
        }
    } else if (header.mFxMagic == kProgramMagic) {
        std::vector<float> values;
        if (GetBEFloats(file, pos, NParams(), &values) < 0) return false;
        for (int i = 0; i < NParams(); ++i) mParams.Get(i)->SetNormalized(values[static_cast<size_t>(i)]);
    } else {
        return false;
    }

    ModifyCurrentPreset(name.c_str());
    RestorePreset(mCurrentPresetIdx);
    return true;
}

bool IEffectBase::LoadBankFromFXB(const Util_String* pFileName) {
    Trace(__FUNCTION__, __LINE__, "%s", pFileName ? pFileName->Get() : "");
    return LoadFile(pFileName, &IEffectBase::LoadBank);
}

bool IEffectBase::LoadBank(ByteChunk& file) {
    FileHeader header;
    int32_t currentProgram = 0;
    int pos = GetFileHeader(file, 0, &header);
    pos = file.GetBE(&currentProgram, pos);
    if (pos < 0 || file.Size() < kBankHeaderLen) return false;
    pos = kBankHeaderLen;
    if (header.mChunkMagic != kChunkMagic || header.mFxID != mUniqueID) return false;

    if (mDoesStateChunks && header.mFxMagic == kBankChunkMagic) {
        pos = SkipToChunkState(&file, pos);
        if (pos < 0) return false;
        // Only UnserializePresets can tell whether the list is whole: keep every slot, the current
        // program and the parameters, and put them back if it is not.
        struct SlotCopy {
            bool mInitialized;
            std::string mName;
            std::vector<uint8_t> mBytes;
        };
        std::vector<SlotCopy> slots;
        for (int p = 0; p < NPresets(); ++p) {
            const IPreset* pPreset = mPresets.Get(p);
            const uint8_t* bytes = pPreset->mChunk.GetBytes();
            slots.push_back({pPreset->mInitialized, pPreset->mName,
                             std::vector<uint8_t>(bytes, bytes + pPreset->mChunk.Size())});
        }
        const int32_t currentIdx = mCurrentPresetIdx;
        ByteChunk state;
        SerializeState(&state);

        if (UnserializePresets(&file, pos) < 0) {
            for (int p = 0; p < NPresets(); ++p) {
                IPreset* pPreset = mPresets.Get(p);
                const SlotCopy& copy = slots[static_cast<size_t>(p)];
                pPreset->mInitialized = copy.mInitialized;
                pPreset->SetName(copy.mName.c_str());
                pPreset->mChunk.Clear();
                pPreset->mChunk.PutBytes(copy.mBytes.data(), static_cast<int>(copy.mBytes.size()));
            }
            mCurrentPresetIdx = currentIdx;
            UnserializeState(&state, 0);
            return false;
        }
        return true;
    }

    if (header.mFxMagic != kBankMagic) return false;

    // Programs beyond the slots have nowhere to go and are not read; every record that is read must be
    // whole and valid before any slot changes.
    const int nPrograms = header.mCount < NPresets() ? header.mCount : NPresets();
    struct ProgramRecord {
        std::string mName;
        std::vector<float> mValues;
    };
    std::vector<ProgramRecord> programs(static_cast<size_t>(nPrograms > 0 ? nPrograms : 0));
    for (ProgramRecord& program : programs) {
        FileHeader record;
        pos = GetFileHeader(file, pos, &record);
        if (pos < 0 || record.mChunkMagic != kChunkMagic || record.mFxMagic != kProgramMagic ||
            record.mFormatVersion != kProgramFormatVersion || record.mCount != NParams()) {
            return false;
        }
        pos = GetNameField(file, pos, &program.mName);
        pos = GetBEFloats(file, pos, NParams(), &program.mValues);
        if (pos < 0) return false;
    }

    for (int p = 0; p < nPrograms; ++p) {
        const ProgramRecord& program = programs[static_cast<size_t>(p)];
        RestorePreset(p);
        for (int i = 0; i < NParams(); ++i) {
            mParams.Get(i)->SetNormalized(program.mValues[static_cast<size_t>(i)]);
        }
        ModifyCurrentPreset(program.mName.c_str());
    }
    RestorePreset(currentProgram);
    return true;
}

void IEffectBase::DumpPresetSrcCode(const char* fileName, const char* paramEnumNames[]) {
    Trace(__FUNCTION__, __LINE__, "%s", fileName ? fileName : "");
    if (!fileName || !*fileName || !paramEnumNames) return;
    std::string text;
    {
        Util_MutexLock lock(mStateMutex);
        const int nParams = NParams();
        for (int i = 0; i < nParams; ++i) {
            if (!paramEnumNames[i]) return;
        }
        text = "  MakePresetFromNamedParams(\"name\", " + std::to_string(nParams);
        for (int i = 0; i < nParams; ++i) {
            const IParam* param = mParams.Get(i);
            if (!param) continue;
            text += ",\n    ";
            text += paramEnumNames[i];
            text += ", " + ValueSourceText(*param);
        }
        text += ");\n";
    }
    WriteWholeFile(fileName, text.data(), text.size());
}

void IEffectBase::DumpPresetBlob(const char* fileName) {
    Trace(__FUNCTION__, __LINE__, "%s", fileName ? fileName : "");
    if (!fileName || !*fileName) return;
    std::string text;
    {
        Util_MutexLock lock(mStateMutex);
        const IPreset* pPreset = mPresets.Get(mCurrentPresetIdx);
        if (!pPreset) return;
        // The encoded text takes whatever length the chunk needs.
        text = "MakePresetFromBlob(\"name\", \"" +
               EncodeBase64(pPreset->mChunk.GetBytes(), pPreset->mChunk.Size()) + "\", " +
               std::to_string(pPreset->mChunk.Size()) + ");\n";
    }
    WriteWholeFile(fileName, text.data(), text.size());
}
