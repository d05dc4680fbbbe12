// Fonts, text metrics, measuring and drawing with a real font (DejaVu Sans from fonts-dejavu-core).
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "framework/shim/Shim_Gdi.h"

namespace {

const char kDejaVuSans[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// The font file's own numbers, read without the shim: ascent, descent and leading at a pixel size, and
// the typographic advance of a string.
class FontFile {
public:
    FontFile() {
        if (FT_Init_FreeType(&mLib) == 0 && FT_New_Face(mLib, kDejaVuSans, 0, &mFace) != 0) mFace = nullptr;
    }
    ~FontFile() {
        if (mFace) FT_Done_Face(mFace);
        FT_Done_FreeType(mLib);
    }
    bool ok() const { return mFace != nullptr; }
    double Ascent(int size) const { return mFace->ascender * double(size) / mFace->units_per_EM; }
    double Descent(int size) const { return -mFace->descender * double(size) / mFace->units_per_EM; }
    double Leading(int size) const {
        return std::max(0.0,
                        mFace->height * double(size) / mFace->units_per_EM - Ascent(size) - Descent(size));
    }
    double Width(const char* ascii, int size) const {
        double w = 0;
        for (const char* p = ascii; *p; ++p) {
            FT_Fixed adv = 0;
            FT_Get_Advance(mFace, FT_Get_Char_Index(mFace, static_cast<unsigned char>(*p)), FT_LOAD_NO_SCALE,
                           &adv);
            w += adv * double(size) / mFace->units_per_EM;
        }
        return w;
    }
    // The measured width and height of single-line text by the measuring rules.
    int MeasuredWidth(const char* ascii, int size) const { return int(std::floor(Width(ascii, size) + 0.5)); }
    int LineHeight(int size) const {
        return int(std::floor(Ascent(size) + Descent(size) + Leading(size) + 1.5));
    }

private:
    FT_Library mLib = nullptr;
    FT_Face mFace = nullptr;
};

HGDIOBJ__* Font(int height, const char* face = "DejaVu Sans", int weight = 400, int italic = 0,
                int quality = 0, int width = 0) {
    return CreateFont(height, width, 0, 0, weight, italic, 0, 0, 0, 0, 0, quality, 0, face);
}

std::string FaceName(HGDIOBJ__* font) {
    HDC__* ctx = Shim_GDP_CTX_NEW();
    SelectObject(ctx, font);
    char name[256];
    GetTextFace(ctx, sizeof(name), name);
    Shim_DeleteGfxContext(ctx);
    return name;
}

Shim_TextMetrics Metrics(HGDIOBJ__* font) {
    HDC__* ctx = Shim_GDP_CTX_NEW();
    if (font) SelectObject(ctx, font);
    Shim_TextMetrics tm = {};
    GetTextMetrics(ctx, &tm);
    Shim_DeleteGfxContext(ctx);
    return tm;
}

// A memory context with a font selected; releases both.
class Canvas {
public:
    Canvas(int w, int h, HGDIOBJ__* font) : mW(w), mH(h), mFont(font) {
        mCtx = Shim_CreateMemContext(nullptr, w, h);
        if (mCtx && font) SelectObject(mCtx, font);
    }
    ~Canvas() {
        Shim_DeleteGfxContext(mCtx);
        if (mFont) DeleteObject(mFont);
    }
    HDC__* ctx() { return mCtx; }
    uint32_t At(int x, int y) { return static_cast<uint32_t*>(Shim_GetCtxFrameBuffer(mCtx))[y * mW + x]; }
    // Bounding box of the pixels that are not zero; false when there are none.
    bool InkBox(RECT* box) {
        *box = {INT_MAX, INT_MAX, INT_MIN, INT_MIN};
        for (int y = 0; y < mH; ++y)
            for (int x = 0; x < mW; ++x)
                if (At(x, y) != 0) {
                    box->left = std::min(box->left, x), box->right = std::max(box->right, x + 1);
                    box->top = std::min(box->top, y), box->bottom = std::max(box->bottom, y + 1);
                }
        return box->left != INT_MAX;
    }

private:
    int mW, mH;
    HGDIOBJ__* mFont;
    HDC__* mCtx = nullptr;
};

class ShimText : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(mFile.ok()) << "fonts-dejavu-core is needed: " << kDejaVuSans; }
    FontFile mFile;
};

