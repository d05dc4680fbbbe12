#pragma once
// PNG loading into bitmaps of pixel words, a PNG writer, and the compiled-in named resources.
//
// Loading: every PNG colour type, bit depth and interlacing ends up as non-premultiplied pixel words
// (alpha from the image, its tRNS chunk, or 255; 16-bit channels keep their high byte). With a target
// bitmap the image is decoded into it (resized to the image size); without one a new Raster_MemBitmap is
// returned, owned by the caller. Any failure (unreadable file, not a PNG, truncated or corrupt data, an
// allocation failure) returns null, releases everything the call made and deletes a bitmap it created; a
// caller's target is then left at whatever size and content it had reached. Rows honour the target's
// isFlipped(). The loaders keep no state between calls and may run on any thread (one bitmap per thread).
//
// Named resources: the plug-in ships as one shared object, so its pictures are compiled into it. A
// generated source defines one Raster_NamedResource record per picture (name, bytes, length) and registers
// each with Raster_AddNamedResource from a static initialiser, for example
//     static const unsigned char kBack2[] = {0x89, 'P', 'N', 'G', ...};
//     static Raster_NamedResource sBack2 = {"back2.png", kBack2, sizeof(kBack2), nullptr};
//     static const bool sBack2Added = (Raster_AddNamedResource(&sBack2), true);
// That source belongs to the final shared object's own sources (an object file in a static library that
// nothing references would not be linked in). Raster_LoadPNGFromNamedResource looks the name up there
// first; when it is not compiled in, it loads the file of that name from the resource folder the caller
// names. Which folder that is (beside the plug-in) is the platform layer's to say: the raster library
// knows no modules and no paths of its own.
#include <vector>

#include "framework/raster/Raster_Bitmap.h"

// Decodes a PNG file. Returns the bitmap written (target, or a new Raster_MemBitmap) or null.
Raster_IBitmap* Raster_LoadPNG(const char* filename, Raster_IBitmap* target);
// Decodes PNG data in memory (length bytes); null at once for fewer than 8 bytes or no PNG signature.
Raster_IBitmap* Raster_LoadPNGFromMemory(const void* data, int length, Raster_IBitmap* target);
// Decodes a named resource: compiled-in, else the file folder + name when a folder (ending in '/') is
// given; null for names over 400 bytes.
Raster_IBitmap* Raster_LoadPNGFromNamedResource(const char* name, Raster_IBitmap* target,
                                                const char* folder = nullptr);
// A picture by name the way a plug-in's editor loads it, replacements first: the file of that name in
// folder (a resource folder ending in '/'; null or "" for none) when it decodes (decoded now), else the
// compiled-in resource as a Raster_DeferredPNGBitmap (only its size is read now; it decodes at first
// use), else null. So a user may drop replacement pictures into the resource folder, and a replacement
// that is not a PNG or is damaged is passed over for the compiled-in picture. Names containing '/' or
// over 400 bytes: null.
Raster_IBitmap* Raster_LoadNamedPicture(const char* folder, const char* name);
// The size in a PNG header (the signature, then the IHDR chunk) when it is a size the loaders accept;
// false otherwise. Reads the first 24 bytes only.
bool Raster_ReadPNGSize(const void* data, int length, int* w, int* h);
// Numbered resources do not exist on this platform: always null.
Raster_IBitmap* Raster_LoadPNGFromResource(void* module, int resourceId, Raster_IBitmap* target);

// The PNG entry of the image-loader list.
class Raster_PNGLoader {
public:
    // Raster_LoadPNG, or null when checkFileName is set and the path's extension is not ".png" (any case).
    static Raster_IBitmap* loadfunc(const char* filename, bool checkFileName, Raster_IBitmap* target);
    // "PNG files (*.PNG)\0*.PNG\0\0": description and pattern, then an empty string.
    static const char* get_extlist();
};

// Image-loader registration record; Raster_ImageLoader_list heads a singly linked list of them, and
// Raster_pngldr (the PNG loader) is put at its front when the module loads.
struct Raster_ImageLoaderRec {
    Raster_IBitmap* (*loadfunc)(const char* filename, bool checkFileName, Raster_IBitmap* target);
    const char* (*get_extlist)();
    Raster_ImageLoaderRec* _next;
};
extern Raster_ImageLoaderRec* Raster_ImageLoader_list;
extern Raster_ImageLoaderRec Raster_pngldr;

// Writes a bitmap as an 8-bit RGBA PNG (RGB when withAlpha is false), top row first. False for an empty
// bitmap or any write failure (a partly written file is removed).
bool Raster_WritePNG(Raster_IBitmap* bitmap, const char* filename, bool withAlpha = true);
// The same into memory (out is replaced).
bool Raster_WritePNGToMemory(Raster_IBitmap* bitmap, std::vector<unsigned char>* out, bool withAlpha = true);

// A compiled-in named resource. The record and its bytes must live as long as the module (static data).
struct Raster_NamedResource {
    const char* name;
    const unsigned char* data;
    int length;
    Raster_NamedResource* next; // list link, set by Raster_AddNamedResource
};
// Registers a record (thread-safe; usable from static initialisers). A name registered again replaces
// the earlier record in lookups; adding the same record twice does nothing.
void Raster_AddNamedResource(Raster_NamedResource* resource);
// The record registered under exactly this name, or null.
const Raster_NamedResource* Raster_FindNamedResource(const char* name);
