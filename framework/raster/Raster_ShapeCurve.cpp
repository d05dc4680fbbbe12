// Bezier curves: cutting at the bitmap's edges, segmenting, stroking and filling.

#include "framework/raster/Raster_ShapeCurve.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "framework/raster/Raster_Line.h"
#include "framework/raster/Raster_ShapeFillImpl.h"

namespace {

constexpr int kMaxSegments = 65536;

bool Finite(std::initializer_list<float> v) {
    for (float f : v)
        if (!std::isfinite(f)) return false;
    return true;
}

// Number of segments for a control-polygon length over the parameter range t0..t1.
int SegmentCount(double length, double t0, double t1, double tolerance) {
    if (!(tolerance > 0)) tolerance = 1;
    const double n = length * (t1 - t0) / tolerance;
    if (!(n >= 1)) return 1;
    return n > kMaxSegments ? kMaxSegments : (int)n;
}

// Parameter where a quadratic x0, x1, x2 (x0 <= x2) reaches x = X, and the point there. A curve that
// lies wholly on one side of X is cut at the end nearer to it, which keeps its own coordinates.
void CutQuadratic(double x0, double x1, double x2, double y0, double y1, double y2, double X, double* t,
                  double* x, double* y) {
    if (x0 >= X) {
        *t = 0;
        *x = x0;
        *y = y0;
        return;
    }
    if (x2 <= X) {
        *t = 1;
        *x = x2;
        *y = y2;
        return;
    }
    *x = X;
    const double h = x0 - 2 * x1 + x2;
    double tt;
    if (h != 0) {
        const double o = 2 * (x1 - x0);
        double disc = o * o - 4 * h * (x0 - X);
        if (disc < 0) disc = 0;
        tt = (std::sqrt(disc) - o) / (2 * h);
        if (!(tt >= 0)) tt = 0;
        if (tt > 1) tt = 1;
        const double u = 1 - tt;
        *y = u * u * y0 + 2 * u * tt * y1 + tt * tt * y2;
    } else {
        tt = (X - x0) / (x2 - x0);
        *y = y0 + (y2 - y0) * tt;
    }
    *t = tt;
}

// A cubic in power form per axis: value = ((a t + b) t + c) t + d.
struct Cubic {
    double ax, bx, cx, dx, ay, by, cy, dy;
    Cubic(const double* u, const double* v) {
        cx = 3 * (u[1] - u[0]);
        bx = 3 * (u[2] - u[1]) - cx;
        ax = u[3] - u[0] - cx - bx;
        dx = u[0];
        cy = 3 * (v[1] - v[0]);
        by = 3 * (v[2] - v[1]) - cy;
        ay = v[3] - v[0] - cy - by;
        dy = v[0];
    }
    double X(double t) const { return ((ax * t + bx) * t + cx) * t + dx; }
    double Y(double t) const { return ((ay * t + by) * t + cy) * t + dy; }
};

// Brackets the parameter where the cubic crosses X (given X(0) <= X < X(1)) by eight bisections
// and interpolates the other coordinate there linearly.
void CutCubic(const Cubic& c, double X, double* lo, double* hi, double* y) {
    double t0 = 0, t1 = 1;
    for (int i = 0; i < 8; ++i) {
        const double mid = (t0 + t1) / 2;
        const double xm = c.X(mid);
        if (xm == X) {
            t0 = mid;
            t1 = std::min(1.0, mid + 1.0 / 256);
            break;
        }
        if (xm < X)
            t0 = mid;
        else
            t1 = mid;
    }
    const double xa = c.X(t0), xb = c.X(t1), ya = c.Y(t0), yb = c.Y(t1);
    *y = xb != xa ? ya + (yb - ya) * (X - xa) / (xb - xa) : ya;
    *lo = t0;
    *hi = t1;
}

// A cubic ordered along its first axis and cut at 0 and `limit` on it: the parameter range, the
// (cut) end points and the segment count.
struct PreparedCubic {
    double u[4], v[4];
    double t0 = 0, t1 = 1;
    double su, sv, eu, ev;
    int n = 1;
    PreparedCubic(const double* uin, const double* vin, double limit, float tolerance)
        : u{uin[0], uin[1], uin[2], uin[3]}, v{vin[0], vin[1], vin[2], vin[3]} {
        if (u[0] > u[3]) {
            std::swap(u[0], u[3]);
            std::swap(u[1], u[2]);
            std::swap(v[0], v[3]);
            std::swap(v[1], v[2]);
        }
        const Cubic c(u, v);
        su = u[0];
        sv = v[0];
        eu = u[3];
        ev = v[3];
        if (!(u[0] > 0)) {
            if (u[3] <= 0) {
                t0 = 1;
                su = u[3];
                sv = v[3];
            } else {
                double lo, hi, y;
                CutCubic(c, 0, &lo, &hi, &y);
                t0 = lo;
                su = 0;
                sv = y;
            }
        }
        if (!(u[0] > limit) && u[3] > limit) {
            double lo, hi, y;
            CutCubic(c, limit, &lo, &hi, &y);
            t1 = hi;
            eu = limit;
            ev = y;
        }
        const double len = std::hypot(u[1] - u[0], v[1] - v[0]) + std::hypot(u[2] - u[1], v[2] - v[1]) +
                           std::hypot(u[3] - u[2], v[3] - v[2]);
        n = SegmentCount(len, t0, t1, tolerance);
    }
};

inline int64_t FloorSafe(double v) {
    if (!(v == v)) return 0;
    if (v > 2147483647.0) return 2147483647;
    if (v < -2147483648.0) return -2147483648LL;
    return (int64_t)std::floor(v);
}

// Fills between a cubic and the line v = fill; alongY exchanges the roles of x and y.
void FillCubic(Raster_IBitmap* dest, const float* xs, const float* ys, int fill, bool alongY, uint32_t colour,
               float alpha, int mode, float tolerance) {
    const Raster_ShapeSurface s(dest);
    if (!s.ok) return;
    const double x[4] = {xs[0], xs[1], xs[2], xs[3]}, y[4] = {ys[0], ys[1], ys[2], ys[3]};
    const PreparedCubic pc(alongY ? y : x, alongY ? x : y, alongY ? s.height : s.width, tolerance);
    const Cubic c(pc.u, pc.v);
    const int64_t limit = alongY ? s.height : s.width;

    Raster_FillDispatch(colour, Raster_ShapeWeight(alpha), mode, [&](const auto& filler) {
        // (u, v) to memory pixel coordinates.
        auto toPoint = [&](int64_t u, int64_t v) {
            Raster_PolyPoint p;
            p.x = alongY ? v : u;
            p.y = alongY ? u : v;
            if (s.flipped) p.y = (int64_t)s.height - 1 - p.y;
            return p;
        };
        auto poly = [&](std::initializer_list<Raster_PolyPoint> pl) {
            Raster_PolyPoint pts[4];
            int n = 0;
            for (const Raster_PolyPoint& p : pl) pts[n++] = p;
            Raster_FillConvexPolygonRows(s, filler, pts, n);
        };
        // Band of columns b0..nx between the segment (pu, pv)-(nu, nv) and the fill line.
        auto band = [&](int64_t b0, int64_t pu, int64_t pv, int64_t nu, int64_t nv) {
            const int64_t f = fill;
            if (b0 == nu) {
                const Raster_PolyPoint a = toPoint(nu, nv), b = toPoint(nu, f);
                // A one-wide band is a single column (row for alongY) from the curve to the fill line.
                Raster_FillTrapezoidRows(s, filler, a.x, b.x, a.y, a.x, b.x, b.y);
                return;
            }
            const int64_t vb =
                b0 == pu ? pv
                         : pv + FloorSafe((double)(nv - pv) * (double)(b0 - pu) / (double)(nu - pu) + 0.5);
            if ((vb < f && nv > f) || (vb > f && nv < f)) {
                const int64_t uc =
                    b0 + FloorSafe((double)(nu - b0) * (double)(vb - f) / (double)(vb - nv) + 0.5);
                poly({toPoint(b0, vb), toPoint(uc, f), toPoint(b0, f)});
                poly({toPoint(uc, f), toPoint(nu, nv), toPoint(nu, f)});
            } else {
                poly({toPoint(b0, vb), toPoint(nu, nv), toPoint(nu, f), toPoint(b0, f)});
            }
        };

        int64_t pu = FloorSafe(pc.su), pv = FloorSafe(pc.sv + 0.5);
        int64_t start = pu;
        for (int k = 1; k <= pc.n && start < limit; ++k) {
            double u, v;
            if (k == pc.n) {
                u = pc.eu;
                v = pc.ev;
            } else {
                const double t = pc.t0 + k * (pc.t1 - pc.t0) / pc.n;
                u = c.X(t);
                v = c.Y(t);
            }
            const int64_t nu = FloorSafe(u);
            if (nu <= pu) continue;
            const int64_t nv = FloorSafe(v + 0.5);
            band(start, pu, pv, nu, nv);
            start = nu + 1;
            pu = nu;
            pv = nv;
        }
    });
}

} // namespace

