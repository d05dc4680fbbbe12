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
// The font lock. The cached fonts are shared by every editor of the process, and drawing or measuring
// with one changes it (its colour, its glyph cache) and the scratch bitmaps all fonts render glyphs in;
// hosts may idle two editors from two threads. So whoever draws or measures with a cached font, makes
// one or deletes one holds FontLock() meanwhile: IGraphics takes it in Draw (around the controls'
// drawing), DrawIText (so MeasureIText) and CacheFont, the emptying of the font store takes it, and a
// window host that draws with the fonts itself (the X11 host's text field, menus and message box)
// takes it around that. It is recursive, so a control's Draw may measure and draw text under the
// editor's own hold.
//
// Lock order, outermost first: a window host's own lock (the X11 host's mLock), then the lifetime
// mutex, then FontLock(), then the stores' own mutexes and the shim's. Nothing that holds FontLock()
// takes a window host's lock or the plug-in's mutex, or calls into the plug-in or the host.
//
// Any thread may call these.
class BitmapStorage;
class FontStorage;
class Util_Mutex;

class EditorStores {
public:
    static BitmapStorage* Bitmaps();
    static FontStorage* Fonts();
    // The process-wide recursive lock held while the cached fonts are used (see above).
    static Util_Mutex& FontLock();
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
