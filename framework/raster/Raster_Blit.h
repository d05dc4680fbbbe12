#pragma once
// Block operations on bitmaps: straight, scaled, rotated, delta and grid-transform blits, solid and
// gradient fills, clear, per-channel multiply-add, per-pixel callbacks, blur, 2:1 halving, pixel
// access, colour-key alpha, span flood fill and comparison.
//
// Every routine takes the destination first, the blend-mode word and the overall alpha of
// Raster_Combine.h, and clips to both bitmaps: any coordinates are safe, and null or empty bitmaps,
// empty rectangles, weight 0 and unknown modes make the call do nothing. Source and destination
// areas must not overlap in memory (except Raster_Blur, which supports blurring in place).
// Called from the drawing thread; no locks are taken and nothing is reported.

#include <cstdint>

#include "framework/raster/Raster_Bitmap.h"
#include "framework/raster/Raster_Combine.h"
#include "framework/shim/Shim_Gdi.h" // RECT

// Resizes dest to src's size and copies src into it.
void Raster_Copy(Raster_IBitmap* dest, Raster_IBitmap* src);

// 1:1 blit of srcrect (null = whole source) to (dstx, dsty). Mode 0xF0 | (d << 2) | s copies source
// byte s into destination byte d of every pixel and ignores alpha.
void Raster_Blit(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, const RECT* srcrect,
                 float alpha, int mode);
void Raster_Blit(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw,
                 int srch, float alpha, int mode);

// The source area (srcx, srcy, srcw, srch) scaled onto dstw x dsth; negative destination sizes
// mirror. RASTER_BLEND_FILTER_BILINEAR interpolates (and box-filters strong reductions).
void Raster_ScaledBlit(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                       float srcx, float srcy, float srcw, float srch, float alpha, int mode);

// The source area turned by angle (radians) about its centre displaced by (rotxcent, rotycent).
void Raster_RotatedBlit(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                        float srcx, float srcy, float srcw, float srch, float angle, bool cliptosourcerect,
                        float alpha, int mode, float rotxcent, float rotycent);

// Per-pixel source steps given by the caller (source pixels per destination pixel), with
// second-order steps applied per row.
void Raster_DeltaBlit(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                      float srcx, float srcy, float srcw, float srch, double dsdx, double dtdx, double dsdy,
                      double dtdy, double dsdxdy, double dtdxdy, bool cliptosourcerect, float alpha,
                      int mode);
// As Raster_DeltaBlit with a weight that also varies per pixel and per row.
void Raster_DeltaBlitAlpha(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                           float srcx, float srcy, float srcw, float srch, double dsdx, double dtdx,
                           double dsdy, double dtdy, double dsdxdy, double dtdxdy, bool cliptosourcerect,
                           float alpha, int mode, double dadx, double dady, double dadxdy);

// Maps a grid of divw x divh source points (u, v pairs, row order) onto the destination rectangle.
void Raster_TransformBlit(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                          const float* srcpoints, int divw, int divh, float alpha, int mode);
void Raster_TransformBlit2(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                           const double* srcpoints, int divw, int divh, float alpha, int mode);
// Same with (u, v, alpha) triples; the alpha is interpolated as the weight.
void Raster_TransformBlit2Alpha(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int dstw,
                                int dsth, const double* srcpoints, int divw, int divh, int mode);

// Linear gradient: start colour and alpha, steps per column (dx) and per row (dy); 1.0 = full.
void Raster_GradRect(Raster_IBitmap* dest, int dstx, int dsty, int dstw, int dsth, float ir, float ig,
                     float ib, float ia, float drdx, float dgdx, float dbdx, float dadx, float drdy,
                     float dgdy, float dbdy, float dady, int mode);

void Raster_FillRect(Raster_IBitmap* dest, int x, int y, int w, int h, uint32_t colour, float alpha,
                     int mode);
// Every pixel of every row becomes colour.
void Raster_Clear(Raster_IBitmap* dest, uint32_t colour);
// Each pixel p becomes (p & andmask) | orbits.
void Raster_ClearRect(Raster_IBitmap* dest, int x, int y, int w, int h, uint32_t andmask, uint32_t orbits);
// Each channel c becomes clamp(add + scale * c) (factors and offsets in channel units, 1.0 = 256ths).
void Raster_MultiplyAddRect(Raster_IBitmap* dest, int x, int y, int w, int h, float scaler, float scaleg,
                            float scaleb, float scalea, float addr, float addg, float addb, float adda);
// Calls procFunc(pixel, parm) once per pixel of the clipped rectangle, rows top to bottom.
void Raster_ProcessRect(Raster_IBitmap* dest, int x, int y, int w, int h, void (*procFunc)(uint32_t*, void*),
                        void* parm);

// Small blur of the source area into the destination; dest may be src.
void Raster_Blur(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw,
                 int srch);
// 2:1 antialiased reduction of src into dest's top-left corner.
void Raster_HalveBlitAA(Raster_IBitmap* dest, Raster_IBitmap* src);

void Raster_PutPixel(Raster_IBitmap* dest, int x, int y, uint32_t colour, float alpha, int mode);
// The pixel word at (x, y); 0 outside or for a null bitmap.
uint32_t Raster_GetPixel(Raster_IBitmap* dest, int x, int y);
// Alpha byte 0 where (pixel & 0xFFFFFF00) == colour, else 255.
void Raster_SetAlphaFromColorMask(Raster_IBitmap* dest, uint32_t colour);
// Span flood fill from (x, y) over pixels whose (pixel & comparemask) matches the start pixel's;
// filled pixels become newcolour | (pixel & keepmask).
void Raster_SimpleFill(Raster_IBitmap* dest, int x, int y, uint32_t newcolour, uint32_t comparemask,
                       uint32_t keepmask);

// 0 when equal. With rect (int[4]) the bounding box {x, y, width, height} of the differing pixels is
// written (all zero when equal) and 1 returned for a difference.
int Raster_BitmapCmp(Raster_IBitmap* a, Raster_IBitmap* b, int* rect);
int Raster_BitmapCmpEx(Raster_IBitmap* a, Raster_IBitmap* b, uint32_t mask, int* rect);
