#pragma once
// The pictures of Tidebloom's editor, drawn from the layout in Graphics/TidebloomLayout.h: the
// background with the product name and the controls' labels, each knob's filmstrip, each knob's scale
// (ticks and the range in the units a musician reads) and the two-frame on/off switch.
//
// Every function returns a new bitmap of exactly the size the layout gives, straight alpha, frames
// stacked vertically. Build-time tool code (tidebloom-pictures), one thread.
#include "Graphics/TidebloomLayout.h"
#include "framework/raster/raster.h"

#include <memory>

// subtitle: the line under the product name ("NOTE SWELL" for Tidebloom).
std::unique_ptr<Raster_MemBitmap> TidebloomDrawBackground(const char* subtitle);
std::unique_ptr<Raster_MemBitmap> TidebloomDrawKnob(const TidebloomKnobLayout& knob);
std::unique_ptr<Raster_MemBitmap> TidebloomDrawScale(const TidebloomKnobLayout& knob);
std::unique_ptr<Raster_MemBitmap> TidebloomDrawSwitch();
