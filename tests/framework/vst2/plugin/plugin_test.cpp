// The shipped plug-in, opened the way a host opens it: dlopen(RTLD_NOW) on the shared object, the entry
// function found by name, and from then on only the effect record.
#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/vst2/Conformance.h"

namespace {

class ShippedPluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(lib.IsLoaded()) << lib.Error();
        ASSERT_NE(lib.PluginMain(), nullptr);
    }
    PluginLibrary lib{TIDEBLOOM_SO_PATH};
};

TEST_F(ShippedPluginTest, BothEntryFunctionsCreateAnInstance) {
    ASSERT_NE(lib.Main(), nullptr);
    TestHost a, b;
    AEffect* ea = a.Load(lib.PluginMain());
    AEffect* eb = b.Load(lib.Main());
    ASSERT_NE(ea, nullptr);
    ASSERT_NE(eb, nullptr);
    EXPECT_NE(ea, eb);
    EXPECT_EQ(ea->uniqueID, eb->uniqueID);
    EXPECT_EQ(ea->flags, eb->flags);
}

TEST_F(ShippedPluginTest, Record) {
    ExpectShippedRecord(lib.PluginMain(), EditorKind::kShipped);
}

TEST_F(ShippedPluginTest, DispatcherAnswers) {
    ExpectShippedOpcodes(lib.PluginMain(), EditorKind::kShipped);
}

TEST_F(ShippedPluginTest, ChunkBytesAndRoundTrips) {
    ExpectShippedChunks(lib.PluginMain());
}

TEST_F(ShippedPluginTest, HostValuesAreSanitised) {
    ExpectHostValuesSanitised(lib.PluginMain());
}

TEST_F(ShippedPluginTest, AudioCallbacksAgree) {
    ExpectAudioCallbacksAgree(lib.PluginMain());
}

TEST_F(ShippedPluginTest, OpensAndProcessesAudio) {
    TestHost host;
    ASSERT_NE(host.Load(lib.PluginMain()), nullptr);
    host.Open(44100.0f, 512);
    // OnOff off: the plug-in passes its input through unchanged and reports no latency.
    host.SetParameter(4, 0.0f);
    EXPECT_EQ(host.Effect()->initialDelay, 0);
    std::vector<float> in(512), out(512, 9.0f);
    for (int i = 0; i < 512; ++i) in[i] = std::sin(i * 0.05f) * 0.5f;
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {out.data(), out.data()};
    host.ProcessReplacing(inputs, outputs, 512);
    for (int i = 0; i < 512; ++i) ASSERT_EQ(out[i], in[i]) << i;
    host.Close();
}

} // namespace
