#include "framework/editor/BitmapStorage.h"

#include "framework/raster/Raster_Bitmap.h"

Raster_IBitmap* BitmapStorage::Find(int ID) {
    if (ID == kAnonymousID) return nullptr;
    Util_MutexLock lock(mMutex);
    for (const Entry& e : mEntries)
        if (e.mID == ID) return e.mBitmap;
    return nullptr;
}

Raster_IBitmap* BitmapStorage::Add(int ID, Raster_IBitmap* bitmap) {
    if (!bitmap) return nullptr;
    Util_MutexLock lock(mMutex);
    // A bitmap stored already keeps its one entry (it must be deleted once).
    for (const Entry& e : mEntries)
        if (e.mBitmap == bitmap) return bitmap;
    if (ID != kAnonymousID) {
        for (const Entry& e : mEntries) {
            if (e.mID == ID) {
                // Another editor loaded the same picture meanwhile: keep the first.
                if (e.mBitmap != bitmap) delete bitmap;
                return e.mBitmap;
            }
        }
    }
    mEntries.push_back(Entry{ID, bitmap});
    return bitmap;
}

bool BitmapStorage::Remove(Raster_IBitmap* bitmap) {
    if (!bitmap) return false;
    Raster_IBitmap* found = nullptr;
    {
        Util_MutexLock lock(mMutex);
        for (auto it = mEntries.begin(); it != mEntries.end(); ++it) {
            if (it->mBitmap == bitmap) {
                found = it->mBitmap;
                mEntries.erase(it);
                break;
            }
        }
    }
    delete found;
    return found != nullptr;
}

void BitmapStorage::Clear() {
    std::vector<Entry> entries;
    {
        Util_MutexLock lock(mMutex);
        entries.swap(mEntries);
    }
    for (Entry& e : entries) delete e.mBitmap;
}

int BitmapStorage::Count() {
    Util_MutexLock lock(mMutex);
    return static_cast<int>(mEntries.size());
}
