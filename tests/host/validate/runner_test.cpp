// The validator's pieces in process: the runner reports a check that passes, fails, hangs, crashes, ends
// its process or throws, with the step it was in and the last line it printed; the delay measure finds
// the delay of a delayed and filtered copy; the signal statistics count what they should.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <stdexcept>

#include "host/HostValidateReport.h"
#include "host/HostValidateRunner.h"
#include "host/HostValidateSignal.h"

namespace {

HostCheckOutcome Passes(const HostCheckContext& ctx) {
    ctx.Step("looking");
    std::puts("what the plug-in prints stays out of the report");
    return HostCheckOutcome::Passed("fine");
}
HostCheckOutcome Fails(const HostCheckContext&) {
    return HostCheckOutcome::Failed("two lines\nbecome one");
}
HostCheckOutcome Hangs(const HostCheckContext& ctx) {
    ctx.Step("waiting for nothing");
    for (;;) ::pause();
}
HostCheckOutcome Aborts(const HostCheckContext& ctx) {
    ctx.Step("loading a chunk");
    std::puts("assertion failed: chunk");
    std::fflush(stdout);
    std::abort();
}
HostCheckOutcome Exits(const HostCheckContext& ctx) {
    ctx.Step("closing");
    std::_Exit(3);
}
HostCheckOutcome Throws(const HostCheckContext&) {
    throw std::runtime_error("bad chunk");
}

TEST(HostValidateRunner, EveryEndOfACheckIsReported) {
    const struct {
        HostCheck check;
        HostCheckOutcome::EResult result;
        const char* reason;
    } cases[] = {
        {{"passes", 1, "", 5.0, Passes}, HostCheckOutcome::kPassed, "fine"},
        {{"fails", 1, "", 5.0, Fails}, HostCheckOutcome::kFailed, "two lines become one"},
        {{"hangs", 1, "", 1.0, Hangs},
         HostCheckOutcome::kFailed,
         "did not finish within 1 s while waiting for nothing (stopped)"},
        {{"aborts", 1, "", 5.0, Aborts},
         HostCheckOutcome::kFailed,
         "crashed (SIGABRT, Aborted) while loading a chunk; it printed: assertion failed: chunk"},
        {{"exits", 1, "", 5.0, Exits},
         HostCheckOutcome::kFailed,
         "the process ended with status 3 while closing before the check was done"},
        {{"throws", 1, "", 5.0, Throws},
         HostCheckOutcome::kFailed,
         "an exception reached the host: bad chunk"},
    };
    HostCheckContext ctx;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.check.name);
        const HostCheckReport r = HostRunCheck(c.check, ctx, c.check.timeoutSeconds, nullptr);
        EXPECT_EQ(r.check, &c.check);
        EXPECT_EQ(r.outcome.result, c.result);
        EXPECT_EQ(r.outcome.reason, c.reason);
        EXPECT_LT(r.seconds, 5.0);
    }
    // A cancelled wait stops the child too.
    const HostCheck hangs{"hangs", 1, "", 30.0, Hangs};
    const volatile std::sig_atomic_t cancel = 1;
    EXPECT_EQ(HostRunCheck(hangs, ctx, 30.0, &cancel).outcome.reason, "interrupted");
}

// in delayed by `delay` frames and smoothed by a one-pole low-pass of coefficient a (0: none).
HostSignal DelayedAndSmoothed(const HostSignal& in, int delay, double a) {
    HostSignal out(in.size(), std::vector<double>(in[0].size(), 0.0));
    for (size_t c = 0; c < in.size(); ++c) {
        double y = 0.0;
        for (size_t i = static_cast<size_t>(delay); i < in[c].size(); ++i) {
            y = (1.0 - a) * in[c][i - static_cast<size_t>(delay)] + a * y;
            out[c][i] = y;
        }
    }
    return out;
}

