#pragma once
// The pictures of Tidebloom's editor, drawn from the layout in Graphics/TidebloomLayout.h at one of the
// editor's sizes (Graphics/TidebloomSizes.h): the background with the product name and the controls'
// labels, each knob's filmstrip, each knob's scale (ticks and the range in the units a musician reads)
// and the two-frame on/off switch. Every size is drawn natively: lengths, line widths, blurs and font
// sizes scale with it, so nothing is a stretched copy; at 100 % the pictures are what they always were.
//
// Every function returns a new bitmap of exactly the size the layout gives, straight alpha, frames
// stacked vertically. Build-time tool code (tidebloom-pictures), one thread.
#include "Graphics/TidebloomSizes.h"
#include "framework/raster/raster.h"

#include <memory>
#include <string>

// subtitle: the line under the product name ("NOTE SWELL" for Tidebloom); *pLabelError (when not null)
// receives the first control name found outside its readout box.
std::unique_ptr<Raster_MemBitmap> TidebloomDrawBackground(const TidebloomSizedLayout& layout,
                                                          const char* subtitle, std::string* pLabelError);
// Knob i of the layout (kTidebloomKnobs order): its strip, and its scale.
std::unique_ptr<Raster_MemBitmap> TidebloomDrawKnob(const TidebloomSizedLayout& layout, int i);
std::unique_ptr<Raster_MemBitmap> TidebloomDrawScale(const TidebloomSizedLayout& layout, int i);
std::unique_ptr<Raster_MemBitmap> TidebloomDrawSwitch(const TidebloomSizedLayout& layout);
