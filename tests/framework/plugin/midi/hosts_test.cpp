#include "framework/plugin/Hosts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The identification keys in their search order, with the host each one selects.
struct KeyRow {
    const char* key;
    int host;
};
const KeyRow kKeyOrder[] = {
    {"cubase", 3},      {"reaper", 1},      {"nuendo", 4},
    {"cakewalk", 5},    {"samplitude", 8},  {"fruity", 7},
    {"live", 9},        {"melodyne", 12},   {"vstmanlib", 13},
    {"aulab", 14},      {"garageband", 22}, {"forte", 15},
    {"chainer", 16},    {"audition", 17},   {"orion", 18},
    {"sawstudio", 20},  {"logic", 21},      {"digital", 23},
    {"audiomulch", 25}, {"presonus", 26},   {"vst3plugintesthost", 27},
    {"protools", 2},    {"ardour", 28},     {"standalone", 24},
};

TEST(HostLookUp, ProductStrings) {
    EXPECT_EQ(LookUpHost("REAPER"), kHostReaper);
    EXPECT_EQ(LookUpHost("Cubase 7"), kHostCubase);
    EXPECT_EQ(LookUpHost("Live 9"), kHostLive);
    EXPECT_EQ(LookUpHost("DigitalPerformer"), kHostDigitalPerformer);
    EXPECT_EQ(LookUpHost("Cakewalk SONAR X3"), kHostSonar);
    EXPECT_EQ(LookUpHost("Fruity Wrapper"), kHostFLStudio);
    EXPECT_EQ(LookUpHost("PreSonus Studio One"), kHostStudioOne);
    EXPECT_EQ(LookUpHost("ProTools"), kHostProTools);
    EXPECT_EQ(LookUpHost("Pro Tools"), kHostUnknown);
    EXPECT_EQ(LookUpHost("Bitwig Studio"), kHostUnknown);
    EXPECT_EQ(LookUpHost(""), kHostUnknown);
    EXPECT_EQ(LookUpHost(nullptr), kHostUnknown);
    // Substring search: "live" inside another word still matches.
    EXPECT_EQ(LookUpHost("Olive Tree"), kHostLive);
}

TEST(HostLookUp, EveryKeyAloneAndInAnyCase) {
    for (const KeyRow& r : kKeyOrder) {
        std::string upper = r.key;
        for (char& c : upper) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
        EXPECT_EQ(LookUpHost(r.key), r.host) << r.key;
        EXPECT_EQ(LookUpHost(("x " + upper + " 1.0").c_str()), r.host) << upper;
    }
}

// For every pair of keys in one string, the key earlier in the search order decides, whatever the
// position of the two keys in the string.
TEST(HostLookUp, KeyOrderDecidesBetweenTwoKeys) {
    const int n = static_cast<int>(sizeof(kKeyOrder) / sizeof(kKeyOrder[0]));
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            const std::string a = kKeyOrder[i].key, b = kKeyOrder[j].key;
            EXPECT_EQ(LookUpHost((b + " " + a).c_str()), kKeyOrder[i].host) << a << " / " << b;
            EXPECT_EQ(LookUpHost((a + " " + b).c_str()), kKeyOrder[i].host) << a << " / " << b;
        }
    }
    EXPECT_EQ(LookUpHost("reaper with cubase inside"), kHostCubase);
}

TEST(HostLookUp, LongProductStringIsSafe) {
    // Far longer than any host sends; the key lies beyond the first few hundred characters.
    const std::string s = std::string(1000, 'q') + "Ardour";
    EXPECT_EQ(LookUpHost(s.c_str()), kHostArdour);
    EXPECT_EQ(LookUpHost(std::string(5000, 'z').c_str()), kHostUnknown);
}

TEST(HostNames, Table) {
    const char* const expected[29] = {"Unknown",    "Reaper",     "ProTools",   "Cubase",
                                      "Nuendo",     "Sonar",      "Vegas",      "FLStudio",
                                      "Samplitude", "Live",       "Unknown",    "Unknown",
                                      "Unknown",    "VSTScanner", "AULab",      "Forte",
                                      "Chainer",    "Audition",   "Orion",      "Unknown",
                                      "SAWStudio",  "Logic",      "GarageBand", "DigitalPerformer",
                                      "Standalone", "AudioMulch", "StudioOne",  "VST3PluginTestHost",
                                      "Ardour"};
    char name[kMaxHostNameLen];
    for (int h = 0; h < 29; ++h) {
        GetHostNameStr(static_cast<EHost>(h), name);
        EXPECT_STREQ(name, expected[h]) << h;
    }
    for (int h : {-1, 29, 30, 1000, -1000}) {
        GetHostNameStr(static_cast<EHost>(h), name);
        EXPECT_STREQ(name, "Unknown") << h;
    }
    EXPECT_EQ(kMaxHostNameLen, 19);
}

TEST(Versions, PackedForms) {
    int major = -1, minor = -1, patch = -1;
    GetVersionParts(0x10203, &major, &minor, &patch);
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 2);
    EXPECT_EQ(patch, 3);
    EXPECT_EQ(GetDecimalVersion(0x10203), 10203);
    EXPECT_EQ(GetDecimalVersion(0x10000), 10000);
    EXPECT_EQ(GetDecimalVersion(0x0C2A07), 12 * 10000 + 42 * 100 + 7);
    char buf[20];
    GetVersionStr(0x10203, buf);
    EXPECT_STREQ(buf, "v1.2.3");
    GetVersionStr(0, buf);
    EXPECT_STREQ(buf, "v0.0.0");
    // The widest possible text fits the 20 bytes.
    GetVersionStr(-1, buf);
    EXPECT_STREQ(buf, "v65535.255.255");
    GetVersionParts(0x7FFF1234, &major, nullptr, &patch);
    EXPECT_EQ(major, 0x7FFF);
    EXPECT_EQ(patch, 0x34);
}

TEST(CharUtils, ToLowerAndWhitespace) {
    char out[32];
    ToLower(out, "ReAPER 6.0 X64");
    EXPECT_STREQ(out, "reaper 6.0 x64");
    ToLower(out, "");
    EXPECT_STREQ(out, "");

    for (int c = -128; c < 128; ++c) {
        const bool expected = c == 9 || c == 10 || c == 13 || c == 32;
        EXPECT_EQ(IsWhitespace(static_cast<char>(c)), expected) << c;
    }
    EXPECT_FALSE(IsWhitespace('\v'));
    EXPECT_FALSE(IsWhitespace('\f'));
}

} // namespace
