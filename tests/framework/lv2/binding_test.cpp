// The LV2 binding seen from a host: instantiation and the sample rates it refuses, block sizes,
// control values mapped only when they change (with the VST 2 binding's rules for NaN and values out
// of range), the latency port, audio in blocks of every size, mono and in-place connections, and the
// state interface's round trip and refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <lv2/atom/atom.h>

#include "tests/support/lv2/LV2TestEffect.h"
#include "tests/support/lv2/LV2TestHost.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
const float kDefaults[5] = {0.7f, 0.5f, 0.75f, 1.0f, 1.0f};

// A host with an activated test effect whose controls hold the defaults, as a host sets them from
// the plug-in's description.
struct Rig {
    LV2TestHost host;
    LV2TestEffect* fx = nullptr;

    explicit Rig(int maxBlock = 0, bool withMap = true) {
        LV2TestEffect::sNextConfig = LV2TestEffectConfig();
        if (!host.Instantiate(LV2TestEffect::Descriptor(), 44100.0, maxBlock, withMap)) return;
        fx = LV2TestEffect::From(host.Handle());
        for (int i = 0; i < 5; ++i) host.SetControl(i, kDefaults[i]);
        host.Activate();
    }
    std::vector<double> Values() const {
        std::vector<double> v;
        for (int i = 0; i < 5; ++i) v.push_back(fx->GetParam(i)->Value());
        return v;
    }
};

void Signal(std::vector<float>& l, std::vector<float>& r, int n) {
    l.resize(static_cast<size_t>(n));
    r.resize(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
        l[static_cast<size_t>(k)] = static_cast<float>(0.6 * std::sin(k * 0.031));
        r[static_cast<size_t>(k)] = static_cast<float>(0.4 * std::sin(k * 0.017 + 1.0));
    }
}

std::string Rate(double rate) {
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%g", rate);
    return buf;
}

std::vector<uint8_t> LE(double v) {
    std::vector<uint8_t> b(8);
    std::memcpy(b.data(), &v, 8);
    return b;
}

// Framework header, then one little-endian double per value.
std::vector<uint8_t> StateBytes(const std::vector<double>& values) {
    std::vector<uint8_t> b = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
    for (double v : values) {
        std::vector<uint8_t> d = LE(v);
        b.insert(b.end(), d.begin(), d.end());
    }
    return b;
}

} // namespace

TEST(LV2Binding, DescriptorAndExtensionData) {
    const LV2_Descriptor* d = LV2TestEffect::Descriptor();
    EXPECT_STREQ(d->URI, "urn:tidebloom-tests:some-effect");
    EXPECT_TRUE(d->instantiate && d->connect_port && d->activate && d->run && d->deactivate && d->cleanup);
    const auto* state = static_cast<const LV2_State_Interface*>(d->extension_data(LV2_STATE__interface));
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(state->save && state->restore);
    EXPECT_EQ(d->extension_data("http://lv2plug.in/ns/ext/worker#interface"), nullptr);
    EXPECT_EQ(d->extension_data(nullptr), nullptr);
}

TEST(LV2Binding, InstantiateRefusesSampleRatesItCannotServe) {
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    struct Case {
        double rate;
        bool served;
    };
    for (const Case& c :
         {Case{0.0, false}, Case{-44100.0, false}, Case{nan, false}, Case{inf, false}, Case{-inf, false},
          Case{7999.5, false}, Case{768000.5, false}, Case{1e12, false}, Case{8000.0, true},
          Case{44100.0, true}, Case{96000.0, true}, Case{768000.0, true}}) {
        LV2TestEffect::sNextConfig = LV2TestEffectConfig();
        LV2TestHost host;
        EXPECT_EQ(host.Instantiate(LV2TestEffect::Descriptor(), c.rate), c.served) << c.rate;
        if (!c.served) continue;
        LV2TestEffect* fx = LV2TestEffect::From(host.Handle());
        // As after a VST 2 host's open, sample rate and block size: every parameter mapped at the
        // default rate, then the rate and the block size, each followed by a reset.
        EXPECT_EQ(fx->mSampleRateAtConstruction, 44100.0);
        EXPECT_EQ(fx->mEvents,
                  (std::vector<std::string>{"change 0 at 44100", "change 1 at 44100", "change 2 at 44100",
                                            "change 3 at 44100", "change 4 at 44100",
                                            "reset at " + Rate(c.rate), "reset at " + Rate(c.rate)}));
        EXPECT_STREQ(fx->GetAPIString(), "LV2");
    }
    // An effect that cannot be built gives no instance.
    LV2TestEffect::sNextConfig.throwsInConstructor = true;
    LV2TestHost host;
    EXPECT_FALSE(host.Instantiate(LV2TestEffect::Descriptor(), 44100.0));
    LV2TestEffect::sNextConfig = LV2TestEffectConfig();
}

