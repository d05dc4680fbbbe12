#include "host/HostFxFile.h"

#include "host/HostText.h"

#include <cmath>
#include <cstring>

namespace {

constexpr size_t kNameField = 28;
constexpr size_t kProgramHeader = 56; // up to the first value or the chunk size
constexpr size_t kBankHeader = 156;   // up to the first program record or the chunk size

void PutBE32(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 24));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void PutBE32At(std::vector<uint8_t>& out, size_t pos, uint32_t v) {
    out[pos] = static_cast<uint8_t>(v >> 24);
    out[pos + 1] = static_cast<uint8_t>(v >> 16);
    out[pos + 2] = static_cast<uint8_t>(v >> 8);
    out[pos + 3] = static_cast<uint8_t>(v);
}

void PutFloat(std::vector<uint8_t>& out, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    PutBE32(out, bits);
}

// The name cut to 27 bytes (not inside a UTF-8 sequence), zero-filled to 28.
void PutName(std::vector<uint8_t>& out, const std::string& name) {
    size_t n = name.size();
    if (n > kNameField - 1) {
        n = kNameField - 1;
        while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
    }
    size_t start = out.size();
    out.resize(start + kNameField, 0);
    std::memcpy(out.data() + start, name.data(), n);
}

uint32_t GetBE32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

int32_t GetI32(const uint8_t* p) {
    return static_cast<int32_t>(GetBE32(p));
}

float GetFloat(const uint8_t* p) {
    uint32_t bits = GetBE32(p);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

std::string MagicText(int32_t magic) {
    std::string t = HostFourCCText(magic);
    return t.empty() ? HostFormat("0x%08X", static_cast<unsigned>(magic)) : "'" + t + "'";
}

// Appends one parameter-form program record.
void EncodeParamProgram(std::vector<uint8_t>& out, const HostFxProgram& p) {
    size_t start = out.size();
    PutBE32(out, kHostFxMagicCcnK);
    PutBE32(out, 0); // byte size, patched below
    PutBE32(out, kHostFxMagicFxCk);
    PutBE32(out, 1);
    PutBE32(out, static_cast<uint32_t>(p.fxID));
    PutBE32(out, static_cast<uint32_t>(p.fxVersion));
    PutBE32(out, static_cast<uint32_t>(p.params.size()));
    PutName(out, p.name);
    for (float v : p.params) PutFloat(out, v);
    PutBE32At(out, start + 4, static_cast<uint32_t>(out.size() - start - 8));
}

// Reads the parameter-form values at data (count values, bytes checked by the caller).
bool DecodeValues(const uint8_t* data, int32_t count, std::vector<float>& out, std::string& err) {
    out.resize(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        float v = GetFloat(data + 4 * static_cast<size_t>(i));
        if (!std::isfinite(v) || v < 0.0f || v > 1.0f) {
            err = HostFormat("value %d of the program is not a normalised value (%g)", i,
                             static_cast<double>(v));
            return false;
        }
        out[static_cast<size_t>(i)] = v;
    }
    return true;
}

// Decodes the program header common to both forms; returns the fxMagic.
bool DecodeProgramHeader(const uint8_t* data, size_t size, HostFxProgram& out, int32_t& fxMagic,
                         std::string& err) {
    if (size < 4 || GetI32(data) != kHostFxMagicCcnK) {
        err = "not a VST program file (no 'CcnK' header)";
        return false;
    }
    fxMagic = size >= 12 ? GetI32(data + 8) : 0;
    if (fxMagic == kHostFxMagicFxBk || fxMagic == kHostFxMagicFBCh) {
        err = "this is a bank file, not a program file";
        return false;
    }
    if (size < kProgramHeader) {
        err = HostFormat("too short for a program (%zu bytes, the header alone needs %zu)", size,
                         kProgramHeader);
        return false;
    }
    int32_t version = GetI32(data + 12);
    out.fxID = GetI32(data + 16);
    out.fxVersion = GetI32(data + 20);
    out.numParams = GetI32(data + 24);
    out.name = HostCleanText(reinterpret_cast<const char*>(data + 28), kNameField);
    if (fxMagic != kHostFxMagicFxCk && fxMagic != kHostFxMagicFPCh) {
        err = HostFormat("unknown program kind %s", MagicText(fxMagic).c_str());
        return false;
    }
    if (version != 1 && version != 2) {
        err = HostFormat("unsupported program format version %d", version);
        return false;
    }
    if (out.numParams < 0 || out.numParams > kHostFxMaxCount) {
        err = HostFormat("implausible parameter count %d", out.numParams);
        return false;
    }
    return true;
}

} // namespace

std::vector<uint8_t> HostEncodeFxp(const HostFxProgram& program) {
    std::vector<uint8_t> out;
    if (!program.isChunk) {
        EncodeParamProgram(out, program);
        return out;
    }
    PutBE32(out, kHostFxMagicCcnK);
    PutBE32(out, 0);
    PutBE32(out, kHostFxMagicFPCh);
    PutBE32(out, 1);
    PutBE32(out, static_cast<uint32_t>(program.fxID));
    PutBE32(out, static_cast<uint32_t>(program.fxVersion));
    PutBE32(out, static_cast<uint32_t>(program.numParams));
    PutName(out, program.name);
    PutBE32(out, static_cast<uint32_t>(program.chunk.size()));
    out.insert(out.end(), program.chunk.begin(), program.chunk.end());
    PutBE32At(out, 4, static_cast<uint32_t>(out.size() - 8));
    return out;
}