TEST_F(ShimText, FontSizeRules) {
    HGDIOBJ__* f10 = Font(10);
    HGDIOBJ__* zero = Font(0, "DejaVu Sans", 400, 0, 0, 0);      // height and width 0: 10 units
    HGDIOBJ__* byWidth = Font(0, "DejaVu Sans", 400, 0, 0, -12); // height 0: the width gives the size
    HGDIOBJ__* neg12 = Font(-12);
    HGDIOBJ__* f12 = Font(12);
    HGDIOBJ__* tooBig = Font(8193);
    HGDIOBJ__* tooSmall = Font(1);
    HGDIOBJ__* largest = Font(-8192);
    ASSERT_TRUE(f10 && zero && byWidth && neg12 && f12 && tooBig && tooSmall && largest);

    // At size 10: ascent 9.28, descent 2.36, leading 0: height 9 + 2 + 0 + 1.
    const Shim_TextMetrics m10 = Metrics(f10);
    EXPECT_EQ(m10.ascent, int(mFile.Ascent(10)));
    EXPECT_EQ(m10.descent, int(mFile.Descent(10)));
    EXPECT_EQ(m10.internalLeading, int(mFile.Leading(10)));
    EXPECT_EQ(m10.height, int(mFile.Ascent(10)) + int(mFile.Descent(10)) + int(mFile.Leading(10)) + 1);
    EXPECT_EQ(m10.aveCharWidth, (m10.height - 1) * 2 / 3);
    EXPECT_EQ(m10.height, 12);

    for (HGDIOBJ__* f : {zero, tooBig, tooSmall}) EXPECT_EQ(Metrics(f).height, m10.height);
    const Shim_TextMetrics m12 = Metrics(f12);
    EXPECT_EQ(m12.height, int(mFile.Ascent(12)) + int(mFile.Descent(12)) + int(mFile.Leading(12)) + 1);
    EXPECT_EQ(Metrics(neg12).height, m12.height);
    EXPECT_EQ(Metrics(byWidth).height, m12.height);
    EXPECT_EQ(Metrics(largest).ascent, int(mFile.Ascent(8192)));

    for (HGDIOBJ__* f : {f10, zero, byWidth, neg12, f12, tooBig, tooSmall, largest}) DeleteObject(f);
}

TEST_F(ShimText, MetricsWithoutFontOrContext) {
    // No font selected: the default label font of size 10.
    const Shim_TextMetrics def = Metrics(nullptr);
    HGDIOBJ__* label = Font(10, "sans-serif");
    EXPECT_EQ(def.height, Metrics(label).height);
    EXPECT_EQ(def.ascent, Metrics(label).ascent);
    DeleteObject(label);

    Shim_TextMetrics tm = {1, 1, 1, 1, 1};
    EXPECT_EQ(GetTextMetrics(nullptr, &tm), 0);
    EXPECT_EQ(tm.height, 16);
    EXPECT_EQ(tm.ascent, 12);
    EXPECT_EQ(tm.descent, 4);
    EXPECT_EQ(tm.internalLeading, 3);
    EXPECT_EQ(tm.aveCharWidth, 10);
    HDC__* ctx = Shim_GDP_CTX_NEW();
    EXPECT_EQ(GetTextMetrics(ctx, nullptr), 0);
    EXPECT_EQ(GetTextMetrics(ctx, &tm), 1);
    Shim_DeleteGfxContext(ctx);
}