TEST(LV2Binding, BlockSizeFollowsTheHostsLargestBlock) {
    struct Case {
        int maxBlock;
        bool withMap;
        int expected;
    };
    for (const Case& c :
         {Case{0, true, 1024}, Case{256, true, 256}, Case{100000, true, 8192}, Case{256, false, 1024}}) {
        Rig rig(c.maxBlock, c.withMap);
        ASSERT_NE(rig.fx, nullptr);
        EXPECT_EQ(rig.fx->GetBlockSize(), c.expected) << c.maxBlock;
        // The effect's own override saw the size once the object was complete.
        EXPECT_EQ(rig.fx->mBlockSizeSeen, c.expected) << c.maxBlock;
    }
}

TEST(LV2Binding, ControlsAreMappedOnlyWhenTheyChangeAndStayFiniteAndInRange) {
    Rig rig;
    ASSERT_NE(rig.fx, nullptr);
    rig.fx->mParamChanges.clear();
    // The defaults as the host holds them (single precision) are no change: the exact defaults stay.
    rig.host.Run(0);
    EXPECT_TRUE(rig.fx->mParamChanges.empty());
    EXPECT_EQ(rig.Values(), (std::vector<double>{0.7, 0.5, 0.75, 1.0, 1.0}));

    struct Case {
        int param;
        float port;
        bool mapped;
        double value; // after the run
    };
    const Case cases[] = {
        {LV2TestEffect::kVol, 1.5f, true, 1.5},
        {LV2TestEffect::kVol, 1.5f, false, 1.5}, // unchanged
        {LV2TestEffect::kVol, kNaN, false, 1.5}, // NaN is no value
        {LV2TestEffect::kVol, kNaN, false, 1.5},
        {LV2TestEffect::kVol, 7.5f, true, 2.0}, // clamped
        {LV2TestEffect::kVol, -kInf, true, 0.0},
        {LV2TestEffect::kSensitivity, kInf, true, 1.0},
        {LV2TestEffect::kSensitivity, 0.25f, true, static_cast<double>(0.25f)},
        {LV2TestEffect::kTime, 0.3f, true, static_cast<double>(0.3f)}, // the port's value, not rounded
        {LV2TestEffect::kOnOff, 0.4f, true, 0.0},                      // onto the integer grid
        {LV2TestEffect::kOnOff, 0.5f, true, 1.0},
        {LV2TestEffect::kOnOff, -3.0f, true, 0.0},
    };
    for (const Case& c : cases) {
        rig.fx->mParamChanges.clear();
        rig.host.SetControl(c.param, c.port);
        rig.host.Run(16);
        EXPECT_EQ(rig.fx->mParamChanges, c.mapped ? std::vector<int>{c.param} : std::vector<int>{})
            << c.param << " " << c.port;
        EXPECT_EQ(rig.fx->GetParam(c.param)->Value(), c.value) << c.param << " " << c.port;
    }
    EXPECT_EQ(rig.fx->mMapping.mVolume, 0.0);
    EXPECT_FALSE(rig.fx->mMapping.mOnOff);
}

TEST(LV2Binding, TheLatencyPortCarriesTheReportedDelayFromTheSameRun) {
    Rig rig;
    ASSERT_NE(rig.fx, nullptr);
    rig.host.Run(0);
    EXPECT_EQ(rig.host.Latency(), 1362.0f);
    struct Case {
        int param;
        float port;
        float latency;
    };
    for (const Case& c :
         {Case{LV2TestEffect::kDepth, 1.0f, 1500.0f}, Case{LV2TestEffect::kOnOff, 0.0f, 0.0f},
          Case{LV2TestEffect::kDepth, 0.5f, 0.0f}, Case{LV2TestEffect::kOnOff, 1.0f, 1190.0f}}) {
        rig.host.SetControl(c.param, c.port);
        rig.host.Run(64);
        EXPECT_EQ(rig.host.Latency(), c.latency) << c.param << " " << c.port;
    }
    // An unconnected latency port is not written.
    rig.host.ConnectPort(rig.host.LatencyPort(), nullptr);
    rig.host.SetControl(LV2TestEffect::kDepth, 1.0f);
    rig.host.Run(8);
    EXPECT_EQ(rig.host.Latency(), 1190.0f);
}

