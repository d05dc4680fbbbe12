#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "framework/plugin/SampleConvert.h"
#include "framework/util/Util_Cpu.h"

namespace {

uint32_t Bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

uint64_t Bits(double d) {
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

// Values whose conversion is interesting: halfway cases, subnormals, overflow to infinity, NaN.
std::vector<double> Doubles(int n, unsigned seed) {
    std::mt19937_64 rng(seed);
    const double specials[] = {0.0,
                               -0.0,
                               1.0 + std::ldexp(1.0, -24), // exactly halfway between two floats
                               1.0 + 3 * std::ldexp(1.0, -24),
                               1e-40,
                               -1e-45,
                               1e39,
                               -1e300,
                               std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::denorm_min()};
    std::vector<double> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        uint64_t r = rng();
        if (r % 3 == 0) {
            v[static_cast<size_t>(i)] = specials[r % (sizeof specials / sizeof specials[0])];
        } else {
            double d;
            std::memcpy(&d, &r, sizeof d);
            v[static_cast<size_t>(i)] =
                (r % 3 == 1) ? d : std::ldexp(static_cast<double>(r >> 11), -53) * 2 - 1;
        }
    }
    return v;
}

// The dispatching routines and both forms behind them (the AVX form only where it can run).
struct Form {
    const char* name;
    void (*toDouble)(const float*, double*, int);
    void (*toFloat)(const double*, float*, int);
    void (*accumulate)(const double*, float*, int);
    bool available;
};

std::vector<Form> Forms() {
    return {{"dispatch", ConvertFloatToDouble, ConvertDoubleToFloat, AccumulateDoubleToFloat, true},
            {"SSE2", SampleConvertSSE2::FloatToDouble, SampleConvertSSE2::DoubleToFloat,
             SampleConvertSSE2::AccumulateToFloat, true},
            {"AVX", SampleConvertAVX::FloatToDouble, SampleConvertAVX::DoubleToFloat,
             SampleConvertAVX::AccumulateToFloat, Util_CpuHasAVX()}};
}

TEST(SampleConvert, EveryLengthMatchesOneSampleAtATime) {
    for (const Form& form : Forms()) {
        if (!form.available) continue;
        SCOPED_TRACE(form.name);
        for (int n = 0; n <= 37; ++n) {
            std::vector<double> d = Doubles(n, 1000u + static_cast<unsigned>(n));
            std::vector<float> f(static_cast<size_t>(n) + 1, 7.0f); // the guard after the end must stay
            form.toFloat(d.data(), f.data(), n);
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(Bits(f[i]), Bits(static_cast<float>(d[i])))
                    << "double to float, n " << n << " i " << i;
            EXPECT_EQ(f[static_cast<size_t>(n)], 7.0f);

            std::vector<double> back(static_cast<size_t>(n) + 1, 7.0);
            form.toDouble(f.data(), back.data(), n);
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(Bits(back[i]), Bits(static_cast<double>(f[i])))
                    << "float to double, n " << n << " i " << i;
            EXPECT_EQ(back[static_cast<size_t>(n)], 7.0);

            std::vector<float> acc(static_cast<size_t>(n) + 1, 0.25f), expect = acc;
            std::vector<double> add = Doubles(n, 2000u + static_cast<unsigned>(n));
            form.accumulate(add.data(), acc.data(), n);
            for (int i = 0; i < n; ++i) {
                expect[i] += static_cast<float>(add[i]);
                ASSERT_EQ(Bits(acc[i]), Bits(expect[i])) << "accumulate, n " << n << " i " << i;
            }
            EXPECT_EQ(acc[static_cast<size_t>(n)], 0.25f);
        }
    }
}

} // namespace
