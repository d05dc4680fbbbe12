#pragma once
// Axis-aligned image blits: straight copies (every blend mode, and the channel copy) and scaled
// ones (nearest or bilinear, mirrored by negative sizes).
//
// Every routine takes the destination first, the blend-mode word and the overall alpha of
// Raster_Combine.h, and clips to both bitmaps: any coordinates are safe, and null or empty
// bitmaps, empty rectangles, weight 0 and unknown modes make the call do nothing. Source and
// destination areas must not overlap in memory. Called from the drawing thread; no locks are
// taken and nothing is reported.

#include "framework/raster/Raster_Bitmap.h"
#include "framework/raster/Raster_Combine.h"
#include "framework/raster/Raster_Geometry.h"

// Resizes dest to src's size and copies src into it.
void Raster_Copy(Raster_IBitmap* dest, Raster_IBitmap* src);

// 1:1 blit of srcrect (null = whole source) to (dstx, dsty). Mode 0xF0 | (d << 2) | s copies source
// byte s into destination byte d of every pixel and ignores alpha.
void Raster_Blit(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, const Raster_Rect* srcrect,
                 float alpha, int mode);
// The same with another rectangle type (Raster_Geometry.h).
template <Raster_RectLike R>
inline void Raster_Blit(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, const R* srcrect,
                        float alpha, int mode) {
    const Raster_Rect r = srcrect ? Raster_ToRect(*srcrect) : Raster_Rect{};
    Raster_Blit(dest, src, dstx, dsty, srcrect ? &r : nullptr, alpha, mode);
}
void Raster_Blit(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw,
                 int srch, float alpha, int mode);

// The source area (srcx, srcy, srcw, srch) scaled onto dstw x dsth; negative destination sizes
// mirror. RASTER_BLEND_FILTER_BILINEAR interpolates (and box-filters strong reductions).
void Raster_ScaledBlit(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                       float srcx, float srcy, float srcw, float srch, float alpha, int mode);