TEST_F(ShimText, FaceStringsAndFallback) {
    HGDIOBJ__* regular = Font(12);
    HGDIOBJ__* bold = Font(12, "DejaVu Sans", 700);
    HGDIOBJ__* semi = Font(12, "DejaVu Sans", 699);
    HGDIOBJ__* italic = Font(12, "DejaVu Sans", 400, 1);
    HGDIOBJ__* boldItalic = Font(12, "DejaVu Sans", 900, 1);
    HGDIOBJ__* unknown = Font(12, "Monaco");
    HGDIOBJ__* unknownBold = Font(12, "Monaco", 700);
    HGDIOBJ__* empty = Font(12, "");
    HGDIOBJ__* noName = Font(12, nullptr);
    HGDIOBJ__* sans = Font(12, "sans-serif");
    HGDIOBJ__* sansBold = Font(12, "sans-serif", 700);
    HGDIOBJ__* mono = Font(12, "DejaVu Sans Mono");

    EXPECT_EQ(FaceName(regular), "DejaVu Sans");
    EXPECT_EQ(FaceName(bold), "DejaVu Sans Bold");
    EXPECT_EQ(FaceName(semi), "DejaVu Sans");
    EXPECT_EQ(FaceName(italic), "DejaVu Sans Oblique");
    EXPECT_EQ(FaceName(boldItalic), "DejaVu Sans Bold Oblique");
    EXPECT_EQ(FaceName(mono), "DejaVu Sans Mono");
    // Names fontconfig does not know fall back to the system's sans-serif face, keeping the style.
    EXPECT_EQ(FaceName(unknown), FaceName(sans));
    EXPECT_EQ(FaceName(unknownBold), FaceName(sansBold));
    EXPECT_EQ(FaceName(empty), FaceName(sans));
    EXPECT_EQ(FaceName(noName), FaceName(sans));
    // The same face string resolves the same way again (through the cache).
    HGDIOBJ__* unknownAgain = Font(20, "Monaco");
    EXPECT_EQ(FaceName(unknownAgain), FaceName(unknown));

    for (HGDIOBJ__* f : {regular, bold, semi, italic, boldItalic, unknown, unknownBold, empty, noName, sans,
                         sansBold, mono, unknownAgain})
        DeleteObject(f);
}

TEST_F(ShimText, LongAndUnterminatedNamesAreCut) {
    std::string longName(5000, 'x');
    HGDIOBJ__* f = Font(12, longName.c_str(), 700, 1);
    ASSERT_NE(f, nullptr);
    DeleteObject(f);

    Shim_LogFont lf;
    std::memset(&lf, 0, sizeof(lf));
    lf.height = -14;
    lf.weight = 700;
    std::memset(lf.faceName, 'Q', sizeof(lf.faceName)); // no terminator in the record
    HGDIOBJ__* fromRecord = CreateFontIndirect(&lf);
    ASSERT_NE(fromRecord, nullptr);
    HGDIOBJ__* sansBold = Font(14, "sans-serif", 700);
    EXPECT_EQ(FaceName(fromRecord), FaceName(sansBold));
    EXPECT_EQ(Metrics(fromRecord).height, Metrics(sansBold).height);
    DeleteObject(fromRecord);
    DeleteObject(sansBold);
    EXPECT_EQ(CreateFontIndirect(nullptr), nullptr);
}

TEST_F(ShimText, GetTextFaceCopiesAtMostNMinusOneBytes) {
    HDC__* ctx = Shim_GDP_CTX_NEW();
    HGDIOBJ__* f = Font(12);
    SelectObject(ctx, f);
    char buf[8];
    std::memset(buf, '#', sizeof(buf));
    EXPECT_EQ(GetTextFace(ctx, 5, buf), 4);
    EXPECT_STREQ(buf, "Deja");
    EXPECT_EQ(buf[5], '#');
    EXPECT_EQ(GetTextFace(ctx, 1, buf), 0);
    EXPECT_EQ(buf[0], '\0');
    EXPECT_EQ(GetTextFace(ctx, 0, buf), 0);
    EXPECT_EQ(GetTextFace(nullptr, 8, buf), 0);
    SelectObject(ctx, reinterpret_cast<HGDIOBJ__*>(3));
    DeleteObject(f);
    Shim_DeleteGfxContext(ctx);
}

