#pragma once
// IRECT: an integer rectangle of the editor, in pixels with the origin at the top left. Right and bottom
// are exclusive; a rectangle whose four coordinates are all 0 is "empty" (a rectangle of zero width but
// other coordinates is not). A plain value type, used on the editor's thread.
#include <algorithm>

struct IRECT {
    int L = 0, T = 0, R = 0, B = 0;

    constexpr IRECT() = default;
    constexpr IRECT(int l, int t, int r, int b) : L(l), T(t), R(r), B(b) {}

    constexpr int W() const { return R - L; }
    constexpr int H() const { return B - T; }
    // All four coordinates 0.
    constexpr bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
    // L <= x < R and T <= y < B.
    constexpr bool Contains(int x, int y) const { return x >= L && x < R && y >= T && y < B; }
    // The drawing overlap rule: both rectangles not empty, and R >= o.L, L < o.R, B >= o.T, T < o.B
    // (touching o on its left or top edge from outside counts as overlapping).
    constexpr bool Overlaps(const IRECT& o) const {
        return !Empty() && !o.Empty() && R >= o.L && L < o.R && B >= o.T && T < o.B;
    }
    // The part of this rectangle inside o when they overlap by Overlaps, else the empty rectangle.
    constexpr IRECT ClipTo(const IRECT& o) const {
        if (!Overlaps(o)) return IRECT();
        return IRECT(std::max(L, o.L), std::max(T, o.T), std::min(R, o.R), std::min(B, o.B));
    }
    // The union rule of the dirty area: an empty rectangle takes o; an empty o changes nothing;
    // otherwise the bounding box of both.
    constexpr IRECT Union(const IRECT& o) const {
        if (Empty()) return o;
        if (o.Empty()) return *this;
        return IRECT(std::min(L, o.L), std::min(T, o.T), std::max(R, o.R), std::max(B, o.B));
    }
    constexpr bool operator==(const IRECT& o) const = default;
};
