#pragma once
// Shim_Objects: the records behind context and object handles and their validity checks (internal to
// framework/shim). Records are plain data, zeroed when taken from the pools.
#include "framework/shim/Shim_Gdi.h"

#include <cstdint>

struct Shim_Face;

struct HDC__ {
    Shim_Surface* gc;        // the surface drawn into (null for an empty context)
    Shim_Surface ownSurface; // memory contexts: the surface over the owned block
    void* block;             // memory contexts: the owned pixel block (unaligned start)
    HGDIOBJ__* pen;          // selected objects, null when the slot is empty
    HGDIOBJ__* brush;
    HGDIOBJ__* font;
    int penX, penY;    // current pen position
    int textColour;    // 0x00RRGGBB
    int bkColour;      // 0x00RRGGBB
    int bkMode;        // 1 opaque, otherwise transparent
    uint32_t textWord; // the text colour as a pixel word (red, green, blue bytes; alpha 255)
    int clipDepth;     // clip-state nesting
    HDC__* poolNext;
    bool inPool;
};

struct HGDIOBJ__ {
    int type;        // kShimObjPen, kShimObjBrush, kShimObjFont
    int extraRefs;   // 0 = one owner
    int colour;      // pens, brushes (0x00RRGGBB)
    int width;       // pens: width >= 0; -1 for stock objects
    int rotation;    // fonts: degrees
    Shim_Face* face; // fonts: owned
    int quality;     // fonts: 0, 3 or 4
    HGDIOBJ__* poolNext;
    bool inPool;
};

// A context handle that names a live record (not null, not below 5, not pooled).
inline bool Shim_IsValidCtx(const HDC__* ctx) {
    return reinterpret_cast<uintptr_t>(ctx) >= 5 && !ctx->inPool;
}
// An object handle that names a live record.
inline bool Shim_IsValidObj(const HGDIOBJ__* obj) {
    return reinterpret_cast<uintptr_t>(obj) >= 5 && !obj->inPool;
}

// The face a context draws text with: its selected font's, else the shared default face (may be null
// when no font can be opened at all).
Shim_Face* Shim_CtxFace(HDC__* ctx);
// The font quality of the context's selected font (0 when none).
int Shim_CtxQuality(HDC__* ctx);
