// The shipped VST 3 bundle's module loaded as hosts load it, next to the shipped VST 2 plug-in, both in
// this process: the factory's class, the parameters and programs as the controller shows them, the demo
// phrase rendered bit for bit like the VST 2 plug-in (32 and 64 bits, stereo and mono, changes in the
// middle of blocks), the component state as the VST 2 program chunk, hostile state refused, and the
// latency restart asked from the user-interface thread only. Tidebloom Precise's bundle, built from the
// same sources, is checked for its own class and one render against its VST 2 plug-in.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "host/HostDemoPhrase.h"
#include "tests/support/vst2/Conformance.h"
#include "tests/support/vst3/VST3TestHost.h"

namespace {

constexpr int kNumParams = 5;
constexpr uint32_t kProgram = 0x70726F67;
constexpr int kRate = 44100;
constexpr int kFrames = kRate * 4;

// Tidebloom's bundle, or Tidebloom Precise's.
const VST3Library& Library(bool precise = false) {
    static const VST3Library sLib(TIDEBLOOM_VST3_SO_PATH), sPrecise(TIDEBLOOM_PRECISE_VST3_SO_PATH);
    return precise ? sPrecise : sLib;
}

// A loaded, not yet started instance.
struct Vst3 {
    VST3TestHost host;
    explicit Vst3(bool precise = false) {
        EXPECT_TRUE(host.Load(Library(precise).Factory())) << Library(precise).Problem();
    }
};

// ---- Rendering the demo phrase through both plug-ins ----

// A host setting at a frame: a parameter's normalised value, or a program (id kProgram, its index).
struct Change {
    int at;
    uint32_t id;
    float value;
};

struct RenderCase {
    const char* what;
    std::vector<Change> changes;
    bool doubles = false;
    bool mono = false;
    bool precise = false; // Tidebloom Precise's plug-ins
};

struct Output {
    std::vector<std::vector<double>> channels; // as rendered (floats widened exactly)
    std::vector<int> latency;                  // after each stretch between changes
};

const std::vector<std::vector<double>>& Phrase() {
    static const std::vector<std::vector<double>> sPhrase = [] {
        std::vector<std::vector<double>> p =
            HostSynthesizeDemoPhrase(kRate, static_cast<double>(kFrames) / kRate);
        // What a 32-bit host hands the plug-in; the 64-bit renders get the same values.
        for (auto& ch : p)
            for (double& v : ch) v = static_cast<float>(v);
        return p;
    }();
    return sPhrase;
}

// Stretches [start, end) between the changes, in order.
template <class F>
void ForEachStretch(const std::vector<Change>& changes, F f) {
    int start = 0;
    for (size_t i = 0; i <= changes.size(); ++i) {
        const int end = i < changes.size() ? changes[i].at : kFrames;
        f(start, end, i);
        start = end;
    }
}

// One block's buffers in both sample sizes: frames k .. k + n - 1 of the phrase in, the plug-in's out.
struct Block {
    std::vector<float> inF[2], outF[2];
    std::vector<double> inD[2], outD[2];
    float *fi[2], *fo[2];
    double *di[2], *dout[2];

    explicit Block(int size) {
        for (int ch = 0; ch < 2; ++ch) {
            inF[ch].resize(size), outF[ch].resize(size), inD[ch].resize(size), outD[ch].resize(size);
            fi[ch] = inF[ch].data(), fo[ch] = outF[ch].data(), di[ch] = inD[ch].data(),
            dout[ch] = outD[ch].data();
        }
    }
    void Load(int k, int n) {
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < n; ++i) {
                inF[ch][i] = static_cast<float>(Phrase()[ch][k + i]);
                inD[ch][i] = Phrase()[ch][k + i];
            }
    }
    void Store(Output& out, bool doubles, int k, int n) const {
        for (size_t ch = 0; ch < out.channels.size(); ++ch)
            for (int i = 0; i < n; ++i)
                out.channels[ch][k + i] = doubles ? outD[ch][i] : static_cast<double>(outF[ch][i]);
    }
};

