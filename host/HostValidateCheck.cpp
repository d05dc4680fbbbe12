#include "host/HostValidateCheck.h"

#include <array>
#include <unistd.h>

#include "host/HostCheckSupport.h"

namespace {

constexpr std::array kChecks = {
    HostCheck{"load", 1, "loads, processes a block and closes", 30, HostCheckLoad},
    HostCheck{"identity", 1, "a name, an id and channels that make sense, the same in every instance", 30,
              HostCheckIdentity},
    HostCheck{"parameters", 2,
              "names, ranges and defaults that make sense; each value's text reads back as the same value",
              60, HostCheckParameters},
    HostCheck{"silence", 2, "silence in gives silence out, and the output ends within the tail it reports",
              120, HostCheckSilence},
    HostCheck{"state", 3, "state saved, loaded into another instance and saved again: same bytes, same audio",
              60, HostCheckState},
    HostCheck{
        "reload", 3,
        "loaded, run and closed 10 times in one process and on 10 threads; two instances at once stay apart",
        120, HostCheckReload},
    HostCheck{"parameter-sweep", 4,
              "each parameter at its ends, its default and random values while processing: finite output, "
              "no denormals after silence",
              300, HostCheckParameterSweep},
    HostCheck{"block-sizes", 4,
              "blocks of 1, 2, 17, 64, 512, 4096 frames and of varying sizes give the same output", 300,
              HostCheckBlockSizes},
    HostCheck{"latency", 4, "the latency reported is the delay measured on the audio", 120, HostCheckLatency},
    HostCheck{"audio-allocations", 4, "the audio callback allocates no memory", 120,
              HostCheckAudioAllocations},
    HostCheck{"sample-rates", 5, "22.05 to 192 kHz, each after a suspend and a resume", 300,
              HostCheckSampleRates},
    HostCheck{"editor", 5, "the editor opens, idles and closes again and again (needs an X display)", 120,
              HostCheckEditor},
    HostCheck{"hostile-state", 6, "damaged, random and foreign state is refused or harmless", 300,
              HostCheckHostileState},
    HostCheck{
        "audio-blocking", 6,
        "the audio callback never waits for the host's other thread setting parameters, saving state and "
        "working the editor",
        120, HostCheckAudioBlocking},
};

} // namespace

std::span<const HostCheck> HostValidateChecks() {
    return kChecks;
}

double HostCheckTimeout(const HostCheck& check, int strictness) {
    return check.timeoutSeconds * (0.5 + 0.05 * strictness);
}

uint64_t HostCheckContext::Seed(const char* purpose) const {
    // FNV-1a over the purpose, mixed with the run's seed.
    uint64_t h = 1469598103934665603ull ^ (seed * 0x9E3779B97F4A7C15ull);
    for (const char* p = purpose; *p; ++p) h = (h ^ static_cast<unsigned char>(*p)) * 1099511628211ull;
    return h;
}

void HostCheckContext::Step(const std::string& what) const {
    if (stepFd < 0) return;
    std::string line = "step " + what;
    for (char& c : line)
        if (c == '\n') c = ' ';
    line += '\n';
    const char* p = line.data();
    size_t left = line.size();
    while (left > 0) {
        const ssize_t n = ::write(stepFd, p, left);
        if (n <= 0) return;
        p += n;
        left -= static_cast<size_t>(n);
    }
}
