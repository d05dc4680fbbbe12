// The demo phrase and the mapping of file channels onto plug-in inputs and outputs.
#include "host/HostDemoPhrase.h"
#include "host/HostRender.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(HostDemoPhrase, IsDeterministicStereoOfTheAskedLength) {
    auto a = HostSynthesizeDemoPhrase(44100, 10.0);
    auto b = HostSynthesizeDemoPhrase(44100, 10.0);
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0].size(), 441000u);
    EXPECT_EQ(a[1].size(), 441000u);
    EXPECT_EQ(a, b);
    EXPECT_NE(a[0], a[1]); // panned notes make the channels differ
    EXPECT_EQ(HostSynthesizeDemoPhrase(48000, 0.5)[0].size(), 24000u);
}

TEST(HostDemoPhrase, IsNormalisedToItsPeak) {
    auto a = HostSynthesizeDemoPhrase(44100, 10.0);
    double peak = 0.0;
    for (const auto& ch : a)
        for (double v : ch) peak = std::max(peak, std::fabs(v));
    EXPECT_NEAR(peak, kHostDemoPeak, 1e-12);
}

TEST(HostDemoPhrase, NotesStartWhereTheyAreScheduledWithVariedLoudness) {
    const int rate = 44100;
    auto a = HostSynthesizeDemoPhrase(rate, 10.0);
    const auto& notes = HostDemoNotes();
    ASSERT_GE(notes.size(), 10u);
    size_t first = static_cast<size_t>(std::llround(notes[0].start * rate));
    for (size_t f = 0; f < first; ++f) ASSERT_EQ(a[0][f] + a[1][f], 0.0) << f;
    EXPECT_NE(a[0][first], 0.0);

    // The phrase is nearly silent just before a note that follows a pause, and loud right after it.
    double before = 0.0, after = 0.0;
    size_t start = static_cast<size_t>(std::llround(notes[4].start * rate)); // after a 0.85 s gap
    for (size_t f = start - 200; f < start; ++f)
        before = std::max(before, std::fabs(a[0][f]) + std::fabs(a[1][f]));
    for (size_t f = start; f < start + 200; ++f)
        after = std::max(after, std::fabs(a[0][f]) + std::fabs(a[1][f]));
    EXPECT_GT(after, 4.0 * before);

    double loud = 0.0, soft = 1.0;
    for (const auto& n : notes) {
        loud = std::max(loud, n.amplitude);
        soft = std::min(soft, n.amplitude);
        EXPECT_GE(n.pan, -1.0);
        EXPECT_LE(n.pan, 1.0);
    }
    EXPECT_GE(loud / soft, 4.0);
    for (size_t i = 1; i < notes.size(); ++i) EXPECT_GT(notes[i].start, notes[i - 1].start);
}

TEST(HostChannelPlan, MapsFilesOntoPluginChannels) {
    HostChannelPlan p;
    std::string err;
    const int S = HostChannelPlan::kSilence, M = HostChannelPlan::kMix;
    // Mono file, stereo plug-in: both inputs.
    ASSERT_TRUE(HostPlanChannels(1, 2, 2, false, 0, p, err)) << err;
    EXPECT_EQ(p.inputSource, (std::vector<int>{0, 0}));
    EXPECT_EQ(p.outputSource, (std::vector<int>{0, 1}));
    EXPECT_FALSE(p.narrowToMono);
    // ... or narrowed to one input.
    ASSERT_TRUE(HostPlanChannels(1, 2, 2, true, 0, p, err)) << err;
    EXPECT_EQ(p.inputSource, (std::vector<int>{0, S}));
    EXPECT_TRUE(p.narrowToMono);
    // Stereo file, mono plug-in: the mix; one output copied to as many channels as asked.
    ASSERT_TRUE(HostPlanChannels(2, 1, 1, false, 2, p, err)) << err;
    EXPECT_EQ(p.inputSource, (std::vector<int>{M}));
    EXPECT_EQ(p.outputSource, (std::vector<int>{0, 0}));
    // Stereo into four inputs: the rest is silent; fewer output channels than outputs.
    ASSERT_TRUE(HostPlanChannels(2, 4, 4, false, 1, p, err)) << err;
    EXPECT_EQ(p.inputSource, (std::vector<int>{0, 1, S, S}));
    EXPECT_EQ(p.outputSource, (std::vector<int>{0}));
    // A plug-in without inputs still renders.
    ASSERT_TRUE(HostPlanChannels(2, 0, 2, false, 0, p, err)) << err;
    EXPECT_TRUE(p.inputSource.empty());
}

TEST(HostChannelPlan, RefusesWhatCannotBeMapped) {
    HostChannelPlan p;
    std::string err;
    EXPECT_FALSE(HostPlanChannels(3, 2, 2, false, 0, p, err));
    EXPECT_NE(err.find("the input has 3 channels, the plug-in takes 2"), std::string::npos) << err;
    EXPECT_FALSE(HostPlanChannels(2, 2, 2, true, 0, p, err));
    EXPECT_NE(err.find("needs a mono input file"), std::string::npos) << err;
    EXPECT_FALSE(HostPlanChannels(1, 0, 2, true, 0, p, err));
    EXPECT_FALSE(HostPlanChannels(1, 2, 2, false, 3, p, err));
    EXPECT_NE(err.find("3 output channels asked for, the plug-in has 2"), std::string::npos) << err;
    EXPECT_FALSE(HostPlanChannels(1, 1, 0, false, 0, p, err));
    EXPECT_NE(err.find("no audio outputs"), std::string::npos) << err;
    // More outputs than a file holds: the default is refused with the way out, fewer are taken.
    EXPECT_FALSE(HostPlanChannels(2, 2, 98, false, 0, p, err));
    EXPECT_EQ(err,
              "the plug-in's 98 outputs are too many for a file (at most 64; choose fewer with --channels)");
    ASSERT_TRUE(HostPlanChannels(2, 2, 98, false, 2, p, err)) << err;
    EXPECT_EQ(p.outputSource, (std::vector<int>{0, 1}));
}
