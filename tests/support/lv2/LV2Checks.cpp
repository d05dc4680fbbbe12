#include "tests/support/lv2/LV2Checks.h"

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/lv2/LV2TestHost.h"

namespace {

const float kDefaults[5] = {0.7f, 0.5f, 0.75f, 1.0f, 1.0f};

// Decaying tone bursts, a few a second, different on each channel.
void FillSignal(float* l, float* r, int n, int offset) {
    for (int k = 0; k < n; ++k) {
        const int t = (k + offset) % 11025;
        const double env = std::exp(-t / 3000.0);
        l[k] = static_cast<float>(0.8 * env * std::sin(0.06 * (k + offset)));
        r[k] = static_cast<float>(0.5 * env * std::sin(0.045 * (k + offset) + 0.3));
    }
}

bool StartDefaults(LV2TestHost& host, const LV2_Descriptor* descriptor, int maxBlock) {
    if (!host.Instantiate(descriptor, 44100.0, maxBlock)) return false;
    for (int i = 0; i < 5; ++i) host.SetControl(i, kDefaults[i]);
    host.Activate();
    return true;
}

} // namespace

void RunLV2ThreadStress(const LV2_Descriptor* descriptor, int rounds,
                        const std::function<void(LV2_Handle, int)>& sideWork) {
    LV2TestHost host;
    ASSERT_TRUE(StartDefaults(host, descriptor, 512));
    const int nThreads = sideWork ? 3 : 2;
    std::atomic<int> ready{0};
    std::atomic<bool> audioDone{false}, nonFinite{false}, saveFailed{false};
    auto waitForAll = [&] {
        ready.fetch_add(1);
        while (ready.load() < nThreads) std::this_thread::yield();
    };
    std::thread audio([&] {
        waitForAll();
        const float values[] = {
            0.0f, 0.3f, 1.0f, 0.75f, 2.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()};
        for (int b = 0; b < rounds; ++b) {
            host.SetControl(b % 5, values[b % 7]);
            FillSignal(host.In(0), host.In(1), 512, b * 512);
            host.Run(512);
            for (int i = 0; i < 512; ++i)
                if (!std::isfinite(host.Out(0)[i]) || !std::isfinite(host.Out(1)[i])) nonFinite = true;
        }
        audioDone = true;
    });
    std::thread saver([&] {
        waitForAll();
        while (!audioDone.load()) {
            LV2TestHost::State state;
            if (host.Save(&state) != LV2_STATE_SUCCESS || state.size() != 1 ||
                state.begin()->second.mBytes.size() != 48)
                saveFailed = true;
        }
    });
    std::thread side;
    if (sideWork) {
        side = std::thread([&] {
            waitForAll();
            for (int k = 0; k < rounds; ++k) sideWork(host.Handle(), k);
        });
    }
    audio.join();
    saver.join();
    if (side.joinable()) side.join();
    EXPECT_FALSE(nonFinite.load());
    EXPECT_FALSE(saveFailed.load());
}

void RunLV2InstancesConcurrently(const LV2_Descriptor* descriptor, int perThread) {
    std::atomic<int> created{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int k = 0; k < perThread; ++k) {
                LV2TestHost host;
                if (!StartDefaults(host, descriptor, 0)) continue;
                FillSignal(host.In(0), host.In(1), 256, k);
                host.Run(256);
                ++created;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(created.load(), 4 * perThread);
}

void ExpectNoAllocationInRun(const LV2_Descriptor* descriptor, long (*allocCount)()) {
    constexpr int kBlock = 512;
    LV2TestHost host;
    const long beforeCreation = allocCount();
    ASSERT_TRUE(StartDefaults(host, descriptor, kBlock));
    // Creating an instance allocates: proof that the counter sees the plug-in's allocations.
    EXPECT_GT(allocCount() - beforeCreation, 0);
    FillSignal(host.In(0), host.In(1), LV2TestHost::kMaxFrames, 0);

    const long before = allocCount();
    for (int round = 0; round < 10; ++round) {
        for (int i = 0; i < 5; ++i) host.SetControl(i, static_cast<float>((round * 5 + i) % 7) / 6.0f);
        host.Run(kBlock);
        host.Run(1);
        host.Run(100);
        host.Run(0);
        // Longer than the host said its blocks would be: processed in pieces, still without allocating.
        host.Run(3 * kBlock + 17);
        if (round % 2 == 0) {
            host.ConnectPort(1, nullptr); // a mono track
            host.Run(kBlock);
            host.ConnectPort(1, host.In(1));
        }
    }
    EXPECT_EQ(allocCount() - before, 0) << "allocations inside run";
}
