// A host scanning plug-ins loads and unloads a library many times: 100 cycles of dlopen, create, attach
// the editor, open, draw, close, dlclose must leave nothing behind (the sanitized build also checks for
// leaks at exit) and must not grow the heap.
//
// The host here has the system's font libraries loaded, as hosts with a user interface of their own do.
// (A process that loads fontconfig only with the plug-in reloads it every cycle, and fontconfig keeps
// about 230 KB of its default configuration each time it is initialised; that is fontconfig's, and the
// font shim would need a private configuration to avoid it.)
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <malloc.h>

#include <initializer_list>

#include "tests/support/vst2/TestHost.h"

#if defined(__SANITIZE_ADDRESS__)
#define EDITOR_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define EDITOR_TEST_ASAN 1
#endif
#endif
#ifdef EDITOR_TEST_ASAN
#include <sanitizer/allocator_interface.h>
#endif

namespace {

// Bytes of heap in use.
long long HeapInUse() {
#ifdef EDITOR_TEST_ASAN
    return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#else
    return static_cast<long long>(mallinfo2().uordblks);
#endif
}

using StoreCountsFn = void (*)(int*, int*, int*);

struct Counts {
    int editors = -1, bitmaps = -1, fonts = -1;
};

Counts Read(StoreCountsFn fn) {
    Counts c;
    fn(&c.editors, &c.bitmaps, &c.fonts);
    return c;
}

TEST(EditorDlopen, HundredLoadCycles) {
    for (const char* lib : {"libfontconfig.so.1", "libfreetype.so.6", "libpng16.so.16"})
        ASSERT_NE(dlopen(lib, RTLD_NOW | RTLD_GLOBAL), nullptr) << dlerror();
    long long at10 = 0, at100 = 0;
    for (int cycle = 1; cycle <= 100; ++cycle) {
        void* module = dlopen(EDITOR_TEST_MODULE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        auto entry = reinterpret_cast<VstPluginEntryProc>(dlsym(module, "VSTPluginMain"));
        auto counts = reinterpret_cast<StoreCountsFn>(dlsym(module, "EditorTestModule_StoreCounts"));
        ASSERT_NE(entry, nullptr);
        ASSERT_NE(counts, nullptr);
        {
            TestHost host;
            AEffect* effect = host.Load(entry);
            ASSERT_NE(effect, nullptr);
            ASSERT_TRUE(effect->flags & effFlagsHasEditor);
            host.Open();
            ERect* rect = nullptr;
            ASSERT_EQ(host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
            ASSERT_EQ(rect->right, 555);
            int parent = 0;
            ASSERT_EQ(host.Dispatch(effEditOpen, 0, 0, &parent), 1);
            host.Dispatch(effEditIdle); // draws everything: pictures and text
            host.SetParameter(0, 0.75f);
            host.Dispatch(effEditIdle);
            const Counts open = Read(counts);
            ASSERT_EQ(open.editors, 1);
            ASSERT_EQ(open.bitmaps, 4);
            ASSERT_EQ(open.fonts, 1);
            ASSERT_EQ(host.Dispatch(effEditClose), 1);
            host.Close();
            const Counts closed = Read(counts);
            ASSERT_EQ(closed.editors, 0);
            ASSERT_EQ(closed.bitmaps, 0);
            ASSERT_EQ(closed.fonts, 0);
        }
        ASSERT_EQ(dlclose(module), 0);
        // Really unloaded (nothing pins the library).
        void* again = dlopen(EDITOR_TEST_MODULE, RTLD_NOW | RTLD_NOLOAD);
        ASSERT_EQ(again, nullptr);
        if (cycle == 10) at10 = HeapInUse();
        if (cycle == 100) at100 = HeapInUse();
    }
    // Ninety more cycles leave the heap where it was. The dynamic loader and fontconfig's matching keep a
    // few hundred bytes now and then (about 300 per cycle on average); anything the editor could leave
    // behind (an editor object, a picture, a font and its glyph cache) is kilobytes per cycle.
    EXPECT_LT(at100 - at10, 64 * 1024) << "at cycle 10: " << at10 << " bytes, at cycle 100: " << at100;
}

} // namespace
