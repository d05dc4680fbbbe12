#include "framework/raster/Raster_Compare.h"

#include <algorithm>
#include <cstring>

#include "framework/raster/Raster_BlitArea.h"

int Raster_BitmapCmp(Raster_IBitmap* a, Raster_IBitmap* b, int* rect) {
    return Raster_BitmapCmpEx(a, b, 0xFFFFFFFFu, rect);
}

int Raster_BitmapCmpEx(Raster_IBitmap* a, Raster_IBitmap* b, uint32_t mask, int* rect) {
    if (!a && !b) return 0;
    if (!a) return -1;
    if (!b) return 1;
    if (a->getWidth() != b->getWidth()) return b->getWidth() - a->getWidth();
    if (a->getHeight() != b->getHeight()) return b->getHeight() - a->getHeight();
    const Raster_BlitView A(a), B(b);
    if (rect) rect[0] = rect[1] = rect[2] = rect[3] = 0;
    // Equal sizes without pixels to compare are equal.
    if (!A.ok() || !B.ok()) return 0;
    const int w = A.w, h = A.h;
    if (rect) {
        int minx = w, miny = h, maxx = -1, maxy = -1;
        for (int y = 0; y < h; ++y) {
            const uint32_t* ra = A.row(y);
            const uint32_t* rb = B.row(y);
            for (int x = 0; x < w; ++x) {
                if (((ra[x] ^ rb[x]) & mask) == 0) continue;
                minx = std::min(minx, x);
                maxx = std::max(maxx, x);
                miny = std::min(miny, y);
                maxy = y;
            }
        }
        if (maxx < 0) return 0;
        rect[0] = minx;
        rect[1] = miny;
        rect[2] = maxx - minx + 1;
        rect[3] = maxy - miny + 1;
        return 1;
    }
    for (int y = 0; y < h; ++y) {
        const uint32_t* ra = A.row(y);
        const uint32_t* rb = B.row(y);
        if (mask == 0xFFFFFFFFu) {
            const int c = memcmp(ra, rb, (size_t)w * sizeof(uint32_t));
            if (c != 0) return c < 0 ? -1 : 1;
        } else {
            for (int x = 0; x < w; ++x)
                if ((ra[x] ^ rb[x]) & mask) return 1;
        }
    }
    return 0;
}
