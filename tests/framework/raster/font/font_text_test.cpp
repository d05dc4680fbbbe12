// Cached-font strings: measuring, line breaks, UTF-8 rules, alignment, clipping, alpha, the
// precache flag, the extended list, vertical layout and the native path through the shim.

#include "FontTestUtil.h"

using namespace fonttest;

namespace {

const uint32_t kWhite = 0xFFFFFFFF;

class CachedFontText : public ::testing::Test {
protected:
    void SetUp() override {
        hf = MakeFont(16);
        ASSERT_NE(hf, nullptr);
        font.SetFromHFont(hf, RASTER_FONT_OWNS_HANDLE);
        font.SetTextColor(kWhite);
    }
    // The rectangle DT_CALCRECT gives for a string placed at (10, 20).
    RECT Measure(const char* s, int count = -1, int flags = 0, int* ret = nullptr) {
        RECT r = {10, 20, 10, 20};
        const int h = font.DrawText(nullptr, s, count, &r, DT_CALCRECT | flags);
        if (ret) *ret = h;
        return r;
    }
    std::unique_ptr<Raster_MemBitmap> Draw(const char* s, RECT r, int flags, int count = -1) {
        auto bm = Black(160, 60);
        font.DrawText(bm.get(), s, count, &r, flags);
        return bm;
    }
    Raster_CachedFont font;
    HGDIOBJ__* hf = nullptr;
};

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace

TEST_F(CachedFontText, MeasuresFromTheGlyphs) {
    int ret = -1;
    RECT e = Measure("", -1, 0, &ret);
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(e.right, 10);
    EXPECT_EQ(e.bottom, 20);
    int w, h;
    RefMeasure(hf, {'T', 'i', 'd', 'e', 'W', 'y'}, &w, &h);
    const RECT r = Measure("TideWy", -1, 0, &ret);
    EXPECT_EQ(r.right, 10 + w);
    EXPECT_EQ(r.bottom, 20 + h);
    EXPECT_EQ(ret, h);
}

TEST_F(CachedFontText, LineBreaksAndCarriageReturns) {
    const int lh = font.GetLineHeight();
    int wa, ha, wb, hb;
    RefMeasure(hf, {'A'}, &wa, &ha);
    RefMeasure(hf, {'W', 'B'}, &wb, &hb);
    const RECT two = Measure("A\nWB");
    EXPECT_EQ(two.right - two.left, std::max(wa, wb));
    EXPECT_EQ(two.bottom - two.top, lh + hb);
    EXPECT_TRUE(SameRect(Measure("A\r\nWB"), two)); // carriage returns are ignored
    EXPECT_TRUE(SameRect(Measure("A\rWB"), Measure("AWB")));
    EXPECT_TRUE(SameRect(Measure("A\nWB", -1, DT_SINGLELINE), Measure("A WB")));
    EXPECT_TRUE(SameRect(Measure("A\n"), Measure("A")));
    font.SetLineSpacingAdjust(3);
    EXPECT_EQ(Measure("A\nWB").bottom - 20, lh + 3 + hb);
    // Drawn: the second line starts again at the left edge, one line height (plus adjustment) down.
    auto a = Draw("A\nWB", RECT{4, 2, 150, 58}, 0);
    auto b = Draw("A", RECT{4, 2, 150, 58}, 0);
    RECT second = {4, 2 + lh + 3, 150, 58};
    font.DrawText(b.get(), "WB", -1, &second, 0);
    EXPECT_TRUE(SamePixels(a.get(), b.get()));
}

TEST_F(CachedFontText, Utf8Rules) {
    // A four-byte character is drawn as a space and consumes four bytes.
    EXPECT_TRUE(SameRect(Measure("a\xF0\x9F\x98\x80"
                                 "b"),
                         Measure("a b")));
    // A byte count stops the text; a zero byte always does.
    EXPECT_TRUE(SameRect(Measure("abcdef", 3), Measure("abc")));
    EXPECT_TRUE(SameRect(Measure("ab\0cd", 5), Measure("ab")));
    // A character cut by the count is its lead byte taken as a code (0xC3 = U+00C3).
    EXPECT_TRUE(SameRect(Measure("a\xC3\xA9", 2), Measure("a\xC3\x83")));
    // 0xC0 counts as a continuation byte: C3 C0 is U+00C0.
    EXPECT_TRUE(SameRect(Measure("\xC3\xC0"), Measure("\xC3\x80")));
    // Not a lead byte: one byte, taken as the code (0xC1 = U+00C1).
    EXPECT_TRUE(SameRect(Measure("\xC1"), Measure("\xC3\x81")));
    // Three bytes: U+20AC.
    int w, h;
    RefMeasure(hf, {0x20AC}, &w, &h);
    EXPECT_EQ(Measure("\xE2\x82\xAC").right, 10 + w);
    // A truncated four-byte sequence at the terminator reads byte by byte and stops at the zero.
    RECT r = Measure("\xF0\x9F");
    EXPECT_GE(r.right, 10);
}

TEST_F(CachedFontText, AlignmentPlacesTheMeasuredBox) {
    const char* s = "Tidebloom";
    const RECT m = Measure(s);
    const int tw = m.right - m.left, th = m.bottom - m.top;
    const RECT box = {5, 4, 150, 56};
    struct Case {
        int flags, x, y;
    };
    const Case cases[] = {
        {DT_RIGHT, 150 - tw, 4},
        {DT_CENTER, 5 + (145 - tw) / 2, 4},
        {DT_BOTTOM, 5, 56 - th},
        {DT_VCENTER | DT_CENTER, 5 + (145 - tw) / 2, 4 + (52 - th) / 2},
        {DT_VCENTER | DT_RIGHT, 150 - tw, 4 + (52 - th) / 2},
    };
    for (const Case& c : cases) {
        auto aligned = Draw(s, box, c.flags);
        auto placed = Draw(s, RECT{c.x, c.y, 150, 56}, 0);
        EXPECT_TRUE(SamePixels(aligned.get(), placed.get())) << "flags " << c.flags;
        // A right-aligned string ends exactly at the right edge.
        if (c.flags & DT_RIGHT) {
            int last = -1;
            for (int y = 0; y < 60; ++y)
                for (int x = 0; x < 160; ++x)
                    if (Px(aligned.get(), x, y)) last = std::max(last, x);
            EXPECT_LT(last, 150);
            EXPECT_GE(last, 147);
        }
    }
}

TEST_F(CachedFontText, ClippingAndReturnValue) {
    auto clipped = Draw("WWW", RECT{0, 0, 8, 40}, 0);
    auto free = Draw("WWW", RECT{0, 0, 8, 40}, DT_NOCLIP);
    int beyond = 0, beyondFree = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 8; x < 160; ++x) {
            beyond += Px(clipped.get(), x, y) != 0;
            beyondFree += Px(free.get(), x, y) != 0;
        }
    EXPECT_EQ(beyond, 0);
    EXPECT_GT(beyondFree, 0);
    // The drawn extent is returned: the glyph height for one line; nothing inside gives 0.
    auto bm = Black(160, 60);
    RECT r = {2, 3, 150, 50};
    EXPECT_EQ(font.DrawText(bm.get(), "Ab", -1, &r, 0), Measure("Ab").bottom - 20);
    RECT off = {-500, -500, -400, -400};
    EXPECT_EQ(font.DrawText(bm.get(), "Ab", -1, &off, 0), 0);
    RECT far = {INT32_MAX - 10, INT32_MAX - 10, INT32_MAX, INT32_MAX};
    EXPECT_EQ(font.DrawText(bm.get(), "Ab", -1, &far, DT_NOCLIP | DT_RIGHT | DT_BOTTOM), 0);
    EXPECT_EQ(font.DrawText(nullptr, "Ab", -1, &r, 0), 0);
    EXPECT_EQ(font.DrawText(bm.get(), nullptr, -1, &r, 0), 0);
}

