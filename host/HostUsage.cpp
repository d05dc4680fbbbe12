#include "host/HostUsage.h"

#include <algorithm>
#include <array>
#include <span>

namespace {

// One option: how it is written ("-i, --input FILE": alternatives split by ", ", each an option and
// perhaps its argument) and what it does (lines split by '\n').
struct Option {
    const char* usage;
    const char* text;
};

struct Section {
    const char* title;
    std::span<const Option> options;
};

constexpr std::array kSynopsis = {
    "tidebloom-host info PLUGIN [--json] [--program P] [--set NAME=VALUE]",
    "tidebloom-host render PLUGIN -i IN -o OUT [options]",
    "tidebloom-host phrase -o OUT [--seconds S] [--rate HZ] [--sample-format F]",
    "tidebloom-host snapshot PLUGIN -o EDITOR.png [--set NAME=VALUE] [--program P]\n"
    "                              [--timeout SECONDS]   (needs an X display)",
    "tidebloom-host validate PLUGIN [--strictness 1..10] [--seed N] [--json]",
};

constexpr std::array kRenderOptions = {
    Option{"-i, --input FILE", "audio file to process (WAV, FLAC, OGG, AIFF, ...)"},
    Option{"-o, --output FILE", "result; the format follows the extension (.wav .flac .ogg .aiff)"},
    Option{"--set NAME=VALUE", "set a parameter by name or index to a value (VST 2: normalised\n"
                               "0..1; VST 3 and CLAP: in the parameter's range) or to a text it\n"
                               "displays (repeatable)"},
    Option{"--program N|NAME", "select a program by index or name"},
    Option{"--class NAME", "the class of a VST 3 module to load (also for info, snapshot and\n"
                           "validate; default: its first audio module class)"},
    Option{"--block N", "frames per audio callback (default 512)"},
    Option{"--max-block N", "largest block announced to the plug-in (default: --block)"},
    Option{"--double, --float", "double or single precision processing (default single)"},
    Option{"--no-latency-compensation", "keep the plug-in's latency at the start of the output"},
    Option{"--tail SECONDS", "render this much more after the end of the input"},
    Option{"--mono-input", "narrow the plug-in to one input (mono files)"},
    Option{"--channels N", "channels of the output file (default: the plug-in's outputs)"},
    Option{"--sample-format F", "pcm16, pcm24, pcm32, float, double or vorbis\n"
                                "(default: the input's, if the output format takes it)"},
    Option{"--load-fxb FILE", "load a bank file before the program is chosen (VST 2)"},
    Option{"--load-fxp FILE", "load a program file into the current program (VST 2)"},
    Option{"--save-fxp FILE", "save the current program once everything is set (VST 2)"},
    Option{"--save-fxb FILE", "save all programs once everything is set (VST 2)"},
    Option{"--plot FILE.png", "draw the dry and processed waveforms and the gain applied"},
    Option{"--tempo BPM", "tempo reported to the plug-in (default 120)"},
    Option{"--time-signature N/D", "time signature reported to the plug-in (default 4/4)"},
    Option{"--no-progress", "no progress bar (also for validate)"},
    Option{"-q, --quiet", "no progress bar and no summary"},
};

constexpr std::array kValidateOptions = {
    Option{"--strictness N", "validate: run the checks of level 1 to N (default 5): 1 loads and\n"
                             "names, 2 parameters and silence, 3 state and reloading, 4 parameter\n"
                             "sweeps, block sizes, latency and allocations, 5 sample rates and\n"
                             "the editor, 6 hostile state and waiting in the audio callback;\n"
                             "higher levels try more values, cases and time"},
    Option{"--seed N", "validate: the seed of the random values and signals (default 1)"},
};

constexpr std::array kOtherOptions = {
    Option{"--json", "info, validate: print the description or the report as JSON"},
    Option{"--seconds S", "phrase: length of the phrase (default 10)"},
    Option{"--rate HZ", "phrase: sample rate, 8000 to 192000 (default 44100)"},
    Option{"--timeout SECONDS", "snapshot: longest wait for the editor's picture (default 10)"},
    Option{"--drag X,Y,DY", "snapshot: drag the editor from point X,Y by DY pixels down (up if\n"
                            "negative) and take the picture with the button held"},
    Option{"-h, --help", "print this text"},
    Option{"--version", "print the version"},
};

constexpr std::array kSections = {
    Section{"render options", kRenderOptions},
    Section{"validate options", kValidateOptions},
    Section{"other options", kOtherOptions},
};

constexpr const char* kRule =
    "PLUGIN is a VST 2.4 plug-in (a shared object), a VST 3 plug-in (a bundle folder named *.vst3,\n"
    "or its module: an audio module class of its factory; its programs are the values of its\n"
    "program-change parameter), a CLAP plug-in (a file named *.clap: the first plug-in of its\n"
    "factory; its programs are its parameter named Program, if it has one) or an LV2 plug-in (a\n"
    "bundle folder named *.lv2, or a plug-in's URI; its programs are its presets, numbered in the\n"
    "order of their labels).\n"
    "Each option is given once, except --set. No output may be the input, a loaded program or\n"
    "bank file, the plug-in or another output of the same run.";

constexpr size_t kUsageColumn = 26;

// Each line of text, with '\n' between them replaced by sep.
std::string Joined(const char* text, const std::string& sep) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        if (*p == '\n')
            out += sep;
        else
            out += *p;
    }
    return out;
}

