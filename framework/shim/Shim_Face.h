#pragma once
// Shim_Face: the font engine behind the shim's font objects (internal to framework/shim).
//
// A face is one FreeType face at a pixel size, opened from the file that fontconfig picks for a face
// string ("Family", optionally followed by " Bold" and/or " Italic"). Resolved file names are kept in a
// process-wide face-name cache (own mutex). A name fontconfig does not know falls back to its generic
// "sans-serif" face ("monospace" when the configuration classifies the name as monospace).
//
// Faces are created and released on any thread (the FreeType library is guarded by a process-wide mutex);
// each face guards its own glyph loading with its own mutex, so one face may be used from several contexts.
// The shared default face (the label font of size 10) lives until the module unloads.
#include <cstdint>
#include <vector>

struct Shim_Face;

// Line metrics in pixels, unrounded.
struct Shim_FaceMetrics {
    double ascent;
    double descent;
    double leading;
};

// One rendered glyph: width x height coverage bytes (0 empty, 255 full), row by row. Its top-left pixel
// lies in column left (same horizontal coordinates as the pen position given to Shim_FaceRender) and
// top rows below the baseline (negative: above it; y grows downward).
struct Shim_GlyphImage {
    int left;
    int top;
    int width;
    int height;
    std::vector<uint8_t> coverage;
};

// Opens the face for a face string at a pixel size (2..8192). When no font file can be opened by that
// name, the label face (sans-serif) at that size is used. Null only when no font at all can be opened.
Shim_Face* Shim_FaceOpen(const char* faceString, int pixelSize);
// Releases a face from Shim_FaceOpen (null is ignored).
void Shim_FaceClose(Shim_Face* face);
// The shared default face (sans-serif at size 10), made once; not to be closed. Null without fonts.
Shim_Face* Shim_FaceDefault();

void Shim_FaceGetMetrics(Shim_Face* face, Shim_FaceMetrics* metrics);
// Display name, e.g. "DejaVu Sans Bold".
const char* Shim_FaceDisplayName(Shim_Face* face);
// Typographic (unhinted) advance of a character in pixels.
double Shim_FaceAdvance(Shim_Face* face, uint32_t code);
// Renders a character with its pen at horizontal position penX (fractional; rounded when not
// antialiased). False (and an empty image) when the character has no visible pixels.
bool Shim_FaceRender(Shim_Face* face, uint32_t code, double penX, bool antialias, Shim_GlyphImage* image);

// Frees the shared default face and the face-name cache; the FreeType library goes when the last face is
// released. Called by the shim's unloader.
void Shim_FaceShutdown();