TEST_F(CachedFontText, AlphaZeroDrawsNothing) {
    RECT r = {0, 0, 150, 50};
    auto bm = Black(160, 60);
    font.SetCombineMode(RASTER_BLEND_COPY, 0.0f);
    EXPECT_EQ(font.DrawText(bm.get(), "Hello", -1, &r, 0), 0);
    font.SetCombineMode(RASTER_BLEND_COPY, 1.0f);
    font.SetTextColor(0xFFFFFF00); // colour alpha 0
    EXPECT_EQ(font.DrawText(bm.get(), "Hello", -1, &r, RASTER_TEXT_USE_COLOR_ALPHA), 0);
    EXPECT_EQ(CountSet(bm.get()), 0);
    // Colour alpha 128 with the flag is the same as a font alpha of 128 / 255.
    font.SetTextColor(0xFFFFFF80);
    auto a = Draw("Hello", r, RASTER_TEXT_USE_COLOR_ALPHA);
    font.SetCombineMode(RASTER_BLEND_COPY, 128 / 255.0f);
    auto b = Draw("Hello", r, 0);
    EXPECT_TRUE(SamePixels(a.get(), b.get()));
    EXPECT_GT(CountSet(a.get()), 0);
}

TEST(CachedFontPrecache, CodesFrom128DrawNothing) {
    HGDIOBJ__* hf = MakeFont(14);
    Raster_CachedFont font;
    font.SetFromHFont(hf, RASTER_FONT_OWNS_HANDLE | RASTER_FONT_PRECACHE_ASCII);
    font.SetTextColor(kWhite);
    RECT r = {0, 0, 100, 30};
    auto e = Black(100, 30), both = Black(100, 30), acc = Black(100, 30);
    EXPECT_EQ(font.DrawText(acc.get(), "\xC3\xA9\xE2\x82\xAC", -1, &r, 0), 0);
    EXPECT_EQ(CountSet(acc.get()), 0);
    EXPECT_GT(font.DrawText(e.get(), "e", -1, &r, 0), 0);
    font.DrawText(both.get(), "e\xC3\xA9", -1, &r, 0);
    EXPECT_TRUE(SamePixels(e.get(), both.get()));
    EXPECT_EQ(font.GetExtendedGlyphCount(), 0);
}

