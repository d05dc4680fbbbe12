#pragma once
// Pixel words, the blend-mode word and the per-pixel combiners.
//
// A pixel is one 32-bit word: alpha in bits 0-7, red 8-15, green 16-23, blue 24-31 (in memory:
// alpha, red, green, blue). Colours are not premultiplied; alpha is coverage that only the
// source-alpha combiners read.
//
// Every combiner is a class with one static inline member that rewrites one destination pixel:
//   static void doPix(uint32_t* dest, int r, int g, int b, int a, int w);
// r, g, b, a are the source channels (normally 0..255) and w the weight in 1/256 units (0..256).
// Divisions by 256 truncate toward zero exactly as written; results are stored as their low
// 8 bits (the Clamp members clamp to 0..255 first). The word-wise FAST combiners instead have
//   static uint32_t prepare(uint32_t colour);        // computed once per call
//   static void doPixFAST(uint32_t* dest, uint32_t prepared);
// Drawing loops are templates instantiated per combiner; the mode is resolved once per call.
// Stateless and thread-safe; callers own the pixels they pass.

#include <cstdint>
#include <type_traits>

// Blend-mode word: the low byte is the combine mode, 0xFF00 the filter field, 0x10000 source alpha.
inline constexpr int RASTER_BLEND_MODE_MASK = 0xFF;
inline constexpr int RASTER_BLEND_COPY = 0;
inline constexpr int RASTER_BLEND_ADD = 1;
inline constexpr int RASTER_BLEND_DODGE = 2;
inline constexpr int RASTER_BLEND_MUL = 3;
inline constexpr int RASTER_BLEND_OVERLAY = 4;
inline constexpr int RASTER_BLEND_HSVADJUST = 5;
// Channel copy (straight blits only): bits 0-1 the source byte index, bits 2-3 the destination's.
inline constexpr int RASTER_BLEND_CHANCOPY = 0xF0;
inline constexpr int RASTER_BLEND_FILTER_MASK = 0xFF00;
inline constexpr int RASTER_BLEND_FILTER_BILINEAR = 0x100;
// Blits weight each pixel by the source alpha; solid-colour operations scale the overall alpha
// by the colour's alpha / 255 instead.
inline constexpr int RASTER_BLEND_SOURCE_ALPHA = 0x10000;