TEST(LV2Binding, BlocksOfEverySizeAreProcessedWhole) {
    std::vector<float> l, r;
    Signal(l, r, 20000);
    for (int block : {1, 7, 100, 1024, 1025, 3000, 8192}) {
        Rig rig;
        ASSERT_NE(rig.fx, nullptr);
        rig.host.SetControl(LV2TestEffect::kVol, 0.5f);
        std::vector<float> o0, o1;
        rig.host.Process(l, r, o0, o1, block);
        for (size_t k = 0; k < l.size(); ++k) {
            ASSERT_EQ(o0[k], static_cast<float>(static_cast<double>(l[k]) * 0.5)) << block << " " << k;
            ASSERT_EQ(o1[k], static_cast<float>(static_cast<double>(r[k]) * 0.5)) << block << " " << k;
        }
        // Blocks longer than the block size reach the effect in pieces of at most the block size.
        EXPECT_EQ(rig.fx->mLargestBlock, std::min(block, 1024)) << block;
    }
}

TEST(LV2Binding, MonoInPlaceAndUnconnectedPorts) {
    std::vector<float> l, r;
    Signal(l, r, 512);
    auto run = [&](Rig& rig, auto connect) {
        std::copy(l.begin(), l.end(), rig.host.In(0));
        std::copy(r.begin(), r.end(), rig.host.In(1));
        rig.host.SetControl(LV2TestEffect::kVol, 2.0f);
        connect(rig);
        rig.host.Run(512);
    };
    auto times2 = [](float x) { return static_cast<float>(static_cast<double>(x) * 2.0); };
    {
        // A mono track: the right input left unconnected hears the left one.
        Rig rig;
        run(rig, [](Rig& g) { g.host.ConnectPort(1, nullptr); });
        for (int k = 0; k < 512; ++k) {
            ASSERT_EQ(rig.host.Out(0)[k], times2(l[k])) << k;
            ASSERT_EQ(rig.host.Out(1)[k], times2(l[k])) << k;
        }
    }
    {
        // In place: each output shares its input's buffer (and the inputs are swapped on the way).
        Rig rig;
        run(rig, [](Rig& g) {
            g.host.ConnectPort(2, g.host.In(1));
            g.host.ConnectPort(3, g.host.In(0));
        });
        for (int k = 0; k < 512; ++k) {
            ASSERT_EQ(rig.host.In(1)[k], times2(l[k])) << k;
            ASSERT_EQ(rig.host.In(0)[k], times2(r[k])) << k;
        }
    }
    {
        // No first input: silence; no right output: nothing written there, the left is processed.
        Rig rig;
        std::fill_n(rig.host.Out(1), 512, 9.0f);
        run(rig, [](Rig& g) {
            g.host.ConnectPort(0, nullptr);
            g.host.ConnectPort(3, nullptr);
        });
        for (int k = 0; k < 512; ++k) {
            ASSERT_EQ(rig.host.Out(0)[k], 0.0f) << k;
            ASSERT_EQ(rig.host.Out(1)[k], 9.0f) << k;
        }
    }
}

TEST(LV2Binding, ActivationAndExceptionsStayInside) {
    {
        Rig rig;
        ASSERT_NE(rig.fx, nullptr);
        rig.host.Deactivate();
        rig.host.Activate();
        EXPECT_EQ(rig.fx->mActivations, (std::vector<bool>{true, false, true}));
        EXPECT_EQ(rig.fx->mResets, 3); // sample rate and block size at instantiation, deactivation
    }
    // An effect that throws everywhere: the host sees nothing but the calls returning.
    LV2TestEffect::sNextConfig = LV2TestEffectConfig();
    LV2TestHost host;
    ASSERT_TRUE(host.Instantiate(LV2TestEffect::Descriptor(), 44100.0));
    LV2TestEffect::From(host.Handle())->mConfig.throws = true;
    host.Activate();
    host.SetControl(LV2TestEffect::kVol, 0.3f);
    host.Run(64);
    LV2TestHost::State state;
    EXPECT_EQ(host.Save(&state), LV2_STATE_SUCCESS);
    EXPECT_EQ(host.Restore(state), LV2_STATE_ERR_UNKNOWN);
    host.Deactivate();
}

