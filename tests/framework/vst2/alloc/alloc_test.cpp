// From the first block on the audio callbacks allocate nothing. The executable counts every allocation
// (tests/support/AllocCounter), including those of a plug-in opened with dlopen.
#include <gtest/gtest.h>

#include "tests/support/vst2/Conformance.h"
#include "tests/support/vst2/TestEffect.h"
#include "tests/support/AllocCounter.h"

namespace {

TEST(Vst2Alloc, TheCounterCounts) {
    long before = AllocationCount();
    // Called directly, so the compiler may not elide the allocation as it may for a new-expression.
    void* p = ::operator new(16);
    EXPECT_EQ(AllocationCount() - before, 1);
    ::operator delete(p);
}

TEST(Vst2Alloc, AudioCallbacksOfTheTestEffectAllocateNothing) {
    TestEffect::sNextConfig = TestEffectConfig();
    ExpectNoAllocationInAudio(TestEffect::Entry, AllocationCount);
}

#ifdef TIDEBLOOM_SO_PATH
TEST(Vst2Alloc, AudioCallbacksOfTheShippedPluginsAllocateNothing) {
    for (const char* path : {TIDEBLOOM_SO_PATH, TIDEBLOOM_PRECISE_SO_PATH}) {
        SCOPED_TRACE(path);
        PluginLibrary lib(path);
        ASSERT_TRUE(lib.IsLoaded()) << lib.Error();
        ExpectNoAllocationInAudio(lib.PluginMain(), AllocationCount);
    }
}
#endif

} // namespace
