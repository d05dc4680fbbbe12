#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <xmmintrin.h>

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

// For the life of a scope the calling thread flushes subnormal results to zero (FTZ) and/or reads
// subnormal operands as zero (DAZ); the previous mode comes back afterwards.
class FloatMode {
public:
    static constexpr unsigned kFlushToZero = 0x8000, kDenormalsAreZero = 0x0040;
    explicit FloatMode(unsigned bits) : mSaved(_mm_getcsr()) {
        _mm_setcsr((mSaved & ~(kFlushToZero | kDenormalsAreZero)) | bits);
    }
    ~FloatMode() { _mm_setcsr(mSaved); }
    FloatMode(const FloatMode&) = delete;
    FloatMode& operator=(const FloatMode&) = delete;

private:
    unsigned mSaved;
};

TEST(SampleConvert, ShortLengthsAtEveryAlignmentWithAndWithoutSubnormalFlushing) {
    // Lengths 0 to 9 (the wide part, the tail, or both), destinations at every offset in a 32-byte
    // line; sources of exactly the length, so the address sanitizer sees any read beyond them,
    // and guards around the destination for any write. Each result must be the one-at-a-time
    // conversion in the same floating-point mode.
    constexpr float kGuardF = -5.5f;
    constexpr double kGuardD = -5.5;
    const unsigned modes[] = {0, FloatMode::kFlushToZero, FloatMode::kDenormalsAreZero,
                              FloatMode::kFlushToZero | FloatMode::kDenormalsAreZero};
    for (const Form& form : Forms()) {
        if (!form.available) continue;
        for (unsigned bits : modes) {
            FloatMode mode(bits);
            for (int n = 0; n <= 9; ++n) {
                for (int offset = 0; offset < 8; ++offset) {
                    SCOPED_TRACE(testing::Message()
                                 << form.name << " mode " << bits << " n " << n << " offset " << offset);
                    const std::vector<double> d =
                        Doubles(n, 77u * static_cast<unsigned>(n + 1) + static_cast<unsigned>(offset));
                    std::vector<float> f(static_cast<size_t>(n));
                    for (int i = 0; i < n; ++i) // floats with subnormals among them
                        f[static_cast<size_t>(i)] = (i + offset) % 3 == 0
                                                        ? static_cast<float>(1e-40 * (i - 4))
                                                        : static_cast<float>(d[static_cast<size_t>(i)]);
                    const size_t start = 4 + static_cast<size_t>(offset);

                    std::vector<float> outF(static_cast<size_t>(n) + 16, kGuardF);
                    form.toFloat(d.data(), outF.data() + start, n);
                    for (size_t i = 0; i < outF.size(); ++i) {
                        const bool inside = i >= start && i < start + static_cast<size_t>(n);
                        const float want = inside ? static_cast<float>(d[i - start]) : kGuardF;
                        ASSERT_EQ(Bits(outF[i]), Bits(want)) << "double to float at " << i;
                    }

                    std::vector<double> outD(static_cast<size_t>(n) + 16, kGuardD);
                    form.toDouble(f.data(), outD.data() + start, n);
                    for (size_t i = 0; i < outD.size(); ++i) {
                        const bool inside = i >= start && i < start + static_cast<size_t>(n);
                        const double want = inside ? static_cast<double>(f[i - start]) : kGuardD;
                        ASSERT_EQ(Bits(outD[i]), Bits(want)) << "float to double at " << i;
                    }

                    std::vector<float> acc(static_cast<size_t>(n) + 16, kGuardF);
                    for (int i = 0; i < n; ++i)
                        acc[start + static_cast<size_t>(i)] = f[static_cast<size_t>(n - 1 - i)];
                    std::vector<float> want = acc;
                    for (int i = 0; i < n; ++i)
                        want[start + static_cast<size_t>(i)] += static_cast<float>(d[static_cast<size_t>(i)]);
                    form.accumulate(d.data(), acc.data() + start, n);
                    for (size_t i = 0; i < acc.size(); ++i)
                        ASSERT_EQ(Bits(acc[i]), Bits(want[i])) << "accumulate at " << i;
                }
            }

            // The mode is in effect for the wide part and the tail alike: 1e-40 is a subnormal float.
            const std::vector<double> tiny(9, 1e-40);
            std::vector<float> tf(9);
            form.toFloat(tiny.data(), tf.data(), 9);
            const std::vector<float> tinyF(9, tf[0]);
            std::vector<double> td(9);
            form.toDouble(tinyF.data(), td.data(), 9);
            for (int i = 0; i < 9; ++i) {
                SCOPED_TRACE(testing::Message() << form.name << " mode " << bits << " i " << i);
                // Rounded to 71362 times the smallest float subnormal, unless flushed.
                EXPECT_EQ(Bits(tf[static_cast<size_t>(i)]),
                          (bits & FloatMode::kFlushToZero) ? 0u : 0x000116C2u);
                const bool zero = (bits & FloatMode::kFlushToZero) || (bits & FloatMode::kDenormalsAreZero);
                EXPECT_EQ(Bits(td[static_cast<size_t>(i)]), zero ? 0u : 0x37A16C2000000000u);
            }
        }
    }
}

} // namespace
