#pragma once
// IColor: a colour of the editor, each channel an int 0-255, not premultiplied. ToPixel gives the raster
// pixel word (alpha in bits 0-7, red 8-15, green 16-23, blue 24-31); FromPixel reads one back. The colour
// constants are compile-time values, so they exist before any plug-in instance.
#include <cstdint>

struct IColor {
    int A = 0, R = 0, G = 0, B = 0;

    constexpr IColor() = default;
    constexpr IColor(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}

    // A + R * 2^8 + G * 2^16 + B * 2^24 (each channel's low 8 bits).
    constexpr uint32_t ToPixel() const {
        return (static_cast<uint32_t>(A) & 0xFF) | ((static_cast<uint32_t>(R) & 0xFF) << 8) |
               ((static_cast<uint32_t>(G) & 0xFF) << 16) | ((static_cast<uint32_t>(B) & 0xFF) << 24);
    }
    static constexpr IColor FromPixel(uint32_t p) {
        return IColor(static_cast<int>(p & 0xFF), static_cast<int>((p >> 8) & 0xFF),
                      static_cast<int>((p >> 16) & 0xFF), static_cast<int>(p >> 24));
    }
    constexpr bool operator==(const IColor& o) const = default;
};

inline constexpr IColor COLOR_TRANSPARENT(0, 0, 0, 0);
inline constexpr IColor COLOR_BLACK(255, 0, 0, 0);
inline constexpr IColor COLOR_GRAY(255, 127, 127, 127);
inline constexpr IColor COLOR_WHITE(255, 255, 255, 255);
inline constexpr IColor COLOR_RED(255, 255, 0, 0);
inline constexpr IColor COLOR_GREEN(255, 0, 255, 0);
inline constexpr IColor COLOR_BLUE(255, 0, 0, 255);
inline constexpr IColor COLOR_YELLOW(255, 255, 255, 0);
inline constexpr IColor COLOR_ORANGE(255, 255, 127, 0);

inline constexpr IColor DEFAULT_TEXT_COLOR = COLOR_BLACK;
inline constexpr IColor DEFAULT_TEXT_ENTRY_BGCOLOR = COLOR_WHITE;
inline constexpr IColor DEFAULT_TEXT_ENTRY_FGCOLOR = COLOR_BLACK;
