#include <gtest/gtest.h>

#include <vector>

#include "framework/raster/raster.h"
#include "tests/framework/raster/bitmap/RasterRef.h"

using namespace rasterref;

namespace {

const int kWeights[] = {0, 1, 64, 128, 192, 255, 256};
const int kAlphas[] = {0, 1, 127, 128, 254, 255};
const int kChan[] = {0, 1, 37, 127, 128, 200, 254, 255};

std::vector<uint32_t> Dests() {
    std::vector<uint32_t> v;
    for (int i = 0; i < 8; ++i)
        v.push_back(Word(kChan[i], kChan[(i + 3) % 8], kChan[(i + 5) % 8], kChan[(i + 6) % 8]));
    v.push_back(0x00000000u);
    v.push_back(0xFFFFFFFFu);
    v.push_back(Word(100, 150, 200, 50)); // every hue sextant case appears among these
    v.push_back(Word(200, 150, 100, 0));
    v.push_back(Word(150, 200, 100, 9));
    v.push_back(Word(100, 200, 150, 9));
    v.push_back(Word(150, 100, 200, 9));
    v.push_back(Word(200, 100, 150, 9));
    v.push_back(Word(80, 80, 80, 255));
    return v;
}

// Runs combiner C against the reference kind K over destinations, sources, weights and alphas.
template <class C>
void Sweep(Kind k, const std::vector<int>& chans) {
    const std::vector<uint32_t> dests = Dests();
    for (uint32_t d : dests)
        for (size_t i = 0; i < chans.size(); ++i)
            for (int w : kWeights)
                for (int a : kAlphas) {
                    const int r = chans[i], g = chans[(i + 2) % chans.size()],
                              b = chans[(i + 5) % chans.size()];
                    uint32_t got = d;
                    C::doPix(&got, r, g, b, a, w);
                    const uint32_t want = Combine(k, d, r, g, b, a, w);
                    ASSERT_EQ(got, want) << "dest " << std::hex << d << std::dec << " src " << r << "," << g
                                         << "," << b << "," << a << " w " << w;
                }
}

const std::vector<int> kIn(std::begin(kChan), std::end(kChan));
const std::vector<int> kOut = {-300, -1, 0, 100, 255, 256, 300, 1000};

} // namespace

TEST(RasterCombine, PlainCombinersMatchTheirFormulas) {
    Sweep<Raster_CombinePixelsClobberNoClamp>(kClobber, kIn);
    Sweep<Raster_CombinePixelsClobberClamp>(kClobberClamp, kOut);
    Sweep<Raster_CombinePixelsCopyNoClamp>(kCopy, kIn);
    Sweep<Raster_CombinePixelsCopyClamp>(kCopyClamp, kOut);
    Sweep<Raster_CombinePixelsAdd>(kAdd, kIn);
    Sweep<Raster_CombinePixelsColorDodge>(kDodge, kIn);
    Sweep<Raster_CombinePixelsMulNoClamp>(kMul, kIn);
    Sweep<Raster_CombinePixelsMulClamp>(kMulClamp, kOut);
    Sweep<Raster_CombinePixelsOverlay>(kOverlay, kIn);
    Sweep<Raster_CombinePixelsHalfMixNoClamp>(kHalfMix, kIn);
    Sweep<Raster_CombinePixelsHSVAdjust>(kHSV, kIn);
}

TEST(RasterCombine, SourceAlphaCombinersMatchTheirFormulas) {
    Sweep<Raster_CombinePixelsCopySourceAlphaNoClamp>(kCopySA, kIn);
    Sweep<Raster_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>(kCopySAIgnore, kIn);
    Sweep<Raster_CombinePixelsCopySourceAlphaIgnoreAlphaParmClamp>(kCopySAIgnoreClamp, kOut);
    Sweep<Raster_CombinePixelsAddSourceAlpha>(kAddSA, kIn);
    Sweep<Raster_CombinePixelsColorDodgeSourceAlpha>(kDodgeSA, kIn);
    Sweep<Raster_CombinePixelsMulSourceAlphaNoClamp>(kMulSA, kIn);
    Sweep<Raster_CombinePixelsOverlaySourceAlpha>(kOverlaySA, kIn);
    Sweep<Raster_CombinePixelsHSVAdjustSourceAlpha>(kHSVSA, kIn);
}

