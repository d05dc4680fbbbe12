#include "host/HostCommandLine.h"

#include "host/HostAudioFile.h"
#include "host/HostDemoPhrase.h"
#include "host/HostInfo.h"
#include "host/HostOpen.h"
#include "host/HostOutputs.h"
#include "host/HostPlot.h"
#include "host/HostPlugin.h"
#include "host/HostPresets.h"
#include "host/HostProgress.h"
#include "host/HostRender.h"
#include "host/HostSnapshot.h"
#include "host/HostText.h"
#include "host/HostUsage.h"
#include "host/HostVST3Module.h"
#include "host/HostValidate.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <sndfile.h>
#include <unistd.h>

namespace {

constexpr const char* kProgram = "tidebloom-host";
constexpr double kMaxTailSeconds = 3600.0;
constexpr double kMaxPhraseSeconds = 600.0;

// Walks argv, splitting "--name=value" and taking a separate value when an option needs one.
class ArgReader {
public:
    ArgReader(int argc, const char* const* argv) : mArgc(argc), mArgv(argv) {}
    bool Done() const { return mNext >= mArgc; }
    std::string Next() { return mArgv[mNext++]; }
    // The value of option name (from "=value" or the next argument).
    bool Value(const std::string& name, const std::string* inlineValue, std::string& value,
               std::string& err) {
        if (inlineValue) {
            value = *inlineValue;
            return true;
        }
        if (Done()) {
            err = HostFormat("option %s needs a value", name.c_str());
            return false;
        }
        value = Next();
        return true;
    }

private:
    int mArgc;
    const char* const* mArgv;
    int mNext = 1;
};

bool IntValue(const std::string& name, const std::string& text, long long lo, long long hi, int& out,
              std::string& err) {
    long long v = 0;
    if (!HostParseInt(text, lo, hi, v)) {
        err = HostFormat("%s takes a whole number from %lld to %lld, not '%s'", name.c_str(), lo, hi,
                         text.c_str());
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

// "X,Y,DY": three whole numbers, the point within 0..16384 and the move within -16384..16384.
bool DragValue(const std::string& text, HostSnapshotDrag& out, std::string& err) {
    long long parts[3] = {0, 0, 0};
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t comma = text.find(',', start);
        const bool last = i == 2;
        if ((comma == std::string::npos) != last) break;
        const std::string part = text.substr(start, last ? std::string::npos : comma - start);
        if (!HostParseInt(part, i == 2 ? -16384 : 0, 16384, parts[i])) break;
        if (last) {
            out = HostSnapshotDrag{true, static_cast<int>(parts[0]), static_cast<int>(parts[1]),
                                   static_cast<int>(parts[2])};
            return true;
        }
        start = comma + 1;
    }
    err = HostFormat("--drag takes X,Y,DY (whole numbers: a point of the editor and a move down), not '%s'",
                     text.c_str());
    return false;
}

bool DoubleValue(const std::string& name, const std::string& text, double lo, double hi, double& out,
                 std::string& err) {
    double v = 0.0;
    if (!HostParseDouble(text, v) || v < lo || v > hi) {
        err = HostFormat("%s takes a number from %g to %g, not '%s'", name.c_str(), lo, hi, text.c_str());
        return false;
    }
    out = v;
    return true;
}

bool TimeSignature(const std::string& text, int& num, int& den, std::string& err) {
    size_t slash = text.find('/');
    long long n = 0, d = 0;
    if (slash != std::string::npos && HostParseInt(text.substr(0, slash), 1, 64, n) &&
        HostParseInt(text.substr(slash + 1), 1, 64, d) && (d & (d - 1)) == 0) {
        num = static_cast<int>(n);
        den = static_cast<int>(d);
        return true;
    }
    err = HostFormat("--time-signature takes N/D (for example 3/4), not '%s'", text.c_str());
    return false;
}

void PrintError(std::FILE* err, const std::string& message) {
    std::fprintf(err, "%s: error: %s\n", kProgram, message.c_str());
}

int RunInfo(const HostCommand& cmd, std::FILE* out, std::FILE* errOut) {
    std::string err;
    std::unique_ptr<HostEffect> plugin = HostOpenEffect(cmd.plugin, err, cmd.pluginClass);
    if (!plugin) {
        PrintError(errOut, err);
        return 1;
    }
    // Like a host about to play: a sample rate and a block size right after opening.
    err = plugin->Configure(44100, 512, false);
    if (!err.empty() || !plugin->ApplyProgramAndValues(cmd.program, cmd.assignments, err)) {
        PrintError(errOut, err);
        return 1;
    }
    std::fputs(plugin->Describe(cmd.json).c_str(), out);
    return 0;
}

// The audio output's container, checked before anything is opened; 0 with err set when it tells none.
int AudioContainer(const std::string& path, std::string& err) {
    const int container = HostOutputContainer(path);
    if (container == 0)
        err = HostFormat("-o: cannot tell the audio format of '%s' (use .wav, .flac, .ogg or .aiff)",
                         path.c_str());
    return container;
}

int RunPhrase(const HostCommand& cmd, std::FILE* out, std::FILE* errOut,
              const volatile std::sig_atomic_t* cancel) {
    std::string err;
    auto fail = [&](const std::string& message) {
        PrintError(errOut, message);
        return 1;
    };
    const int container = AudioContainer(cmd.output, err);
    if (container == 0) return fail(err);
    HostOutputs outputs;
    Util_AtomicFile& file = outputs.Add("-o", cmd.output, HostPipeRefusal(container));
    if (!outputs.Open(err)) return fail(err);
    std::vector<std::vector<double>> phrase = HostSynthesizeDemoPhrase(cmd.phraseRate, cmd.phraseSeconds);
    HostAudioWriter writer;
    // 24-bit samples unless asked otherwise, or the container's own format when it has no 24-bit one.
    int format = cmd.sampleFormat.empty() ? 0 : HostSampleFormatFromName(cmd.sampleFormat);
    if (!writer.Open(file, cmd.phraseRate, 2, format, SF_FORMAT_PCM_24, err)) return fail(err);
    const double* ptrs[2] = {phrase[0].data(), phrase[1].data()};
    if (!writer.Write(ptrs, static_cast<int>(phrase[0].size()), err) || !writer.Finish(err) ||
        !outputs.Commit(cancel, err))
        return fail(err);
    if (!cmd.quiet)
        std::fprintf(out, "%s: wrote the demo phrase to '%s': %.2f s, %d Hz, stereo, %zu notes\n", kProgram,
                     cmd.output.c_str(), static_cast<double>(phrase[0].size()) / cmd.phraseRate,
                     cmd.phraseRate, HostDemoNotes().size());
    return 0;
}

int RunRender(const HostCommand& cmd, std::FILE* out, std::FILE* errOut,
              const volatile std::sig_atomic_t* cancel) {
    const auto runBegin = std::chrono::steady_clock::now();
    std::string err;
    auto fail = [&](const std::string& message) {
        PrintError(errOut, message);
        return 1;
    };
    // Every file this run writes, checked and opened before anything is read, rendered or written.
    const int container = AudioContainer(cmd.output, err);
    if (container == 0) return fail(err);
    HostOutputs outputs;
    outputs.Protect("the input file given to -i", cmd.input);
    outputs.Protect("the plug-in", cmd.plugin);
    outputs.Protect("the plug-in's module", HostVST3Module::BundleModule(cmd.plugin));
    outputs.Protect("the program file given to --load-fxp", cmd.loadFxp);
    outputs.Protect("the bank file given to --load-fxb", cmd.loadFxb);
    Util_AtomicFile& outputFile = outputs.Add("-o", cmd.output, HostPipeRefusal(container));
    Util_AtomicFile* fxpFile = cmd.saveFxp.empty() ? nullptr : &outputs.Add("--save-fxp", cmd.saveFxp);
    Util_AtomicFile* fxbFile = cmd.saveFxb.empty() ? nullptr : &outputs.Add("--save-fxb", cmd.saveFxb);
    Util_AtomicFile* plotFile = cmd.plot.empty() ? nullptr : &outputs.Add("--plot", cmd.plot);
    if (!outputs.Open(err)) return fail(err);

    HostAudioReader input;
    if (!input.Open(cmd.input, err)) return fail(err);
    std::unique_ptr<HostEffect> plugin = HostOpenEffect(cmd.plugin, err, cmd.pluginClass);
    if (!plugin) return fail(err);
    // Program and bank files are VST 2's.
    HostPlugin* vst = dynamic_cast<HostPlugin*>(plugin.get());
    if (!vst && !(cmd.loadFxp.empty() && cmd.loadFxb.empty() && cmd.saveFxp.empty() && cmd.saveFxb.empty()))
        return fail(HostFormat("program and bank files (.fxp, .fxb) are for VST 2 plug-ins, not %s ones",
                               plugin->FormatName()));

    HostChannelPlan plan;
    if (!HostPlanChannels(input.NumChannels(), plugin->NumInputs(), plugin->NumOutputs(), cmd.monoInput,
                          cmd.outputChannels, plan, err))
        return fail(err);
    HostRenderOptions options;
    options.blockSize = cmd.blockSize;
    options.maxBlockSize = cmd.maxBlockSize;
    options.doublePrecision = cmd.doublePrecision;
    options.compensateLatency = cmd.compensateLatency;
    options.tailFrames = static_cast<int64_t>(cmd.tailSeconds * input.SampleRate() + 0.5);
    options.monoInput = cmd.monoInput;
    options.outputChannels = cmd.outputChannels;
    options.tempo = cmd.tempo;
    options.timeSigNumerator = cmd.timeSigNumerator;
    options.timeSigDenominator = cmd.timeSigDenominator;
    options.expectedInputFrames = std::max<int64_t>(input.AnnouncedFrames(), 0);
    options.cancel = cancel;
    if (!HostPrepareRender(*plugin, input.SampleRate(), options, plan, err)) return fail(err);

    // State: the bank first, then the program chosen from it, then a program file, then single values.
    if (!cmd.loadFxb.empty() && !HostLoadBankFile(*vst, cmd.loadFxb, err)) return fail(err);
    if (!plugin->ApplyProgramAndValues(cmd.program, {}, err)) return fail(err);
    if (!cmd.loadFxp.empty() && !HostLoadProgramFile(*vst, cmd.loadFxp, err)) return fail(err);
    if (!plugin->ApplyProgramAndValues("", cmd.assignments, err)) return fail(err);
    if (fxpFile && !HostSaveProgramFile(*vst, *fxpFile, err)) return fail(err);
    if (fxbFile && !HostSaveBankFile(*vst, *fxbFile, err)) return fail(err);

    HostAudioWriter writer;
    int format = cmd.sampleFormat.empty() ? 0 : HostSampleFormatFromName(cmd.sampleFormat);
    if (!writer.Open(outputFile, input.SampleRate(), static_cast<int>(plan.outputSource.size()), format,
                     input.Subtype(), err))
        return fail(err);
    HostFileSink sink(writer);
    HostFileSource source(input);
    HostPlotRecorder plot(sink);
    if (plotFile)
        plot.Begin(*plotFile, input.SampleRate(), options.expectedInputFrames + options.tailFrames,
                   static_cast<int>(plan.outputSource.size()), HostPlotTitle(*plugin, cmd.input),
                   cmd.compensateLatency ? 0 : plugin->Latency(), options);
    HostProgress progress(errOut, cmd.progress && !cmd.quiet && isatty(fileno(errOut)));
    options.progress = [&progress](int64_t done, int64_t total) { progress.Update(done, total); };

    std::string programName = plugin->ProgramName();
    HostRenderResult result;
    bool ok = HostRender(*plugin, source, plot, options, plan, result, err);
    progress.Finish();
    if (!ok) return fail(err);
    // Every output moves into place together, once all of them are complete.
    if (!writer.Finish(err) || !plot.Finish(err) || !outputs.Commit(cancel, err)) return fail(err);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - runBegin).count();
    if (input.AnnouncedFrames() > result.inputFrames)
        std::fprintf(errOut, "%s: warning: '%s' ends after %lld frames, its header announces %lld\n",
                     kProgram, cmd.input.c_str(), static_cast<long long>(result.inputFrames),
                     static_cast<long long>(input.AnnouncedFrames()));
    if (!cmd.quiet) {
        double seconds = static_cast<double>(result.outputFrames) / input.SampleRate();
        std::string name = plugin->EffectName();
        std::fprintf(
            out,
            "%s: '%s' -> '%s' through %s%s%s%s: %lld frames at %d Hz, %d -> %d channels, %s precision, "
            "latency %d samples (%s), %.2f s of audio in %.3f s, processing %.3f s (%.1fx), %.1fx real "
            "time\n",
            kProgram, cmd.input.c_str(), cmd.output.c_str(), name.empty() ? "the plug-in" : name.c_str(),
            programName.empty() ? "" : " (program '", programName.c_str(), programName.empty() ? "" : "')",
            static_cast<long long>(result.outputFrames), input.SampleRate(), input.NumChannels(),
            result.outputChannels, cmd.doublePrecision ? "double" : "single", result.latency,
            result.latencyChanged ? "changed while rendering, output not aligned"
            : result.compensated  ? "compensated"
                                  : "not compensated",
            seconds, wall, result.processSeconds,
            HostRealTimeFactor(result.processedFrames, input.SampleRate(), result.processSeconds),
            HostRealTimeFactor(result.outputFrames, input.SampleRate(), wall));
    }
    return 0;
}

int RunSnapshot(const HostCommand& cmd, std::FILE* out, std::FILE* errOut,
                const volatile std::sig_atomic_t* cancel) {
    std::string summary, err;
    HostOutputs outputs;
    outputs.Protect("the plug-in", cmd.plugin);
    outputs.Protect("the plug-in's module", HostVST3Module::BundleModule(cmd.plugin));
    Util_AtomicFile& file = outputs.Add("-o", cmd.output);
    const HostSnapshotRequest request{cmd.plugin,      cmd.program,         cmd.pluginClass,
                                      cmd.assignments, cmd.snapshotTimeout, cmd.snapshotDrag};
    if (!outputs.Open(err) || !HostWriteEditorSnapshot(request, file, errOut, summary, err) ||
        !outputs.Commit(cancel, err)) {
        PrintError(errOut, err);
        return 1;
    }
    if (!cmd.quiet) std::fprintf(out, "%s: %s\n", kProgram, summary.c_str());
    return 0;
}

int RunValidate(const HostCommand& cmd, std::FILE* out, std::FILE* err,
                const volatile std::sig_atomic_t* cancel) {
    HostValidateOptions options;
    options.plugin = cmd.plugin;
    options.pluginClass = cmd.pluginClass;
    options.strictness = cmd.strictness;
    options.seed = cmd.seed;
    options.json = cmd.json;
    options.progress = cmd.progress && !cmd.quiet;
    return HostRunValidate(options, out, err, cancel);
}

int RunCommand(const HostCommand& cmd, std::FILE* out, std::FILE* err,
               const volatile std::sig_atomic_t* cancel) {
    int status = 2;
    switch (cmd.kind) {
    case HostCommand::kHelp:
        // The text is longer than the stream's buffer: a failure is told while its reason is known.
        status = 0;
        if (std::fputs(HostUsageText().c_str(), out) < 0 || std::fflush(out) != 0) {
            PrintError(err, HostFormat("cannot write the results: %s", std::strerror(errno)));
            status = 1;
        }
        break;
    case HostCommand::kVersion:
        std::fprintf(out, "%s 1.0.0\n", kProgram);
        status = 0;
        break;
    case HostCommand::kInfo:
        status = RunInfo(cmd, out, err);
        break;
    case HostCommand::kRender:
        status = RunRender(cmd, out, err, cancel);
        break;
    case HostCommand::kPhrase:
        status = RunPhrase(cmd, out, err, cancel);
        break;
    case HostCommand::kSnapshot:
        status = RunSnapshot(cmd, out, err, cancel);
        break;
    case HostCommand::kValidate:
        status = RunValidate(cmd, out, err, cancel);
        break;
    }
    return status;
}

} // namespace

