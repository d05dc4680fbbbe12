#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "framework/raster/Raster_BlitTemplates.h"
#include "tests/framework/raster/blit/BlitTestUtil.h"

// Randomized comparisons of the several-pixels-at-a-time row kernels (and the combiners behind
// every blit) with the independent per-pixel model: random rows of every length around the
// vector width, at unaligned starts, must match pixel for pixel.

using namespace rasterref;

namespace {

// Source pixels biased toward the alphas with special handling (0, 255) and toward runs of them.
uint32_t RandomPixel(std::mt19937& rng) {
    const uint32_t v = rng();
    switch (rng() % 4) {
    case 0:
        return v & 0xFFFFFF00u;
    case 1:
        return v | 0xFFu;
    default:
        return v;
    }
}

// Per-channel word arithmetic done byte by byte: sum of floor(channel * num / den) terms.
uint32_t Bytes(uint32_t x, int shift) {
    Px p = Unpack(x);
    for (int i = 0; i < 4; ++i) p.c[i] >>= shift;
    return Pack(p);
}
uint32_t AddBytes(uint32_t a, uint32_t b) {
    const Px p = Unpack(a), q = Unpack(b);
    Px o;
    for (int i = 0; i < 4; ++i) o.c[i] = p.c[i] + q.c[i];
    return Pack(o);
}

} // namespace

TEST(RasterBlitRows, SourceAlphaRowsMatchTheModelOnRandomData) {
    std::mt19937 rng(12345);
    for (int iter = 0; iter < 400; ++iter) {
        const int n = (int)(rng() % 23), off = (int)(rng() % 4);
        std::vector<uint32_t> src(n + 4), dest(n + 4), want(n + 4);
        // Whole groups of one kind now and then, so the group shortcuts are taken too.
        const int kind = (int)(rng() % 5);
        for (int i = 0; i < n + 4; ++i) {
            uint32_t s = RandomPixel(rng);
            if (kind == 1) s &= 0xFFFFFF00u;
            if (kind == 2) s |= 0xFFu;
            src[i] = s;
            dest[i] = rng();
        }
        const int w = iter % 3 == 0 ? 256 : 1 + (int)(rng() % 255);
        for (int i = 0; i < n + 4; ++i) {
            const Px s = Unpack(src[i]);
            want[i] = i >= off && i < off + n ? Combine(w == 256 ? kCopySAIgnore : kCopySA, dest[i], s.c[1],
                                                        s.c[2], s.c[3], s.c[0], w)
                                              : dest[i];
        }
        if (w == 256)
            Raster_RowCopySourceAlphaFull(dest.data() + off, src.data() + off, n);
        else
            Raster_RowCopySourceAlphaWeighted(dest.data() + off, src.data() + off, n, w);
        for (int i = 0; i < n + 4; ++i)
            ASSERT_EQ(dest[i], want[i]) << "iteration " << iter << " w " << w << " n " << n << " at " << i;
    }
}

TEST(RasterBlitRows, WordWiseRowsMatchTheModelOnRandomData) {
    std::mt19937 rng(777);
    for (int iter = 0; iter < 300; ++iter) {
        const int n = (int)(rng() % 19), off = (int)(rng() % 4);
        std::vector<uint32_t> d0(n + 4), src(n + 4);
        for (int i = 0; i < n + 4; ++i) {
            d0[i] = rng();
            src[i] = rng();
        }
        const uint32_t colour = rng();
        const uint32_t half = Bytes(colour, 1), quarter = Bytes(colour, 2);
        for (int kind = 0; kind < 5; ++kind) {
            std::vector<uint32_t> d = d0;
            uint32_t* p = d.data() + off;
            switch (kind) {
            case 0:
                Raster_RowFill(p, n, colour);
                break;
            case 1:
                Raster_RowMix<1>(p, n, half);
                break;
            case 2:
                Raster_RowMix<2>(p, n, quarter);
                break;
            case 3:
                Raster_RowMix<3>(p, n, AddBytes(half, quarter));
                break;
            default:
                Raster_RowHalfMix(p, src.data() + off, n);
                break;
            }
            for (int i = 0; i < n + 4; ++i) {
                const uint32_t x = d0[i];
                uint32_t want = x;
                if (i >= off && i < off + n) {
                    if (kind == 0) want = colour;
                    if (kind == 1) want = AddBytes(Bytes(x, 1), half);
                    if (kind == 2) want = AddBytes(AddBytes(Bytes(x, 2), Bytes(x, 1)), quarter);
                    if (kind == 3) want = AddBytes(Bytes(x, 2), AddBytes(half, quarter));
                    if (kind == 4) want = AddBytes(Bytes(x, 1), Bytes(src[i], 1));
                }
                ASSERT_EQ(d[i], want) << "kind " << kind << " n " << n << " at " << i;
            }
        }
    }
}

