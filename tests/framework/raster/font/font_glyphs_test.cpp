// Cached glyphs: images match the shim's rendering with every glyph flag applied, and blend with the
// specified weights.

#include "FontTestUtil.h"

using namespace fonttest;

namespace {

const uint32_t kWhite = 0xFFFFFFFF;
const uint32_t kEffect = 0xFF0000FF; // blue, alpha 255

int CopyChan(int d, int s, int w) {
    return s + (d - s) * (256 - w) / 256;
}

// Expected pixel of a glyph drawn white over black in copy mode at alpha 1.
uint32_t Expected(const RefGlyph& g, int x, int y, int flags) {
    const int c = g.at(x, y);
    if (!c) return 0;
    if (flags & RASTER_FONT_MONO) return kWhite;
    if (flags & (RASTER_FONT_SHADOW | RASTER_FONT_OUTLINE)) return c == 255 ? kWhite : kEffect;
    const int v = CopyChan(0, 255, c + 1); // weight coverage + 1 at full alpha, alpha channel 255
    return (uint32_t)v * 0x01010101u;
}

class CachedFontGlyphs : public ::testing::TestWithParam<int> {};

} // namespace

TEST_P(CachedFontGlyphs, ImageMatchesTheShimRendering) {
    const int flags = GetParam();
    HGDIOBJ__* hf = MakeFont(17);
    ASSERT_NE(hf, nullptr);
    Raster_CachedFont font;
    font.SetFromHFont(hf, flags | RASTER_FONT_OWNS_HANDLE);
    font.SetTextColor(kWhite);
    font.SetEffectColor(kEffect);
    EXPECT_EQ(font.GetLineHeight(), LineHeight(hf));
    const RECT clip = {0, 0, 64, 64};
    for (int code : {(int)'A', (int)'g', (int)'W', (int)'.', 0xE9, 0x20AC, 0x416}) {
        auto bm = Black(64, 64);
        if ((flags & RASTER_FONT_PRECACHE_ASCII) && code >= 128) {
            // Precached fonts never render codes from 128 up.
            EXPECT_FALSE(font.DrawGlyph(bm.get(), (unsigned short)code, 5, 7, &clip));
            EXPECT_EQ(CountSet(bm.get()), 0);
            continue;
        }
        const RefGlyph g = Reference(hf, code, flags);
        ASSERT_FALSE(g.empty) << code;
        EXPECT_TRUE(font.DrawGlyph(bm.get(), (unsigned short)code, 5, 7, &clip));
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const bool in = x >= 5 && y >= 7 && x < 5 + g.w && y < 7 + g.h;
                ASSERT_EQ(Px(bm.get(), x, y), in ? Expected(g, x - 5, y - 7, flags) : 0u)
                    << "char " << code << " flags 0x" << std::hex << flags << std::dec << " at " << x << ","
                    << y;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Flags, CachedFontGlyphs,
                         ::testing::Values(0, RASTER_FONT_BLUR, RASTER_FONT_INVERT, RASTER_FONT_MONO,
                                           RASTER_FONT_SHADOW, RASTER_FONT_OUTLINE, RASTER_FONT_VERTICAL,
                                           RASTER_FONT_VERTICAL | RASTER_FONT_BOTTOMUP,
                                           RASTER_FONT_VERTICAL | RASTER_FONT_SHADOW,
                                           RASTER_FONT_PRECACHE_ASCII | RASTER_FONT_MONO));

TEST(CachedFont, BlendingWeightsAndBackground) {
    HGDIOBJ__* hf = MakeFont(15);
    Raster_CachedFont font;
    font.SetFromHFont(hf, RASTER_FONT_OWNS_HANDLE);
    const RefGlyph g = Reference(hf, 'M', 0);
    const RECT clip = {0, 0, 40, 40};
    const uint32_t d = 0x40302010, text = 0xC080FF20;

    // Half alpha: weight min(256, 128 * c / 256) in copy mode; alpha channel value 255.
    font.SetTextColor(text);
    font.SetCombineMode(RASTER_BLEND_COPY, 0.5f);
    auto bm = Black(40, 40, d);
    font.DrawGlyph(bm.get(), 'M', 3, 4, &clip);
    // Add at full alpha: weight coverage + 1.
    font.SetCombineMode(RASTER_BLEND_ADD, 1.0f);
    auto add = Black(40, 40, d);
    font.DrawGlyph(add.get(), 'M', 3, 4, &clip);
    // Alpha 2 scales coverage up, limited to 256.
    font.SetCombineMode(RASTER_BLEND_COPY, 2.0f);
    auto strong = Black(40, 40, d);
    font.DrawGlyph(strong.get(), 'M', 3, 4, &clip);
    for (int y = 0; y < g.h; ++y)
        for (int x = 0; x < g.w; ++x) {
            const int c = g.at(x, y);
            uint32_t eh = d, ea = d, es = d;
            if (c) {
                const int wh = 128 * c / 256, ws = std::min(256, 512 * c / 256);
                eh = ea = es = 0;
                const int src[4] = {255, (int)((text >> 8) & 255), (int)((text >> 16) & 255),
                                    (int)(text >> 24)};
                for (int ch = 0; ch < 4; ++ch) {
                    const int dc = (int)((d >> (8 * ch)) & 255);
                    eh |= (uint32_t)(CopyChan(dc, src[ch], wh) & 255) << (8 * ch);
                    es |= (uint32_t)(CopyChan(dc, src[ch], ws) & 255) << (8 * ch);
                    ea |= (uint32_t)std::min(255, dc + src[ch] * (c + 1) / 256) << (8 * ch);
                }
            }
            ASSERT_EQ(Px(bm.get(), 3 + x, 4 + y), eh) << x << "," << y;
            ASSERT_EQ(Px(add.get(), 3 + x, 4 + y), ea) << x << "," << y;
            ASSERT_EQ(Px(strong.get(), 3 + x, 4 + y), es) << x << "," << y;
        }

    // Opaque background: the clipped glyph box is filled first; modes above 5 draw no glyph pixels.
    font.SetBkMode(1);
    font.SetBkColor(0x11223344);
    font.SetCombineMode(9, 1.0f);
    auto bg = Black(40, 40, d);
    const RECT small = {0, 0, 6, 40};
    EXPECT_TRUE(font.DrawGlyph(bg.get(), 'M', 3, 4, &small));
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool box = x >= 3 && x < 6 && y >= 4 && y < 4 + g.h;
            ASSERT_EQ(Px(bg.get(), x, y), d)
                << "mode 9 fills nothing either: " << x << "," << y << " " << box;
        }
    font.SetCombineMode(RASTER_BLEND_COPY, 1.0f);
    font.SetTextColor(kWhite);
    auto bg2 = Black(40, 40, d);
    EXPECT_TRUE(font.DrawGlyph(bg2.get(), 'M', 3, 4, &small));
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool box = x >= 3 && x < 6 && y >= 4 && y < 4 + g.h;
            uint32_t e = box ? 0x11223344u : d;
            if (box && g.at(x - 3, y - 4))
                e = (uint32_t)CopyChan(0x44, 255, g.at(x - 3, y - 4) + 1) |
                    (uint32_t)CopyChan(0x33, 255, g.at(x - 3, y - 4) + 1) << 8 |
                    (uint32_t)CopyChan(0x22, 255, g.at(x - 3, y - 4) + 1) << 16 |
                    (uint32_t)CopyChan(0x11, 255, g.at(x - 3, y - 4) + 1) << 24;
            ASSERT_EQ(Px(bg2.get(), x, y), e) << x << "," << y;
        }
    // Outside the clip: nothing drawn, false.
    const RECT away = {30, 30, 40, 40};
    EXPECT_FALSE(font.DrawGlyph(bg2.get(), 'M', 3, 4, &away));
    EXPECT_FALSE(font.DrawGlyph(nullptr, 'M', 3, 4, &away));
}

