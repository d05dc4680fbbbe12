// Random, mutated and truncated chunks fed to every reader of untrusted bytes. The generator is seeded,
// so every run sees the same inputs; the sanitizer build checks that no read or write leaves its buffer.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <random>

#include "TestEffect.h"

namespace {

using testfx::Bytes;
using testfx::TestEffect;
using Vec = std::vector<uint8_t>;

struct Chunk : ByteChunk {
    explicit Chunk(const Vec& bytes) { PutBytes(bytes.data(), static_cast<int>(bytes.size())); }
};

// What must hold after any unserialization, whatever the bytes were.
void ExpectSoundState(TestEffect& fx, int result, int size, const char* what) {
    SCOPED_TRACE(what);
    EXPECT_TRUE(result == -1 || (result >= 0 && result <= size)) << result;
    for (int i = 0; i < fx.NParams(); ++i) {
        const IParam* p = fx.GetParam(i);
        ASSERT_TRUE(std::isfinite(p->Value())) << i;
        ASSERT_GE(p->Value(), p->GetMin()) << i;
        ASSERT_LE(p->Value(), p->GetMax()) << i;
    }
    for (int i = 0; i < fx.NPresets(); ++i) {
        const IPreset* preset = fx.mPresets.Get(i);
        ASSERT_LT(strnlen(preset->mName, kMaxPresetNameLen), static_cast<size_t>(kMaxPresetNameLen));
        if (preset->mInitialized) {
            ASSERT_EQ(preset->mChunk.Size(), 40) << i;
        }
    }
    // The slots always serialise into a list that reads back whole. Reading may fill the current slot
    // when it is free; from then on the list reads back unchanged.
    ByteChunk out;
    ASSERT_TRUE(fx.SerializePresets(&out));
    TestEffect copy;
    ASSERT_EQ(copy.UnserializePresets(&out, 0), out.Size());
    for (int i = 1; i < fx.NPresets(); ++i) ASSERT_STREQ(copy.GetPresetName(i), fx.GetPresetName(i));
    ByteChunk again;
    copy.SerializePresets(&again);
    TestEffect second;
    ASSERT_EQ(second.UnserializePresets(&again, 0), again.Size());
    ByteChunk third;
    second.SerializePresets(&third);
    ASSERT_TRUE(third.IsEqual(again));
}

Vec FactoryBank() {
    TestEffect fx;
    fx.MakeFactoryPresets();
    ByteChunk bank;
    IEffectBase::InitChunkWithFrameworkVer(&bank);
    fx.SerializePresets(&bank);
    return Bytes(bank);
}

// Reads a chunk the way a host's chunk restore does: header first, then a bank or a single state.
int ReadLikeAHost(TestEffect& fx, ByteChunk* chunk, bool bank) {
    int pos = 0;
    int version = IEffectBase::GetFrameworkVerFromChunk(chunk, &pos);
    if (bank && version >= kFrameworkVersion) return fx.UnserializePresets(chunk, pos);
    return fx.UnserializeState(chunk, pos);
}

TEST(Fuzz, EveryTruncationOfABankAndAProgram) {
    const Vec bank = FactoryBank();
    ASSERT_EQ(bank.size(), 352u);
    for (size_t len = 0; len <= bank.size(); ++len) {
        Chunk chunk(Vec(bank.begin(), bank.begin() + static_cast<long>(len)));
        TestEffect fx;
        fx.MakeFactoryPresets();
        int result = ReadLikeAHost(fx, &chunk, true);
        if (len == bank.size()) {
            EXPECT_EQ(result, 352);
        }
        ExpectSoundState(fx, result, static_cast<int>(len), "bank");
    }
    const Vec program(bank.begin(), bank.begin() + 8);
    Vec state = program;
    for (int i = 0; i < 5; ++i) {
        double v = 0.25 * i;
        const uint8_t* b = reinterpret_cast<const uint8_t*>(&v);
        for (int k = 0; k < 8; ++k) state.push_back(b[k]);
    }
    for (size_t len = 0; len <= state.size(); ++len) {
        Chunk chunk(Vec(state.begin(), state.begin() + static_cast<long>(len)));
        TestEffect fx;
        int result = ReadLikeAHost(fx, &chunk, false);
        EXPECT_EQ(result, len == state.size() ? 48 : -1) << len;
        ExpectSoundState(fx, result, static_cast<int>(len), "program");
    }
}

TEST(Fuzz, RandomAndMutatedChunks) {
    std::mt19937 rng(20261208u);
    const Vec bank = FactoryBank();
    for (int iter = 0; iter < 2500; ++iter) {
        Vec bytes;
        switch (rng() % 3) {
        case 0: // pure noise
            bytes.resize(rng() % 160);
            for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
            break;
        case 1: { // a valid bank with a few bytes changed, often in the lengths
            bytes = bank;
            int n = 1 + static_cast<int>(rng() % 4);
            for (int k = 0; k < n; ++k) {
                size_t at = rng() % bytes.size();
                bytes[at] = static_cast<uint8_t>(rng() % 4 == 0 ? 0xFF : rng());
            }
            break;
        }
        default: { // a valid bank cut somewhere, with a huge or negative length planted
            bytes.assign(bank.begin(), bank.begin() + static_cast<long>(rng() % bank.size()));
            if (bytes.size() >= 12) {
                const int32_t lengths[] = {-1, INT_MIN, INT_MAX, INT_MAX - 3, 0x7FFFFFF0, 1000};
                int32_t len = lengths[rng() % 6];
                std::memcpy(bytes.data() + 8, &len, 4);
            }
            break;
        }
        }
        Chunk chunk(bytes);
        const int size = chunk.Size();
        TestEffect fx;
        fx.MakeFactoryPresets();
        fx.mCurrentPresetIdx = static_cast<int>(rng() % 7); // 6 is no slot at all
        const int starts[] = {0,       8,    -1,
                              INT_MAX, size, static_cast<int>(rng() % (static_cast<unsigned>(size) + 1))};
        const int start = starts[rng() % 6];
        int result;
        const unsigned op = rng() % 4;
        switch (op) {
        case 0:
            result = fx.UnserializeParams(&chunk, start);
            break;
        case 1:
            result = fx.UnserializePresets(&chunk, start);
            break;
        case 2:
            result = ReadLikeAHost(fx, &chunk, true);
            break;
        default: {
            Util_String s;
            int pos = start;
            for (int k = 0; k < 8 && pos >= 0; ++k) pos = chunk.GetStr(&s, pos);
            ASSERT_LE(s.GetLength(), size);
            result = pos;
            break;
        }
        }
        if (op != 2 && (start < 0 || start > size)) {
            EXPECT_EQ(result, start < 0 ? start : -1);
        }
        ExpectSoundState(fx, op != 2 && start < 0 ? -1 : result, size, "random");
        if (HasFatalFailure()) return;
    }
}

TEST(Fuzz, RandomBlobTexts) {
    std::mt19937 rng(7u);
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=\n -";
    for (int iter = 0; iter < 500; ++iter) {
        std::string text(rng() % 80, ' ');
        for (char& c : text) c = alphabet[rng() % (sizeof alphabet - 1)];
        int size = static_cast<int>(rng() % 64);
        TestEffect fx("1-1", 5, 1);
        fx.MakePresetFromBlob("blob", text.c_str(), size);
        ASSERT_TRUE(fx.mPresets.Get(0)->mInitialized);
        ASSERT_EQ(fx.mPresets.Get(0)->mChunk.Size(), size);
    }
}

} // namespace
