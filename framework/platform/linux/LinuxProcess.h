#pragma once
// LinuxProcess: a helper program we start from inside the host's process (a dialog tool, the address
// opener), started safely and always reaped.
//
// Starting: posix_spawn (no shell, no fork of the host's address space) with the argument list and the
// environment prepared before the call: the host's environment as it is then, without LD_LIBRARY_PATH
// (hosts point it at their bundled libraries, which break the tools). The child's standard input and
// error are /dev/null, its output is a pipe we read or /dev/null, every other descriptor of the host is
// closed in the child, its signal mask is empty and its signal dispositions are the defaults. The host's
// working directory and environment are never changed.
//
// Ending: the destructor of a process still running sends SIGTERM, waits briefly, then SIGKILL, and
// reaps it. A process nobody waits for (the address opener) is handed to LinuxAdoptChild, whose list is
// reaped without waiting by LinuxReapAdopted (every editor idle call does that).
//
// Threads: one LinuxProcess is used by one thread at a time (the editor's, under its lock); the adopted
// list has its own mutex.
#include <sys/types.h>

#include <string>
#include <vector>

// The absolute path of an executable found on $PATH (or name itself when it contains a '/' and is
// executable); empty when none.
std::string LinuxFindExecutable(const char* name);
// The environment a child gets: env (NAME=value entries) without LD_LIBRARY_PATH; entries of set
// replace those of the same name (or are added).
std::vector<std::string> LinuxChildEnvironment(const char* const* env,
                                               const std::vector<std::string>& set = {});

class LinuxProcess {
public:
    LinuxProcess() = default;
    ~LinuxProcess() { Terminate(); }
    LinuxProcess(const LinuxProcess&) = delete;
    LinuxProcess& operator=(const LinuxProcess&) = delete;

    // Starts path with args (args[0] is the program's name) and env. captureOutput: its standard output
    // comes to OutputFd(). False (and nothing running) when it cannot be started.
    bool Start(const std::string& path, const std::vector<std::string>& args,
               const std::vector<std::string>& env, bool captureOutput);
    // The read end of the output pipe (non-blocking, close-on-exec), -1 when closed or not captured.
    int OutputFd() const { return mOutFd; }
    // Reads what the pipe holds now into the output; true at end of file (the pipe is then closed).
    bool ReadAvailable();
    const std::string& Output() const { return mOutput; }
    // Reaps the process if it has ended, without waiting. True once it has (ExitCode then tells how).
    bool TryReap();
    bool Running() const { return mPid > 0; }
    // The exit status (0-255), or -1 when killed by a signal or the status was taken by someone else.
    int ExitCode() const { return mExitCode; }
    // Ends a running process (SIGTERM, up to 200 ms, then SIGKILL) and reaps it; closes the pipe.
    void Terminate();
    // Gives up waiting for the process: it goes to the adopted list. The pipe is closed.
    void Detach();
    pid_t Pid() const { return mPid; }

private:
    void ClosePipe();

    pid_t mPid = -1;
    int mOutFd = -1;
    int mExitCode = -1;
    std::string mOutput;
};

// Children nobody waits for: reaped without waiting by LinuxReapAdopted.
void LinuxAdoptChild(pid_t pid);
void LinuxReapAdopted();
// Number of adopted children still running (for tests).
int LinuxAdoptedCount();