// The VST 2 plug-in in blocks of 512, split at each change, where setParameter or effSetProgram lands.
Output RenderVst2(const RenderCase& c) {
    PluginLibrary lib(c.precise ? TIDEBLOOM_PRECISE_SO_PATH : TIDEBLOOM_SO_PATH);
    TestHost host;
    Output out;
    if (!host.Load(lib.PluginMain())) return out;
    if (c.mono) {
        VstSpeakerArrangement mono = {};
        mono.type = kSpeakerArrMono;
        mono.numChannels = 1;
        host.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&mono), &mono);
    }
    host.Open(static_cast<float>(kRate), 512);
    out.channels.assign(c.mono ? 1 : 2, std::vector<double>(kFrames));
    Block b(512);
    ForEachStretch(c.changes, [&](int start, int end, size_t next) {
        for (int k = start; k < end; k += 512) {
            const int n = std::min(512, end - k);
            b.Load(k, n);
            if (c.doubles)
                host.ProcessDoubleReplacing(b.di, b.dout, n);
            else
                host.ProcessReplacing(b.fi, b.fo, n);
            b.Store(out, c.doubles, k, n);
        }
        out.latency.push_back(host.Effect()->initialDelay);
        if (next < c.changes.size()) {
            const Change& ch = c.changes[next];
            if (ch.id == kProgram)
                host.Dispatch(effSetProgram, 0, static_cast<intptr_t>(ch.value));
            else
                host.SetParameter(static_cast<int32_t>(ch.id), ch.value);
        }
    });
    return out;
}

// The VST 3 plug-in in blocks of 500, each change sent with the block it falls into, at its offset.
Output RenderVst3(const RenderCase& c) {
    Vst3 p(c.precise);
    Output out;
    if (!p.host.Processor()) return out;
    const int nCh = c.mono ? 1 : 2;
    if (c.mono) {
        v3_speaker_arrangement m = V3_SPEAKER_M;
        EXPECT_EQ(p.host.P()->set_bus_arrangements(p.host.Processor(), &m, 1, &m, 1), V3_OK);
    }
    EXPECT_TRUE(p.host.Start(kRate, 500, c.doubles ? V3_SAMPLE_64 : V3_SAMPLE_32));
    out.channels.assign(static_cast<size_t>(nCh), std::vector<double>(kFrames));
    Block b(500);
    size_t next = 0;
    for (int k = 0; k < kFrames; k += 500) {
        const int n = std::min(500, kFrames - k);
        // The latency at the end of each stretch: what the plug-in reports before the change's block.
        const int latency = static_cast<int>(p.host.P()->get_latency_samples(p.host.Processor()));
        std::vector<VST3Change> changes;
        for (; next < c.changes.size() && c.changes[next].at < k + n; ++next) {
            const Change& ch = c.changes[next];
            changes.push_back(
                {ch.id, ch.at - k, ch.id == kProgram ? ch.value / 5.0 : static_cast<double>(ch.value)});
            out.latency.push_back(latency);
        }
        b.Load(k, n);
        EXPECT_EQ(c.doubles ? p.host.Process(b.di, nCh, b.dout, nCh, n, changes)
                            : p.host.Process(b.fi, nCh, b.fo, nCh, n, changes),
                  V3_OK);
        b.Store(out, c.doubles, k, n);
    }
    out.latency.push_back(static_cast<int>(p.host.P()->get_latency_samples(p.host.Processor())));
    return out;
}

} // namespace

TEST(TidebloomVST3, TheBundleExportsItsModuleWhereHostsLook) {
    const std::string path = TIDEBLOOM_VST3_SO_PATH;
    const std::string tail = "/Tidebloom.vst3/Contents/x86_64-linux/Tidebloom.so";
    ASSERT_GE(path.size(), tail.size());
    EXPECT_EQ(path.substr(path.size() - tail.size()), tail);
    EXPECT_EQ(Library().Problem(), "");
}

