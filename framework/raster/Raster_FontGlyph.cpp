// Coverage-image blending, one loop per combiner.

#include "framework/raster/Raster_FontGlyph.h"

#include "framework/raster/Raster_ShapeCommon.h"

namespace {

template <class C>
class GlyphDrawImpl {
public:
    static void Draw(const Raster_ShapeSurface& s, int x, int y, const uint8_t* src, int w, int span, int h,
                     const Raster_ShapeColour& c, int weight) {
        for (int row = 0; row < h; ++row, src += span) {
            const int my = s.flipped ? s.height - 1 - (y + row) : y + row;
            uint32_t* p = s.Pixel(x, my);
            for (int i = 0; i < w; ++i) {
                const int cov = src[i];
                if (cov) C::doPix(p + i, c.r, c.g, c.b, c.a, weight * cov / 256);
            }
        }
    }
};

} // namespace

void Raster_DrawGlyph(Raster_IBitmap* dest, int x, int y, uint32_t colour, const uint8_t* alphas, int width,
                      int height, float alpha, int mode) {
    Raster_DrawGlyphEx(dest, x, y, colour, alphas, width, width, height, alpha, mode);
}

void Raster_DrawGlyphEx(Raster_IBitmap* dest, int x, int y, uint32_t colour, const uint8_t* alphas, int width,
                        int span, int height, float alpha, int mode) {
    const Raster_ShapeSurface s(dest);
    if (!s.ok || !alphas || width <= 0 || height <= 0) return;
    // Overlap test and clipping in 64 bits so that no coordinate can overflow.
    int64_t x0 = x, y0 = y, x1 = (int64_t)x + width, y1 = (int64_t)y + height;
    if (x1 <= 0 || y1 <= 0 || x0 >= s.width || y0 >= s.height) return;
    const uint8_t* src = alphas;
    if (x0 < 0) {
        src += -x0;
        x0 = 0;
    }
    if (y0 < 0) {
        src += -y0 * (int64_t)span;
        y0 = 0;
    }
    if (x1 > s.width) x1 = s.width;
    if (y1 > s.height) y1 = s.height;

    const int w = Raster_ShapeWeight(alpha);
    const Raster_ShapeColour c(colour);
    if (w == 0 || ((mode & RASTER_BLEND_MODE_MASK) == RASTER_BLEND_COPY && w < 0)) return;
    auto run = [&](auto tag) {
        GlyphDrawImpl<typename decltype(tag)::type>::Draw(s, (int)x0, (int)y0, src, (int)(x1 - x0), span,
                                                          (int)(y1 - y0), c, w);
    };
    Raster_Dispatch<Raster_CombineSet::Solid>(mode, w, run);
}
