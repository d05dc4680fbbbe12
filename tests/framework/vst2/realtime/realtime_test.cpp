// The audio thread never waits for the host's other threads. A host whose notifications (automation,
// gestures, audioMasterIOChanged, audioMasterUpdateDisplay ...) take 50 ms to return on those threads —
// its user interface is busy — runs 512-frame blocks on an audio thread of its own while the editor is
// worked, programs are switched and chunks saved and loaded, or every parameter is automated. Each audio
// callback must stay well below those 50 ms.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <ostream>
#include <thread>

#include "tests/support/editor/EditorTestEffect.h"
#include "tests/support/realtime/RealtimeScenes.h"
#include "tests/support/vst2/Conformance.h"
#include "tests/support/vst2/TestEffect.h"

namespace {

const SceneOptions kOptions;

// The scenes' host really is slow: an editor gesture (begin, automation, end) waits for it three times
// on any thread, and not at all on the thread it takes for the audio thread.
TEST(SlowHost, DelaysNotificationsOnEveryThreadButTheAudioThread) {
    constexpr auto kDelay = std::chrono::milliseconds(20);
    TestEffect::sNextConfig = TestEffectConfig();
    TestHost host;
    ASSERT_NE(host.Load(TestEffect::Entry), nullptr);
    host.Open();
    host.SetUiDelay(kDelay);
    TestEffect* plug = TestEffect::From(host.Effect());
    for (bool onAudioThread : {false, true}) {
        SCOPED_TRACE(onAudioThread ? "on the audio thread" : "on another thread");
        host.SetAudioThread(onAudioThread ? std::this_thread::get_id() : std::thread::id());
        const long before = host.UiNotifications();
        const auto start = std::chrono::steady_clock::now();
        plug->SimulateEdit(TestEffect::kVol, onAudioThread ? 0.25 : 0.75);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(host.UiNotifications() - before, onAudioThread ? 0 : 3);
        if (onAudioThread)
            EXPECT_LT(took, kDelay);
        else
            EXPECT_GE(took, 3 * kDelay);
    }
    host.SetUiDelay(std::chrono::milliseconds(0));
    host.Close();
}

enum class Plugin { kTestEffect, kEditorTestEffect, kShipped };

struct Case {
    const char* name;
    Plugin plugin;
    SceneResult (*scene)(TestHost&, const SceneOptions&);
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class HostThreadsWhileAudioRuns : public ::testing::TestWithParam<Case> {};

TEST_P(HostThreadsWhileAudioRuns, AudioNeverWaitsForThem) {
    const Case& c = GetParam();
    std::unique_ptr<PluginLibrary> lib;
    VstPluginEntryProc entry =
        c.plugin == Plugin::kEditorTestEffect ? EditorTestEffect::Entry : TestEffect::Entry;
    TestEffect::sNextConfig = TestEffectConfig();
    if (c.plugin == Plugin::kShipped) {
        lib = std::make_unique<PluginLibrary>(TIDEBLOOM_SO_PATH);
        ASSERT_TRUE(lib->IsLoaded()) << lib->Error();
        entry = lib->PluginMain();
        ASSERT_NE(entry, nullptr);
    }
    TestHost host;
    ASSERT_NE(host.Load(entry), nullptr);
    host.Open(44100.0f, kOptions.blockFrames);
    const SceneResult result = c.scene(host, kOptions);
    std::printf("%s: %s\n", c.name, result.Describe().c_str());
    EXPECT_TRUE(AudioNeverWaited(result, kOptions));
    host.Close();
}

INSTANTIATE_TEST_SUITE_P(
    Scenes, HostThreadsWhileAudioRuns,
    ::testing::Values(Case{"HeadlessEditorOfTheEditorTestEffect", Plugin::kEditorTestEffect,
                           RunHeadlessEditorScene},
                      Case{"ChunksAndProgramsOfTheTestEffect", Plugin::kTestEffect, RunChunkScene},
                      Case{"ChunksAndProgramsOfTheShippedPlugin", Plugin::kShipped, RunChunkScene},
                      Case{"AutomationOfTheTestEffect", Plugin::kTestEffect, RunAutomationScene},
                      Case{"AutomationOfTheShippedPlugin", Plugin::kShipped, RunAutomationScene}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

} // namespace
