// tidebloom-host: a command-line VST 2.4 host (see HostCommandLine.h).
#include "host/HostCommandLine.h"

#include <csignal>
#include <cstdio>

namespace {
volatile std::sig_atomic_t sInterrupted = 0;
extern "C" void OnInterrupt(int) {
    sInterrupted = 1;
}
} // namespace

int main(int argc, char** argv) {
    // An interrupted render stops between blocks and removes its unfinished output. The handler
    // runs once: a second signal ends the process even when a plug-in never returns from a block.
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sa.sa_flags = SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    int status = HostRunCommandLine(argc, argv, stdout, stderr, &sInterrupted);
    std::fflush(stdout);
    return sInterrupted ? 130 : status;
}