TEST(TidebloomVST3, TheFactoryDescribesOneAudioEffect) {
    v3_plugin_factory** f = Library().Factory();
    ASSERT_NE(f, nullptr) << Library().Problem();
    v3_factory_info fi = {};
    ASSERT_EQ(v3_cpp_obj(f)->get_factory_info(f, &fi), V3_OK);
    EXPECT_STREQ(fi.vendor, "vendrilax");
    EXPECT_EQ(fi.flags, 0x10);
    EXPECT_EQ(v3_cpp_obj(f)->num_classes(f), 1);

    const uint8_t id[16] = {'V', 'd', 'r', 'x', 'T', 'b', 'l', 'm', 'V', 'S', 'T', '3', 'T', 'b', 'l', 'm'};
    v3_class_info ci = {};
    ASSERT_EQ(v3_cpp_obj(f)->get_class_info(f, 0, &ci), V3_OK);
    EXPECT_EQ(std::memcmp(ci.class_id, id, 16), 0);
    EXPECT_EQ(ci.cardinality, 0x7FFFFFFF);
    EXPECT_STREQ(ci.category, "Audio Module Class");
    EXPECT_STREQ(ci.name, "Tidebloom");
    EXPECT_EQ(v3_cpp_obj(f)->get_class_info(f, 1, &ci), V3_INVALID_ARG);

    v3_plugin_factory_2** f2 = nullptr;
    ASSERT_EQ(v3_cpp_obj_query_interface(f, v3_plugin_factory_2_iid, &f2), V3_OK);
    v3_class_info_2 c2 = {};
    ASSERT_EQ(v3_cpp_obj(f2)->get_class_info_2(f2, 0, &c2), V3_OK);
    EXPECT_EQ(std::memcmp(c2.class_id, id, 16), 0);
    EXPECT_STREQ(c2.sub_categories, "Fx|Dynamics");
    EXPECT_STREQ(c2.vendor, "vendrilax");
    EXPECT_STREQ(c2.version, "1.0.0");
    EXPECT_STREQ(c2.sdk_version, "VST 3.7.0");
    EXPECT_EQ(c2.class_flags, 0u);
    v3_cpp_obj_unref(f2);

    v3_plugin_factory_3** f3 = nullptr;
    ASSERT_EQ(v3_cpp_obj_query_interface(f, v3_plugin_factory_3_iid, &f3), V3_OK);
    v3_class_info_3 c3 = {};
    ASSERT_EQ(v3_cpp_obj(f3)->get_class_info_utf16(f3, 0, &c3), V3_OK);
    const int16_t name[] = {'T', 'i', 'd', 'e', 'b', 'l', 'o', 'o', 'm', 0};
    EXPECT_EQ(std::memcmp(c3.name, name, sizeof(name)), 0);
    EXPECT_STREQ(c3.sub_categories, "Fx|Dynamics");
    v3_cpp_obj_unref(f3);

    // Tidebloom Precise's bundle: its own name and class id.
    v3_plugin_factory** fp = Library(true).Factory();
    ASSERT_NE(fp, nullptr) << Library(true).Problem();
    const uint8_t preciseId[16] = {'V', 'd', 'r', 'x', 'T', 'b', 'l', 'p',
                                   'V', 'S', 'T', '3', 'T', 'b', 'l', 'p'};
    ASSERT_EQ(v3_cpp_obj(fp)->get_class_info(fp, 0, &ci), V3_OK);
    EXPECT_EQ(std::memcmp(ci.class_id, preciseId, 16), 0);
    EXPECT_STREQ(ci.name, "Tidebloom Precise");

    // Another class id, or an interface the plug-in does not have: nothing is made.
    void* obj = reinterpret_cast<void*>(1);
    uint8_t other[16] = {};
    EXPECT_NE(v3_cpp_obj(f)->create_instance(f, other, v3_component_iid, &obj), V3_OK);
    EXPECT_EQ(obj, nullptr);
    EXPECT_EQ(v3_cpp_obj(f)->create_instance(f, id, v3_plugin_frame_iid, &obj), V3_NO_INTERFACE);
    EXPECT_EQ(obj, nullptr);
}

