#pragma once
// Reference glyph images for the cached-font tests, made straight through the shim: the character
// is measured and drawn white on black into a fresh memory context, the red byte read as coverage,
// and the cache's rules (blur, invert, narrowing, quarter turn, threshold, shadow, outline) applied
// here independently.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/raster/raster.h"
#include "framework/shim/Shim_Gdi.h"
#include "tests/support/Pixels.h"

namespace fonttest {

struct RefGlyph {
    bool empty = true;
    int w = 0, h = 0, advance = 0;
    std::vector<uint8_t> px; // w x h coverage, row by row
    int at(int x, int y) const { return px[(size_t)y * w + x]; }
};

inline std::string Utf8(int code) {
    std::string s;
    if (code < 0x80)
        s += (char)code;
    else if (code < 0x800) {
        s += (char)(0xC0 | (code >> 6));
        s += (char)(0x80 | (code & 0x3F));
    } else {
        s += (char)(0xE0 | (code >> 12));
        s += (char)(0x80 | ((code >> 6) & 0x3F));
        s += (char)(0x80 | (code & 0x3F));
    }
    return s;
}

inline int LineHeight(HGDIOBJ__* font) {
    HDC__* dc = Shim_CreateMemContext(nullptr, 8, 8);
    SelectObject(dc, font);
    Shim_TextMetrics tm = {};
    GetTextMetrics(dc, &tm);
    Shim_DeleteGfxContext(dc);
    return tm.height;
}

inline RefGlyph Reference(HGDIOBJ__* font, int code, int flags) {
    RefGlyph g;
    const int lh = LineHeight(font);
    HDC__* dc = Shim_CreateMemContext(nullptr, 512, 512);
    SetTextColor(dc, 0xFFFFFF);
    SetBkMode(dc, 1);
    SetBkColor(dc, 0);
    SelectObject(dc, font);
    const std::string text = Utf8(code);
    RECT r = {0, 0, 0, 0};
    Shim_DrawText(dc, text.c_str(), -1, &r, 0xC1);
    const int adv = r.right, hgt = r.bottom;
    const int rw = adv + (lh < 16 ? 2 : lh / 16 + 2);
    if (adv < 1 || hgt < 1) {
        Shim_DeleteGfxContext(dc);
        return g;
    }
    RECT dr = {0, 0, rw, hgt};
    Shim_DrawText(dc, text.c_str(), -1, &dr, 0xC0);
    const uint32_t* bits = (const uint32_t*)Shim_GetCtxFrameBuffer(dc);
    std::vector<int> img((size_t)rw * hgt);
    for (int y = 0; y < hgt; ++y)
        for (int x = 0; x < rw; ++x) img[(size_t)y * rw + x] = (int)((bits[y * 512 + x] >> 8) & 255);
    Shim_DeleteGfxContext(dc);

    if (flags & RASTER_FONT_BLUR) {
        // Half the pixel plus an eighth of each neighbour; a missing neighbour's eighth goes to the
        // opposite one. Every term is truncated on its own.
        std::vector<int> b(img.size());
        auto P = [&](int x, int y) { return img[(size_t)y * rw + x]; };
        for (int y = 0; y < hgt; ++y)
            for (int x = 0; x < rw; ++x) {
                int h, v;
                if (x == 0)
                    h = P(x + 1, y) / 4;
                else if (x == rw - 1)
                    h = P(x - 1, y) / 4;
                else
                    h = P(x - 1, y) / 8 + P(x + 1, y) / 8;
                if (y == 0)
                    v = P(x, y + 1) / 4;
                else if (y == hgt - 1)
                    v = P(x, y - 1) / 4;
                else
                    v = P(x, y - 1) / 8 + P(x, y + 1) / 8;
                b[(size_t)y * rw + x] = P(x, y) / 2 + h + v;
            }
        img = b;
    }
    if (flags & RASTER_FONT_INVERT)
        for (int& v : img) v = 255 - v;
    int last = -1;
    for (int y = 0; y < hgt; ++y)
        for (int x = 0; x < rw; ++x)
            if (img[(size_t)y * rw + x] && x > last) last = x;
    int w = std::min(rw, std::max(adv, last + 1)), h = hgt;
    std::vector<uint8_t> px((size_t)w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px[(size_t)y * w + x] = (uint8_t)img[(size_t)y * rw + x];
    if (flags & RASTER_FONT_VERTICAL) {
        // Text running down: the glyph turns clockwise (its top faces right); bottom-up: the other way.
        std::vector<uint8_t> t((size_t)w * h);
        const bool up = flags & RASTER_FONT_BOTTOMUP;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int nx = up ? y : h - 1 - y, ny = up ? w - 1 - x : x;
                t[(size_t)ny * h + nx] = px[(size_t)y * w + x];
            }
        px = t;
        std::swap(w, h);
    }
    if (flags & (RASTER_FONT_MONO | RASTER_FONT_SHADOW | RASTER_FONT_OUTLINE))
        for (auto& v : px) v = v > 130 ? 255 : 0;
    if (flags & (RASTER_FONT_SHADOW | RASTER_FONT_OUTLINE)) {
        const std::vector<uint8_t> src = px;
        auto full = [&](int x, int y) {
            return x >= 0 && y >= 0 && x < w && y < h && src[(size_t)y * w + x] == 255;
        };
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (src[(size_t)y * w + x]) continue;
                const bool mark = (flags & RASTER_FONT_SHADOW)
                                      ? full(x - 1, y) || full(x - 1, y - 1) || full(x, y - 1)
                                      : full(x, y - 1) || full(x, y + 1) || full(x - 1, y) || full(x + 1, y);
                if (mark) px[(size_t)y * w + x] = 128;
            }
    }
    g.empty = false;
    g.w = w;
    g.h = h;
    g.advance = adv;
    g.px = px;
    return g;
}

// Width and height of a string of codes laid out on one line from reference glyphs.
inline void RefMeasure(HGDIOBJ__* font, const std::vector<int>& codes, int* width, int* height) {
    int x = 0, w = 0, h = 0;
    for (int c : codes) {
        const RefGlyph g = Reference(font, c, 0);
        if (g.empty) continue;
        w = std::max({w, x + g.w, x + g.advance});
        h = std::max(h, g.h);
        x += g.advance;
    }
    *width = w;
    *height = h;
}

using testpixels::CountSet;
using testpixels::Px;
using testpixels::SamePixels;

// A black (or bg) bitmap of w x h pixels.
inline std::unique_ptr<Raster_MemBitmap> Black(int w, int h, uint32_t bg = 0) {
    return testpixels::MakeBitmap(w, h, bg);
}

// A shim font of DejaVu Sans at a pixel height (antialiased unless quality says otherwise).
inline HGDIOBJ__* MakeFont(int height, int quality = 4, int weight = 400) {
    return CreateFont(height, 0, 0, 0, weight, 0, 0, 0, 0, 0, 0, quality, 0, "DejaVu Sans");
}

} // namespace fonttest
