// The shipped CLAP plug-in loaded from Tidebloom.clap next to the shipped VST 2 plug-in, both in this
// process: its descriptor and extensions, the same output and latency as the VST 2 plug-in for the same
// settings (programs, parameter events inside a block), parameters flushed without audio, its state
// (the VST 2 program chunk's bytes; anything else refused unchanged) and the restart it asks for when
// its latency changes while active.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "TidebloomDescription.h"
#include "host/HostDemoPhrase.h"
#include "tests/support/clap/ClapTestHost.h"
#include "tests/support/vst2/Conformance.h"
#include "tests/support/vst2/TestHost.h"

namespace {

constexpr clap_id kProgram = 0x50726F67; // the program parameter's id
constexpr const char* kId = "com.vendrilax.tidebloom";
const double kArpeggio[kNumParams] = {0.676, 0.433, 1.0, 1.0, 1.0};

struct Loaded {
    ClapLibrary lib{TIDEBLOOM_CLAP_PATH};
    ClapTestHost host;
    explicit Loaded(unsigned offers = ClapTestHost::kAll) : host(offers) {
        EXPECT_STREQ(lib.Error(), "");
        EXPECT_TRUE(host.Create(lib.Factory(), kId));
    }
};

std::vector<uint8_t> ProgramChunk(const double* values) {
    std::vector<uint8_t> bytes = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
    for (int i = 0; i < kNumParams; ++i) AppendLE(&bytes, values[i]);
    return bytes;
}

} // namespace

TEST(TidebloomCLAP, OneDescriptorWithTheEffectsIdentity) {
    ClapLibrary lib(TIDEBLOOM_CLAP_PATH);
    ASSERT_STREQ(lib.Error(), "");
    EXPECT_TRUE(clap_version_is_compatible(lib.Entry()->clap_version));
    EXPECT_EQ(lib.Entry()->get_factory("clap.other-factory"), nullptr);
    const clap_plugin_factory_t* f = lib.Factory();
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->get_plugin_count(f), 1u);
    EXPECT_EQ(f->get_plugin_descriptor(f, 1), nullptr);
    const clap_plugin_descriptor_t* d = f->get_plugin_descriptor(f, 0);
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->id, kId);
    EXPECT_STREQ(d->name, "Tidebloom");
    EXPECT_STREQ(d->vendor, "vendrilax");
    EXPECT_STREQ(d->version, "1.0.0");
    std::vector<std::string> features;
    for (const char* const* p = d->features; *p; ++p) features.push_back(*p);
    EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "stereo"}));
    // Another id, or no host, makes nothing.
    ClapTestHost host;
    EXPECT_FALSE(host.Create(f, "com.vendrilax.other"));
    EXPECT_EQ(f->create_plugin(f, nullptr, kId), nullptr);
}

