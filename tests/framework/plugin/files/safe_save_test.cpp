// Saves and dumps write their file after releasing the plug-in mutex, all or nothing: an audio block
// runs while a save waits on a FIFO whose reader has not read yet, and a save that fails part of the way
// leaves the previous file byte for byte.
#include "FileTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>

using namespace filetest;

namespace {

const char* kEnumNames[5] = {"kSensitivity", "kTime", "kDepth", "kVol", "kOnOff"};

// The four operations that write a file; each reports whether it wrote one.
struct SaveOp {
    const char* name;
    std::function<bool(TestEffect&, const std::string&)> run;
};

const SaveOp kSaveOps[] = {
    {"fxp",
     [](TestEffect& e, const std::string& p) {
         Util_String s(p.c_str());
         return e.SaveProgramAsFXP(&s);
     }},
    {"fxb",
     [](TestEffect& e, const std::string& p) {
         Util_String s(p.c_str());
         return e.SaveBankAsFXB(&s);
     }},
    {"source dump",
     [](TestEffect& e, const std::string& p) {
         e.DumpPresetSrcCode(p.c_str(), kEnumNames);
         return true;
     }},
    {"blob dump",
     [](TestEffect& e, const std::string& p) {
         e.DumpPresetBlob(p.c_str());
         return true;
     }},
};

// True once thread tid sleeps in the kernel opening or writing a file: it waits on the FIFO. Where the
// system call cannot be read, a sleeping thread is taken as the sign (nothing else makes it sleep).
bool WaitsOnFile(pid_t tid) {
    const std::string dir = "/proc/self/task/" + std::to_string(tid);
    std::ifstream sys(dir + "/syscall");
    long nr = -1;
    if (sys >> nr) return nr == SYS_openat || nr == SYS_open || nr == SYS_write;
    std::ifstream stat(dir + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'S';
}

// Waits up to a generous limit for flag; the limit only keeps a broken build from hanging the suite.
bool Eventually(const std::function<bool()>& flag) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!flag()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

TEST(SafeSave, AnAudioBlockRunsWhileASaveWaitsOnAFifo) {
    for (const SaveOp& op : kSaveOps) {
        SCOPED_TRACE(op.name);
        ScratchDir dir("safe-fifo");
        TestEffect e;
        e.SetBlockSize(64);
        e.GetParam(2)->Set(0.25);
        ASSERT_TRUE(op.run(e, dir.Path("regular")));
        const std::vector<uint8_t> expected = ReadFile(dir.Path("regular"));
        const std::string fifo = dir.Path("fifo");
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        // A reader that has not read yet, behind a pipe already full: the save opens the FIFO and
        // then waits in its write.
        const int fd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        size_t filler = 0;
        {
            const int w = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            ASSERT_GE(w, 0);
            const std::vector<uint8_t> junk(4096, 0xAA);
            for (ssize_t n; (n = ::write(w, junk.data(), junk.size())) > 0;) filler += static_cast<size_t>(n);
            ::close(w);
        }

        std::atomic<pid_t> saverTid{0};
        std::atomic<bool> saved{false};
        bool result = false;
        std::thread saver([&] {
            saverTid = static_cast<pid_t>(::syscall(SYS_gettid));
            result = op.run(e, fifo);
            saved = true;
        });
        ASSERT_TRUE(Eventually([&] { return saverTid != 0 && WaitsOnFile(saverTid); }));

        // An audio callback as the binding makes it: the plug-in mutex for the whole block.
        std::atomic<bool> processed{false};
        std::thread audio([&] {
            Util_MutexLock lock(e.GetMutex());
            std::vector<double> in(64, 0.5), out(64, 0.0);
            double* ins[2] = {in.data(), in.data()};
            double* outs[2] = {out.data(), out.data()};
            e.AttachInputBuffers(0, 2, ins, 64);
            e.AttachOutputBuffers(0, 2, outs);
            e.ProcessBuffers(0.0, 64);
            processed = true;
        });
        EXPECT_TRUE(Eventually([&] { return processed.load(); }));
        EXPECT_FALSE(saved) << "the save did not wait for the FIFO's reader";

        // The reader reads: the save completes with the same bytes a regular file receives.
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        std::vector<uint8_t> got;
        uint8_t buf[4096];
        for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) got.insert(got.end(), buf, buf + n);
        ::close(fd);
        saver.join();
        audio.join();
        EXPECT_TRUE(result);
        ASSERT_GE(got.size(), filler);
        EXPECT_EQ(std::vector<uint8_t>(got.begin() + static_cast<std::ptrdiff_t>(filler), got.end()),
                  expected);
        struct stat st {};
        ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode)); // written through, never replaced
    }
}

TEST(SafeSave, AFailedSaveLeavesThePreviousFileByteForByte) {
    for (const SaveOp& op : kSaveOps) {
        SCOPED_TRACE(op.name);
        ScratchDir dir("safe-fail");
        const std::string path = dir.Path("preset");
        TestEffect e;
        ASSERT_TRUE(op.run(e, path));
        const std::vector<uint8_t> before = ReadFile(path);
        ASSERT_GT(before.size(), 16u);
        e.GetParam(0)->Set(0.125);
        e.ModifyCurrentPreset("Changed");

        // In a child process whose files may not grow beyond 16 bytes: the save fails after 16 bytes.
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{16, 16};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            const bool ok = op.run(e, path);
            ::_exit(ok ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        if (std::string(op.name).find("dump") == std::string::npos) {
            EXPECT_EQ(WEXITSTATUS(status), 1) << "the failed save reported success";
        }
        EXPECT_EQ(ReadFile(path), before);
        // Nothing else is left in the folder: no temporary.
        int entries = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path(""))) {
            (void)entry;
            ++entries;
        }
        EXPECT_EQ(entries, 1);
    }
}

} // namespace
