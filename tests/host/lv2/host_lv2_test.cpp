// tidebloom-host loading LV2 plug-ins, through the executable: Tidebloom.lv2 described, and rendered
// exactly as tidebloom-host renders Tidebloom.so (the same settings give the same file, byte for byte),
// whether named by its bundle or by its URI; folders, URIs, values and programs it cannot take refused
// in one line.
#include "tests/support/host/HostTestSupport.h"

namespace {

class HostLv2 : public ::testing::Test {
protected:
    void SetUp() override { WriteSignal(mDir / "in.wav", FloatSignal(2, 30000)); }
    RunResult Run(const std::vector<std::string>& args, const std::string& prefix = "") {
        return RunHost(mDir, args, prefix);
    }
    TestDir mDir;
};

} // namespace

TEST_F(HostLv2, InfoDescribesTheLv2Plugin) {
    RunResult r = Run({"info", TIDEBLOOM_LV2_BUNDLE, "--program", "Arpeggio", "--set", "onoff=off"});
    ASSERT_EQ(r.status, 0) << r.err;
    const char* lines[] = {"Plug-in       urn:vendrilax:tidebloom\n",
                           "Format        LV2\n",
                           "Name          Tidebloom\n",
                           "Vendor        vendrilax\n",
                           "Inputs        2\n",
                           "Outputs       2\n",
                           "Parameters    5\n",
                           "Presets       6\n",
                           "Editor        X11 UI\n",
                           "    1  Time         0.433             0.433 (0 to 1)\n", // Arpeggio's
                           "    4  OnOff        off               0 (0 to 1, toggled)\n"};
    for (const char* line : lines) EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
    r = Run({"info", TIDEBLOOM_LV2_BUNDLE, "--json", "--set", "Vol=1.5"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(
        r.out.find("{\"index\": 3, \"symbol\": \"vol\", \"name\": \"Vol\", \"display\": \"1.5\", \"value\": "
                   "1.5, \"min\": 0, \"max\": 2, \"default\": 1, \"flags\": \"\"}"),
        std::string::npos)
        << r.out;
}

// The same settings through either plug-in give the same file: presets as programs, values by name,
// symbol or scale-point label, another block size; and the plug-in found by its URI.
TEST_F(HostLv2, RendersWhatTheVst2PluginRenders) {
    const std::string uriPath = std::string("LV2_PATH=") + ShellQuote(TIDEBLOOM_LV2_BUNDLE) + "/.. ";
    const struct {
        std::vector<std::string> settings;
        bool byUri;
    } cases[] = {
        {{}, false},
        {{"--program", "Arpeggio"}, false},
        {{"--program", "Arpeggio"}, true},
        {{"--program", "Init", "--set", "Depth=0.5", "--set", "OnOff=0"}, false},
        {{"--set", "time=0.25", "--block", "100", "--no-latency-compensation"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings.empty() ? "defaults" : c.settings[0] + " " + c.settings[1]);
        std::vector<std::string> vst = {"render", TIDEBLOOM_SO,     "-i", mDir / "in.wav",
                                        "-o",     mDir / "vst.wav", "-q"};
        std::vector<std::string> lv2 = {"render", c.byUri ? "urn:vendrilax:tidebloom" : TIDEBLOOM_LV2_BUNDLE,
                                        "-i",     mDir / "in.wav",
                                        "-o",     mDir / "lv2.wav",
                                        "-q"};
        vst.insert(vst.end(), c.settings.begin(), c.settings.end());
        lv2.insert(lv2.end(), c.settings.begin(), c.settings.end());
        RunResult a = Run(vst), b = Run(lv2, c.byUri ? uriPath : "");
        ASSERT_EQ(a.status, 0) << a.err;
        ASSERT_EQ(b.status, 0) << b.err;
        const std::string v = ReadText(mDir / "vst.wav"), l = ReadText(mDir / "lv2.wav");
        EXPECT_GT(v.size(), 30000u * 2 * 4);
        EXPECT_TRUE(v == l);
    }
}

TEST_F(HostLv2, RefusesWhatItCannotTake) {
    const std::string empty = mDir / "empty.lv2";
    ASSERT_EQ(std::system(("mkdir " + ShellQuote(empty)).c_str()), 0);
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"info", empty},
         "tidebloom-host: error: '" + empty + "' is not an LV2 bundle: it has no manifest.ttl\n"},
        {{"info", "urn:vendrilax:nothing"},
         "tidebloom-host: error: no LV2 plug-in 'urn:vendrilax:nothing' is installed (LV2_PATH)\n"},
        {{"info", TIDEBLOOM_LV2_BUNDLE, "--set", "Nope=1"},
         "tidebloom-host: error: unknown parameter 'Nope' (the plug-in has: Sensitivity, Time, Depth, Vol, "
         "OnOff)\n"},
        {{"info", TIDEBLOOM_LV2_BUNDLE, "--program", "Nope"},
         "tidebloom-host: error: unknown program 'Nope' (the plug-in has: Arpeggio, Before Overdrive, Funked "
         "Swell, Init, Long Ambient Chords, Swell on Accent)\n"},
        {{"render", TIDEBLOOM_LV2_BUNDLE, "-i", mDir / "in.wav", "-o", mDir / "out.wav", "--double"},
         "tidebloom-host: error: LV2 plug-ins process single precision only\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1]);
        const RunResult r = Run(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.message);
        EXPECT_FALSE(TestDir::Exists(mDir / "out.wav"));
    }
}
