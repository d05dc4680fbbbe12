#pragma once
// Raster_Geometry: the integer rectangle of the raster library.
//
// Raster_Rect is a plain value: left and top inclusive, right and bottom exclusive, any values
// (routines that take one clip it). Raster_RectLike names the other rectangle types with the same
// four int members (such as the drawing-context layer's RECT) that raster routines accept in its
// place, converted member by member.

#include <concepts>

struct Raster_Rect {
    int left;
    int top;
    int right;
    int bottom;
};

template <class R>
concept Raster_RectLike = !std::same_as<R, Raster_Rect> && requires(const R& r) {
    { r.left } -> std::convertible_to<int>;
    { r.top } -> std::convertible_to<int>;
    { r.right } -> std::convertible_to<int>;
    { r.bottom } -> std::convertible_to<int>;
};

template <Raster_RectLike R>
inline Raster_Rect Raster_ToRect(const R& r) {
    return Raster_Rect{r.left, r.top, r.right, r.bottom};
}
