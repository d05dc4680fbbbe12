// The conversion tables between the knobs' normalised values and the texts a musician reads and types:
// exact texts at the edges and in between, what typed text reads as (units, clamping, steps), text that
// is refused, and every step of every parameter printed and read back.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "Graphics/TidebloomUnits.h"
#include "TidebloomDescription.h"

namespace {

std::string Text(int param, double normalized) {
    char buf[32];
    TidebloomUnitsFor(param)->Format(normalized, buf, sizeof buf);
    return buf;
}

// Time's normalised value for a length in seconds, from the envelope's rule 10^(3t - 2).
double TimeFor(double seconds) {
    return (std::log10(seconds) + 2.0) / 3.0;
}

TEST(TidebloomUnits, ReadoutTexts) {
    struct Case {
        int param;
        double normalized;
        const char* text;
    };
    const Case cases[] = {
        {kSensitivity, 0.0, "0.0 %"},
        {kSensitivity, 0.7, "70.0 %"},
        {kSensitivity, 1.0, "100.0 %"},
        {kDepth, 0.75, "75.0 %"},
        {kDepth, 0.001, "0.1 %"},
        {kTime, 0.0, "10 ms"},
        {kTime, TimeFor(0.012), "12 ms"},
        {kTime, TimeFor(0.0994), "99 ms"},
        {kTime, TimeFor(0.0996), "0.10 s"}, // 99.6 ms rounds to 100: seconds from there
        {kTime, 0.5, "0.32 s"},             // 0.3162 s, the default
        {kTime, 2.0 / 3.0, "1.00 s"},
        {kTime, 0.999, "9.93 s"},
        {kTime, 1.0, "10.0 s"},
        {kVol, 0.0, "\xE2\x88\x92\xE2\x88\x9E dB"}, // −∞ dB
        {kVol, 0.0005,
         "\xE2\x88\x92"
         "60.0 dB"}, // the smallest step, gain 0.001
        {kVol, 0.25,
         "\xE2\x88\x92"
         "6.0 dB"},               // gain 0.5
        {kVol, 0.4999, "0.0 dB"}, // -0.002 dB prints without a sign
        {kVol, 0.5, "0.0 dB"},
        {kVol, 1.0, "+6.0 dB"},
        {kOnOff, 0.0, "Off"},
        {kOnOff, 1.0, "On"},
        // Outside 0..1 (a control before its clamp) and NaN print as the nearest end.
        {kSensitivity, 1.5, "100.0 %"},
        {kSensitivity, -0.5, "0.0 %"},
        {kTime, NAN, "10 ms"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(c.param, c.normalized), c.text) << c.param << " " << c.normalized;
    // A short buffer is cut, never overrun.
    char small[4] = {'x', 'x', 'x', 'x'};
    TidebloomUnitsFor(kSensitivity)->Format(0.7, small, 4);
    EXPECT_STREQ(small, "70.");
    EXPECT_EQ(TidebloomUnitsFor(kNumParams), nullptr);
    EXPECT_EQ(TidebloomUnitsFor(-1), nullptr);
}

TEST(TidebloomUnits, TypedValues) {
    struct Case {
        int param;
        const char* text;
        double normalized; // < 0: refused
    };
    const Case cases[] = {
        // Time: a bare number is seconds; clamped to 0.01 .. 10 s, put on the 0.001 step.
        {kTime, "350 ms", 0.515}, // (log10 0.35 + 2) / 3 = 0.51469
        {kTime, "0.35", 0.515},
        {kTime, "0.35 s", 0.515},
        {kTime, "0,35s", 0.515},
        {kTime, "  350MS ", 0.515},
        {kTime, "1 s", 0.667},
        {kTime, "20 s", 1.0},
        {kTime, "5 ms", 0.0},
        {kTime, "0", 0.0},
        {kTime, "-2", 0.0},
        {kTime, "40 %", -1},
        {kTime, "3 dB", -1},
        // Vol: decibels of a 0..2 gain (normalised: half the gain).
        {kVol, "-3 dB", 0.354}, // gain 0.70795 on the step: 0.708
        {kVol, "-3", 0.354},
        {kVol,
         "\xE2\x88\x92"
         "3 dB",
         0.354},
        {kVol, "- 3 db", 0.354},
        {kVol, "6", 0.9975}, // 1.99526: 1.995, not the top
        {kVol, "+20 dB", 1.0},
        {kVol, "-100", 0.0},
        {kVol, "\xE2\x88\x92\xE2\x88\x9E dB", 0.0},
        {kVol, "-inf", 0.0},
        {kVol, "0", 0.5},
        {kVol, "3 %", -1},
        // Sensitivity and Depth: percent; a bare number is percent too.
        {kSensitivity, "40 %", 0.4},
        {kSensitivity, "40", 0.4},
        {kDepth, "40%", 0.4},
        {kDepth, "40.04", 0.4},
        {kDepth, "140", 1.0},
        {kDepth, "-5 %", 0.0},
        {kDepth, "40 ms", -1},
        // OnOff: the words or a number.
        {kOnOff, "On", 1.0},
        {kOnOff, "off", 0.0},
        {kOnOff, " OFF ", 0.0},
        {kOnOff, "1", 1.0},
        {kOnOff, "0", 0.0},
        {kOnOff, "maybe", -1},
        // What no table reads.
        {kTime, "", -1},
        {kTime, "   ", -1},
        {kTime, "abc", -1},
        {kTime, "nan", -1},
        {kTime, "1e3", -1},
        {kTime, "350 ms ms", -1},
        {kTime, "--3", -1},
        {kTime, "3..5", -1},
        {kTime, "1 2", -1},
        {kTime, ".", -1},
        {kTime, "+", -1},
        {kVol, "dB", -1},
        {kVol, "3 dBx", -1},
    };
    for (const Case& c : cases) {
        double value = 0.123; // untouched when refused
        const bool read = TidebloomUnitsFor(c.param)->Parse(c.text, &value);
        EXPECT_EQ(read, c.normalized >= 0.0) << c.param << " '" << c.text << "'";
        if (c.normalized >= 0.0)
            EXPECT_NEAR(value, c.normalized, 1e-12) << c.param << " '" << c.text << "'";
        else
            EXPECT_EQ(value, 0.123) << c.param << " '" << c.text << "'";
    }
    double value = 0.123;
    EXPECT_FALSE(TidebloomUnitsFor(kTime)->Parse(nullptr, &value));
}

// Every step of every parameter: its readout reads back to a value that prints the same; where the
// readout is as fine as the step (percent, the switch), to that very step.
TEST(TidebloomUnits, EveryReadoutReadsBack) {
    for (int param = 0; param < kNumParams; ++param) {
        const IParamDescription& d = kTidebloomDescription.mParams[static_cast<size_t>(param)];
        const int steps = static_cast<int>(std::lround((d.mMax - d.mMin) / d.mStep));
        const bool exact = param == kSensitivity || param == kDepth || param == kOnOff;
        for (int i = 0; i <= steps; ++i) {
            const double normalized = static_cast<double>(i) / steps;
            const std::string text = Text(param, normalized);
            double back = -1.0;
            ASSERT_TRUE(TidebloomUnitsFor(param)->Parse(text.c_str(), &back)) << param << " '" << text << "'";
            EXPECT_EQ(Text(param, back), text) << param << " step " << i;
            if (exact) {
                EXPECT_NEAR(back, normalized, 1e-12) << param << " step " << i;
            }
        }
    }
}

} // namespace
