#pragma once
// Shim_Gdi: a small handle-based drawing-context and font layer under the raster library.
//
// Contexts (HDC__*) wrap a pixel surface. A memory context (Shim_CreateMemContext) owns a zeroed pixel
// block whose pixels are the raster library's pixel words (alpha in bits 0-7, red 8-15, green 16-23, blue
// 24-31), w pixels per row, rows top-down, the first pixel on a 64-byte boundary. Text drawing writes red,
// green and blue and leaves each pixel's alpha byte as it was.
//
// Objects (HGDIOBJ__*) are fonts, pens and brushes. Fonts are built over FreeType; face names are resolved
// through fontconfig, and a name fontconfig does not know falls back to the system's sans-serif (or, when
// its configuration says the name is a monospace face, its monospace) face.
//
// Handles: the type codes 1 (pen), 2 (brush) and 3 (font) may be passed where a handle is expected and
// mean "no object of that type"; every handle value below 5 is no object. Deleted contexts and objects go
// back to process-wide pools (a context while fewer than 100 are pooled, an object while fewer than 200);
// every operation treats a pooled record as invalid and does nothing (returns 0 or null).
//
// Threads: creation and deletion of contexts and objects may happen on any thread (the pools are guarded
// by one recursive mutex, the face-name cache by its own). Drawing into one context is not synchronised:
// a context and the fonts selected into it belong to the thread that draws with it.
//
// Colours in this layer are ints 0x00RRGGBB (red in bits 16-23, green 8-15, blue 0-7).
#include <cstdint>

// Integer rectangle: right and bottom exclusive.
struct RECT {
    int left;
    int top;
    int right;
    int bottom;
};

struct HDC__;     // drawing context
struct HGDIOBJ__; // pen, brush or font

// Pixel surface behind a context: rowSpan pixels per row, rows top-down. A context created over a caller's
// surface (Shim_CreateGfxContext) does not own the pixels.
struct Shim_Surface {
    uint32_t* bits;
    int width;
    int height;
    int rowSpan;
};

// Text metrics of the selected font (GetTextMetrics).
struct Shim_TextMetrics {
    int height;          // line height
    int ascent;          // above the baseline
    int descent;         // below the baseline
    int internalLeading; // extra line spacing
    int aveCharWidth;    // two thirds of the height
};

// Logical font record for CreateFontIndirect.
struct Shim_LogFont {
    int height;
    int width;
    int escapement;
    int orientation; // tenths of a degree
    int weight;      // 700 and above is bold
    unsigned char italic;
    unsigned char underline;
    unsigned char strikeOut;
    unsigned char charSet;
    unsigned char outPrecision;
    unsigned char clipPrecision;
    unsigned char quality; // 0 default, 3 not antialiased, 4 antialiased
    unsigned char pitchAndFamily;
    char faceName[32];
};

// Object type codes.
enum EShimObjectType { kShimObjPen = 1, kShimObjBrush = 2, kShimObjFont = 3, kShimObjBitmap = 4 };

// Font quality values.
enum EShimFontQuality {
    kShimQualityDefault = 0,
    kShimQualityNonAntialiased = 3,
    kShimQualityAntialiased = 4
};

// Background modes.
enum EShimBkMode { kShimBkTransparent = 0, kShimBkOpaque = 1 };

// Shim_DrawText flag bits.
enum EShimTextFlags {
    kShimDT_CalcRect = 0x1,
    kShimDT_VCenter = 0x2,
    kShimDT_Center = 0x4,
    kShimDT_Bottom = 0x10,
    kShimDT_Right = 0x20,
    kShimDT_SingleLine = 0x40,
    kShimDT_NoPrefix = 0x80,
    kShimDT_NoClip = 0x100
};

// ---- contexts ----

// A memory context of w x h pixels over a zeroed, 64-byte-aligned block; text colour black. Null on any
// failure (non-positive or overflowing size, allocation failure). ref is not used.
HDC__* Shim_CreateMemContext(HDC__* ref, int w, int h);
// The pixel area of a memory context (w x h pixel words, row span w); null for invalid contexts.
void* Shim_GetCtxFrameBuffer(HDC__* ctx);
// Releases the pixel block if owned and returns the record to the pool. No-op for invalid contexts.
void Shim_DeleteGfxContext(HDC__* ctx);
// A zeroed context record (pooled or new) with no surface; null on allocation failure.
HDC__* Shim_GDP_CTX_NEW();
// A context drawing into a caller's surface (not owned; it must outlive the context). Null for a null
// surface or allocation failure.
HDC__* Shim_CreateGfxContext(Shim_Surface* surface);
// The surface a context draws into (null for an empty or invalid context).
Shim_Surface* Shim_GetCtxGC(HDC__* ctx);

// Colour and background state; each returns the previous value (0 for an invalid context).
int SetTextColor(HDC__* ctx, int colour);
int GetTextColor(HDC__* ctx);
int SetBkColor(HDC__* ctx, int colour);
int SetBkMode(HDC__* ctx, int mode);

// ---- objects ----

// A font object. Size = |height|, or |width| when height is 0; sizes above 8192 or below 2 become 10.
// The face string is the face name (at most 899 bytes) plus " Bold" when weight >= 700 and " Italic"
// when italic is non-zero. Quality other than 0, 3 or 4 becomes 0. Null only on allocation failure.
HGDIOBJ__* CreateFont(int height, int width, int escapement, int orientation, int weight, int italic,
                      int underline, int strikeout, int charset, int outPrecision, int clipPrecision,
                      int quality, int pitchAndFamily, const char* faceName);
HGDIOBJ__* CreateFontIndirect(const Shim_LogFont* logFont);
// Pens and brushes (the style is ignored; width is at least 0).
HGDIOBJ__* CreatePen(int style, int width, int colour);
HGDIOBJ__* CreateSolidBrush(int colour);
// Stock objects: 1 a pen-like record, 2 a brush-like record (never deleted); null for other indices.
HGDIOBJ__* GetStockObject(int index);
// Selects obj into the pen, brush or font slot by its type and returns the previously selected object,
// or the type code when the slot was empty. A type code 1, 2 or 3 empties that slot. Null for bitmaps,
// invalid handles and invalid contexts.
HGDIOBJ__* SelectObject(HDC__* ctx, HGDIOBJ__* obj);
// Releases one reference; the object is freed (pooled) when the last one goes. Stock objects, type codes
// and pooled objects are ignored.
void DeleteObject(HGDIOBJ__* obj);
// Adds one reference to obj (returned); DeleteObject must then be called once more.
HGDIOBJ__* Shim_CloneGDIObject(HGDIOBJ__* obj);

// ---- text ----

// Metrics of the selected font (or the default 10-unit label font); returns 1, or 0 for an invalid
// context (metrics then hold height 16, ascent 12, descent 4, leading 3, average width 10).
int GetTextMetrics(HDC__* ctx, Shim_TextMetrics* metrics);
// Copies the selected (or default) font's display name as UTF-8 into buffer (at most n - 1 bytes,
// terminated); returns the length copied.
int GetTextFace(HDC__* ctx, int n, char* buffer);
// Measures (flag 0x1: sets rect->right and rect->bottom) or draws UTF-8 text (length bytes, or up to the
// terminator when negative; a NUL always ends it; at most 4095 bytes are used) with the selected font in
// the text colour, over each line's box in the background colour when the background mode is opaque.
// Bytes that are not well-formed UTF-8 stand for the characters 0x80-0xFF. Returns the text height
// (including one extra unit), 0 when there is nothing to draw or the context is invalid.
int Shim_DrawText(HDC__* ctx, const char* text, int length, RECT* rect, int flags);
