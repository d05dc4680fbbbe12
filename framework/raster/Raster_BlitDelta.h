#pragma once
// Sampled image blits: rotated, delta (caller-given source steps, optionally with a weight that
// varies per pixel) and grid-transform blits, nearest or bilinear (RASTER_BLEND_FILTER_BILINEAR).
//
// Every routine takes the destination first, the blend-mode word and the overall alpha of
// Raster_Combine.h, and clips to both bitmaps: any coordinates, steps and non-finite values are
// safe (non-finite ones draw nothing), as are null or empty bitmaps, weight 0 and unknown modes.
// Source and destination areas must not overlap in memory. Called from the drawing thread; no
// locks are taken and nothing is reported.

#include "framework/raster/Raster_Bitmap.h"
#include "framework/raster/Raster_Combine.h"

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
