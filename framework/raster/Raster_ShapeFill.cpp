// Trapezoid, convex-polygon and triangle fills.

#include "framework/raster/Raster_ShapeFill.h"

#include "framework/raster/Raster_ShapeFillImpl.h"

void Raster_FillTrapezoid(Raster_IBitmap* dest, int x1a, int x1b, int y1, int x2a, int x2b, int y2,
                          uint32_t colour, float alpha, int mode) {
    const Raster_ShapeSurface s(dest);
    if (!s.ok) return;
    int64_t ya = y1, yb = y2;
    if (s.flipped) {
        ya = (int64_t)s.height - 1 - y1;
        yb = (int64_t)s.height - 1 - y2;
    }
    Raster_FillDispatch(colour, Raster_ShapeWeight(alpha), mode, [&](const auto& fill) {
        Raster_FillTrapezoidRows(s, fill, x1a, x1b, ya, x2a, x2b, yb);
    });
}

void Raster_FillConvexPolygon(Raster_IBitmap* dest, const int* x, const int* y, int npoints, uint32_t colour,
                              float alpha, int mode) {
    const Raster_ShapeSurface s(dest);
    if (!s.ok || !x || !y || npoints < 3) return;
    const int w = Raster_ShapeWeight(alpha);
    Raster_PolyPoints store(npoints);
    Raster_PolyPoint* pts = store.Get();
    if (!pts) return;
    for (int i = 0; i < npoints; ++i) {
        pts[i].x = x[i];
        pts[i].y = s.flipped ? (int64_t)s.height - 1 - y[i] : y[i];
    }
    Raster_FillDispatch(colour, w, mode,
                        [&](const auto& fill) { Raster_FillConvexPolygonRows(s, fill, pts, npoints); });
}

void Raster_FillTriangle(Raster_IBitmap* dest, int x1, int y1, int x2, int y2, int x3, int y3,
                         uint32_t colour, float alpha, int mode) {
    const int xs[3] = {x1, x2, x3}, ys[3] = {y1, y2, y3};
    Raster_FillConvexPolygon(dest, xs, ys, 3, colour, alpha, mode);
}