TEST(TidebloomCLAP, ExtensionsPortsAndParameters) {
    Loaded l;
    const char* offered[] = {"clap.audio-ports", "clap.params",        "clap.state",           "clap.latency",
                             "clap.gui",         "clap.timer-support", "clap.posix-fd-support"};
    for (const char* id : offered) EXPECT_NE(l.host.Extension<void>(id), nullptr) << id;
    for (const char* id : {"clap.note-ports", "clap.thread-check", "clap.unknown"})
        EXPECT_EQ(l.host.Extension<void>(id), nullptr) << id;

    const auto* ports = l.host.Extension<clap_plugin_audio_ports_t>(CLAP_EXT_AUDIO_PORTS);
    for (bool input : {true, false}) {
        ASSERT_EQ(ports->count(l.host.Plugin(), input), 1u);
        clap_audio_port_info_t info{};
        ASSERT_TRUE(ports->get(l.host.Plugin(), 0, input, &info));
        EXPECT_STREQ(info.name, input ? "Input" : "Output");
        EXPECT_EQ(info.channel_count, 2u);
        EXPECT_STREQ(info.port_type, "stereo");
        EXPECT_EQ(info.flags,
                  static_cast<uint32_t>(CLAP_AUDIO_PORT_IS_MAIN | CLAP_AUDIO_PORT_SUPPORTS_64BITS));
        EXPECT_EQ(info.in_place_pair, 0u);
        EXPECT_FALSE(ports->get(l.host.Plugin(), 1, input, &info));
    }

    struct Row {
        clap_id id;
        const char* name;
        uint32_t flags;
        double min, max, def;
    };
    const uint32_t kAuto = CLAP_PARAM_IS_AUTOMATABLE, kStep = CLAP_PARAM_IS_STEPPED;
    const Row rows[] = {{0, "Sensitivity", kAuto, 0, 1, 0.7}, {1, "Time", kAuto, 0, 1, 0.5},
                        {2, "Depth", kAuto, 0, 1, 0.75},      {3, "Vol", kAuto, 0, 2, 1.0},
                        {4, "OnOff", kAuto | kStep, 0, 1, 1}, {kProgram, "Program", kStep, 0, 5, 0}};
    const auto* params = l.host.Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    ASSERT_EQ(params->count(l.host.Plugin()), 6u);
    for (uint32_t i = 0; i < 6; ++i) {
        clap_param_info_t info;
        ASSERT_TRUE(params->get_info(l.host.Plugin(), i, &info));
        EXPECT_EQ(info.id, rows[i].id);
        EXPECT_STREQ(info.name, rows[i].name);
        EXPECT_EQ(info.flags, rows[i].flags) << i;
        EXPECT_EQ(info.min_value, rows[i].min);
        EXPECT_EQ(info.max_value, rows[i].max);
        EXPECT_EQ(info.default_value, rows[i].def);
        EXPECT_EQ(l.host.Value(rows[i].id), rows[i].def) << i;
    }
    clap_param_info_t info;
    EXPECT_FALSE(params->get_info(l.host.Plugin(), 6, &info));
    EXPECT_EQ(l.host.Value(5), -1.0); // no parameter of that id
}

// Text to value and back by the effect's own rules (VST 2's display and effString2Parameter).
TEST(TidebloomCLAP, ValuesAndTexts) {
    Loaded l;
    struct Row {
        clap_id id;
        double value;
        const char* text;
    };
    const Row shown[] = {{0, 0.7, "0.700"}, {3, 2.0, "2.000"},           {4, 1.0, "1"},
                         {4, 0.0, "0"},     {kProgram, 3.0, "Arpeggio"}, {kProgram, 5.0, "Before Overdrive"},
                         {3, 7.0, "2.000"}}; // held to the range
    for (const Row& r : shown) EXPECT_EQ(l.host.ValueText(r.id, r.value), r.text) << r.id << " " << r.value;
    EXPECT_EQ(l.host.ValueText(9, 0.5), "<none>");
    const Row parsed[] = {
        {1, 0.25, "0.25"}, {3, 2.0, "5"}, {0, 0.0, "-1"}, {kProgram, 1.0, "Swell on Accent"}};
    for (const Row& r : parsed) {
        double v = -9.0;
        EXPECT_TRUE(l.host.TextValue(r.id, r.text, &v)) << r.text;
        EXPECT_EQ(v, r.value) << r.text;
    }
    for (auto [id, text] :
         {std::pair<clap_id, const char*>{1, "fast"}, {1, "nan"}, {kProgram, "Arpeggios"}, {9, "1"}}) {
        double v = -9.0;
        EXPECT_FALSE(l.host.TextValue(id, text, &v)) << text;
        EXPECT_EQ(v, -9.0);
    }
}

