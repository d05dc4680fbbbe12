#pragma once
// Drawing tools of the picture generator: coverage masks and straight-alpha painting.
//
// A PictureMask collects shapes (discs, convex polygons, capsules, annulus bands, text) as coverage.
// Shapes are drawn with the raster library into a bitmap kPictureSuper times larger and box-filtered
// down, so every edge is antialiased the same way; text is drawn at its own size with a cached font
// (glyph coverage from FreeType through the shim). A PictureCoverage is the result: one value 0..1 per
// pixel. PicturePaint puts a colour (solid or a shader) through a coverage onto a bitmap with the
// straight-alpha "over" rule, so partly covered pixels keep their true colour even on transparent
// pictures (the editor blends them with their alpha).
//
// Coordinates are continuous: pixel (i, j) covers [i, i + 1) x [j, j + 1), so a disc centred on (4, 4)
// is symmetric about the corner shared by pixels 3 and 4. Angles are in degrees, 0 straight up,
// growing clockwise. Build-time tool code: one thread, no error reporting beyond empty results.
#include "framework/raster/raster.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

inline constexpr int kPictureSuper = 4;

// A straight (not premultiplied) colour, channels 0..1.
struct PictureColour {
    float r = 0, g = 0, b = 0, a = 1;
};
// 0xRRGGBB with an alpha 0..1.
PictureColour PictureHex(uint32_t rgb, float alpha = 1.0f);
PictureColour PictureMix(const PictureColour& a, const PictureColour& b, float t);

using PictureShader = std::function<PictureColour(double x, double y)>;
// Colour c0 at (x0, y0) blending linearly into c1 at (x1, y1), constant across that direction.
PictureShader PictureLinear(double x0, double y0, PictureColour c0, double x1, double y1, PictureColour c1);

class PictureCoverage {
public:
    PictureCoverage(int w = 0, int h = 0) : mW(w), mH(h), mV(static_cast<size_t>(w) * h, 0.0f) {}
    int Width() const { return mW; }
    int Height() const { return mH; }
    float At(int x, int y) const {
        return x < 0 || y < 0 || x >= mW || y >= mH ? 0.0f : mV[static_cast<size_t>(y) * mW + x];
    }
    float& Ref(int x, int y) { return mV[static_cast<size_t>(y) * mW + x]; }
    // Softens the edges: `passes` box blurs of the given radius in each direction.
    void Blur(int radius, int passes);
    // This coverage moved by (dx, dy) whole pixels.
    PictureCoverage Shifted(int dx, int dy) const;

private:
    int mW, mH;
    std::vector<float> mV;
};

// A font of the shim at a pixel size, drawn through the raster library's glyph cache.
class PictureFont {
public:
    PictureFont(const char* face, int pixelSize, bool bold);
    ~PictureFont();
    PictureFont(const PictureFont&) = delete;
    PictureFont& operator=(const PictureFont&) = delete;
    // Width of the text with `tracking` extra pixels between characters.
    int Measure(const std::string& text, double tracking = 0.0);
    int LineHeight() { return mFont.GetLineHeight(); }
    // Draws white glyph coverage with the line box's top-left at (x, y) (the red byte is coverage).
    void Draw(Raster_IBitmap* mask, const std::string& text, int x, int y, double tracking = 0.0);

private:
    Raster_CachedFont mFont;
};

class PictureMask {
public:
    PictureMask(int w, int h);
    int Width() const { return mW; }
    int Height() const { return mH; }

    // Each shape adds coverage, or with add = false removes it.
    void Disc(double cx, double cy, double r, bool add = true);
    void Polygon(const std::vector<double>& xy, bool add = true); // convex; x, y pairs
    void Rect(double x, double y, double w, double h, bool add = true);
    void RoundRect(double x, double y, double w, double h, double radius, bool add = true);
    // A bar of the given width with round ends from (x1, y1) to (x2, y2).
    void Capsule(double x1, double y1, double x2, double y2, double width, bool add = true);
    // The part of the ring r1..r2 around (cx, cy) from angle `from` clockwise to `to` (square ends).
    void Band(double cx, double cy, double r1, double r2, double from, double to, bool add = true);
    // Text with its line box's top-left at (x, y), or centred on x when `centred`.
    void Text(PictureFont& font, const std::string& text, double x, double y, bool centred,
              double tracking = 0.0);

    PictureCoverage Resolve() const;

private:
    uint32_t Ink(bool add) const;
    double Big(double u) const { return u * kPictureSuper - 0.5; }

    int mW, mH;
    std::unique_ptr<Raster_MemBitmap> mBig;  // shapes at kPictureSuper times the size
    std::unique_ptr<Raster_MemBitmap> mText; // text at the picture's own size (made on first use)
};

// Paints colour through coverage (offset by ox, oy) onto dest, scaled by opacity.
void PicturePaint(Raster_IBitmap* dest, const PictureCoverage& cov, const PictureColour& colour,
                  float opacity = 1.0f, int ox = 0, int oy = 0);
void PicturePaint(Raster_IBitmap* dest, const PictureCoverage& cov, const PictureShader& shader,
                  float opacity = 1.0f, int ox = 0, int oy = 0);

// A w x h bitmap with every pixel transparent.
std::unique_ptr<Raster_MemBitmap> PictureNewBitmap(int w, int h);
// A point at distance r from (cx, cy) in the direction of angle degrees.
double PictureAngleX(double cx, double r, double degrees);
double PictureAngleY(double cy, double r, double degrees);
