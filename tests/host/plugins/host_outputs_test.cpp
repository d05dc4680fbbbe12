// No option of tidebloom-host destroys a file: every output is refused, before anything is written,
// when it is a file the run reads or another output of the run; an option that takes one value is
// given once; an interrupted render leaves every output as it was; info shows a chosen state.
#include "host/HostText.h"
#include "tests/support/host/HostTestSupport.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <spawn.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

class HostOutputsTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteSignal(mDir / "in.wav", FloatSignal(2, 4000));
        // A copy of the plug-in, so that a host which replaced it would not damage the build.
        fs::copy_file(FakePath("fake_gain"), mDir / "gain.so");
        mPlugin = mDir / "gain.so";
    }
    std::vector<std::string> Render(std::vector<std::string> extra) const {
        std::vector<std::string> a = {"render", mPlugin, "-i", mDir / "in.wav", "-q"};
        a.insert(a.end(), extra.begin(), extra.end());
        return a;
    }
    // Every entry below the folder: its kind and its bytes (a link: where it points).
    std::map<std::string, std::string> Contents() const {
        std::map<std::string, std::string> m;
        for (const auto& e : fs::recursive_directory_iterator(mDir.Path())) {
            const std::string p = e.path();
            if (e.is_symlink())
                m[p] = "link to " + fs::read_symlink(e.path()).string();
            else if (e.is_fifo())
                m[p] = "fifo";
            else if (e.is_regular_file())
                m[p] = ReadText(p);
            else
                m[p] = "folder";
        }
        return m;
    }

    TestDir mDir;
    std::string mPlugin;
};

