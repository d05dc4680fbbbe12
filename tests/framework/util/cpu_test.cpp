#include <gtest/gtest.h>

#include <cstdlib>

#include "framework/util/Util_Cpu.h"

namespace {

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
