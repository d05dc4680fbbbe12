#pragma once
// Block operations on bitmaps, one header per family: axis-aligned image blits
// (Raster_BlitImage.h), sampled blits (Raster_BlitDelta.h), rectangle fills and operations
// (Raster_RectFill.h), filters (Raster_Filter.h), pixel operations (Raster_PixelOps.h) and
// comparison (Raster_Compare.h). Each header states its contract.

#include "framework/raster/Raster_BlitDelta.h"
#include "framework/raster/Raster_BlitImage.h"
#include "framework/raster/Raster_Compare.h"
#include "framework/raster/Raster_Filter.h"
#include "framework/raster/Raster_PixelOps.h"
#include "framework/raster/Raster_RectFill.h"