TEST(CachedFontExtended, RenderedOnceAndFoundInAnyOrder) {
    HGDIOBJ__* hf = MakeFont(14);
    Raster_CachedFont font, fresh;
    font.SetFromHFont(hf, 0);
    fresh.SetFromHFont(hf, 0);
    const char* chars[] = {"\xC3\xBF", "\xC3\xA9", "\xC4\x80", "\xC3\x80", "\xE2\x82\xAC", "\xD0\x96"};
    RECT r = {0, 0, 0, 0};
    for (const char* c : chars) font.DrawText(nullptr, c, -1, &r, DT_CALCRECT);
    EXPECT_EQ(font.GetExtendedGlyphCount(), 6);
    for (int pass = 0; pass < 2; ++pass)
        for (const char* c : chars) {
            RECT a = {0, 0, 0, 0}, b = {0, 0, 0, 0};
            font.DrawText(nullptr, c, -1, &a, DT_CALCRECT);
            fresh.DrawText(nullptr, c, -1, &b, DT_CALCRECT);
            EXPECT_TRUE(SameRect(a, b)) << c;
        }
    EXPECT_EQ(font.GetExtendedGlyphCount(), 6);
    // Setting the font again empties the caches.
    font.SetFromHFont(hf, 0);
    EXPECT_EQ(font.GetExtendedGlyphCount(), 0);
    DeleteObject(hf);
}

TEST(CachedFontVertical, GlyphsRunDownOrUp) {
    HGDIOBJ__* hf = MakeFont(15);
    const RefGlyph a = Reference(hf, 'A', RASTER_FONT_VERTICAL), b = Reference(hf, 'b', RASTER_FONT_VERTICAL);
    for (int up = 0; up < 2; ++up) {
        const int flags = RASTER_FONT_VERTICAL | (up ? RASTER_FONT_BOTTOMUP : 0);
        Raster_CachedFont font;
        font.SetFromHFont(hf, flags);
        font.SetTextColor(kWhite);
        RECT m = {0, 0, 0, 0};
        const int ret = font.DrawText(nullptr, "Ab", -1, &m, DT_CALCRECT);
        EXPECT_EQ(ret, m.right); // vertical fonts report the width
        EXPECT_EQ(m.right, std::max(a.w, b.w));
        EXPECT_EQ(m.bottom, std::max({a.advance + b.advance, a.advance + b.h, a.h}));
        auto text = Black(60, 80), glyphs = Black(60, 80);
        RECT r = {10, 5, 60, 80};
        font.DrawText(text.get(), "Ab", -1, &r, 0);
        const RECT clip = {10, 5, 60, 80};
        if (!up) {
            font.DrawGlyph(glyphs.get(), 'A', 10, 5, &clip);
            font.DrawGlyph(glyphs.get(), 'b', 10, 5 + a.advance, &clip);
        } else {
            const int y0 = 5 + m.bottom;
            font.DrawGlyph(glyphs.get(), 'A', 10, y0 - a.h, &clip);
            font.DrawGlyph(glyphs.get(), 'b', 10, y0 - a.advance - b.h, &clip);
        }
        EXPECT_TRUE(SamePixels(text.get(), glyphs.get())) << "bottom-up " << up;
        EXPECT_GT(CountSet(text.get()), 0);
    }
    DeleteObject(hf);
}