TEST(TidebloomVST3, ParametersBusesAndProgramsAsTheHostSeesThem) {
    Vst3 p;
    ASSERT_NE(p.host.Controller(), nullptr);
    struct Row {
        uint32_t id;
        const char* title;
        int32_t steps;
        double defaultValue;
        int32_t flags;
    };
    const Row rows[] = {
        {0, "Sensitivity", 0, 0.7, V3_PARAM_CAN_AUTOMATE},
        {1, "Time", 0, 0.5, V3_PARAM_CAN_AUTOMATE},
        {2, "Depth", 0, 0.75, V3_PARAM_CAN_AUTOMATE},
        {3, "Vol", 0, 0.5, V3_PARAM_CAN_AUTOMATE},
        {4, "OnOff", 1, 1.0, V3_PARAM_CAN_AUTOMATE},
        {kProgram, "Program", 5, 0.0, V3_PARAM_IS_LIST | V3_PARAM_PROGRAM_CHANGE},
    };
    ASSERT_EQ(p.host.E()->get_parameter_count(p.host.Controller()), 6);
    for (int32_t i = 0; i < 6; ++i) {
        const v3_param_info info = p.host.Info(i);
        const Row& r = rows[i];
        EXPECT_EQ(info.param_id, r.id) << i;
        EXPECT_EQ(p.host.Text(info.title), r.title) << i;
        EXPECT_EQ(p.host.Text(info.short_title), r.title) << i;
        EXPECT_EQ(p.host.Text(info.units), "") << i;
        EXPECT_EQ(info.step_count, r.steps) << i;
        EXPECT_EQ(info.default_normalised_value, r.defaultValue) << i;
        EXPECT_EQ(info.unit_id, 0) << i;
        EXPECT_EQ(info.flags, r.flags) << i;
    }
    v3_param_info none = {};
    EXPECT_EQ(p.host.E()->get_parameter_info(p.host.Controller(), 6, &none), V3_INVALID_ARG);

    // Text both ways through the effect's own rules (three decimals; whole numbers for OnOff) and the
    // program names.
    struct Text {
        uint32_t id;
        double normalized;
        const char* text;
    };
    const Text texts[] = {{0, 0.7, "0.700"},           {1, 0.25, "0.250"},     {3, 0.5, "1.000"},
                          {3, 1.0, "2.000"},           {4, 0.0, "0"},          {4, 1.0, "1"},
                          {kProgram, 0.6, "Arpeggio"}, {kProgram, 0.0, "Init"}};
    for (const Text& t : texts) {
        EXPECT_EQ(p.host.ToString(t.id, t.normalized), t.text) << t.id << " " << t.normalized;
        double back = -1.0;
        EXPECT_EQ(p.host.FromString(t.id, t.text, &back), V3_OK) << t.text;
        EXPECT_DOUBLE_EQ(back, t.normalized) << t.text;
    }
    double v = -1.0;
    EXPECT_EQ(p.host.FromString(2, "deep", &v), V3_FALSE);
    EXPECT_EQ(p.host.FromString(kProgram, "No Such Program", &v), V3_FALSE);
    EXPECT_EQ(p.host.FromString(3, "7", &v), V3_OK); // out of range: held to it
    EXPECT_EQ(v, 1.0);
    EXPECT_EQ(p.host.E()->normalised_parameter_to_plain(p.host.Controller(), 3, 0.25), 0.5);
    EXPECT_EQ(p.host.E()->plain_parameter_to_normalised(p.host.Controller(), 3, 1.5), 0.75);
    EXPECT_EQ(p.host.E()->normalised_parameter_to_plain(p.host.Controller(), kProgram, 0.6), 3.0);

    // One stereo bus each way; mono to mono is legal, anything else is refused and changes nothing.
    EXPECT_EQ(p.host.C()->get_bus_count(p.host.Component(), V3_AUDIO, V3_INPUT), 1);
    EXPECT_EQ(p.host.C()->get_bus_count(p.host.Component(), V3_AUDIO, V3_OUTPUT), 1);
    EXPECT_EQ(p.host.C()->get_bus_count(p.host.Component(), V3_EVENT, V3_INPUT), 0);
    auto channels = [&](int32_t dir) {
        v3_bus_info bus = {};
        EXPECT_EQ(p.host.C()->get_bus_info(p.host.Component(), V3_AUDIO, dir, 0, &bus), V3_OK);
        EXPECT_EQ(bus.bus_type, V3_MAIN);
        EXPECT_EQ(bus.flags, static_cast<uint32_t>(V3_DEFAULT_ACTIVE));
        return bus.channel_count;
    };
    EXPECT_EQ(channels(V3_INPUT), 2);
    EXPECT_EQ(channels(V3_OUTPUT), 2);
    struct Arrangement {
        v3_speaker_arrangement in, out;
        v3_result answer;
        int32_t channels;
    };
    const v3_speaker_arrangement stereo = V3_SPEAKER_L | V3_SPEAKER_R, mono = V3_SPEAKER_M;
    const Arrangement arrangements[] = {{mono, stereo, V3_FALSE, 2},
                                        {stereo | V3_SPEAKER_C, stereo | V3_SPEAKER_C, V3_FALSE, 2},
                                        {mono, mono, V3_OK, 1},
                                        {0, 0, V3_FALSE, 1},
                                        {stereo, stereo, V3_OK, 2}};
    for (Arrangement a : arrangements) {
        EXPECT_EQ(p.host.P()->set_bus_arrangements(p.host.Processor(), &a.in, 1, &a.out, 1), a.answer);
        EXPECT_EQ(channels(V3_INPUT), a.channels);
        EXPECT_EQ(channels(V3_OUTPUT), a.channels);
    }
    EXPECT_EQ(p.host.P()->can_process_sample_size(p.host.Processor(), V3_SAMPLE_64), V3_OK);
    EXPECT_EQ(p.host.P()->can_process_sample_size(p.host.Processor(), 7), V3_FALSE);

    // The program list of the root unit: the six factory programs.
    v3_unit_info unit = {};
    ASSERT_EQ(p.host.U()->get_unit_info(p.host.Units(), 0, &unit), V3_OK);
    v3_program_list_info list = {};
    ASSERT_EQ(p.host.U()->get_program_list_info(p.host.Units(), 0, &list), V3_OK);
    EXPECT_EQ(unit.program_list_id, list.id);
    EXPECT_EQ(list.programCount, 6);
    const char* names[] = {"Init",     "Swell on Accent",     "Funked Swell",
                           "Arpeggio", "Long Ambient Chords", "Before Overdrive"};
    for (int i = 0; i < 6; ++i) {
        v3_str_128 name = {};
        ASSERT_EQ(p.host.U()->get_program_name(p.host.Units(), list.id, i, name), V3_OK);
        EXPECT_EQ(p.host.Text(name), names[i]);
    }
}

