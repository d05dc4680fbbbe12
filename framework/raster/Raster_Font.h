#pragma once
// The font interface of the raster library and the flag words of text drawing.
//
// A Raster_IFont draws UTF-8 text into a Raster_IBitmap in its text colour, optionally over an
// opaque box in its background colour, with a blend mode and overall alpha. It is used by one thread
// at a time (the editor's font lock serialises the editors of a process). Raster_CachedFont
// (Raster_FontCached.h) is the implementation.

#include <cstdint>

#include "framework/raster/Raster_Bitmap.h"
#include "framework/shim/Shim_Gdi.h"

// Font flags (Raster_IFont::SetFromHFont).
constexpr int RASTER_FONT_VERTICAL = 0x1;       // glyphs turned a quarter turn, text runs down
constexpr int RASTER_FONT_BOTTOMUP = 0x2;       // with VERTICAL: turned the other way, text runs up
constexpr int RASTER_FONT_PRECACHE_ASCII = 0x4; // render 0-127 at once; codes from 128 draw nothing
constexpr int RASTER_FONT_BLUR = 0x10;          // blur each glyph once before caching
constexpr int RASTER_FONT_INVERT = 0x20;        // store 255 - coverage
constexpr int RASTER_FONT_MONO = 0x40;          // coverage above 130 is full, the rest empty
constexpr int RASTER_FONT_SHADOW = 0x80;        // mono plus a shadow (right, below-right, below)
constexpr int RASTER_FONT_OUTLINE = 0x100;      // mono plus an outline (4-neighbours)
constexpr int RASTER_FONT_OWNS_HANDLE = 0x200;  // the font deletes its shim font handle
constexpr int RASTER_FONT_NATIVE = 0x400;       // draw whole strings through the shim when possible

// Text-drawing flags (Raster_IFont::DrawText); the low bits are those the shim understands.
constexpr int DT_CALCRECT = 0x1;                        // only measure: set the rectangle's right and bottom
constexpr int DT_VCENTER = 0x2;                         // centre vertically in the rectangle
constexpr int DT_CENTER = 0x4;                          // centre horizontally
constexpr int DT_BOTTOM = 0x10;                         // align to the bottom
constexpr int DT_RIGHT = 0x20;                          // align to the right
constexpr int DT_SINGLELINE = 0x40;                     // line feeds are spaces
constexpr int DT_NOPREFIX = 0x80;                       // no '&' prefix processing (always used)
constexpr int DT_NOCLIP = 0x100;                        // clip to the bitmap only, not to the rectangle
constexpr int RASTER_TEXT_USE_COLOR_ALPHA = 0x40000000; // alpha times the text colour's alpha / 255
constexpr int RASTER_TEXT_NO_NATIVE = (int)0x80000000u; // never draw through the shim

class Raster_IFont {
public:
    virtual ~Raster_IFont() {}
    // Takes a shim font handle (may be null) and the font flags; drops every cached glyph.
    virtual void SetFromHFont(HGDIOBJ__* font, int flags = 0) = 0;
    // Colours are pixel words; each setter returns the previous value.
    virtual uint32_t SetTextColor(uint32_t colour) = 0;
    virtual uint32_t SetBkColor(uint32_t colour) = 0;
    virtual uint32_t SetEffectColor(uint32_t colour) = 0;
    // 1 = opaque (fill each glyph box with the background colour first), otherwise transparent.
    virtual int SetBkMode(int mode) = 0;
    // Blend-mode word and overall alpha used for glyphs and background.
    virtual void SetCombineMode(int mode, float alpha = 1.0f) = 0;
    // Draws (or with DT_CALCRECT measures) count bytes of UTF-8 text (-1: up to the terminating
    // zero) in rect; returns the text height (its width for vertical fonts), 0 if nothing was drawn.
    virtual int DrawText(Raster_IBitmap* bm, const char* text, int count, RECT* rect, int flags) = 0;
    virtual uint32_t GetTextColor() = 0;
    virtual HGDIOBJ__* GetHFont() = 0;
    virtual int GetLineHeight() = 0;
    // Draws one glyph with its top-left at (x, y), clipped to clip; true if any part was inside.
    virtual bool DrawGlyph(Raster_IBitmap* bm, unsigned short code, int x, int y, const RECT* clip) = 0;
};
