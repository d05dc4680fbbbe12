// Program and bank file layouts, byte for byte, and the rejection of files that do not fit.
#include "host/HostFxFile.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using Bytes = std::vector<uint8_t>;

void AppendBE(Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
}
void AppendText(Bytes& b, const char* text, size_t field) {
    size_t n = std::strlen(text);
    for (size_t i = 0; i < field; ++i) b.push_back(i < n ? static_cast<uint8_t>(text[i]) : 0);
}
uint32_t ReadBE(const Bytes& b, size_t pos) {
    return (uint32_t{b[pos]} << 24) | (uint32_t{b[pos + 1]} << 16) | (uint32_t{b[pos + 2]} << 8) | b[pos + 3];
}

// A program of five values whose float bit patterns are written out by hand below.
HostFxProgram FiveValueProgram() {
    HostFxProgram p;
    p.fxID = 0x54626C6D; // 'Tblm'
    p.fxVersion = 10000;
    p.numParams = 5;
    p.name = "Init";
    p.params = {0.5f, 0.25f, 0.75f, 1.0f, 0.0f};
    return p;
}

TEST(HostFxFile, ParameterProgramLayout) {
    Bytes expected;
    AppendText(expected, "CcnK", 4);
    AppendBE(expected, 68); // 76 bytes minus the magic and the size field
    AppendText(expected, "FxCk", 4);
    AppendBE(expected, 1);
    AppendText(expected, "Tblm", 4);
    AppendBE(expected, 0x2710);
    AppendBE(expected, 5);
    AppendText(expected, "Init", 28);
    for (uint32_t bits : {0x3F000000u, 0x3E800000u, 0x3F400000u, 0x3F800000u, 0x00000000u})
        AppendBE(expected, bits);
    ASSERT_EQ(expected.size(), 76u);
    EXPECT_EQ(HostEncodeFxp(FiveValueProgram()), expected);
}

TEST(HostFxFile, ChunkProgramLayout) {
    HostFxProgram p = FiveValueProgram();
    p.isChunk = true;
    p.chunk = {1, 2, 3, 4, 5, 6, 7};
    Bytes b = HostEncodeFxp(p);
    ASSERT_EQ(b.size(), 67u);
    EXPECT_EQ(ReadBE(b, 0), 0x43636E4Bu);
    EXPECT_EQ(ReadBE(b, 4), 59u);         // whole file minus 8
    EXPECT_EQ(ReadBE(b, 8), 0x46504368u); // 'FPCh'
    EXPECT_EQ(ReadBE(b, 24), 5u);         // parameter count kept in the chunk form too
    EXPECT_EQ(std::memcmp(b.data() + 28, "Init\0\0", 6), 0);
    EXPECT_EQ(ReadBE(b, 56), 7u);
    EXPECT_EQ(Bytes(b.begin() + 60, b.end()), p.chunk);
}

TEST(HostFxFile, ParameterBankLayout) {
    HostFxBank bank;
    bank.fxID = 0x54626C6D;
    bank.fxVersion = 10000;
    bank.currentProgram = 3;
    for (int i = 0; i < 6; ++i) {
        HostFxProgram p = FiveValueProgram();
        p.name = "P" + std::to_string(i);
        bank.programs.push_back(p);
    }
    Bytes b = HostEncodeFxb(bank);
    ASSERT_EQ(b.size(), 612u); // 156 + 6 x 76
    EXPECT_EQ(ReadBE(b, 4), 604u);
    EXPECT_EQ(ReadBE(b, 8), 0x4678426Bu); // 'FxBk'
    EXPECT_EQ(ReadBE(b, 12), 2u);
    EXPECT_EQ(ReadBE(b, 16), 0x54626C6Du);
    EXPECT_EQ(ReadBE(b, 20), 10000u);
    EXPECT_EQ(ReadBE(b, 24), 6u);
    EXPECT_EQ(ReadBE(b, 28), 3u);
    for (size_t i = 32; i < 156; ++i) ASSERT_EQ(b[i], 0) << i;
    for (size_t r = 0; r < 6; ++r) {
        size_t at = 156 + r * 76;
        EXPECT_EQ(ReadBE(b, at), 0x43636E4Bu);
        EXPECT_EQ(ReadBE(b, at + 4), 68u);
        EXPECT_EQ(ReadBE(b, at + 8), 0x4678436Bu);
        EXPECT_EQ(b[at + 28], 'P');
        EXPECT_EQ(b[at + 29], '0' + r);
        EXPECT_EQ(ReadBE(b, at + 56), 0x3F000000u);
    }
}

