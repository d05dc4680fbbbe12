#pragma once
// Rectangle operations: solid and gradient fills (blend-mode word and alpha of Raster_Combine.h),
// clears, per-channel multiply-add and per-pixel callbacks.
//
// Every routine takes the destination first and clips the rectangle to it: any coordinates are
// safe, and null or empty bitmaps, empty rectangles, weight 0 and unknown modes make the call do
// nothing. Called from the drawing thread; no locks are taken and nothing is reported.

#include <cstdint>

#include "framework/raster/Raster_Bitmap.h"
#include "framework/raster/Raster_Combine.h"

// Linear gradient: start colour and alpha, steps per column (dx) and per row (dy); 1.0 = full.
// The alpha is the weight of each pixel; copy and multiply clamp, and HSV adjustment draws nothing.
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
