// The bundle as the Debian LV2 tools see it from the build folder (LV2_PATH): lv2ls and lv2info report
// what the effect's tables say, the presets hold the tables' values, the Turtle passes sord_validate
// against the LV2 schemas of lv2-dev (lv2_validate), and lv2apply renders the demo phrase bit for bit
// as tidebloom-host renders it through Tidebloom.so with the same settings, once the latency is
// accounted for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "TidebloomDescription.h"
#include "host/HostAudioFile.h"
#include "tests/support/TestDir.h"

namespace {

struct ShellRun {
    int status = -1;
    std::string out;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a shell command with LV2_PATH set to the build's bundle folder and the system's (where the LV2
// vocabulary lives); stdout and stderr together.
ShellRun Shell(const std::string& command) {
    const std::string full = "LV2_PATH=" + Quote(std::string(TIDEBLOOM_LV2_DIR) + ":/usr/lib/lv2") + " " +
                             command + " 2>&1 </dev/null";
    ShellRun r;
    FILE* p = popen(full.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), p)) > 0) r.out.append(buf, n);
    const int raw = pclose(p);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

// The text after "key:" on the first line of block that has it, trimmed.
std::string Field(const std::string& block, const std::string& key) {
    const size_t at = block.find(key + ":");
    if (at == std::string::npos) return "<missing>";
    const size_t start = block.find_first_not_of(' ', at + key.size() + 1);
    return block.substr(start, block.find('\n', start) - start);
}

std::string Fixed(double v) {
    char buf[64];
    std::snprintf(buf, sizeof(buf), "%f", v);
    return buf;
}

} // namespace

TEST(TidebloomLV2Tools, Lv2lsAndLv2infoReportTheEffectsTables) {
    const ShellRun ls = Shell("lv2ls");
    ASSERT_EQ(ls.status, 0) << ls.out;
    EXPECT_NE(ls.out.find("urn:vendrilax:tidebloom\n"), std::string::npos) << ls.out;

    const ShellRun info = Shell("lv2info urn:vendrilax:tidebloom");
    ASSERT_EQ(info.status, 0) << info.out;
    const IEffectDescription& d = kTidebloomDescription;
    EXPECT_EQ(Field(info.out, "Name"), d.mEffectName);
    EXPECT_EQ(Field(info.out, "Class"), "Envelope Plugin");
    EXPECT_EQ(Field(info.out, "Author"), d.mMfrName);
    EXPECT_EQ(Field(info.out, "Has latency"), "yes, reported by port 9");
    EXPECT_NE(info.out.find("http://lv2plug.in/ns/lv2core#hardRTCapable"), std::string::npos);
    EXPECT_NE(info.out.find("Extension Data:    http://lv2plug.in/ns/ext/state#interface"),
              std::string::npos);
    EXPECT_EQ(info.out.find("inPlaceBroken"), std::string::npos);
    for (const IPresetDescription& p : d.mPresets)
        EXPECT_NE(info.out.find(" " + std::string(p.mName) + "\n"), std::string::npos) << p.mName;

    // One block per port, in index order.
    std::vector<std::string> ports;
    for (size_t at = info.out.find("\tPort 0:"); at != std::string::npos;) {
        const size_t next = info.out.find("\tPort ", at + 1);
        ports.push_back(info.out.substr(at, next == std::string::npos ? std::string::npos : next - at));
        at = next;
    }
    ASSERT_EQ(ports.size(), 10u) << info.out;
    const char* audio[4][3] = {{"in_l", "Input L", "InputPort"},
                               {"in_r", "Input R", "InputPort"},
                               {"out_l", "Output L", "OutputPort"},
                               {"out_r", "Output R", "OutputPort"}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Field(ports[i], "Symbol"), audio[i][0]);
        EXPECT_EQ(Field(ports[i], "Name"), audio[i][1]);
        EXPECT_NE(ports[i].find("lv2core#AudioPort"), std::string::npos) << i;
        EXPECT_NE(ports[i].find(std::string("lv2core#") + audio[i][2]), std::string::npos) << i;
    }
    // A mono track may leave the right input unconnected.
    EXPECT_NE(ports[1].find("lv2core#connectionOptional"), std::string::npos);
    for (int i = 0; i < kNumParams; ++i) {
        const IParamDescription& p = d.mParams[static_cast<size_t>(i)];
        const std::string& port = ports[static_cast<size_t>(4 + i)];
        EXPECT_EQ(Field(port, "Symbol"), p.mSymbol);
        EXPECT_EQ(Field(port, "Name"), p.mName);
        EXPECT_EQ(Field(port, "Minimum"), Fixed(p.mMin)) << p.mName;
        EXPECT_EQ(Field(port, "Maximum"), Fixed(p.mMax)) << p.mName;
        EXPECT_EQ(Field(port, "Default"), Fixed(p.mDefault)) << p.mName;
        EXPECT_NE(port.find("lv2core#ControlPort"), std::string::npos) << p.mName;
        EXPECT_EQ(port.find("lv2core#toggled") != std::string::npos, i == kOnOff) << p.mName;
    }
    EXPECT_EQ(Field(ports[9], "Symbol"), "latency");
    EXPECT_EQ(Field(ports[9], "Designation"), "http://lv2plug.in/ns/lv2core#latency");
    EXPECT_NE(ports[9].find("lv2core#OutputPort"), std::string::npos);
    // Hosts that know only the older port property find the latency through it.
    EXPECT_NE(ports[9].find("lv2core#reportsLatency"), std::string::npos) << ports[9];
    EXPECT_NE(ports[9].find("lv2core#integer"), std::string::npos) << ports[9];
    for (size_t i = 0; i < 9; ++i) EXPECT_EQ(ports[i].find("reportsLatency"), std::string::npos) << i;
    // A range up to the longest delay at the highest rate served, and no slider on generic UIs.
    EXPECT_EQ(Field(ports[9], "Minimum"), Fixed(0.0));
    EXPECT_EQ(Field(ports[9], "Maximum"), Fixed(d.MaxLatencyAt(d.mMaxSampleRate)));
    for (size_t i = 0; i < ports.size(); ++i)
        EXPECT_EQ(ports[i].find("port-props#notOnGUI") != std::string::npos, i == 9) << i;

    // The editor as an X11 UI in its own module of the bundle.
    const size_t uis = info.out.find("\tUIs:\n");
    ASSERT_NE(uis, std::string::npos) << info.out;
    const std::string ui = info.out.substr(uis, info.out.find("\tData URIs:") - uis);
    EXPECT_NE(ui.find("\t\turn:vendrilax:tidebloom#ui\n"), std::string::npos) << ui;
    EXPECT_EQ(Field(ui, "Class"), "http://lv2plug.in/ns/extensions/ui#X11UI");
    EXPECT_EQ(Field(ui, "Binary"),
              "file://" + std::string(TIDEBLOOM_LV2_DIR) + "/Tidebloom.lv2/TidebloomUI.so");
}

