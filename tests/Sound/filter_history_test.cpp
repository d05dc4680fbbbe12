// FilterLP2 coefficients and recurrence, and the History delay line against a plain shifting array.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "Sound/FilterLP2.h"
#include "Sound/History.h"

namespace {

FilterLP2 MakeFilter(double sr, double q, double fc) {
    FilterLP2 f;
    f.SetSampleRate(sr);
    f.SetQ(q);
    f.SetCutoff(fc);
    f.UpdateCoefficients();
    return f;
}

} // namespace

TEST(FilterLP2, CoefficientsUseTheDocumentedProducts) {
    struct Case {
        double fc, w, twoPiFc;
    };
    const Case cases[] = {{6.0, 31.41592653589793, 37.69911184307752},
                          {60.0, 314.1592653589793, 376.99111843077515}};
    for (const Case& c : cases) {
        for (double sr : {44100.0, 96000.0}) {
            const FilterLP2 f = MakeFilter(sr, 0.6, c.fc);
            const double b = c.twoPiFc / sr;
            EXPECT_EQ(f.GetW(), c.w);
            EXPECT_EQ(f.GetNorm(), 1.0 / (c.w / sr + 1.0));
            EXPECT_EQ(f.GetB0(), b * b);
            EXPECT_EQ(f.GetA1(), 2.0 - b * b);
            EXPECT_EQ(f.GetA2(), c.w / sr - 1.0);
        }
    }
    // Default cutoff 3000 Hz: pi x 3000 is taken before the division by Q.
    FilterLP2 d;
    EXPECT_EQ(d.GetCutoff(), 3000.0);
    d.SetSampleRate(48000.0);
    d.SetQ(0.6);
    d.UpdateCoefficients();
    EXPECT_EQ(d.GetW(), 9424.77796076938 / 0.6);
    EXPECT_EQ(d.GetB0(), (18849.55592153876 / 48000.0) * (18849.55592153876 / 48000.0));
}

TEST(FilterLP2, RecurrenceOrderAndBothBufferForms) {
    const double sr = 44100.0, w = 314.1592653589793, b = 376.99111843077515 / sr;
    const double b0 = b * b, a1 = 2.0 - b0, a2 = w / sr - 1.0, norm = 1.0 / (w / sr + 1.0);
    std::vector<double> in(300);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (double& v : in) v = dist(rng);
    std::vector<double> expected(in.size());
    double y1 = 0.0, y2 = 0.0;
    for (size_t i = 0; i < in.size(); ++i) {
        const double y = ((b0 * in[i] + a1 * y1) + a2 * y2) * norm;
        y2 = y1;
        y1 = y;
        expected[i] = y;
    }

    FilterLP2 byVector = MakeFilter(sr, 0.6, 60.0);
    std::vector<double> out(in.size());
    byVector.Process(in, out);
    EXPECT_EQ(out, expected);
    EXPECT_EQ(byVector.GetOut(), expected.back());
    EXPECT_EQ(byVector.GetY1(), expected.back());
    EXPECT_EQ(byVector.GetY2(), expected[expected.size() - 2]);

    // The pointer form continues across calls exactly like one long run.
    FilterLP2 byPointer = MakeFilter(sr, 0.6, 60.0);
    std::vector<double> out2(in.size());
    byPointer.Process(in.data(), out2.data(), 123);
    byPointer.Process(in.data() + 123, out2.data() + 123, static_cast<int>(in.size()) - 123);
    EXPECT_EQ(out2, expected);

    // A shorter output vector filters only its own length.
    FilterLP2 shortRun = MakeFilter(sr, 0.6, 60.0);
    std::vector<double> out3(10);
    shortRun.Process(in, out3);
    EXPECT_EQ(out3, std::vector<double>(expected.begin(), expected.begin() + 10));
}

