#pragma once
// The standard VST program (.fxp) and bank (.fxb) file layouts, encoded and decoded on the host
// side. All numbers are big-endian 32-bit; every record starts with 'CcnK' and a byte size that
// counts the bytes after the size field. A program holds either one normalised float per parameter
// ('FxCk') or an opaque chunk from the plug-in ('FPCh'); a bank holds either one parameter-form
// program record per program ('FxBk', format version 2 with the current program) or one opaque
// chunk ('FBCh').
//
// Decoding treats the bytes as untrusted: every length is checked against the data before it is
// read, parameter values must be finite and within 0..1, and a file that does not fit is rejected
// as a whole with a one-line reason. Pure functions on plain data; any thread.
#include <cstdint>
#include <string>
#include <vector>

struct HostFxProgram {
    int32_t fxID = 0;      // the plug-in's unique ID
    int32_t fxVersion = 0; // the plug-in's version
    int32_t numParams = 0; // parameter count (also stored by the chunk form)
    std::string name;      // program name; at most 27 bytes are stored
    bool isChunk = false;
    std::vector<float> params;  // parameter form: numParams normalised values
    std::vector<uint8_t> chunk; // chunk form: the plug-in's opaque data
};

struct HostFxBank {
    int32_t fxID = 0;
    int32_t fxVersion = 0;
    int32_t currentProgram = 0; // stored by format version 2; version-1 files read as 0
    bool isChunk = false;
    std::vector<HostFxProgram> programs; // parameter form
    int32_t numPrograms = 0;             // chunk form: the count stored in the header
    std::vector<uint8_t> chunk;          // chunk form
};

constexpr int32_t kHostFxMagicCcnK = 0x43636E4B; // 'CcnK'
constexpr int32_t kHostFxMagicFxCk = 0x4678436B; // 'FxCk' program, parameters
constexpr int32_t kHostFxMagicFPCh = 0x46504368; // 'FPCh' program, chunk
constexpr int32_t kHostFxMagicFxBk = 0x4678426B; // 'FxBk' bank, parameters
constexpr int32_t kHostFxMagicFBCh = 0x46424368; // 'FBCh' bank, chunk

// Largest parameter or program count a file may announce.
constexpr int32_t kHostFxMaxCount = 1 << 16;

std::vector<uint8_t> HostEncodeFxp(const HostFxProgram& program);
std::vector<uint8_t> HostEncodeFxb(const HostFxBank& bank);

// Decode data of size bytes; on failure return false with err set (without the file's name).
bool HostDecodeFxp(const uint8_t* data, size_t size, HostFxProgram& out, std::string& err);
bool HostDecodeFxb(const uint8_t* data, size_t size, HostFxBank& out, std::string& err);