TEST(RasterCombine, WorkedExamples) {
    // Copy at full weight writes the source word, alpha included.
    EXPECT_EQ(Raster_CombinePixels(0xA5A5A5A5u, 0x12345678u, 1.0f, RASTER_BLEND_COPY), 0x12345678u);
    // Half weight: s + (d - s) / 2 truncated toward s.
    EXPECT_EQ(Raster_CombinePixels(0x00000000u, 0xFFFFFFFFu, 0.5f, RASTER_BLEND_COPY), 0x80808080u);
    EXPECT_EQ(Raster_CombinePixels(0xFFFFFFFFu, 0x00000000u, 0.5f, RASTER_BLEND_COPY), 0x7F7F7F7Fu);

    // Copy with source alpha at full weight.
    const uint32_t d = Word(200, 100, 0, 200);
    EXPECT_EQ(Raster_CombinePixels(d, Word(1, 2, 3, 0), 1.0f, RASTER_BLEND_SOURCE_ALPHA), d);
    EXPECT_EQ(Raster_CombinePixels(d, Word(1, 2, 3, 255), 1.0f, RASTER_BLEND_SOURCE_ALPHA),
              Word(1, 2, 3, 255));
    // a = 128: d = s + (d - s) * 127 / 256, alpha min(d + 128, 255).
    EXPECT_EQ(Raster_CombinePixels(d, Word(0, 200, 100, 128), 1.0f, RASTER_BLEND_SOURCE_ALPHA),
              Word(99, 151, 51, 255));
    EXPECT_EQ(Raster_CombinePixels(Word(0, 0, 0, 10), Word(0, 0, 0, 128), 1.0f, RASTER_BLEND_SOURCE_ALPHA),
              Word(0, 0, 0, 138));

    // Add saturates per channel and never wraps.
    EXPECT_EQ(Raster_CombinePixels(Word(200, 10, 255, 250), Word(100, 10, 1, 10), 1.0f, RASTER_BLEND_ADD),
              Word(255, 20, 255, 255));
    // Multiply by white at full weight: 255 becomes 254.
    EXPECT_EQ(Raster_CombinePixels(0xFFFFFFFFu, 0xFFFFFFFFu, 1.0f, RASTER_BLEND_MUL), 0xFEFEFEFEu);
    EXPECT_EQ(Raster_CombinePixels(Word(100, 50, 0, 255), Word(128, 128, 128, 128), 1.0f, RASTER_BLEND_MUL),
              Word(50, 25, 0, 127));
    // Overlay with 128 at full weight leaves the destination.
    EXPECT_EQ(
        Raster_CombinePixels(Word(17, 128, 250, 3), Word(128, 128, 128, 128), 1.0f, RASTER_BLEND_OVERLAY),
        Word(17, 128, 250, 3));
    // Dodge with 255 at full weight: non-zero goes to 255, 0 stays 0.
    EXPECT_EQ(Raster_CombinePixels(Word(0, 1, 100, 0), 0xFFFFFFFFu, 1.0f, RASTER_BLEND_DODGE),
              Word(0, 255, 255, 0));
    // Dodge with 128 at full weight doubles: t = 128, d * 256 / 128.
    EXPECT_EQ(
        Raster_CombinePixels(Word(100, 127, 128, 0), Word(128, 128, 128, 128), 1.0f, RASTER_BLEND_DODGE),
        Word(200, 254, 255, 0));

    // HSV adjust with a neutral source keeps the colour up to conversion rounding and copies
    // the source alpha: (100, 150, 200) has hue 225, saturation 127, value 200.
    EXPECT_EQ(
        Raster_CombinePixels(Word(100, 150, 200, 9), Word(128, 128, 128, 77), 1.0f, RASTER_BLEND_HSVADJUST),
        Word(100, 148, 200, 77));
    EXPECT_EQ(Raster_CombinePixels(Word(255, 0, 0, 9), Word(128, 128, 128, 77), 1.0f, RASTER_BLEND_HSVADJUST),
              Word(255, 0, 0, 77));
    // Red 255 turns the hue by 190 steps: 225 + 190 wraps to 31.
    EXPECT_EQ(
        Raster_CombinePixels(Word(100, 150, 200, 9), Word(255, 128, 128, 77), 1.0f, RASTER_BLEND_HSVADJUST),
        Word(200, 148, 100, 77));
    // Blue 0 at full weight drops the value to 0; green 255 saturates fully.
    EXPECT_EQ(
        Raster_CombinePixels(Word(100, 150, 200, 9), Word(128, 128, 0, 1), 1.0f, RASTER_BLEND_HSVADJUST),
        Word(0, 0, 0, 1));
    EXPECT_EQ(
        Raster_CombinePixels(Word(100, 150, 200, 9), Word(128, 255, 128, 1), 1.0f, RASTER_BLEND_HSVADJUST),
        Word(0, 97, 200, 1));
}

