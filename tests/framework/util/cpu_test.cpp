#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "framework/util/Util_Cpu.h"

namespace {

// First in this binary, so the answer is worked out here, with several threads asking at once
// (as plug-in instances processing on several host threads do); run under ThreadSanitizer too.
TEST(UtilCpu, FirstUseFromSeveralThreadsAtOnceGivesOneAnswer) {
    constexpr int kThreads = 8;
    std::atomic<int> waiting{kThreads};
    std::vector<int> answers(kThreads, -1);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&waiting, &answers, t] {
            --waiting;
            while (waiting.load() > 0) {}
            answers[static_cast<size_t>(t)] = Util_CpuHasAVX() ? 1 : 0;
        });
    }
    for (std::thread& t : threads) t.join();
    const char* off = std::getenv("TIDEBLOOM_NO_AVX");
    __builtin_cpu_init();
    const int want = (off && *off) ? 0 : (__builtin_cpu_supports("avx") != 0 ? 1 : 0);
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(answers[static_cast<size_t>(t)], want) << t;
}

// CTest runs this binary twice: as it is, and with TIDEBLOOM_NO_AVX=1 (test_util_baseline).
TEST(UtilCpu, AnswersFromTheProcessorUnlessSwitchedOff) {
    const char* off = std::getenv("TIDEBLOOM_NO_AVX");
    const bool first = Util_CpuHasAVX();
    if (off && *off) {
        EXPECT_FALSE(first);
    } else {
        __builtin_cpu_init();
        EXPECT_EQ(first, __builtin_cpu_supports("avx") != 0);
    }
    // Read once: changing the environment afterwards changes nothing.
    setenv("TIDEBLOOM_NO_AVX", first ? "1" : "", 1);
    EXPECT_EQ(Util_CpuHasAVX(), first);
}

} // namespace