namespace {
// A heap bitmap that asks fonts for the glyph path.
class GlyphOnlyBitmap : public Raster_MemBitmap {
public:
    GlyphOnlyBitmap(int w, int h) : Raster_MemBitmap(w, h, 4) {
        for (int i = 0; i < getRowSpan() * h; ++i) getBits()[i] = 0;
    }
    intptr_t Extended(int id, void*) override { return id == Raster_CachedFont::kExtendedForceGlyphs; }
};
} // namespace

TEST(CachedFontNative, ThroughTheShimWithAndWithoutAContext) {
    HGDIOBJ__* hf = MakeFont(16);
    Raster_CachedFont native, glyphs;
    native.SetFromHFont(hf, RASTER_FONT_NATIVE);
    glyphs.SetFromHFont(hf, 0);
    for (Raster_CachedFont* f : {&native, &glyphs}) f->SetTextColor(0xFF30C0FF);

    // Measuring is the shim's.
    HDC__* dc = Shim_CreateMemContext(nullptr, 8, 8);
    SelectObject(dc, hf);
    RECT sm = {3, 4, 3, 4}, nm = {3, 4, 3, 4};
    const int sh = Shim_DrawText(dc, "Swell & fade", -1, &sm, DT_CALCRECT | DT_NOPREFIX);
    EXPECT_EQ(native.DrawText(nullptr, "Swell & fade", -1, &nm, DT_CALCRECT), sh);
    EXPECT_TRUE(SameRect(sm, nm));
    SelectObject(dc, (HGDIOBJ__*)3);
    Shim_DeleteGfxContext(dc);
    RECT none = {0, 0, 50, 50};
    EXPECT_EQ(native.DrawText(nullptr, "x", -1, &none, 0), 0);

    // Into a bitmap with a drawing context, and through the scratch bitmap into one without: the
    // same pixels, also when aligned and partly off the bitmap.
    const RECT rects[] = {{2, 3, 150, 40}, {-7, -4, 90, 30}, {20, 10, 140, 45}};
    const int flagsList[] = {0, DT_RIGHT | DT_VCENTER, DT_CENTER | DT_BOTTOM | DT_NOCLIP};
    for (int i = 0; i < 3; ++i) {
        Raster_SysBitmap sys(160, 50);
        auto mem = Black(160, 50);
        RECT a = rects[i], b = rects[i];
        const int ha = native.DrawText(&sys, "Swell & fade", -1, &a, flagsList[i]);
        const int hb = native.DrawText(mem.get(), "Swell & fade", -1, &b, flagsList[i]);
        EXPECT_EQ(ha, hb);
        EXPECT_GT(CountSet(mem.get()), 0);
        EXPECT_TRUE(SamePixels(&sys, mem.get())) << "case " << i;
    }
    // RASTER_TEXT_NO_NATIVE, colour alpha and the bitmap's request all take the glyph path.
    RECT r = {2, 3, 150, 40};
    auto g = Black(160, 50), n = Black(160, 50), ca = Black(160, 50);
    GlyphOnlyBitmap forced(160, 50);
    glyphs.DrawText(g.get(), "Swell & fade", -1, &r, 0);
    native.DrawText(n.get(), "Swell & fade", -1, &r, RASTER_TEXT_NO_NATIVE);
    native.DrawText(ca.get(), "Swell & fade", -1, &r, RASTER_TEXT_USE_COLOR_ALPHA);
    native.DrawText(&forced, "Swell & fade", -1, &r, 0);
    EXPECT_TRUE(SamePixels(g.get(), n.get()));
    EXPECT_TRUE(SamePixels(g.get(), ca.get()));
    EXPECT_TRUE(SamePixels(g.get(), &forced));
    DeleteObject(hf);
}
