#include "host/HostValidateRunner.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host/HostText.h"

namespace {

using Clock = std::chrono::steady_clock;

const char* ResultWord(HostCheckOutcome::EResult r) {
    return r == HostCheckOutcome::kPassed ? "passed" : r == HostCheckOutcome::kFailed ? "failed" : "skipped";
}

void WriteAll(int fd, const std::string& text) {
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        p += n;
        left -= static_cast<size_t>(n);
    }
}

[[noreturn]] void RunChild(const HostCheck& check, HostCheckContext ctx, int resultFd, int outputFd) {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGPIPE, SIG_DFL);
    if (outputFd >= 0) {
        ::dup2(outputFd, STDOUT_FILENO);
        ::dup2(outputFd, STDERR_FILENO);
    }
    ctx.stepFd = resultFd;
    HostCheckOutcome outcome = HostRunCheckHere(check, ctx);
    std::string reason = outcome.reason;
    for (char& c : reason)
        if (c == '\n') c = ' ';
    WriteAll(resultFd, std::string("result ") + ResultWord(outcome.result) + " " + reason + "\n");
    ::_exit(0);
}

// The last non-empty line of what the child printed, cleaned for one line of a report.
std::string LastLine(int fd) {
    if (fd < 0) return "";
    const off_t size = ::lseek(fd, 0, SEEK_END);
    const off_t from = size > 4096 ? size - 4096 : 0;
    std::string text(static_cast<size_t>(size - from), '\0');
    if (size <= 0 || ::pread(fd, text.data(), text.size(), from) != static_cast<ssize_t>(text.size()))
        return "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    const size_t nl = text.rfind('\n');
    std::string line = nl == std::string::npos ? text : text.substr(nl + 1);
    if (line.size() > 160) line = line.substr(0, 160) + "...";
    return HostCleanText(line.c_str(), line.size() + 1);
}

// Reads what the child wrote: the latest step and the outcome once it comes.
struct ChildLines {
    std::string pending, step;
    bool haveOutcome = false;
    HostCheckOutcome outcome;

    void Take(const char* data, size_t n) {
        pending.append(data, n);
        for (size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            if (line.compare(0, 5, "step ") == 0) step = line.substr(5);
            for (auto r :
                 {HostCheckOutcome::kPassed, HostCheckOutcome::kFailed, HostCheckOutcome::kSkipped}) {
                const std::string head = std::string("result ") + ResultWord(r);
                if (line.compare(0, head.size(), head) == 0) {
                    haveOutcome = true;
                    outcome = {r, line.size() > head.size() + 1 ? line.substr(head.size() + 1) : ""};
                }
            }
        }
    }
    std::string Where() const { return step.empty() ? "" : " while " + step; }
};

} // namespace

HostCheckOutcome HostRunCheckHere(const HostCheck& check, const HostCheckContext& ctx) {
    try {
        return check.run(ctx);
    } catch (const std::exception& e) {
        return HostCheckOutcome::Failed(HostFormat("an exception reached the host: %s", e.what()));
    } catch (...) {
        return HostCheckOutcome::Failed("an exception reached the host");
    }
}

HostCheckReport HostRunCheck(const HostCheck& check, const HostCheckContext& ctx, double timeoutSeconds,
                             const volatile std::sig_atomic_t* cancel) {
    HostCheckReport report;
    report.check = &check;
    const auto begin = Clock::now();
    auto finish = [&](HostCheckOutcome outcome) {
        report.outcome = std::move(outcome);
        report.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        return report;
    };
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return finish(HostCheckOutcome::Failed(HostFormat("cannot make a pipe: %s", std::strerror(errno))));
    const int outputFd = ::memfd_create("tidebloom-host-check", MFD_CLOEXEC);
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        if (outputFd >= 0) ::close(outputFd);
        return finish(
            HostCheckOutcome::Failed(HostFormat("cannot start a process: %s", std::strerror(errno))));
    }
    if (pid == 0) {
        ::close(fds[0]);
        RunChild(check, ctx, fds[1], outputFd);
    }
    ::close(fds[1]);

    ChildLines lines;
    const auto deadline =
        begin + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeoutSeconds));
    bool open = true, timedOut = false, cancelled = false;
    while (open) {
        if (cancel && *cancel) {
            cancelled = true;
            break;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 100)));
        if (r < 0 && errno != EINTR) break;
        if (r <= 0) continue;
        char buf[4096];
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            open = false;
        else
            lines.Take(buf, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    // The pipe is closed once the child has written its outcome and is ending; it gets a moment for that.
    int status = 0;
    pid_t done = 0;
    for (int i = 0; !timedOut && !cancelled && i < 500 && (done = ::waitpid(pid, &status, WNOHANG)) == 0; ++i)
        ::usleep(10000);
    if (done != pid) {
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    }
    const std::string said = LastLine(outputFd);
    if (outputFd >= 0) ::close(outputFd);
    const std::string printed = said.empty() ? "" : "; it printed: " + said;

    if (cancelled) return finish(HostCheckOutcome::Failed("interrupted"));
    if (timedOut)
        return finish(
            HostCheckOutcome::Failed(HostFormat("did not finish within %.0f s%s (stopped)%s", timeoutSeconds,
                                                lines.Where().c_str(), printed.c_str())));
    if (lines.haveOutcome && WIFEXITED(status) && WEXITSTATUS(status) == 0) return finish(lines.outcome);
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        const char* name = sigabbrev_np(sig);
        return finish(
            HostCheckOutcome::Failed(HostFormat("crashed (SIG%s, %s)%s%s", name ? name : "?", strsignal(sig),
                                                lines.Where().c_str(), printed.c_str())));
    }
    if (lines.haveOutcome) return finish(lines.outcome);
    return finish(HostCheckOutcome::Failed(
        HostFormat("the process ended with status %d%s before the check was done%s",
                   WIFEXITED(status) ? WEXITSTATUS(status) : -1, lines.Where().c_str(), printed.c_str())));
}
