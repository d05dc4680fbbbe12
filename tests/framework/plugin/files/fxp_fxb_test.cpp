#include "FileTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sys/stat.h>

using namespace filetest;

namespace {

// Factory values of the six slots, in plain units.
const double kFactory[6][5] = {
    {0.7, 0.5, 0.75, 1.0, 1},    {0.5, 0.5, 0.75, 1.0, 1},   {0.35, 0.431, 0.5, 1.0, 1},
    {0.676, 0.433, 1.0, 1.0, 1}, {0.44, 0.612, 1.0, 1.0, 1}, {0.5, 0.772, 1.0, 1.0, 1},
};
const char* const kFactoryNames[6] = {"Init",     "Swell on Accent",     "Funked Swell",
                                      "Arpeggio", "Long Ambient Chords", "Before Overdrive"};

// Normalised value of parameter i of the five-parameter object (Vol spans 0 .. 2).
double Norm(int i, double plain) {
    return i == 3 ? plain / 2.0 : plain;
}
// What a value becomes after the trip through a single-precision file field.
double ThroughFloat(int i, double plain) {
    const double n = static_cast<float>(Norm(i, plain));
    return i == 3 ? n * 2.0 : (i == 4 ? std::floor(n + 0.5) : n);
}

void ExpectSlotValues(TestEffect& e, int slot, const double expected[5]) {
    ByteChunk& c = e.Preset(slot)->mChunk;
    ASSERT_EQ(c.Size(), 40) << "slot " << slot;
    for (int i = 0; i < 5; ++i) {
        double v = -1.0;
        c.Get(&v, i * 8);
        EXPECT_EQ(v, expected[i]) << "slot " << slot << " param " << i;
    }
}

// "P<r>", built by appending (GCC 12 at -O3 misreads "P" + std::to_string(r) as an overlapping copy).
std::string ProgramName(int r) {
    std::string name = "P";
    name += std::to_string(r);
    return name;
}

std::vector<uint8_t> ExpectedBankHeader(const char* fxMagic, uint32_t byteSize, int nPrograms, int current) {
    std::vector<uint8_t> v;
    BE32(v, "CcnK");
    BE32(v, byteSize);
    BE32(v, fxMagic);
    BE32(v, 2u);
    BE32(v, "Tblm");
    BE32(v, 10000u);
    BE32(v, static_cast<uint32_t>(nPrograms));
    BE32(v, static_cast<uint32_t>(current));
    v.resize(v.size() + 124, 0);
    return v;
}

void AppendProgramRecord(std::vector<uint8_t>& v, const std::string& name, const double plain[5],
                         const char* magic = "CcnK", uint32_t version = 1, uint32_t nParams = 5,
                         const char* fxMagic = "FxCk") {
    BE32(v, magic);
    BE32(v, 0u);
    BE32(v, fxMagic);
    BE32(v, version);
    BE32(v, "Tblm");
    BE32(v, 10000u);
    BE32(v, nParams);
    NameField(v, name);
    for (int i = 0; i < 5; ++i) BEFloat(v, static_cast<float>(Norm(i, plain[i])));
}

class FxFiles : public ::testing::Test {
protected:
    ScratchDir mDir{"fxfiles"};
    std::string Path(const char* name) { return mDir.Path(name); }
    static bool SaveFXP(TestEffect& e, const std::string& p) {
        Util_String s(p.c_str());
        return e.SaveProgramAsFXP(&s);
    }
    static bool SaveFXB(TestEffect& e, const std::string& p) {
        Util_String s(p.c_str());
        return e.SaveBankAsFXB(&s);
    }
    static bool LoadFXP(TestEffect& e, const std::string& p) {
        Util_String s(p.c_str());
        return e.LoadProgramFromFXP(&s);
    }
    static bool LoadFXB(TestEffect& e, const std::string& p) {
        Util_String s(p.c_str());
        return e.LoadBankFromFXB(&s);
    }
    // A loaded object that differs from a fresh one everywhere a load could write.
    static void Disturb(TestEffect& e) {
        ASSERT_TRUE(e.RestorePreset(4));
        e.GetParam(0)->Set(0.123);
        e.GetParam(3)->Set(1.875);
        e.GetParam(4)->Set(0);
        e.ModifyCurrentPreset("Disturbed");
        e.GetParam(1)->Set(0.9);
    }
};

TEST_F(FxFiles, ProgramParameterFormIsByteExact) {
    TestEffect e;
    const std::string p = Path("init.fxp");
    ASSERT_TRUE(SaveFXP(e, p));
    const std::vector<uint8_t> expected = {
        0x43, 0x63, 0x6E, 0x4B, 0x00, 0x00, 0x00, 0x00, 0x46, 0x78, 0x43, 0x6B, 0x00, 0x00, 0x00, 0x01,
        0x54, 0x62, 0x6C, 0x6D, 0x00, 0x00, 0x27, 0x10, 0x00, 0x00, 0x00, 0x05, 'I',  'n',  'i',  't',
        0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
        0,    0,    0,    0,    0,    0,    0,    0,    0x3F, 0x33, 0x33, 0x33, 0x3F, 0x00, 0x00, 0x00,
        0x3F, 0x40, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x00, 0x3F, 0x80, 0x00, 0x00};
    ASSERT_EQ(expected.size(), 76u);
    EXPECT_EQ(ReadFile(p), expected);
    EXPECT_EQ(e.mProgramChanges, 0);
}

TEST_F(FxFiles, BankParameterFormIsByteExact) {
    TestEffect e;
    ASSERT_TRUE(e.RestorePreset(2));
    e.GetParam(0)->Set(0.0); // live state differs from slot 2: the bank holds the slots as stored
    const std::string p = Path("factory.fxb");
    ASSERT_TRUE(SaveFXB(e, p));

    std::vector<uint8_t> expected = ExpectedBankHeader("FxBk", 0, 6, 2);
    for (int s = 0; s < 6; ++s) AppendProgramRecord(expected, kFactoryNames[s], kFactory[s]);
    ASSERT_EQ(expected.size(), 612u);
    const std::vector<uint8_t> actual = ReadFile(p);
    EXPECT_EQ(actual, expected);
    // Spot checks written out by hand: "FxBk", the version 2, current program 2, and slot 2's
    // Sensitivity 0.35f = 0x3EB33333 at 156 + 2 * 76 + 56.
    ASSERT_EQ(actual.size(), 612u);
    EXPECT_EQ((std::vector<uint8_t>(actual.begin() + 8, actual.begin() + 16)),
              (std::vector<uint8_t>{0x46, 0x78, 0x42, 0x6B, 0, 0, 0, 2}));
    EXPECT_EQ(actual[31], 2);
    EXPECT_EQ((std::vector<uint8_t>(actual.begin() + 364, actual.begin() + 368)),
              (std::vector<uint8_t>{0x3E, 0xB3, 0x33, 0x33}));
}

TEST_F(FxFiles, BankOfShortAndEmptySlotChunksReadsMissingValuesAsZero) {
    TestEffect e;
    e.Preset(1)->mChunk.Clear();
    e.Preset(2)->mChunk.Resize(16); // two values left
    e.Preset(3)->mChunk.Clear();
    const double vol3 = 3.0; // stored out of range: normalised with the parameter's clamp
    e.Preset(3)->mChunk.Put(&vol3);
    const std::string p = Path("short.fxb");
    ASSERT_TRUE(SaveFXB(e, p));
    const std::vector<uint8_t> actual = ReadFile(p);
    ASSERT_EQ(actual.size(), 612u);
    std::vector<uint8_t> expected = ExpectedBankHeader("FxBk", 0, 6, 0);
    const double zero[5] = {0, 0, 0, 0, 0};
    const double two[5] = {0.35, 0.431, 0, 0, 0};
    const double clamped[5] = {1.0, 0, 0, 0, 0};
    for (int s = 0; s < 6; ++s) {
        AppendProgramRecord(expected, kFactoryNames[s],
                            s == 1   ? zero
                            : s == 2 ? two
                            : s == 3 ? clamped
                                     : kFactory[s]);
    }
    EXPECT_EQ(actual, expected);
}

TEST_F(FxFiles, ChunkFormsAreByteExact) {
    TestEffect e(true);
    const std::string fxp = Path("chunk.fxp"), fxb = Path("chunk.fxb");
    ASSERT_TRUE(SaveFXP(e, fxp));
    ASSERT_TRUE(SaveFXB(e, fxb));

    std::vector<uint8_t> state = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
    for (double v : kFactory[0]) LE64(state, v);
    std::vector<uint8_t> expected;
    BE32(expected, "CcnK");
    BE32(expected, 48u + 60u);
    BE32(expected, "FPCh");
    BE32(expected, 1u);
    BE32(expected, "Tblm");
    BE32(expected, 10000u);
    BE32(expected, 5u);
    NameField(expected, "Init");
    BE32(expected, 48u);
    expected.insert(expected.end(), state.begin(), state.end());
    ASSERT_EQ(expected.size(), 108u);
    EXPECT_EQ(ReadFile(fxp), expected);

    std::vector<uint8_t> list = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
    for (int s = 0; s < 6; ++s) {
        const std::string name = kFactoryNames[s];
        const uint32_t n = static_cast<uint32_t>(name.size());
        for (int b = 0; b < 4; ++b) list.push_back(static_cast<uint8_t>(n >> (8 * b)));
        list.insert(list.end(), name.begin(), name.end());
        list.push_back(1);
        for (double v : kFactory[s]) LE64(list, v);
    }
    ASSERT_EQ(list.size(), 352u);
    std::vector<uint8_t> bank = ExpectedBankHeader("FBCh", 352u + 160u, 6, 0);
    BE32(bank, 352u);
    bank.insert(bank.end(), list.begin(), list.end());
    EXPECT_EQ(ReadFile(fxb), bank);
}

TEST_F(FxFiles, ProgramNameFieldCutsLongNames) {
    TestEffect e;
    e.ModifyCurrentPreset("A name that is far longer than twenty-seven characters");
    const std::string p = Path("long.fxp");
    ASSERT_TRUE(SaveFXP(e, p));
    const std::vector<uint8_t> b = ReadFile(p);
    ASSERT_EQ(b.size(), 76u);
    EXPECT_EQ(std::string(b.begin() + 28, b.begin() + 55), "A name that is far longer t");
    EXPECT_EQ(b[55], 0);

    // No current preset: an empty name field.
    TestEffect none(false, 5, 0);
    ASSERT_TRUE(SaveFXP(none, p));
    const std::vector<uint8_t> c = ReadFile(p);
    ASSERT_EQ(c.size(), 76u);
    for (int i = 28; i < 56; ++i) EXPECT_EQ(c[i], 0) << i;
    ASSERT_TRUE(SaveFXB(none, p));
    EXPECT_EQ(ReadFile(p), ExpectedBankHeader("FxBk", 0, 0, 0));
}

TEST_F(FxFiles, ProgramRoundTripInParameterForm) {
    TestEffect a;
    a.GetParam(0)->SetNormalized(0.25);
    a.GetParam(1)->SetNormalized(0.125);
    a.GetParam(2)->SetNormalized(0.375);
    a.GetParam(3)->SetNormalized(0.75);
    a.GetParam(4)->SetNormalized(0.0);
    const std::string p = Path("rt.fxp");
    ASSERT_TRUE(SaveFXP(a, p));

    TestEffect b;
    ASSERT_TRUE(b.RestorePreset(2));
    ASSERT_TRUE(LoadFXP(b, p));
    const double expected[5] = {0.25, 0.125, 0.375, 1.5, 0.0};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(b.GetParam(i)->Value(), expected[i]) << i;
    EXPECT_EQ(b.GetCurrentPresetIdx(), 2);
    EXPECT_STREQ(b.GetPresetName(2), "Init"); // the file's name
    ExpectSlotValues(b, 2, expected);
    ExpectSlotValues(b, 1, kFactory[1]);
    EXPECT_EQ(b.mProgramChanges, 1);
}

TEST_F(FxFiles, ProgramWithEmptyNameKeepsSlotName) {
    TestEffect a(false, 5, 0); // no slots: empty name field
    a.GetParam(0)->Set(0.5);
    const std::string p = Path("noname.fxp");
    ASSERT_TRUE(SaveFXP(a, p));
    TestEffect b;
    ASSERT_TRUE(b.RestorePreset(3));
    ASSERT_TRUE(LoadFXP(b, p));
    EXPECT_STREQ(b.GetPresetName(3), "Arpeggio");
    EXPECT_EQ(b.GetParam(0)->Value(), 0.5);

    // And an object without slots still takes the values.
    TestEffect c(false, 5, 0);
    ASSERT_TRUE(LoadFXP(c, p));
    EXPECT_EQ(c.GetParam(0)->Value(), 0.5);
    EXPECT_EQ(c.mProgramChanges, 1);
}

TEST_F(FxFiles, BankRoundTripInParameterForm) {
    TestEffect a;
    ASSERT_TRUE(a.RestorePreset(1));
    a.GetParam(2)->Set(0.25);
    a.ModifyCurrentPreset("Mine");
    ASSERT_TRUE(a.RestorePreset(3));
    const std::string p = Path("rt.fxb");
    ASSERT_TRUE(SaveFXB(a, p));

    TestEffect b;
    Disturb(b);
    ASSERT_TRUE(LoadFXB(b, p));
    EXPECT_EQ(b.GetCurrentPresetIdx(), 3);
    EXPECT_EQ(b.mProgramChanges, 1);
    for (int s = 0; s < 6; ++s) {
        double expected[5];
        for (int i = 0; i < 5; ++i) {
            const double plain = (s == 1 && i == 2) ? 0.25 : kFactory[s][i];
            expected[i] = ThroughFloat(i, plain);
        }
        ExpectSlotValues(b, s, expected);
        EXPECT_STREQ(b.GetPresetName(s), s == 1 ? "Mine" : kFactoryNames[s]);
        EXPECT_TRUE(b.Preset(s)->mInitialized);
        if (s == 3) {
            for (int i = 0; i < 5; ++i) EXPECT_EQ(b.GetParam(i)->Value(), expected[i]) << i;
        }
    }
}

TEST_F(FxFiles, ChunkFormRoundTrips) {
    TestEffect a(true);
    ASSERT_TRUE(a.RestorePreset(5));
    a.GetParam(1)->Set(0.123456789);
    a.ModifyCurrentPreset("Exact");
    const std::string fxp = Path("rt-chunk.fxp"), fxb = Path("rt-chunk.fxb");
    ASSERT_TRUE(SaveFXP(a, fxp));
    ASSERT_TRUE(SaveFXB(a, fxb));

    TestEffect b(true);
    ASSERT_TRUE(b.RestorePreset(2));
    ASSERT_TRUE(LoadFXP(b, fxp));
    EXPECT_EQ(b.GetParam(1)->Value(), 0.123456789); // doubles travel unrounded
    EXPECT_EQ(b.GetParam(0)->Value(), 0.5);
    EXPECT_STREQ(b.GetPresetName(2), "Exact");
    EXPECT_EQ(b.mProgramChanges, 1);

    TestEffect c(true);
    Disturb(c);
    ASSERT_TRUE(LoadFXB(c, fxb));
    EXPECT_EQ(c.mProgramChanges, 1);
    // The slots come from the file; the current program stays the object's own (slot 4).
    EXPECT_EQ(c.GetCurrentPresetIdx(), 4);
    EXPECT_STREQ(c.GetPresetName(4), "Long Ambient Chords");
    EXPECT_STREQ(c.GetPresetName(5), "Exact");
    for (int i = 0; i < 5; ++i) EXPECT_EQ(c.GetParam(i)->Value(), kFactory[4][i]) << i;
    const double slot5[5] = {0.5, 0.123456789, 1.0, 1.0, 1};
    ExpectSlotValues(c, 5, slot5);
}

// A chunk-form file whose own chunk size agrees with its length, but whose state ends early: the state
// reader applies part of it before noticing, and the load puts everything back.
TEST_F(FxFiles, ChunkStateThatEndsEarlyIsRolledBack) {
    TestEffect a(true);
    const std::string fxp = Path("short-chunk.fxp"), fxb = Path("short-chunk.fxb"), bad = Path("bad");
    a.GetParam(0)->Set(0.0625);
    a.GetParam(1)->Set(0.125);
    ASSERT_TRUE(SaveFXP(a, fxp));
    ASSERT_TRUE(SaveFXB(a, fxb));

    std::vector<uint8_t> p = ReadFile(fxp);
    p.resize(60 + 8 + 3 * 8); // header, framework header and three of the five values
    p[59] = 32;
    WriteFile(bad, p);
    TestEffect b(true);
    Disturb(b);
    const Snapshot beforeB(b);
    EXPECT_FALSE(LoadFXP(b, bad));
    EXPECT_TRUE(Snapshot(b) == beforeB);

    for (int cut : {0, 4, 9, 49, 100, 300, 343}) {
        std::vector<uint8_t> k = ReadFile(fxb);
        k.resize(160 + 8 + static_cast<size_t>(cut));
        const uint32_t size = 8 + static_cast<uint32_t>(cut);
        k[156] = 0;
        k[157] = 0;
        k[158] = static_cast<uint8_t>(size >> 8);
        k[159] = static_cast<uint8_t>(size);
        WriteFile(bad, k);
        TestEffect c(true);
        Disturb(c);
        const Snapshot beforeC(c);
        EXPECT_FALSE(LoadFXB(c, bad)) << cut;
        EXPECT_TRUE(Snapshot(c) == beforeC) << cut;
    }
}

TEST_F(FxFiles, ParameterFormLoadsIntoChunkObjectAndChunkFormNeedsOne) {
    TestEffect plain, chunky(true);
    const std::string fxp = Path("p.fxp"), fxb = Path("p.fxb"), cfxp = Path("c.fxp"), cfxb = Path("c.fxb");
    plain.GetParam(0)->Set(0.25);
    ASSERT_TRUE(SaveFXP(plain, fxp));
    ASSERT_TRUE(SaveFXB(plain, fxb));
    ASSERT_TRUE(SaveFXP(chunky, cfxp));
    ASSERT_TRUE(SaveFXB(chunky, cfxb));

    ASSERT_TRUE(LoadFXP(chunky, fxp));
    EXPECT_EQ(chunky.GetParam(0)->Value(), 0.25);
    ASSERT_TRUE(LoadFXB(chunky, fxb));

    TestEffect other;
    Disturb(other);
    const Snapshot before(other);
    EXPECT_FALSE(LoadFXP(other, cfxp));
    EXPECT_FALSE(LoadFXB(other, cfxb));
    EXPECT_TRUE(Snapshot(other) == before);
}

TEST_F(FxFiles, RejectedFilesChangeNothing) {
    TestEffect a;
    const std::string fxp = Path("good.fxp"), fxb = Path("good.fxb"), bad = Path("bad");
    ASSERT_TRUE(SaveFXP(a, fxp));
    ASSERT_TRUE(SaveFXB(a, fxb));
    const std::vector<uint8_t> goodP = ReadFile(fxp), goodB = ReadFile(fxb);

    struct Case {
        const char* what;
        bool bank;
        int offset;
        uint8_t value;
    };
    const Case cases[] = {
        {"program: chunk magic", false, 0, 'X'},
        {"program: fxMagic", false, 11, 'X'},
        {"program: format version", false, 15, 2},
        {"program: unique id", false, 19, 'n'},
        {"program: parameter count", false, 27, 4},
        {"program: parameter count high byte", false, 24, 1},
        {"bank: chunk magic", true, 3, 'k'},
        {"bank: fxMagic", true, 8, 'f'},
        {"bank: unique id", true, 16, 0},
        {"bank: record 3 chunk magic", true, 156 + 3 * 76, 'c'},
        {"bank: record 5 fxMagic", true, 156 + 5 * 76 + 11, 'h'},
        {"bank: record 4 format version", true, 156 + 4 * 76 + 15, 2},
        {"bank: record 2 parameter count", true, 156 + 2 * 76 + 27, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = c.bank ? goodB : goodP;
        bytes[static_cast<size_t>(c.offset)] = c.value;
        WriteFile(bad, bytes);
        TestEffect b;
        Disturb(b);
        const Snapshot before(b);
        EXPECT_FALSE(c.bank ? LoadFXB(b, bad) : LoadFXP(b, bad));
        EXPECT_TRUE(Snapshot(b) == before);
    }

    // A record's own unique id is not checked.
    std::vector<uint8_t> bytes = goodB;
    bytes[156 + 76 + 16] = 'Z';
    WriteFile(bad, bytes);
    TestEffect b;
    EXPECT_TRUE(LoadFXB(b, bad));
}

TEST_F(FxFiles, TruncatedFilesAreRejectedAtEveryLength) {
    for (bool chunks : {false, true}) {
        TestEffect a(chunks);
        ASSERT_TRUE(a.RestorePreset(2));
        const std::string fxp = Path("t.fxp"), fxb = Path("t.fxb"), cut = Path("cut");
        ASSERT_TRUE(SaveFXP(a, fxp));
        ASSERT_TRUE(SaveFXB(a, fxb));
        for (const std::string& whole : {fxp, fxb}) {
            const bool bank = whole == fxb;
            const std::vector<uint8_t> bytes = ReadFile(whole);
            ASSERT_EQ(bytes.size(), chunks ? (bank ? 512u : 108u) : (bank ? 612u : 76u));
            TestEffect b(chunks);
            Disturb(b);
            const Snapshot before(b);
            for (size_t n = 0; n < bytes.size(); ++n) {
                WriteFile(cut, bytes, n);
                EXPECT_FALSE(bank ? LoadFXB(b, cut) : LoadFXP(b, cut))
                    << "chunks " << chunks << " length " << n;
                ASSERT_TRUE(Snapshot(b) == before)
                    << "chunks " << chunks << " bank " << bank << " length " << n;
            }
            WriteFile(cut, bytes);
            EXPECT_TRUE(bank ? LoadFXB(b, cut) : LoadFXP(b, cut));
        }
    }
}

TEST_F(FxFiles, ChunkSizeBeyondTheFileIsRejected) {
    TestEffect a(true);
    const std::string fxp = Path("cs.fxp"), bad = Path("cs-bad");
    ASSERT_TRUE(SaveFXP(a, fxp));
    std::vector<uint8_t> bytes = ReadFile(fxp);
    bytes[59] = 49; // one byte more than the file holds
    WriteFile(bad, bytes);
    TestEffect b(true);
    Disturb(b);
    const Snapshot before(b);
    EXPECT_FALSE(LoadFXP(b, bad));
    EXPECT_TRUE(Snapshot(b) == before);
    bytes[56] = 0x80; // negative
    bytes[59] = 48;
    WriteFile(bad, bytes);
    EXPECT_FALSE(LoadFXP(b, bad));
    EXPECT_TRUE(Snapshot(b) == before);
}

TEST_F(FxFiles, BankWithNoProgramsRestoresItsCurrentProgram) {
    const std::string p = Path("empty.fxb");
    WriteFile(p, ExpectedBankHeader("FxBk", 0, 0, 3));
    TestEffect b;
    Disturb(b);
    const Snapshot before(b);
    ASSERT_TRUE(LoadFXB(b, p));
    EXPECT_EQ(b.GetCurrentPresetIdx(), 3);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(b.GetParam(i)->Value(), kFactory[3][i]) << i;
    EXPECT_EQ(b.mProgramChanges, 1);
    EXPECT_EQ(Snapshot(b).mNames, before.mNames);
    EXPECT_EQ(Snapshot(b).mChunks, before.mChunks);

    // A negative count reads no records either.
    WriteFile(p, ExpectedBankHeader("FxBk", 0, -7, 1));
    ASSERT_TRUE(LoadFXB(b, p));
    EXPECT_EQ(b.GetCurrentPresetIdx(), 1);
    EXPECT_EQ(b.mProgramChanges, 2);
}

TEST_F(FxFiles, BankProgramCountAgainstSlotsAndLength) {
    double values[8][5];
    for (int r = 0; r < 8; ++r) {
        values[r][0] = r / 8.0;
        values[r][1] = 0.5;
        values[r][2] = 0.25 + r / 64.0;
        values[r][3] = r / 4.0;
        values[r][4] = r % 2;
    }
    const auto bank = [&](int count, int records, int current) {
        std::vector<uint8_t> v = ExpectedBankHeader("FxBk", 0, count, current);
        for (int r = 0; r < records; ++r) AppendProgramRecord(v, ProgramName(r), values[r]);
        return v;
    };
    const std::string p = Path("count.fxb");

    // More programs than slots: the first six fill the slots, the rest have nowhere to go.
    WriteFile(p, bank(8, 8, 1));
    TestEffect b;
    ASSERT_TRUE(LoadFXB(b, p));
    for (int s = 0; s < 6; ++s) {
        EXPECT_EQ(b.GetPresetName(s), ProgramName(s));
        ExpectSlotValues(b, s, values[s]);
    }
    EXPECT_EQ(b.GetCurrentPresetIdx(), 1);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(b.GetParam(i)->Value(), values[1][i]);

    // A count beyond the slots whose extra records are missing loads the slots it has.
    WriteFile(p, bank(1000000, 6, 0));
    TestEffect c;
    ASSERT_TRUE(LoadFXB(c, p));
    ExpectSlotValues(c, 5, values[5]);

    // Fewer programs than slots: the others keep their contents; extra records are ignored.
    WriteFile(p, bank(2, 6, 0));
    TestEffect d;
    ASSERT_TRUE(LoadFXB(d, p));
    ExpectSlotValues(d, 0, values[0]);
    ExpectSlotValues(d, 1, values[1]);
    ExpectSlotValues(d, 2, kFactory[2]);
    EXPECT_STREQ(d.GetPresetName(2), "Funked Swell");

    // A count larger than the records present (within the slots): rejected as truncated.
    WriteFile(p, bank(6, 5, 0));
    TestEffect e;
    Disturb(e);
    const Snapshot before(e);
    EXPECT_FALSE(LoadFXB(e, p));
    EXPECT_TRUE(Snapshot(e) == before);

    // A current program outside the slots restores nothing more: the last loaded slot stays current.
    for (int current : {6, -1, 0x7FFFFFFF}) {
        WriteFile(p, bank(3, 3, current));
        TestEffect f;
        ASSERT_TRUE(LoadFXB(f, p));
        EXPECT_EQ(f.GetCurrentPresetIdx(), 2) << current;
        for (int i = 0; i < 5; ++i) EXPECT_EQ(f.GetParam(i)->Value(), values[2][i]);
    }
}

TEST_F(FxFiles, UnterminatedNamesAreCutTo27Characters) {
    const std::string fxp = Path("name.fxp"), fxb = Path("name.fxb");
    TestEffect a;
    ASSERT_TRUE(SaveFXP(a, fxp));
    std::vector<uint8_t> bytes = ReadFile(fxp);
    for (int i = 28; i < 56; ++i) bytes[static_cast<size_t>(i)] = static_cast<uint8_t>('a' + (i - 28) % 26);
    WriteFile(fxp, bytes);
    TestEffect b;
    ASSERT_TRUE(LoadFXP(b, fxp));
    EXPECT_STREQ(b.GetPresetName(0), "abcdefghijklmnopqrstuvwxyza");

    std::vector<uint8_t> bank = ExpectedBankHeader("FxBk", 0, 1, 0);
    AppendProgramRecord(bank, std::string(28, 'N'), kFactory[2]);
    WriteFile(fxb, bank);
    TestEffect c;
    ASSERT_TRUE(LoadFXB(c, fxb));
    EXPECT_EQ(std::string(c.GetPresetName(0)), std::string(27, 'N'));
}

TEST_F(FxFiles, NonFiniteValuesNeverReachParameters) {
    const std::string p = Path("nan.fxp");
    TestEffect a;
    ASSERT_TRUE(SaveFXP(a, p));
    std::vector<uint8_t> bytes = ReadFile(p);
    const uint8_t nan[4] = {0x7F, 0xC0, 0x00, 0x00}, inf[4] = {0x7F, 0x80, 0x00, 0x00},
                  ninf[4] = {0xFF, 0x80, 0x00, 0x00};
    for (int k = 0; k < 4; ++k) {
        bytes[56 + static_cast<size_t>(k)] = nan[k];
        bytes[64 + static_cast<size_t>(k)] = inf[k];
        bytes[68 + static_cast<size_t>(k)] = ninf[k];
    }
    WriteFile(p, bytes);
    TestEffect b;
    b.GetParam(0)->Set(0.3);
    ASSERT_TRUE(LoadFXP(b, p));
    EXPECT_EQ(b.GetParam(0)->Value(), 0.3);
    EXPECT_EQ(b.GetParam(2)->Value(), 1.0);
    EXPECT_EQ(b.GetParam(3)->Value(), 0.0);
}

// An effect whose own state writer reports failure: a program file of that state would not load back,
// so the save fails and leaves an existing file as it was.
class FailingStateEffect : public TestEffect {
public:
    FailingStateEffect() : TestEffect(true) {}
    bool SerializeState(ByteChunk* pChunk) override {
        const double half = 0.5;
        pChunk->Put(&half); // part of a state, then the failure
        return false;
    }
};

TEST_F(FxFiles, StateThatCannotBeWrittenIsNotSaved) {
    const std::string p = Path("kept.fxp");
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    WriteFile(p, old);
    FailingStateEffect e;
    EXPECT_FALSE(SaveFXP(e, p));
    EXPECT_EQ(ReadFile(p), old);
}

TEST_F(FxFiles, PathsThatCannotBeUsed) {
    TestEffect e;
    const Snapshot before(e);
    Util_String empty;
    EXPECT_FALSE(e.SaveProgramAsFXP(&empty));
    EXPECT_FALSE(e.SaveBankAsFXB(&empty));
    EXPECT_FALSE(e.LoadProgramFromFXP(&empty));
    EXPECT_FALSE(e.LoadBankFromFXB(&empty));
    EXPECT_FALSE(e.SaveProgramAsFXP(nullptr));
    EXPECT_FALSE(e.SaveBankAsFXB(nullptr));
    EXPECT_FALSE(e.LoadProgramFromFXP(nullptr));
    EXPECT_FALSE(e.LoadBankFromFXB(nullptr));
    EXPECT_FALSE(LoadFXP(e, Path("missing.fxp")));
    EXPECT_FALSE(LoadFXB(e, Path("missing.fxb")));
    EXPECT_FALSE(SaveFXP(e, Path("no/such/dir/x.fxp")));
    EXPECT_FALSE(SaveFXB(e, Path("no/such/dir/x.fxb")));
    // A directory opens but cannot be read as a file; a FIFO is refused instead of waiting for a writer.
    EXPECT_FALSE(LoadFXP(e, Path("")));
    EXPECT_FALSE(LoadFXB(e, Path("")));
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(LoadFXP(e, Path("fifo")));
    EXPECT_FALSE(LoadFXB(e, Path("fifo")));
    // A device that refuses the bytes: the failed write is reported, not hidden.
    if (FILE* f = std::fopen("/dev/full", "wb")) {
        std::fclose(f);
        EXPECT_FALSE(SaveFXP(e, "/dev/full"));
        EXPECT_FALSE(SaveFXB(e, "/dev/full"));
    }
    EXPECT_TRUE(Snapshot(e) == before);
}

} // namespace
