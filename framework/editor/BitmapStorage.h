#pragma once
// BitmapStorage: the process-wide store of the editors' pictures: a list of entries {resource ID, raster
// bitmap}, appended, searched from the front. The store owns every bitmap in it. Entries under ID -1 are
// anonymous (scaled, cropped and retained bitmaps): a search by ID never finds them.
//
// Threads: every operation takes the store's own mutex (several plug-in instances on different threads
// share it). The one instance lives in EditorStores.
#include <vector>

#include "framework/util/Util_Mutex.h"

class Raster_IBitmap;

class BitmapStorage {
public:
    static constexpr int kAnonymousID = -1;

    BitmapStorage() = default;
    // Deletes every bitmap, then the entries.
    ~BitmapStorage() { Clear(); }
    BitmapStorage(const BitmapStorage&) = delete;
    BitmapStorage& operator=(const BitmapStorage&) = delete;

    // The bitmap of the first entry with this ID; null when none (always for kAnonymousID).
    Raster_IBitmap* Find(int ID);
    // Takes ownership of bitmap and appends it under ID, unless another entry with this ID (not
    // anonymous) was added meanwhile: then bitmap is deleted and the stored one returned. A bitmap stored
    // already keeps its one entry; null is not stored (null is returned).
    Raster_IBitmap* Add(int ID, Raster_IBitmap* bitmap);
    // Removes the first entry holding bitmap and deletes it; false when it is not stored.
    bool Remove(Raster_IBitmap* bitmap);
    // Deletes every bitmap, then the entries.
    void Clear();
    int Count();

private:
    struct Entry {
        int mID;
        Raster_IBitmap* mBitmap;
    };
    Util_Mutex mMutex;
    std::vector<Entry> mEntries;
};