TEST_F(ShimText, MeasuringRules) {
    HDC__* ctx = Shim_GDP_CTX_NEW();
    HGDIOBJ__* f = Font(16);
    SelectObject(ctx, f);
    const int lineH = mFile.LineHeight(16);

    RECT r = {5, 7, 0, 0};
    EXPECT_EQ(Shim_DrawText(ctx, "Hello", -1, &r, kShimDT_CalcRect | kShimDT_SingleLine), lineH + 1);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.top, 7);
    EXPECT_EQ(r.right, 5 + mFile.MeasuredWidth("Hello", 16));
    EXPECT_EQ(r.bottom, 7 + lineH + 1);

    // Length counts bytes; a negative length runs to the terminator.
    r = {0, 0, 0, 0};
    Shim_DrawText(ctx, "Hello", 3, &r, kShimDT_CalcRect);
    EXPECT_EQ(r.right, mFile.MeasuredWidth("Hel", 16));

    // Several lines: the widest line, the lines' heights summed, plus one.
    r = {0, 0, 0, 0};
    EXPECT_EQ(Shim_DrawText(ctx, "ab\nWWWW\nc", -1, &r, kShimDT_CalcRect), 3 * lineH + 1);
    EXPECT_EQ(r.right, mFile.MeasuredWidth("WWWW", 16));
    // A final line feed opens no line; carriage returns are dropped.
    r = {0, 0, 0, 0};
    EXPECT_EQ(Shim_DrawText(ctx, "ab\r\ncd\r\n", -1, &r, kShimDT_CalcRect), 2 * lineH + 1);
    EXPECT_EQ(r.right, mFile.MeasuredWidth("ab", 16));
    // Single line: line feeds become spaces.
    r = {0, 0, 0, 0};
    EXPECT_EQ(Shim_DrawText(ctx, "ab\ncd", -1, &r, kShimDT_CalcRect | kShimDT_SingleLine), lineH + 1);
    EXPECT_EQ(r.right, mFile.MeasuredWidth("ab cd", 16));

    // Prefix: an ampersand goes and takes the next character literally, unless 0x80.
    r = {0, 0, 0, 0};
    Shim_DrawText(ctx, "&a&&b&", -1, &r, kShimDT_CalcRect);
    EXPECT_EQ(r.right, mFile.MeasuredWidth("a&b", 16));
    r = {0, 0, 0, 0};
    Shim_DrawText(ctx, "&a&&b&", -1, &r, kShimDT_CalcRect | kShimDT_NoPrefix);
    EXPECT_EQ(r.right, mFile.MeasuredWidth("&a&&b&", 16));

    // Nothing left to draw: 0, rectangle untouched.
    r = {1, 2, 3, 4};
    EXPECT_EQ(Shim_DrawText(ctx, "\r\r\r", -1, &r, kShimDT_CalcRect), 0);
    EXPECT_EQ(r.right, 3);
    EXPECT_EQ(r.bottom, 4);
    EXPECT_EQ(Shim_DrawText(ctx, "", -1, &r, kShimDT_CalcRect), 0);
    EXPECT_EQ(Shim_DrawText(ctx, "&", -1, &r, kShimDT_CalcRect), 0);
    EXPECT_EQ(Shim_DrawText(ctx, "abc", 0, &r, kShimDT_CalcRect), 0);
    EXPECT_EQ(Shim_DrawText(ctx, nullptr, -1, &r, kShimDT_CalcRect), 0);
    EXPECT_EQ(Shim_DrawText(ctx, "abc", -1, nullptr, kShimDT_CalcRect), 0);
    EXPECT_EQ(Shim_DrawText(nullptr, "abc", -1, &r, kShimDT_CalcRect), 0);

    // Text beyond 4095 bytes is cut there.
    std::string longText(6000, 'i');
    r = {0, 0, 0, 0};
    Shim_DrawText(ctx, longText.c_str(), -1, &r, kShimDT_CalcRect | kShimDT_SingleLine);
    EXPECT_EQ(r.right, int(std::floor(mFile.Width("i", 16) * 4095 + 0.5)));

    // Far-out rectangles do not overflow.
    r = {INT_MAX - 2, INT_MAX - 1, 0, 0};
    EXPECT_EQ(Shim_DrawText(ctx, "Hello", -1, &r, kShimDT_CalcRect), lineH + 1);
    EXPECT_EQ(r.right, INT_MAX);
    EXPECT_EQ(r.bottom, INT_MAX);

    SelectObject(ctx, reinterpret_cast<HGDIOBJ__*>(3));
    DeleteObject(f);
    Shim_DeleteGfxContext(ctx);
}

