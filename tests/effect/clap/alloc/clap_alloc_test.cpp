// Tidebloom.clap's process allocates nothing from the first block on, also with parameter and program
// events inside the block (splitting it) and the values a program reports to the output list, and
// neither does a params flush while active. The lists and buffers are the host's, made beforehand.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "tests/support/AllocCounter.h"
#include "tests/support/clap/ClapTestHost.h"

namespace {

constexpr uint32_t kFrames = 512;
constexpr clap_id kProgram = 0x50726F67;

// Fixed event lists: the input holds up to four value events, the output keeps a count only.
struct Lists {
    std::array<clap_event_param_value_t, 4> events{};
    uint32_t count = 0;
    uint32_t pushed = 0;
    clap_input_events_t in{this,
                           [](const clap_input_events_t* l) { return static_cast<Lists*>(l->ctx)->count; },
                           [](const clap_input_events_t* l, uint32_t i) -> const clap_event_header_t* {
                               return &static_cast<Lists*>(l->ctx)->events[i].header;
                           }};
    clap_output_events_t out{this, [](const clap_output_events_t* l, const clap_event_header_t*) {
                                 ++static_cast<Lists*>(l->ctx)->pushed;
                                 return true;
                             }};
    void Set(std::initializer_list<std::array<double, 3>> values) { // {time, id, value}
        count = 0;
        for (const auto& v : values) {
            clap_event_param_value_t& ev = events[count++];
            ev = {};
            ev.header = {sizeof(ev), static_cast<uint32_t>(v[0]), CLAP_CORE_EVENT_SPACE_ID,
                         CLAP_EVENT_PARAM_VALUE, 0};
            ev.param_id = static_cast<clap_id>(v[1]);
            ev.value = v[2];
        }
    }
};

} // namespace

TEST(TidebloomCLAPAlloc, ProcessAndFlushAllocateNothing) {
    ClapLibrary lib(TIDEBLOOM_CLAP_PATH);
    ClapTestHost host;
    ASSERT_TRUE(host.Create(lib.Factory(), "com.vendrilax.tidebloom")) << lib.Error();
    ASSERT_TRUE(host.Activate(44100.0, kFrames));
    const clap_plugin_t* plugin = host.Plugin();
    const auto* params = host.Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    Lists lists;
    std::vector<float> in0(kFrames, 0.25f), in1(kFrames, -0.25f), out0(kFrames), out1(kFrames);
    float* ins[2] = {in0.data(), in1.data()};
    float* outs[2] = {out0.data(), out1.data()};
    clap_audio_buffer_t inBuf{}, outBuf{};
    inBuf.data32 = ins;
    outBuf.data32 = outs;
    inBuf.channel_count = outBuf.channel_count = 2;
    clap_process_t p{};
    p.frames_count = kFrames;
    p.audio_inputs = &inBuf;
    p.audio_outputs = &outBuf;
    p.audio_inputs_count = p.audio_outputs_count = 1;
    p.in_events = &lists.in;
    p.out_events = &lists.out;
    const std::initializer_list<std::array<double, 3>> blocks[] = {
        {},
        {{100, 1, 0.25}, {300, 3, 1.5}},
        {{0, kProgram, 3.0}, {200, 4, 0.0}, {201, 4, 1.0}},
        {{511, 2, 0.5}},
    };
    for (int round = 0; round < 3; ++round) {
        for (const auto& events : blocks) {
            lists.Set(events);
            const long before = AllocationCount();
            EXPECT_EQ(plugin->process(plugin, &p), CLAP_PROCESS_CONTINUE);
            params->flush(plugin, &lists.in, &lists.out);
            EXPECT_EQ(AllocationCount(), before) << "round " << round;
        }
    }
    // The program reported all five values, each time it was chosen (in process and in flush).
    EXPECT_EQ(lists.pushed, 3u * 2u * 5u);
}
