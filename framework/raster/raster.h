#pragma once
// The raster library: bitmaps of 32-bit pixel words and the Raster_ routines that draw into them.
// Include this one header to use any of it; link the `raster` library.

#include "framework/raster/Raster_Bitmap.h"
#include "framework/raster/Raster_Blit.h"
#include "framework/raster/Raster_Combine.h"
#include "framework/raster/Raster_PNG.h"