void Raster_DrawQBezier(Raster_IBitmap* dest, float xstart, float ystart, float xctl, float yctl, float xend,
                        float yend, uint32_t colour, float alpha, int mode, bool antialias, float tolerance) {
    if (!dest || !Finite({xstart, ystart, xctl, yctl, xend, yend})) return;
    const int width = dest->getWidth();
    if (width <= 0 || dest->getHeight() <= 0) return;
    double x0 = xstart, y0 = ystart, x1 = xctl, y1 = yctl, x2 = xend, y2 = yend;
    if (x0 > x2) {
        std::swap(x0, x2);
        std::swap(y0, y2);
    }
    double t0 = 0, t1 = 1, sx = x0, sy = y0, ex = x2, ey = y2;
    if (x0 < 0) CutQuadratic(x0, x1, x2, y0, y1, y2, 0, &t0, &sx, &sy);
    if (x2 > width - 1) CutQuadratic(x0, x1, x2, y0, y1, y2, width - 1, &t1, &ex, &ey);
    const double len = std::hypot(x1 - x0, y1 - y0) + std::hypot(x2 - x1, y2 - y1);
    const int n = SegmentCount(len, t0, t1, tolerance);
    double px = sx, py = sy;
    for (int k = 1; k < n; ++k) {
        const double t = t0 + k * (t1 - t0) / n, u = 1 - t;
        const double qx = u * u * x0 + 2 * u * t * x1 + t * t * x2;
        const double qy = u * u * y0 + 2 * u * t * y1 + t * t * y2;
        Raster_FLine(dest, (float)px, (float)py, (float)qx, (float)qy, colour, alpha, mode, antialias);
        px = qx;
        py = qy;
    }
    Raster_FLine(dest, (float)px, (float)py, (float)ex, (float)ey, colour, alpha, mode, antialias);
}

