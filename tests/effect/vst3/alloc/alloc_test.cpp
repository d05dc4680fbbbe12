// From the first block on the VST 3 plug-in's process allocates nothing: with parameter changes and
// programs in the middle of blocks, in 32 and 64 bits, mono and stereo, for blocks longer than the
// block size and for blocks of no frames. The executable counts every allocation
// (tests/support/AllocCounter), including those of the module opened with dlopen.
#include <gtest/gtest.h>

#include <vector>

#include "tests/support/AllocCounter.h"
#include "tests/support/vst3/VST3TestHost.h"

namespace {

constexpr uint32_t kProgram = 0x70726F67;

struct Scene {
    const char* what;
    int32_t sampleSize;
    int maxBlock;
    bool mono;
};

template <class T>
void Play(VST3TestHost& host, int nCh, int maxBlock) {
    std::vector<std::vector<T>> in(2, std::vector<T>(3 * maxBlock, T(0.25))), out = in;
    T* ip[2] = {in[0].data(), in[1].data()};
    T* op[2] = {out[0].data(), out[1].data()};
    for (int b = 0; b < 40; ++b) {
        const int n = b % 7 == 6 ? 3 * maxBlock : b % 5 == 4 ? 0 : maxBlock;
        std::vector<VST3Change> changes;
        if (b % 2 == 1) {
            for (uint32_t id = 0; id < 5; ++id)
                changes.push_back({id, (b * 37 + static_cast<int32_t>(id) * 11) % (n + 1), 0.1 * (b % 10)});
            changes.push_back({kProgram, n / 2, 0.2 * (b % 6)});
        }
        ASSERT_EQ(host.Process(ip, nCh, op, nCh, n, changes), V3_OK);
    }
}

TEST(Vst3Alloc, ProcessAllocatesNothing) {
    VST3Library lib(TIDEBLOOM_VST3_SO_PATH);
    const Scene scenes[] = {
        {"32 bits, stereo", V3_SAMPLE_32, 512, false},
        {"64 bits, stereo", V3_SAMPLE_64, 256, false},
        {"32 bits, mono", V3_SAMPLE_32, 1024, true},
    };
    for (const Scene& s : scenes) {
        SCOPED_TRACE(s.what);
        VST3TestHost host;
        ASSERT_TRUE(host.Load(lib.Factory())) << lib.Problem();
        if (s.mono) {
            v3_speaker_arrangement m = V3_SPEAKER_M;
            ASSERT_EQ(host.P()->set_bus_arrangements(host.Processor(), &m, 1, &m, 1), V3_OK);
        }
        ASSERT_TRUE(host.Start(48000.0, s.maxBlock, s.sampleSize));
        host.CountAllocationsWith(AllocationCount);
        const int nCh = s.mono ? 1 : 2;
        if (s.sampleSize == V3_SAMPLE_64)
            Play<double>(host, nCh, s.maxBlock);
        else
            Play<float>(host, nCh, s.maxBlock);
        // Suspended and resumed at another rate: the first blocks after it too.
        host.Stop();
        ASSERT_TRUE(host.Start(96000.0, s.maxBlock, s.sampleSize));
        if (s.sampleSize == V3_SAMPLE_64)
            Play<double>(host, nCh, s.maxBlock);
        else
            Play<float>(host, nCh, s.maxBlock);
        EXPECT_EQ(host.ProcessAllocations(), 0);
    }
}

} // namespace
