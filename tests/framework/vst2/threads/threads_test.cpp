// Several host threads on one instance, and several threads creating instances at once. Meant to run
// under ThreadSanitizer: any race in the binding shows up as a report; a deadlock hangs the test.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/vst2/Conformance.h"
#include "tests/support/vst2/TestEffect.h"

namespace {

constexpr int kRounds = 10000;
constexpr int kShippedRounds = 4000;

TEST(Vst2Threads, AudioAutomationAndProgramThreadsOnTheTestEffect) {
    TestEffect::sNextConfig = TestEffectConfig();
    RunThreadStress(TestEffect::Entry, kRounds);
}

TEST(Vst2Threads, EditorGesturesWhileTheHostProcessesAndAutomates) {
    TestEffect::sNextConfig = TestEffectConfig();
    TestHost host;
    AEffect* e = host.Load(TestEffect::Entry);
    ASSERT_NE(e, nullptr);
    host.Open(44100.0f, 256);
    TestEffect* plug = TestEffect::From(e);
    std::atomic<bool> done{false};
    std::thread editor([&] {
        for (int k = 0; k < kRounds; ++k) plug->SimulateEdit(k % 5, (k % 10) / 10.0);
        done = true;
    });
    std::vector<float> buf(256, 0.5f);
    float* io[2] = {buf.data(), buf.data()};
    int blocks = 0;
    while (!done.load() || blocks < 10) {
        host.ProcessReplacing(io, io, 256);
        host.SetParameter(blocks % 5, 0.25f);
        ++blocks;
    }
    editor.join();
    // Every gesture reached the host whole: as many begins as ends as automations.
    EXPECT_EQ(host.Calls(audioMasterBeginEdit).size(), static_cast<size_t>(kRounds));
    EXPECT_EQ(host.Calls(audioMasterEndEdit).size(), static_cast<size_t>(kRounds));
    EXPECT_EQ(host.Calls(audioMasterAutomate).size(), static_cast<size_t>(kRounds));
}

// Parameters set from several threads at once (the host's automation, the editor, typed values) while
// blocks run: when they are done the effect has mapped every parameter's last value (no change is lost,
// whichever thread held the plug-in mutex when it came), and the record's latency is the delay those
// values give.
TEST(Vst2Threads, TheLastValueOfEveryParameterIsMapped) {
    TestEffect::sNextConfig = TestEffectConfig();
    TestHost host;
    AEffect* e = host.Load(TestEffect::Entry);
    ASSERT_NE(e, nullptr);
    host.Open(44100.0f, 64);
    TestEffect* plug = TestEffect::From(e);
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> buf(64, 0.5f);
        float* io[2] = {buf.data(), buf.data()};
        while (!stop) host.ProcessReplacing(io, io, 64);
    });
    const int kParams[] = {TestEffect::kDepth, TestEffect::kVol, TestEffect::kOnOff};
    std::vector<std::thread> writers;
    for (int w = 0; w < 3; ++w) {
        writers.emplace_back([&, w] {
            char text[16];
            for (int k = 0; k < kRounds / 4; ++k) {
                const int p = kParams[(k + w) % 3];
                const float v = static_cast<float>((k * 7 + w * 3) % 11) / 10.0f;
                if (w == 0) host.SetParameter(p, v);
                if (w == 1) plug->SimulateEdit(p, v);
                if (w == 2) {
                    std::snprintf(text, sizeof(text), "%.1f", p == TestEffect::kVol ? 2.0 * v : v);
                    host.Dispatch(effString2Parameter, p, 0, text);
                }
            }
        });
    }
    for (std::thread& t : writers) t.join();
    stop = true;
    audio.join();
    // No block has run since: whoever let go of the mutex last mapped what was queued.
    const double depth = plug->GetParam(TestEffect::kDepth)->Value();
    const bool on = plug->GetParam(TestEffect::kOnOff)->Value() != 0.0;
    EXPECT_EQ(plug->mMapping.mVolume, plug->GetParam(TestEffect::kVol)->Value());
    EXPECT_EQ(plug->mMapping.mOnOff, on);
    EXPECT_EQ(plug->mMapping.mDelaySamples,
              std::min(static_cast<int>(1500.0 * std::exp(std::log(depth) / 3.0)), 1500));
    EXPECT_EQ(e->initialDelay, on ? plug->mMapping.mDelaySamples : 0);
    host.Close();
}

TEST(Vst2Threads, InstancesAreCreatedAndClosedConcurrently) {
    TestEffect::sNextConfig = TestEffectConfig();
    std::vector<std::thread> threads;
    std::atomic<int> created{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&created] {
            for (int k = 0; k < 25; ++k) {
                TestHost host;
                if (!host.Load(TestEffect::Entry)) continue;
                host.Open();
                ++created;
                host.Close();
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(created.load(), 100);
}

#ifdef TIDEBLOOM_SO_PATH
TEST(Vst2Threads, AudioAutomationAndProgramThreadsOnTheShippedPlugin) {
    PluginLibrary lib(TIDEBLOOM_SO_PATH);
    ASSERT_TRUE(lib.IsLoaded()) << lib.Error();
    ASSERT_NE(lib.PluginMain(), nullptr);
    RunThreadStress(lib.PluginMain(), kShippedRounds);
}

TEST(Vst2Threads, ShippedInstancesAreCreatedAndClosedConcurrently) {
    PluginLibrary lib(TIDEBLOOM_SO_PATH);
    ASSERT_TRUE(lib.IsLoaded()) << lib.Error();
    VstPluginEntryProc entry = lib.PluginMain();
    std::vector<std::thread> threads;
    std::atomic<int> created{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&created, entry] {
            for (int k = 0; k < 10; ++k) {
                TestHost host;
                if (!host.Load(entry)) continue;
                host.Open();
                ++created;
                host.Close();
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(created.load(), 40);
}
#endif

} // namespace