TEST(TidebloomVST3, RendersTheDemoPhraseLikeTheVst2Plugin) {
    // Changes at frames that are not block boundaries of either host.
    const int second = kRate + 123;
    const RenderCase cases[] = {
        {"Init", {}},
        {"Init, 64 bits", {}, true},
        {"Arpeggio", {{0, kProgram, 3.0f}}},
        {"OnOff off", {{0, 4, 0.0f}}},
        {"Depth change in a block", {{second, 2, 0.5f}}},
        {"Depth, OnOff and Vol while playing, 64 bits",
         {{second, 2, 0.25f}, {2 * second, 4, 0.0f}, {2 * second + 77, 4, 1.0f}, {3 * second, 3, 0.75f}},
         true},
        {"Program in a block, mono", {{second, kProgram, 5.0f}}, false, true},
        {"Tidebloom Precise, Depth change in a block", {{second, 2, 0.5f}}, false, false, true},
    };
    for (const RenderCase& c : cases) {
        SCOPED_TRACE(c.what);
        const Output a = RenderVst2(c), b = RenderVst3(c);
        ASSERT_EQ(a.channels.size(), b.channels.size());
        ASSERT_FALSE(a.channels.empty());
        EXPECT_EQ(a.latency, b.latency);
        for (size_t ch = 0; ch < a.channels.size(); ++ch)
            for (int k = 0; k < kFrames; ++k)
                ASSERT_EQ(std::memcmp(&a.channels[ch][k], &b.channels[ch][k], sizeof(double)), 0)
                    << "channel " << ch << " frame " << k;
        // Not silence: the comparison compares something.
        double peak = 0.0;
        for (double s : b.channels[0]) peak = std::max(peak, std::fabs(s));
        EXPECT_GT(peak, 0.1);
    }
}

namespace {

std::vector<uint8_t> ProgramChunk(const double* values) {
    std::vector<uint8_t> bytes = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
    for (int i = 0; i < kNumParams; ++i) AppendLE(&bytes, values[i]);
    return bytes;
}

} // namespace