TEST(RasterCombine, ReciprocalTable) {
    EXPECT_EQ(Raster_RGB2HSV_invtab[0], 0);
    EXPECT_EQ(Raster_RGB2HSV_invtab[1], 65535);
    EXPECT_EQ(Raster_RGB2HSV_invtab[2], 32767);
    EXPECT_EQ(Raster_RGB2HSV_invtab[3], 21844);
    EXPECT_EQ(Raster_RGB2HSV_invtab[100], 654);
    EXPECT_EQ(Raster_RGB2HSV_invtab[200], 326);
    EXPECT_EQ(Raster_RGB2HSV_invtab[255], 256);
    for (int i = 1; i < 256; ++i) ASSERT_EQ(Raster_RGB2HSV_invtab[i], InvTab(i)) << i;
}

TEST(RasterCombine, HueWrapsForOutOfRangeSources) {
    // Sums from filtering can drive the hue shift far past one turn; the hue still lands in the
    // turn: a shift of exactly two turns (r = 640 gives 640 + 320 - 192 = 768 steps) is no shift.
    uint32_t far = Word(100, 150, 200, 9), near = far;
    Raster_CombinePixelsHSVAdjust::doPix(&far, 640, 128, 128, 5, 256);
    Raster_CombinePixelsHSVAdjust::doPix(&near, 128, 128, 128, 5, 256);
    EXPECT_EQ(far, near);
    uint32_t neg = Word(100, 150, 200, 9);
    Raster_CombinePixelsHSVAdjust::doPix(&neg, -384, 128, 128, 5, 256); // -768 steps
    EXPECT_EQ(neg, near);
}

TEST(RasterCombine, WordWiseCombiners) {
    uint32_t p = 0x00000000u;
    Raster_CombinePixelsHalfMixFAST::doPixFAST(&p, 0xFFFFFFFFu);
    EXPECT_EQ(p, 0x7F7F7F7Fu);
    p = 0x12345678u;
    Raster_CombinePixelsClobberFAST::doPixFAST(&p, Raster_CombinePixelsClobberFAST::prepare(0xCAFEBABEu));
    EXPECT_EQ(p, 0xCAFEBABEu);

    struct Case {
        uint32_t dest, colour, half, quarter, threeQuarter;
    };
    const Case cases[] = {
        {0x00000000u, 0xFFFFFFFFu, 0x7F7F7F7Fu, 0x3F3F3F3Fu, 0xBEBEBEBEu},
        {0xFFFFFFFFu, 0x00000000u, 0x7F7F7F7Fu, 0xBEBEBEBEu, 0x3F3F3F3Fu},
        // 0x10 and 0x80 channels: half 0x08 + 0x40, quarter(d) + half(d) = 0x04 + 0x08 + 0x20
        {0x10101010u, 0x80808080u, 0x48484848u, 0x2C2C2C2Cu, 0x64646464u},
    };
    for (const Case& c : cases) {
        p = c.dest;
        Raster_CombinePixelsHalfMix2FAST::doPixFAST(&p, Raster_CombinePixelsHalfMix2FAST::prepare(c.colour));
        EXPECT_EQ(p, c.half);
        p = c.dest;
        Raster_CombinePixelsQuarterMix2FAST::doPixFAST(
            &p, Raster_CombinePixelsQuarterMix2FAST::prepare(c.colour));
        EXPECT_EQ(p, c.quarter);
        p = c.dest;
        Raster_CombinePixelsThreeQuarterMix2FAST::doPixFAST(
            &p, Raster_CombinePixelsThreeQuarterMix2FAST::prepare(c.colour));
        EXPECT_EQ(p, c.threeQuarter);
    }
}

