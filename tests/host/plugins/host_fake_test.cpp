// The host library against the fake plug-ins: loading, the host callback, rendering, parameters,
// programs and program/bank files.
#include "host/HostInfo.h"
#include "host/HostPresets.h"
#include "host/HostRender.h"
#include "tests/support/host/HostTestSupport.h"

#include <cstring>

namespace {

std::unique_ptr<HostPlugin> LoadFake(const char* name = "fake_gain") {
    std::string err;
    auto p = HostPlugin::Load(FakePath(name), err);
    EXPECT_TRUE(p) << err;
    return p;
}

// A program or bank saved into a file of its own, as the command line's outputs are.
bool Save(bool (*save)(HostPlugin&, Util_AtomicFile&, std::string&), HostPlugin& plugin,
          const std::string& path, std::string& err) {
    Util_AtomicFile file;
    return file.Create(path, err) && save(plugin, file, err) && file.Commit(err);
}

HostAudio MakeInput(int channels, int frames, int rate = 44100) {
    HostAudio a;
    a.sampleRate = rate;
    a.channels = FloatSignal(channels, frames);
    return a;
}

struct Rendered {
    bool ok = false;
    std::string err;
    HostRenderResult result;
    std::vector<std::vector<double>> out;
};

// Prepares and renders input through plugin (its state set by setup between the two steps).
Rendered RenderFake(HostPlugin& plugin, const HostAudio& input, HostRenderOptions options,
                    const std::function<void(HostPlugin&)>& setup = nullptr) {
    Rendered r;
    HostChannelPlan plan;
    EXPECT_TRUE(HostPlanChannels(input.NumChannels(), plugin.Effect()->numInputs, plugin.Effect()->numOutputs,
                                 options.monoInput, options.outputChannels, plan, r.err))
        << r.err;
    if (!HostPrepareRender(plugin, input.sampleRate, options, plan, r.err)) return r;
    if (setup) setup(plugin);
    HostMemorySink sink(static_cast<int>(plan.outputSource.size()));
    r.ok = HostRender(plugin, input, sink, options, plan, r.result, r.err);
    r.out = sink.Channels();
    return r;
}

TEST(HostPluginLoad, RefusesEverythingThatIsNotAWorkingPlugin) {
    TestDir dir;
    std::ofstream(dir / "text.so") << "not a library";
    struct Case {
        std::string path;
        const char* message;
    } cases[] = {
        {dir / "missing.so", "cannot open plug-in"},
        {dir.Path(), "not a regular file"},
        {dir / "text.so", "is not a plug-in (not a shared library)"},
        {FakePath("no_entry"), "no VSTPluginMain or main entry function"},
        {FakePath("null_entry"), "returned no effect"},
        {FakePath("bad_magic"), "without the VST magic"},
        {FakePath("main_entry"), "without a dispatcher"}, // found through "main", then refused
    };
    for (const Case& c : cases) {
        std::string err;
        EXPECT_EQ(HostPlugin::Load(c.path, err), nullptr) << c.path;
        EXPECT_NE(err.find(c.message), std::string::npos) << c.path << ": " << err;
        EXPECT_EQ(err.find('\n'), std::string::npos) << err;
    }
}

TEST(HostPluginLoad, AnOpenedInstanceTalksToTheHost) {
    auto p = LoadFake();
    ASSERT_TRUE(p);
    FakeGainLog* log = LogOf(*p);
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->hostVersion, 2400); // asked before the record was returned
    EXPECT_STREQ(log->hostProduct, "tidebloom-host");
    EXPECT_EQ(log->hostVendorVersion, 10000);
    EXPECT_EQ(log->hostCanDoTimeInfo, 1);
    EXPECT_EQ(log->levelOutsideProcess, kVstProcessLevelUser);
    EXPECT_EQ(
        HostPlugin::HostCallback(p->Effect(), audioMasterCanDo, 0, 0, const_cast<char*>("sizeWindow"), 0), 0);
    EXPECT_EQ(HostPlugin::HostCallback(p->Effect(), audioMasterOpenWindow, 0, 0, nullptr, 0), 0);
    p->SetSampleRate(48000);
    p->SetBlockSize(256);
    EXPECT_EQ(HostPlugin::HostCallback(p->Effect(), audioMasterGetSampleRate, 0, 0, nullptr, 0), 48000);
    EXPECT_EQ(HostPlugin::HostCallback(p->Effect(), audioMasterGetBlockSize, 0, 0, nullptr, 0), 256);
    char vendor[64];
    EXPECT_EQ(HostPlugin::HostCallback(p->Effect(), audioMasterGetVendorString, 0, 0, vendor, 0), 1);
    EXPECT_STREQ(vendor, "Tidebloom");
    // An unknown record only learns the version.
    AEffect stranger{};
    EXPECT_EQ(HostPlugin::HostCallback(&stranger, audioMasterVersion, 0, 0, nullptr, 0), 2400);
    EXPECT_EQ(HostPlugin::HostCallback(&stranger, audioMasterGetSampleRate, 0, 0, nullptr, 0), 0);
}