// The component state holds the VST 2 program chunk's bytes, read back into another instance (also from
// a stream that hands out a few bytes at a time), which then saves it unchanged and reports its values.
TEST(TidebloomVST3, TheStateIsTheVst2ProgramChunk) {
    PluginLibrary lib(TIDEBLOOM_SO_PATH);
    TestHost vst2;
    ASSERT_NE(vst2.Load(lib.PluginMain()), nullptr);
    vst2.Open();
    vst2.Dispatch(effSetProgram, 0, 3);
    vst2.SetParameter(3, 0.625f);
    Vst3 a, b;
    ASSERT_TRUE(a.host.Start());
    float silence[2][64] = {};
    float* in[2] = {silence[0], silence[1]};
    float out[2][64];
    float* o[2] = {out[0], out[1]};
    ASSERT_EQ(a.host.Process(in, 2, o, 2, 64, {{kProgram, 0, 0.6}, {3, 10, static_cast<double>(0.625f)}}),
              V3_OK);
    const std::vector<uint8_t> state = a.host.GetState();
    EXPECT_EQ(state, vst2.GetChunk(false));
    const double expected[kNumParams] = {0.676, 0.433, 1.0, 1.25, 1.0};
    EXPECT_EQ(state, ProgramChunk(expected));

    ASSERT_EQ(b.host.SetState(state, 5), V3_OK);
    EXPECT_EQ(b.host.GetState(), state);
    ASSERT_EQ(b.host.SetComponentState(state), V3_OK);
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_DOUBLE_EQ(b.host.E()->get_parameter_normalised(b.host.Controller(), static_cast<uint32_t>(i)),
                         i == 3 ? 0.625 : expected[i])
            << i;
    // The controller keeps no state of its own.
    VST3TestStream controllerState;
    EXPECT_EQ(b.host.E()->get_state(b.host.Controller(), controllerState.Face()), V3_OK);
    EXPECT_TRUE(controllerState.Bytes().empty());
}

// Damaged, cut short and foreign state is refused by the component and the controller, and changes
// neither the state nor what the controller reports.
TEST(TidebloomVST3, HostileStateIsRefusedAndChangesNothing) {
    const double arpeggio[kNumParams] = {0.676, 0.433, 1.0, 1.0, 1.0};
    const std::vector<uint8_t> good = ProgramChunk(arpeggio);
    auto with = [&](auto edit) {
        std::vector<uint8_t> b = good;
        edit(b);
        return b;
    };
    auto value = [&](int param, double v) {
        return with([&](std::vector<uint8_t>& b) { std::memcpy(&b[8 + 8 * param], &v, 8); });
    };
    struct Hostile {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> garbage(48);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 37 + 11);
    const Hostile cases[] = {
        {"empty", {}},
        {"cut short", with([](std::vector<uint8_t>& b) { b.resize(47); })},
        {"header only", with([](std::vector<uint8_t>& b) { b.resize(8); })},
        {"a byte more", with([](std::vector<uint8_t>& b) { b.push_back(0); })},
        {"garbage", garbage},
        {"another magic", with([](std::vector<uint8_t>& b) { b[0] = 'x'; })},
        {"another version", with([](std::vector<uint8_t>& b) { b[6] = 2; })},
        {"Vol above its range", value(3, 3.0)},
        {"Depth below its range", value(2, -0.5)},
        {"NaN", value(1, std::nan(""))},
        {"infinity", value(0, INFINITY)},
        {"the parameters without the header", std::vector<uint8_t>(good.begin() + 8, good.end())},
        {"another plug-in's six values", with([](std::vector<uint8_t>& b) { AppendLE(&b, 0.5); })},
    };
    Vst3 p;
    ASSERT_TRUE(p.host.Start());
    ASSERT_EQ(p.host.SetState(good), V3_OK);
    std::vector<double> reported;
    for (uint32_t i = 0; i < kNumParams; ++i)
        reported.push_back(p.host.E()->get_parameter_normalised(p.host.Controller(), i));
    for (const Hostile& h : cases) {
        SCOPED_TRACE(h.what);
        EXPECT_EQ(p.host.SetState(h.bytes), V3_FALSE);
        EXPECT_EQ(p.host.SetComponentState(h.bytes), V3_FALSE);
        EXPECT_EQ(p.host.GetState(), good);
        for (uint32_t i = 0; i < kNumParams; ++i)
            EXPECT_EQ(p.host.E()->get_parameter_normalised(p.host.Controller(), i), reported[i]) << i;
    }
    EXPECT_EQ(p.host.C()->set_state(p.host.Component(), nullptr), V3_INVALID_ARG);
}