// man(7) text: backslashes and hyphens escaped, and no line starting with a control character.
std::string Roff(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
        lineStart = c == '\n';
    }
    return out;
}

// "-i, --input FILE" as "\fB\-i\fR, \fB\-\-input\fR \fIFILE\fR".
std::string RoffUsage(const std::string& usage) {
    std::string out;
    size_t start = 0;
    while (start <= usage.size()) {
        size_t end = usage.find(", ", start);
        if (end == std::string::npos) end = usage.size();
        const std::string alt = usage.substr(start, end - start);
        const size_t space = alt.find(' ');
        if (!out.empty()) out += ", ";
        out += "\\fB" + Roff(alt.substr(0, space)) + "\\fR";
        if (space != std::string::npos) out += " \\fI" + Roff(alt.substr(space + 1)) + "\\fR";
        start = end + 2;
    }
    return out;
}

} // namespace

std::string HostUsageText() {
    std::string out = "usage:\n";
    for (const char* line : kSynopsis) out += "  " + Joined(line, "\n  ") + "\n";
    for (const Section& section : kSections) {
        out += std::string("\n") + section.title + ":\n";
        for (const Option& o : section.options) {
            std::string usage = o.usage;
            usage.resize(std::max(usage.size() + 1, kUsageColumn), ' ');
            out += "  " + usage + Joined(o.text, "\n" + std::string(kUsageColumn + 2, ' ')) + "\n";
        }
    }
    return out + "\n" + kRule + "\n";
}

std::string HostManPage() {
    std::string out = ".TH TIDEBLOOM\\-HOST 1 \"\" \"Tidebloom\" \"User Commands\"\n"
                      ".SH NAME\n"
                      "tidebloom\\-host \\- run VST 2.4, VST 3, CLAP and LV2 plug-ins over audio files and "
                      "check them, from the "
                      "command line\n"
                      ".SH SYNOPSIS\n.nf\n";
    for (const char* line : kSynopsis) out += Roff(line) + "\n";
    out +=
        ".fi\n"
        ".SH DESCRIPTION\n"
        "\\fBinfo\\fR prints what a plug-in says about itself: its name, parameters, programs and latency.\n"
        "\\fBrender\\fR runs an audio file through a plug-in into another file, latency compensated.\n"
        "\\fBphrase\\fR synthesises the demo phrase of plucked notes.\n"
        "\\fBsnapshot\\fR opens the plug-in's editor and saves its picture as a PNG file.\n"
        "\\fBvalidate\\fR runs checks on a plug-in, each in a process of its own, and prints which it "
        "passes: "
        "its exit status is 0 only when none failed.\n"
        ".PP\n" +
        Roff(Joined(kRule, " ")) +
        " Each output that is a regular file is written to a temporary file beside it and moved into place "
        "only when the run succeeds; an error leaves every file as it was.\n";
    for (const Section& section : kSections) {
        std::string title = section.title;
        for (char& c : title)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        out += ".SH " + title + "\n";
        for (const Option& o : section.options)
            out += ".TP\n" + RoffUsage(o.usage) + "\n" + Roff(Joined(o.text, " ")) + "\n";
    }
    out +=
        ".SH EXIT STATUS\n"
        ".TP\n0\nsuccess\n"
        ".TP\n1\nsomething went wrong while running the command (one line on standard error says what), or "
        "the plug-in failed a check of validate\n"
        ".TP\n2\na malformed command line\n"
        ".TP\n130, 143\nstopped by SIGINT or SIGTERM; no output was written\n";
    return out;
}
