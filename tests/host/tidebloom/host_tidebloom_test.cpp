// tidebloom-host against Tidebloom.so: what `info` reports, and renders that must equal, sample
// for sample, the plug-in driven directly in this process (the reference).
#include "host/HostAudioFile.h"
#include "host/HostFile.h"
#include "tests/support/TestDir.h"

#include <gtest/gtest.h>

#include "framework/vst2/VstAbi.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <functional>
#include <sndfile.h>
#include <sys/wait.h>

namespace {

struct RunResult {
    int status = -1;
    std::string out, err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

RunResult RunHost(const TestDir& dir, const std::vector<std::string>& args) {
    std::string cmd = Quote(HOST_EXE);
    for (const auto& a : args) {
        cmd += ' ';
        cmd += Quote(a);
    }
    cmd += " >";
    cmd += Quote(dir / ".out");
    cmd += " 2>";
    cmd += Quote(dir / ".err");
    cmd += " </dev/null";
    int raw = std::system(cmd.c_str());
    RunResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = Slurp(dir / ".out");
    r.err = Slurp(dir / ".err");
    std::remove((dir / ".out").c_str());
    std::remove((dir / ".err").c_str());
    return r;
}

intptr_t QuietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

// Tidebloom.so loaded straight into this process and driven like a host would, without any of the
// host's code: the reference every render is compared with.
class Reference {
public:
    Reference() {
        mLib = dlopen(TIDEBLOOM_SO, RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(mLib, nullptr) << dlerror();
        auto entry = reinterpret_cast<VstPluginEntryProc>(mLib ? dlsym(mLib, "VSTPluginMain") : nullptr);
        EXPECT_NE(entry, nullptr);
        mEffect = entry ? entry(&QuietHost) : nullptr;
        EXPECT_NE(mEffect, nullptr);
        if (mEffect) Dispatch(effOpen);
    }
    ~Reference() {
        if (mEffect) Dispatch(effClose);
        if (mLib) dlclose(mLib);
    }
    intptr_t Dispatch(int32_t op, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0) {
        return mEffect->dispatcher(mEffect, op, index, value, ptr, opt);
    }
    AEffect* Effect() { return mEffect; }

    // Renders input (two channels) in blocks; with compensation the first latency frames are dropped
    // and as many more are rendered at the end.
    std::vector<std::vector<double>> Render(const std::vector<std::vector<double>>& input, int block,
                                            bool dbl, bool compensate,
                                            const std::function<void(Reference&)>& setup) {
        Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
        Dispatch(effSetBlockSize, 0, block);
        if (setup) setup(*this);
        Dispatch(effMainsChanged, 0, 1);
        const int latency = compensate ? mEffect->initialDelay : 0;
        const size_t frames = input[0].size(), total = frames + static_cast<size_t>(latency);
        std::vector<std::vector<double>> out(2);
        std::vector<double> inD[2], outD[2];
        std::vector<float> inF[2], outF[2];
        for (size_t pos = 0; pos < total; pos += static_cast<size_t>(block)) {
            const int n = static_cast<int>(std::min<size_t>(static_cast<size_t>(block), total - pos));
            for (int c = 0; c < 2; ++c) {
                inD[c].assign(static_cast<size_t>(n), 0.0);
                for (int k = 0; k < n && pos + static_cast<size_t>(k) < frames; ++k)
                    inD[c][k] = input[c][pos + k];
                inF[c].assign(inD[c].begin(), inD[c].end());
                outD[c].assign(static_cast<size_t>(n), 0.0);
                outF[c].assign(static_cast<size_t>(n), 0.0f);
            }
            if (dbl) {
                double* in[2] = {inD[0].data(), inD[1].data()};
                double* o[2] = {outD[0].data(), outD[1].data()};
                mEffect->processDoubleReplacing(mEffect, in, o, n);
            } else {
                float* in[2] = {inF[0].data(), inF[1].data()};
                float* o[2] = {outF[0].data(), outF[1].data()};
                mEffect->processReplacing(mEffect, in, o, n);
                for (int c = 0; c < 2; ++c) outD[c].assign(outF[c].begin(), outF[c].end());
            }
            for (int c = 0; c < 2; ++c)
                for (int k = 0; k < n; ++k)
                    if (pos + static_cast<size_t>(k) >= static_cast<size_t>(latency))
                        out[c].push_back(outD[c][k]);
        }
        Dispatch(effMainsChanged, 0, 0);
        return out;
    }

private:
    void* mLib = nullptr;
    AEffect* mEffect = nullptr;
};

class HostTidebloom : public ::testing::Test {
protected:
    void SetUp() override {
        mIn = mDir / "phrase.wav";
        RunResult r = RunHost(mDir, {"phrase", "-o", mIn, "--seconds", "3"});
        ASSERT_EQ(r.status, 0) << r.err;
        std::string err;
        ASSERT_TRUE(HostReadAudio(mIn, mInput, err)) << err;
    }
    HostAudio Output(const std::string& path) {
        HostAudio a;
        std::string err;
        EXPECT_TRUE(HostReadAudio(path, a, err)) << err;
        return a;
    }
    // Renders through the executable and checks the file against the reference.
    void ExpectMatchesReference(std::vector<std::string> options, bool dbl, bool compensate,
                                const std::function<void(Reference&)>& setup, int expectedLatency) {
        std::string out = mDir / "out.wav";
        std::vector<std::string> args = {"render",
                                         TIDEBLOOM_SO,
                                         "-i",
                                         mIn,
                                         "-o",
                                         out,
                                         "--block",
                                         "512",
                                         "--sample-format",
                                         dbl ? "double" : "float"};
        if (dbl) args.push_back("--double");
        if (!compensate) args.push_back("--no-latency-compensation");
        args.insert(args.end(), options.begin(), options.end());
        RunResult r = RunHost(mDir, args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("latency " + std::to_string(expectedLatency) + " samples (" +
                             (compensate ? "compensated)" : "not compensated)")),
                  std::string::npos)
            << r.out;
        Reference ref;
        auto expected = ref.Render(mInput.channels, 512, dbl, compensate, setup);
        HostAudio got = Output(out);
        ASSERT_EQ(got.NumChannels(), 2);
        ASSERT_EQ(got.NumFrames(), mInput.NumFrames());
        ASSERT_EQ(expected[0].size(), static_cast<size_t>(mInput.NumFrames()));
        double energy = 0.0;
        for (int c = 0; c < 2; ++c)
            for (size_t k = 0; k < expected[c].size(); ++k) {
                ASSERT_EQ(got.channels[c][k], expected[c][k]) << c << " " << k;
                energy += expected[c][k] * expected[c][k];
            }
        EXPECT_GT(energy, 100.0); // the comparison was not between two silences
    }