TEST(HostPluginLoad, EditsOfThePluginAreRecorded) {
    auto p = LoadFake();
    ASSERT_TRUE(p);
    p->ClearEvents();
    EXPECT_EQ(p->Dispatch(effVendorSpecific, 0x7E57), 1);
    auto ev = p->Events();
    ASSERT_EQ(ev.size(), 4u);
    EXPECT_EQ(ev[0].kind, HostCallbackEvent::kBeginEdit);
    EXPECT_EQ(ev[0].index, 0);
    EXPECT_EQ(ev[1].kind, HostCallbackEvent::kAutomate);
    EXPECT_EQ(ev[1].index, 0);
    EXPECT_EQ(ev[1].value, 0.25f);
    EXPECT_EQ(ev[2].kind, HostCallbackEvent::kEndEdit);
    EXPECT_EQ(ev[3].kind, HostCallbackEvent::kUpdateDisplay);
    EXPECT_EQ(p->GetParameter(0), 0.25f);
}

TEST(HostInfo, DescribesTheFake) {
    auto p = LoadFake();
    ASSERT_TRUE(p);
    HostInfo info;
    HostCollectInfo(*p, info);
    EXPECT_EQ(info.name, "Fake Gain");
    EXPECT_EQ(info.vendor, "Tidebloom Tests");
    EXPECT_EQ(info.product, "Fake Gain Test");
    EXPECT_EQ(info.version, 1234);
    EXPECT_EQ(info.vendorVersion, 1234);
    EXPECT_EQ(info.uniqueID, VstFourCC('F', 'k', 'G', 'n'));
    EXPECT_EQ(info.vstVersion, 2400);
    EXPECT_EQ(info.numInputs, 2);
    EXPECT_EQ(info.numParams, 4);
    EXPECT_EQ(info.flags, effFlagsCanReplacing | effFlagsCanDoubleReplacing);
    EXPECT_FALSE(info.hasEditorRect);
    ASSERT_EQ(info.params.size(), 4u);
    EXPECT_EQ(info.params[0].name, "Gain");
    EXPECT_EQ(info.params[0].label, "x");
    EXPECT_EQ(info.params[0].display, "1.00");
    EXPECT_EQ(info.params[0].value, 0.5f);
    EXPECT_EQ(info.params[1].display, "Soft");
    EXPECT_EQ(info.programs, (std::vector<std::string>{"Unity", "Half", "Loud Clip"}));
    ASSERT_EQ(info.canDo.size(), static_cast<size_t>(kHostCanDoCount));
    for (const auto& c : info.canDo) {
        intptr_t expected = c.first == "receiveVstTimeInfo" ? 1 : c.first == "bypass" ? -1 : 0;
        EXPECT_EQ(c.second, expected) << c.first;
    }

    std::string text = HostFormatInfoText(info);
    EXPECT_NE(text.find("Unique ID     'FkGn' (0x466B476E)\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Flags         0x1010 (CanReplacing CanDoubleReplacing)\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("    0  Gain     1.00 x            0.500000\n"), std::string::npos) << text;
    EXPECT_NE(text.find("    2  Loud Clip\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  bypass               no (-1)\n"), std::string::npos) << text;

    std::string json = HostFormatInfoJson(info);
    EXPECT_NE(json.find("\"uniqueID\": 1181435758,\n"), std::string::npos) << json;
    EXPECT_NE(json.find("\"flagNames\": [\"CanReplacing\", \"CanDoubleReplacing\"],"), std::string::npos)
        << json;
    EXPECT_NE(
        json.find("{\"index\": 1, \"name\": \"Mode\", \"label\": \"\", \"display\": \"Soft\", \"value\": 0}"),
        std::string::npos)
        << json;
    EXPECT_NE(json.find("\"editor\": null,"), std::string::npos) << json;
    EXPECT_NE(json.find("\"receiveVstTimeInfo\": 1,"), std::string::npos) << json;
    EXPECT_EQ(json.substr(json.size() - 6), "  }\n}\n");
}

TEST(HostRender, OutputIsTheGainTimesTheInputInEveryBlockSize) {
    const HostAudio in = MakeInput(2, 3000);
    for (int block : {1, 7, 512, 4096}) {
        for (bool dbl : {false, true}) {
            auto p = LoadFake();
            HostRenderOptions o;
            o.blockSize = block;
            o.doublePrecision = dbl;
            Rendered r = RenderFake(*p, in, o, [](HostPlugin& pl) { pl.SetParameter(0, 0.25f); });
            ASSERT_TRUE(r.ok) << r.err;
            ASSERT_EQ(r.out.size(), 2u);
            ASSERT_EQ(r.out[0].size(), 3000u);
            for (int c = 0; c < 2; ++c)
                for (int k = 0; k < 3000; ++k)
                    ASSERT_EQ(r.out[c][k], 0.5 * in.channels[c][k]) << block << " " << c << " " << k;
            FakeGainLog* log = LogOf(*p);
            EXPECT_EQ(log->largestBlock, std::min(block, 3000));
            EXPECT_EQ(log->announcedBlockSize, block);
            EXPECT_EQ(log->precision, dbl ? 1 : 0);
            EXPECT_EQ(log->blocks[0].doublePrecision, dbl);
            EXPECT_FALSE(log->blocks[0].accumulating);
            EXPECT_EQ(log->mainsOn, 1);
            EXPECT_EQ(log->mainsOff, 1);
            EXPECT_EQ(log->startProcess, 1);
            EXPECT_EQ(log->stopProcess, 1);
        }
    }
}

TEST(HostRender, LatencyIsCompensatedOrKept) {
    const HostAudio in = MakeInput(2, 2000);
    const int latency = 100; // Latency parameter 0.1
    for (bool late : {false, true}) {
        for (bool compensate : {true, false}) {
            auto p = LoadFake();
            HostRenderOptions o;
            o.blockSize = 64;
            o.compensateLatency = compensate;
            o.tailFrames = 30;
            Rendered r = RenderFake(*p, in, o, [late](HostPlugin& pl) {
                pl.SetParameter(2, 0.1f);
                pl.SetParameter(3, late ? 1.0f : 0.0f);
            });
            ASSERT_TRUE(r.ok) << r.err;
            EXPECT_EQ(r.result.latency, latency);
            EXPECT_FALSE(r.result.latencyChanged);
            EXPECT_EQ(r.result.outputFrames, 2030);
            ASSERT_EQ(r.out[0].size(), 2030u);
            const int shift = compensate ? 0 : latency;
            EXPECT_EQ(r.result.processedFrames, 2030 + (compensate ? latency : 0));
            for (int c = 0; c < 2; ++c)
                for (int k = 0; k < 2030; ++k) {
                    int src = k - shift;
                    double expected = src >= 0 && src < 2000 ? in.channels[c][src] : 0.0;
                    ASSERT_EQ(r.out[c][k], expected) << late << compensate << " " << c << " " << k;
                }
            bool ioChanged = false;
            for (const auto& e : p->Events()) ioChanged |= e.kind == HostCallbackEvent::kIOChanged;
            EXPECT_EQ(ioChanged, late);
        }
    }
}

TEST(HostRender, TransportFollowsTheRenderPosition) {
    auto p = LoadFake();
    const HostAudio in = MakeInput(2, 1000, 48000);
    HostRenderOptions o;
    o.blockSize = 300;
    o.maxBlockSize = 512;
    o.tempo = 90.0;
    o.timeSigNumerator = 3;
    o.timeSigDenominator = 4;
    Rendered r = RenderFake(*p, in, o);
    ASSERT_TRUE(r.ok) << r.err;
    FakeGainLog* log = LogOf(*p);
    EXPECT_EQ(log->announcedBlockSize, 512);
    EXPECT_EQ(log->announcedSampleRate, 48000.0f);
    ASSERT_EQ(log->numBlocks, 4);
    const int frames[] = {300, 300, 300, 100};
    for (int b = 0; b < 4; ++b) {
        const FakeGainBlock& k = log->blocks[b];
        double pos = 300.0 * b;
        EXPECT_EQ(k.frames, frames[b]);
        EXPECT_EQ(k.samplePos, pos);
        EXPECT_EQ(k.sampleRate, 48000.0);
        EXPECT_DOUBLE_EQ(k.ppqPos, pos / 48000.0 * 1.5); // 90 beats per minute
        EXPECT_EQ(k.tempo, 90.0);
        EXPECT_EQ(k.barStartPos, 0.0); // a bar of 3/4 lasts 3 quarters, 1.5 s
        EXPECT_EQ(k.timeSigNumerator, 3);
        EXPECT_EQ(k.timeSigDenominator, 4);
        EXPECT_TRUE(k.flags & kVstTransportPlaying);
        EXPECT_EQ((k.flags & kVstTransportChanged) != 0, b == 0);
        const int valid = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
        EXPECT_EQ(k.flags & valid, valid);
        EXPECT_EQ(k.processLevel, kVstProcessLevelOffline);
    }
    EXPECT_FALSE(p->Transport().playing);

    // Bar starts: at 120 bpm in 4/4 a bar is 2 s.
    HostTransport t;
    t.samplePos = 44100.0 * 5;
    p->SetSampleRate(44100);
    p->SetTransport(t);
    auto* ti = reinterpret_cast<VstTimeInfo*>(
        HostPlugin::HostCallback(p->Effect(), audioMasterGetTime, 0, 0, nullptr, 0));
    ASSERT_NE(ti, nullptr);
    EXPECT_DOUBLE_EQ(ti->ppqPos, 10.0);
    EXPECT_DOUBLE_EQ(ti->barStartPos, 8.0);
    EXPECT_DOUBLE_EQ(ti->nanoSeconds, 5.0e9);
    EXPECT_FALSE(ti->flags & kVstTransportPlaying);
}

TEST(HostRender, ChannelMappingAndMonoNarrowing) {
    const HostAudio mono = MakeInput(1, 500);
    // A mono file feeds both inputs; narrowed, the plug-in works mono in and out and its one output is
    // the file (copied into every channel asked for); a plug-in that makes stereo of its one input
    // keeps both outputs.
    struct Case {
        bool narrow, stereoOutOnly;
        int outputChannels;
        int expectedChannels, inArrangement, outArrangement;
    } cases[] = {
        {false, false, 0, 2, -1, -1},
        {true, false, 0, 1, 1, 1},
        {true, false, 2, 2, 1, 1},
        {true, true, 0, 2, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.narrow << c.stereoOutOnly << c.outputChannels);
        auto p = LoadFake();
        if (c.stereoOutOnly) p->Dispatch(effVendorSpecific, 0x7E59);
        HostRenderOptions o;
        o.monoInput = c.narrow;
        o.outputChannels = c.outputChannels;
        Rendered r = RenderFake(*p, mono, o);
        ASSERT_TRUE(r.ok) << r.err;
        EXPECT_EQ(LogOf(*p)->inputArrangementChannels, c.inArrangement);
        EXPECT_EQ(LogOf(*p)->outputArrangementChannels, c.outArrangement);
        ASSERT_EQ(r.out.size(), static_cast<size_t>(c.expectedChannels));
        for (const auto& ch : r.out) EXPECT_EQ(ch, mono.channels[0]);
    }
    auto p = LoadFake();
    HostRenderOptions o;
    o.outputChannels = 1;
    const HostAudio stereo = MakeInput(2, 100);
    Rendered r = RenderFake(*p, stereo, o);
    ASSERT_TRUE(r.ok) << r.err;
    ASSERT_EQ(r.out.size(), 1u);
    EXPECT_EQ(r.out[0], stereo.channels[0]);
}

TEST(HostRender, AccumulatingCallbackForPluginsWithoutReplacing) {
    auto p = LoadFake();
    p->Effect()->flags &= ~effFlagsCanReplacing; // as if the plug-in only had the old callback
    const HostAudio in = MakeInput(2, 700);
    HostRenderOptions o;
    o.blockSize = 128;
    Rendered r = RenderFake(*p, in, o);
    ASSERT_TRUE(r.ok) << r.err;
    EXPECT_TRUE(LogOf(*p)->blocks[0].accumulating);
    EXPECT_EQ(r.out, in.channels); // outputs were cleared before each block
}

TEST(HostRender, RefusalsBeforeAnythingIsProcessed) {
    auto p = LoadFake();
    const HostAudio in = MakeInput(2, 100);
    HostChannelPlan plan;
    std::string err;
    ASSERT_TRUE(HostPlanChannels(2, 2, 2, false, 0, plan, err));
    HostRenderOptions o;
    o.blockSize = 1024;
    o.maxBlockSize = 512;
    EXPECT_FALSE(HostPrepareRender(*p, 44100, o, plan, err));
    EXPECT_EQ(err, "block size 1024 is above the announced largest block of 512");
    o.maxBlockSize = 0;
    o.doublePrecision = true;
    p->Effect()->flags &= ~effFlagsCanDoubleReplacing;
    EXPECT_FALSE(HostPrepareRender(*p, 44100, o, plan, err));
    EXPECT_EQ(err, "the plug-in does not process double precision");
    EXPECT_EQ(LogOf(*p)->numBlocks, 0);
}

TEST(HostRender, ChannelCountsChangedByThePluginAreCheckedWhenProcessingStarts) {
    const HostAudio in = MakeInput(2, 300);
    auto p = LoadFake();
    // Fewer inputs than planned: the rest of the plan is ignored, and the plug-in still finds a
    // (silent) buffer behind every pointer it reads.
    Rendered r = RenderFake(*p, in, HostRenderOptions{}, [](HostPlugin& pl) { pl.Effect()->numInputs = 1; });
    ASSERT_TRUE(r.ok) << r.err;
    EXPECT_EQ(r.out[0], in.channels[0]);
    EXPECT_EQ(r.out[1], std::vector<double>(300, 0.0));
    // Fewer outputs than the plan reads: refused before any audio is processed.
    auto q = LoadFake();
    r = RenderFake(*q, in, HostRenderOptions{}, [](HostPlugin& pl) { pl.Effect()->numOutputs = 1; });
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.err, "the plug-in changed its channels to 2 inputs and 1 outputs");
    EXPECT_EQ(LogOf(*q)->numBlocks, 0);
    EXPECT_FALSE(q->IsResumed());
    q->Effect()->numOutputs = 2;
}

class FailingSink : public HostAudioSink {
public:
    bool Write(const double* const*, int frames, std::string& err) override {
        mFrames += frames;
        if (mFrames < 300) return true;
        err = "disk full";
        return false;
    }
    int mFrames = 0;
};

TEST(HostRender, StopsAtTheFirstFailedWriteOrWhenCancelled) {
    auto p = LoadFake();
    const HostAudio in = MakeInput(2, 5000);
    HostChannelPlan plan;
    std::string err;
    ASSERT_TRUE(HostPlanChannels(2, 2, 2, false, 0, plan, err));
    HostRenderOptions o;
    o.blockSize = 100;
    ASSERT_TRUE(HostPrepareRender(*p, 44100, o, plan, err));
    FailingSink sink;
    HostRenderResult result;
    EXPECT_FALSE(HostRender(*p, in, sink, o, plan, result, err));
    EXPECT_EQ(err, "disk full");
    EXPECT_EQ(LogOf(*p)->numBlocks, 3);
    EXPECT_FALSE(p->IsResumed());

    volatile std::sig_atomic_t stop = 0;
    int calls = 0;
    o.cancel = &stop;
    o.progress = [&](int64_t done, int64_t total) {
        EXPECT_EQ(total, 5000);
        EXPECT_EQ(done, 100 * ++calls);
        if (calls == 5) stop = 1;
    };
    HostMemorySink mem(2);
    EXPECT_FALSE(HostRender(*p, in, mem, o, plan, result, err));
    EXPECT_EQ(err, "interrupted");
    EXPECT_EQ(mem.Channels()[0].size(), 500u);
}

TEST(HostPresets, ParametersByNameIndexOrDisplayText) {
    auto p = LoadFake();
    std::string err;
    int index = -1;
    ASSERT_TRUE(HostFindParameter(*p, "Mode", index, err));
    EXPECT_EQ(index, 1);
    ASSERT_TRUE(HostFindParameter(*p, "latency", index, err));
    EXPECT_EQ(index, 2);
    ASSERT_TRUE(HostFindParameter(*p, "#3", index, err));
    EXPECT_EQ(index, 3);
    ASSERT_TRUE(HostFindParameter(*p, "0", index, err));
    EXPECT_EQ(index, 0);
    EXPECT_FALSE(HostFindParameter(*p, "Depth", index, err));
    EXPECT_EQ(err, "unknown parameter 'Depth' (the plug-in has: Gain, Mode, Latency, Late)");
    EXPECT_FALSE(HostFindParameter(*p, "4", index, err));

    ASSERT_TRUE(HostApplyAssignment(*p, "Gain=0.125", err)) << err;
    EXPECT_EQ(p->GetParameter(0), 0.125f);
    ASSERT_TRUE(HostApplyAssignment(*p, "Mode=hard", err)) << err; // display text, any case
    EXPECT_EQ(p->ParamDisplay(1), "Hard");
    EXPECT_EQ(p->GetParameter(1), 0.75f); // the middle of the values shown as "Hard"
    ASSERT_TRUE(HostApplyAssignment(*p, "Gain=1.50", err)) << err;
    EXPECT_EQ(p->GetParameter(0), 0.75f);                            // 0.748 .. 0.752 show as 1.50
    ASSERT_TRUE(HostApplyAssignment(*p, "Gain=0.50 x", err)) << err; // with the label
    EXPECT_EQ(p->GetParameter(0), 0.25f);
    ASSERT_TRUE(HostApplyAssignment(*p, "Latency=250", err)) << err; // a number shown, outside 0..1
    EXPECT_EQ(p->GetParameter(2), 0.25f);

    EXPECT_FALSE(HostApplyAssignment(*p, "Gain=1.5", err));
    EXPECT_EQ(err, "value 1.5 for parameter 'Gain' is out of range (normalised values are 0 to 1) and not a "
                   "text it displays ('0.00' to '2.00')");
    EXPECT_FALSE(HostApplyAssignment(*p, "Gain=-0.1", err));
    EXPECT_NE(err.find("out of range"), std::string::npos);
    EXPECT_FALSE(HostApplyAssignment(*p, "Mode=Medium", err));
    EXPECT_EQ(err, "parameter 'Mode' shows no value as 'Medium' (give a normalised value 0 to 1 or a text it "
                   "displays: 'Soft', 'Hard')");
    EXPECT_EQ(p->GetParameter(0), 0.25f); // failed assignments leave the values as they were
    EXPECT_EQ(p->GetParameter(1), 0.75f);
}

TEST(HostPresets, ProgramsByIndexOrName) {
    auto p = LoadFake();
    std::string err;
    int index = -1;
    ASSERT_TRUE(HostFindProgram(*p, "2", index, err));
    EXPECT_EQ(index, 2);
    ASSERT_TRUE(HostFindProgram(*p, "Half", index, err));
    EXPECT_EQ(index, 1);
    ASSERT_TRUE(HostFindProgram(*p, "loud clip", index, err));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(HostFindProgram(*p, "3", index, err));
    EXPECT_EQ(err, "unknown program 3 (the plug-in has 3 programs, 0 to 2)");
    EXPECT_FALSE(HostFindProgram(*p, "-1", index, err));
    EXPECT_FALSE(HostFindProgram(*p, "Quiet", index, err));
    EXPECT_EQ(err, "unknown program 'Quiet'");
    // A record that announces no programs at all.
    p->Effect()->numPrograms = 0;
    EXPECT_FALSE(HostFindProgram(*p, "0", index, err));
    EXPECT_EQ(err, "unknown program 0 (the plug-in has no programs)");
    EXPECT_FALSE(HostFindProgram(*p, "Half", index, err));
    EXPECT_EQ(err, "unknown program 'Half' (the plug-in has no programs)");
    p->Effect()->numPrograms = 3;
    HostSelectProgram(*p, 1);
    EXPECT_EQ(p->Dispatch(effGetProgram), 1);
    EXPECT_EQ(p->GetParameter(0), 0.25f);

    // A plug-in with an edit buffer apart from its programs, which names only its current program:
    // it is asked program by program, and afterwards the current program and its unsaved edits are
    // as they were. A bank taken from it holds those edits for the current program.
    p->Dispatch(effVendorSpecific, 0x7E58);
    p->SetParameter(0, 0.125f);
    ASSERT_TRUE(HostFindProgram(*p, "Loud Clip", index, err)) << err;
    EXPECT_EQ(index, 2);
    EXPECT_EQ(p->Dispatch(effGetProgram), 1);
    EXPECT_EQ(p->GetParameter(0), 0.125f);
    HostFxBank bank;
    ASSERT_TRUE(HostCaptureBank(*p, bank, err)) << err;
    ASSERT_EQ(bank.programs.size(), 3u);
    EXPECT_EQ(bank.programs[1].params[0], 0.125f);
    EXPECT_EQ(bank.programs[2].params[0], 1.0f);
    EXPECT_EQ(bank.programs[2].name, "Loud Clip");
    EXPECT_EQ(p->GetParameter(0), 0.125f);
}

TEST(HostPresets, ProgramAndBankFilesRoundTrip) {
    for (const char* fake : {"fake_gain", "fake_chunks"}) {
        SCOPED_TRACE(fake);
        TestDir dir;
        std::string err;
        {
            auto p = LoadFake(fake);
            HostSelectProgram(*p, 2);
            p->SetParameter(0, 0.375f);
            p->SetParameter(3, 1.0f);
            char name[32] = "Edited";
            p->Dispatch(effSetProgramName, 0, 0, name);
            ASSERT_TRUE(Save(HostSaveProgramFile, *p, dir / "p.fxp", err)) << err;
            HostSelectProgram(*p, 1);
            p->SetParameter(1, 1.0f);
            ASSERT_TRUE(Save(HostSaveBankFile, *p, dir / "b.fxb", err)) << err;
            // Saving the bank visited every program but kept the live state.
            EXPECT_EQ(p->Dispatch(effGetProgram), 1);
            EXPECT_EQ(p->GetParameter(1), 1.0f);
        }
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(HostReadWholeFile(dir / "p.fxp", 1 << 20, bytes, err));
        const bool chunks = std::string(fake) == "fake_chunks";
        EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), chunks ? "FPCh" : "FxCk");
        if (!chunks) {
            EXPECT_EQ(bytes.size(), 72u); // 56 + 4 values
        }

        auto q = LoadFake(fake);
        ASSERT_TRUE(HostLoadProgramFile(*q, dir / "p.fxp", err)) << err;
        EXPECT_EQ(q->Dispatch(effGetProgram), 0); // loaded into the current program
        EXPECT_EQ(q->GetParameter(0), 0.375f);
        EXPECT_EQ(q->GetParameter(1), 1.0f);
        EXPECT_EQ(q->GetParameter(3), 1.0f);
        EXPECT_EQ(q->ProgramName(), "Edited");

        auto r = LoadFake(fake);
        ASSERT_TRUE(HostLoadBankFile(*r, dir / "b.fxb", err)) << err;
        EXPECT_EQ(r->Dispatch(effGetProgram), 1);
        EXPECT_EQ(r->GetParameter(1), 1.0f);
        HostSelectProgram(*r, 2);
        EXPECT_EQ(r->ProgramName(), "Edited");
        EXPECT_EQ(r->GetParameter(0), 0.375f);
        HostSelectProgram(*r, 0);
        EXPECT_EQ(r->ProgramName(), "Unity");
    }
}

