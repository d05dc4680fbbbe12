#pragma once
// The raster library: bitmaps of 32-bit pixel words and the Raster_ routines that draw into them.
// Include this one header to use any of it; link the `raster` library.

#include "framework/raster/Raster_Bitmap.h"
#include "framework/raster/Raster_Blit.h"
#include "framework/raster/Raster_Combine.h"
#include "framework/raster/Raster_Font.h"
#include "framework/raster/Raster_FontCached.h"
#include "framework/raster/Raster_FontGlyph.h"
#include "framework/raster/Raster_Geometry.h"
#include "framework/raster/Raster_Line.h"
#include "framework/raster/Raster_PNG.h"
#include "framework/raster/Raster_PNGDeferred.h"
#include "framework/raster/Raster_ShapeCircle.h"
#include "framework/raster/Raster_ShapeCurve.h"
#include "framework/raster/Raster_ShapeFill.h"
