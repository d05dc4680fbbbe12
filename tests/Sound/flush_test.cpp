// FlushDenormals: subnormal values become 0 inside the scope, and the caller's mode comes back.
#include <gtest/gtest.h>

#include <xmmintrin.h>

#include "Sound/FlushDenormals.h"

namespace {

// The control bits of the MXCSR register; bits 0-5 are sticky exception flags.
unsigned Mode() {
    return _mm_getcsr() & ~0x3Fu;
}

double Half(double x) {
    volatile double v = x;
    return v * 0.5;
}

} // namespace

TEST(FlushDenormals, FlushesInsideTheScopeAndRestoresTheCallersMode) {
    const double smallest = 2.2250738585072014e-308; // the smallest normal double
    const unsigned before = Mode();
    ASSERT_EQ(before & 0x8040u, 0u);
    EXPECT_GT(Half(smallest), 0.0);
    {
        const FlushDenormals flush;
        EXPECT_EQ(Half(smallest), 0.0);
        EXPECT_EQ(Half(1.0), 0.5); // normal results are untouched
    }
    EXPECT_EQ(Mode(), before);
    EXPECT_GT(Half(smallest), 0.0);

    // A caller that flushes already keeps its mode.
    _mm_setcsr(before | 0x8040u);
    {
        const FlushDenormals flush;
        EXPECT_EQ(Half(smallest), 0.0);
    }
    EXPECT_EQ(Mode(), before | 0x8040u);
    _mm_setcsr(before);
}
