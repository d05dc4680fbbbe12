// tidebloom-host loading CLAP plug-ins, through the executable: Tidebloom.clap described, rendered and
// pictured exactly as tidebloom-host renders and pictures Tidebloom.so (the same settings give the
// same file and the same editor picture, byte for byte), VST 2's program files refused for it, and
// Debian's ZamComp.clap (whose side-chain input port gets silence) rendered with its own parameters.
#include "tests/support/host/HostTestSupport.h"

namespace {

const char* const kZamComp = "/usr/lib/clap/ZamComp.clap";

class HostClap : public ::testing::Test {
protected:
    void SetUp() override { WriteSignal(mDir / "in.wav", FloatSignal(2, 30000)); }
    RunResult Run(const std::vector<std::string>& args) { return RunHost(mDir, args); }
    std::string Bytes(const std::string& name) { return ReadText(mDir / name); }
    TestDir mDir;
};

} // namespace

TEST_F(HostClap, InfoDescribesTheClapPlugin) {
    RunResult r = Run({"info", TIDEBLOOM_CLAP_PATH, "--program", "Arpeggio"});
    ASSERT_EQ(r.status, 0) << r.err;
    const char* lines[] = {"Format        CLAP 1.1.1\n",
                           "Name          Tidebloom\n",
                           "Vendor        vendrilax\n",
                           "ID            com.vendrilax.tidebloom\n",
                           "Version       1.0.0\n",
                           "Features      audio-effect stereo\n",
                           "Inputs        2\n",
                           "Outputs       2\n",
                           "Parameters    6\n",
                           "Latency       1500 samples\n", // Arpeggio's Depth 1
                           "    1  Time         0.433             0.433 (0 to 1, automatable)\n",
                           "    4  OnOff        1                 1 (0 to 1, stepped automatable)\n",
                           "    5  Program      Arpeggio          3 (0 to 5, stepped)\n"};
    for (const char* line : lines) EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
    r = Run({"info", TIDEBLOOM_CLAP_PATH, "--json", "--set", "Vol=1.5"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"id\": \"com.vendrilax.tidebloom\","), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"name\": \"Vol\", \"display\": \"1.500\", \"value\": 1.5,"), std::string::npos)
        << r.out;
}

// The same settings through either plug-in give the same file: programs, values (Depth and OnOff
// mean the same plain and normalised), both precisions, another block size.
TEST_F(HostClap, RendersWhatTheVst2PluginRenders) {
    const std::vector<std::vector<std::string>> settings = {
        {},
        {"--program", "Arpeggio"},
        {"--program", "3", "--set", "Depth=0.5", "--set", "OnOff=0"},
        {"--program", "Funked Swell", "--double"},
        {"--set", "Depth=0.25", "--block", "100", "--no-latency-compensation"},
    };
    for (const auto& s : settings) {
        std::vector<std::string> vst = {"render", TIDEBLOOM_SO,     "-i", mDir / "in.wav",
                                        "-o",     mDir / "vst.wav", "-q"};
        std::vector<std::string> clap = {"render", TIDEBLOOM_CLAP_PATH,    "-i", mDir / "in.wav",
                                         "-o",     mDir / "clap.wav", "-q"};
        vst.insert(vst.end(), s.begin(), s.end());
        clap.insert(clap.end(), s.begin(), s.end());
        RunResult a = Run(vst), b = Run(clap);
        ASSERT_EQ(a.status, 0) << a.err;
        ASSERT_EQ(b.status, 0) << b.err;
        const std::string v = Bytes("vst.wav"), c = Bytes("clap.wav");
        EXPECT_GT(v.size(), 30000u * 2 * 4);
        EXPECT_TRUE(v == c) << (s.empty() ? "defaults" : s[0] + " " + s[1]);
    }
}

TEST_F(HostClap, RefusesWhatOnlyVst2Has) {
    for (const char* option : {"--save-fxp", "--load-fxb"}) {
        RunResult r = Run(
            {"render", TIDEBLOOM_CLAP_PATH, "-i", mDir / "in.wav", "-o", mDir / "out.wav", option, mDir / "x.fx"});
        EXPECT_EQ(r.status, 1) << option;
        EXPECT_NE(
            r.err.find("error: program and bank files (.fxp, .fxb) are for VST 2 plug-ins, not CLAP ones"),
            std::string::npos)
            << r.err;
    }
    for (auto [arg, message] : {std::pair<const char*, const char*>{"Nope=1", "unknown parameter 'Nope'"},
                                {"Vol=loud", "parameter 'Vol' takes no value 'loud' (a value from 0 to 2"}}) {
        RunResult r = Run({"info", TIDEBLOOM_CLAP_PATH, "--set", arg});
        EXPECT_EQ(r.status, 1) << arg;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
    RunResult r = Run({"info", TIDEBLOOM_CLAP_PATH, "--program", "Nope"});
    EXPECT_NE(r.err.find("unknown program 'Nope'"), std::string::npos) << r.err;
}

TEST_F(HostClap, TheEditorLooksAsTheVst2PluginsDoes) {
    RunResult a = Run({"snapshot", TIDEBLOOM_SO, "-o", mDir / "vst.png", "--program", "Arpeggio"});
    RunResult b = Run({"snapshot", TIDEBLOOM_CLAP_PATH, "-o", mDir / "clap.png", "--program", "Arpeggio"});
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(b.out,
              "tidebloom-host: wrote the editor of 'Tidebloom' (555 x 306) to '" + mDir / "clap.png" + "'\n");
    EXPECT_TRUE(Bytes("vst.png") == Bytes("clap.png"));
}

// ZamComp: a mono compressor with a side-chain input port. Well below its threshold it passes the
// signal through unchanged; with a low threshold and a high ratio it takes the level down.
TEST_F(HostClap, RendersDebiansZamComp) {
    ASSERT_TRUE(TestDir::Exists(kZamComp)) << "zam-plugins is not installed (scripts/setup installs it)";
    RunResult r = Run({"info", kZamComp});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("ID            com.zamaudio.ZamComp\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Inputs        1 (2 ports: the first is used, the others get silence)\n"),
              std::string::npos)
        << r.out;
    WriteSignal(mDir / "mono.wav", FloatSignal(1, 30000));
    auto render = [&](const std::string& name, std::vector<std::string> extra) {
        std::vector<std::string> args = {"render", kZamComp,    "-i", mDir / "mono.wav",
                                         "-o",     mDir / name, "-q"};
        args.insert(args.end(), extra.begin(), extra.end());
        RunResult rr = Run(args);
        EXPECT_EQ(rr.status, 0) << rr.err;
        EXPECT_EQ(rr.err, "");
        return ReadSignal(mDir / name);
    };
    const HostAudio in = ReadSignal(mDir / "mono.wav");
    const HostAudio plain = render("plain.wav", {"--set", "Threshold=0"});
    const HostAudio squeezed = render("squeezed.wav", {"--set", "Threshold=-40", "--set", "Ratio=20"});
    ASSERT_EQ(plain.NumFrames(), 30000);
    ASSERT_EQ(squeezed.NumFrames(), 30000);
    double inEnergy = 0, plainEnergy = 0, squeezedEnergy = 0;
    for (int k = 0; k < 30000; ++k) {
        inEnergy += in.channels[0][k] * in.channels[0][k];
        plainEnergy += plain.channels[0][k] * plain.channels[0][k];
        squeezedEnergy += squeezed.channels[0][k] * squeezed.channels[0][k];
    }
    EXPECT_NEAR(plainEnergy / inEnergy, 1.0, 1e-3);
    EXPECT_LT(squeezedEnergy, 0.25 * inEnergy);
}
