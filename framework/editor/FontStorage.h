#pragma once
// FontStorage: the process-wide store of the editors' fonts: a list of entries {size, orientation, style,
// font name} -> cached font, appended, searched from the front. Colour, alignment and quality are not part
// of the key: two styles that differ only in those share the font made first. The store owns every font.
//
// Each Clear starts a new generation; a text style remembers the generation of its cached font, so a
// pointer from before a Clear is never used (IGraphics::CacheFont looks the font up again).
//
// Threads: every operation takes the store's own mutex. The fonts themselves are made, drawn and
// measured with, and deleted only under EditorStores::FontLock() (taken before the store's mutex). The
// one instance lives in EditorStores.
#include <atomic>
#include <vector>

#include "framework/editor/IText.h"
#include "framework/util/Util_Mutex.h"

class Raster_CachedFont;

class FontStorage {
public:
    FontStorage() = default;
    ~FontStorage() { Clear(); }
    FontStorage(const FontStorage&) = delete;
    FontStorage& operator=(const FontStorage&) = delete;

    // The font of the first entry matching the style's size, orientation, style and font name, or null.
    Raster_CachedFont* Find(const IText* pTxt);
    // Takes ownership of font and appends it under the style's key, unless a matching entry was added
    // meanwhile: then font is deleted and the stored one returned. Null is not stored.
    Raster_CachedFont* Add(const IText* pTxt, Raster_CachedFont* font);
    // Deletes every font, then the entries, and starts a new generation.
    void Clear();
    int Count();
    unsigned Generation() const { return mGeneration.load(std::memory_order_acquire); }

private:
    struct Entry {
        int mSize;
        int mOrientation;
        int mStyle;
        char mName[kMaxFontNameLen];
        Raster_CachedFont* mFont;
    };
    Entry* FindLocked(const IText* pTxt);

    Util_Mutex mMutex;
    std::vector<Entry> mEntries;
    std::atomic<unsigned> mGeneration{1};
};
