#include "framework/raster/Raster_Filter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "framework/raster/Raster_BlitArea.h"

namespace {

inline uint32_t Eighth(uint32_t x) {
    return (x >> 3) & 0x1F1F1F1Fu;
}

// One blurred row: c = current row, up / down = neighbour rows (null at the region's edges).
void BlurRow(uint32_t* out, const uint32_t* up, const uint32_t* c, const uint32_t* down, int w) {
    for (int i = 0; i < w; ++i) {
        uint32_t v = Raster_HalfWord(c[i]);
        if (i == 0)
            v += Raster_QuarterWord(c[1]);
        else if (i == w - 1)
            v += Raster_QuarterWord(c[i - 1]);
        else
            v += Eighth(c[i - 1]) + Eighth(c[i + 1]);
        if (!up)
            v += Raster_QuarterWord(down[i]);
        else if (!down)
            v += Raster_QuarterWord(up[i]);
        else
            v += Eighth(up[i]) + Eighth(down[i]);
        out[i] = v;
    }
}

} // namespace

void Raster_Blur(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw,
                 int srch) {
    if (!dest || !src) return;
    const Raster_BlitView D(dest), S(src);
    if (!D.ok() || !S.ok()) return;
    Raster_BlitArea a;
    if (!Raster_ClipBlit(D, S, dstx, dsty, srcx, srcy, (int64_t)srcx + srcw, (int64_t)srcy + srch, a)) return;
    if (a.w < 2 || a.h < 2) return;
    const int w = a.w, h = a.h;

    const bool same = D.bits == S.bits;
    if (same && (a.sx != a.dx || a.sy != a.dy)) {
        // Shifted within one bitmap: blur from a copy of the source area, so overlapping rows are
        // read before they are written.
        uint32_t* copy = (uint32_t*)malloc((size_t)w * (size_t)h * sizeof(uint32_t));
        if (!copy) return;
        for (int j = 0; j < h; ++j) memcpy(copy + (size_t)j * w, S.row(a.sy + j) + a.sx, (size_t)w * 4);
        for (int j = 0; j < h; ++j) {
            const uint32_t* c = copy + (size_t)j * w;
            BlurRow(D.row(a.dy + j) + a.dx, j > 0 ? c - w : nullptr, c, j < h - 1 ? c + w : nullptr, w);
        }
        free(copy);
        return;
    }
    if (!same) {
        for (int j = 0; j < h; ++j) {
            const uint32_t* c = S.row(a.sy + j) + a.sx;
            BlurRow(D.row(a.dy + j) + a.dx, j > 0 ? S.row(a.sy + j - 1) + a.sx : nullptr, c,
                    j < h - 1 ? S.row(a.sy + j + 1) + a.sx : nullptr, w);
        }
        return;
    }
    // In place: the current row and the previous one are kept as they were before being written.
    uint32_t stackBuf[2 * 1024];
    uint32_t* buf = w <= 1024 ? stackBuf : (uint32_t*)malloc((size_t)w * 2 * sizeof(uint32_t));
    uint32_t* prev = buf;
    uint32_t* cur = buf ? buf + w : nullptr;
    for (int j = 0; j < h; ++j) {
        uint32_t* row = D.row(a.dy + j) + a.dx;
        const uint32_t* down = j < h - 1 ? D.row(a.dy + j + 1) + a.dx : nullptr;
        if (buf) {
            memcpy(cur, row, (size_t)w * 4);
            BlurRow(row, j > 0 ? prev : nullptr, cur, down, w);
            std::swap(prev, cur);
        } else {
            // No room for the row buffer: neighbours are read from the bitmap as they are.
            BlurRow(row, j > 0 ? D.row(a.dy + j - 1) + a.dx : nullptr, row, down, w);
        }
    }
    if (buf && buf != stackBuf) free(buf);
}

void Raster_HalveBlitAA(Raster_IBitmap* dest, Raster_IBitmap* src) {
    const Raster_BlitView D(dest), S(src);
    if (!D.ok() || !S.ok()) return;
    const int w = std::min(D.w, S.w / 2), h = std::min(D.h, S.h / 2);
    // Rows in memory order.
    for (int y = 0; y < h; ++y) {
        uint32_t* out = D.bits + (ptrdiff_t)y * D.span;
        const uint32_t* s0 = S.bits + (ptrdiff_t)(2 * y) * S.span;
        const uint32_t* s1 = s0 + S.span;
        for (int x = 0; x < w; ++x)
            out[x] = Raster_QuarterWord(s0[2 * x]) + Raster_QuarterWord(s0[2 * x + 1]) +
                     Raster_QuarterWord(s1[2 * x]) + Raster_QuarterWord(s1[2 * x + 1]);
    }
}