TEST(TidebloomLV2Tools, ThePresetsHoldTheTablesValues) {
    // N-Triples of presets.ttl: which preset each port value belongs to, and its symbol and value.
    const ShellRun nt =
        Shell("sordi " + Quote(std::string(TIDEBLOOM_LV2_DIR) + "/Tidebloom.lv2/presets.ttl"));
    ASSERT_EQ(nt.status, 0) << nt.out;
    std::map<std::string, std::string> portOf, labelOf, symbolOf, valueOf; // by blank node / preset URI
    std::istringstream lines(nt.out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream t(line);
        std::string s, p, o;
        t >> s >> p;
        std::getline(t >> std::ws, o);
        o = o.substr(0, o.rfind(" ."));
        if (p == "<http://lv2plug.in/ns/lv2core#port>") portOf[o] = s;
        if (p == "<http://www.w3.org/2000/01/rdf-schema#label>") labelOf[s] = o;
        if (p == "<http://lv2plug.in/ns/lv2core#symbol>") symbolOf[s] = o;
        if (p == "<http://lv2plug.in/ns/ext/presets#value>") valueOf[s] = o;
    }
    // preset label -> symbol -> value
    std::map<std::string, std::map<std::string, double>> found;
    for (const auto& [node, preset] : portOf) {
        const std::string sym = symbolOf[node].substr(1, symbolOf[node].size() - 2);
        const std::string lit = valueOf[node].substr(1, valueOf[node].find('"', 1) - 1);
        found[labelOf[preset]][sym] = std::strtod(lit.c_str(), nullptr);
    }
    const IEffectDescription& d = kTidebloomDescription;
    ASSERT_EQ(found.size(), d.mPresets.size()) << nt.out;
    for (const IPresetDescription& preset : d.mPresets) {
        const auto& values = found["\"" + std::string(preset.mName) + "\""];
        ASSERT_EQ(values.size(), static_cast<size_t>(kNumParams)) << preset.mName;
        for (int i = 0; i < kNumParams; ++i)
            EXPECT_EQ(values.at(d.mParams[static_cast<size_t>(i)].mSymbol),
                      preset.mValues[static_cast<size_t>(i)])
                << preset.mName << " " << i;
    }
}