TEST_F(HostOutputsTest, OutputsThatWouldDestroyAFileAreRefusedBeforeAnythingIsWritten) {
    const std::string d = mDir.Path() + "/";
    ASSERT_EQ(RunHost(mDir, Render({"-o", d + "o.wav", "--save-fxp", d + "a.fxp", "--save-fxb", d + "b.fxb"}))
                  .status,
              0);
    std::ofstream(d + "o.wav") << "an earlier render";
    fs::create_directory(d + "sub");
    fs::create_symlink("in.wav", d + "in-link.wav");
    fs::create_hard_link(mPlugin, d + "gain-hard.wav");
    fs::create_symlink("new.wav", d + "dangling.png");
    fs::create_directory_symlink("sub", d + "sub-link");
    ASSERT_EQ(::mkfifo((d + "unread.flac").c_str(), 0600), 0);

    const std::string in = " ('" + d + "in.wav')";
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {Render({"-o", d + "x.wav", "--save-fxp", d + "in.wav"}),
         "--save-fxp: cannot write '" + d + "in.wav': it is the input file given to -i" + in},
        {Render({"-o", d + "x.wav", "--save-fxb", d + "in-link.wav"}),
         "it is the input file given to -i" + in},
        {Render({"-o", d + "x.wav", "--plot", d + "./in.wav"}), "--plot: cannot write '" + d + "./in.wav'"},
        {Render({"-o", d + "x.wav", "--save-fxp", mPlugin}), "it is the plug-in ('" + mPlugin + "')"},
        {Render({"-o", d + "gain-hard.wav"}), "-o: cannot write '" + d + "gain-hard.wav': it is the plug-in"},
        {{"snapshot", mPlugin, "-o", mPlugin}, "-o: cannot write '" + mPlugin + "': it is the plug-in"},
        {Render({"-o", d + "x.wav", "--load-fxp", d + "a.fxp", "--save-fxp", d + "a.fxp"}),
         "it is the program file given to --load-fxp ('" + d + "a.fxp')"},
        {Render({"-o", d + "x.wav", "--load-fxb", d + "b.fxb", "--plot", d + "sub/../b.fxb"}),
         "it is the bank file given to --load-fxb"},
        {Render({"-o", d + "o.wav", "--plot", d + "o.wav"}),
         "--plot: cannot write '" + d + "o.wav': it is also the output of -o ('" + d + "o.wav')"},
        {Render({"-o", d + "same.wav", "--save-fxp", d + "sub-link/../same.wav"}),
         "it is also the output of -o ('" + d + "same.wav')"},
        {Render({"-o", d + "new.wav", "--plot", d + "dangling.png"}), "it is also the output of -o"},
        {Render({"-o", d + "x.wav", "--save-fxp", d + "s.fxp", "--save-fxb", d + "s.fxp"}),
         "--save-fxb: cannot write '" + d + "s.fxp': it is also the output of --save-fxp"},
        {Render({"-o", d + "unread.flac"}), "no program is reading this FIFO"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const auto before = Contents();
        RunResult r =
            RunHost(mDir, c.args, "", "timeout 60 "); // a host waiting for a reader fails, not hangs
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(r.ErrLines(), 1) << r.err;
        EXPECT_EQ(r.err.rfind("tidebloom-host: error: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(Contents(), before); // every file as it was, nothing new, no temporary
    }
}

TEST_F(HostOutputsTest, AnOptionThatTakesOneValueIsGivenOnce) {
    const std::string o = mDir / "o.wav";
    auto with = [&](std::vector<std::string> extra) {
        extra.insert(extra.begin(), {"-o", o});
        return Render(extra);
    };
    struct Case {
        std::vector<std::string> args;
        const char* option;
    } cases[] = {
        {with({"-i", mDir / "in.wav"}), "-i"},
        {with({"--output", mDir / "p.wav"}), "--output"},
        {with({"--program", "0", "--program=1"}), "--program"},
        {with({"--block", "64", "--block", "64"}), "--block"},
        {with({"--max-block", "64", "--max-block", "128"}), "--max-block"},
        {with({"--save-fxp", mDir / "a.fxp", "--save-fxp", mDir / "b.fxp"}), "--save-fxp"},
        {with({"--plot", mDir / "a.png", "--plot", mDir / "b.png"}), "--plot"},
        {with({"--tail", "1", "--tail", "2"}), "--tail"},
        {{"info", mPlugin, "--program", "0", "--program", "1"}, "--program"},
        {{"snapshot", mPlugin, "-o", mDir / "a.png", "-o", mDir / "b.png"}, "-o"},
        {{"phrase", "-o", o, "--seconds", "1", "--seconds", "2"}, "--seconds"},
    };
    for (const Case& c : cases) {
        RunResult r = RunHost(mDir, c.args);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_EQ(r.err, HostFormat("tidebloom-host: error: option %s is given more than once (it takes one "
                                    "value)\n",
                                    c.option));
    }
    EXPECT_FALSE(TestDir::Exists(o));
}

// A long render stopped by a signal: the status tells which, the earlier file is untouched and no
// temporary is left.
TEST_F(HostOutputsTest, ASignalStopsARenderAndLeavesEveryOutputAsItWas) {
    const std::string o = mDir / "o.wav";
    for (const int signo : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signo);
        std::ofstream(o) << "an earlier render";
        const auto before = Contents();
        // 600 s of tail in one-frame blocks: minutes of work, unless stopped.
        std::vector<std::string> args = {
            HOST_EXE,  "render", mPlugin,      "-i", mDir / "in.wav",   "-o",    o,   "--tail", "600",
            "--block", "1",      "--channels", "1",  "--sample-format", "pcm16", "-q"};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, STDERR_FILENO, (mDir / ".stderr").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, HOST_EXE, &files, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&files);
        // The signal comes once the render is writing its temporary.
        auto writing = [&] {
            for (const auto& e : fs::directory_iterator(mDir.Path()))
                if (e.path().filename().string().find(".tmp-") != std::string::npos) return true;
            return false;
        };
        const auto start = std::chrono::steady_clock::now();
        while (!writing() && std::chrono::steady_clock::now() - start < std::chrono::seconds(30))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ASSERT_EQ(::kill(pid, signo), 0);
        int raw = 0;
        while (::waitpid(pid, &raw, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(60)) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &raw, 0);
                FAIL() << "the host did not stop";
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(WIFEXITED(raw)) << raw;
        EXPECT_EQ(WEXITSTATUS(raw), 128 + signo);
        EXPECT_EQ(ReadText(mDir / ".stderr"), "tidebloom-host: error: interrupted\n");
        fs::remove(mDir / ".stderr");
        EXPECT_EQ(Contents(), before);
    }
}

TEST_F(HostOutputsTest, InfoShowsTheChosenProgramAndValues) {
    struct Case {
        std::vector<std::string> extra;
        std::vector<std::string> shown;
        int status;
    } cases[] = {
        {{"--program", "Loud Clip"},
         {"Programs      3 (current 2)\n", "Gain     2.00 x            1.000000\n", "Mode     Hard"},
         0},
        {{"--program=1", "--set", "Gain=0.25", "--set", "Mode=Hard"},
         {"(current 1)\n", "Gain     0.50 x            0.250000\n", "Mode     Hard"},
         0},
        {{"--set", "Depth=1"}, {"tidebloom-host: error: unknown parameter 'Depth'"}, 1},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"info", mPlugin};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        RunResult r = RunHost(mDir, args);
        EXPECT_EQ(r.status, c.status) << r.err;
        for (const std::string& s : c.shown)
            EXPECT_NE((r.out + r.err).find(s), std::string::npos) << r.out << r.err;
    }
}

} // namespace
