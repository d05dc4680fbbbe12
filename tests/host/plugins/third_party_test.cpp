// The host against plug-ins nobody here wrote: two of Debian's LSP plug-ins.
#include "host/HostPresets.h"
#include "host/HostRender.h"
#include "tests/host/plugins/HostTestSupport.h"

namespace {

const char* const kDelay = "/usr/lib/vst/lsp-plugins/comp-delay-stereo.so";
const char* const kLimiter = "/usr/lib/vst/lsp-plugins/limiter-mono.so";

class ThirdParty : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TestDir::Exists(kDelay) || !TestDir::Exists(kLimiter))
            GTEST_SKIP() << "lsp-plugins-vst is not installed (scripts/setup installs it)";
    }
    TestDir mDir;
};

TEST_F(ThirdParty, InfoDescribesBoth) {
    for (const char* plugin : {kDelay, kLimiter}) {
        RunResult r = RunHost(mDir, {"info", plugin});
        EXPECT_EQ(r.status, 0) << plugin << ": " << r.err;
        EXPECT_NE(r.out.find("VST version   2400\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("ProgramChunks"), std::string::npos) << r.out;
        r = RunHost(mDir, {"info", plugin, "--json"});
        EXPECT_EQ(r.status, 0) << r.err;
        bool mono = plugin == kLimiter;
        EXPECT_NE(r.out.find(mono ? "\"numInputs\": 1," : "\"numInputs\": 2,"), std::string::npos) << r.out;
    }
}

TEST_F(ThirdParty, DelayPassesAudioThroughUnchanged) {
    WriteSignal(mDir / "in.wav", FloatSignal(2, 5000));
    RunResult r =
        RunHost(mDir, {"render", kDelay, "-i", mDir / "in.wav", "-o", mDir / "out.wav", "--block", "256"});
    ASSERT_EQ(r.status, 0) << r.err;
    HostAudio in = ReadSignal(mDir / "in.wav"), out = ReadSignal(mDir / "out.wav");
    ASSERT_EQ(out.NumChannels(), 2);
    ASSERT_EQ(out.NumFrames(), 5000);
    // No delay and unity gain by default: the signal comes out as it went in.
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < 5000; ++k)
            ASSERT_NEAR(out.channels[c][k], in.channels[c][k], 1e-6) << c << " " << k;
}

TEST_F(ThirdParty, LimiterLatencyIsCompensated) {
    // The limiter's look-ahead is reported once it has processed; a stereo file is mixed to its one input.
    HostAudio input;
    input.sampleRate = 44100;
    input.channels = FloatSignal(2, 20000);
    std::vector<std::vector<double>> outs[2];
    int latency[2] = {0, 0};
    for (int comp = 0; comp < 2; ++comp) {
        std::string err;
        auto p = HostPlugin::Load(kLimiter, err);
        ASSERT_TRUE(p) << err;
        HostChannelPlan plan;
        ASSERT_TRUE(HostPlanChannels(2, 1, 1, false, 0, plan, err)) << err;
        HostRenderOptions o;
        o.compensateLatency = comp == 1;
        ASSERT_TRUE(HostPrepareRender(*p, 44100, o, plan, err)) << err;
        HostMemorySink sink(1);
        HostRenderResult result;
        ASSERT_TRUE(HostRender(*p, input, sink, o, plan, result, err)) << err;
        EXPECT_FALSE(result.latencyChanged);
        latency[comp] = result.latency;
        outs[comp] = sink.Channels();
        ASSERT_EQ(outs[comp][0].size(), 20000u);
    }
    ASSERT_GT(latency[0], 0);
    ASSERT_EQ(latency[0], latency[1]);
    const int L = latency[0];
    double energy = 0.0;
    for (int k = 0; k + L < 20000; ++k) {
        ASSERT_EQ(outs[1][0][k], outs[0][0][k + L]) << k;
        energy += outs[1][0][k] * outs[1][0][k];
    }
    EXPECT_GT(energy, 1.0); // the limiter let the signal through
}

TEST_F(ThirdParty, ChunkProgramFilesRoundTrip) {
    std::string err;
    {
        auto p = HostPlugin::Load(kDelay, err);
        ASSERT_TRUE(p) << err;
        ASSERT_TRUE(HostApplyAssignment(*p, "samp=0.5", err)) << err;
        ASSERT_TRUE(HostSaveProgramFile(*p, mDir / "delay.fxp", err)) << err;
        ASSERT_TRUE(HostSaveBankFile(*p, mDir / "delay.fxb", err)) << err;
    }
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(HostReadWholeFile(mDir / "delay.fxp", 1 << 24, bytes, err));
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "FPCh");
    for (const char* file : {"delay.fxp", "delay.fxb"}) {
        auto q = HostPlugin::Load(kDelay, err);
        ASSERT_TRUE(q) << err;
        float before = q->GetParameter(3);
        bool ok = std::string(file) == "delay.fxp" ? HostLoadProgramFile(*q, mDir / file, err)
                                                   : HostLoadBankFile(*q, mDir / file, err);
        ASSERT_TRUE(ok) << err;
        EXPECT_NE(q->GetParameter(3), before) << file;
        EXPECT_NEAR(q->GetParameter(3), 0.5f, 1e-6) << file;
    }
}

} // namespace