// A latency change while active reaches the host as a restart, on the user-interface thread only: a
// Depth change in a block is announced at the host's next call there; a change of the controller's
// value waits for the block that brings it; a program that changes the values asks the host to read
// them again. Inactive, nothing is announced: the host reads the latency when it activates.
TEST(TidebloomVST3, LatencyChangesRestartTheComponentFromTheUserInterfaceThread) {
    Vst3 p;
    VST3TestHost& h = p.host;
    float buf[2][32] = {};
    float* io[2] = {buf[0], buf[1]};
    auto block = [&](std::vector<VST3Change> changes) {
        EXPECT_EQ(h.Process(io, 2, io, 2, 32, changes), V3_OK);
    };
    auto latency = [&] { return h.P()->get_latency_samples(h.Processor()); };
    auto restart = [](int32_t flags) {
        return VST3HandlerCall{VST3HandlerCall::kRestart, static_cast<uint32_t>(flags), 0.0, false};
    };

    // Inactive: applied at once, no restart.
    EXPECT_EQ(h.E()->set_parameter_normalised(h.Controller(), 2, 1.0), V3_OK);
    EXPECT_EQ(latency(), 1500u);
    EXPECT_TRUE(h.Calls().empty());

    ASSERT_TRUE(h.Start());
    block({{2, 5, 0.5}});
    EXPECT_EQ(latency(), 1190u);
    EXPECT_TRUE(h.Calls().empty()) << "nothing from the audio thread";
    EXPECT_EQ(h.E()->set_parameter_normalised(h.Controller(), 3, 0.5), V3_OK);
    EXPECT_EQ(h.Calls(), std::vector<VST3HandlerCall>{restart(V3_RESTART_LATENCY_CHANGED)});

    // The controller's value: reported at once, applied with the block that brings it.
    h.ClearCalls();
    EXPECT_EQ(h.E()->set_parameter_normalised(h.Controller(), 4, 0.0), V3_OK);
    EXPECT_EQ(h.E()->get_parameter_normalised(h.Controller(), 4), 0.0);
    EXPECT_EQ(latency(), 1190u);
    block({{4, 0, 0.0}});
    EXPECT_EQ(latency(), 0u);
    EXPECT_TRUE(h.Calls().empty());
    EXPECT_EQ(h.E()->set_parameter_normalised(h.Controller(), 0, 0.5), V3_OK);
    EXPECT_EQ(h.Calls(), std::vector<VST3HandlerCall>{restart(V3_RESTART_LATENCY_CHANGED)});

    // A program: its values and its latency.
    h.ClearCalls();
    block({{kProgram, 31, 0.4}});
    EXPECT_EQ(latency(), 1190u);
    EXPECT_EQ(h.E()->get_parameter_normalised(h.Controller(), kProgram), 0.4);
    EXPECT_EQ(h.E()->get_parameter_normalised(h.Controller(), 1), 0.431);
    EXPECT_EQ(h.E()->set_parameter_normalised(h.Controller(), 3, 0.5), V3_OK);
    EXPECT_EQ(h.Calls(), std::vector<VST3HandlerCall>{
                             restart(V3_RESTART_LATENCY_CHANGED | V3_RESTART_PARAM_VALUES_CHANGED)});

    // Deactivated with a change pending: nothing to announce.
    h.ClearCalls();
    block({{2, 0, 1.0}});
    h.Stop();
    EXPECT_EQ(h.E()->set_parameter_normalised(h.Controller(), 3, 0.5), V3_OK);
    EXPECT_TRUE(h.Calls().empty());
    EXPECT_EQ(latency(), 1500u);
}