bool HostParseCommandLine(int argc, const char* const* argv, HostCommand& cmd, std::string& err) {
    HostCommand c;
    ArgReader args(argc, argv);
    if (args.Done()) {
        err = "no command given (info, render, phrase, snapshot or validate; see --help)";
        return false;
    }
    std::string command = args.Next();
    if (command == "-h" || command == "--help" || command == "help") {
        cmd = c;
        cmd.kind = HostCommand::kHelp;
        return true;
    }
    if (command == "--version") {
        cmd = c;
        cmd.kind = HostCommand::kVersion;
        return true;
    }
    if (command == "info") {
        c.kind = HostCommand::kInfo;
    } else if (command == "render") {
        c.kind = HostCommand::kRender;
    } else if (command == "phrase") {
        c.kind = HostCommand::kPhrase;
    } else if (command == "snapshot") {
        c.kind = HostCommand::kSnapshot;
    } else if (command == "validate") {
        c.kind = HostCommand::kValidate;
    } else {
        err = HostFormat("unknown command '%s' (info, render, phrase, snapshot or validate; see --help)",
                         command.c_str());
        return false;
    }

    // Options that take one value may be given once: a second one would silently win over the first
    // (two outputs, two inputs). --set is the one that repeats.
    std::vector<std::string> given;
    while (!args.Done()) {
        std::string arg = args.Next();
        std::string name = arg, inlineText;
        const std::string* inlineValue = nullptr;
        if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                inlineText = arg.substr(eq + 1);
                inlineValue = &inlineText;
            }
        }
        std::string v;
        auto value = [&]() {
            const std::string option = name == "-i" ? "--input" : name == "-o" ? "--output" : name;
            if (option != "--set") {
                if (std::find(given.begin(), given.end(), option) != given.end()) {
                    err = HostFormat("option %s is given more than once (it takes one value)", name.c_str());
                    return false;
                }
                given.push_back(option);
            }
            return args.Value(name, inlineValue, v, err);
        };
        auto flag = [&]() {
            if (inlineValue) err = HostFormat("option %s takes no value", name.c_str());
            return inlineValue == nullptr;
        };
        const bool isRender = c.kind == HostCommand::kRender;
        const bool isPhrase = c.kind == HostCommand::kPhrase;
        const bool isSnapshot = c.kind == HostCommand::kSnapshot;
        const bool isInfo = c.kind == HostCommand::kInfo;
        const bool isValidate = c.kind == HostCommand::kValidate;
        if (arg.empty() || arg[0] != '-' || arg == "-") {
            if (c.kind == HostCommand::kPhrase || !c.plugin.empty()) {
                err = HostFormat("unexpected argument '%s'", arg.c_str());
                return false;
            }
            c.plugin = arg;
        } else if (name == "-h" || name == "--help") {
            c.kind = HostCommand::kHelp;
            cmd = c;
            return true;
        } else if (name == "--json" && (isInfo || isValidate)) {
            if (!flag()) return false;
            c.json = true;
        } else if ((name == "-o" || name == "--output") && (isRender || isPhrase || isSnapshot)) {
            if (!value()) return false;
            c.output = v;
        } else if (name == "-q" || name == "--quiet") {
            if (!flag()) return false;
            c.quiet = true;
        } else if (name == "--sample-format" && (isRender || isPhrase)) {
            if (!value()) return false;
            if (HostSampleFormatFromName(v) == 0) {
                err =
                    HostFormat("--sample-format takes pcm16, pcm24, pcm32, float, double or vorbis, not '%s'",
                               v.c_str());
                return false;
            }
            c.sampleFormat = v;
        } else if (name == "--seconds" && isPhrase) {
            if (!value() || !DoubleValue(name, v, 0.001, kMaxPhraseSeconds, c.phraseSeconds, err))
                return false;
        } else if (name == "--rate" && isPhrase) {
            if (!value() || !IntValue(name, v, 8000, 192000, c.phraseRate, err)) return false;
        } else if (name == "--timeout" && isSnapshot) {
            if (!value() || !DoubleValue(name, v, 0.1, 600.0, c.snapshotTimeout, err)) return false;
        } else if (name == "--drag" && isSnapshot) {
            if (!value() || !DragValue(v, c.snapshotDrag, err)) return false;
        } else if (name == "--strictness" && isValidate) {
            if (!value() || !IntValue(name, v, 1, 10, c.strictness, err)) return false;
        } else if (name == "--seed" && isValidate) {
            long long seed = 0;
            if (!value()) return false;
            if (!HostParseInt(v, 0, INT64_MAX, seed)) {
                err = HostFormat("--seed takes a whole number from 0 to %lld, not '%s'",
                                 static_cast<long long>(INT64_MAX), v.c_str());
                return false;
            }
            c.seed = static_cast<uint64_t>(seed);
        } else if (name == "--no-progress" && isValidate) {
            if (!flag()) return false;
            c.progress = false;
        } else if (!isRender && !((isSnapshot || isInfo) && (name == "--set" || name == "--program")) &&
                   !((isSnapshot || isInfo || isValidate) && name == "--class")) {
            err = HostFormat("unknown option '%s' for %s", name.c_str(), command.c_str());
            return false;
        } else if (name == "-i" || name == "--input") {
            if (!value()) return false;
            c.input = v;
        } else if (name == "--set") {
            if (!value()) return false;
            if (v.find('=') == std::string::npos || v[0] == '=') {
                err = HostFormat("--set takes NAME=VALUE, not '%s'", v.c_str());
                return false;
            }
            c.assignments.push_back(v);
        } else if (name == "--program") {
            if (!value()) return false;
            if (v.empty()) {
                err = "--program needs an index or a name";
                return false;
            }
            c.program = v;
        } else if (name == "--class") {
            if (!value()) return false;
            if (v.empty()) {
                err = "--class needs the name of a class of the VST 3 module";
                return false;
            }
            c.pluginClass = v;
        } else if (name == "--block") {
            if (!value() || !IntValue(name, v, 1, kHostMaxBlockSize, c.blockSize, err)) return false;
        } else if (name == "--max-block") {
            if (!value() || !IntValue(name, v, 1, kHostMaxBlockSize, c.maxBlockSize, err)) return false;
        } else if (name == "--double") {
            if (!flag()) return false;
            c.doublePrecision = true;
        } else if (name == "--float") {
            if (!flag()) return false;
            c.doublePrecision = false;
        } else if (name == "--no-latency-compensation") {
            if (!flag()) return false;
            c.compensateLatency = false;
        } else if (name == "--latency-compensation") {
            if (!flag()) return false;
            c.compensateLatency = true;
        } else if (name == "--tail") {
            if (!value() || !DoubleValue(name, v, 0.0, kMaxTailSeconds, c.tailSeconds, err)) return false;
        } else if (name == "--mono-input") {
            if (!flag()) return false;
            c.monoInput = true;
        } else if (name == "--channels") {
            if (!value() || !IntValue(name, v, 1, kHostMaxChannels, c.outputChannels, err)) return false;
        } else if (name == "--load-fxp" || name == "--load-fxb" || name == "--save-fxp" ||
                   name == "--save-fxb") {
            if (!value()) return false;
            if (v.empty()) {
                err = HostFormat("%s needs a file name", name.c_str());
                return false;
            }
            std::string& slot = name == "--load-fxp"   ? c.loadFxp
                                : name == "--load-fxb" ? c.loadFxb
                                : name == "--save-fxp" ? c.saveFxp
                                                       : c.saveFxb;
            slot = v;
        } else if (name == "--plot") {
            if (!value()) return false;
            if (v.empty()) {
                err = "--plot needs a file name";
                return false;
            }
            c.plot = v;
        } else if (name == "--tempo") {
            if (!value() || !DoubleValue(name, v, 1.0, 999.0, c.tempo, err)) return false;
        } else if (name == "--time-signature") {
            if (!value() || !TimeSignature(v, c.timeSigNumerator, c.timeSigDenominator, err)) return false;
        } else if (name == "--no-progress") {
            if (!flag()) return false;
            c.progress = false;
        } else {
            err = HostFormat("unknown option '%s' for %s", name.c_str(), command.c_str());
            return false;
        }
    }

    if (c.kind != HostCommand::kPhrase && c.plugin.empty()) {
        err = HostFormat("%s needs the plug-in's .so file", command.c_str());
        return false;
    }
    if (c.kind == HostCommand::kRender && c.input.empty()) {
        err = "render needs an input file (-i FILE)";
        return false;
    }
    if ((c.kind == HostCommand::kRender || c.kind == HostCommand::kPhrase ||
         c.kind == HostCommand::kSnapshot) &&
        c.output.empty()) {
        err = HostFormat("%s needs an output file (-o FILE)", command.c_str());
        return false;
    }
    if (c.kind == HostCommand::kRender && c.maxBlockSize > 0 && c.blockSize > c.maxBlockSize) {
        err = HostFormat("block size %d is above the announced largest block of %d", c.blockSize,
                         c.maxBlockSize);
        return false;
    }
    cmd = c;
    return true;
}

int HostRunCommandLine(int argc, const char* const* argv, std::FILE* out, std::FILE* err,
                       const volatile std::sig_atomic_t* cancel) {
    HostCommand cmd;
    std::string why;
    if (!HostParseCommandLine(argc, argv, cmd, why)) {
        PrintError(err, why);
        return 2;
    }
    int status = 2;
    try {
        status = RunCommand(cmd, out, err, cancel);
    } catch (const std::bad_alloc&) {
        // A render too large for the memory there is (a huge block with many channels, a memory limit).
        PrintError(err, "out of memory");
        status = 1;
    }
    // What was printed must have reached its destination (a full disk, a closed pipe).
    errno = 0;
    if ((std::fflush(out) != 0 || std::ferror(out)) && status == 0) {
        PrintError(err, HostFormat("cannot write the results: %s", std::strerror(errno != 0 ? errno : EIO)));
        status = 1;
    }
    return status;
}
