// tidebloom-host with paths that are not plain files, inputs that end early, plug-ins that print,
// renders too large for memory, and what the summary reports.
#include "host/HostFile.h"
#include "host/HostText.h"
#include "tests/support/host/HostTestSupport.h"

#include <fcntl.h>
#include <regex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>

namespace {

mode_t TypeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class HostPaths : public ::testing::Test {
protected:
    void SetUp() override {
        mIn = mDir / "in.wav";
        WriteSignal(mIn, FloatSignal(2, 4000));
    }
    std::vector<std::string> Render(const std::string& out, std::vector<std::string> extra = {}) {
        std::vector<std::string> a = {"render", FakePath("fake_gain"), "-i", mIn, "-o", out, "-q"};
        a.insert(a.end(), extra.begin(), extra.end());
        return a;
    }
    void ExpectOneError(const RunResult& r, const std::string& message) {
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(r.ErrLines(), 1) << r.err;
        EXPECT_EQ(r.err.rfind("tidebloom-host: error: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }

    TestDir mDir;
    std::string mIn;
};

// Devices and FIFOs are written in place or refused, never replaced by a regular file.
TEST_F(HostPaths, OutputsThatAreNotRegularFiles) {
    ASSERT_EQ(::mkfifo((mDir / "fifo.ogg").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((mDir / "fifo.wav").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((mDir / "fifo.fxp").c_str(), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", (mDir / "sock.wav").c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(sock);
    ASSERT_EQ(RunHost(mDir, Render(mDir / "ref.ogg", {"--save-fxp", mDir / "ref.fxp"})).status, 0);

    struct Case {
        std::vector<std::string> args;
        std::string target;   // must keep its type
        const char* error;    // null: success
        std::string received; // for a FIFO: what its reader must get (a file to compare with)
    } cases[] = {
        {Render("/dev/null"), "/dev/null", nullptr, ""},
        {Render(mDir / "a.wav", {"--save-fxp", "/dev/full"}), "/dev/full",
         "cannot write '/dev/full': No space left on device", ""},
        {Render(mDir / "a.wav", {"--save-fxb", "/dev/full"}), "/dev/full",
         "cannot write '/dev/full': No space left on device", ""},
        {Render(mDir / "fifo.ogg"), mDir / "fifo.ogg", nullptr, mDir / "ref.ogg"},
        {Render("/dev/null", {"--save-fxp", mDir / "fifo.fxp"}), mDir / "fifo.fxp", nullptr,
         mDir / "ref.fxp"},
        {Render(mDir / "fifo.wav"), mDir / "fifo.wav", "fifo.wav': WAV cannot be written to a pipe", ""},
        {Render(mDir / "sock.wav"), mDir / "sock.wav", "sock.wav': it is not a regular file", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[5] + " " + (c.args.size() > 8 ? c.args[8] : ""));
        const mode_t type = TypeOf(c.target);
        std::unique_ptr<FifoReader> reader;
        if (type == S_IFIFO) reader = std::make_unique<FifoReader>(c.target);
        RunResult r = RunHost(mDir, c.args);
        const std::string got = reader ? reader->Finish() : "";
        if (c.error) {
            ExpectOneError(r, c.error);
        } else {
            EXPECT_EQ(r.status, 0) << r.err;
        }
        if (c.received.ends_with(".ogg")) {
            // Vorbis streams differ in their serial numbers: the audio is compared.
            std::ofstream(mDir / "got.ogg", std::ios::binary) << got;
            EXPECT_EQ(ReadSignal(mDir / "got.ogg").channels, ReadSignal(c.received).channels);
        } else if (!c.received.empty()) {
            EXPECT_EQ(got, Bytes(c.received));
        }
        EXPECT_EQ(TypeOf(c.target), type);
        if (c.error) {
            EXPECT_FALSE(TestDir::Exists(mDir / "a.wav")); // nothing rendered after a failed save
        }
    }
}

// A symbolic link is written through: its target takes the result and the link stays a link.
TEST_F(HostPaths, LinksAreWrittenThrough) {
    std::ofstream(mDir / "old.wav") << "old";
    std::ofstream(mDir / "old.fxp") << "old";
    ASSERT_EQ(::symlink("old.wav", (mDir / "link.wav").c_str()), 0);
    ASSERT_EQ(::symlink((mDir / "old.fxp").c_str(), (mDir / "link.fxp").c_str()), 0);
    ASSERT_EQ(::symlink("made.wav", (mDir / "dangling.wav").c_str()), 0);
    RunResult r = RunHost(mDir, Render(mDir / "link.wav", {"--save-fxp", mDir / "link.fxp"}));
    ASSERT_EQ(r.status, 0) << r.err;
    r = RunHost(mDir, Render(mDir / "dangling.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* link : {"link.wav", "link.fxp", "dangling.wav"})
        EXPECT_EQ(TypeOf(mDir / link), static_cast<mode_t>(S_IFLNK)) << link;
    EXPECT_EQ(ReadSignal(mDir / "old.wav").NumFrames(), 4000);
    EXPECT_EQ(ReadSignal(mDir / "made.wav").NumFrames(), 4000);
    EXPECT_EQ(Bytes(mDir / "old.fxp").substr(0, 4), "CcnK");
}

TEST_F(HostPaths, TheInputIsNeverReplaced) {
    const std::string dry = Bytes(mIn);
    ASSERT_EQ(::symlink("in.wav", (mDir / "in-link.wav").c_str()), 0);
    ASSERT_EQ(::link(mIn.c_str(), (mDir / "in-hard.wav").c_str()), 0);
    for (const std::string& out :
         {mIn, mDir.Path() + "/./in.wav", mDir / "in-link.wav", mDir / "in-hard.wav"}) {
        SCOPED_TRACE(out);
        ExpectOneError(RunHost(mDir, Render(out)), "is the input file");
        EXPECT_EQ(Bytes(mIn), dry);
    }
    EXPECT_EQ(TypeOf(mDir / "in-link.wav"), static_cast<mode_t>(S_IFLNK));
}

// A FIFO as an input, a preset or the plug-in is refused at once instead of waiting for a writer.
TEST_F(HostPaths, InputsThatAreNotRegularFilesAreRefusedAtOnce) {
    const std::string fifo = mDir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string g = FakePath("fake_gain");
    const std::vector<std::string> commands[] = {
        {"render", g, "-i", fifo, "-o", mDir / "o.wav"},
        Render(mDir / "o.wav", {"--load-fxp", fifo}),
        Render(mDir / "o.wav", {"--load-fxb", fifo}),
        {"render", fifo, "-i", mIn, "-o", mDir / "o.wav"},
        {"info", fifo},
    };
    for (const auto& args : commands) {
        RunResult r = RunHost(mDir, args, "", "timeout 60 "); // a host waiting for a writer fails, not hangs
        ExpectOneError(r, "not a regular file");
        EXPECT_NE(r.err.find(fifo), std::string::npos) << r.err;
        EXPECT_FALSE(TestDir::Exists(mDir / "o.wav"));
    }
}

// A file cut short renders what it holds and says so; a whole long file renders exactly.
TEST_F(HostPaths, InputsEndingBeforeTheirHeaderSaysAreReported) {
    const int frames = 50000; // several reading pieces
    WriteSignal(mDir / "long.wav", FloatSignal(2, frames), 44100, SF_FORMAT_PCM_16);
    const std::string whole = Bytes(mDir / "long.wav");
    std::ofstream(mDir / "cut.wav", std::ios::binary) << whole.substr(0, whole.size() - 4 * 30000);
    const std::string g = FakePath("fake_gain");
    RunResult r = RunHost(mDir, {"render", g, "-i", mDir / "long.wav", "-o", mDir / "o.wav", "--set",
                                 "Latency=0.1", "--block", "1000", "--tail", "0.01"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const HostAudio in = ReadSignal(mDir / "long.wav"), out = ReadSignal(mDir / "o.wav");
    ASSERT_EQ(out.NumFrames(), frames + 441);
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < frames + 441; ++k)
            ASSERT_EQ(out.channels[c][k], k < frames ? in.channels[c][k] : 0.0) << c << " " << k;

    r = RunHost(mDir, {"render", g, "-i", mDir / "cut.wav", "-o", mDir / "o.wav"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "tidebloom-host: warning: '" + mDir / "cut.wav" +
                         "' ends after 20000 frames, its header announces 50000\n");
    EXPECT_EQ(ReadSignal(mDir / "o.wav").NumFrames(), 20000);
}

// What a plug-in prints on standard output goes to standard error, away from the results.
TEST_F(HostPaths, PluginOutputStaysOffTheResults) {
    for (bool json : {true, false}) {
        std::vector<std::string> args = {"info", FakePath("fake_gain")};
        if (json) args.push_back("--json");
        RunResult r = RunHost(mDir, args, "export FAKE_GAIN_CHATTY=1; ");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.find("fake_gain:"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.rfind(json ? "{\n" : "Plug-in ", 0), 0u) << r.out;
        EXPECT_EQ(r.err, "fake_gain: opened through stdio\nfake_gain: opened through the descriptor\n");
    }
    RunResult r = RunHost(mDir, {"render", FakePath("fake_gain"), "-i", mIn, "-o", mDir / "o.wav"},
                          "export FAKE_GAIN_CHATTY=1; ");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    EXPECT_EQ(r.out.rfind("tidebloom-host: ", 0), 0u) << r.out;
}

// The summary gives the plug-in's own time and the whole run's, each with its real-time factor.
TEST_F(HostPaths, SummaryReportsProcessingAndTheWholeRun) {
    RunResult r = RunHost(mDir, {"render", FakePath("fake_gain"), "-i", mIn, "-o", mDir / "o.wav"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.out, m,
                                  std::regex("([0-9.]+) s of audio in ([0-9.]+) s, processing ([0-9.]+) s "
                                             "\\(([0-9.]+)x\\), ([0-9.]+)x real time\n$")))
        << r.out;
    EXPECT_EQ(m[1], "0.09"); // 4000 frames at 44.1 kHz
    const double wall = std::stod(m[2]), processing = std::stod(m[3]), factor = std::stod(m[5]);
    EXPECT_LE(processing, wall);
    EXPECT_GT(wall, 0.0);
    // The whole run's factor is the audio over the whole run's time, within the printed rounding.
    EXPECT_NEAR(factor * wall, 4000.0 / 44100.0, factor * 0.0006 + 0.06 * wall);
}

// A render that does not fit in memory ends with one error line, not an abort.
TEST_F(HostPaths, RunningOutOfMemoryIsOneErrorLine) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizer runtimes reserve more address space than the limit allows";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    GTEST_SKIP() << "sanitizer runtimes reserve more address space than the limit allows";
#endif
#endif
    const std::string limit = "ulimit -d 60000; ";                     // 60 MB of data
    ASSERT_EQ(RunHost(mDir, Render(mDir / "o.wav"), limit).status, 0); // an ordinary render fits
    RunResult r = RunHost(mDir, Render(mDir / "o.wav", {"--block", "1048576"}), limit);
    ExpectOneError(r, "out of memory");
}

} // namespace
