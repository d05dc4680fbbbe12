#include "framework/platform/linux/LinuxProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::mutex& AdoptedMutex() {
    static std::mutex m;
    return m;
}

std::vector<pid_t>& Adopted() {
    static std::vector<pid_t> v;
    return v;
}

void SleepMs(int ms) {
    timespec t{0, ms * 1000000L};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {}
}

// waitpid without waiting. 1: reaped (status set), 0: still running, -1: not our child any more (the
// host reaped it, or ignores SIGCHLD).
int ReapNoWait(pid_t pid, int* status) {
    for (;;) {
        pid_t r = waitpid(pid, status, WNOHANG);
        if (r == pid) return 1;
        if (r == 0) return 0;
        if (errno == EINTR) continue;
        return -1;
    }
}

// RAII for the spawn attributes and file actions.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    bool ok = false;
    SpawnSetup() {
        if (posix_spawn_file_actions_init(&actions) != 0) return;
        if (posix_spawnattr_init(&attr) != 0) {
            posix_spawn_file_actions_destroy(&actions);
            return;
        }
        ok = true;
    }
    ~SpawnSetup() {
        if (!ok) return;
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
};

} // namespace

std::string LinuxFindExecutable(const char* name) {
    if (!name || !name[0]) return std::string();
    if (std::strchr(name, '/')) return access(name, X_OK) == 0 ? std::string(name) : std::string();
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        // An empty entry means the current folder; we do not run programs from there.
        if (!dir.empty() && dir[0] == '/') {
            std::string candidate = dir + "/" + name;
            if (access(candidate.c_str(), X_OK) == 0) return candidate;
        }
        start = end + 1;
    }
    return std::string();
}

std::vector<std::string> LinuxChildEnvironment(const char* const* env, const std::vector<std::string>& set) {
    std::vector<std::string> out;
    auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    for (; env && *env; ++env) {
        std::string entry(*env);
        std::string name = nameOf(entry);
        if (name == "LD_LIBRARY_PATH") continue;
        bool replaced = false;
        for (const std::string& s : set) replaced = replaced || nameOf(s) == name;
        if (!replaced) out.push_back(entry);
    }
    for (const std::string& s : set) out.push_back(s);
    return out;
}

bool LinuxProcess::Start(const std::string& path, const std::vector<std::string>& args,
                         const std::vector<std::string>& env, bool captureOutput) {
    Terminate();
    mOutput.clear();
    mExitCode = -1;
    if (path.empty() || args.empty()) return false;

    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    int pipeFds[2] = {-1, -1};
    if (captureOutput) {
        if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
        // Only our end is non-blocking: the child writes to an ordinary blocking pipe.
        fcntl(pipeFds[0], F_SETFL, fcntl(pipeFds[0], F_GETFL) | O_NONBLOCK);
    }
    SpawnSetup s;
    if (!s.ok) {
        if (pipeFds[0] >= 0) close(pipeFds[0]), close(pipeFds[1]);
        return false;
    }
    posix_spawn_file_actions_addopen(&s.actions, 0, "/dev/null", O_RDONLY, 0);
    if (captureOutput) {
        // The write end becomes the child's output; dup2 clears its close-on-exec flag.
        posix_spawn_file_actions_adddup2(&s.actions, pipeFds[1], 1);
    } else {
        posix_spawn_file_actions_addopen(&s.actions, 1, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&s.actions, 2, "/dev/null", O_WRONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Whatever the host left open without close-on-exec stays with the host.
    posix_spawn_file_actions_addclosefrom_np(&s.actions, 3);
#endif
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&s.attr, &none);
    posix_spawnattr_setsigdefault(&s.attr, &all);
    posix_spawnattr_setflags(&s.attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    int rc = posix_spawn(&pid, path.c_str(), &s.actions, &s.attr, argv.data(), envp.data());
    if (captureOutput) close(pipeFds[1]);
    if (rc != 0) {
        if (captureOutput) close(pipeFds[0]);
        return false;
    }
    mPid = pid;
    mOutFd = captureOutput ? pipeFds[0] : -1;
    return true;
}

bool LinuxProcess::ReadAvailable() {
    if (mOutFd < 0) return true;
    char buf[4096];
    for (;;) {
        ssize_t n = read(mOutFd, buf, sizeof(buf));
        if (n > 0) {
            // A dialog answers with a line or a path; far more than that is not an answer.
            if (mOutput.size() < (1u << 20)) mOutput.append(buf, static_cast<size_t>(n));
            continue;
        }
        if (n == 0) {
            ClosePipe();
            return true;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return false;
        ClosePipe();
        return true;
    }
}

bool LinuxProcess::TryReap() {
    if (mPid <= 0) return true;
    int status = 0;
    int r = ReapNoWait(mPid, &status);
    if (r == 0) return false;
    mExitCode = (r == 1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    mPid = -1;
    return true;
}

void LinuxProcess::Terminate() {
    ClosePipe();
    if (mPid <= 0) return;
    if (TryReap()) return;
    kill(mPid, SIGTERM);
    for (int i = 0; i < 20; ++i) {
        if (TryReap()) return;
        SleepMs(10);
    }
    kill(mPid, SIGKILL);
    int status = 0;
    while (waitpid(mPid, &status, 0) < 0 && errno == EINTR) {}
    mExitCode = -1;
    mPid = -1;
}

void LinuxProcess::Detach() {
    ClosePipe();
    if (mPid > 0 && !TryReap()) LinuxAdoptChild(mPid);
    mPid = -1;
}

void LinuxProcess::ClosePipe() {
    if (mOutFd >= 0) close(mOutFd);
    mOutFd = -1;
}

void LinuxAdoptChild(pid_t pid) {
    if (pid <= 0) return;
    std::lock_guard<std::mutex> lock(AdoptedMutex());
    Adopted().push_back(pid);
}

void LinuxReapAdopted() {
    std::lock_guard<std::mutex> lock(AdoptedMutex());
    std::vector<pid_t>& v = Adopted();
    for (size_t i = 0; i < v.size();) {
        int status = 0;
        if (ReapNoWait(v[i], &status) != 0) {
            v[i] = v.back();
            v.pop_back();
        } else {
            ++i;
        }
    }
}

int LinuxAdoptedCount() {
    std::lock_guard<std::mutex> lock(AdoptedMutex());
    return static_cast<int>(Adopted().size());
}