TEST_F(ShimText, Utf8AndBrokenBytesMeasure) {
    HDC__* ctx = Shim_GDP_CTX_NEW();
    RECT r = {0, 0, 0, 0};
    // e-acute as UTF-8 is one character; stray continuation bytes and a cut sequence do not crash.
    EXPECT_GT(Shim_DrawText(ctx, "\xC3\xA9", -1, &r, kShimDT_CalcRect), 0);
    const int one = r.right;
    r = {0, 0, 0, 0};
    Shim_DrawText(ctx, "\xC3\xA9\xC3\xA9", -1, &r, kShimDT_CalcRect);
    EXPECT_NEAR(r.right, 2 * one, 1);
    r = {0, 0, 0, 0};
    EXPECT_GT(Shim_DrawText(ctx, "\x80\xBF\xE2\x82", -1, &r, kShimDT_CalcRect), 0);
    Shim_DeleteGfxContext(ctx);
}

TEST_F(ShimText, WhiteOnBlackGivesCoverageInEveryColourByte) {
    Canvas c(60, 30, Font(20, "DejaVu Sans", 400, 0, kShimQualityAntialiased));
    SetTextColor(c.ctx(), 0xFFFFFF);
    RECT r = {2, 2, 60, 30};
    EXPECT_EQ(Shim_DrawText(c.ctx(), "Sw", -1, &r, 0), mFile.LineHeight(20) + 1);
    int partial = 0, full = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x) {
            const uint32_t px = c.At(x, y);
            const uint32_t red = (px >> 8) & 0xFF;
            EXPECT_EQ(px & 0xFF, 0u) << "alpha byte untouched";
            EXPECT_EQ((px >> 16) & 0xFF, red);
            EXPECT_EQ(px >> 24, red);
            partial += red > 0 && red < 255;
            full += red == 255;
        }
    EXPECT_GT(partial, 0) << "antialiased edges";
    EXPECT_GT(full, 0);
}

TEST_F(ShimText, QualityThreeIsNotAntialiased) {
    for (int quality : {3, 4, 0, 7}) {
        Canvas c(60, 30, Font(20, "DejaVu Sans", 400, 0, quality));
        SetTextColor(c.ctx(), 0xFFFFFF);
        RECT r = {2, 2, 60, 30};
        Shim_DrawText(c.ctx(), "Sw", -1, &r, 0);
        int partial = 0, full = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 60; ++x) {
                const uint32_t red = (c.At(x, y) >> 8) & 0xFF;
                partial += red > 0 && red < 255;
                full += red == 255;
            }
        EXPECT_GT(full, 0) << quality;
        if (quality == 3)
            EXPECT_EQ(partial, 0);
        else
            EXPECT_GT(partial, 0) << "quality " << quality << " draws antialiased";
    }
}

TEST_F(ShimText, TextColourBlendsOverTheDestination) {
    Canvas c(60, 30, Font(20));
    // Destination: alpha 0x5A, red 0x10, green 0x20, blue 0x30 everywhere.
    auto* bits = static_cast<uint32_t*>(Shim_GetCtxFrameBuffer(c.ctx()));
    for (int i = 0; i < 60 * 30; ++i) bits[i] = 0x3020105Au;
    SetTextColor(c.ctx(), 0xC08040); // red C0, green 80, blue 40
    RECT r = {0, 0, 60, 30};
    Shim_DrawText(c.ctx(), "W", -1, &r, 0);
    int full = 0;
    for (int i = 0; i < 60 * 30; ++i) {
        const uint32_t px = bits[i];
        EXPECT_EQ(px & 0xFF, 0x5Au);
        if (px == 0x3020105Au) continue;
        if (px == 0x4080C05Au) {
            ++full;
            continue;
        }
        // Partial coverage c gives (d * (255 - c) + t * c + 127) / 255 per channel: find c from red.
        const int red = (px >> 8) & 0xFF;
        int cov = -1;
        for (int k = 0; k <= 255 && cov < 0; ++k)
            if ((0x10 * (255 - k) + 0xC0 * k + 127) / 255 == red) cov = k;
        ASSERT_GE(cov, 0);
        const int green = (0x20 * (255 - cov) + 0x80 * cov + 127) / 255;
        const int blue = (0x30 * (255 - cov) + 0x40 * cov + 127) / 255;
        // Red pins the coverage to within the rounding step; green and blue follow it.
        EXPECT_NEAR(int((px >> 16) & 0xFF), green, 1);
        EXPECT_NEAR(int(px >> 24), blue, 1);
    }
    EXPECT_GT(full, 0);
}