TEST(CachedFont, HandleOwnershipAndScratchLifetime) {
    HGDIOBJ__* a = MakeFont(12);
    HGDIOBJ__* b = MakeFont(13);
    HDC__* dc = Shim_CreateMemContext(nullptr, 4, 4);
    {
        Raster_CachedFont font;
        font.SetFromHFont(a, RASTER_FONT_OWNS_HANDLE);
        font.SetFromHFont(a, RASTER_FONT_OWNS_HANDLE); // the same handle again is kept
        EXPECT_NE(SelectObject(dc, a), nullptr);
        SelectObject(dc, (HGDIOBJ__*)3);
        font.SetFromHFont(b, 0); // the owned handle is deleted
        EXPECT_EQ(SelectObject(dc, a), nullptr);
        EXPECT_EQ(font.GetHFont(), b);
    }
    // Without ownership the handle outlives the font.
    EXPECT_NE(SelectObject(dc, b), nullptr);
    SelectObject(dc, (HGDIOBJ__*)3);
    DeleteObject(b);
    Shim_DeleteGfxContext(dc);
    // Fonts come and go; the shared scratch bitmaps go with the last one (checked by the leak checker).
    for (int i = 0; i < 3; ++i) {
        Raster_CachedFont f1, f2;
        f1.SetFromHFont(MakeFont(11), RASTER_FONT_OWNS_HANDLE);
        RECT r = {0, 0, 0, 0};
        EXPECT_GT(f1.DrawText(nullptr, "x", -1, &r, DT_CALCRECT), 0);
    }
}