TEST(HostValidateSignal, TheDelayMeasureFindsTheDelay) {
    const HostSignal in = HostNoiseSignal(2, 44100, 0.25, 3);
    const struct {
        int delay;
        double smoothing;
        int onset, peak;
        double strength;
    } cases[] = {
        {0, 0.0, 0, 0, 0.99}, {1, 0.0, 1, 1, 0.99}, {1500, 0.0, 1500, 1500, 0.95}, {64, 0.9, 64, 64, 0.2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.delay);
        HostDelayMeasure m;
        ASSERT_TRUE(HostMeasureDelay(in, DelayedAndSmoothed(in, c.delay, c.smoothing), 4096, m));
        EXPECT_EQ(m.onset, c.onset);
        EXPECT_EQ(m.peak, c.peak);
        EXPECT_GT(m.strength, c.strength);
    }
    HostDelayMeasure m;
    EXPECT_FALSE(HostMeasureDelay(in, HostSilentSignal(2, 44100), 4096, m));
}

TEST(HostValidateSignal, StatisticsCountNonFiniteAndDenormalSamples) {
    HostSignal s = HostSilentSignal(2, 100);
    s[0][10] = std::numeric_limits<double>::quiet_NaN();
    s[1][5] = std::numeric_limits<double>::infinity();
    s[1][20] = 1e-40; // below a float's normal range
    s[1][21] = 1e-30; // a normal float
    s[0][30] = -0.5;
    HostSignalStats st = HostMeasureSignal(s);
    EXPECT_EQ(st.nonFinite, 2);
    EXPECT_EQ(st.firstNonFinite, 5);
    EXPECT_EQ(st.denormals, 1);
    EXPECT_EQ(st.peak, 0.5);
    st = HostMeasureSignal(s, 21);
    EXPECT_EQ(st.nonFinite, 0);
    EXPECT_EQ(st.denormals, 0);
    EXPECT_EQ(HostMaxDifference(HostSilentSignal(2, 100), HostSilentSignal(1, 50)), 0.0);
    EXPECT_EQ(HostDecibels(0.5), 20.0 * std::log10(0.5));
}

} // namespace

namespace {

TEST(HostValidateReport, TableAndJsonHoldEveryRow) {
    const HostCheck load{"load", 1, "", 5.0, Passes}, state{"hostile-state", 6, "", 5.0, Fails};
    HostValidateRun run;
    run.plugin = "/p/Gain \"2\".so";
    run.strictness = 6;
    run.seed = 7;
    run.seconds = 2.25;
    run.reports = {{&load, HostCheckOutcome::Passed("loaded"), 0.04},
                   {&state, HostCheckOutcome::Failed("took \"x\\y\"\tand crashed"), 1.5}};
    EXPECT_EQ(HostValidateTable(run), "validating /p/Gain \"2\".so at strictness 6 (seed 7)\n\n"
                                      "level  check          result   time     reason\n"
                                      "    1  load           passed     0.0 s  loaded\n"
                                      "    6  hostile-state  failed     1.5 s  took \"x\\y\" and crashed\n"
                                      "\n"
                                      "2 checks at strictness 6: 1 passed, 1 failed, 0 skipped in 2.2 s\n");
    EXPECT_EQ(
        HostValidateJson(run),
        "{\n"
        "  \"plugin\": \"/p/Gain \\\"2\\\".so\",\n"
        "  \"strictness\": 6,\n  \"seed\": 7,\n  \"seconds\": 2.250,\n"
        "  \"passed\": 1,\n  \"failed\": 1,\n  \"skipped\": 0,\n"
        "  \"checks\": [\n"
        "    {\"name\": \"load\", \"level\": 1, \"result\": \"passed\", \"seconds\": 0.040, \"reason\": "
        "\"loaded\"},\n"
        "    {\"name\": \"hostile-state\", \"level\": 6, \"result\": \"failed\", \"seconds\": 1.500, "
        "\"reason\": \"took \\\"x\\\\y\\\" and crashed\"}\n"
        "  ]\n}\n");
}

} // namespace
