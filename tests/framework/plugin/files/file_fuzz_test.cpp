// Random and mutated program and bank files against objects of both state forms: a load either
// succeeds and leaves every parameter finite and within its range, or fails and changes nothing.
#include "FileTestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace filetest;

namespace {

struct Loader {
    bool mBank;
    bool Load(TestEffect& e, const std::string& path) const {
        Util_String s(path.c_str());
        return mBank ? e.LoadBankFromFXB(&s) : e.LoadProgramFromFXP(&s);
    }
};

void ExpectSane(TestEffect& e) {
    for (int i = 0; i < e.NParams(); ++i) {
        const IParam* p = e.GetParam(i);
        ASSERT_TRUE(p->Value() >= p->GetMin() && p->Value() <= p->GetMax()) << i << " " << p->Value();
    }
    ASSERT_GE(e.GetCurrentPresetIdx(), 0);
    ASSERT_LT(e.GetCurrentPresetIdx(), e.NPresets());
    for (int s = 0; s < e.NPresets(); ++s) ASSERT_LT(std::strlen(e.Preset(s)->mName), 256u);
}

std::vector<uint8_t> Mutate(const std::vector<uint8_t>& seed, std::mt19937& rng) {
    std::vector<uint8_t> v = seed;
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int k = 0; k < edits; ++k) {
        switch (rng() % 6) {
        case 0: // flip a byte
            if (!v.empty()) v[rng() % v.size()] = static_cast<uint8_t>(rng());
            break;
        case 1: // a big-endian 32-bit field takes an extreme value
            if (v.size() >= 4) {
                const size_t at = (rng() % (v.size() / 4)) * 4;
                const uint32_t extremes[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 5, 6, 7, 1000};
                const uint32_t x = extremes[rng() % 9];
                for (int b = 0; b < 4; ++b)
                    v[at + static_cast<size_t>(b)] = static_cast<uint8_t>(x >> (24 - 8 * b));
            }
            break;
        case 2: // cut
            v.resize(rng() % (v.size() + 1));
            break;
        case 3: // append noise
            for (int n = static_cast<int>(rng() % 64); n > 0; --n) v.push_back(static_cast<uint8_t>(rng()));
            break;
        case 4: // drop a range
            if (!v.empty()) {
                const size_t a = rng() % v.size(), n = rng() % (v.size() - a + 1);
                v.erase(v.begin() + static_cast<long>(a), v.begin() + static_cast<long>(a + n));
            }
            break;
        default: // duplicate a range (repeats records and names)
            if (!v.empty()) {
                const size_t a = rng() % v.size(), n = rng() % (v.size() - a + 1);
                const std::vector<uint8_t> part(v.begin() + static_cast<long>(a),
                                                v.begin() + static_cast<long>(a + n));
                v.insert(v.begin() + static_cast<long>(rng() % (v.size() + 1)), part.begin(), part.end());
            }
            break;
        }
    }
    return v;
}

TEST(FileFuzz, RandomAndMutatedFiles) {
    ScratchDir dir("fuzz");
    const std::string path = dir.Path("f");
    std::mt19937 rng(20261208);
    int accepted = 0, rejected = 0;

    for (bool chunks : {false, true}) {
        // Seeds: the object's own program and bank files, plus a parameter-form bank for the chunk object.
        TestEffect source(chunks);
        ASSERT_TRUE(source.RestorePreset(3));
        const std::string fxp = dir.Path("seed.fxp"), fxb = dir.Path("seed.fxb"),
                          pfxb = dir.Path("seedp.fxb");
        Util_String s1(fxp.c_str()), s2(fxb.c_str()), s3(pfxb.c_str());
        ASSERT_TRUE(source.SaveProgramAsFXP(&s1));
        ASSERT_TRUE(source.SaveBankAsFXB(&s2));
        TestEffect plainSource;
        ASSERT_TRUE(plainSource.SaveBankAsFXB(&s3));
        const std::vector<uint8_t> seeds[3] = {ReadFile(fxp), ReadFile(fxb), ReadFile(pfxb)};
        const Loader loaders[3] = {{false}, {true}, {true}};

        TestEffect target(chunks);
        for (int iter = 0; iter < 1500; ++iter) {
            const int which = static_cast<int>(rng() % 3);
            std::vector<uint8_t> bytes;
            if (rng() % 8 == 0) {
                bytes.resize(rng() % 700);
                for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
            } else {
                bytes = Mutate(seeds[which], rng);
            }
            WriteFile(path, bytes);
            const Snapshot before(target);
            const bool ok = loaders[which].Load(target, path);
            if (ok) {
                ++accepted;
                ExpectSane(target);
            } else {
                ++rejected;
                ASSERT_TRUE(Snapshot(target) == before) << "chunks " << chunks << " iteration " << iter;
            }
            if (::testing::Test::HasFatalFailure()) return;
        }
    }
    // Both outcomes occur, so both checks above were exercised.
    EXPECT_GT(accepted, 100);
    EXPECT_GT(rejected, 100);
}

} // namespace
