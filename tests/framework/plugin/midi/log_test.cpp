#include "framework/plugin/Log.h"

#include "framework/util/Util_String.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

// "YYYYMMDD HH:MM +HHMM": digits everywhere except the fixed separators and the sign.
bool HasTimeShape(const std::string& s) {
    const std::string pattern = "dddddddd dd:dd sdddd";
    if (s.size() != pattern.size()) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        const char p = pattern[i], c = s[i];
        if (p == 'd' ? (c < '0' || c > '9') : p == 's' ? (c != '+' && c != '-') : c != p) return false;
    }
    return true;
}

TEST(Timestamp, CompileTimestampForms) {
    Util_String s;
    CompileTimestamp("Dec  7 2026", "19:44:48", &s);
    EXPECT_STREQ(s.Get(), "[Dec 7 19:44]");
    CompileTimestamp("Dec 17 2026", "19:44:48", &s);
    EXPECT_STREQ(s.Get(), "[Dec17 19:44]");
    CompileTimestamp("Jan  1 2000", "00:00:59", &s);
    EXPECT_STREQ(s.Get(), "[Jan 1 00:00]");
    // Short or missing texts never read beyond their ends.
    CompileTimestamp("Ma", "1", &s);
    EXPECT_STREQ(s.Get(), "[Ma 1]");
    CompileTimestamp(nullptr, nullptr, &s);
    EXPECT_STREQ(s.Get(), "[ ]");
}

TEST(Timestamp, AppendTimestampOverwritesItsBuffer) {
    const char* a = AppendTimestamp("Dec 17 2026", "19:44:48", "Tidebloom");
    EXPECT_STREQ(a, "Tidebloom [Dec17 19:44]");
    const char* b = AppendTimestamp("Mar  3 2027", "08:05:00", "v1.0.0");
    EXPECT_STREQ(b, "v1.0.0 [Mar 3 08:05]");
    EXPECT_EQ(a, b); // one shared static text
}

class CurrentTimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        mHadTZ = tz != nullptr;
        if (tz) mOldTZ = tz;
    }
    void TearDown() override {
        if (mHadTZ)
            setenv("TZ", mOldTZ.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    static std::string At(const char* tz) {
        setenv("TZ", tz, 1);
        tzset();
        return CurrentTime();
    }

private:
    bool mHadTZ = false;
    std::string mOldTZ;
};

TEST_F(CurrentTimeTest, ShapeAndUtcOffset) {
    // POSIX zone strings: the sign is the offset west of UTC.
    const struct {
        const char* tz;
        const char* offset;
    } rows[] = {{"UTC0", "+0000"},   {"EST5", "-0500"},  {"IST-5:30", "+0530"}, {"NPT-5:45", "+0545"},
                {"XYZ-14", "+1400"}, {"ABC12", "-1200"}, {"NST3:30", "-0330"}};
    for (const auto& r : rows) {
        const std::string s = At(r.tz);
        EXPECT_TRUE(HasTimeShape(s)) << r.tz << ": " << s;
        ASSERT_EQ(s.size(), 20u) << s;
        EXPECT_EQ(s.substr(15), r.offset) << r.tz;
    }
    const char* p1 = CurrentTime();
    const char* p2 = CurrentTime();
    EXPECT_EQ(p1, p2);
}

TEST(TimerTest, EveryMeasuresProcessorTime) {
    Timer t;
    // Far more processor time than this test uses: never due.
    EXPECT_FALSE(t.Every(1e6));
    // A negative interval has always passed; the reading restarts each time.
    EXPECT_TRUE(t.Every(-1.0));
    EXPECT_TRUE(t.Every(-1.0));

    // Burn processor time until more than 2 ms have passed since construction; then a 1 ms interval
    // is due exactly once, since the next call follows immediately.
    Timer u;
    const clock_t start = std::clock();
    volatile double sink = 0.0;
    while (std::clock() - start < CLOCKS_PER_SEC / 200) sink = sink + 1.0;
    EXPECT_TRUE(u.Every(0.001));
    EXPECT_FALSE(u.Every(0.5));
}

TEST(Diagnostics, NameFunctionsAndTraceAreSilent) {
    for (int i : {-1, 0, 1, 45, 1000}) {
        EXPECT_STREQ(VSTOpcodeStr(i), "");
        EXPECT_STREQ(AUSelectStr(i), "");
        EXPECT_STREQ(AUPropertyStr(i), "");
        EXPECT_STREQ(AUScopeStr(i), "");
    }
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Trace("Test", __LINE__, "%s %d %f", "text", 3, 1.5);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

} // namespace
