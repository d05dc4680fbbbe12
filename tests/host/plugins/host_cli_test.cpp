// The tidebloom-host executable end to end: commands, summaries and every bad-input case, each of
// which must end with one error line, a non-zero status and no output file left behind.
#include "host/HostText.h"
#include "tests/support/host/HostTestSupport.h"

#include "framework/raster/raster.h"
#include "host/HostPlot.h"

namespace {

class HostCli : public ::testing::Test {
protected:
    void SetUp() override {
        mIn = mDir / "in.wav";
        WriteSignal(mIn, FloatSignal(2, 4000));
        WriteSignal(mDir / "mono.wav", FloatSignal(1, 1000));
    }
    // Runs a command that must fail; checks the message and that only the inputs remain.
    void ExpectFailure(const std::vector<std::string>& args, const std::string& message, int status = 1,
                       const std::string& prefix = "") {
        std::vector<std::string> before = mDir.Entries();
        RunResult r = RunHost(mDir, args, prefix);
        EXPECT_EQ(r.status, status) << r.err;
        EXPECT_EQ(r.ErrLines(), 1) << r.err;
        EXPECT_EQ(r.err.rfind("tidebloom-host: error: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(mDir.Entries(), before) << r.err; // no output, no temporary
    }
    std::vector<std::string> Render(std::vector<std::string> extra) {
        std::vector<std::string> a = {"render", FakePath("fake_gain"), "-i", mIn, "-o", mDir / "out.wav"};
        a.insert(a.end(), extra.begin(), extra.end());
        return a;
    }

    TestDir mDir;
    std::string mIn;
};

TEST_F(HostCli, InfoAsTextAndJson) {
    RunResult r = RunHost(mDir, {"info", FakePath("fake_gain")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("Name          Fake Gain\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Latency       0 samples\n"), std::string::npos) << r.out;
    r = RunHost(mDir, {"info", FakePath("fake_gain"), "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("{\n  \"path\": ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\"name\": \"Fake Gain\",\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"numPrograms\": 3,\n"), std::string::npos) << r.out;
}

TEST_F(HostCli, RenderWritesTheFileAndOneSummaryLine) {
    RunResult r =
        RunHost(mDir, Render({"--program", "Loud Clip", "--set", "Mode=Soft", "--set", "Latency=0", "--block",
                              "300", "--save-fxp", mDir / "s.fxp", "--save-fxb", mDir / "s.fxb"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, ""); // no progress bar when stderr is not a terminal
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
    EXPECT_NE(r.out.find("through Fake Gain (program 'Loud Clip'): 4000 frames at 44100 Hz, 2 -> 2 channels, "
                         "single precision, latency 0 samples (compensated)"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("x real time\n"), std::string::npos) << r.out;
    HostAudio in = ReadSignal(mIn), out = ReadSignal(mDir / "out.wav");
    EXPECT_EQ(out.subtype, SF_FORMAT_FLOAT); // the input's sample format
    ASSERT_EQ(out.NumFrames(), 4000);
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < 4000; ++k) ASSERT_EQ(out.channels[c][k], 2.0 * in.channels[c][k]);

    // The saved program and bank bring the same settings back on a fresh instance.
    for (const char* option : {"--load-fxp", "--load-fxb"}) {
        std::string file = mDir / (option == std::string("--load-fxp") ? "s.fxp" : "s.fxb");
        r = RunHost(mDir,
                    {"render", FakePath("fake_gain"), "-i", mIn, "-o", mDir / "again.wav", option, file});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(ReadSignal(mDir / "again.wav").channels, out.channels) << option;
    }
}

TEST_F(HostCli, RenderOptionsReachTheOutput) {
    RunResult r =
        RunHost(mDir, Render({"--set", "Latency=0.01", "--no-latency-compensation", "--tail", "0.001",
                              "--double", "--channels", "1", "--sample-format", "pcm24", "-q"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, ""); // quiet
    HostAudio in = ReadSignal(mIn), out = ReadSignal(mDir / "out.wav");
    EXPECT_EQ(out.subtype, SF_FORMAT_PCM_24);
    ASSERT_EQ(out.NumChannels(), 1);
    ASSERT_EQ(out.NumFrames(), 4000 + 44); // 1 ms tail at 44.1 kHz
    for (int k = 0; k < 10; ++k) EXPECT_EQ(out.channels[0][k], 0.0);
    for (int k = 10; k < 4000; ++k) ASSERT_NEAR(out.channels[0][k], in.channels[0][k - 10], 1.0 / (1 << 23));

    // Narrowed to one input the plug-in works mono: a mono file, or its output in every channel asked for.
    for (const char* channels : {"", "2"}) {
        std::vector<std::string> args = {"render", FakePath("fake_gain"), "-i",          mDir / "mono.wav",
                                         "-o",     mDir / "m.wav",        "--mono-input"};
        if (*channels) args.insert(args.end(), {"--channels", channels});
        r = RunHost(mDir, args);
        ASSERT_EQ(r.status, 0) << r.err;
        const int n = *channels ? 2 : 1;
        EXPECT_NE(r.out.find(HostFormat("1 -> %d channels", n)), std::string::npos) << r.out;
        HostAudio m = ReadSignal(mDir / "m.wav"), dry = ReadSignal(mDir / "mono.wav");
        ASSERT_EQ(m.NumChannels(), n);
        for (const auto& ch : m.channels) EXPECT_EQ(ch, dry.channels[0]);
    }
}

TEST_F(HostCli, PhraseCommand) {
    RunResult r = RunHost(mDir, {"phrase", "-o", mDir / "p.wav", "--seconds", "0.5"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("wrote the demo phrase to"), std::string::npos);
    HostAudio p = ReadSignal(mDir / "p.wav");
    EXPECT_EQ(p.NumChannels(), 2);
    EXPECT_EQ(p.NumFrames(), 22050);
    EXPECT_EQ(p.subtype, SF_FORMAT_PCM_24);
    // Containers that cannot hold 24-bit samples take their own usual format.
    r = RunHost(mDir, {"phrase", "-o", mDir / "p.ogg", "--seconds", "0.5"});
    ASSERT_EQ(r.status, 0) << r.err;
    HostAudio v = ReadSignal(mDir / "p.ogg");
    EXPECT_EQ(v.NumChannels(), 2);
    EXPECT_EQ(v.NumFrames(), 22050);
    EXPECT_EQ(v.subtype, SF_FORMAT_VORBIS);
}

TEST_F(HostCli, BadInputIsRefusedCleanly) {
    std::ofstream(mDir / "text.so") << "plain text";
    std::ofstream(mDir / "text.wav") << "plain text, not audio";
    std::ofstream(mDir / "junk.fxp") << "CcnK";
    const std::string g = FakePath("fake_gain");
    const std::string out = mDir / "out.wav";
    ExpectFailure({"render", g, "-i", mDir / "nothing.wav", "-o", out}, "cannot open '");
    ExpectFailure({"render", g, "-i", mDir / "text.wav", "-o", out}, "as audio");
    ExpectFailure({"render", mDir / "none.so", "-i", mIn, "-o", out}, "cannot open plug-in");
    ExpectFailure({"info", mDir / "text.so"}, "is not a plug-in (not a shared library)");
    ExpectFailure({"info", FakePath("no_entry")}, "no VSTPluginMain or main entry function");
    ExpectFailure({"info", FakePath("null_entry")}, "returned no effect");
    ExpectFailure({"info", FakePath("bad_magic")}, "without the VST magic");
    ExpectFailure(Render({"--set", "Depth=0.5"}), "unknown parameter 'Depth'");
    ExpectFailure(Render({"--program", "Arpeggio"}), "unknown program 'Arpeggio'");
    ExpectFailure(Render({"--program", "9"}), "unknown program 9");
    ExpectFailure(Render({"--set", "Gain=2"}), "value 2 for parameter 'Gain' is out of range");
    ExpectFailure(Render({"--block", "2048", "--max-block", "1024"}), "above the announced largest block", 2);
    ExpectFailure(Render({"--block", "0"}), "--block takes a whole number", 2);
    ExpectFailure({"render", g, "-i", mIn, "-o", mDir / "no/dir/out.wav"}, "cannot write");
    ExpectFailure({"render", g, "-i", mIn, "-o", mDir / "out.mp3"}, "cannot tell the audio format");
    ExpectFailure(Render({"--mono-input"}), "needs a mono input file");
    ExpectFailure(Render({"--load-fxp", mDir / "junk.fxp"}), "cannot load program");
    ExpectFailure(Render({"--load-fxb", mDir / "none.fxb"}), "cannot open");
    ExpectFailure(Render({"--save-fxp", mDir / "no/dir/x.fxp"}), "cannot write");
    ExpectFailure(Render({"--channels", "3"}), "3 output channels asked for");
    ExpectFailure(Render({"--plot", mDir / "no/dir/plot.png"}), "cannot write '");
    ExpectFailure(Render({"--plot="}), "--plot needs a file name", 2);
    ExpectFailure({"frobnicate"}, "unknown command", 2);
}

// The plot of a render through the fake gain at 0.5 with a compensated latency: the gain drawn at the
// row of 0.5 across the processed panel.
TEST_F(HostCli, RenderDrawsAPlot) {
    RunResult r =
        RunHost(mDir, Render({"--set", "Gain=0.25", "--set", "Latency=0.3", "--plot", mDir / "p.png"}));
    ASSERT_EQ(r.status, 0) << r.err;
    std::unique_ptr<Raster_IBitmap> png(Raster_LoadPNG((mDir / "p.png").c_str(), nullptr));
    ASSERT_NE(png, nullptr);
    ASSERT_EQ(png->getWidth(), HostPlot::kDefaultWidth);
    ASSERT_EQ(png->getHeight(), HostPlot::kDefaultHeight);
    const HostPlotRect p = HostPlot(44100, 4000).ProcessedPanel();
    const int row = p.b - 1 - static_cast<int>(std::lround(0.5 * (p.Height() - 1)));
    const uint32_t gain = Raster_GetPixel(png.get(), p.r + 1, row); // the axis mark of 0.5
    int onRow = 0;
    for (int x = p.l + 20; x < p.r - 20; ++x) onRow += Raster_GetPixel(png.get(), x, row) == gain;
    EXPECT_EQ(onRow, p.Width() - 40);
}

TEST_F(HostCli, AFailedWriteLeavesTheOldOutputAlone) {
    WriteSignal(mDir / "big.wav", FloatSignal(2, 200000));
    std::ofstream(mDir / "out.wav") << "old result";
    // The file size limit makes writing fail part of the way through the render.
    ExpectFailure({"render", FakePath("fake_gain"), "-i", mDir / "big.wav", "-o", mDir / "out.wav"},
                  "cannot write", 1, "ulimit -f 200; trap '' XFSZ; ");
    EXPECT_EQ(ReadText(mDir / "out.wav"), "old result");
}

} // namespace
