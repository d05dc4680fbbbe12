#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "framework/plugin/IParam.h"

namespace {

std::string Display(const IParam& p, double value, bool normalized = false, bool withText = true) {
    char buf[kMaxParamDisplayLen];
    p.GetDisplayForHost(value, normalized, buf, withText);
    return buf;
}

TEST(IParam, DefaultConstructed) {
    IParam p;
    EXPECT_EQ(p.Type(), IParam::kTypeNone);
    EXPECT_EQ(p.GetMin(), 0.0);
    EXPECT_EQ(p.GetMax(), 1.0);
    EXPECT_EQ(p.GetStep(), 1.0);
    EXPECT_EQ(p.GetShape(), 1.0);
    EXPECT_EQ(p.Value(), 0.0);
    EXPECT_EQ(p.GetPrecision(), 0);
    EXPECT_STREQ(p.GetNameForHost(), "");
    EXPECT_STREQ(p.GetLabelForHost(), "");
    EXPECT_EQ(p.GetNDisplayTexts(), 0);
}

TEST(IParam, DisplayPrecisionFollowsTheStep) {
    const struct {
        double step;
        int precision;
    } cases[] = {{1.0, 0},  {2.0, 0},   {0.5, 1},    {0.1, 1},  {0.25, 2},
                 {0.01, 2}, {0.001, 3}, {0.0001, 4}, {1e-7, 6}, {0.125, 3}};
    for (const auto& c : cases) {
        IParam p;
        p.InitDouble("x", 0.0, 0.0, 10.0, c.step, "", "", 1.0);
        EXPECT_EQ(p.GetPrecision(), c.precision) << "step " << c.step;
    }
}

TEST(IParam, InitDoubleStoresRangeTextsAndDisplaysWithPrecision) {
    IParam p;
    p.InitDouble("Sensitivity", 0.7, 0.0, 1.0, 0.001, "dB", "Main", 1.0);
    EXPECT_EQ(p.Type(), IParam::kTypeDouble);
    EXPECT_EQ(p.Value(), 0.7);
    EXPECT_EQ(p.GetPrecision(), 3);
    EXPECT_STREQ(p.GetNameForHost(), "Sensitivity");
    EXPECT_STREQ(p.GetLabelForHost(), "dB");
    EXPECT_STREQ(p.GetParamGroupForHost(), "Main");
    EXPECT_EQ(Display(p, 0.7), "0.700");
    char buf[kMaxParamDisplayLen];
    p.GetDisplayForHost(buf);
    EXPECT_STREQ(buf, "0.700");
    double lo = -1, hi = -1;
    p.GetBounds(&lo, &hi);
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 1.0);
}

TEST(IParam, MaxIsRaisedToMinPlusStep) {
    IParam p;
    p.InitDouble("x", 0.0, 2.0, 2.5, 1.0, "", "", 1.0);
    EXPECT_EQ(p.GetMax(), 3.0);
    p.InitDouble("x", 0.0, 2.0, 3.5, 1.0, "", "", 1.0);
    EXPECT_EQ(p.GetMax(), 3.5);
}

TEST(IParam, ShapedMappingBothWays) {
    IParam p;
    p.InitDouble("x", 0.0, 0.0, 1.0, 0.001, "", "", 2.0);
    p.SetNormalized(0.5);
    EXPECT_DOUBLE_EQ(p.Value(), 0.25);
    EXPECT_DOUBLE_EQ(p.GetNormalized(), 0.5);
    // 10 .. 20 with shape 2: plain 12.5 sits at sqrt(0.25).
    p.InitDouble("x", 10.0, 10.0, 20.0, 0.001, "", "", 2.0);
    EXPECT_DOUBLE_EQ(p.GetNormalized(12.5), 0.5);
    // Plain values outside the range are clamped before mapping.
    EXPECT_EQ(p.GetNormalized(30.0), 1.0);
    EXPECT_EQ(p.GetNormalized(-5.0), 0.0);
    // A shape of 0 keeps the previous one.
    p.SetShape(0.0);
    EXPECT_EQ(p.GetShape(), 2.0);
    p.InitDouble("x", 0.0, 0.0, 1.0, 0.001, "", "", 0.0);
    EXPECT_EQ(p.GetShape(), 2.0);
}

