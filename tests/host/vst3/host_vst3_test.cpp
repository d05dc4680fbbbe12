// tidebloom-host loading VST 3 plug-ins, through the executable: Tidebloom.vst3 described, rendered and
// pictured exactly as tidebloom-host renders and pictures Tidebloom.so (the same settings give the same
// file and the same editor picture, byte for byte); Debian's ZamComp.vst3 (a controller of its own,
// a side-chain bus) described and rendered as its CLAP build renders the same settings; broken bundles,
// broken modules (the fakes, opened as module files) and settings the plug-in refuses end with one line.
#include "tests/support/host/HostTestSupport.h"

#include <filesystem>

namespace {

const std::string kBundle = std::string(TIDEBLOOM_VST3_DIR) + "/Tidebloom.vst3";
const char* const kZamComp = "/usr/lib/vst3/ZamComp.vst3";
const char* const kZamCompClap = "/usr/lib/clap/ZamComp.clap";

class HostVst3 : public ::testing::Test {
protected:
    void SetUp() override {
        RunResult r = Run({"phrase", "-o", mDir / "phrase.wav", "-q"});
        ASSERT_EQ(r.status, 0) << r.err;
        WriteSignal(mDir / "mono.wav", FloatSignal(1, 30000));
    }
    RunResult Run(const std::vector<std::string>& args) { return RunHost(mDir, args); }
    std::string Bytes(const std::string& name) { return ReadText(mDir / name); }
    // Renders input through plugin with the settings into name; its bytes.
    std::string Render(const std::string& plugin, const std::string& input, const std::string& name,
                       const std::vector<std::string>& settings) {
        std::vector<std::string> args = {"render", plugin, "-i", mDir / input, "-o", mDir / name, "-q"};
        args.insert(args.end(), settings.begin(), settings.end());
        RunResult r = Run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        return Bytes(name);
    }
    void ExpectLines(const std::string& text, const std::vector<std::string>& lines) {
        for (const std::string& line : lines) EXPECT_NE(text.find(line), std::string::npos) << line << text;
    }
    TestDir mDir;
};

bool HaveZamComp() {
    return TestDir::Exists(kZamComp) && TestDir::Exists(kZamCompClap);
}

} // namespace

