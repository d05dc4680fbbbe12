// The host against plug-ins nobody here wrote: two of Debian's LSP plug-ins, through the executable.
// The LSP plug-ins leave some allocations behind at exit, so the leak checker of sanitized builds is
// switched off for these child processes (the host's own code is leak-checked by the other tests).
#include "tests/support/host/HostTestSupport.h"

#include <cstdlib>

namespace {

const char* const kDelay = "/usr/lib/vst/lsp-plugins/comp-delay-stereo.so";
const char* const kLimiter = "/usr/lib/vst/lsp-plugins/limiter-mono.so";
const char* const kNoLeakCheck = "export ASAN_OPTIONS=detect_leaks=0; ";

class ThirdParty : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TestDir::Exists(kDelay) || !TestDir::Exists(kLimiter))
            GTEST_SKIP() << "lsp-plugins-vst is not installed (scripts/setup installs it)";
        WriteSignal(mDir / "in.wav", FloatSignal(2, 20000));
    }
    RunResult Run(const std::vector<std::string>& args) { return RunHost(mDir, args, kNoLeakCheck); }
    // Renders in.wav through plugin into name with extra options; returns the reported latency.
    int Render(const char* plugin, const std::string& name, std::vector<std::string> extra) {
        std::vector<std::string> args = {"render", plugin, "-i", mDir / "in.wav", "-o", mDir / name};
        args.insert(args.end(), extra.begin(), extra.end());
        RunResult r = Run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        size_t at = r.out.find(", latency ");
        EXPECT_NE(at, std::string::npos) << r.out;
        return at == std::string::npos ? -1 : std::atoi(r.out.c_str() + at + 10);
    }
    TestDir mDir;
};

TEST_F(ThirdParty, InfoDescribesBoth) {
    for (const char* plugin : {kDelay, kLimiter}) {
        RunResult r = Run({"info", plugin});
        EXPECT_EQ(r.status, 0) << plugin << ": " << r.err;
        EXPECT_NE(r.out.find("VST version   2400\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("ProgramChunks"), std::string::npos) << r.out;
        r = Run({"info", plugin, "--json"});
        EXPECT_EQ(r.status, 0) << r.err;
        bool mono = plugin == kLimiter;
        EXPECT_NE(r.out.find(mono ? "\"numInputs\": 1," : "\"numInputs\": 2,"), std::string::npos) << r.out;
    }
}

TEST_F(ThirdParty, DelayPassesAudioThroughUnchanged) {
    EXPECT_EQ(Render(kDelay, "out.wav", {"--block", "256"}), 0);
    HostAudio in = ReadSignal(mDir / "in.wav"), out = ReadSignal(mDir / "out.wav");
    ASSERT_EQ(out.NumChannels(), 2);
    ASSERT_EQ(out.NumFrames(), 20000);
    // No delay and unity gain by default: the signal comes out as it went in.
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < 20000; ++k)
            ASSERT_NEAR(out.channels[c][k], in.channels[c][k], 1e-6) << c << " " << k;
}

TEST_F(ThirdParty, LimiterLatencyIsCompensated) {
    // The limiter's look-ahead is reported once it has processed; the stereo file is mixed to its one input.
    const int late = Render(kLimiter, "late.wav", {"--no-latency-compensation"});
    const int aligned = Render(kLimiter, "aligned.wav", {});
    ASSERT_GT(late, 0);
    ASSERT_EQ(late, aligned);
    HostAudio a = ReadSignal(mDir / "late.wav"), b = ReadSignal(mDir / "aligned.wav");
    ASSERT_EQ(a.NumChannels(), 1);
    ASSERT_EQ(a.NumFrames(), 20000);
    ASSERT_EQ(b.NumFrames(), 20000);
    double energy = 0.0;
    for (int k = 0; k + late < 20000; ++k) {
        ASSERT_EQ(b.channels[0][k], a.channels[0][k + late]) << k;
        energy += b.channels[0][k] * b.channels[0][k];
    }
    EXPECT_GT(energy, 1.0); // the limiter let the signal through
}

TEST_F(ThirdParty, ChunkProgramAndBankFilesRoundTrip) {
    // A delay of some samples, saved as program and bank; loading either gives the same output.
    Render(kDelay, "set.wav",
           {"--set", "samp=0.01", "--save-fxp", mDir / "d.fxp", "--save-fxb", mDir / "d.fxb"});
    std::vector<uint8_t> bytes;
    std::string err;
    ASSERT_TRUE(HostReadWholeFile(mDir / "d.fxp", 1 << 24, bytes, err)) << err;
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "FPCh");
    HostAudio in = ReadSignal(mDir / "in.wav"), set = ReadSignal(mDir / "set.wav");
    EXPECT_NE(set.channels, in.channels);
    Render(kDelay, "fxp.wav", {"--load-fxp", mDir / "d.fxp"});
    Render(kDelay, "fxb.wav", {"--load-fxb", mDir / "d.fxb"});
    EXPECT_EQ(ReadSignal(mDir / "fxp.wav").channels, set.channels);
    EXPECT_EQ(ReadSignal(mDir / "fxb.wav").channels, set.channels);
}

} // namespace
