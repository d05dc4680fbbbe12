// Number parsing, cleaning of plug-in texts, JSON quoting, the progress bar and the summary factor.
#include "host/HostInfo.h"
#include "host/HostProgress.h"
#include "host/HostText.h"

#include <gtest/gtest.h>

#include <cstdio>

TEST(HostText, IntegersMustBeWholeAndInRange) {
    long long v = -7;
    EXPECT_TRUE(HostParseInt("512", 1, 1024, v));
    EXPECT_EQ(v, 512);
    EXPECT_TRUE(HostParseInt("-3", -5, 5, v));
    EXPECT_EQ(v, -3);
    for (const char* bad : {"", " 5", "5 ", "5x", "0x10", "1e3", "2000", "0", "99999999999999999999999"}) {
        v = -7;
        EXPECT_FALSE(HostParseInt(bad, 1, 1024, v)) << bad;
        EXPECT_EQ(v, -7) << bad;
    }
}

TEST(HostText, NumbersMustBePlainDecimals) {
    double v = -7.0;
    EXPECT_TRUE(HostParseDouble("0.25", v));
    EXPECT_EQ(v, 0.25);
    EXPECT_TRUE(HostParseDouble("-1.5e1", v));
    EXPECT_EQ(v, -15.0);
    for (const char* bad : {"", "nan", "inf", "0x1p3", " 1", "1,5", "1.5dB", "1e999", "."}) {
        v = -7.0;
        EXPECT_FALSE(HostParseDouble(bad, v)) << bad;
        EXPECT_EQ(v, -7.0) << bad;
    }
}

TEST(HostText, PlugInTextsAreMadePrintable) {
    // Cut at the NUL, or at the end of the field when there is none.
    EXPECT_EQ(HostCleanText("Gain\0junk", 9), "Gain");
    EXPECT_EQ(HostCleanText("ABCDEFGH", 4), "ABCD");
    // Control characters become spaces; the ends are trimmed.
    EXPECT_EQ(HostCleanText(" a\tb\nc\x7f ", 9), "a b c");
    // Valid UTF-8 stays, broken sequences become '?'.
    EXPECT_EQ(HostCleanText("20 \xC2\xB0"
                            "C",
                            7),
              "20 \xC2\xB0"
              "C");
    EXPECT_EQ(HostCleanText("a\xB0z", 3), "a?z");
    EXPECT_EQ(HostCleanText("\xE2\x82", 2), "??");      // cut short
    EXPECT_EQ(HostCleanText("\xC0\xAF", 2), "??");      // overlong
    EXPECT_EQ(HostCleanText("\xED\xA0\x80", 3), "???"); // surrogate
    EXPECT_EQ(HostCleanText(nullptr, 5), "");
}

TEST(HostText, JsonQuotingAndCodes) {
    EXPECT_EQ(HostJsonQuote("a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\nd\\u0001\"");
    EXPECT_EQ(HostJsonQuote("\xC2\xB0"), "\"\xC2\xB0\"");
    EXPECT_EQ(HostFourCCText(0x54626C6D), "Tblm");
    EXPECT_EQ(HostFourCCText(0x00000001), "");
    EXPECT_TRUE(HostEqualsNoCase("Depth", "dEPTH"));
    EXPECT_FALSE(HostEqualsNoCase("Depth", "Dept"));
    EXPECT_EQ(HostFormat("%d-%s", 7, "x"), "7-x");
}

TEST(HostProgress, BarShowsTheFraction) {
    EXPECT_EQ(HostFormatProgressBar(0, 100, 10), "[..........]   0%");
    EXPECT_EQ(HostFormatProgressBar(45, 100, 10), "[####......]  45%");
    EXPECT_EQ(HostFormatProgressBar(100, 100, 10), "[##########] 100%");
    EXPECT_EQ(HostFormatProgressBar(150, 100, 4), "[####] 100%");
    EXPECT_EQ(HostFormatProgressBar(0, 0, 4), "[####] 100%");
}

TEST(HostProgress, DrawsOnlyOnChangeAndClearsItsLine) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    {
        HostProgress bar(f, true, 4);
        bar.Update(1, 200); // 0%: drawn
        bar.Update(2, 200); // 1%: drawn
        bar.Update(3, 200); // still 1%: not drawn
        bar.Update(200, 200);
    }
    std::rewind(f);
    char buf[256] = {0};
    size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    EXPECT_EQ(std::string(buf, n), "\r[....]   0%\r[....]   1%\r[####] 100%\r           \r");

    std::FILE* g = std::tmpfile();
    {
        HostProgress off(g, false, 4);
        off.Update(1, 2);
    }
    EXPECT_EQ(std::ftell(g), 0);
    std::fclose(g);
}

TEST(HostProgress, RealTimeFactor) {
    EXPECT_DOUBLE_EQ(HostRealTimeFactor(441000, 44100, 0.5), 20.0);
    EXPECT_DOUBLE_EQ(HostRealTimeFactor(48000, 48000, 2.0), 0.5);
    EXPECT_EQ(HostRealTimeFactor(48000, 48000, 0.0), 0.0);
    EXPECT_EQ(HostRealTimeFactor(48000, 0, 1.0), 0.0);
}

// A plug-in that has an editor but tells its size only once it is open is not reported as having none.
TEST(HostInfoText, EditorLine) {
    HostInfo info;
    auto editorLine = [&info]() {
        std::string text = HostFormatInfoText(info);
        size_t at = text.find("\nEditor");
        if (at == std::string::npos) return std::string("(missing)");
        size_t end = text.find('\n', at + 1);
        return text.substr(at + 1, end - at - 1);
    };
    EXPECT_EQ(editorLine(), "Editor        none");
    info.flags = effFlagsHasEditor;
    EXPECT_EQ(editorLine(), "Editor        yes (no size before it is opened)");
    info.hasEditorRect = true;
    info.editorWidth = 555;
    info.editorHeight = 306;
    EXPECT_EQ(editorLine(), "Editor        555 x 306");
}
