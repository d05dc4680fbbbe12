#include "framework/raster/Raster_RectFill.h"

#include "framework/raster/Raster_BlitTemplates.h"
#include "framework/raster/Raster_Dispatch.h"

void Raster_GradRect(Raster_IBitmap* dest, int dstx, int dsty, int dstw, int dsth, float ir, float ig,
                     float ib, float ia, float drdx, float dgdx, float dbdx, float dadx, float drdy,
                     float dgdy, float dbdy, float dady, int mode) {
    if (!dest) return;
    if (!Raster_FiniteAll({ir, ig, ib, ia, drdx, dgdx, dbdx, dadx, drdy, dgdy, dbdy, dady})) return;
    const Raster_BlitView D(dest);
    double start[4] = {ir * 255.0, ig * 255.0, ib * 255.0, ia * 256.0};
    const double col[4] = {drdx * 255.0, dgdx * 255.0, dbdx * 255.0, dadx * 256.0};
    const double row[4] = {drdy * 255.0, dgdy * 255.0, dbdy * 255.0, dady * 256.0};
    for (int k = 0; k < 4; ++k) {
        if (dstx < 0) start[k] += (double)-(int64_t)dstx * col[k];
        if (dsty < 0) start[k] += (double)-(int64_t)dsty * row[k];
    }
    int x = dstx, y = dsty, w = dstw, h = dsth;
    if (!Raster_ClipRect(D, x, y, w, h)) return;
    int64_t s[4], cs[4], rs[4];
    for (int k = 0; k < 4; ++k) {
        s[k] = Raster_ToFix(start[k]);
        cs[k] = Raster_ToFixStep(col[k]);
        rs[k] = Raster_ToFixStep(row[k]);
    }
    uint32_t* drow = D.row(y) + x;
    const ptrdiff_t dp = D.pitch();
    // Gradients have no HSV adjustment: that mode draws nothing.
    if ((mode & RASTER_BLEND_MODE_MASK) == RASTER_BLEND_HSVADJUST) return;
    Raster_Dispatch<Raster_CombineSet::Varying>(mode, 0, [&](auto tag) {
        Raster_Template_Blit1<typename decltype(tag)::type>::gradBlit(drow, dp, w, h, s, cs, rs);
    });
}

void Raster_FillRect(Raster_IBitmap* dest, int x, int y, int w, int h, uint32_t colour, float alpha,
                     int mode) {
    if (!dest) return;
    double al = alpha;
    if (mode & RASTER_BLEND_SOURCE_ALPHA) al *= (double)(colour & 0xFF) / 255.0;
    const Raster_BlitView D(dest);
    if (!Raster_ClipRect(D, x, y, w, h)) return;
    if (al == 0.0) return;
    const int wt = Raster_WeightOf(al);
    uint32_t* drow = D.row(y) + x;
    const ptrdiff_t dp = D.pitch();
    const int r = Raster_GetR(colour), g = Raster_GetG(colour), b = Raster_GetB(colour);
    Raster_Dispatch<Raster_CombineSet::Solid, RASTER_COPY_WORDWISE>(mode, wt, [&](auto tag) {
        using C = typename decltype(tag)::type;
        if constexpr (Raster_WordWise<C>)
            Raster_Template_Blit0<C>::solidBlitFAST(drow, dp, w, h, C::prepare(colour));
        else
            Raster_Template_Blit1<C>::solidBlit(drow, dp, w, h, r, g, b, wt, wt);
    });
}

void Raster_Clear(Raster_IBitmap* dest, uint32_t colour) {
    const Raster_BlitView D(dest);
    if (!D.ok()) return;
    for (int j = 0; j < D.h; ++j) Raster_RowFill(D.bits + (ptrdiff_t)j * D.span, D.w, colour);
}

void Raster_ClearRect(Raster_IBitmap* dest, int x, int y, int w, int h, uint32_t andmask, uint32_t orbits) {
    const Raster_BlitView D(dest);
    if (!Raster_ClipRect(D, x, y, w, h)) return;
    uint32_t* drow = D.row(y) + x;
    for (int j = 0; j < h; ++j, drow += D.pitch())
        for (int i = 0; i < w; ++i) drow[i] = (drow[i] & andmask) | orbits;
}

void Raster_MultiplyAddRect(Raster_IBitmap* dest, int x, int y, int w, int h, float scaler, float scaleg,
                            float scaleb, float scalea, float addr, float addg, float addb, float adda) {
    const Raster_BlitView D(dest);
    if (!Raster_ClipRect(D, x, y, w, h)) return;
    // Per channel in byte order alpha, red, green, blue.
    const int64_t f[4] = {Raster_TruncInt(scalea * 256.0), Raster_TruncInt(scaler * 256.0),
                          Raster_TruncInt(scaleg * 256.0), Raster_TruncInt(scaleb * 256.0)};
    const int64_t o[4] = {Raster_TruncInt(adda * 256.0), Raster_TruncInt(addr * 256.0),
                          Raster_TruncInt(addg * 256.0), Raster_TruncInt(addb * 256.0)};
    uint32_t* drow = D.row(y) + x;
    for (int j = 0; j < h; ++j, drow += D.pitch()) {
        for (int i = 0; i < w; ++i) {
            const uint32_t p = drow[i];
            uint32_t out = 0;
            for (int k = 0; k < 4; ++k) {
                const int64_t v = o[k] + f[k] * (int64_t)((p >> (8 * k)) & 0xFF);
                const uint32_t c = v < 0 ? 0u : (v >= 65536 ? 255u : (uint32_t)(v >> 8));
                out |= c << (8 * k);
            }
            drow[i] = out;
        }
    }
}

void Raster_ProcessRect(Raster_IBitmap* dest, int x, int y, int w, int h, void (*procFunc)(uint32_t*, void*),
                        void* parm) {
    if (!procFunc) return;
    const Raster_BlitView D(dest);
    if (!Raster_ClipRect(D, x, y, w, h)) return;
    uint32_t* drow = D.row(y) + x;
    for (int j = 0; j < h; ++j, drow += D.pitch())
        for (int i = 0; i < w; ++i) procFunc(drow + i, parm);
}
