#pragma once
// Helpers shared by the host's plug-in tests: paths of the test plug-ins, the fake gain's log,
// audio made for the tests, and running the tidebloom-host executable.
#include "host/HostAudioFile.h"
#include "host/HostPlugin.h"
#include "tests/support/host/fakes/FakeGainLog.h"
#include "tests/support/TestDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sndfile.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

inline std::string FakePath(const char* name) {
    return std::string(FAKE_DIR) + "/" + name + ".so";
}

inline FakeGainLog* LogOf(HostPlugin& plugin) {
    auto get = reinterpret_cast<FakeGainGetLogProc>(dlsym(plugin.LibraryHandle(), "FakeGainGetLog"));
    return get ? get() : nullptr;
}

// A deterministic test signal: a few decaying tones, different per channel, below full scale.
inline std::vector<std::vector<double>> TestSignal(int channels, int frames) {
    std::vector<std::vector<double>> ch(static_cast<size_t>(channels), std::vector<double>(frames));
    for (int c = 0; c < channels; ++c)
        for (int k = 0; k < frames; ++k)
            ch[c][k] =
                0.4 * std::sin(0.01 * (c + 1) * k) * std::exp(-k / 20000.0) + 0.1 * std::sin(0.3 * k + c);
    return ch;
}

// The same signal rounded to single precision (what a float file holds).
inline std::vector<std::vector<double>> FloatSignal(int channels, int frames) {
    auto ch = TestSignal(channels, frames);
    for (auto& c : ch)
        for (double& v : c) v = static_cast<float>(v);
    return ch;
}

inline void WriteSignal(const std::string& path, const std::vector<std::vector<double>>& ch, int rate = 44100,
                        int format = SF_FORMAT_FLOAT) {
    Util_AtomicFile file;
    HostAudioWriter w;
    std::string err;
    ASSERT_TRUE(file.Create(path, err)) << err;
    ASSERT_TRUE(w.Open(file, rate, static_cast<int>(ch.size()), format, 0, err)) << err;
    std::vector<const double*> ptrs;
    for (const auto& c : ch) ptrs.push_back(c.data());
    ASSERT_TRUE(w.Write(ptrs.data(), static_cast<int>(ch[0].size()), err)) << err;
    ASSERT_TRUE(w.Finish(err) && file.Commit(err)) << err;
}

inline HostAudio ReadSignal(const std::string& path) {
    HostAudio a;
    std::string err;
    EXPECT_TRUE(HostReadAudio(path, a, err)) << err;
    return a;
}

struct RunResult {
    int status = -1;
    std::string out, err;
    int ErrLines() const {
        int n = 0;
        for (char c : err) n += c == '\n';
        return n;
    }
};

inline std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Everything written to a FIFO, read in a thread of its own. The FIFO has a reader from construction
// on (a host that opens it without waiting finds one); reading ends once a writer has come and gone.
class FifoReader {
public:
    explicit FifoReader(const std::string& path)
        : mPath(path), mFd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
        EXPECT_GE(mFd, 0) << path;
        mThread = std::thread([this] {
            for (;;) {
                pollfd p{mFd, POLLIN, 0};
                if (::poll(&p, 1, 60000) <= 0) return; // a minute without a writer: give up
                char buf[65536];
                const ssize_t n = ::read(mFd, buf, sizeof buf);
                if (n > 0) mData.append(buf, static_cast<size_t>(n));
                if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return;
            }
        });
    }
    ~FifoReader() { Finish(); }
    FifoReader(const FifoReader&) = delete;
    FifoReader& operator=(const FifoReader&) = delete;
    // What was read. A writer that arrives and leaves lets the thread go should nobody have written.
    std::string Finish() {
        if (mThread.joinable()) {
            const int fd = ::open(mPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) ::close(fd);
            mThread.join();
            ::close(mFd);
        }
        return mData;
    }

private:
    std::string mPath;
    int mFd;
    std::string mData;
    std::thread mThread;
};

// Runs the host executable with args; prefix is shell text run first (for example a ulimit), wrapper
// a command that runs the host (for example "timeout 30 ").
inline RunResult RunHost(const TestDir& dir, const std::vector<std::string>& args,
                         const std::string& prefix = "", const std::string& wrapper = "") {
    std::string cmd = prefix + "exec " + wrapper + ShellQuote(HOST_EXE);
    for (const auto& a : args) {
        cmd += ' ';
        cmd += ShellQuote(a);
    }
    std::string outPath = dir / ".stdout", errPath = dir / ".stderr";
    cmd += " >";
    cmd += ShellQuote(outPath);
    cmd += " 2>";
    cmd += ShellQuote(errPath);
    cmd += " </dev/null";
    std::string shell = "/bin/sh -c ";
    shell += ShellQuote(cmd);
    int raw = std::system(shell.c_str());
    RunResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + (WIFSIGNALED(raw) ? WTERMSIG(raw) : 0);
    r.out = ReadText(outPath);
    r.err = ReadText(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return r;
}