TEST(HostPresets, BadStateFilesChangeNothing) {
    TestDir dir;
    std::string err;
    auto p = LoadFake();
    ASSERT_TRUE(Save(HostSaveProgramFile, *p, dir / "good.fxp", err)) << err;
    auto chunky = LoadFake("fake_chunks");
    ASSERT_TRUE(Save(HostSaveProgramFile, *chunky, dir / "chunk.fxp", err)) << err;
    ASSERT_TRUE(Save(HostSaveBankFile, *p, dir / "good.fxb", err)) << err;

    std::vector<uint8_t> good;
    ASSERT_TRUE(HostReadWholeFile(dir / "good.fxp", 1 << 20, good, err));
    auto variant = [&](const char* name, const std::function<void(std::vector<uint8_t>&)>& change) {
        std::vector<uint8_t> b = good;
        change(b);
        EXPECT_TRUE(Util_WriteWholeFile(dir / name, b.data(), b.size(), err));
        return dir / name;
    };
    std::string otherId = variant("id.fxp", [](auto& b) { b[19] ^= 1; });
    std::string fewer = variant("fewer.fxp", [](auto& b) {
        b[27] = 3;
        b.resize(b.size() - 4);
    });
    std::string cut = variant("cut.fxp", [](auto& b) { b.resize(60); });
    std::string chunkForGain = variant("chunkid.fxp", [](auto& b) {
        std::memcpy(b.data() + 8, "FPCh", 4);
        uint8_t size[4] = {0, 0, 0, 4};
        std::memcpy(b.data() + 56, size, 4);
    });

    p->SetParameter(0, 0.625f);
    struct Case {
        std::string path;
        bool bank;
        const char* message;
    } cases[] = {
        {dir / "none.fxp", false, "cannot open"},
        {otherId, false, "the program is for plug-in 'FkGo', not 'FkGn'"},
        {dir / "chunk.fxp", false, "the program is for plug-in 'FkCh', not 'FkGn'"},
        {fewer, false, "the program holds 3 parameters, the plug-in has 4"},
        {cut, false, "truncated program"},
        {chunkForGain, false, "the plug-in does not take chunks"},
        {dir / "good.fxp", true, "this is a program file, not a bank file"},
        {dir / "good.fxb", false, "this is a bank file, not a program file"},
    };
    for (const Case& c : cases) {
        bool ok = c.bank ? HostLoadBankFile(*p, c.path, err) : HostLoadProgramFile(*p, c.path, err);
        EXPECT_FALSE(ok) << c.path;
        EXPECT_NE(err.find(c.message), std::string::npos) << c.path << ": " << err;
        EXPECT_EQ(err.find('\n'), std::string::npos);
        EXPECT_EQ(p->GetParameter(0), 0.625f) << c.path;
    }

    // A bank with more programs than the plug-in has.
    HostFxBank big;
    big.fxID = p->Effect()->uniqueID;
    HostFxProgram prog;
    prog.fxID = big.fxID;
    prog.params = {0.f, 0.f, 0.f, 0.f};
    big.programs.assign(4, prog);
    const std::vector<uint8_t> bigBytes = HostEncodeFxb(big);
    ASSERT_TRUE(Util_WriteWholeFile(dir / "big.fxb", bigBytes.data(), bigBytes.size(), err));
    EXPECT_FALSE(HostLoadBankFile(*p, dir / "big.fxb", err));
    EXPECT_NE(err.find("the bank holds 4 programs, the plug-in has 3"), std::string::npos) << err;
    EXPECT_EQ(p->GetParameter(0), 0.625f);

    EXPECT_FALSE(Save(HostSaveProgramFile, *p, dir / "no/such/folder.fxp", err));
    EXPECT_NE(err.find("cannot write"), std::string::npos) << err;
}

} // namespace
