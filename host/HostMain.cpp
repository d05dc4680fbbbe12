// tidebloom-host: a command-line VST 2.4 host (see HostCommandLine.h).
#include "host/HostCommandLine.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

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
    // The results (info, the summary, JSON) go to the real standard output through a descriptor of
    // their own; whatever a plug-in prints on standard output lands on standard error instead, so it
    // never mixes with them.
    std::FILE* results = stdout;
    const int resultsFd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (resultsFd >= 0) {
        if (std::FILE* f = ::fdopen(resultsFd, "w")) {
            if (::dup2(STDERR_FILENO, STDOUT_FILENO) >= 0) {
                results = f;
            } else {
                std::fclose(f);
            }
        } else {
            ::close(resultsFd);
        }
    }
    int status = HostRunCommandLine(argc, argv, results, stderr, &sInterrupted);
    std::fflush(stdout);
    if (results != stdout) std::fclose(results); // already flushed and checked
    return sInterrupted ? 130 : status;
}
