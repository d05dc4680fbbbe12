// run on the audio thread while state is saved and an editor moves parameters, and instances created
// on several threads at once. Meant to run under ThreadSanitizer: any race in the binding shows up as
// a report; a deadlock hangs the test.
#include <gtest/gtest.h>

#include "tests/support/lv2/LV2Checks.h"
#include "tests/support/lv2/LV2TestEffect.h"
#include "tests/support/lv2/LV2TestHost.h"

namespace {

constexpr int kRounds = 4000;

TEST(LV2Threads, RunSaveAndEditorGesturesOnTheTestEffect) {
    LV2TestEffect::sNextConfig = LV2TestEffectConfig();
    RunLV2ThreadStress(LV2TestEffect::Descriptor(), kRounds, [](LV2_Handle handle, int k) {
        LV2TestEffect::From(handle)->SetParameterFromGUI(k % 5, (k % 10) / 10.0);
    });
}

TEST(LV2Threads, TestEffectInstancesAreCreatedConcurrently) {
    LV2TestEffect::sNextConfig = LV2TestEffectConfig();
    RunLV2InstancesConcurrently(LV2TestEffect::Descriptor(), 25);
}

#ifdef TIDEBLOOM_LV2_SO_PATH
TEST(LV2Threads, RunAndSaveOnTheShippedPlugin) {
    LV2Library lib(TIDEBLOOM_LV2_SO_PATH);
    ASSERT_NE(lib.Descriptor(), nullptr) << lib.Error();
    RunLV2ThreadStress(lib.Descriptor(), kRounds);
}

TEST(LV2Threads, ShippedInstancesAreCreatedConcurrently) {
    LV2Library lib(TIDEBLOOM_LV2_SO_PATH);
    ASSERT_NE(lib.Descriptor(), nullptr) << lib.Error();
    RunLV2InstancesConcurrently(lib.Descriptor(), 10);
}
#endif

} // namespace
