// tidebloom-host validate, run as a user runs it: each planted fault is caught by the check that names
// it and by no other, and the shipped plug-in passes every check in every format.
#include "tests/support/host/HostTestSupport.h"

#include <map>
#include <regex>
#include <set>

namespace {

#ifdef TIDEBLOOM_SANITIZED
const char* const kCrashed = "the process ended with status 1 while loading itself with";
#else
const char* const kCrashed = "crashed (SIGSEGV, Segmentation fault) while loading itself with";
#endif

struct Row {
    std::string result, reason;
};

// Every check's row of a JSON report, by name.
std::map<std::string, Row> Rows(const std::string& json) {
    std::map<std::string, Row> rows;
    static const std::regex row(
        R"re("name": "([a-z-]+)", "level": \d+, "result": "([a-z]+)", "seconds": [0-9.]+, "reason": "([^"]*)")re");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), row); it != std::sregex_iterator(); ++it)
        rows[(*it)[1].str()] = Row{(*it)[2].str(), (*it)[3].str()};
    return rows;
}

// Every check of the highest strictness ran on plugin, and the one that failed is `failing` (none when
// empty), for a reason that starts with `why`. Returns the rows.
std::map<std::string, Row> ExpectFailure(const std::string& plugin, const std::string& failing,
                                         const std::string& why = "") {
    TestDir dir;
    const RunResult r = RunHost(dir, {"validate", plugin, "--strictness", "10", "--json"});
    const std::map<std::string, Row> rows = Rows(r.out);
    EXPECT_EQ(rows.size(), 14u) << r.out << r.err;
    std::set<std::string> failed;
    for (const auto& [name, row] : rows)
        if (row.result == "failed") failed.insert(name);
    EXPECT_EQ(failed, failing.empty() ? std::set<std::string>{} : std::set<std::string>{failing}) << r.out;
    if (!failing.empty() && rows.count(failing)) {
        EXPECT_EQ(rows.at(failing).reason.rfind(why, 0), 0u) << rows.at(failing).reason;
    }
    EXPECT_EQ(r.status, failing.empty() ? 0 : 1) << r.out << r.err;
    return rows;
}

TEST(HostValidate, EachPlantedFaultIsCaughtByItsCheckAlone) {
    const struct {
        const char* fake;
        const char* check; // "" for none
        const char* why;   // how its reason starts
    } cases[] = {
        {"fake_faultless", "", ""},
        {"fake_allocates", "audio-allocations", ""},
        {"fake_nan", "parameter-sweep", "with Tone = 1: "},
        {"fake_latency", "latency", "with the defaults it reports 64 samples, the audio is 100 samples late"},
        {"fake_chunk_crash", "hostile-state", kCrashed},
        {"fake_editor_lock", "audio-blocking", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fake);
        ExpectFailure(FakePath(c.fake), c.check, c.why);
    }
}

TEST(HostValidate, TidebloomPassesEveryCheckInEveryFormat) {
    for (const char* plugin :
         {TIDEBLOOM_SO, TIDEBLOOM_VST3_BUNDLE, TIDEBLOOM_CLAP_PATH, TIDEBLOOM_LV2_BUNDLE}) {
        SCOPED_TRACE(plugin);
        const std::map<std::string, Row> rows = ExpectFailure(plugin, "");
        // Every format promises it or not, Tidebloom gives the same samples in blocks of any size.
        if (rows.count("block-sizes")) {
            EXPECT_NE(rows.at("block-sizes").reason.find("the same samples"), std::string::npos);
        }
    }
}

// A VST 3 plug-in with a controller of its own: the values the host sets reach its processor before
// its state is saved, so the state holds them (Debian's ZamComp, from zam-plugins).
TEST(HostValidate, ValuesReachASeparateProcessorBeforeItsStateIsSaved) {
    const char* zam = "/usr/lib/vst3/ZamComp.vst3";
    if (!TestDir::Exists(zam)) GTEST_SKIP() << zam << " is not installed";
    TestDir dir;
    const RunResult r = RunHost(dir, {"validate", zam, "--strictness", "3", "--json"});
    const std::map<std::string, Row> rows = Rows(r.out);
    ASSERT_TRUE(rows.count("state")) << r.out << r.err;
    EXPECT_EQ(rows.at("state").result, "passed") << rows.at("state").reason;
}

} // namespace
