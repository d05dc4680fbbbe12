#pragma once
// Reference model of the pixel combiners for the raster tests, written independently of the
// library: channels as a byte array in memory order (alpha, red, green, blue), divisions as
// floating-point quotients truncated toward zero, stores as the low 8 bits.

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace rasterref {

struct Px {
    int c[4]; // memory byte order: 0 alpha, 1 red, 2 green, 3 blue
};

inline Px Unpack(uint32_t w) {
    return Px{{(int)(w & 255), (int)((w >> 8) & 255), (int)((w >> 16) & 255), (int)(w >> 24)}};
}
inline uint32_t Pack(const Px& p) {
    uint32_t w = 0;
    for (int i = 0; i < 4; ++i) w |= (uint32_t)(p.c[i] & 255) << (8 * i);
    return w;
}
inline uint32_t Word(int r, int g, int b, int a) {
    return Pack(Px{{a, r, g, b}});
}

inline int Div(long long x, long long y) {
    return (int)std::trunc((double)x / (double)y);
}
inline int Clamp(int v) {
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

enum Kind {
    kClobber,
    kClobberClamp,
    kCopy,
    kCopyClamp,
    kAdd,
    kDodge,
    kMul,
    kMulClamp,
    kOverlay,
    kHalfMix,
    kHSV,
    kCopySA,
    kCopySAIgnore,
    kCopySAIgnoreClamp,
    kAddSA,
    kDodgeSA,
    kMulSA,
    kOverlaySA,
    kHSVSA,
};

inline int InvTab(int i) {
    return i == 0 ? 0 : (int)std::floor(65536.0 / i) - 1;
}

inline void Hsv(Px& d, const int s[4], int w) {
    const int R = d.c[1], G = d.c[2], B = d.c[3];
    const int V = std::fmax(R, std::fmax(G, B));
    const int mn = std::fmin(R, std::fmin(G, B));
    const int delta = V - mn;
    int base, diff;
    if (G > R && G > B) {
        base = 128;
        diff = B - R;
    } else if (G > R && B >= G) {
        base = 256;
        diff = R - G;
    } else if (G <= R && R > B) {
        diff = G - B;
        base = G < B ? 383 : 0;
    } else {
        base = 256;
        diff = R - G;
    }
    int hue = base + Div((long long)diff * (InvTab(delta) + 1), 1024);
    int sat = Div((long long)delta * InvTab(V), 256);
    const int r = s[1], g = s[2], b = s[3];
    hue += Div((long long)w * (r + Div(r, 2) - 192), 256);
    if (hue < 0) hue += 384;
    if (hue > 383) hue -= 384;
    sat = Clamp(sat + Div((long long)w * (g - 128), 128));
    const int val = Clamp(V + Div((long long)w * (b - 128), 128));
    const int p = Div((long long)val * (256 - sat), 256);
    auto ramp = [&](int f) { return Div((long long)val * (16384 - f * sat), 16384); };
    int o[3];
    if (hue < 64)
        o[0] = val, o[1] = ramp(64 - hue), o[2] = p;
    else if (hue < 128)
        o[0] = ramp(hue - 64), o[1] = val, o[2] = p;
    else if (hue < 192)
        o[0] = p, o[1] = val, o[2] = ramp(192 - hue);
    else if (hue < 256)
        o[0] = p, o[1] = ramp(hue - 192), o[2] = val;
    else if (hue < 320)
        o[0] = ramp(320 - hue), o[1] = p, o[2] = val;
    else
        o[0] = val, o[1] = p, o[2] = ramp(hue - 320);
    d.c[1] = o[0];
    d.c[2] = o[1];
    d.c[3] = o[2];
    d.c[0] = s[0];
}

// Applies combiner k to dest with source (r, g, b, a) and weight w.
inline uint32_t Combine(Kind k, uint32_t dest, int r, int g, int b, int a, int w) {
    Px d = Unpack(dest);
    const int s[4] = {a, r, g, b};
    const int wsa = Div((long long)w * (a + 1), 256);
    switch (k) {
    case kClobber:
        for (int i = 0; i < 4; ++i) d.c[i] = s[i];
        break;
    case kClobberClamp:
        for (int i = 0; i < 4; ++i) d.c[i] = Clamp(s[i]);
        break;
    case kCopy:
    case kCopyClamp:
        for (int i = 0; i < 4; ++i) {
            d.c[i] = s[i] + Div((long long)(d.c[i] - s[i]) * (256 - w), 256);
            if (k == kCopyClamp) d.c[i] = Clamp(d.c[i]);
        }
        break;
    case kAddSA:
        if (a == 0) break;
        return Combine(kAdd, dest, r, g, b, a, wsa);
    case kAdd:
        for (int i = 0; i < 4; ++i) d.c[i] = Clamp(d.c[i] + Div((long long)s[i] * w, 256));
        break;
    case kDodgeSA:
        return Combine(kDodge, dest, r, g, b, a, wsa);
    case kDodge:
        for (int i = 0; i < 4; ++i) {
            const int t = Div((long long)s[i] * w, 256);
            d.c[i] = 256 - t >= 2 ? Clamp(Div((long long)d.c[i] * 256, 256 - t)) : Clamp(d.c[i] * 256);
        }
        break;
    case kMulSA:
        if (a == 0) break;
        return Combine(kMul, dest, r, g, b, a, wsa);
    case kMul:
    case kMulClamp:
        for (int i = 0; i < 4; ++i) {
            const long long v = (long long)d.c[i] * ((long long)s[i] * w + (256 - w) * 256);
            d.c[i] = (int)std::floor((double)v / 65536.0);
            if (k == kMulClamp) d.c[i] = Clamp(d.c[i]);
        }
        break;
    case kOverlaySA:
        return Combine(kOverlay, dest, r, g, b, a, wsa);
    case kOverlay:
        for (int i = 0; i < 4; ++i) {
            const long long kk = (long long)s[i] * w + (256 - w) * 128;
            const long long v = (Div((32768 - kk) * d.c[i], 256) + kk) * d.c[i];
            d.c[i] = Clamp((int)std::floor((double)v / 32768.0));
        }
        break;
    case kHalfMix:
        for (int i = 0; i < 4; ++i) d.c[i] = (int)std::floor((d.c[i] + s[i]) / 2.0);
        break;
    case kHSVSA:
        Hsv(d, s, wsa);
        break;
    case kHSV:
        Hsv(d, s, w);
        break;
    case kCopySA:
        if (a == 0) break;
        for (int i = 1; i < 4; ++i) d.c[i] = s[i] + Div((long long)(d.c[i] - s[i]) * (256 - wsa), 256);
        d.c[0] = std::min(d.c[0] + wsa, 255);
        break;
    case kCopySAIgnore:
    case kCopySAIgnoreClamp:
        if (a == 0) break;
        if (a == 255) {
            for (int i = 1; i < 4; ++i) d.c[i] = k == kCopySAIgnoreClamp ? Clamp(s[i]) : s[i];
            d.c[0] = 255;
            break;
        }
        for (int i = 1; i < 4; ++i) {
            d.c[i] = s[i] + Div((long long)(d.c[i] - s[i]) * (255 - a), 256);
            if (k == kCopySAIgnoreClamp) d.c[i] = Clamp(d.c[i]);
        }
        d.c[0] = std::min(d.c[0] + a, 255);
        if (k == kCopySAIgnoreClamp) d.c[0] = Clamp(d.c[0]);
        break;
    }
    return Pack(d);
}

// The combiner an image operation (blit) selects for mode & 0x100FF and weight w; false when the
// mode draws nothing.
inline bool ImageKind(int mode, int w, Kind& k) {
    const bool sa = (mode & 0x10000) != 0;
    switch (mode & 0xFF) {
    case 0:
        k = sa ? (w == 256 ? kCopySAIgnore : kCopySA) : (w == 256 ? kClobber : kCopy);
        return true;
    case 1:
        k = sa ? kAddSA : kAdd;
        return true;
    case 2:
        k = sa ? kDodgeSA : kDodge;
        return true;
    case 3:
        k = sa ? kMulSA : kMul;
        return true;
    case 4:
        k = sa ? kOverlaySA : kOverlay;
        return true;
    case 5:
        k = sa ? kHSVSA : kHSV;
        return true;
    default:
        return false;
    }
}

} // namespace rasterref