TEST(RasterBlitRows, ColumnSumsMatchPlainSums) {
    std::mt19937 rng(99);
    Raster_MemBitmap bm(23, 7, 4);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 23; ++x) blittest::At(bm, x, y) = rng();
    const Raster_BlitView view(&bm);
    for (int iter = 0; iter < 200; ++iter) {
        const int lo = (int)(rng() % 23), hi = lo + (int)(rng() % (23 - lo));
        const int r0 = (int)(rng() % 3), r1 = r0 + (int)(rng() % 5);
        std::vector<uint64_t> cols(hi - lo + 1);
        Raster_ColumnSums(cols.data(), view, lo, hi, r0, r1);
        for (int x = lo; x <= hi; ++x) {
            uint64_t want = 0;
            for (int c = 0; c < 4; ++c) {
                uint64_t s = 0;
                for (int y = r0; y <= r1; ++y) s += (blittest::At(bm, x, y) >> (8 * c)) & 0xFF;
                want |= s << (16 * c);
            }
            ASSERT_EQ(cols[x - lo], want) << "columns " << lo << ".." << hi << " rows " << r0 << ".." << r1;
        }
    }
}

TEST(RasterBlitRows, EveryModeThroughBlitsMatchesTheModelOnRandomData) {
    // Straight blits over random pixels with random weights, every mode with and without source
    // alpha: the combiner each routine selects must give the model's pixel everywhere.
    std::mt19937 rng(4242);
    const int w = 13, h = 3;
    Raster_MemBitmap src(w, h, 4), dest(w, h, 4);
    std::vector<uint32_t> d0(w * h);
    for (int iter = 0; iter < 120; ++iter) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                blittest::At(src, x, y) = RandomPixel(rng);
                d0[y * w + x] = rng();
            }
        for (int sa : {0, RASTER_BLEND_SOURCE_ALPHA})
            for (int m = 0; m <= 5; ++m) {
                const int mode = m | sa;
                const int wt = iter % 4 == 0 ? 256 : 1 + (int)(rng() % 256);
                const float alpha = (float)wt / 256.0f;
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) blittest::At(dest, x, y) = d0[y * w + x];
                Raster_Blit(&dest, &src, 0, 0, nullptr, alpha, mode);
                Kind k;
                ASSERT_TRUE(ImageKind(mode, wt, k));
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const Px s = Unpack(blittest::At(src, x, y));
                        uint32_t want = Combine(k, d0[y * w + x], s.c[1], s.c[2], s.c[3], s.c[0], wt);
                        // Copy without source alpha at exactly one half is the word-wise half mix.
                        if (mode == 0 && wt == 128)
                            want = AddBytes(Bytes(d0[y * w + x], 1), Bytes(blittest::At(src, x, y), 1));
                        ASSERT_EQ(blittest::At(dest, x, y), want) << "mode " << std::hex << mode << std::dec
                                                                  << " w " << wt << " at " << x << "," << y;
                    }
            }
    }
}