TEST(HostFxFile, ChunkBankLayout) {
    HostFxBank bank;
    bank.fxID = 7;
    bank.fxVersion = 2;
    bank.currentProgram = 1;
    bank.isChunk = true;
    bank.numPrograms = 4;
    bank.chunk = {9, 8, 7};
    Bytes b = HostEncodeFxb(bank);
    ASSERT_EQ(b.size(), 163u);
    EXPECT_EQ(ReadBE(b, 4), 155u);
    EXPECT_EQ(ReadBE(b, 8), 0x46424368u); // 'FBCh'
    EXPECT_EQ(ReadBE(b, 24), 4u);
    EXPECT_EQ(ReadBE(b, 28), 1u);
    EXPECT_EQ(ReadBE(b, 156), 3u);
    EXPECT_EQ(b[160], 9);
    EXPECT_EQ(b[162], 7);
}

TEST(HostFxFile, RoundTripsKeepEverything) {
    HostFxProgram p = FiveValueProgram(), q;
    std::string err;
    Bytes b = HostEncodeFxp(p);
    ASSERT_TRUE(HostDecodeFxp(b.data(), b.size(), q, err)) << err;
    EXPECT_EQ(q.fxID, p.fxID);
    EXPECT_EQ(q.fxVersion, p.fxVersion);
    EXPECT_EQ(q.name, "Init");
    EXPECT_EQ(q.params, p.params);
    EXPECT_FALSE(q.isChunk);

    p.isChunk = true;
    p.chunk = {0, 255, 17};
    b = HostEncodeFxp(p);
    ASSERT_TRUE(HostDecodeFxp(b.data(), b.size(), q, err)) << err;
    EXPECT_TRUE(q.isChunk);
    EXPECT_EQ(q.chunk, p.chunk);

    HostFxBank bank, back;
    bank.fxID = 99;
    bank.currentProgram = 1;
    bank.programs = {FiveValueProgram(), FiveValueProgram()};
    bank.programs[1].name = "Second";
    bank.programs[1].params[4] = 0.125f;
    b = HostEncodeFxb(bank);
    ASSERT_TRUE(HostDecodeFxb(b.data(), b.size(), back, err)) << err;
    ASSERT_EQ(back.programs.size(), 2u);
    EXPECT_EQ(back.currentProgram, 1);
    EXPECT_EQ(back.programs[1].name, "Second");
    EXPECT_EQ(back.programs[1].params, bank.programs[1].params);
}

TEST(HostFxFile, NamesAreCutToTheField) {
    HostFxProgram p = FiveValueProgram(), q;
    std::string err;
    p.name = std::string(40, 'a');
    Bytes b = HostEncodeFxp(p);
    EXPECT_EQ(b[28 + 26], 'a');
    EXPECT_EQ(b[28 + 27], 0); // always terminated
    ASSERT_TRUE(HostDecodeFxp(b.data(), b.size(), q, err));
    EXPECT_EQ(q.name, std::string(27, 'a'));

    // A two-byte character straddling the cut is dropped whole.
    p.name = std::string(26, 'b') + "\xC3\xA9";
    b = HostEncodeFxp(p);
    EXPECT_EQ(b[28 + 26], 0);

    // A full 28-byte name without a terminator is read to the end of its field, not beyond.
    b = HostEncodeFxp(FiveValueProgram());
    std::memset(b.data() + 28, 'z', 28);
    ASSERT_TRUE(HostDecodeFxp(b.data(), b.size(), q, err));
    EXPECT_EQ(q.name, std::string(28, 'z'));
}

TEST(HostFxFile, SizeFieldIsNotTrusted) {
    // Some writers store 0 (or anything) as the byte size; the layout alone decides.
    Bytes b = HostEncodeFxp(FiveValueProgram());
    b[4] = b[5] = b[6] = b[7] = 0;
    HostFxProgram q;
    std::string err;
    EXPECT_TRUE(HostDecodeFxp(b.data(), b.size(), q, err)) << err;
}

TEST(HostFxFile, VersionOneBankHasNoCurrentProgram) {
    HostFxBank bank, back;
    bank.currentProgram = 5;
    bank.programs = {FiveValueProgram()};
    Bytes b = HostEncodeFxb(bank);
    b[15] = 1; // format version 1: bytes 28.. are reserved
    std::string err;
    ASSERT_TRUE(HostDecodeFxb(b.data(), b.size(), back, err)) << err;
    EXPECT_EQ(back.currentProgram, 0);
}

struct BadProgram {
    const char* what;
    size_t offset; // byte to change (or the new size when truncating)
    int value;     // new byte value, or -1 to truncate at offset
    const char* message;
};