namespace {

constexpr int kVstBlock = 512;
constexpr int kClapBlock = 448; // another size: the events fall inside its blocks

// A change made to both plug-ins at frame `at`: through the VST 2 callbacks, and as CLAP value events.
struct Change {
    int at;
    std::function<void(TestHost&)> vst;
    std::vector<std::pair<clap_id, double>> clap;
};

struct Renders {
    std::vector<float> vst[2], clap[2];
    std::vector<int> vstLatency, clapLatency; // after each stretch between changes
};

Renders RenderBoth(const std::vector<Change>& changes, bool wide = false) {
    const std::vector<std::vector<double>> phrase = HostSynthesizeDemoPhrase(44100, 4.0);
    const int frames = static_cast<int>(phrase[0].size());
    std::vector<float> in[2];
    for (int c = 0; c < 2; ++c) in[c].assign(phrase[c].begin(), phrase[c].end());
    Renders out;
    for (int c = 0; c < 2; ++c) out.vst[c].assign(frames, 0.0f), out.clap[c].assign(frames, 0.0f);
    PluginLibrary vstLib(TIDEBLOOM_SO_PATH);
    TestHost vst;
    Loaded clap;
    EXPECT_NE(vst.Load(vstLib.PluginMain()), nullptr);
    if (!vst.Effect() || !clap.host.Plugin()) return out;
    vst.Open(44100.0f, kVstBlock);
    EXPECT_TRUE(clap.host.Activate(44100.0, kClapBlock));
    const auto* latency = clap.host.Extension<clap_plugin_latency_t>(CLAP_EXT_LATENCY);
    // VST 2 in blocks up to each change; CLAP in its own blocks with every event at its frame.
    int done = 0;
    for (size_t k = 0; k <= changes.size(); ++k) {
        const int end = k < changes.size() ? changes[k].at : frames;
        for (int f = done; f < end; f += kVstBlock) {
            float* i[2] = {in[0].data() + f, in[1].data() + f};
            float* o[2] = {out.vst[0].data() + f, out.vst[1].data() + f};
            vst.ProcessReplacing(i, o, std::min(kVstBlock, end - f));
        }
        done = end;
        if (k < changes.size()) changes[k].vst(vst);
        out.vstLatency.push_back(vst.Effect()->initialDelay);
    }
    size_t next = 0;
    std::vector<double> wideIn[2], wideOut[2];
    for (int c = 0; c < 2; ++c) wideIn[c].assign(in[c].begin(), in[c].end()), wideOut[c].assign(frames, 0);
    for (int f = 0; f < frames; f += kClapBlock) {
        const int n = std::min(kClapBlock, frames - f);
        std::vector<ClapTestHost::InEvent> events;
        for (; next < changes.size() && changes[next].at < f + n; ++next) {
            for (auto [id, v] : changes[next].clap)
                events.push_back({static_cast<uint32_t>(changes[next].at - f), id, v});
            out.clapLatency.push_back(static_cast<int>(latency->get(clap.host.Plugin())));
        }
        if (wide) {
            double* i[2] = {wideIn[0].data() + f, wideIn[1].data() + f};
            double* o[2] = {wideOut[0].data() + f, wideOut[1].data() + f};
            EXPECT_EQ(clap.host.Process(i, o, n, events), CLAP_PROCESS_CONTINUE);
        } else {
            float* i[2] = {in[0].data() + f, in[1].data() + f};
            float* o[2] = {out.clap[0].data() + f, out.clap[1].data() + f};
            EXPECT_EQ(clap.host.Process(i, o, n, events), CLAP_PROCESS_CONTINUE);
        }
    }
    if (wide)
        for (int c = 0; c < 2; ++c)
            for (int f = 0; f < frames; ++f) out.clap[c][f] = static_cast<float>(wideOut[c][f]);
    out.clapLatency.push_back(static_cast<int>(latency->get(clap.host.Plugin())));
    return out;
}

void ExpectSame(const Renders& r, const char* what) {
    // The latency after each stretch: the CLAP list has it before each change and at the end.
    std::vector<int> vstBefore(r.vstLatency.size());
    for (size_t k = 0; k < r.vstLatency.size(); ++k) vstBefore[k] = k ? r.vstLatency[k - 1] : -1;
    EXPECT_EQ(r.clapLatency.back(), r.vstLatency.back()) << what;
    for (int c = 0; c < 2; ++c)
        for (size_t k = 0; k < r.vst[c].size(); ++k)
            ASSERT_EQ(std::memcmp(&r.vst[c][k], &r.clap[c][k], sizeof(float)), 0)
                << what << " channel " << c << " frame " << k;
}

} // namespace

TEST(TidebloomCLAP, TheDemoPhraseBitForBitAsTheVst2PluginRendersIt) {
    auto program = [](int p) { return [p](TestHost& h) { h.Dispatch(effSetProgram, 0, p); }; };
    ExpectSame(RenderBoth({}), "Init");
    ExpectSame(RenderBoth({{0, program(3), {{kProgram, 3.0}}}}), "Arpeggio");
    ExpectSame(RenderBoth({{0, [](TestHost& h) { h.SetParameter(kOnOff, 0.0f); }, {{kOnOff, 0.0}}}}),
               "OnOff off");
    // Depth and OnOff moved while playing, each inside a CLAP block (and between VST 2 blocks).
    const std::vector<Change> moves = {
        {44100 + 37, [](TestHost& h) { h.SetParameter(kDepth, 0.5f); }, {{kDepth, 0.5}}},
        {88200 + 301, [](TestHost& h) { h.SetParameter(kOnOff, 0.0f); }, {{kOnOff, 0.0}}},
        {110000, [](TestHost& h) { h.SetParameter(kOnOff, 1.0f); }, {{kOnOff, 1.0}}}};
    ExpectSame(RenderBoth(moves), "Depth change");
    ExpectSame(RenderBoth(moves, true), "Depth change in 64 bits");
}