// With text and background in one colour, each line's box shows exactly.
class ShimTextBox : public ShimText {
protected:
    RECT DrawBox(const char* text, RECT r, int flags) {
        Canvas c(120, 80, Font(16));
        SetTextColor(c.ctx(), 0x00FF00);
        SetBkColor(c.ctx(), 0x00FF00);
        SetBkMode(c.ctx(), kShimBkOpaque);
        Shim_DrawText(c.ctx(), text, -1, &r, flags);
        RECT box;
        if (!c.InkBox(&box)) return {0, 0, 0, 0};
        for (int y = box.top; y < box.bottom; ++y)
            for (int x = box.left; x < box.right; ++x) EXPECT_EQ(c.At(x, y), 0x00FF0000u) << x << "," << y;
        return box;
    }
};

TEST_F(ShimTextBox, OpaqueBackgroundAndPlacement) {
    const int w = mFile.MeasuredWidth("HH", 16), lineH = mFile.LineHeight(16);
    const int h = lineH + 1; // measured height

    RECT box = DrawBox("HH", {10, 5, 110, 75}, 0);
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.top, 5);
    EXPECT_EQ(box.right, 10 + w);
    EXPECT_EQ(box.bottom, 5 + lineH);

    box = DrawBox("HH", {10, 5, 110, 75}, kShimDT_Right | kShimDT_Bottom);
    EXPECT_EQ(box.right, 110);
    EXPECT_EQ(box.left, 110 - w);
    EXPECT_EQ(box.top, 75 - h);
    EXPECT_EQ(box.bottom, 75 - h + lineH);

    box = DrawBox("HH", {10, 5, 110, 75}, kShimDT_Center | kShimDT_VCenter);
    EXPECT_EQ(box.left, 10 + 100 / 2 - w / 2);
    EXPECT_EQ(box.top, 5 + 70 / 2 - h / 2);

    // Two lines, each with its own box width, stacked by the line height.
    const int w2 = mFile.MeasuredWidth("HHHH", 16);
    Canvas c(120, 80, Font(16));
    SetTextColor(c.ctx(), 0x00FF00);
    SetBkColor(c.ctx(), 0x00FF00);
    SetBkMode(c.ctx(), kShimBkOpaque);
    RECT r = {0, 0, 120, 80};
    EXPECT_EQ(Shim_DrawText(c.ctx(), "HH\nHHHH", -1, &r, 0), 2 * lineH + 1);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x) {
            const bool inFirst = y < lineH && x < w;
            const bool inSecond = y >= lineH && y < 2 * lineH && x < w2;
            ASSERT_EQ(c.At(x, y), inFirst || inSecond ? 0x00FF0000u : 0u) << x << "," << y;
        }
}

TEST_F(ShimTextBox, ClipsToTheRectangleUnlessNoClip) {
    const int w = mFile.MeasuredWidth("HHHH", 16), lineH = mFile.LineHeight(16);
    RECT box = DrawBox("HHHH", {10, 10, 20, 15}, 0);
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.top, 10);
    EXPECT_EQ(box.right, 20);
    EXPECT_EQ(box.bottom, 15);

    box = DrawBox("HHHH", {10, 10, 20, 15}, kShimDT_NoClip);
    EXPECT_EQ(box.right, 10 + w);
    EXPECT_EQ(box.bottom, 10 + lineH);

    // Partly off the surface: clipped to the surface.
    box = DrawBox("HHHH", {-7, -5, 200, 200}, 0);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right, w - 7);
    EXPECT_EQ(box.bottom, lineH - 5);
}

