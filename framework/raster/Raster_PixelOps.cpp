#include "framework/raster/Raster_PixelOps.h"

#include "framework/raster/Raster_BlitArea.h"
#include "framework/raster/Raster_Dispatch.h"

void Raster_PutPixel(Raster_IBitmap* dest, int x, int y, uint32_t colour, float alpha, int mode) {
    const Raster_BlitView D(dest);
    if (!D.ok() || x < 0 || y < 0 || x >= D.w || y >= D.h) return;
    uint32_t* p = D.row(y) + x;
    const int w = Raster_WeightOf(alpha);
    const int r = Raster_GetR(colour), g = Raster_GetG(colour), b = Raster_GetB(colour),
              a = Raster_GetA(colour);
    Raster_Dispatch<Raster_CombineSet::Solid, RASTER_COPY_WORDWISE>(mode, w, [&](auto tag) {
        using C = typename decltype(tag)::type;
        if constexpr (Raster_WordWise<C>)
            C::doPixFAST(p, C::prepare(colour));
        else
            C::doPix(p, r, g, b, a, w);
    });
}

uint32_t Raster_GetPixel(Raster_IBitmap* dest, int x, int y) {
    const Raster_BlitView D(dest);
    if (!D.ok() || x < 0 || y < 0 || x >= D.w || y >= D.h) return 0;
    return D.row(y)[x];
}

void Raster_SetAlphaFromColorMask(Raster_IBitmap* dest, uint32_t colour) {
    const Raster_BlitView D(dest);
    if (!D.ok()) return;
    for (int j = 0; j < D.h; ++j) {
        uint32_t* row = D.bits + (ptrdiff_t)j * D.span;
        for (int i = 0; i < D.w; ++i)
            row[i] = (row[i] & 0xFFFFFF00u) | ((row[i] & 0xFFFFFF00u) == colour ? 0u : 0xFFu);
    }
}

void Raster_SimpleFill(Raster_IBitmap* dest, int x, int y, uint32_t newcolour, uint32_t comparemask,
                       uint32_t keepmask) {
    const Raster_BlitView D(dest);
    if (!D.ok() || x < 0 || y < 0 || x >= D.w || y >= D.h) return;
    const uint32_t target = D.row(y)[x] & comparemask;
    auto fillRow = [&](int ry) -> bool {
        uint32_t* row = D.row(ry);
        if ((row[x] & comparemask) != target) return false;
        int l = x;
        while (l > 0 && (row[l - 1] & comparemask) == target) --l;
        int r = x;
        while (r < D.w - 1 && (row[r + 1] & comparemask) == target) ++r;
        for (int i = l; i <= r; ++i) row[i] = newcolour | (row[i] & keepmask);
        return true;
    };
    for (int ry = y; ry < D.h && fillRow(ry); ++ry) {}
    for (int ry = y - 1; ry >= 0 && fillRow(ry); --ry) {}
}