TEST(RasterCombine, CombinePixelsDispatch) {
    const std::vector<uint32_t> dests = Dests();
    const uint32_t srcs[] = {Word(0, 255, 128, 0), Word(10, 20, 30, 128), Word(255, 255, 255, 255),
                             Word(200, 7, 99, 1)};
    for (int base = 0; base <= 5; ++base)
        for (int extra : {0, 0x10000, 0x100, 0x10100, 0xFF00})
            for (int w : kWeights)
                for (uint32_t d : dests)
                    for (uint32_t s : srcs) {
                        const int mode = base | extra;
                        Kind k;
                        ASSERT_TRUE(ImageKind(mode, w, k));
                        const uint32_t want =
                            w == 0 ? d
                                   : Combine(k, d, (int)((s >> 8) & 255), (int)((s >> 16) & 255),
                                             (int)(s >> 24), (int)(s & 255), w);
                        ASSERT_EQ(Raster_CombinePixels(d, s, w / 256.0f, mode), want)
                            << "mode " << std::hex << mode << std::dec << " w " << w;
                        uint32_t p = d;
                        Raster_CombinePixels2(&p, (int)((s >> 8) & 255), (int)((s >> 16) & 255),
                                              (int)(s >> 24), (int)(s & 255), w, mode);
                        ASSERT_EQ(p, want) << "mode " << std::hex << mode << std::dec << " w " << w;
                    }
    // Weight below 1/256 and unknown modes leave the destination.
    EXPECT_EQ(Raster_CombinePixels(0x11223344u, 0xFFFFFFFFu, 0.0039f, RASTER_BLEND_ADD), 0x11223344u);
    for (int mode : {6, 0x7F, RASTER_BLEND_CHANCOPY, 0xFF, 0x10006}) {
        EXPECT_EQ(Raster_CombinePixels(0x11223344u, 0xFFFFFFFFu, 1.0f, mode), 0x11223344u) << mode;
        uint32_t p = 0x11223344u;
        Raster_CombinePixels2(&p, 255, 255, 255, 255, 256, mode);
        EXPECT_EQ(p, 0x11223344u) << mode;
    }
    // Copy: weight 0 and negative weights do nothing; w = 256 writes all four bytes.
    uint32_t p = 0x11223344u;
    Raster_CombinePixels2(&p, 1, 2, 3, 4, 0, RASTER_BLEND_COPY);
    Raster_CombinePixels2(&p, 1, 2, 3, 4, -5, RASTER_BLEND_COPY);
    EXPECT_EQ(p, 0x11223344u);
    Raster_CombinePixels2(&p, 1, 2, 3, 4, 256, RASTER_BLEND_COPY);
    EXPECT_EQ(p, Word(1, 2, 3, 4));
}

