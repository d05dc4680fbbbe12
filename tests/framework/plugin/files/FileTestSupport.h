#pragma once
// Shared pieces of the program/bank file tests: a five-parameter effect shaped like Tidebloom, a full
// snapshot of everything a file load may change, big-endian byte builders and a scratch directory.
#include "framework/plugin/IEffectBase.h"
#include "tests/support/SomeEffect.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace filetest {

constexpr int32_t kUniqueID = ('T' << 24) | ('b' << 16) | ('l' << 8) | 'm';

class TestEffect : public IEffectBase {
public:
    // Some effect with its six factory presets; any other parameter count gives that many plain
    // parameters and slots filled with the current state ("Empty").
    explicit TestEffect(bool doesStateChunks = false, int nParams = 5, int nPresets = 6)
        : IEffectBase(Description(doesStateChunks, nParams, nPresets), kAPIVST2) {
        if (nParams != 5) EnsureDefaultPreset();
    }

    void InformHostOfProgramChange() override { ++mProgramChanges; }
    IPreset* Preset(int idx) { return mPresets.Get(idx); }
    void SetCurrentPresetIdx(int idx) { mCurrentPresetIdx = idx; }

    int mProgramChanges = 0;

private:
    static IEffectDescription Description(bool doesStateChunks, int nParams, int nPresets) {
        IEffectDescription d = someeffect::kDescription;
        d.mDoesStateChunks = doesStateChunks;
        d.mNumPresets = nPresets;
        if (nParams != 5) {
            d.mParams = someeffect::PlainParams(nParams);
            d.mPresets = {};
        }
        return d;
    }
};

// Everything a program or bank load may change.
struct Snapshot {
    std::vector<double> mValues;
    std::vector<bool> mInitialized;
    std::vector<std::string> mNames;
    std::vector<std::vector<uint8_t>> mChunks;
    int mCurrentPresetIdx = 0;
    int mProgramChanges = 0;

    explicit Snapshot(TestEffect& e) {
        for (int i = 0; i < e.NParams(); ++i) mValues.push_back(e.GetParam(i)->Value());
        for (int p = 0; p < e.NPresets(); ++p) {
            IPreset* pr = e.Preset(p);
            mInitialized.push_back(pr->mInitialized);
            mNames.emplace_back(pr->mName);
            const uint8_t* b = pr->mChunk.GetBytes();
            mChunks.emplace_back(b, b + pr->mChunk.Size());
        }
        mCurrentPresetIdx = e.GetCurrentPresetIdx();
        mProgramChanges = e.mProgramChanges;
    }
    bool operator==(const Snapshot&) const = default;
};

// Big-endian builders for expected files.
inline void BE32(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(static_cast<uint8_t>(x >> 24));
    v.push_back(static_cast<uint8_t>(x >> 16));
    v.push_back(static_cast<uint8_t>(x >> 8));
    v.push_back(static_cast<uint8_t>(x));
}
inline void BE32(std::vector<uint8_t>& v, const char* fourCC) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(fourCC[i]));
}
inline void BEFloat(std::vector<uint8_t>& v, float f) {
    uint32_t x;
    static_assert(sizeof(x) == sizeof(f));
    __builtin_memcpy(&x, &f, 4);
    BE32(v, x);
}
inline void NameField(std::vector<uint8_t>& v, const std::string& name) {
    for (int i = 0; i < 28; ++i) v.push_back(i < static_cast<int>(name.size()) ? name[i] : 0);
}
inline void LE64(std::vector<uint8_t>& v, double d) {
    uint64_t x;
    __builtin_memcpy(&x, &d, 8);
    for (int i = 0; i < 8; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

// A scratch directory removed with its contents when the holder goes away.
class ScratchDir {
public:
    // In memory where the system offers it: the tests write thousands of small files.
    explicit ScratchDir(const char* tag) {
        std::error_code ec;
        const std::filesystem::path shm = "/dev/shm";
        const std::filesystem::path base =
            std::filesystem::is_directory(shm, ec) && ::access(shm.c_str(), W_OK) == 0
                ? shm
                : std::filesystem::temp_directory_path();
        mDir = base / ("tidebloom-" + std::string(tag) + "-" + std::to_string(::getpid()));
        std::filesystem::create_directories(mDir);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(mDir, ec);
    }
    std::string Path(const std::string& name) const { return (mDir / name).string(); }

private:
    std::filesystem::path mDir;
};

inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
        std::fclose(f);
    }
    return bytes;
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, size_t n = SIZE_MAX) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    if (n > bytes.size()) n = bytes.size();
    if (n) std::fwrite(bytes.data(), 1, n, f);
    std::fclose(f);
}

inline std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> b = ReadFile(path);
    return std::string(b.begin(), b.end());
}

} // namespace filetest
