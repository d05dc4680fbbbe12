#include "framework/editor/EditorStores.h"

#include "framework/editor/BitmapStorage.h"
#include "framework/editor/FontStorage.h"
#include "framework/util/Util_Mutex.h"

namespace {

// Everything process-wide of the editor, made on first use. Members are destroyed in reverse order: the
// fonts (and with the last one the cached-font scratch bitmaps) before the pictures, both before the
// font lock and the lifetime mutex. See the header for the order relative to the shim.
struct Stores {
    Util_Mutex mLifetimeMutex;
    Util_Mutex mFontLock;
    int mEditors = 0;
    BitmapStorage s_bitmapCache;
    FontStorage s_fontCache;
};

Stores& TheStores() {
    static Stores sStores;
    return sStores;
}

} // namespace

BitmapStorage* EditorStores::Bitmaps() {
    return &TheStores().s_bitmapCache;
}

FontStorage* EditorStores::Fonts() {
    return &TheStores().s_fontCache;
}

Util_Mutex& EditorStores::FontLock() {
    return TheStores().mFontLock;
}

void EditorStores::EditorCreated() {
    Stores& s = TheStores();
    Util_MutexLock lock(s.mLifetimeMutex);
    ++s.mEditors;
}

void EditorStores::EditorDestroyed() {
    Stores& s = TheStores();
    Util_MutexLock lock(s.mLifetimeMutex);
    if (s.mEditors > 0 && --s.mEditors == 0) {
        {
            Util_MutexLock fonts(s.mFontLock);
            s.s_fontCache.Clear();
        }
        s.s_bitmapCache.Clear();
    }
}

EditorStores::Counts EditorStores::GetCounts() {
    Stores& s = TheStores();
    Counts c;
    {
        Util_MutexLock lock(s.mLifetimeMutex);
        c.mEditors = s.mEditors;
    }
    c.mBitmaps = s.s_bitmapCache.Count();
    c.mFonts = s.s_fontCache.Count();
    return c;
}