// What the UI needs and offers, as the plug-in's file says it (N-Triples of Tidebloom.ttl).
TEST(TidebloomLV2Tools, TheUIsFeaturesAndInterfaces) {
    const ShellRun nt =
        Shell("sordi " + Quote(std::string(TIDEBLOOM_LV2_DIR) + "/Tidebloom.lv2/Tidebloom.ttl"));
    ASSERT_EQ(nt.status, 0) << nt.out;
    const std::string ui = "<urn:vendrilax:tidebloom#ui> ";
    const std::string lv2 = "<http://lv2plug.in/ns/lv2core#", uiNs = "<http://lv2plug.in/ns/extensions/ui#";
    const std::string triples[] = {
        "<urn:vendrilax:tidebloom> <http://lv2plug.in/ns/extensions/ui#ui> <urn:vendrilax:tidebloom#ui> .",
        ui + "<http://www.w3.org/1999/02/22-rdf-syntax-ns#type> " + uiNs + "X11UI> .",
        ui + lv2 + "requiredFeature> " + uiNs + "idleInterface> .",
        ui + lv2 + "optionalFeature> " + uiNs + "parent> .",
        ui + lv2 + "optionalFeature> " + uiNs + "resize> .",
        ui + lv2 + "optionalFeature> " + uiNs + "touch> .",
        ui + lv2 + "optionalFeature> <http://lv2plug.in/ns/ext/options#options> .",
        ui + lv2 + "optionalFeature> <http://lv2plug.in/ns/ext/urid#map> .",
        ui + lv2 + "extensionData> " + uiNs + "idleInterface> .",
        ui + lv2 + "extensionData> " + uiNs + "showInterface> .",
        ui + "<http://lv2plug.in/ns/ext/options#supportedOption> " + uiNs + "scaleFactor> .",
        ui + "<http://lv2plug.in/ns/ext/options#supportedOption> " + uiNs + "updateRate> .",
    };
    for (const std::string& t : triples) EXPECT_NE(nt.out.find(t + "\n"), std::string::npos) << t;
    // The plug-in and its UI share no instance: nothing asks for instance or data access.
    EXPECT_EQ(nt.out.find("instance-access"), std::string::npos);
    EXPECT_EQ(nt.out.find("data-access"), std::string::npos);
}

TEST(TidebloomLV2Tools, TheTurtlePassesSordValidate) {
    for (const std::string name : {"Tidebloom", "TidebloomPrecise"}) {
        const std::string bundle = Quote(std::string(TIDEBLOOM_LV2_DIR) + "/" + name + ".lv2");
        const ShellRun v = Shell("lv2_validate " + bundle + "/manifest.ttl " + bundle + "/" + name + ".ttl " +
                                 bundle + "/presets.ttl");
        EXPECT_EQ(v.status, 0) << v.out;
        EXPECT_NE(v.out.find("Found 0 errors"), std::string::npos) << v.out;
        EXPECT_EQ(v.out.find("warning"), std::string::npos) << v.out;
    }
}

