#include "tools/pictures/PictureCanvas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

std::vector<float> BoxPass(const std::vector<float>& in, int w, int h, int radius, bool horizontal) {
    std::vector<float> out(in.size(), 0.0f);
    const int n = horizontal ? w : h, lines = horizontal ? h : w;
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    for (int line = 0; line < lines; ++line) {
        auto at = [&](int i) -> float {
            if (i < 0 || i >= n) return 0.0f;
            return horizontal ? in[static_cast<size_t>(line) * w + i] : in[static_cast<size_t>(i) * w + line];
        };
        float sum = 0.0f;
        for (int i = -radius; i <= radius; ++i) sum += at(i);
        for (int i = 0; i < n; ++i) {
            float& o =
                horizontal ? out[static_cast<size_t>(line) * w + i] : out[static_cast<size_t>(i) * w + line];
            o = sum * scale;
            sum += at(i + radius + 1) - at(i - radius);
        }
    }
    return out;
}

} // namespace

PictureColour PictureHex(uint32_t rgb, float alpha) {
    return {static_cast<float>((rgb >> 16) & 0xFF) / 255.0f, static_cast<float>((rgb >> 8) & 0xFF) / 255.0f,
            static_cast<float>(rgb & 0xFF) / 255.0f, alpha};
}

PictureColour PictureMix(const PictureColour& a, const PictureColour& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

PictureShader PictureLinear(double x0, double y0, PictureColour c0, double x1, double y1, PictureColour c1) {
    const double dx = x1 - x0, dy = y1 - y0, len2 = std::max(dx * dx + dy * dy, 1e-9);
    return [=](double x, double y) {
        const double t = std::clamp(((x - x0) * dx + (y - y0) * dy) / len2, 0.0, 1.0);
        return PictureMix(c0, c1, static_cast<float>(t));
    };
}

double PictureAngleX(double cx, double r, double degrees) {
    return cx + r * std::sin(degrees * std::numbers::pi / 180.0);
}
double PictureAngleY(double cy, double r, double degrees) {
    return cy - r * std::cos(degrees * std::numbers::pi / 180.0);
}

// ---- coverage ----

void PictureCoverage::Blur(int radius, int passes) {
    for (int p = 0; p < passes; ++p) {
        mV = BoxPass(mV, mW, mH, radius, true);
        mV = BoxPass(mV, mW, mH, radius, false);
    }
}

PictureCoverage PictureCoverage::Shifted(int dx, int dy) const {
    PictureCoverage out(mW, mH);
    for (int y = 0; y < mH; ++y)
        for (int x = 0; x < mW; ++x) out.Ref(x, y) = At(x - dx, y - dy);
    return out;
}

// ---- fonts ----

PictureFont::PictureFont(const char* face, int pixelSize, bool bold) {
    mFont.SetFromHFont(
        CreateFont(pixelSize, 0, 0, 0, bold ? 700 : 400, 0, 0, 0, 0, 0, 0, kShimQualityAntialiased, 0, face),
        RASTER_FONT_OWNS_HANDLE);
    mFont.SetTextColor(Raster_MakePixel(255, 255, 255, 255));
    mFont.SetCombineMode(RASTER_BLEND_COPY, 1.0f);
}

PictureFont::~PictureFont() = default;

int PictureFont::Measure(const std::string& text, double tracking) {
    double width = 0.0;
    for (size_t i = 0; i < text.size(); ++i) {
        RECT r = {0, 0, 0, 0};
        mFont.DrawText(nullptr, text.c_str() + i, 1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        width += r.right - r.left + (i + 1 < text.size() ? tracking : 0.0);
    }
    return static_cast<int>(std::lround(width));
}

void PictureFont::Draw(Raster_IBitmap* mask, const std::string& text, int x, int y, double tracking) {
    double pen = x;
    for (size_t i = 0; i < text.size(); ++i) {
        RECT m = {0, 0, 0, 0};
        mFont.DrawText(nullptr, text.c_str() + i, 1, &m, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        const int px = static_cast<int>(std::lround(pen));
        RECT r = {px, y, px + m.right + 4, y + m.bottom + 4};
        mFont.DrawText(mask, text.c_str() + i, 1, &r, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
        pen += m.right + tracking;
    }
}

// ---- masks ----

PictureMask::PictureMask(int w, int h)
    : mW(w), mH(h), mBig(std::make_unique<Raster_MemBitmap>(w * kPictureSuper, h * kPictureSuper)) {
    Raster_Clear(mBig.get(), Raster_MakePixel(0, 0, 0, 255));
}

uint32_t PictureMask::Ink(bool add) const {
    return add ? Raster_MakePixel(255, 255, 255, 255) : Raster_MakePixel(0, 0, 0, 255);
}

void PictureMask::Disc(double cx, double cy, double r, bool add) {
    Raster_FillCircle(mBig.get(), static_cast<float>(Big(cx)), static_cast<float>(Big(cy)),
                      static_cast<float>(r * kPictureSuper), Ink(add), 1.0f, RASTER_BLEND_COPY, true);
}

void PictureMask::Polygon(const std::vector<double>& xy, bool add) {
    std::vector<int> x, y;
    for (size_t i = 0; i + 1 < xy.size(); i += 2) {
        x.push_back(static_cast<int>(std::lround(Big(xy[i]))));
        y.push_back(static_cast<int>(std::lround(Big(xy[i + 1]))));
    }
    Raster_FillConvexPolygon(mBig.get(), x.data(), y.data(), static_cast<int>(x.size()), Ink(add), 1.0f,
                             RASTER_BLEND_COPY);
}

void PictureMask::Rect(double x, double y, double w, double h, bool add) {
    const int l = static_cast<int>(std::lround(x * kPictureSuper)),
              t = static_cast<int>(std::lround(y * kPictureSuper));
    const int r = static_cast<int>(std::lround((x + w) * kPictureSuper)),
              b = static_cast<int>(std::lround((y + h) * kPictureSuper));
    Raster_FillRect(mBig.get(), l, t, r - l, b - t, Ink(add), 1.0f, RASTER_BLEND_COPY);
}

void PictureMask::RoundRect(double x, double y, double w, double h, double radius, bool add) {
    Rect(x + radius, y, w - 2 * radius, h, add);
    Rect(x, y + radius, w, h - 2 * radius, add);
    Disc(x + radius, y + radius, radius, add);
    Disc(x + w - radius, y + radius, radius, add);
    Disc(x + radius, y + h - radius, radius, add);
    Disc(x + w - radius, y + h - radius, radius, add);
}

void PictureMask::Capsule(double x1, double y1, double x2, double y2, double width, bool add) {
    const double dx = x2 - x1, dy = y2 - y1, len = std::max(std::hypot(dx, dy), 1e-9);
    const double nx = -dy / len * width / 2, ny = dx / len * width / 2;
    Polygon({x1 + nx, y1 + ny, x2 + nx, y2 + ny, x2 - nx, y2 - ny, x1 - nx, y1 - ny}, add);
    Disc(x1, y1, width / 2, add);
    Disc(x2, y2, width / 2, add);
}

void PictureMask::Band(double cx, double cy, double r1, double r2, double from, double to, bool add) {
    if (!(to > from)) return;
    const int steps = std::max(1, static_cast<int>(std::ceil((to - from) / 2.0)));
    for (int i = 0; i < steps; ++i) {
        const double a = from + (to - from) * i / steps, b = from + (to - from) * (i + 1) / steps;
        Polygon({PictureAngleX(cx, r1, a), PictureAngleY(cy, r1, a), PictureAngleX(cx, r2, a),
                 PictureAngleY(cy, r2, a), PictureAngleX(cx, r2, b), PictureAngleY(cy, r2, b),
                 PictureAngleX(cx, r1, b), PictureAngleY(cy, r1, b)},
                add);
    }
}

void PictureMask::Text(PictureFont& font, const std::string& text, double x, double y, bool centred,
                       double tracking) {
    if (!mText) {
        mText = std::make_unique<Raster_MemBitmap>(mW, mH);
        Raster_Clear(mText.get(), Raster_MakePixel(0, 0, 0, 255));
    }
    const double left = centred ? x - font.Measure(text, tracking) / 2.0 : x;
    font.Draw(mText.get(), text, static_cast<int>(std::lround(left)), static_cast<int>(std::lround(y)),
              tracking);
}

PictureCoverage PictureMask::Resolve() const {
    PictureCoverage out(mW, mH);
    const float scale = 1.0f / (255.0f * kPictureSuper * kPictureSuper);
    for (int y = 0; y < mH; ++y) {
        for (int x = 0; x < mW; ++x) {
            int sum = 0;
            for (int j = 0; j < kPictureSuper; ++j) {
                const uint32_t* row =
                    mBig->getBits() + static_cast<size_t>(y * kPictureSuper + j) * mBig->getRowSpan();
                for (int i = 0; i < kPictureSuper; ++i) sum += Raster_GetR(row[x * kPictureSuper + i]);
            }
            float v = sum * scale;
            if (mText) {
                const float t = Raster_GetR(Raster_GetPixel(mText.get(), x, y)) / 255.0f;
                v = v + t - v * t;
            }
            out.Ref(x, y) = v;
        }
    }
    return out;
}

// ---- painting ----

void PicturePaint(Raster_IBitmap* dest, const PictureCoverage& cov, const PictureShader& shader,
                  float opacity, int ox, int oy) {
    const int w = dest->getWidth(), h = dest->getHeight();
    for (int y = std::max(0, oy); y < std::min(h, oy + cov.Height()); ++y) {
        uint32_t* row = dest->getBits() + static_cast<size_t>(y) * dest->getRowSpan();
        for (int x = std::max(0, ox); x < std::min(w, ox + cov.Width()); ++x) {
            const float c = cov.At(x - ox, y - oy);
            if (c <= 0.0f) continue;
            const PictureColour s = shader(x + 0.5, y + 0.5);
            const float sa = std::clamp(c * s.a * opacity, 0.0f, 1.0f);
            const uint32_t d = row[x];
            const float da = Raster_GetA(d) / 255.0f;
            const float oa = sa + da * (1.0f - sa);
            if (oa <= 0.0f) continue;
            auto chan = [&](float sc, int dc) {
                const float v = (sc * sa + dc / 255.0f * da * (1.0f - sa)) / oa;
                return static_cast<int>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
            };
            row[x] = Raster_MakePixel(chan(s.r, Raster_GetR(d)), chan(s.g, Raster_GetG(d)),
                                      chan(s.b, Raster_GetB(d)), static_cast<int>(std::lround(oa * 255.0f)));
        }
    }
}

void PicturePaint(Raster_IBitmap* dest, const PictureCoverage& cov, const PictureColour& colour,
                  float opacity, int ox, int oy) {
    PicturePaint(
        dest, cov, [&colour](double, double) { return colour; }, opacity, ox, oy);
}

std::unique_ptr<Raster_MemBitmap> PictureNewBitmap(int w, int h) {
    auto bm = std::make_unique<Raster_MemBitmap>(w, h);
    Raster_Clear(bm.get(), 0);
    return bm;
}
