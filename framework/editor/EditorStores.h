#pragma once
// EditorStores: the process-wide picture and font stores (s_bitmapCache, s_fontCache) and their lifetime.
//
// Every IGraphics counts itself in at construction and out at destruction; when the last editor of the
// process goes, both stores are emptied (fonts first, then pictures), so a host that loads and unloads
// the plug-in library while scanning keeps nothing. Counting and emptying are serialised by one mutex, so
// an editor made on one thread while the last one dies on another never sees a freed entry.
//
// Unload order: the stores live in one function-local static made on first use, after the library's
// static objects (the shim's pools among them) were constructed; static destruction runs in reverse, so
// the stores are emptied before the shim tears its pools and FreeType library down. The fonts go before
// the pictures (member order), and the last font deletes the shared scratch bitmaps of the cached-font
// code, which still calls into the live shim.
//
// Any thread may call these.
class BitmapStorage;
class FontStorage;

class EditorStores {
public:
    static BitmapStorage* Bitmaps();
    static FontStorage* Fonts();
    // IGraphics construction and destruction.
    static void EditorCreated();
    static void EditorDestroyed();

    // What the stores hold now (tests and diagnostics).
    struct Counts {
        int mEditors;
        int mBitmaps;
        int mFonts;
    };
    static Counts GetCounts();
};
