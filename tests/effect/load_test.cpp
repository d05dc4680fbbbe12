// The built plug-in loads like a host loads it: dlopen with every symbol resolved at once, the entry
// functions found by name, an instance opened, run and closed.
#include <gtest/gtest.h>

#include <cmath>
#include <dlfcn.h>
#include <vector>

#include "framework/vst2/VstAbi.h"

namespace {

intptr_t QuietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

} // namespace

TEST(TidebloomModule, LoadsOpensProcessesAndCloses) {
    void* lib = dlopen(TIDEBLOOM_SO_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    for (const char* name : {"VSTPluginMain", "main"}) {
        auto entry = reinterpret_cast<VstPluginEntryProc>(dlsym(lib, name));
        ASSERT_NE(entry, nullptr) << name;
        AEffect* fx = entry(QuietHost);
        ASSERT_NE(fx, nullptr) << name;
        EXPECT_EQ(fx->magic, kEffectMagic);
        fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0.0f);
        fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, 44100.0f);
        fx->dispatcher(fx, effSetBlockSize, 0, 256, nullptr, 0.0f);
        fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0.0f);
        EXPECT_EQ(fx->initialDelay, 1362);
        std::vector<float> in0(256), in1(256), out0(256, 9.0f), out1(256, 9.0f);
        for (int k = 0; k < 256; ++k) in0[k] = in1[k] = static_cast<float>(std::sin(k * 0.05));
        float* ins[2] = {in0.data(), in1.data()};
        float* outs[2] = {out0.data(), out1.data()};
        for (int b = 0; b < 8; ++b) fx->processReplacing(fx, ins, outs, 256);
        // Eight blocks of 256 frames: the last 2048 - 1362 = 686 frames carry the delayed input.
        EXPECT_NE(out0[255], 0.0f);
        EXPECT_TRUE(std::isfinite(out0[255]));
        fx->dispatcher(fx, effMainsChanged, 0, 0, nullptr, 0.0f);
        fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
    }
    EXPECT_EQ(dlsym(lib, "_ZN9TidebloomC1E19IEffectInstanceInfo"), nullptr); // nothing else is visible
    dlclose(lib);
}