TEST(LV2Binding, StateRoundTripsExactlyAndRefusesWhatItDidNotWrite) {
    Rig source;
    ASSERT_NE(source.fx, nullptr);
    source.host.SetControl(LV2TestEffect::kVol, 1.25f);
    source.host.SetControl(LV2TestEffect::kOnOff, 0.0f);
    source.host.Run(8);
    source.fx->GetParam(LV2TestEffect::kTime)->Set(0.433); // a value no control can carry exactly
    LV2TestHost::State saved;
    ASSERT_EQ(source.host.Save(&saved), LV2_STATE_SUCCESS);
    const uint32_t key = source.host.Map("urn:tidebloom-tests:some-effect#state");
    ASSERT_EQ(saved.size(), 1u);
    ASSERT_EQ(saved.count(key), 1u);
    EXPECT_EQ(saved[key].mType, source.host.Map(LV2_ATOM__Chunk));
    EXPECT_EQ(saved[key].mFlags, static_cast<uint32_t>(LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE));
    const std::vector<double> values = {0.7, 0.433, 0.75, 1.25, 0.0};
    EXPECT_EQ(saved[key].mBytes, StateBytes(values));

    // Restored into a fresh instance whose controls the host sets from the same session.
    Rig target;
    ASSERT_NE(target.fx, nullptr);
    target.fx->mParamChanges.clear();
    ASSERT_EQ(target.host.Restore(saved), LV2_STATE_SUCCESS);
    EXPECT_EQ(target.fx->mParamChanges, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(target.Values(), values);
    for (int i = 0; i < 5; ++i) target.host.SetControl(i, static_cast<float>(values[static_cast<size_t>(i)]));
    target.fx->mParamChanges.clear();
    target.host.Run(8);
    EXPECT_TRUE(target.fx->mParamChanges.empty()); // the state's exact values stay
    EXPECT_EQ(target.Values(), values);
    EXPECT_EQ(target.host.Latency(), 0.0f);

    // Damaged or foreign states change nothing.
    const uint32_t chunkType = target.host.Map(LV2_ATOM__Chunk);
    const std::vector<uint8_t> good = StateBytes({0.1, 0.2, 0.3, 0.4, 1.0});
    auto with = [&](std::vector<uint8_t> bytes, uint32_t type) {
        LV2TestHost::State s;
        s[key] = {std::move(bytes), type, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE};
        return s;
    };
    std::vector<uint8_t> badMagic = good, badVersion = good, shorter = good, longer = good;
    badMagic[0] = 0x75;
    badVersion[6] = 0x02;
    shorter.pop_back();
    longer.push_back(0);
    struct Case {
        const char* what;
        LV2TestHost::State state;
        LV2_State_Status status;
    };
    const Case cases[] = {
        {"empty", {}, LV2_STATE_ERR_NO_PROPERTY},
        {"another key", {{key + 1000, {good, chunkType, 0}}}, LV2_STATE_ERR_NO_PROPERTY},
        {"another type", with(good, target.host.Map(LV2_ATOM__String)), LV2_STATE_ERR_BAD_TYPE},
        {"magic", with(badMagic, chunkType), LV2_STATE_ERR_UNKNOWN},
        {"version", with(badVersion, chunkType), LV2_STATE_ERR_UNKNOWN},
        {"shorter", with(shorter, chunkType), LV2_STATE_ERR_UNKNOWN},
        {"longer", with(longer, chunkType), LV2_STATE_ERR_UNKNOWN},
        {"header only", with(StateBytes({}), chunkType), LV2_STATE_ERR_UNKNOWN},
        {"NaN", with(StateBytes({0.1, std::nan(""), 0.3, 0.4, 1.0}), chunkType), LV2_STATE_ERR_UNKNOWN},
        {"infinity", with(StateBytes({0.1, 0.2, 0.3, HUGE_VAL, 1.0}), chunkType), LV2_STATE_ERR_UNKNOWN},
        {"out of range", with(StateBytes({0.1, 0.2, 0.3, 2.5, 1.0}), chunkType), LV2_STATE_ERR_UNKNOWN},
        {"below range", with(StateBytes({-0.1, 0.2, 0.3, 0.4, 1.0}), chunkType), LV2_STATE_ERR_UNKNOWN},
    };
    for (const Case& c : cases) {
        target.fx->mParamChanges.clear();
        EXPECT_EQ(target.host.Restore(c.state), c.status) << c.what;
        EXPECT_EQ(target.Values(), values) << c.what;
        EXPECT_TRUE(target.fx->mParamChanges.empty()) << c.what;
    }
    EXPECT_EQ(target.host.Restore(with(good, chunkType)), LV2_STATE_SUCCESS);
    EXPECT_EQ(target.Values(), (std::vector<double>{0.1, 0.2, 0.3, 0.4, 1.0}));

    // Without urid:map there is no key to store under.
    Rig unmapped(0, false);
    ASSERT_NE(unmapped.fx, nullptr);
    LV2TestHost::State none;
    EXPECT_EQ(unmapped.host.Save(&none), LV2_STATE_ERR_NO_FEATURE);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(unmapped.host.Restore(saved), LV2_STATE_ERR_NO_FEATURE);
}
