// Parsing of the command line into what the host will do.
#include "host/HostCommandLine.h"

#include <gtest/gtest.h>

namespace {

bool Parse(std::vector<const char*> args, HostCommand& cmd, std::string& err) {
    args.insert(args.begin(), "tidebloom-host");
    return HostParseCommandLine(static_cast<int>(args.size()), args.data(), cmd, err);
}

std::string ParseError(std::vector<const char*> args) {
    HostCommand cmd;
    std::string err;
    EXPECT_FALSE(Parse(args, cmd, err));
    EXPECT_EQ(err.find('\n'), std::string::npos);
    return err;
}

TEST(HostCommandLine, RenderWithEveryOption) {
    HostCommand c;
    std::string err;
    ASSERT_TRUE(Parse({"render",
                       "p.so",
                       "-i",
                       "in.wav",
                       "--output=out.flac",
                       "--set",
                       "Depth=0.5",
                       "--set=Vol=On",
                       "--program",
                       "Arpeggio",
                       "--block",
                       "64",
                       "--max-block=128",
                       "--double",
                       "--no-latency-compensation",
                       "--tail",
                       "1.5",
                       "--load-fxp",
                       "a.fxp",
                       "--load-fxb",
                       "b.fxb",
                       "--save-fxp",
                       "c.fxp",
                       "--save-fxb",
                       "d.fxb",
                       "--mono-input",
                       "--channels",
                       "1",
                       "--sample-format",
                       "pcm24",
                       "--tempo",
                       "90.5",
                       "--time-signature",
                       "6/8",
                       "--plot",
                       "p.png",
                       "--no-progress"},
                      c, err))
        << err;
    EXPECT_EQ(c.kind, HostCommand::kRender);
    EXPECT_EQ(c.plugin, "p.so");
    EXPECT_EQ(c.input, "in.wav");
    EXPECT_EQ(c.output, "out.flac");
    EXPECT_EQ(c.assignments, (std::vector<std::string>{"Depth=0.5", "Vol=On"}));
    EXPECT_EQ(c.program, "Arpeggio");
    EXPECT_EQ(c.blockSize, 64);
    EXPECT_EQ(c.maxBlockSize, 128);
    EXPECT_TRUE(c.doublePrecision);
    EXPECT_FALSE(c.compensateLatency);
    EXPECT_EQ(c.tailSeconds, 1.5);
    EXPECT_EQ(c.loadFxp, "a.fxp");
    EXPECT_EQ(c.loadFxb, "b.fxb");
    EXPECT_EQ(c.saveFxp, "c.fxp");
    EXPECT_EQ(c.saveFxb, "d.fxb");
    EXPECT_TRUE(c.monoInput);
    EXPECT_EQ(c.outputChannels, 1);
    EXPECT_EQ(c.sampleFormat, "pcm24");
    EXPECT_EQ(c.tempo, 90.5);
    EXPECT_EQ(c.timeSigNumerator, 6);
    EXPECT_EQ(c.timeSigDenominator, 8);
    EXPECT_FALSE(c.progress);
    EXPECT_EQ(c.plot, "p.png");
}

TEST(HostCommandLine, Snapshot) {
    HostCommand c;
    std::string err;
    ASSERT_TRUE(
        Parse({"snapshot", "p.so", "-o", "e.png", "--set", "Depth=1", "--program", "Init", "--timeout=2.5"},
              c, err))
        << err;
    EXPECT_EQ(c.kind, HostCommand::kSnapshot);
    EXPECT_EQ(c.plugin, "p.so");
    EXPECT_EQ(c.output, "e.png");
    EXPECT_EQ(c.assignments, (std::vector<std::string>{"Depth=1"}));
    EXPECT_EQ(c.program, "Init");
    EXPECT_EQ(c.snapshotTimeout, 2.5);
    EXPECT_FALSE(c.snapshotDrag.active);
    ASSERT_TRUE(Parse({"snapshot", "p.so", "-o", "e.png"}, c, err)) << err;
    EXPECT_EQ(c.snapshotTimeout, 10.0);
    ASSERT_TRUE(Parse({"snapshot", "p.so", "-o", "e.png", "--drag", "133,167,-60"}, c, err)) << err;
    EXPECT_TRUE(c.snapshotDrag.active);
    EXPECT_EQ(c.snapshotDrag.x, 133);
    EXPECT_EQ(c.snapshotDrag.y, 167);
    EXPECT_EQ(c.snapshotDrag.dy, -60);
    for (const char* bad : {"1,2", "1,2,3,4", "a,2,3", "-1,2,3", "1,,3", "1,2,99999"})
        EXPECT_NE(ParseError({"snapshot", "p.so", "-o", "e.png", "--drag", bad}).find("--drag takes X,Y,DY"),
                  std::string::npos)
            << bad;
    EXPECT_NE(
        ParseError({"snapshot", "p.so", "-o", "e.png", "--timeout", "0"}).find("--timeout takes a number"),
        std::string::npos);
    EXPECT_NE(ParseError({"snapshot", "p.so", "-o", "e.png", "-i", "x.wav"})
                  .find("unknown option '-i' for snapshot"),
              std::string::npos);
    EXPECT_NE(ParseError({"render", "p.so", "-i", "a", "-o", "b", "--timeout", "1"})
                  .find("unknown option '--timeout'"),
              std::string::npos);
    EXPECT_NE(ParseError({"info", "p.so", "--plot", "x.png"}).find("unknown option '--plot' for info"),
              std::string::npos);
}

TEST(HostCommandLine, DefaultsAndOtherCommands) {
    HostCommand c;
    std::string err;
    ASSERT_TRUE(Parse({"render", "p.so", "-i", "a.wav", "-o", "b.wav"}, c, err)) << err;
    EXPECT_EQ(c.blockSize, 512);
    EXPECT_EQ(c.maxBlockSize, 0);
    EXPECT_FALSE(c.doublePrecision);
    EXPECT_TRUE(c.compensateLatency);
    EXPECT_EQ(c.tailSeconds, 0.0);
    EXPECT_EQ(c.tempo, 120.0);
    ASSERT_TRUE(Parse({"info", "p.so", "--json"}, c, err)) << err;
    EXPECT_EQ(c.kind, HostCommand::kInfo);
    EXPECT_TRUE(c.json);
    ASSERT_TRUE(Parse({"phrase", "-o", "x.wav", "--seconds", "2", "--rate", "48000"}, c, err)) << err;
    EXPECT_EQ(c.kind, HostCommand::kPhrase);
    EXPECT_EQ(c.phraseSeconds, 2.0);
    EXPECT_EQ(c.phraseRate, 48000);
    ASSERT_TRUE(
        Parse({"validate", "p.vst3", "--strictness", "10", "--seed=7", "--class", "Gain", "--json"}, c, err))
        << err;
    EXPECT_EQ(c.kind, HostCommand::kValidate);
    EXPECT_EQ(c.strictness, 10);
    EXPECT_EQ(c.seed, 7u);
    EXPECT_EQ(c.pluginClass, "Gain");
    EXPECT_TRUE(c.json);
    ASSERT_TRUE(Parse({"--help"}, c, err));
    EXPECT_EQ(c.kind, HostCommand::kHelp);
    ASSERT_TRUE(Parse({"render", "--help"}, c, err));
    EXPECT_EQ(c.kind, HostCommand::kHelp);
}

TEST(HostCommandLine, MalformedCommandLines) {
    EXPECT_NE(ParseError({}).find("no command"), std::string::npos);
    EXPECT_NE(ParseError({"play"}).find("unknown command 'play'"), std::string::npos);
    EXPECT_NE(ParseError({"info"}).find("needs the plug-in"), std::string::npos);
    EXPECT_NE(ParseError({"info", "a.so", "b.so"}).find("unexpected argument 'b.so'"), std::string::npos);
    EXPECT_NE(ParseError({"info", "a.so", "-i", "x"}).find("unknown option '-i' for info"),
              std::string::npos);
    EXPECT_NE(ParseError({"render", "a.so", "-o", "x.wav"}).find("needs an input"), std::string::npos);
    EXPECT_NE(ParseError({"render", "a.so", "-i", "x.wav"}).find("needs an output"), std::string::npos);
    EXPECT_NE(ParseError({"render", "a.so", "-i"}).find("option -i needs a value"), std::string::npos);
    EXPECT_NE(ParseError({"render", "a.so", "--json"}).find("unknown option '--json'"), std::string::npos);
    EXPECT_NE(ParseError({"render", "a.so", "--double=yes"}).find("takes no value"), std::string::npos);
    EXPECT_NE(ParseError({"render", "a.so", "--block", "0"}).find("--block takes a whole number from 1"),
              std::string::npos);
    EXPECT_NE(ParseError({"render", "a.so", "--block", "64k"}).find("not '64k'"), std::string::npos);
    EXPECT_NE(ParseError({"render", "a.so", "-i", "a", "-o", "b", "--block", "2048", "--max-block", "1024"})
                  .find("block size 2048 is above the announced largest block of 1024"),
              std::string::npos);
    EXPECT_NE(ParseError({"render", "a.so", "--set", "Depth"}).find("--set takes NAME=VALUE"),
              std::string::npos);
    EXPECT_NE(ParseError({"render", "a.so", "--set", "=1"}).find("--set takes NAME=VALUE"),
              std::string::npos);
    EXPECT_NE(ParseError({"render", "a.so", "--tail", "-1"}).find("--tail takes a number"),
              std::string::npos);
    EXPECT_NE(ParseError({"render", "a.so", "--tempo", "0"}).find("--tempo"), std::string::npos);
    EXPECT_NE(ParseError({"render", "a.so", "--time-signature", "3/5"}).find("N/D"), std::string::npos);
    EXPECT_NE(ParseError({"render", "a.so", "--time-signature", "0/4"}).find("N/D"), std::string::npos);
    EXPECT_NE(ParseError({"render", "a.so", "--channels", "65"}).find("--channels"), std::string::npos);
    EXPECT_NE(ParseError({"render", "a.so", "--sample-format", "mp3"}).find("not 'mp3'"), std::string::npos);
    EXPECT_NE(ParseError({"render", "a.so", "--program", ""}).find("--program needs"), std::string::npos);
    EXPECT_NE(ParseError({"render", "a.so", "--save-fxp="}).find("needs a file name"), std::string::npos);
    EXPECT_NE(ParseError({"phrase", "-o", "x.wav", "--rate", "100"}).find("--rate"), std::string::npos);
    const std::pair<std::vector<const char*>, const char*> validate[] = {
        {{"validate", "a.so", "--strictness", "0"},
         "--strictness takes a whole number from 1 to 10, not '0'"},
        {{"validate", "a.so", "--strictness", "11"},
         "--strictness takes a whole number from 1 to 10, not '11'"},
        {{"validate", "a.so", "--seed", "-1"}, "--seed takes a whole number from 0 to"},
        {{"validate", "a.so", "--set", "Vol=1"}, "unknown option '--set' for validate"},
        {{"render", "a.so", "--strictness", "3"}, "unknown option '--strictness' for render"},
    };
    for (const auto& [args, message] : validate)
        EXPECT_NE(ParseError(args).find(message), std::string::npos) << ParseError(args);
}

TEST(HostCommandLine, RunReportsUsageErrorsOnOneLine) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const char* argv[] = {"tidebloom-host", "render", "x.so", "--block", "zero"};
    EXPECT_EQ(HostRunCommandLine(5, argv, out, err, nullptr), 2);
    std::rewind(err);
    char buf[512] = {0};
    size_t n = std::fread(buf, 1, sizeof buf - 1, err);
    EXPECT_EQ(std::string(buf, n),
              "tidebloom-host: error: --block takes a whole number from 1 to 1048576, not 'zero'\n");
    EXPECT_EQ(std::ftell(out), 0);
    std::fclose(out);
    std::fclose(err);
}

// Output that cannot be written (a full disk) is a failure, not a success.
TEST(HostCommandLine, UnwritableStandardOutputFails) {
    std::FILE* out = std::fopen("/dev/full", "w");
    ASSERT_NE(out, nullptr);
    std::FILE* err = std::tmpfile();
    const char* argv[] = {"tidebloom-host", "--help"};
    EXPECT_EQ(HostRunCommandLine(2, argv, out, err, nullptr), 1);
    std::rewind(err);
    char buf[512] = {0};
    size_t n = std::fread(buf, 1, sizeof buf - 1, err);
    EXPECT_EQ(std::string(buf, n),
              "tidebloom-host: error: cannot write the results: No space left on device\n");
    std::fclose(out);
    std::fclose(err);
}

} // namespace