std::vector<uint8_t> HostEncodeFxb(const HostFxBank& bank) {
    std::vector<uint8_t> out;
    PutBE32(out, kHostFxMagicCcnK);
    PutBE32(out, 0);
    PutBE32(out, bank.isChunk ? kHostFxMagicFBCh : kHostFxMagicFxBk);
    PutBE32(out, 2);
    PutBE32(out, static_cast<uint32_t>(bank.fxID));
    PutBE32(out, static_cast<uint32_t>(bank.fxVersion));
    PutBE32(out, static_cast<uint32_t>(bank.isChunk ? bank.numPrograms
                                                    : static_cast<int32_t>(bank.programs.size())));
    PutBE32(out, static_cast<uint32_t>(bank.currentProgram));
    out.resize(kBankHeader, 0);
    if (bank.isChunk) {
        PutBE32(out, static_cast<uint32_t>(bank.chunk.size()));
        out.insert(out.end(), bank.chunk.begin(), bank.chunk.end());
    } else {
        for (const HostFxProgram& p : bank.programs) EncodeParamProgram(out, p);
    }
    PutBE32At(out, 4, static_cast<uint32_t>(out.size() - 8));
    return out;
}

bool HostDecodeFxp(const uint8_t* data, size_t size, HostFxProgram& out, std::string& err) {
    HostFxProgram p;
    int32_t fxMagic = 0;
    if (!DecodeProgramHeader(data, size, p, fxMagic, err)) return false;
    if (fxMagic == kHostFxMagicFxCk) {
        size_t need = kProgramHeader + 4 * static_cast<size_t>(p.numParams);
        if (size < need) {
            err = HostFormat("truncated program: %d values need %zu bytes, the file has %zu", p.numParams,
                             need, size);
            return false;
        }
        if (!DecodeValues(data + kProgramHeader, p.numParams, p.params, err)) return false;
    } else {
        p.isChunk = true;
        if (size < kProgramHeader + 4) {
            err = "truncated program: no chunk size";
            return false;
        }
        int32_t chunkSize = GetI32(data + kProgramHeader);
        if (chunkSize < 0 || static_cast<size_t>(chunkSize) > size - kProgramHeader - 4) {
            err = HostFormat("truncated program: the chunk of %d bytes does not fit in the file", chunkSize);
            return false;
        }
        const uint8_t* c = data + kProgramHeader + 4;
        p.chunk.assign(c, c + chunkSize);
    }
    out = std::move(p);
    return true;
}

bool HostDecodeFxb(const uint8_t* data, size_t size, HostFxBank& out, std::string& err) {
    if (size < 4 || GetI32(data) != kHostFxMagicCcnK) {
        err = "not a VST bank file (no 'CcnK' header)";
        return false;
    }
    int32_t fxMagic = size >= 12 ? GetI32(data + 8) : 0;
    if (fxMagic == kHostFxMagicFxCk || fxMagic == kHostFxMagicFPCh) {
        err = "this is a program file, not a bank file";
        return false;
    }
    if (size < kBankHeader) {
        err = HostFormat("too short for a bank (%zu bytes, the header alone needs %zu)", size, kBankHeader);
        return false;
    }
    HostFxBank b;
    int32_t version = GetI32(data + 12);
    b.fxID = GetI32(data + 16);
    b.fxVersion = GetI32(data + 20);
    int32_t count = GetI32(data + 24);
    if (fxMagic != kHostFxMagicFxBk && fxMagic != kHostFxMagicFBCh) {
        err = HostFormat("unknown bank kind %s", MagicText(fxMagic).c_str());
        return false;
    }
    if (version != 1 && version != 2) {
        err = HostFormat("unsupported bank format version %d", version);
        return false;
    }
    if (count < 0 || count > kHostFxMaxCount) {
        err = HostFormat("implausible program count %d", count);
        return false;
    }
    // Version 1 keeps the whole reserved area; version 2 stores the current program in front of it.
    b.currentProgram = version >= 2 ? GetI32(data + 28) : 0;
    if (fxMagic == kHostFxMagicFBCh) {
        b.isChunk = true;
        b.numPrograms = count;
        if (size < kBankHeader + 4) {
            err = "truncated bank: no chunk size";
            return false;
        }
        int32_t chunkSize = GetI32(data + kBankHeader);
        if (chunkSize < 0 || static_cast<size_t>(chunkSize) > size - kBankHeader - 4) {
            err = HostFormat("truncated bank: the chunk of %d bytes does not fit in the file", chunkSize);
            return false;
        }
        const uint8_t* c = data + kBankHeader + 4;
        b.chunk.assign(c, c + chunkSize);
        out = std::move(b);
        return true;
    }
    b.numPrograms = count;
    size_t pos = kBankHeader;
    for (int32_t i = 0; i < count; ++i) {
        HostFxProgram p;
        int32_t recordMagic = 0;
        std::string why;
        if (!DecodeProgramHeader(data + pos, size - pos, p, recordMagic, why)) {
            err = HostFormat("program %d of the bank: %s", i, why.c_str());
            return false;
        }
        if (recordMagic != kHostFxMagicFxCk) {
            err = HostFormat("program %d of the bank is not in parameter form", i);
            return false;
        }
        size_t need = kProgramHeader + 4 * static_cast<size_t>(p.numParams);
        if (size - pos < need) {
            err = HostFormat("truncated bank: program %d ends past the end of the file", i);
            return false;
        }
        if (!DecodeValues(data + pos + kProgramHeader, p.numParams, p.params, why)) {
            err = HostFormat("program %d of the bank: %s", i, why.c_str());
            return false;
        }
        pos += need;
        b.programs.push_back(std::move(p));
    }
    out = std::move(b);
    return true;
}