void Raster_DrawCBezier(Raster_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1,
                        float xctl2, float yctl2, float xend, float yend, uint32_t colour, float alpha,
                        int mode, bool antialias, float tolerance) {
    if (!dest || !Finite({xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend})) return;
    const int width = dest->getWidth();
    if (width <= 0 || dest->getHeight() <= 0) return;
    const double x[4] = {xstart, xctl1, xctl2, xend}, y[4] = {ystart, yctl1, yctl2, yend};
    const PreparedCubic pc(x, y, width, tolerance);
    const Cubic c(pc.u, pc.v);
    double px = pc.su, py = pc.sv;
    for (int k = 1; k < pc.n; ++k) {
        const double t = pc.t0 + k * (pc.t1 - pc.t0) / pc.n;
        const double qx = c.X(t), qy = c.Y(t);
        Raster_FLine(dest, (float)px, (float)py, (float)qx, (float)qy, colour, alpha, mode, antialias);
        px = qx;
        py = qy;
    }
    Raster_FLine(dest, (float)px, (float)py, (float)pc.eu, (float)pc.ev, colour, alpha, mode, antialias);
}

void Raster_FillCBezier(Raster_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1,
                        float xctl2, float yctl2, float xend, float yend, int yfill, uint32_t colour,
                        float alpha, int mode, float tolerance) {
    if (!Finite({xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend})) return;
    const float xs[4] = {xstart, xctl1, xctl2, xend}, ys[4] = {ystart, yctl1, yctl2, yend};
    FillCubic(dest, xs, ys, yfill, false, colour, alpha, mode, tolerance);
}

void Raster_FillCBezierX(Raster_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1,
                         float xctl2, float yctl2, float xend, float yend, int xfill, uint32_t colour,
                         float alpha, int mode, float tolerance) {
    if (!Finite({xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend})) return;
    const float xs[4] = {xstart, xctl1, xctl2, xend}, ys[4] = {ystart, yctl1, yctl2, yend};
    FillCubic(dest, xs, ys, xfill, true, colour, alpha, mode, tolerance);
}
