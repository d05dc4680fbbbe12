#pragma once
// Reference arithmetic of the raster combiners the editor's blend methods select, written from the
// pixel rules (channel byte order alpha, red, green, blue; divisions truncate toward zero).
#include <algorithm>
#include <cstdint>

namespace blendref {

struct Chan {
    int a, r, g, b;
};
inline Chan Unpack(uint32_t w) {
    return Chan{static_cast<int>(w & 255), static_cast<int>((w >> 8) & 255),
                static_cast<int>((w >> 16) & 255), static_cast<int>(w >> 24)};
}
inline uint32_t Pack(Chan p) {
    return (static_cast<uint32_t>(p.a) & 255) | ((static_cast<uint32_t>(p.r) & 255) << 8) |
           ((static_cast<uint32_t>(p.g) & 255) << 16) | ((static_cast<uint32_t>(p.b) & 255) << 24);
}
inline int Clamp(int v) {
    return std::clamp(v, 0, 255);
}
template <class F>
Chan Each(Chan d, Chan s, F f) {
    return Chan{f(d.a, s.a), f(d.r, s.r), f(d.g, s.g), f(d.b, s.b)};
}

// Plain copy with weight w (0..256).
inline uint32_t Copy(uint32_t dest, uint32_t src, int w) {
    if (w >= 256) return src;
    return Pack(Each(Unpack(dest), Unpack(src), [w](int d, int s) { return s + (d - s) * (256 - w) / 256; }));
}
// Copy weighted by the source alpha.
inline uint32_t CopySourceAlpha(uint32_t dest, uint32_t src, int w) {
    Chan d = Unpack(dest), s = Unpack(src);
    if (s.a == 0) return dest;
    if (w >= 256) {
        if (s.a == 255) return Pack(Chan{255, s.r, s.g, s.b});
        auto mix = [&](int dc, int sc) { return sc + (dc - sc) * (255 - s.a) / 256; };
        return Pack(Chan{std::min(d.a + s.a, 255), mix(d.r, s.r), mix(d.g, s.g), mix(d.b, s.b)});
    }
    const int ws = w * (s.a + 1) / 256;
    auto mix = [&](int dc, int sc) { return sc + (dc - sc) * (256 - ws) / 256; };
    return Pack(Chan{std::min(d.a + ws, 255), mix(d.r, s.r), mix(d.g, s.g), mix(d.b, s.b)});
}
inline uint32_t Add(uint32_t dest, uint32_t src, int w) {
    return Pack(Each(Unpack(dest), Unpack(src), [w](int d, int s) { return Clamp(d + s * w / 256); }));
}
inline uint32_t AddSourceAlpha(uint32_t dest, uint32_t src, int w) {
    const int a = Unpack(src).a;
    if (a == 0) return dest;
    return Add(dest, src, w * (a + 1) / 256);
}
inline uint32_t Dodge(uint32_t dest, uint32_t src, int w) {
    return Pack(Each(Unpack(dest), Unpack(src), [w](int d, int s) {
        const int t = s * w / 256;
        return 256 - t >= 2 ? Clamp(d * 256 / (256 - t)) : Clamp(d * 256);
    }));
}
inline uint32_t DodgeSourceAlpha(uint32_t dest, uint32_t src, int w) {
    return Dodge(dest, src, w * (Unpack(src).a + 1) / 256);
}

} // namespace blendref