TEST_F(ShimTextBox, FarOutsideDrawsNothing) {
    const RECT far[] = {{INT_MAX - 5, 0, INT_MAX, 80},
                        {INT_MIN, 0, INT_MIN + 5, 80},
                        {0, INT_MAX - 1, 120, INT_MAX},
                        {200, 200, 100, 100},
                        {50, 50, 40, 40}};
    for (const RECT& r : far) {
        for (int flags : {0, kShimDT_Right | kShimDT_Bottom, kShimDT_Center | kShimDT_VCenter}) {
            RECT box = DrawBox("HH", r, flags);
            EXPECT_EQ(box.right - box.left, 0) << r.left << "," << r.top << " flags " << flags;
        }
    }
    // The whole coordinate range with no clip to the rectangle: whatever lands on the surface stays in it.
    DrawBox("HH\nHH", {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
            kShimDT_NoClip | kShimDT_Center | kShimDT_VCenter);
    DrawBox("HH", {INT_MAX, INT_MAX, INT_MIN, INT_MIN}, kShimDT_NoClip | kShimDT_Right | kShimDT_Bottom);
}

TEST_F(ShimText, DrawsIntoACallerSurfaceWithPaddedRows) {
    std::vector<uint32_t> pixels(40 * 20, 0x11111111u);
    Shim_Surface surface = {pixels.data(), 30, 20, 40};
    HDC__* ctx = Shim_CreateGfxContext(&surface);
    HGDIOBJ__* f = Font(14);
    SelectObject(ctx, f);
    SetTextColor(ctx, 0xFFFFFF);
    RECT r = {-100, -100, 130, 120}; // centred on (15, 10)
    Shim_DrawText(ctx, "WWWWWWWWWW", -1, &r, kShimDT_NoClip | kShimDT_Center | kShimDT_VCenter);
    int changed = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool inside = x < 30;
            if (!inside) {
                EXPECT_EQ(pixels[y * 40 + x], 0x11111111u) << "padding at " << x << "," << y;
            }
            changed += inside && pixels[y * 40 + x] != 0x11111111u;
        }
    EXPECT_GT(changed, 0);
    SelectObject(ctx, reinterpret_cast<HGDIOBJ__*>(3));
    DeleteObject(f);
    Shim_DeleteGfxContext(ctx);
}

TEST_F(ShimText, FontsFromTwoThreads) {
    // Face resolution (the face-name cache), face creation and measuring run on two threads at once, each
    // with its own context; both must see the sizes a single thread sees.
    const int expectHello = mFile.MeasuredWidth("Hello", 13);
    auto work = [expectHello](const char* face) {
        for (int i = 0; i < 20; ++i) {
            HDC__* ctx = Shim_CreateMemContext(nullptr, 40, 20);
            HGDIOBJ__* f = Font(13, face, i % 2 ? 700 : 400);
            HGDIOBJ__* g = Font(13, "DejaVu Sans");
            SelectObject(ctx, g);
            RECT r = {0, 0, 0, 0};
            Shim_DrawText(ctx, "Hello", -1, &r, kShimDT_CalcRect);
            EXPECT_EQ(r.right, expectHello);
            SelectObject(ctx, f);
            r = {0, 0, 40, 20};
            Shim_DrawText(ctx, "Hello", -1, &r, 0);
            SelectObject(ctx, reinterpret_cast<HGDIOBJ__*>(3));
            DeleteObject(f);
            DeleteObject(g);
            Shim_DeleteGfxContext(ctx);
        }
    };
    std::thread a(work, "Monaco"), b(work, "DejaVu Serif");
    a.join();
    b.join();
}

// Row of the lowest pixel whose red byte is over half, or -1.
int LowestInkRow(Canvas& c, int w, int h) {
    int row = -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (((c.At(x, y) >> 8) & 0xFF) > 128) row = y;
    return row;
}

TEST_F(ShimText, BaselineSitsAtTheLineTopPlusTheAscent) {
    // A capital H stands on the baseline: without antialiasing its lowest row is the one just above it.
    // Each further line starts one line height lower.
    for (int size : {10, 13, 16, 20, 31}) {
        SCOPED_TRACE(size);
        const int baseline = int(std::floor(mFile.Ascent(size) + 0.5));
        const int lineH = mFile.LineHeight(size);
        Canvas one(80, 120, Font(size, "DejaVu Sans", 400, 0, kShimQualityNonAntialiased));
        SetTextColor(one.ctx(), 0xFFFFFF);
        RECT r = {3, 5, 80, 120};
        Shim_DrawText(one.ctx(), "H", -1, &r, 0);
        EXPECT_EQ(LowestInkRow(one, 80, 120), 5 + baseline - 1);

        Canvas two(80, 120, Font(size, "DejaVu Sans", 400, 0, kShimQualityNonAntialiased));
        SetTextColor(two.ctx(), 0xFFFFFF);
        r = {3, 5, 80, 120};
        Shim_DrawText(two.ctx(), "-\nH", -1, &r, 0);
        EXPECT_EQ(LowestInkRow(two, 80, 120), 5 + lineH + baseline - 1);
    }
}