TEST(RasterCombine, CombinePixels2ClampClampsCopyAddAndMultiply) {
    uint32_t p = Word(10, 20, 30, 40);
    Raster_CombinePixels2Clamp(&p, 300, -20, 128, 999, 256, RASTER_BLEND_COPY);
    EXPECT_EQ(p, Word(255, 0, 128, 255));
    // Weighted copy of out-of-range values: 0 + (0 - 600) * 128 / 256 + 600 = 300 -> 255.
    p = Word(0, 255, 0, 0);
    Raster_CombinePixels2Clamp(&p, 600, -600, 0, 0, 128, RASTER_BLEND_COPY);
    EXPECT_EQ(p, Word(255, 0, 0, 0));
    p = Word(100, 100, 100, 100);
    Raster_CombinePixels2Clamp(&p, 1000, -1000, 0, 0, 256, RASTER_BLEND_ADD);
    EXPECT_EQ(p, Word(255, 0, 100, 100));
    // Multiply: 255 * (600 * 256) >> 16 = 597, clamped (unclamped it would wrap to 85).
    p = 0xFFFFFFFFu;
    Raster_CombinePixels2Clamp(&p, 600, 600, -10, 255, 256, RASTER_BLEND_MUL);
    EXPECT_EQ(p, Word(255, 255, 0, 254));
    uint32_t q = 0xFFFFFFFFu;
    Raster_CombinePixels2(&q, 600, 255, 255, 255, 256, RASTER_BLEND_MUL);
    EXPECT_EQ(q & 0xFF00u, 85u << 8);
    // The largest magnitudes the clamped entry accepts: 255 * (-32767 * -256 + 512 * 256) >> 16 =
    // 255 * 8519424 >> 16 = 33149, clamped to 255 (the product exceeds 32 bits); blue 0 gives
    // 100 * (512 * 256) >> 16 = 200.
    p = Word(255, 255, 100, 100);
    Raster_CombinePixels2Clamp(&p, -32767, -40000, 0, 255, -256, RASTER_BLEND_MUL);
    EXPECT_EQ(p, Word(255, 255, 200, 100));
    // Source alpha copy at full weight clamps too.
    p = Word(0, 0, 0, 0);
    Raster_CombinePixels2Clamp(&p, 400, -4, 10, 255, 256, RASTER_BLEND_COPY | RASTER_BLEND_SOURCE_ALPHA);
    EXPECT_EQ(p, Word(255, 0, 10, 255));
    // In-range values give the same results as the unclamped dispatch.
    for (int mode : {0, 1, 2, 3, 4, 5, 0x10000, 0x10001, 0x10003})
        for (int w : kWeights) {
            uint32_t a = Word(37, 200, 128, 54), b = a;
            Raster_CombinePixels2(&a, 250, 3, 128, 200, w, mode);
            Raster_CombinePixels2Clamp(&b, 250, 3, 128, 200, w, mode);
            ASSERT_EQ(a, b) << mode << " " << w;
        }
}

TEST(RasterCombine, CombinePixels2ClampAtTheLimitsOfItsArguments) {
    // Channels at +-32767 and weights at +-256 (what the clamped entry accepts) must follow the
    // formulas exactly, without overflowing (checked under UBSan as well).
    const int chans[] = {-32767, -1, 0, 255, 32767};
    const int weights[] = {-256, -1, 1, 255, 256};
    const uint32_t dests[] = {0x00000000u, 0xFFFFFFFFu, 0x7F80FF01u};
    for (int mode = 0; mode <= 4; ++mode)
        for (uint32_t d : dests)
            for (int w : weights)
                for (int r : chans)
                    for (int g : chans)
                        for (int a : chans) {
                            uint32_t p = d;
                            Raster_CombinePixels2Clamp(&p, r, g, 128, a, w, mode);
                            const Kind k[] = {w == 256 ? kClobberClamp : kCopyClamp, kAdd, kDodge, kMulClamp,
                                              kOverlay};
                            const uint32_t want =
                                mode == 0 && w < 1 ? d : Combine(k[mode], d, r, g, 128, a, w);
                            ASSERT_EQ(p, want) << "mode " << mode << " w " << w << " " << r << "," << g << ","
                                               << a << " dest " << std::hex << d;
                        }
    // HSV adjust with the extremes stays defined and writes the source alpha.
    for (int w : weights)
        for (int r : chans)
            for (int g : chans) {
                uint32_t p = 0x7F80FF01u;
                Raster_CombinePixels2Clamp(&p, r, g, r, 9, w, RASTER_BLEND_HSVADJUST);
                EXPECT_EQ(p & 0xFF, 9u);
            }
}
