#include "FileTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using namespace filetest;

namespace {

const char* kEnumNames[5] = {"kSensitivity", "kTime", "kDepth", "kVol", "kOnOff"};

TEST(PresetDump, SourceCodeOfTheCurrentValues) {
    ScratchDir dir("dump-src");
    const std::string p = dir.Path("preset.txt");
    TestEffect e;
    e.GetParam(1)->Set(0.4316);
    e.DumpPresetSrcCode(p.c_str(), kEnumNames);
    EXPECT_EQ(ReadText(p), "  MakePresetFromNamedParams(\"name\", 5,\n"
                           "    kSensitivity, 0.700000,\n"
                           "    kTime, 0.431600,\n"
                           "    kDepth, 0.750000,\n"
                           "    kVol, 1.000000,\n"
                           "    kOnOff, 1);\n");
}

// Every kind of parameter, including a number far wider than 32 characters.
constexpr IParamDescription kKinds[6] = {
    {.mName = "On", .mType = IParam::kTypeBool, .mDefault = 1.0},
    {.mName = "Off", .mType = IParam::kTypeBool, .mDefault = 0.0},
    {.mName = "Mode", .mType = IParam::kTypeEnum, .mDefault = 2.0, .mMin = 0.0, .mMax = 3.0},
    {.mName = "Semis", .mType = IParam::kTypeInt, .mDefault = -3.0, .mMin = -5.0, .mMax = 5.0},
    {.mName = "Fine",
     .mType = IParam::kTypeDouble,
     .mDefault = 0.1234567,
     .mMin = 0.0,
     .mMax = 1.0,
     .mStep = 0.0000001},
    {.mName = "Huge",
     .mType = IParam::kTypeDouble,
     .mDefault = 1e20,
     .mMin = 0.0,
     .mMax = 1e21,
     .mStep = 1.0},
};

class KindsEffect : public IEffectBase {
public:
    KindsEffect()
        : IEffectBase({.mEffectName = "Kinds",
                       .mMfrName = "maker",
                       .mVersion = 0x10000,
                       .mUniqueID = 1234,
                       .mMfrID = 5678,
                       .mChannelIO = "1-1",
                       .mParams = kKinds,
                       .mNumPresets = 1},
                      kAPIVST2) {}
};

TEST(PresetDump, ValueTextsByKind) {
    ScratchDir dir("dump-kinds");
    const std::string p = dir.Path("kinds.txt");
    KindsEffect e;
    const char* names[6] = {"kOn", "kOff", "kMode", "kSemis", "kFine", "kHuge"};
    e.DumpPresetSrcCode(p.c_str(), names);
    EXPECT_EQ(ReadText(p), "  MakePresetFromNamedParams(\"name\", 6,\n"
                           "    kOn, true,\n"
                           "    kOff, false,\n"
                           "    kMode, 2,\n"
                           "    kSemis, -3,\n"
                           "    kFine, 0.123457,\n"
                           "    kHuge, 100000000000000000000.000000);\n");

    // Missing names or paths write nothing.
    const std::string q = dir.Path("none.txt");
    e.DumpPresetSrcCode(q.c_str(), nullptr);
    const char* holey[6] = {"a", "b", nullptr, "d", "e", "f"};
    e.DumpPresetSrcCode(q.c_str(), holey);
    EXPECT_FALSE(std::filesystem::exists(q));
    e.DumpPresetSrcCode(nullptr, names);
    e.DumpPresetSrcCode("", names);
}

TEST(PresetDump, BlobOfTheCurrentSlot) {
    ScratchDir dir("dump-blob");
    const std::string p = dir.Path("blob.txt");
    TestEffect e;
    e.GetParam(0)->Set(0.0); // the live state is not what is dumped
    e.DumpPresetBlob(p.c_str());
    // The 40 bytes of the doubles 0.7, 0.5, 0.75, 1.0, 1.0, little-endian, in base64.
    EXPECT_EQ(ReadText(p), "MakePresetFromBlob(\"name\", "
                           "\"ZmZmZmZm5j8AAAAAAADgPwAAAAAAAOg/AAAAAAAA8D8AAAAAAADwPw==\", 40);\n");

    // An empty slot chunk gives an empty text.
    e.Preset(0)->mChunk.Clear();
    e.DumpPresetBlob(p.c_str());
    EXPECT_EQ(ReadText(p), "MakePresetFromBlob(\"name\", \"\", 0);\n");

    // No valid current slot: nothing is written.
    const std::string q = dir.Path("none.txt");
    e.SetCurrentPresetIdx(6);
    e.DumpPresetBlob(q.c_str());
    e.SetCurrentPresetIdx(-1);
    e.DumpPresetBlob(q.c_str());
    EXPECT_FALSE(std::filesystem::exists(q));
}

TEST(PresetDump, BlobPaddingForEveryRemainder) {
    ScratchDir dir("dump-pad");
    const std::string p = dir.Path("pad.txt");
    TestEffect e;
    const struct {
        std::vector<uint8_t> bytes;
        const char* text;
    } rows[] = {
        {{'f'}, "Zg=="},
        {{'f', 'o'}, "Zm8="},
        {{'f', 'o', 'o'}, "Zm9v"},
        {{'f', 'o', 'o', 'b', 'a', 'r'}, "Zm9vYmFy"},
        {{0xFB, 0xFF, 0xBF}, "+/+/"},
    };
    for (const auto& r : rows) {
        e.Preset(0)->mChunk.Clear();
        e.Preset(0)->mChunk.PutBytes(r.bytes.data(), static_cast<int>(r.bytes.size()));
        e.DumpPresetBlob(p.c_str());
        EXPECT_EQ(ReadText(p), "MakePresetFromBlob(\"name\", \"" + std::string(r.text) + "\", " +
                                   std::to_string(r.bytes.size()) + ");\n");
    }
}

// Chunks above 765 bytes do not fit a 1024-character text: the dump takes the length it needs, and the
// text decodes back to the same bytes.
TEST(PresetDump, LargeBlobRoundTrips) {
    ScratchDir dir("dump-large");
    const std::string p = dir.Path("large.txt");
    TestEffect big(false, 100, 2);
    for (int i = 0; i < 100; ++i) big.GetParam(i)->Set(i / 128.0);
    big.ModifyCurrentPreset();
    ASSERT_EQ(big.Preset(0)->mChunk.Size(), 800);
    big.DumpPresetBlob(p.c_str());

    const std::string text = ReadText(p);
    const std::string head = "MakePresetFromBlob(\"name\", \"", tail = "\", 800);\n";
    ASSERT_GT(text.size(), head.size() + tail.size());
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    const std::string encoded = text.substr(head.size(), text.size() - head.size() - tail.size());
    EXPECT_EQ(encoded.size(), 1068u); // 4 * ceil(800 / 3)
    EXPECT_EQ(encoded.back(), '=');
    EXPECT_NE(encoded[encoded.size() - 2], '=');

    // Refill a slot from the text.
    TestEffect other(false, 100, 1);
    IPreset* slot = other.Preset(0);
    slot->mInitialized = false;
    slot->mChunk.Clear();
    other.MakePresetFromBlob("decoded", encoded.c_str(), 800);
    ASSERT_EQ(slot->mChunk.Size(), 800);
    EXPECT_EQ(0, std::memcmp(slot->mChunk.GetBytes(), big.Preset(0)->mChunk.GetBytes(), 800));
}

} // namespace
