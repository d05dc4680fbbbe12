#include "host/HostFxFile.h"
#include "tests/framework/plugin/files/FileTestSupport.h"

#include <gtest/gtest.h>

using namespace filetest;

namespace {

const char* const kFactoryNames[6] = {"Init",     "Swell on Accent",     "Funked Swell",
                                      "Arpeggio", "Long Ambient Chords", "Before Overdrive"};

bool Save(TestEffect& e, const std::string& path, bool bank) {
    Util_String s(path.c_str());
    return bank ? e.SaveBankAsFXB(&s) : e.SaveProgramAsFXP(&s);
}
bool Load(TestEffect& e, const std::string& path, bool bank) {
    Util_String s(path.c_str());
    return bank ? e.LoadBankFromFXB(&s) : e.LoadProgramFromFXP(&s);
}

TEST(FxInterop, PluginFilesDecodeInTheHost) {
    ScratchDir dir("interop-out");
    const std::string fxp = dir.Path("p.fxp"), fxb = dir.Path("b.fxb");
    TestEffect e;
    ASSERT_TRUE(e.RestorePreset(2));
    ASSERT_TRUE(Save(e, fxp, false));
    ASSERT_TRUE(Save(e, fxb, true));

    const std::vector<uint8_t> p = ReadFile(fxp), b = ReadFile(fxb);
    HostFxProgram program;
    HostFxBank bank;
    std::string err;
    ASSERT_TRUE(HostDecodeFxp(p.data(), p.size(), program, err)) << err;
    EXPECT_EQ(program.fxID, kUniqueID);
    EXPECT_EQ(program.fxVersion, 10000);
    EXPECT_EQ(program.numParams, 5);
    EXPECT_EQ(program.name, "Funked Swell");
    EXPECT_FALSE(program.isChunk);
    EXPECT_EQ(program.params, (std::vector<float>{0.35f, 0.431f, 0.5f, 0.5f, 1.0f}));

    ASSERT_TRUE(HostDecodeFxb(b.data(), b.size(), bank, err)) << err;
    EXPECT_EQ(bank.fxID, kUniqueID);
    EXPECT_EQ(bank.currentProgram, 2);
    EXPECT_FALSE(bank.isChunk);
    ASSERT_EQ(bank.programs.size(), 6u);
    for (int s = 0; s < 6; ++s) EXPECT_EQ(bank.programs[static_cast<size_t>(s)].name, kFactoryNames[s]);
    EXPECT_EQ(bank.programs[3].params, (std::vector<float>{0.676f, 0.433f, 1.0f, 0.5f, 1.0f}));

    // Chunk forms carry the plug-in's state untouched: framework header and five doubles.
    TestEffect c(true);
    ASSERT_TRUE(Save(c, fxp, false));
    ASSERT_TRUE(Save(c, fxb, true));
    const std::vector<uint8_t> cp = ReadFile(fxp), cb = ReadFile(fxb);
    ASSERT_TRUE(HostDecodeFxp(cp.data(), cp.size(), program, err)) << err;
    EXPECT_TRUE(program.isChunk);
    ASSERT_EQ(program.chunk.size(), 48u);
    EXPECT_EQ((std::vector<uint8_t>(program.chunk.begin(), program.chunk.begin() + 8)),
              (std::vector<uint8_t>{0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00}));
    ASSERT_TRUE(HostDecodeFxb(cb.data(), cb.size(), bank, err)) << err;
    EXPECT_TRUE(bank.isChunk);
    EXPECT_EQ(bank.numPrograms, 6);
    EXPECT_EQ(bank.chunk.size(), 352u);
}

TEST(FxInterop, HostFilesLoadInThePlugin) {
    ScratchDir dir("interop-in");
    const std::string fxp = dir.Path("p.fxp"), fxb = dir.Path("b.fxb");

    HostFxProgram program;
    program.fxID = kUniqueID;
    program.fxVersion = 10000;
    program.numParams = 5;
    program.name = "From the host";
    program.params = {0.25f, 0.125f, 0.375f, 0.75f, 0.0f};
    WriteFile(fxp, HostEncodeFxp(program));
    TestEffect e;
    ASSERT_TRUE(e.RestorePreset(1));
    ASSERT_TRUE(Load(e, fxp, false));
    const double expected[5] = {0.25, 0.125, 0.375, 1.5, 0.0};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(e.GetParam(i)->Value(), expected[i]) << i;
    EXPECT_STREQ(e.GetPresetName(1), "From the host");
    EXPECT_EQ(e.mProgramChanges, 1);

    HostFxBank bank;
    bank.fxID = kUniqueID;
    bank.fxVersion = 10000;
    bank.currentProgram = 4;
    for (int s = 0; s < 6; ++s) {
        HostFxProgram p = program;
        p.name = "Host " + std::to_string(s);
        p.params[0] = static_cast<float>(s) / 8.0f;
        bank.programs.push_back(p);
    }
    WriteFile(fxb, HostEncodeFxb(bank));
    TestEffect f;
    ASSERT_TRUE(Load(f, fxb, true));
    EXPECT_EQ(f.GetCurrentPresetIdx(), 4);
    EXPECT_EQ(f.GetParam(0)->Value(), 0.5);
    for (int s = 0; s < 6; ++s) EXPECT_EQ(f.GetPresetName(s), "Host " + std::to_string(s));

    // A chunk program built by the host from the plug-in's own state.
    TestEffect g(true);
    g.GetParam(1)->Set(0.987654321);
    ByteChunk state;
    IEffectBase::InitChunkWithFrameworkVer(&state);
    ASSERT_TRUE(g.SerializeState(&state));
    HostFxProgram chunkProgram;
    chunkProgram.fxID = kUniqueID;
    chunkProgram.fxVersion = 10000;
    chunkProgram.numParams = 5;
    chunkProgram.name = "Chunk";
    chunkProgram.isChunk = true;
    chunkProgram.chunk.assign(state.GetBytes(), state.GetBytes() + state.Size());
    WriteFile(fxp, HostEncodeFxp(chunkProgram));
    TestEffect h(true);
    ASSERT_TRUE(Load(h, fxp, false));
    EXPECT_EQ(h.GetParam(1)->Value(), 0.987654321);
    EXPECT_STREQ(h.GetPresetName(0), "Chunk");
}

} // namespace