TEST(TidebloomLV2Tools, TidebloomPreciseIsItsOwnPluginWithTheSameControls) {
    const ShellRun info = Shell("lv2info urn:vendrilax:tidebloom-precise");
    ASSERT_EQ(info.status, 0) << info.out;
    EXPECT_EQ(Field(info.out, "Name"), "Tidebloom Precise");
    const ShellRun tidebloom = Shell("lv2info urn:vendrilax:tidebloom");
    // Everything from the ports on is the same lines (lv2info lists a port's properties in no fixed order).
    auto portLines = [](const std::string& out) {
        std::vector<std::string> lines;
        std::istringstream in(out.substr(std::min(out.size(), out.find("\tPort 0:"))));
        for (std::string line; std::getline(in, line);) {
            // A port's first property follows the label, the others stand below it.
            if (line.rfind("\t\tProperties:  ", 0) == 0) line = "\t\t             " + line.substr(15);
            lines.push_back(line);
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    const std::vector<std::string> lines = portLines(info.out);
    EXPECT_GT(lines.size(), 60u);
    EXPECT_EQ(lines, portLines(tidebloom.out));
}

#ifndef TIDEBLOOM_SANITIZED
TEST(TidebloomLV2Tools, Lv2applyRendersAsTidebloomHostDoes) {
    TestDir dir;
    const std::string host = Quote(HOST_EXE), vst = Quote(TIDEBLOOM_SO_PATH);
    const std::string dry = dir / "dry.wav", mono = dir / "mono.wav";
    ASSERT_EQ(Shell(host + " phrase --seconds 3 --sample-format float -o " + Quote(dry)).status, 0);
    HostAudio phrase;
    std::string err;
    ASSERT_TRUE(HostReadAudio(dry, phrase, err)) << err;
    {
        Util_AtomicFile file;
        HostAudioWriter w;
        const double* left[1] = {phrase.channels[0].data()};
        ASSERT_TRUE(file.Create(mono, err) && w.Open(file, phrase.sampleRate, 1, phrase.subtype, 0, err) &&
                    w.Write(left, static_cast<int>(phrase.NumFrames()), err) && w.Finish(err) &&
                    file.Commit(err))
            << err;
    }
    struct Case {
        const char* what;
        std::string input, lv2Controls, hostSettings;
    };
    std::string arpeggio;
    for (int i = 0; i < kNumParams; ++i) {
        char value[32];
        std::snprintf(value, sizeof(value), "%.17g",
                      kTidebloomDescription.mPresets[3].mValues[static_cast<size_t>(i)]);
        arpeggio +=
            std::string(" -c ") + kTidebloomDescription.mParams[static_cast<size_t>(i)].mSymbol + " " + value;
    }
    const Case cases[] = {
        {"Init", dry, "", "--program Init"},
        {"Arpeggio", dry, arpeggio, "--program Arpeggio"},
        {"OnOff off", dry, " -c onoff 0", "--set OnOff=0"},
        {"Depth", dry, " -c depth 0.5", "--set Depth=0.5"},
        // A mono file: lv2apply feeds the one channel, tidebloom-host feeds it to both inputs.
        {"mono", mono, "", "--program Init --channels 2"},
    };
    for (const Case& c : cases) {
        const std::string lv2Out = dir / "lv2.wav", vstOut = dir / "vst.wav";
        const ShellRun a = Shell("lv2apply -i " + Quote(c.input) + " -o " + Quote(lv2Out) + c.lv2Controls +
                                 " urn:vendrilax:tidebloom");
        ASSERT_EQ(a.status, 0) << c.what << ": " << a.out;
        const ShellRun h = Shell(host + " render " + vst + " -i " + Quote(c.input) + " -o " + Quote(vstOut) +
                                 " " + c.hostSettings);
        ASSERT_EQ(h.status, 0) << c.what << ": " << h.out;
        // tidebloom-host drops the reported latency from the start; lv2apply keeps it.
        const size_t at = h.out.find("latency ");
        ASSERT_NE(at, std::string::npos) << h.out;
        const int latency = std::atoi(h.out.c_str() + at + 8);
        HostAudio lv2, vstAudio;
        ASSERT_TRUE(HostReadAudio(lv2Out, lv2, err)) << err;
        ASSERT_TRUE(HostReadAudio(vstOut, vstAudio, err)) << err;
        ASSERT_EQ(lv2.NumChannels(), 2) << c.what;
        ASSERT_EQ(vstAudio.NumChannels(), 2) << c.what;
        ASSERT_EQ(lv2.NumFrames(), phrase.NumFrames()) << c.what;
        ASSERT_EQ(vstAudio.NumFrames(), phrase.NumFrames()) << c.what;
        for (int ch = 0; ch < 2; ++ch) {
            for (int64_t k = 0; k + latency < lv2.NumFrames(); ++k) {
                ASSERT_EQ(lv2.channels[ch][static_cast<size_t>(k + latency)],
                          vstAudio.channels[ch][static_cast<size_t>(k)])
                    << c.what << " channel " << ch << " frame " << k << " latency " << latency;
            }
        }
        EXPECT_GT(latency, c.what == std::string("OnOff off") ? -1 : 1000) << c.what;
    }
}
#endif