    TestDir mDir;
    std::string mIn;
    HostAudio mInput;
};

TEST_F(HostTidebloom, InfoReportsTheEffect) {
    RunResult r = RunHost(mDir, {"info", TIDEBLOOM_SO});
    ASSERT_EQ(r.status, 0) << r.err;
    const char* const lines[] = {
        "Name          Tidebloom\n",
        "Vendor        vendrilax\n",
        "Version       10000 (vendor version 0)\n",
        "Unique ID     'Tblm' (0x54626C6D)\n",
        "VST version   2400\n",
        "Category      effect (1)\n",
        "Inputs        2\n",
        "Outputs       2\n",
        "Parameters    5\n",
        "Programs      6 (current 0)\n",
        "Latency       1362 samples\n",
        "Flags         0x1019 (",
        "Editor        555 x 306\n",
        "    0  Sensitivity",
        "    2  Depth",
        "    4  OnOff",
        "    0  Init\n",
        "    3  Arpeggio\n",
        "    5  Before Overdrive\n",
        "  receiveVstTimeInfo   yes (1)\n",
        "  receiveVstMidiEvent  - (0)\n",
    };
    for (const char* line : lines) EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;

    r = RunHost(mDir, {"info", TIDEBLOOM_SO, "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"uniqueID\": 1415736429,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"latency\": 1362,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("{\"index\": 3, \"name\": \"Vol\", \"label\": \"\", \"display\": "),
              std::string::npos)
        << r.out;
    // The flags hosts rely on: the editor (effFlagsHasEditor) of 555 x 306, replacing, double
    // replacing, mono; no program chunks.
    size_t at = r.out.find("\"flags\": ");
    ASSERT_NE(at, std::string::npos);
    const int flags = std::atoi(r.out.c_str() + at + 9);
    EXPECT_EQ(flags, effFlagsHasEditor | effFlagsCanMono | effFlagsCanReplacing | effFlagsCanDoubleReplacing);
    EXPECT_NE(r.out.find("\"editor\": {\"width\": 555, \"height\": 306},"), std::string::npos) << r.out;
}

TEST_F(HostTidebloom, RendersEqualTheReferenceWithAndWithoutCompensation) {
    for (bool dbl : {false, true})
        for (bool compensate : {true, false}) {
            SCOPED_TRACE(std::string(dbl ? "double" : "float") + (compensate ? " compensated" : ""));
            ExpectMatchesReference({}, dbl, compensate, nullptr, 1362);
        }
}

TEST_F(HostTidebloom, ProgramAndParameterSelection) {
    ExpectMatchesReference(
        {"--program", "Arpeggio"}, false, true, [](Reference& r) { r.Dispatch(effSetProgram, 0, 3); }, 1500);
    ExpectMatchesReference(
        {"--program", "2", "--set", "Depth=0.5", "--set", "Vol=0.25"}, false, true,
        [](Reference& r) {
            r.Dispatch(effSetProgram, 0, 2);
            r.Effect()->setParameter(r.Effect(), 2, 0.5f);
            r.Effect()->setParameter(r.Effect(), 3, 0.25f);
        },
        1190);
    // Switched off, the effect passes the input through untouched and reports no latency.
    RunResult r = RunHost(
        mDir, {"render", TIDEBLOOM_SO, "-i", mIn, "-o", mDir / "off.wav", "--set", "OnOff=0", "--double"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("latency 0 samples"), std::string::npos) << r.out;
    EXPECT_EQ(Output(mDir / "off.wav").channels, mInput.channels);
}

TEST_F(HostTidebloom, ProgramAndBankFilesRoundTrip) {
    RunResult r =
        RunHost(mDir, {"render", TIDEBLOOM_SO, "-i", mIn, "-o", mDir / "a.wav", "--set", "Depth=0.5", "--set",
                       "Vol=0.25", "--save-fxp", mDir / "s.fxp", "--save-fxb", mDir / "s.fxb"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<uint8_t> fxp, fxb;
    std::string err;
    ASSERT_TRUE(HostReadWholeFile(mDir / "s.fxp", 1 << 20, fxp, err));
    ASSERT_TRUE(HostReadWholeFile(mDir / "s.fxb", 1 << 20, fxb, err));
    ASSERT_EQ(fxp.size(), 76u);
    ASSERT_EQ(fxb.size(), 612u);
    EXPECT_EQ(std::string(fxp.begin() + 28, fxp.begin() + 33), std::string("Init\0", 5));
    const uint8_t depth[4] = {0x3F, 0x00, 0x00, 0x00}, vol[4] = {0x3E, 0x80, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(fxp.data() + 64, depth, 4), 0);
    EXPECT_EQ(std::memcmp(fxp.data() + 68, vol, 4), 0);
    EXPECT_EQ(std::string(fxb.begin() + 156 + 28, fxb.begin() + 156 + 33), std::string("Init\0", 5));
    EXPECT_EQ(std::memcmp(fxb.data() + 156 + 64, depth, 4), 0); // the edited program is stored in the bank
    EXPECT_EQ(std::string(fxb.begin() + 156 + 3 * 76 + 28, fxb.begin() + 156 + 3 * 76 + 36), "Arpeggio");

    const HostAudio first = Output(mDir / "a.wav");
    for (const char* option : {"--load-fxp", "--load-fxb"}) {
        std::string file = mDir / (std::string(option) == "--load-fxp" ? "s.fxp" : "s.fxb");
        r = RunHost(mDir, {"render", TIDEBLOOM_SO, "-i", mIn, "-o", mDir / "b.wav", option, file});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("latency 1190 samples"), std::string::npos) << r.out;
        EXPECT_EQ(Output(mDir / "b.wav").channels, first.channels) << option;
    }
}

} // namespace