TEST(TidebloomCLAP, FlushSetsParametersWithoutAudio) {
    Loaded l;
    // Inactive: on the main thread. The program sets all five and reports their values.
    l.host.Flush({{0, kProgram, 3.0}});
    EXPECT_EQ(l.host.Value(kProgram), 3.0);
    for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(l.host.Value(static_cast<clap_id>(i)), kArpeggio[i]);
    std::vector<ClapTestHost::OutEvent> out = l.host.TakeOutEvents();
    ASSERT_EQ(out.size(), 5u);
    for (int i = 0; i < kNumParams; ++i) {
        EXPECT_EQ(out[i].type, CLAP_EVENT_PARAM_VALUE);
        EXPECT_EQ(out[i].param, static_cast<clap_id>(i));
        EXPECT_EQ(out[i].value, kArpeggio[i]);
    }
    // Values held to the range, steps, NaN and unknown ids.
    l.host.Flush({{0, kVol, 3.5}, {0, kOnOff, 0.3}, {0, kTime, NAN}, {0, 77, 1.0}});
    EXPECT_EQ(l.host.Value(kVol), 2.0);
    EXPECT_EQ(l.host.Value(kOnOff), 0.0);
    EXPECT_EQ(l.host.Value(kTime), kArpeggio[kTime]);
    EXPECT_TRUE(l.host.TakeOutEvents().empty());
    // Active: the same on the audio thread, and the next block plays it (Vol 0 silences the output).
    ASSERT_TRUE(l.host.Activate());
    l.host.Flush({{0, kVol, 0.0}, {0, kOnOff, 1.0}});
    EXPECT_EQ(l.host.Value(kVol), 0.0);
    std::vector<float> a(512, 0.5f), b(512, 0.25f), o0(512, 1.0f), o1(512, 1.0f);
    float* in[2] = {a.data(), b.data()};
    float* out2[2] = {o0.data(), o1.data()};
    l.host.Process(in, out2, 512);
    for (int k = 0; k < 512; ++k) ASSERT_EQ(o0[k] + o1[k], 0.0f) << k;
}

TEST(TidebloomCLAP, StateIsTheVst2ProgramChunkAndDamagedStateIsRefused) {
    PluginLibrary vstLib(TIDEBLOOM_SO_PATH);
    TestHost vst;
    ASSERT_NE(vst.Load(vstLib.PluginMain()), nullptr);
    vst.Open();
    vst.Dispatch(effSetProgram, 0, 3);
    vst.SetParameter(kVol, 0.625f);
    Loaded l;
    l.host.Flush({{0, kProgram, 3.0}, {0, kVol, 1.25}});
    const std::vector<uint8_t> saved = l.host.SaveState();
    EXPECT_EQ(saved, vst.GetChunk(false));
    // It restores into another instance (read in small pieces), which saves it again unchanged.
    Loaded other;
    EXPECT_TRUE(other.host.LoadState(saved, 3));
    EXPECT_EQ(other.host.SaveState(), saved);
    EXPECT_EQ(other.host.Value(kVol), 1.25);
    EXPECT_EQ(other.host.Requests("rescan").size(), 1u);

    // Damaged or foreign state: refused, nothing changes.
    std::vector<uint8_t> badMagic = saved, badVersion = saved, outOfRange = ProgramChunk(kArpeggio),
                         nanValue = saved, longer = saved, bank = vst.GetChunk(true);
    badMagic[0] ^= 1;
    badVersion[6] = 2;
    const double three = 3.0;
    std::memcpy(outOfRange.data() + 8 + 8 * kVol, &three, 8);
    const double nan = NAN;
    std::memcpy(nanValue.data() + 8, &nan, 8);
    longer.push_back(0);
    const std::vector<uint8_t> hostile[] = {{},
                                            {0x74, 0x66},
                                            std::vector<uint8_t>(saved.begin(), saved.end() - 1),
                                            badMagic,
                                            badVersion,
                                            outOfRange,
                                            nanValue,
                                            longer,
                                            bank,
                                            std::vector<uint8_t>(saved.begin() + 8, saved.end()),
                                            std::vector<uint8_t>(1 << 17, 0x74)};
    for (size_t k = 0; k < std::size(hostile); ++k) {
        EXPECT_FALSE(other.host.LoadState(hostile[k])) << k;
        EXPECT_EQ(other.host.SaveState(), saved) << k;
    }
}