TEST(FilterLP2, UnityGainAtZeroFrequency) {
    FilterLP2 f = MakeFilter(44100.0, 0.6, 6.0);
    double y = 0.0;
    for (int i = 0; i < 44100 * 5; ++i) y = f.Step(0.25);
    EXPECT_NEAR(y, 0.25, 1e-9); // coefficient rounding, amplified by poles close to 1
    f.ClearMemory();
    EXPECT_EQ(f.GetY1(), 0.0);
    EXPECT_EQ(f.GetY2(), 0.0);
    EXPECT_EQ(f.GetOut(), 0.0);
}

namespace {

// The delay line as a plain array, oldest first.
struct ShiftModel {
    std::vector<double> a;
    void Push(const double* block, int n) {
        const int size = static_cast<int>(a.size());
        if (size > n) {
            for (int m = 0; m < size - n; ++m) a[m] = a[m + n];
            for (int k = 0; k < n; ++k) a[size - n + k] = block[k];
        } else {
            for (int m = 0; m < size; ++m) a[m] = block[n - size + m];
        }
    }
};

void ExpectSame(const History<double>& h, const ShiftModel& m) {
    ASSERT_EQ(h.GetLength(), static_cast<int>(m.a.size()));
    for (int i = 0; i < h.GetLength(); ++i) ASSERT_EQ(h[i], m.a[i]) << "element " << i;
}

} // namespace

TEST(History, PushMatchesShiftingArrayForAnyBlockSize) {
    History<double> h;
    EXPECT_EQ(h.GetLength(), 256);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(h[i], 0.0);
    h.SetLength(1500);
    ShiftModel m{std::vector<double>(1500, 0.0)};
    ExpectSame(h, m);

    std::mt19937 rng(3);
    const int sizes[] = {1, 7, 512, 1499, 1500, 1501, 2000, 3, 640, 0, 1000, 997, 4096};
    double next = 1.0;
    for (int round = 0; round < 3; ++round) {
        for (int n : sizes) {
            std::vector<double> block(static_cast<size_t>(n));
            for (double& v : block) v = next++;
            h.Push(block.data(), n);
            m.Push(block.data(), n);
            ExpectSame(h, m);
        }
    }
    // Span walks the logical order in at most two contiguous runs.
    for (int start : {0, 1, 138, 1000, 1499}) {
        const int count = 1500 - start;
        int done = 0;
        int pieces = 0;
        while (done < count) {
            int run = 0;
            const double* p = h.Span(start + done, count - done, &run);
            ASSERT_GT(run, 0);
            for (int i = 0; i < run; ++i) ASSERT_EQ(p[i], m.a[start + done + i]);
            done += run;
            ++pieces;
        }
        EXPECT_LE(pieces, 2);
    }
}

TEST(History, SetLengthRepeatsNewestWhenGrowingAndDropsNewestWhenShrinking) {
    History<double> h;
    h.SetLength(4);
    const double first[] = {1.0, 2.0, 3.0};
    h.Push(first, 3); // 0 1 2 3, with the ring start moved
    const double more[] = {4.0, 5.0};
    h.Push(more, 2); // 2 3 4 5
    h.SetLength(6);
    const double grown[] = {2.0, 3.0, 4.0, 5.0, 5.0, 5.0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(h[i], grown[i]);
    h.SetLength(3);
    const double shrunk[] = {2.0, 3.0, 4.0};
    ASSERT_EQ(h.GetLength(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(h[i], shrunk[i]);
    const double last[] = {9.0};
    h.Push(last, 1);
    EXPECT_EQ(h[0], 3.0);
    EXPECT_EQ(h[2], 9.0);

    // A history of no length ignores pushes.
    h.SetLength(0);
    h.Push(last, 1);
    EXPECT_EQ(h.GetLength(), 0);
    h.SetLength(-5);
    EXPECT_EQ(h.GetLength(), 0);
    h.SetLength(2);
    EXPECT_EQ(h[0], 0.0);
    EXPECT_EQ(h[1], 0.0);
}