// The same settings through either plug-in give the same file. Values are ones a VST 2 host's single
// precision carries exactly (Depth 0.3 is not 0.3 in a float, and the VST 2 render differs).
TEST_F(HostVst3, RendersWhatTheVst2PluginRenders) {
    struct Case {
        const char* plugin;
        const char* input;
        std::vector<std::string> settings;
    };
    const std::string module = TIDEBLOOM_VST3_SO;
    const Case cases[] = {
        {kBundle.c_str(), "phrase.wav", {}},
        {kBundle.c_str(), "phrase.wav", {"--program", "Arpeggio"}},
        {kBundle.c_str(), "phrase.wav", {"--set", "OnOff=0"}},
        {kBundle.c_str(), "phrase.wav", {"--program", "3", "--set", "Depth=0.5", "--double"}},
        {kBundle.c_str(),
         "phrase.wav",
         {"--program", "funked swell", "--set", "Time=0.625", "--block", "100"}},
        {kBundle.c_str(), "phrase.wav", {"--set", "Depth=0.25", "--no-latency-compensation"}},
        {kBundle.c_str(), "mono.wav", {"--mono-input", "--channels", "2"}},
        {module.c_str(),
         "phrase.wav",
         {"--set", "Sensitivity=0.875", "--max-block", "4096", "--block", "1000"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plugin + (c.settings.empty() ? std::string(" defaults") : " " + c.settings[1]));
        const std::string vst2 = Render(TIDEBLOOM_SO, c.input, "vst2.wav", c.settings);
        const std::string vst3 = Render(c.plugin, c.input, "vst3.wav", c.settings);
        EXPECT_GT(vst2.size(), 30000u * 2);
        EXPECT_TRUE(vst2 == vst3);
    }
}

TEST_F(HostVst3, InfoDescribesTheBundleAndZamComp) {
    RunResult r = Run({"info", kBundle, "--program", "Arpeggio"});
    ASSERT_EQ(r.status, 0) << r.err;
    ExpectLines(
        r.out, {"Format        VST 3 (VST 3.7.0)\n", "Name          Tidebloom\n", "Vendor        vendrilax\n",
                "Class ID      5664727854626C6D5653543354626C6D\n",
                "Category      Audio Module Class (Fx|Dynamics)\n", "Version       1.0.0\n",
                "Controller    the component itself\n", "Inputs        2\n", "Outputs       2\n",
                "Parameters    6\n", "Programs      6 (current Arpeggio)\n",
                "Latency       1500 samples\n", // Arpeggio's Depth 1
                "Editor        555 x 306\n",
                "    3  Vol          1.000             1 (0 to 2, normalised 0.5, id 3, automatable)\n",
                "    4  OnOff        1                 1 (0 to 1, normalised 1, id 4, 1 step, automatable)\n",
                "    3  Arpeggio\n"});
    r = Run({"info", kBundle, "--json", "--set", "Vol=1.5"});
    ASSERT_EQ(r.status, 0) << r.err;
    ExpectLines(r.out, {"\"controller\": \"component\",",
                        "\"name\": \"Vol\", \"units\": \"\", \"display\": \"1.500\", "
                        "\"value\": 0.75, \"plain\": 1.5,"});

    if (!HaveZamComp())
        GTEST_SKIP() << "zam-plugins is not installed (Debian package zam-plugins): ZamComp skipped";
    r = Run({"info", kZamComp, "--program", "PoppySnare"});
    ASSERT_EQ(r.status, 0) << r.err;
    ExpectLines(r.out,
                {"Name          ZamComp\n", "Category      Audio Module Class (Fx|Dynamics|Mono)\n",
                 "Controller    a separate object, connected to the component\n",
                 "Inputs        1 (2 buses: the first is used, the others get silence)\n",
                 "Outputs       1\n", "Programs      3 (current PoppySnare)\n", "    2  VocalLeveller\n"});
    // The controller moved its values to the program's.
    EXPECT_NE(r.out.find("  Threshold        -18.000000 dB     -18 (-80 to 0,"), std::string::npos) << r.out;
}

// ZamComp keeps a controller of its own, which the processor hears nothing from but the host: a
// program renders as the CLAP build renders the program's values, and values as the same values do.
TEST_F(HostVst3, RendersDebiansZamCompAsItsClapBuild) {
    if (!HaveZamComp()) GTEST_SKIP() << "zam-plugins is not installed (Debian package zam-plugins)";
    const std::vector<std::string> values = {"--set", "Threshold=-40", "--set", "Ratio=20",
                                             "--set", "Attack=1",      "--set", "Makeup=3"};
    const std::vector<std::string> poppySnare = {"--set", "Threshold=-18", "--set", "Release=10",
                                                 "--set", "Knee=1",        "--set", "Ratio=5",
                                                 "--set", "Makeup=6",      "--set", "Slew=20"};
    const std::string plain = Render(kZamComp, "mono.wav", "plain.wav", {});
    EXPECT_EQ(ReadSignal(mDir / "plain.wav").NumFrames(), 30000);
    EXPECT_EQ(ReadSignal(mDir / "plain.wav").NumChannels(), 1);
    EXPECT_TRUE(Render(kZamComp, "mono.wav", "set.wav", values) ==
                Render(kZamCompClap, "mono.wav", "clap.wav", values));
    const std::string program = Render(kZamComp, "mono.wav", "program.wav", {"--program", "PoppySnare"});
    EXPECT_TRUE(program == Render(kZamCompClap, "mono.wav", "clap.wav", poppySnare));
    EXPECT_FALSE(program == plain);
    // A stereo file is mixed into its one input, as long as the file.
    Render(kZamComp, "phrase.wav", "phrase-out.wav", {"--program", "VocalLeveller"});
    EXPECT_EQ(ReadSignal(mDir / "phrase-out.wav").NumFrames(), ReadSignal(mDir / "phrase.wav").NumFrames());
}

TEST_F(HostVst3, TheEditorLooksAsTheVst2PluginsDoes) {
    RunResult a = Run({"snapshot", TIDEBLOOM_SO, "-o", mDir / "vst2.png", "--program", "Arpeggio"});
    RunResult b = Run({"snapshot", kBundle, "-o", mDir / "vst3.png", "--program", "Arpeggio"});
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(b.out,
              "tidebloom-host: wrote the editor of 'Tidebloom' (555 x 306) to '" + mDir / "vst3.png" + "'\n");
    EXPECT_TRUE(Bytes("vst2.png") == Bytes("vst3.png"));
}

// What cannot be loaded or done ends with exit status 1 and one line saying why.
TEST_F(HostVst3, RefusesBrokenBundlesAndWhatThePluginRefuses) {
    const std::string bad = mDir / "bad";
    for (const char* dir :
         {"Empty.vst3", "Garbage.vst3/Contents/x86_64-linux", "Vst2.vst3/Contents/x86_64-linux"})
        std::filesystem::create_directories(bad + "/" + dir);
    std::ofstream(bad + "/Garbage.vst3/Contents/x86_64-linux/Garbage.so") << "not a module";
    std::filesystem::copy_file(TIDEBLOOM_SO, bad + "/Vst2.vst3/Contents/x86_64-linux/Vst2.so");
    // A file at a rate the plug-in does not serve (Tidebloom's lowest is 8 kHz).
    WriteSignal(mDir / "4k.wav", FloatSignal(2, 4000), 4000);
    const std::string render = "render";
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"info", bad + "/Missing.vst3"}, "cannot open plug-in '" + bad + "/Missing.vst3': No such file"},
        {{"info", bad + "/Empty.vst3"},
         "the VST 3 bundle '" + bad + "/Empty.vst3' has no module for this machine"},
        {{"info", bad + "/Garbage.vst3"}, "Garbage.so' is not a plug-in (not a shared library)"},
        {{"info", bad + "/Vst2.vst3/"}, "is not a VST 3 module (no GetPluginFactory)"},
        {{"info", FakePath("vst3_entry_fails")}, "refused to start (ModuleEntry failed)"},
        {{"info", FakePath("vst3_no_audio_module")}, "offers no audio module class"},
        {{"info", FakePath("vst3_no_instance")}, "did not make its class 'Fake VST3'"},
        {{"info", FakePath("vst3_no_processor")}, "the plug-in 'Fake VST3' has no audio processor"},
        {{"info", FakePath("vst3_no_controller")}, "did not make the edit controller of 'Fake VST3'"},
        {{"info", FakePath("vst3_huge_buses")}, "announces an implausible 1000000 audio input buses"},
        {{"info", FakePath("vst3_huge_params")}, "announces an implausible 10000000 parameters"},
        {{"info", kBundle, "--class", "Nope"}, "has no class 'Nope' (it has: Tidebloom)"},
        {{"info", TIDEBLOOM_SO, "--class", "Tidebloom"}, "chooses a class of a VST 3 module"},
        {{"info", kBundle, "--program", "Nope"}, "unknown program 'Nope'"},
        {{"info", kBundle, "--set", "Vol=loud"},
         "parameter 'Vol' takes no value 'loud' (a value from 0 to 2"},
        {{render, kBundle, "-i", mDir / "phrase.wav", "-o", mDir / "o.wav", "--save-fxp", mDir / "o.fxp"},
         "program and bank files (.fxp, .fxb) are for VST 2 plug-ins, not VST 3 ones"},
        {{render, kBundle, "-i", mDir / "4k.wav", "-o", mDir / "o.wav"},
         "the plug-in refused to process 32-bit samples at 4000 Hz in blocks of up to 512 frames"},
        {{render, TIDEBLOOM_CLAP_PATH, "-i", mDir / "4k.wav", "-o", mDir / "o.wav"},
         "the plug-in refused to activate at 4000 Hz"},
    };
    for (const Case& c : cases) {
        RunResult r = Run(c.args);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_EQ(r.ErrLines(), 1) << r.err;
        EXPECT_EQ(r.err.rfind("tidebloom-host: error: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(TestDir::Exists(mDir / "o.wav"));
    }
}
