#pragma once
// Pictures for the editor tests, made with plain pixel writes (not with the editor's drawing), and their
// registration as compiled-in named resources, so the editor loads them the way it loads the effect's.
#include <cstdint>
#include <memory>

#include "framework/raster/Raster_Bitmap.h"

// A picture whose every pixel tells where it came from: red = x & 255, green = y & 255, blue = y >> 8,
// alpha 255. A pixel drawn from it with an opaque copy decodes back to its source position.
std::unique_ptr<Raster_MemBitmap> MakeCoordPicture(int w, int h);
// The source position a pixel word of a coordinate picture encodes (alpha ignored).
inline int CoordX(uint32_t p) {
    return static_cast<int>((p >> 8) & 0xFF);
}
inline int CoordY(uint32_t p) {
    return static_cast<int>((p >> 16) & 0xFF) | static_cast<int>((p >> 24) << 8);
}
// A picture of one colour word.
std::unique_ptr<Raster_MemBitmap> MakeSolidPicture(int w, int h, uint32_t colour);

// Registers the picture, PNG-encoded, as a named resource (kept for the life of the process; a name
// registered again replaces the earlier one).
void RegisterPicture(const char* name, Raster_IBitmap* picture);
// Same for raw bytes (a corrupt PNG, for instance).
void RegisterResourceBytes(const char* name, const void* data, int length);

// Raster pixel word of r, g, b, a (alpha in bits 0-7).
constexpr uint32_t Px(int r, int g, int b, int a = 255) {
    return (static_cast<uint32_t>(a) & 0xFF) | ((static_cast<uint32_t>(r) & 0xFF) << 8) |
           ((static_cast<uint32_t>(g) & 0xFF) << 16) | ((static_cast<uint32_t>(b) & 0xFF) << 24);
}
