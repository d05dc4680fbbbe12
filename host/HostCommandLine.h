#pragma once
// The command line of tidebloom-host: parsing it into a HostCommand (HostParseCommandLine, pure)
// and running that command (HostRunCommandLine), which prints results to out and messages to err.
//
//   tidebloom-host info PLUGIN.so [--json] [--program P] [--set NAME=VALUE]
//   tidebloom-host render PLUGIN.so -i IN -o OUT [options]
//   tidebloom-host phrase -o OUT [--seconds S] [--rate HZ]
//   tidebloom-host snapshot PLUGIN.so -o EDITOR.png [--set NAME=VALUE] [--program P] [--timeout S]
//   tidebloom-host validate PLUGIN [--strictness 1..10] [--seed N] [--json]
//
// Every failure is reported as one line "tidebloom-host: error: ..." on err with a non-zero exit
// status: 2 for a malformed command line (an option that takes one value given twice included), 1
// for anything that went wrong while running it. Every file a command writes goes through
// HostOutputs, before anything is rendered or written. Called from main on the main thread (tests
// call it in-process too); cancel (HostInterruptSignal) stops a run before its outputs are committed.
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "host/HostSnapshot.h"

struct HostCommand {
    enum EKind { kHelp, kVersion, kInfo, kRender, kPhrase, kSnapshot, kValidate };
    EKind kind = kHelp;
    std::string plugin;
    std::string input, output;
    bool json = false;
    std::vector<std::string> assignments; // --set NAME=VALUE, in order
    std::string program;
    std::string pluginClass; // --class: a VST 3 module's class by name
    int blockSize = 512;
    int maxBlockSize = 0;
    bool doublePrecision = false;
    bool compensateLatency = true;
    double tailSeconds = 0.0;
    std::string loadFxp, loadFxb, saveFxp, saveFxb;
    std::string plot; // render --plot FILE.png
    bool monoInput = false;
    int outputChannels = 0;
    std::string sampleFormat;
    double tempo = 120.0;
    int timeSigNumerator = 4, timeSigDenominator = 4;
    bool progress = true;
    bool quiet = false;
    double phraseSeconds = 10.0;
    int phraseRate = 44100;
    double snapshotTimeout = 10.0;
    HostSnapshotDrag snapshotDrag;
    int strictness = 5;
    uint64_t seed = 1;
};

// Parses argv[1..argc-1]. False with err set (one line, without the program name) on bad usage.
bool HostParseCommandLine(int argc, const char* const* argv, HostCommand& cmd, std::string& err);

// Parses and runs; returns the process exit status. cancel may be null.
int HostRunCommandLine(int argc, const char* const* argv, std::FILE* out, std::FILE* err,
                       const volatile std::sig_atomic_t* cancel);
