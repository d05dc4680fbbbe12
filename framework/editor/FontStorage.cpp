#include "framework/editor/FontStorage.h"

#include <cstring>

#include "framework/raster/Raster_FontCached.h"

FontStorage::Entry* FontStorage::FindLocked(const IText* pTxt) {
    for (Entry& e : mEntries) {
        if (e.mSize == pTxt->mSize && e.mOrientation == pTxt->mOrientation && e.mStyle == pTxt->mStyle &&
            std::strncmp(e.mName, pTxt->mFont, kMaxFontNameLen) == 0)
            return &e;
    }
    return nullptr;
}

Raster_CachedFont* FontStorage::Find(const IText* pTxt) {
    if (!pTxt) return nullptr;
    Util_MutexLock lock(mMutex);
    Entry* e = FindLocked(pTxt);
    return e ? e->mFont : nullptr;
}

Raster_CachedFont* FontStorage::Add(const IText* pTxt, Raster_CachedFont* font) {
    if (!pTxt || !font) return nullptr;
    Util_MutexLock lock(mMutex);
    if (Entry* e = FindLocked(pTxt)) {
        if (e->mFont != font) delete font;
        return e->mFont;
    }
    Entry e;
    e.mSize = pTxt->mSize;
    e.mOrientation = pTxt->mOrientation;
    e.mStyle = pTxt->mStyle;
    std::memset(e.mName, 0, sizeof(e.mName));
    std::memcpy(e.mName, pTxt->mFont, strnlen(pTxt->mFont, kMaxFontNameLen - 1));
    e.mFont = font;
    mEntries.push_back(e);
    return font;
}

void FontStorage::Clear() {
    std::vector<Entry> entries;
    {
        Util_MutexLock lock(mMutex);
        entries.swap(mEntries);
        mGeneration.fetch_add(1, std::memory_order_acq_rel);
    }
    for (Entry& e : entries) delete e.mFont;
}

int FontStorage::Count() {
    Util_MutexLock lock(mMutex);
    return static_cast<int>(mEntries.size());
}