// Channel access on a pixel word.
inline int Raster_GetA(uint32_t p) {
    return (int)(p & 0xFF);
}
inline int Raster_GetR(uint32_t p) {
    return (int)((p >> 8) & 0xFF);
}
inline int Raster_GetG(uint32_t p) {
    return (int)((p >> 16) & 0xFF);
}
inline int Raster_GetB(uint32_t p) {
    return (int)(p >> 24);
}
// Builds a word from channels; each channel contributes its low 8 bits.
inline uint32_t Raster_MakePixel(int r, int g, int b, int a) {
    return ((uint32_t)a & 0xFF) | (((uint32_t)r & 0xFF) << 8) | (((uint32_t)g & 0xFF) << 16) |
           ((uint32_t)b << 24);
}
inline int Raster_Clamp255(int v) {
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// Word-wise halves and quarters: no carry crosses channels.
inline uint32_t Raster_HalfWord(uint32_t x) {
    return (x >> 1) & 0x7F7F7F7Fu;
}
inline uint32_t Raster_QuarterWord(uint32_t x) {
    return (x >> 2) & 0x3F3F3F3Fu;
}

// Reciprocal table of the HSV conversion: entry 0 = 0, entry i = floor(65536 / i) - 1.
extern const uint16_t Raster_RGB2HSV_invtab[256];

// ---------------------------------------------------------------------------------------------
// Plain combiners

class Raster_CombinePixelsClobberNoClamp {
public:
    static inline void doPix(uint32_t* dest, int r, int g, int b, int a, int) {
        *dest = Raster_MakePixel(r, g, b, a);
    }
};

class Raster_CombinePixelsClobberClamp {
public:
    static inline void doPix(uint32_t* dest, int r, int g, int b, int a, int) {
        *dest =
            Raster_MakePixel(Raster_Clamp255(r), Raster_Clamp255(g), Raster_Clamp255(b), Raster_Clamp255(a));
    }
};

// A combiner that treats the four channels alike: each destination channel d becomes
// Chan::chan(d, s, w) of the matching source channel s.
template <class Chan>
class Raster_CombinePixelsPerChannel {
public:
    static inline void doPix(uint32_t* dest, int r, int g, int b, int a, int w) {
        const uint32_t p = *dest;
        *dest = Raster_MakePixel(Chan::chan(Raster_GetR(p), r, w), Chan::chan(Raster_GetG(p), g, w),
                                 Chan::chan(Raster_GetB(p), b, w), Chan::chan(Raster_GetA(p), a, w));
    }
};

// s + (d - s) * (256 - w) / 256 (CLAMP: held within 0..255).
template <bool CLAMP>
struct Raster_ChanCopy {
    static inline int chan(int d, int s, int w) {
        const int v = s + (d - s) * (256 - w) / 256;
        return CLAMP ? Raster_Clamp255(v) : v;
    }
};
using Raster_CombinePixelsCopyNoClamp = Raster_CombinePixelsPerChannel<Raster_ChanCopy<false>>;
using Raster_CombinePixelsCopyClamp = Raster_CombinePixelsPerChannel<Raster_ChanCopy<true>>;

struct Raster_ChanAdd {
    static inline int chan(int d, int s, int w) { return Raster_Clamp255(d + s * w / 256); }
};
using Raster_CombinePixelsAdd = Raster_CombinePixelsPerChannel<Raster_ChanAdd>;

struct Raster_ChanDodge {
    static inline int chan(int d, int s, int w) {
        const int t = 256 - s * w / 256;
        return t >= 2 ? Raster_Clamp255(d * 256 / t) : Raster_Clamp255(d * 256);
    }
};
using Raster_CombinePixelsColorDodge = Raster_CombinePixelsPerChannel<Raster_ChanDodge>;

// The product is formed in 64 bits: channels the clamped entry points accept (up to +-32767 at
// weights down to -256) take it past 32 bits; in-range values give the same result either way.
inline int Raster_MulChannel(int d, int s, int w) {
    return (int)(((int64_t)d * (s * w + (256 - w) * 256)) >> 16);
}

template <bool CLAMP>
struct Raster_ChanMul {
    static inline int chan(int d, int s, int w) {
        return CLAMP ? Raster_Clamp255(Raster_MulChannel(d, s, w)) : Raster_MulChannel(d, s, w);
    }
};
using Raster_CombinePixelsMulNoClamp = Raster_CombinePixelsPerChannel<Raster_ChanMul<false>>;
using Raster_CombinePixelsMulClamp = Raster_CombinePixelsPerChannel<Raster_ChanMul<true>>;

struct Raster_ChanOverlay {
    static inline int chan(int d, int s, int w) {
        const int k = s * w + (256 - w) * 128;
        const int v = ((32768 - k) * d / 256 + k) * d;
        return Raster_Clamp255(v >> 15);
    }
};
using Raster_CombinePixelsOverlay = Raster_CombinePixelsPerChannel<Raster_ChanOverlay>;

// (d + s) >> 1 (the weight is not read).
struct Raster_ChanHalfMix {
    static inline int chan(int d, int s, int) { return (d + s) >> 1; }
};
using Raster_CombinePixelsHalfMixNoClamp = Raster_CombinePixelsPerChannel<Raster_ChanHalfMix>;

// Hue (384 steps per turn), saturation and value of the destination are shifted by the source's
// red, green and blue around 128; the destination alpha becomes the source alpha.
class Raster_CombinePixelsHSVAdjust {
public:
    static inline void doPix(uint32_t* dest, int r, int g, int b, int a, int w) {
        const uint32_t p = *dest;
        const int R = Raster_GetR(p), G = Raster_GetG(p), B = Raster_GetB(p);
        int hi = R, lo = R;
        if (G > hi) hi = G;
        if (B > hi) hi = B;
        if (G < lo) lo = G;
        if (B < lo) lo = B;
        const int delta = hi - lo;
        int base, diff;
        if (G > R) {
            if (G > B) {
                base = 128;
                diff = B - R;
            } else {
                base = 256;
                diff = R - G;
            }
        } else if (R > B) {
            diff = G - B;
            base = G < B ? 383 : 0;
        } else {
            base = 256;
            diff = R - G;
        }
        int hue = base + diff * ((int)Raster_RGB2HSV_invtab[delta] + 1) / 1024;
        int sat = delta * (int)Raster_RGB2HSV_invtab[hi] / 256;

        hue += w * (r + r / 2 - 192) / 256;
        // One correction covers every in-range source; the modulo keeps out-of-range sources
        // (sums from gradients) inside the turn too.
        if (hue < 0) hue += 384;
        if (hue > 383) hue -= 384;
        if ((unsigned)hue > 383u) {
            hue %= 384;
            if (hue < 0) hue += 384;
        }
        sat = Raster_Clamp255(sat + w * (g - 128) / 128);
        const int val = Raster_Clamp255(hi + w * (b - 128) / 128);

        const int pv = val * (256 - sat) / 256;
        int outR, outG, outB;
        switch (hue >> 6) {
        case 0:
            outR = val;
            outG = val * (16384 - (64 - hue) * sat) / 16384;
            outB = pv;
            break;
        case 1:
            outR = val * (16384 - (hue - 64) * sat) / 16384;
            outG = val;
            outB = pv;
            break;
        case 2:
            outR = pv;
            outG = val;
            outB = val * (16384 - (192 - hue) * sat) / 16384;
            break;
        case 3:
            outR = pv;
            outG = val * (16384 - (hue - 192) * sat) / 16384;
            outB = val;
            break;
        case 4:
            outR = val * (16384 - (320 - hue) * sat) / 16384;
            outG = pv;
            outB = val;
            break;
        default:
            outR = val;
            outG = pv;
            outB = val * (16384 - (hue - 320) * sat) / 16384;
            break;
        }
        *dest = Raster_MakePixel(outR, outG, outB, a);
    }
};

// ---------------------------------------------------------------------------------------------
// Source-alpha combiners, all generated from Raster_CombinePixelsSourceAlpha: they differ only in
// the step that turns the weight w and the source alpha a into the blend (Raster_SourceAlpha*).

// w' = w * (a + 1) / 256. (An alpha outside 0..255, possible only through the Clamp entry points,
// counts as 0 or 255.)
inline int Raster_SourceAlphaWeight(int w, int a) {
    return w * (Raster_Clamp255(a) + 1) / 256;
}

// The colour copied at weight w (Raster_ChanCopy); the destination alpha grows by add, held at
// 255 (CLAMP: every channel held within 0..255).
template <bool CLAMP>
inline void Raster_CoverPixel(uint32_t* dest, int r, int g, int b, int w, int add) {
    const uint32_t p = *dest;
    int da = Raster_GetA(p) + add;
    if (CLAMP)
        da = Raster_Clamp255(da);
    else if (da > 255)
        da = 255;
    *dest = Raster_MakePixel(Raster_ChanCopy<CLAMP>::chan(Raster_GetR(p), r, w),
                             Raster_ChanCopy<CLAMP>::chan(Raster_GetG(p), g, w),
                             Raster_ChanCopy<CLAMP>::chan(Raster_GetB(p), b, w), da);
}

// The plain combiner Blend at weight w'.
template <class Blend>
struct Raster_SourceAlphaScaled {
    static inline void apply(uint32_t* dest, int r, int g, int b, int a, int w) {
        Blend::doPix(dest, r, g, b, a, Raster_SourceAlphaWeight(w, a));
    }
};

// Copy: the colour moves toward the source by w' and w' adds to the destination alpha.
template <bool CLAMP>
struct Raster_SourceAlphaCover {
    static inline void apply(uint32_t* dest, int r, int g, int b, int a, int w) {
        const int w2 = Raster_SourceAlphaWeight(w, a);
        Raster_CoverPixel<CLAMP>(dest, r, g, b, w2, w2);
    }
};

// Copy at full weight (w = 256, not read): the colour is copied at weight a + 1 (keeping
// (255 - a) / 256 of the destination) and a adds to its alpha; an opaque source is written as it is.
template <bool CLAMP>
struct Raster_SourceAlphaCoverFull {
    static inline void apply(uint32_t* dest, int r, int g, int b, int a, int) {
        if (a == 255) {
            std::conditional_t<CLAMP, Raster_CombinePixelsClobberClamp,
                               Raster_CombinePixelsClobberNoClamp>::doPix(dest, r, g, b, 255, 256);
            return;
        }
        Raster_CoverPixel<CLAMP>(dest, r, g, b, a + 1, a);
    }
};

// A transparent source (a == 0) leaves the pixel alone when SKIP_TRANSPARENT; otherwise Step runs.
template <class Step, bool SKIP_TRANSPARENT>
class Raster_CombinePixelsSourceAlpha {
public:
    static inline void doPix(uint32_t* dest, int r, int g, int b, int a, int w) {
        if (SKIP_TRANSPARENT && a == 0) return;
        Step::apply(dest, r, g, b, a, w);
    }
};

// Copy: a transparent source leaves the pixel alone; otherwise the colour moves toward the source
// by w' and w' adds to the alpha. The Clamp sibling is for callers whose channels may leave 0..255.
using Raster_CombinePixelsCopySourceAlphaNoClamp =
    Raster_CombinePixelsSourceAlpha<Raster_SourceAlphaCover<false>, true>;
using Raster_CombinePixelsCopySourceAlphaClamp =
    Raster_CombinePixelsSourceAlpha<Raster_SourceAlphaCover<true>, true>;

// Copy in place of the previous two at full weight (w = 256): w is not read.
using Raster_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp =
    Raster_CombinePixelsSourceAlpha<Raster_SourceAlphaCoverFull<false>, true>;
using Raster_CombinePixelsCopySourceAlphaIgnoreAlphaParmClamp =
    Raster_CombinePixelsSourceAlpha<Raster_SourceAlphaCoverFull<true>, true>;

// Add and multiply skip transparent sources (multiply at w' = w / 256 would still darken).
using Raster_CombinePixelsAddSourceAlpha =
    Raster_CombinePixelsSourceAlpha<Raster_SourceAlphaScaled<Raster_CombinePixelsAdd>, true>;
using Raster_CombinePixelsMulSourceAlphaNoClamp =
    Raster_CombinePixelsSourceAlpha<Raster_SourceAlphaScaled<Raster_CombinePixelsMulNoClamp>, true>;
using Raster_CombinePixelsMulSourceAlphaClamp =
    Raster_CombinePixelsSourceAlpha<Raster_SourceAlphaScaled<Raster_CombinePixelsMulClamp>, true>;

// Dodge, overlay and HSV adjust apply w' even to transparent sources (HSV adjust then writes the
// source alpha 0).
using Raster_CombinePixelsColorDodgeSourceAlpha =
    Raster_CombinePixelsSourceAlpha<Raster_SourceAlphaScaled<Raster_CombinePixelsColorDodge>, false>;
using Raster_CombinePixelsOverlaySourceAlpha =
    Raster_CombinePixelsSourceAlpha<Raster_SourceAlphaScaled<Raster_CombinePixelsOverlay>, false>;
using Raster_CombinePixelsHSVAdjustSourceAlpha =
    Raster_CombinePixelsSourceAlpha<Raster_SourceAlphaScaled<Raster_CombinePixelsHSVAdjust>, false>;

// ---------------------------------------------------------------------------------------------
// Word-wise combiners. prepare() turns the colour into the per-call constant that doPixFAST takes;
// for the per-pixel sources of scaled blits (Clobber, HalfMix) it is the identity.

class Raster_CombinePixelsClobberFAST {
public:
    static inline uint32_t prepare(uint32_t colour) { return colour; }
    static inline void doPixFAST(uint32_t* dest, uint32_t src) { *dest = src; }
};

class Raster_CombinePixelsHalfMixFAST {
public:
    static inline uint32_t prepare(uint32_t colour) { return colour; }
    static inline void doPixFAST(uint32_t* dest, uint32_t src) {
        *dest = Raster_HalfWord(*dest) + Raster_HalfWord(src);
    }
};

// Half colour: c = half(colour).
class Raster_CombinePixelsHalfMix2FAST {
public:
    static inline uint32_t prepare(uint32_t colour) { return Raster_HalfWord(colour); }
    static inline void doPixFAST(uint32_t* dest, uint32_t c) { *dest = Raster_HalfWord(*dest) + c; }
};

// One quarter colour: c = quarter(colour).
class Raster_CombinePixelsQuarterMix2FAST {
public:
    static inline uint32_t prepare(uint32_t colour) { return Raster_QuarterWord(colour); }
    static inline void doPixFAST(uint32_t* dest, uint32_t c) {
        const uint32_t d = *dest;
        *dest = Raster_QuarterWord(d) + Raster_HalfWord(d) + c;
    }
};

// Three quarters colour: c = half(colour) + quarter(colour).
class Raster_CombinePixelsThreeQuarterMix2FAST {
public:
    static inline uint32_t prepare(uint32_t colour) {
        return Raster_HalfWord(colour) + Raster_QuarterWord(colour);
    }
    static inline void doPixFAST(uint32_t* dest, uint32_t c) { *dest = Raster_QuarterWord(*dest) + c; }
};

// ---------------------------------------------------------------------------------------------
// Single-pixel operations.

// Combines src into a copy of dest with weight truncate(alpha * 256) (single precision) and the
// image-operation combiner of mode & 0x100FF; returns dest unchanged for weight 0 or an unknown mode.
uint32_t Raster_CombinePixels(uint32_t dest, uint32_t src, float alpha, int mode);

// In place, weight w given directly (0..256). Channels are expected in 0..255 (arguments beyond
// +-32767 and weights beyond +-256 are held there).
void Raster_CombinePixels2(uint32_t* pixel, int r, int g, int b, int a, int w, int mode);

// As Raster_CombinePixels2, but copy, add and multiply results are clamped, so channels may lie
// outside 0..255 (sums from filtering; held within +-32767, weights within +-256).
void Raster_CombinePixels2Clamp(uint32_t* pixel, int r, int g, int b, int a, int w, int mode);
