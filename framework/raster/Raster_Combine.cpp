#include "framework/raster/Raster_Combine.h"

#include "framework/raster/Raster_Dispatch.h"

namespace {

constexpr uint16_t InvEntry(int i) {
    return (uint16_t)(i == 0 ? 0 : 65536 / i - 1);
}

// Weights far beyond any meaningful blend (16 times full and more) are held at +-4096, which keeps
// every combiner's arithmetic inside int.
int LimitWeight(int w) {
    return w < -4096 ? -4096 : (w > 4096 ? 4096 : w);
}

// Applies the image-operation combiner of mode & 0x100FF (copy at w = 256 clobbers, copy with
// source alpha at w = 256 ignores the weight). Unknown modes leave the pixel alone.
void CombineImage(uint32_t* p, int r, int g, int b, int a, int w, int mode) {
    w = LimitWeight(w);
    Raster_Dispatch<Raster_CombineSet::Image>(
        mode, w, [&](auto tag) { decltype(tag)::type::doPix(p, r, g, b, a, w); });
}

// Caller-given channels and weights are held where no combiner's arithmetic can overflow:
// channels within +-32767 and weights within +-256 (the meaningful range is 0..255 and 0..256).
void LimitArgs(int& r, int& g, int& b, int& a, int& w) {
    auto lim = [](int v, int m) { return v < -m ? -m : (v > m ? m : v); };
    r = lim(r, 32767);
    g = lim(g, 32767);
    b = lim(b, 32767);
    a = lim(a, 32767);
    w = lim(w, 256);
}

} // namespace

const uint16_t Raster_RGB2HSV_invtab[256] = {
#define TB_INV(i) InvEntry(i)
#define TB_INV8(i)                                                                                           \
    TB_INV(i), TB_INV(i + 1), TB_INV(i + 2), TB_INV(i + 3), TB_INV(i + 4), TB_INV(i + 5), TB_INV(i + 6),     \
        TB_INV(i + 7)
#define TB_INV64(i)                                                                                          \
    TB_INV8(i), TB_INV8(i + 8), TB_INV8(i + 16), TB_INV8(i + 24), TB_INV8(i + 32), TB_INV8(i + 40),          \
        TB_INV8(i + 48), TB_INV8(i + 56)
    TB_INV64(0), TB_INV64(64), TB_INV64(128), TB_INV64(192)
#undef TB_INV64
#undef TB_INV8
#undef TB_INV
};

uint32_t Raster_CombinePixels(uint32_t dest, uint32_t src, float alpha, int mode) {
    // Weight in single precision; NaN is 0 and far out-of-range alphas are held (see LimitWeight).
    const float f = alpha * 256.0f;
    const int w = f != f ? 0 : (f >= 4096.0f ? 4096 : (f <= -4096.0f ? -4096 : (int)f));
    if (w == 0) return dest;
    uint32_t p = dest;
    CombineImage(&p, Raster_GetR(src), Raster_GetG(src), Raster_GetB(src), Raster_GetA(src), w, mode);
    return p;
}

void Raster_CombinePixels2(uint32_t* pixel, int r, int g, int b, int a, int w, int mode) {
    if (!pixel || w == 0) return;
    LimitArgs(r, g, b, a, w);
    if ((mode & (RASTER_BLEND_SOURCE_ALPHA | RASTER_BLEND_MODE_MASK)) == RASTER_BLEND_COPY && w < 1) return;
    CombineImage(pixel, r, g, b, a, w, mode);
}

void Raster_CombinePixels2Clamp(uint32_t* pixel, int r, int g, int b, int a, int w, int mode) {
    if (!pixel || w == 0) return;
    LimitArgs(r, g, b, a, w);
    if ((mode & (RASTER_BLEND_SOURCE_ALPHA | RASTER_BLEND_MODE_MASK)) == RASTER_BLEND_COPY && w < 1) return;
    Raster_Dispatch<Raster_CombineSet::ImageClamp>(
        mode, w, [&](auto tag) { decltype(tag)::type::doPix(pixel, r, g, b, a, w); });
}
