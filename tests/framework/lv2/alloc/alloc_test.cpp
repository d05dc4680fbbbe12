// run allocates nothing, from the first block on. The executable counts every allocation
// (tests/support/AllocCounter), including those of a plug-in opened with dlopen.
#include <gtest/gtest.h>

#include "tests/support/lv2/LV2Checks.h"
#include "tests/support/lv2/LV2TestEffect.h"
#include "tests/support/lv2/LV2TestHost.h"
#include "tests/support/AllocCounter.h"

namespace {

TEST(LV2Alloc, RunOfTheTestEffectAllocatesNothing) {
    LV2TestEffect::sNextConfig = LV2TestEffectConfig();
    ExpectNoAllocationInRun(LV2TestEffect::Descriptor(), AllocationCount);
}

#ifdef TIDEBLOOM_LV2_SO_PATH
TEST(LV2Alloc, RunOfTheShippedPluginsAllocatesNothing) {
    for (const char* path : {TIDEBLOOM_LV2_SO_PATH, TIDEBLOOM_PRECISE_LV2_SO_PATH}) {
        SCOPED_TRACE(path);
        LV2Library lib(path);
        ASSERT_NE(lib.Descriptor(), nullptr) << lib.Error();
        ExpectNoAllocationInRun(lib.Descriptor(), AllocationCount);
    }
}
#endif

} // namespace
