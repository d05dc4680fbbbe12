#pragma once
// The picture the fake editor draws (fake_editor.cpp), shared with the tests that check a snapshot of
// it pixel for pixel: a white border, red rising to the right, green rising downwards, and blue
// checks of 8 x 8 pixels, so that every pixel differs from its neighbours and any shift shows.
#include <cstdint>

constexpr int kFakeEditorWidth = 160;
constexpr int kFakeEditorHeight = 96;

// 0xRRGGBB of the pixel at (x, y).
constexpr uint32_t FakeEditorPattern(int x, int y) {
    if (x == 0 || y == 0 || x == kFakeEditorWidth - 1 || y == kFakeEditorHeight - 1) return 0xFFFFFF;
    const uint32_t r = static_cast<uint32_t>(x * 255 / (kFakeEditorWidth - 1));
    const uint32_t g = static_cast<uint32_t>(y * 255 / (kFakeEditorHeight - 1));
    const uint32_t b = ((x / 8 + y / 8) & 1) ? 0xC0 : 0x30;
    return (r << 16) | (g << 8) | b;
}
