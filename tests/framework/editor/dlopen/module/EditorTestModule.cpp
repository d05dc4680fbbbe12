// The test effect with its headless editor as a loadable plug-in, plus a look into its editor stores.
#include "framework/editor/EditorStores.h"
#include "tests/support/editor/EditorTestEffect.h"

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
    return EditorTestEffect::Entry(host);
}

// What the module's editor stores hold now.
extern "C" __attribute__((visibility("default"))) void
EditorTestModule_StoreCounts(int* editors, int* bitmaps, int* fonts) {
    const EditorStores::Counts c = EditorStores::GetCounts();
    *editors = c.mEditors;
    *bitmaps = c.mBitmaps;
    *fonts = c.mFonts;
}
