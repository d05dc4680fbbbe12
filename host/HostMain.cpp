// tidebloom-host: a command-line VST 2.4 host (see HostCommandLine.h).
#include "host/HostCommandLine.h"

#include "host/HostInterrupt.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

int main(int argc, char** argv) {
    // SIGINT and SIGTERM stop a run between blocks, before its outputs are moved into place; it then
    // ends with 130 or 143 and every output as it was (see HostInterrupt.h).
    HostInterruptInstall();
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
    int status = HostRunCommandLine(argc, argv, results, stderr, HostInterruptSignal());
    std::fflush(stdout);
    if (results != stdout) std::fclose(results); // already flushed and checked
    return HostExitStatus(status);
}