TEST_F(ShimText, BackgroundBoxesGoUnderEveryLine) {
    // U+06B8 reaches further below the baseline than the font's descent, past its own line's box into
    // the next line's. The boxes are filled before any line is drawn, so what it draws there stays.
    const int size = 32, w = 80, h = 100;
    const int lineH = mFile.LineHeight(size);
    Canvas alone(w, h, Font(size, "DejaVu Sans", 400, 0, kShimQualityNonAntialiased));
    SetTextColor(alone.ctx(), 0xFFFFFF);
    RECT r = {0, 0, w, h};
    Shim_DrawText(alone.ctx(), "\xDA\xB8", -1, &r, 0);

    Canvas boxed(w, h, Font(size, "DejaVu Sans", 400, 0, kShimQualityNonAntialiased));
    SetTextColor(boxed.ctx(), 0xFFFFFF);
    SetBkColor(boxed.ctx(), 0x0000FF);
    SetBkMode(boxed.ctx(), kShimBkOpaque);
    r = {0, 0, w, h};
    Shim_DrawText(boxed.ctx(), "\xDA\xB8\n      ", -1, &r, 0);
    const int spaces = mFile.MeasuredWidth("      ", size);
    int overhang = 0;
    for (int y = lineH; y < 2 * lineH; ++y)
        for (int x = 0; x < spaces; ++x) {
            const bool ink = alone.At(x, y) != 0;
            overhang += ink;
            ASSERT_EQ(boxed.At(x, y), ink ? 0xFFFFFF00u : 0xFF000000u) << x << "," << y;
        }
    EXPECT_GT(overhang, 0) << "the glyph reaches into the second line";
}

TEST_F(ShimText, GlyphsReachIntoTheClipFromLinesOutsideIt) {
    const int size = 32, w = 80, h = 100;
    const int lineH = mFile.LineHeight(size);
    auto draw = [&](const char* text, RECT r, int flags, Canvas& c) {
        SetTextColor(c.ctx(), 0xFFFFFF);
        Shim_DrawText(c.ctx(), text, -1, &r, flags);
    };
    auto compare = [&](Canvas& got, Canvas& alone, int shift, int row) {
        int ink = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int from = y - shift;
                const uint32_t want = y == row && from >= 0 && from < h ? alone.At(x, from) : 0u;
                ink += want != 0;
                EXPECT_EQ(got.At(x, y), want) << x << "," << y;
            }
        EXPECT_GT(ink, 0) << "something of the glyph lies in the clip";
    };

    // U+06B8 reaches below its line's box. Bottom-aligned in a one-row rectangle, its line lies wholly
    // above the rectangle, and the row of the glyph lineH below the line's top is the visible one.
    Canvas alone(w, h, Font(size, "DejaVu Sans", 400, 0, kShimQualityNonAntialiased));
    draw("\xDA\xB8", {0, 0, w, h}, 0, alone);
    Canvas below(w, h, Font(size, "DejaVu Sans", 400, 0, kShimQualityNonAntialiased));
    draw("\xDA\xB8", {0, 50, w, 51}, kShimDT_Bottom, below); // line top 50 - lineH
    compare(below, alone, 50 - lineH, 50);

    // U+1EB2 reaches above its line's box: a second line starting right below a one-row rectangle
    // still shows its top in it.
    Canvas tall(w, h, Font(size, "DejaVu Sans", 400, 0, kShimQualityNonAntialiased));
    draw("\xE1\xBA\xB2", {0, 20, w, h}, kShimDT_NoClip, tall);
    int topRow = -1;
    for (int y = h - 1; y >= 0; --y)
        for (int x = 0; x < w; ++x)
            if (tall.At(x, y) != 0) topRow = y;
    ASSERT_GE(topRow, 0);
    ASSERT_LT(topRow, 20) << "the accent rises above the line's top";
    Canvas above(w, h, Font(size, "DejaVu Sans", 400, 0, kShimQualityNonAntialiased));
    // The second line's top goes where the accent's top row lands on the rectangle's only row (50).
    const int secondTop = 50 + (20 - topRow);
    draw(" \n\xE1\xBA\xB2", {0, secondTop - lineH, w, 51}, 0, above);
    compare(above, tall, secondTop - 20, 50);
}

} // namespace