TEST(IParam, IntegerKindsRoundHalfUpToTheStep) {
    IParam p;
    p.InitInt("n", 0, 0, 10, "", "");
    EXPECT_EQ(p.Type(), IParam::kTypeInt);
    p.SetNormalized(0.44);
    EXPECT_EQ(p.Value(), 4.0);
    p.SetNormalized(0.45);
    EXPECT_EQ(p.Value(), 5.0);
    p.SetNormalized(1.0);
    EXPECT_EQ(p.Value(), 10.0);
    EXPECT_EQ(p.Int(), 10);
    // A later Init keeps the kind: the value is still quantised.
    p.InitDouble("n", 0.0, 0.0, 1.0, 0.5, "", "", 1.0);
    EXPECT_EQ(p.Type(), IParam::kTypeInt);
    p.SetNormalized(0.3);
    EXPECT_EQ(p.Value(), 0.5);
    // A double parameter is not quantised.
    IParam d;
    d.InitDouble("d", 0.0, 0.0, 10.0, 1.0, "", "", 1.0);
    d.SetNormalized(0.44);
    EXPECT_DOUBLE_EQ(d.Value(), 4.4);
}

TEST(IParam, NonFiniteAndOutOfRangeValuesStayInRange) {
    IParam p;
    p.InitDouble("Vol", 1.0, 0.0, 2.0, 0.001, "", "", 1.0);
    p.SetNormalized(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(p.Value(), 1.0);
    p.Set(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(p.Value(), 1.0);
    p.Set(std::numeric_limits<double>::infinity());
    EXPECT_EQ(p.Value(), 2.0);
    p.Set(-std::numeric_limits<double>::infinity());
    EXPECT_EQ(p.Value(), 0.0);
    p.Set(3.0);
    EXPECT_EQ(p.Value(), 2.0);
    p.Set(-1.0);
    EXPECT_EQ(p.Value(), 0.0);
    p.Set(1.2345);
    EXPECT_EQ(p.Value(), 1.2345); // not quantised
    p.SetNormalized(std::numeric_limits<double>::infinity());
    EXPECT_EQ(p.Value(), 2.0);
    p.SetNormalized(7.0);
    EXPECT_EQ(p.Value(), 2.0);
    p.SetNormalized(-0.5);
    EXPECT_EQ(p.Value(), 0.0);
    // A shape that is not whole would turn a negative normalised value into NaN.
    p.SetShape(1.5);
    p.SetNormalized(-0.5);
    EXPECT_EQ(p.Value(), 0.0);
}

TEST(IParam, ZeroWidthRangeNormalisesToZero) {
    IParam p;
    p.InitDouble("flat", 3.0, 3.0, 3.0, 0.0, "", "", 1.0);
    EXPECT_EQ(p.GetMax(), 3.0);
    EXPECT_EQ(p.GetNormalized(), 0.0);
    p.SetNormalized(0.5);
    EXPECT_EQ(p.Value(), 3.0);
}

TEST(IParam, BooleanTextsAndLabel) {
    IParam p;
    p.InitBool("OnOff", true, "dB", "");
    EXPECT_EQ(p.Type(), IParam::kTypeBool);
    EXPECT_EQ(p.Value(), 1.0);
    EXPECT_EQ(Display(p, 1.0), "on");
    EXPECT_EQ(Display(p, 0.0), "off");
    EXPECT_EQ(Display(p, 1.0, false, false), "1");
    EXPECT_EQ(Display(p, 0.0, false, false), "0");
    EXPECT_STREQ(p.GetLabelForHost(), "");
    p.SetNormalized(0.0);
    EXPECT_STREQ(p.GetLabelForHost(), "");
    int v = 42;
    EXPECT_FALSE(p.MapDisplayText("On", &v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(p.MapDisplayText("on", &v));
    EXPECT_EQ(v, 1);
    EXPECT_TRUE(p.MapDisplayText("off", &v));
    EXPECT_EQ(v, 0);
    EXPECT_FALSE(p.MapDisplayText(nullptr, &v));
}

TEST(IParam, DisplayTextLookupTruncatesAndTakesTheFirstMatch) {
    IParam p;
    p.InitEnum("Mode", 0, 3, "ms", "");
    EXPECT_EQ(p.Type(), IParam::kTypeEnum);
    EXPECT_EQ(p.GetMax(), 2.0);
    p.SetDisplayText(0, "zero");
    p.SetDisplayText(1, "one");
    p.SetDisplayText(1, "uno");
    p.SetDisplayText(2, "");
    EXPECT_EQ(Display(p, 0.9), "zero");
    EXPECT_EQ(Display(p, 1.0), "one");
    // An empty text falls back to the number, and the label is shown with it.
    EXPECT_EQ(Display(p, 2.0), "2");
    p.Set(2.0);
    EXPECT_STREQ(p.GetLabelForHost(), "ms");
    p.Set(1.0);
    EXPECT_STREQ(p.GetLabelForHost(), "");
    EXPECT_STREQ(p.GetDisplayText(1), "one");
    EXPECT_STREQ(p.GetDisplayText(7), "");
    EXPECT_EQ(p.GetNDisplayTexts(), 4);
    int v = -1;
    EXPECT_STREQ(p.GetDisplayTextAtIdx(2, &v), "uno");
    EXPECT_EQ(v, 1);
    EXPECT_STREQ(p.GetDisplayTextAtIdx(4, &v), "");
    EXPECT_STREQ(p.GetDisplayTextAtIdx(-1, &v), "");
    EXPECT_EQ(v, 1);
    // Normalised input is mapped to plain first: 0.5 of 0..2 is 1.
    EXPECT_EQ(Display(p, 0.5, true), "one");
}

TEST(IParam, NumbersTruncateNegateAndFitTheBuffer) {
    IParam p;
    p.InitInt("n", 0, -10, 10, "", "");
    EXPECT_EQ(Display(p, -2.7), "-2");
    EXPECT_EQ(Display(p, 2.7), "2");
    p.SetNegateDisplay(true);
    EXPECT_EQ(Display(p, 3.0), "-3");

    IParam d;
    d.InitDouble("Vol", 1.0, 0.0, 2.0, 0.001, "", "", 1.0);
    EXPECT_EQ(Display(d, 0.25, true), "0.500");
    EXPECT_EQ(Display(d, 1.0, true), "2.000");

    // Huge values neither overflow the buffer nor the int conversion.
    char buf[64];
    std::memset(buf, 'Z', sizeof buf);
    d.GetDisplayForHost(1e300, false, buf, true);
    EXPECT_EQ(std::strlen(buf), static_cast<size_t>(kMaxParamDisplayLen - 1));
    for (size_t i = kMaxParamDisplayLen; i < sizeof buf; ++i) ASSERT_EQ(buf[i], 'Z');
    EXPECT_EQ(Display(p, 1e300), "-2147483648"); // negated, then saturated at INT_MIN
    p.SetNegateDisplay(false);
    EXPECT_EQ(Display(p, 1e300), "2147483647");
    EXPECT_EQ(Display(p, -1e300), "-2147483648");
    EXPECT_EQ(Display(p, std::numeric_limits<double>::quiet_NaN()), "0");
}

TEST(IParam, TextsAreCutToTheirFields) {
    IParam p;
    const std::string longText(100, 'a');
    p.InitDouble(longText.c_str(), 0.0, 0.0, 1.0, 0.1, longText.c_str(), longText.c_str(), 1.0);
    p.SetDisplayText(5, longText.c_str());
    EXPECT_EQ(std::strlen(p.GetNameForHost()), 31u);
    EXPECT_EQ(std::strlen(p.GetLabelForHost()), 31u);
    EXPECT_EQ(std::strlen(p.GetParamGroupForHost()), 31u);
    EXPECT_EQ(std::string(p.GetDisplayText(5)), std::string(31, 'a'));
    p.InitDouble(nullptr, 0.0, 0.0, 1.0, 0.1, nullptr, nullptr, 1.0);
    EXPECT_STREQ(p.GetNameForHost(), "");
}

TEST(IParam, DecibelsToGain) {
    IParam p;
    p.InitDouble("Gain", 6.0, -60.0, 12.0, 0.1, "dB", "", 1.0);
    EXPECT_NEAR(p.DBToAmp(), std::pow(10.0, 6.0 / 20.0), 1e-12);
    p.Set(0.0);
    EXPECT_EQ(p.DBToAmp(), 1.0);
}

} // namespace