TEST(TidebloomCLAP, ALatencyChangeWhileActiveAsksForARestartOnTheMainThread) {
    Loaded l;
    // Inactive: the host hears the change itself.
    l.host.Flush({{0, kDepth, 1.0}});
    EXPECT_EQ(l.host.Requests("latency").size(), 1u);
    EXPECT_TRUE(l.host.Requests("latency")[0].onMainThread);
    const auto* latency = l.host.Extension<clap_plugin_latency_t>(CLAP_EXT_LATENCY);
    EXPECT_EQ(latency->get(l.host.Plugin()), 1500u);
    ASSERT_TRUE(l.host.Activate(44100.0, 256));
    l.host.ClearRequests();
    // Active: a Depth change in a block on the audio thread asks for on_main_thread, which asks for the
    // restart; a change that keeps the latency asks nothing.
    std::vector<float> a(256, 0.0f), o0(256), o1(256);
    float* in[2] = {a.data(), a.data()};
    float* out[2] = {o0.data(), o1.data()};
    std::thread audio([&] {
        l.host.Process(in, out, 256, {{10, kVol, 0.5}});
        EXPECT_TRUE(l.host.Requests().empty());
        l.host.Process(in, out, 256, {{10, kDepth, 0.5}});
        l.host.Process(in, out, 256, {{10, kDepth, 0.25}});
    });
    audio.join();
    const std::vector<ClapTestHost::Request> asked = l.host.Requests();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].what, "callback");
    EXPECT_FALSE(asked[0].onMainThread);
    EXPECT_TRUE(l.host.RunMainThreadCallback());
    ASSERT_EQ(l.host.Requests("restart").size(), 1u);
    EXPECT_TRUE(l.host.Requests("restart")[0].onMainThread);
    EXPECT_EQ(latency->get(l.host.Plugin()), static_cast<uint32_t>(std::floor(1500.0 * std::cbrt(0.25))));
    // The host restarts: no further request.
    l.host.Deactivate();
    ASSERT_TRUE(l.host.Activate(44100.0, 256));
    EXPECT_FALSE(l.host.RunMainThreadCallback());
    EXPECT_EQ(l.host.Requests("restart").size(), 1u);
    // Deactivated, it tells the host the latency it will read when active again.
    EXPECT_EQ(l.host.Requests("latency").size(), 1u);
}

#ifndef TIDEBLOOM_SANITIZED
// Debian's Qtractor scans CLAP plug-ins in a process of its own, which prints one line per plug-in:
// it takes ours, with two inputs and outputs, six parameters and an editor (GUI).
TEST(TidebloomCLAP, QtractorsScannerAcceptsIt) {
    const char* scanner = "/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan";
    ASSERT_EQ(access(scanner, X_OK), 0) << "qtractor is not installed (scripts/setup installs it)";
    const std::string cmd =
        "echo 'CLAP:" + std::string(TIDEBLOOM_CLAP_PATH) + "' | " + scanner + " 2>/dev/null";
    FILE* pipe = popen(cmd.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buf[512];
    while (std::fgets(buf, sizeof(buf), pipe)) out += buf;
    EXPECT_EQ(pclose(pipe), 0);
    const std::string expected =
        "CLAP|Tidebloom|2:2|0:0|6:0|GUI,EXT,RT|" + std::string(TIDEBLOOM_CLAP_PATH) + "|0|";
    EXPECT_EQ(out.substr(0, expected.size()), expected) << out;
}
#endif

TEST(TidebloomCLAP, RefusesRatesItCannotServe) {
    for (double rate : {0.0, 7999.0, 768001.0, static_cast<double>(NAN)}) {
        Loaded l;
        EXPECT_FALSE(l.host.Activate(rate, 512)) << rate;
    }
    Loaded l;
    EXPECT_TRUE(l.host.Activate(96000.0, 512));
}
