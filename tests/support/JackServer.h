#pragma once
// A JACK server of a test's own on the dummy driver (no sound card, no realtime rights needed), for the
// tests that run a real host (jalv, Ardour) as a JACK client, and a wait for a condition that reads the
// output of the processes it waits on. JACK keeps at most eight servers in a registry shared by the
// whole machine and frees an entry only when a server of the same name starts after its owner died, so
// the name comes from a fixed set (a server that was killed leaves no entry behind for good) and the
// server is given time to clean up. Used on the test's thread; the server stops with the object.
#include <signal.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "framework/platform/linux/LinuxProcess.h"

extern char** environ;

// Polls pred every 20 ms for at most `seconds`, reading the processes' output meanwhile.
inline bool WaitForCondition(const std::function<bool()>& pred, double seconds,
                             std::vector<LinuxProcess*> readers = {}) {
    const auto end =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    while (true) {
        for (LinuxProcess* p : readers) p->ReadAvailable();
        if (pred()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

struct JackServer {
    static constexpr int kNames = 4;
    std::string name;
    LinuxProcess process;
    std::vector<std::string> env; // the test's environment with the server's name, for its clients

    ~JackServer() {
        if (!process.Running()) return;
        ::kill(process.Pid(), SIGTERM);
        WaitForCondition([&] { return process.TryReap(); }, 5, {});
    }

    // Starts the server at this rate and period; extraEnv goes into env too. False, and why, when it
    // cannot.
    bool Start(int rate, int period, const std::vector<std::string>& extraEnv, std::string* why) {
        const std::string jackd = LinuxFindExecutable("jackd");
        if (jackd.empty()) {
            *why = "jackd is not installed (Debian package jackd2)";
            return false;
        }
        for (int i = 0; i < kNames; ++i) {
            name = "tidebloom-test-" + std::to_string(i);
            std::vector<std::string> vars = {"JACK_DEFAULT_SERVER=" + name, "JACK_NO_AUDIO_RESERVATION=1"};
            vars.insert(vars.end(), extraEnv.begin(), extraEnv.end());
            env = LinuxChildEnvironment(environ, vars);
            const std::vector<std::string> args = {
                "jackd", "--no-realtime",       "-n", name, "-d", "dummy", "-r", std::to_string(rate),
                "-p",    std::to_string(period)};
            if (!process.Start(jackd, args, env, true)) {
                *why = "jackd could not be started";
                return false;
            }
            if (WaitForCondition(
                    [&] { return process.Output().find("JACK server starting") != std::string::npos; }, 10,
                    {&process}))
                return true;
            // The name is taken by a server that is running (another test run): the next one.
            *why = "jackd did not start: " + process.Output();
            process.Terminate();
        }
        return false;
    }
};
