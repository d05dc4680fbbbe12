#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "TestEffect.h"

namespace {

using testfx::Bytes;
using testfx::LE64;
using testfx::SetValues;
using testfx::TestEffect;
using testfx::Values;
using Vec = std::vector<uint8_t>;

// IEEE 754 bit patterns of the values the tests store.
constexpr uint64_t k0_7 = 0x3FE6666666666666ull;
constexpr uint64_t k0_5 = 0x3FE0000000000000ull;
constexpr uint64_t k0_75 = 0x3FE8000000000000ull;
constexpr uint64_t k1_0 = 0x3FF0000000000000ull;

Vec Concat(std::initializer_list<Vec> parts) {
    Vec out;
    for (const Vec& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

const Vec kHeader = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
const Vec kDefaultState = Concat({LE64(k0_7), LE64(k0_5), LE64(k0_75), LE64(k1_0), LE64(k1_0)});

// A chunk holding the given bytes.
struct Chunk : ByteChunk {
    explicit Chunk(const Vec& bytes) { PutBytes(bytes.data(), static_cast<int>(bytes.size())); }
};

TEST(State, FreshProgramChunkIsExactly48Bytes) {
    TestEffect fx;
    ByteChunk chunk;
    chunk.PutBytes("junk", 4);
    IEffectBase::InitChunkWithFrameworkVer(&chunk);
    EXPECT_EQ(Bytes(chunk), kHeader);
    EXPECT_TRUE(fx.SerializeState(&chunk));
    EXPECT_EQ(chunk.Size(), 48);
    EXPECT_EQ(Bytes(chunk), Concat({kHeader, kDefaultState}));
}

TEST(State, FrameworkHeaderIsRecognised) {
    Chunk withHeader(Concat({kHeader, kDefaultState}));
    int pos = 0;
    EXPECT_EQ(IEffectBase::GetFrameworkVerFromChunk(&withHeader, &pos), 0x10000);
    EXPECT_EQ(pos, 8);

    Chunk bare(kDefaultState);
    pos = 0;
    EXPECT_EQ(IEffectBase::GetFrameworkVerFromChunk(&bare, &pos), 0);
    EXPECT_EQ(pos, 0);

    Chunk cut({0x74, 0x66, 0x66, 0x70, 0x00, 0x00});
    pos = 0;
    EXPECT_EQ(IEffectBase::GetFrameworkVerFromChunk(&cut, &pos), 0);
    EXPECT_EQ(pos, -1);

    Chunk older({0x74, 0x66, 0x66, 0x70, 0xFF, 0xFF, 0x00, 0x00});
    pos = 0;
    EXPECT_EQ(IEffectBase::GetFrameworkVerFromChunk(&older, &pos), 0xFFFF);
    EXPECT_EQ(pos, 8);

    pos = -1;
    EXPECT_EQ(IEffectBase::GetFrameworkVerFromChunk(&withHeader, &pos), 0);
    EXPECT_EQ(pos, -1);
    ByteChunk empty;
    pos = 0;
    EXPECT_EQ(IEffectBase::GetFrameworkVerFromChunk(&empty, &pos), 0);
    EXPECT_EQ(pos, 0);
}

TEST(State, UnserializeReadsClampsAndMapsEveryParameter) {
    TestEffect fx;
    // Sensitivity -1, Time 0.25, Depth +inf, Vol 3.0, OnOff 0.
    Vec bytes = Concat({LE64(0xBFF0000000000000ull), LE64(0x3FD0000000000000ull), LE64(0x7FF0000000000000ull),
                        LE64(0x4008000000000000ull), LE64(0)});
    Chunk chunk(bytes);
    EXPECT_EQ(fx.UnserializeState(&chunk, 0), 40);
    EXPECT_EQ(Values(fx), (std::vector<double>{0.0, 0.25, 1.0, 2.0, 0.0}));
    EXPECT_EQ(fx.mEvents,
              (std::vector<std::string>{"change 0", "change 1", "change 2", "change 3", "change 4"}));

    // From an offset: the state after the header.
    Chunk program(Concat({kHeader, kDefaultState}));
    EXPECT_EQ(fx.UnserializeState(&program, 8), 48);
    EXPECT_EQ(Values(fx), (std::vector<double>{0.7, 0.5, 0.75, 1.0, 1.0}));
}

TEST(State, NaNLeavesTheParameterAsItWas) {
    TestEffect fx;
    SetValues(fx, {0.1, 0.2, 0.3, 0.4, 0.0});
    Vec bytes = Concat({LE64(0x7FF8000000000000ull), LE64(0xFFF8000000000001ull), LE64(k0_5), LE64(k0_5),
                        LE64(0x7FF0000000000001ull)});
    Chunk chunk(bytes);
    EXPECT_EQ(fx.UnserializeParams(&chunk, 0), 40);
    EXPECT_EQ(Values(fx), (std::vector<double>{0.1, 0.2, 0.5, 0.5, 0.0}));
}

TEST(State, ShortChunkAppliesWhatItHoldsAndFails) {
    TestEffect fx;
    SetValues(fx, {0.1, 0.2, 0.3, 1.5, 1.0});
    Vec bytes = Concat({LE64(k0_5), LE64(k0_75), LE64(k1_0), {0x00, 0x00, 0x00}});
    Chunk chunk(bytes);
    EXPECT_EQ(fx.UnserializeParams(&chunk, 0), -1);
    // Parameters 0-2 take the stored values; 3 and 4, which the chunk does not hold, keep theirs.
    EXPECT_EQ(Values(fx), (std::vector<double>{0.5, 0.75, 1.0, 1.5, 1.0}));
    EXPECT_EQ(fx.mEvents.size(), 5u);

    fx.mEvents.clear();
    ByteChunk empty;
    EXPECT_EQ(fx.UnserializeParams(&empty, 0), -1);
    EXPECT_EQ(fx.UnserializeParams(&chunk, -1), -1);
    EXPECT_EQ(fx.UnserializeParams(nullptr, 0), -1);
    EXPECT_EQ(fx.mEvents.size(), 15u); // every parameter is mapped even when nothing was read
    EXPECT_EQ(Values(fx), (std::vector<double>{0.5, 0.75, 1.0, 1.5, 1.0}));
}

TEST(State, CompareStateUsesSinglePrecision) {
    TestEffect fx;
    double stored[7] = {-1.0, -1.0, 0.7, 0.5, 0.75, 1.0, 1.0};
    const unsigned char* data = reinterpret_cast<const unsigned char*>(stored);
    EXPECT_TRUE(fx.CompareState(data, 2));
    EXPECT_FALSE(fx.CompareState(data, 1));
    stored[4] = 0.75 + 4e-6;
    EXPECT_TRUE(fx.CompareState(data, 2));
    stored[4] = 0.75 + 2e-5;
    EXPECT_FALSE(fx.CompareState(data, 2));
    stored[4] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(fx.CompareState(data, 2));
    EXPECT_FALSE(fx.CompareState(nullptr, 0));
    EXPECT_FALSE(fx.CompareState(data, -1));
}

TEST(State, CompareStateBoundIsTheDecimalOneHundredThousandth) {
    TestEffect fx;
    // The nearest float to 1e-5 is 0x3727C5AC = 9.99999974737875e-06, which lies below 1e-5: a
    // single-precision difference of exactly that much still matches. The next float up lies above 1e-5.
    float nearest;
    const uint32_t nearestBits = 0x3727C5ACu;
    std::memcpy(&nearest, &nearestBits, 4);
    ASSERT_LT(static_cast<double>(nearest), 1e-5);
    const float above = std::nextafter(nearest, 1.0f);
    ASSERT_GT(static_cast<double>(above), 1e-5);
    double stored[5] = {0.0, 0.5, 0.75, 1.0, 1.0};
    const unsigned char* data = reinterpret_cast<const unsigned char*>(stored);
    fx.GetParam(testfx::kSensitivity)->Set(static_cast<double>(nearest));
    EXPECT_TRUE(fx.CompareState(data, 0));
    fx.GetParam(testfx::kSensitivity)->Set(static_cast<double>(above));
    EXPECT_FALSE(fx.CompareState(data, 0));
}

TEST(Presets, FactoryPresetsAndBankLayout) {
    TestEffect fx;
    fx.MakeFactoryPresets();
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(fx.mPresets.Get(i)->mInitialized);
    EXPECT_STREQ(fx.GetPresetName(2), "Funked Swell");
    EXPECT_STREQ(fx.GetPresetName(6), "");
    EXPECT_STREQ(fx.GetPresetName(-1), "");
    // Slot 0 holds exactly the parameter state of its values.
    EXPECT_EQ(Bytes(fx.mPresets.Get(0)->mChunk), kDefaultState);
    // 0.35, 0.431, 0.5, 1.0, 1 as doubles.
    Vec funked = Concat(
        {LE64(0x3FD6666666666666ull), LE64(0x3FDB95810624DD2Full), LE64(k0_5), LE64(k1_0), LE64(k1_0)});
    EXPECT_EQ(Bytes(fx.mPresets.Get(2)->mChunk), funked);

    // A seventh preset finds no free slot.
    fx.MakePreset("Extra", 0.1, 0.1, 0.1, 0.1, 0);
    for (int i = 0; i < 6; ++i) EXPECT_STRNE(fx.GetPresetName(i), "Extra");

    ByteChunk bank;
    IEffectBase::InitChunkWithFrameworkVer(&bank);
    EXPECT_TRUE(fx.SerializePresets(&bank));
    EXPECT_EQ(bank.Size(), 352);
    Vec bytes = Bytes(bank);
    Vec firstSlot = Concat({kHeader, {4, 0, 0, 0, 'I', 'n', 'i', 't', 1}, kDefaultState});
    EXPECT_EQ(Vec(bytes.begin(), bytes.begin() + 57), firstSlot);
    Vec secondName = {15, 0, 0, 0};
    for (char ch : std::string("Swell on Accent")) secondName.push_back(static_cast<uint8_t>(ch));
    EXPECT_EQ(Vec(bytes.begin() + 57, bytes.begin() + 76), secondName);
}

TEST(Presets, FreeSlotsAreSerialisedWithoutState) {
    TestEffect fx("1-1 2-2", 5, 2);
    fx.MakePreset("A", 0.7, 0.5, 0.75, 1.0, 1);
    ByteChunk bank;
    EXPECT_TRUE(fx.SerializePresets(&bank));
    Vec expected = Concat({{1, 0, 0, 0, 'A', 1}, kDefaultState, {5, 0, 0, 0, 'e', 'm', 'p', 't', 'y', 0}});
    EXPECT_EQ(Bytes(bank), expected);
    EXPECT_FALSE(fx.SerializePresets(nullptr));
}

TEST(Presets, RestoreAppliesTheSlotOrCreatesAUserPreset) {
    TestEffect fx;
    fx.MakePreset("Init", 0.7, 0.5, 0.75, 1.0, 1);
    fx.MakePreset("Second", 0.5, 0.25, 0.5, 2.0, 0);
    fx.mEvents.clear();
    EXPECT_TRUE(fx.RestorePreset(1));
    EXPECT_EQ(fx.GetCurrentPresetIdx(), 1);
    EXPECT_EQ(Values(fx), (std::vector<double>{0.5, 0.25, 0.5, 2.0, 0.0}));
    EXPECT_EQ(fx.mEvents.size(), 5u);
    EXPECT_EQ(fx.mPresetsChanged, 1);

    // Free slots take the current state and are numbered user presets.
    EXPECT_TRUE(fx.RestorePreset(3));
    EXPECT_STREQ(fx.GetPresetName(3), "user preset 1");
    EXPECT_TRUE(fx.mPresets.Get(3)->mInitialized);
    EXPECT_EQ(fx.GetCurrentPresetIdx(), 3);
    EXPECT_TRUE(fx.RestorePreset(2));
    EXPECT_STREQ(fx.GetPresetName(2), "user preset 2");
    SetValues(fx, {0, 0, 0, 0, 0});
    EXPECT_TRUE(fx.RestorePreset(3));
    EXPECT_EQ(Values(fx), (std::vector<double>{0.5, 0.25, 0.5, 2.0, 0.0}));

    EXPECT_FALSE(fx.RestorePreset(6));
    EXPECT_FALSE(fx.RestorePreset(-1));
    EXPECT_EQ(fx.GetCurrentPresetIdx(), 3);
    EXPECT_TRUE(fx.RestorePreset("Init"));
    EXPECT_EQ(fx.GetCurrentPresetIdx(), 0);
    EXPECT_FALSE(fx.RestorePreset("init"));
    EXPECT_FALSE(fx.RestorePreset(""));
    EXPECT_FALSE(fx.RestorePreset(static_cast<const char*>(nullptr)));

    // A slot whose stored state is empty cannot be restored.
    fx.mPresets.Get(4)->mInitialized = true;
    EXPECT_FALSE(fx.RestorePreset(4));
    EXPECT_EQ(fx.GetCurrentPresetIdx(), 0);

    char buf[kMaxPresetNameLen];
    IEffectBase::MakeDefaultUserPresetName(&fx.mPresets, buf);
    EXPECT_STREQ(buf, "user preset 3");
}

TEST(Presets, ModifyCurrentPresetStoresStateAndRenames) {
    TestEffect fx;
    fx.MakeFactoryPresets();
    EXPECT_TRUE(fx.RestorePreset(1));
    SetValues(fx, {0.1, 0.2, 0.3, 0.4, 0.0});
    fx.ModifyCurrentPreset();
    EXPECT_STREQ(fx.GetPresetName(1), "Swell on Accent");
    fx.ModifyCurrentPreset("");
    EXPECT_STREQ(fx.GetPresetName(1), "Swell on Accent");
    EXPECT_EQ(fx.mPresets.Get(1)->mChunk.Size(), 40);
    const std::string longName(400, 'L');
    fx.ModifyCurrentPreset(longName.c_str());
    EXPECT_EQ(std::string(fx.GetPresetName(1)), std::string(255, 'L'));
    SetValues(fx, {1, 1, 1, 1, 1});
    EXPECT_TRUE(fx.RestorePreset(1));
    EXPECT_EQ(Values(fx), (std::vector<double>{0.1, 0.2, 0.3, 0.4, 0.0}));

    fx.mCurrentPresetIdx = 9;
    fx.ModifyCurrentPreset("nowhere"); // an invalid current index changes nothing
    for (int i = 0; i < 6; ++i) EXPECT_STRNE(fx.GetPresetName(i), "nowhere");
}

TEST(Presets, NamedParamsChunkAndBlobPresets) {
    TestEffect fx;
    SetValues(fx, {0.11, 0.22, 0.33, 0.44, 1.0});
    fx.MakePresetFromNamedParams("Named", 2, testfx::kVol, 2.0, testfx::kOnOff, 0);
    EXPECT_EQ(Bytes(fx.mPresets.Get(0)->mChunk),
              Concat({LE64(0x3FBC28F5C28F5C29ull), LE64(0x3FCC28F5C28F5C29ull), LE64(0x3FD51EB851EB851Full),
                      LE64(0x4000000000000000ull), LE64(0)}));
    // An index outside the parameters abandons the preset.
    fx.MakePresetFromNamedParams("Bad", 1, 7, 1.0);
    EXPECT_FALSE(fx.mPresets.Get(1)->mInitialized);

    ByteChunk chunk;
    chunk.PutBytes("\x01\x02\x03", 3);
    fx.MakePresetFromChunk("Chunk", &chunk);
    EXPECT_STREQ(fx.GetPresetName(1), "Chunk");
    EXPECT_EQ(Bytes(fx.mPresets.Get(1)->mChunk), (Vec{1, 2, 3}));

    fx.MakePresetFromBlob("Blob", "ZmZmZmZm5j8AAAAAAADgPwAAAAAAAOg/AAAAAAAA8D8AAAAAAADwPw==", 40);
    EXPECT_STREQ(fx.GetPresetName(2), "Blob");
    EXPECT_EQ(Bytes(fx.mPresets.Get(2)->mChunk), kDefaultState);
    fx.MakePreset("Plain", 0.7, 0.5, 0.75, 1.0, 1);
    EXPECT_TRUE(fx.mPresets.Get(2)->mChunk.IsEqual(fx.mPresets.Get(3)->mChunk));

    // Decoding stops at the first character outside the alphabet; the rest stays zero.
    fx.MakePresetFromBlob("Short", "AQID=AQID", 6);
    EXPECT_EQ(Bytes(fx.mPresets.Get(4)->mChunk), (Vec{1, 2, 3, 0, 0, 0}));
    // ... or once the byte count is reached.
    fx.MakePresetFromBlob("Cut", "AQIDBAUG", 2);
    EXPECT_EQ(Bytes(fx.mPresets.Get(5)->mChunk), (Vec{1, 2}));
}

TEST(Presets, BlobEdgeCases) {
    TestEffect fx("1-1", 5, 3);
    fx.MakePresetFromBlob("Neg", "AQID", -1);
    EXPECT_FALSE(fx.mPresets.Get(0)->mInitialized);
    fx.MakePresetFromBlob("Null", nullptr, 3);
    EXPECT_EQ(Bytes(fx.mPresets.Get(0)->mChunk), (Vec{0, 0, 0}));
    fx.MakePresetFromBlob("Odd", "/+/", 5);
    EXPECT_EQ(Bytes(fx.mPresets.Get(1)->mChunk), (Vec{0xFF, 0xEF, 0, 0, 0}));
    fx.MakePresetFromChunk("NullChunk", nullptr);
    EXPECT_FALSE(fx.mPresets.Get(2)->mInitialized);
}

TEST(Presets, DefaultPresetsAndPruning) {
    TestEffect fx;
    fx.MakePreset("One", 0.7, 0.5, 0.75, 1.0, 1);
    fx.MakePreset("Two", 0.7, 0.5, 0.75, 1.0, 1);
    SetValues(fx, {0.0, 0.5, 0.5, 0.5, 0.0});
    fx.MakeDefaultPreset(nullptr, 1);
    EXPECT_STREQ(fx.GetPresetName(2), "Empty");
    fx.MakeDefaultPreset("Mine", 1);
    EXPECT_STREQ(fx.GetPresetName(3), "Mine");
    fx.EnsureDefaultPreset();
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(fx.mPresets.Get(i)->mInitialized);
    EXPECT_STREQ(fx.GetPresetName(5), "Empty");
    EXPECT_EQ(Bytes(fx.mPresets.Get(5)->mChunk),
              Concat({LE64(0), LE64(k0_5), LE64(k0_5), LE64(k0_5), LE64(0)}));

    TestEffect sparse;
    sparse.MakePreset("A", 0.7, 0.5, 0.75, 1.0, 1);
    sparse.mPresets.Get(2)->mInitialized = true;
    sparse.mPresets.Get(2)->SetName("C");
    sparse.PruneUninitializedPresets();
    ASSERT_EQ(sparse.NPresets(), 2);
    EXPECT_STREQ(sparse.GetPresetName(0), "A");
    EXPECT_STREQ(sparse.GetPresetName(1), "C");

    TestEffect noSlots("1-1", 5, 0);
    noSlots.EnsureDefaultPreset();
    EXPECT_EQ(noSlots.NPresets(), 0);
}

TEST(Presets, BankRoundTripRestoresSlotsAndCurrentPreset) {
    TestEffect source;
    source.MakeFactoryPresets();
    source.mPresets.Get(4)->SetName("");
    ASSERT_TRUE(source.RestorePreset(3));
    ByteChunk bank;
    IEffectBase::InitChunkWithFrameworkVer(&bank);
    source.ModifyCurrentPreset();
    ASSERT_TRUE(source.SerializePresets(&bank));

    TestEffect target;
    target.mCurrentPresetIdx = 3;
    int pos = 0;
    ASSERT_EQ(IEffectBase::GetFrameworkVerFromChunk(&bank, &pos), 0x10000);
    EXPECT_EQ(target.UnserializePresets(&bank, pos), bank.Size());
    for (int i = 0; i < 6; ++i) {
        EXPECT_STREQ(target.GetPresetName(i), source.GetPresetName(i)) << i;
        EXPECT_TRUE(target.mPresets.Get(i)->mChunk.IsEqual(source.mPresets.Get(i)->mChunk)) << i;
    }
    EXPECT_STREQ(target.GetPresetName(4), ""); // an empty name stays empty
    // The current slot is restored last: the live values are the Arpeggio preset's.
    EXPECT_EQ(Values(target), (std::vector<double>{0.676, 0.433, 1.0, 1.0, 1.0}));

    ByteChunk again;
    IEffectBase::InitChunkWithFrameworkVer(&again);
    target.SerializePresets(&again);
    EXPECT_TRUE(again.IsEqual(bank));
}

TEST(Presets, TruncatedBankLeavesUnreadSlotsAlone) {
    TestEffect source;
    source.MakeFactoryPresets();
    ByteChunk bank;
    source.SerializePresets(&bank);

    // Cut inside the third slot's name.
    const int cut = (4 + 4 + 1 + 40) + (4 + 15 + 1 + 40) + 4 + 5;
    const Vec all = Bytes(bank);
    Chunk shortBank(Vec(all.begin(), all.begin() + cut));
    TestEffect target;
    target.MakePreset("keep", 0.1, 0.1, 0.1, 0.1, 0);
    EXPECT_EQ(target.UnserializePresets(&shortBank, 0), -1);
    EXPECT_STREQ(target.GetPresetName(0), "Init");
    EXPECT_STREQ(target.GetPresetName(1), "Swell on Accent");
    EXPECT_STREQ(target.GetPresetName(2), "empty");
    EXPECT_FALSE(target.mPresets.Get(2)->mInitialized);
    EXPECT_EQ(Values(target), (std::vector<double>{0.7, 0.5, 0.75, 1.0, 1.0}));

    // A slot whose flag says initialized but whose state is cut short is not marked as holding one.
    Vec partial = Concat({{1, 0, 0, 0, 'X', 1}, LE64(k0_5), LE64(k0_5)});
    Chunk partialBank(partial);
    TestEffect fresh;
    EXPECT_EQ(fresh.UnserializePresets(&partialBank, 0), -1);
    EXPECT_STREQ(fresh.GetPresetName(0), "user preset 1"); // the final restore filled the free slot
    ByteChunk out;
    fresh.SerializePresets(&out);
    TestEffect reread;
    EXPECT_EQ(reread.UnserializePresets(&out, 0), out.Size());
}

TEST(Presets, UnserializeWithoutSlotsOnlyRestores) {
    TestEffect fx("1-1", 5, 0);
    Chunk bank({1, 0, 0, 0, 'x', 0});
    EXPECT_EQ(fx.UnserializePresets(&bank, 0), 0);
    TestEffect other;
    other.MakeFactoryPresets();
    other.mCurrentPresetIdx = 2;
    SetValues(other, {0, 0, 0, 0, 0});
    EXPECT_EQ(other.UnserializePresets(&bank, -1), -1);
    EXPECT_EQ(Values(other), (std::vector<double>{0.35, 0.431, 0.5, 1.0, 1.0}));
}

} // namespace