TEST(HostFxFile, MalformedProgramsAreRejected) {
    const Bytes good = HostEncodeFxp(FiveValueProgram());
    const BadProgram cases[] = {
        {"empty", 0, -1, "no 'CcnK'"},
        {"header cut", 40, -1, "too short"},
        {"values cut", 72, -1, "truncated program"},
        {"no CcnK", 0, 'X', "no 'CcnK'"},
        {"unknown kind", 11, 'X', "unknown program kind"},
        {"bank magic", 10, 'B', "bank file"}, // 'FxBk'
        {"version 3", 15, 3, "format version 3"},
        {"negative count", 24, 0xFF, "implausible parameter count"},
        {"value above one", 68, 0x40, "not a normalised value"}, // 1.0f -> 4.0f
        {"not a number", 56, 0x7F, "not a normalised value"},    // 0.5f -> NaN
        {"negative value", 60, 0xBE, "not a normalised value"},  // 0.25f -> -0.25f
    };
    for (const BadProgram& c : cases) {
        Bytes b = good;
        if (c.value < 0)
            b.resize(c.offset);
        else
            b[c.offset] = static_cast<uint8_t>(c.value);
        if (std::string(c.what) == "not a number") b[57] = 0xC0;
        HostFxProgram out;
        out.name = "untouched";
        std::string err;
        EXPECT_FALSE(HostDecodeFxp(b.data(), b.size(), out, err)) << c.what;
        EXPECT_NE(err.find(c.message), std::string::npos) << c.what << ": " << err;
        EXPECT_EQ(out.name, "untouched") << c.what;
    }
}

TEST(HostFxFile, ChunkLengthsAreChecked) {
    HostFxProgram p = FiveValueProgram(), q;
    p.isChunk = true;
    p.chunk = Bytes(10, 1);
    std::string err;
    Bytes b = HostEncodeFxp(p);
    b.resize(b.size() - 1);
    EXPECT_FALSE(HostDecodeFxp(b.data(), b.size(), q, err));
    EXPECT_NE(err.find("does not fit"), std::string::npos) << err;
    b = HostEncodeFxp(p);
    b[56] = 0x80; // negative size
    EXPECT_FALSE(HostDecodeFxp(b.data(), b.size(), q, err));
    b.resize(58);
    EXPECT_FALSE(HostDecodeFxp(b.data(), b.size(), q, err));
    EXPECT_NE(err.find("no chunk size"), std::string::npos) << err;

    HostFxBank bank, back;
    bank.isChunk = true;
    bank.chunk = Bytes(10, 2);
    b = HostEncodeFxb(bank);
    b[159] = 11;
    EXPECT_FALSE(HostDecodeFxb(b.data(), b.size(), back, err));
    EXPECT_NE(err.find("does not fit"), std::string::npos) << err;
}

TEST(HostFxFile, MalformedBanksAreRejected) {
    HostFxBank bank;
    bank.programs = {FiveValueProgram(), FiveValueProgram()};
    const Bytes good = HostEncodeFxb(bank);
    HostFxBank out;
    std::string err;

    Bytes b(good.begin(), good.begin() + 100);
    EXPECT_FALSE(HostDecodeFxb(b.data(), b.size(), out, err));
    EXPECT_NE(err.find("too short"), std::string::npos) << err;

    b = good;
    b.resize(good.size() - 4); // the second record loses its last value
    EXPECT_FALSE(HostDecodeFxb(b.data(), b.size(), out, err));
    EXPECT_NE(err.find("program 1"), std::string::npos) << err;

    b = good;
    b[156 + 76 + 11] = 'h'; // second record becomes 'FxCh': not a program kind
    EXPECT_FALSE(HostDecodeFxb(b.data(), b.size(), out, err));
    EXPECT_NE(err.find("program 1 of the bank"), std::string::npos) << err;

    b = good;
    std::memcpy(b.data() + 156 + 8, "FPCh", 4); // a chunk record inside a parameter bank
    EXPECT_FALSE(HostDecodeFxb(b.data(), b.size(), out, err));
    EXPECT_NE(err.find("not in parameter form"), std::string::npos) << err;

    b = good;
    b[24] = 0x80; // negative program count
    EXPECT_FALSE(HostDecodeFxb(b.data(), b.size(), out, err));
    EXPECT_NE(err.find("implausible program count"), std::string::npos) << err;

    b = good;
    b[27] = 3; // three programs announced, two present
    EXPECT_FALSE(HostDecodeFxb(b.data(), b.size(), out, err));

    Bytes program = HostEncodeFxp(FiveValueProgram());
    program.resize(200, 0);
    EXPECT_FALSE(HostDecodeFxb(program.data(), program.size(), out, err));
    EXPECT_NE(err.find("program file, not a bank"), std::string::npos) << err;
}

} // namespace
