// `tidebloom-host snapshot` end to end: the editor's picture equal pixel for pixel to what the fake
// editor draws (also when it tells its size only once open), and one clear error line, with no file
// left behind, without a display, for a plug-in without an editor, and for an editor that never draws.
#include "tests/support/host/HostTestSupport.h"

#include "framework/raster/raster.h"
#include "tests/support/host/fakes/FakeEditorPattern.h"

#include <cstdlib>
#include <memory>

namespace {

class Snapshot : public ::testing::Test {
protected:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        mHaveDisplay = display && *display;
    }
    void ExpectFailure(const std::vector<std::string>& args, const std::string& message,
                       const std::string& prefix = "") {
        RunResult r = RunHost(mDir, args, prefix);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(r.ErrLines(), 1) << r.err;
        EXPECT_EQ(r.err.rfind("tidebloom-host: error: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(mDir.Entries().empty()) << r.err; // no picture, no temporary
    }
    void ExpectPattern(const char* fake) {
        const std::string png = mDir / "editor.png";
        RunResult r = RunHost(mDir, {"snapshot", FakePath(fake), "-o", png});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_NE(r.out.find("wrote the editor of 'Fake Editor' (160 x 96)"), std::string::npos) << r.out;
        std::unique_ptr<Raster_IBitmap> bm(Raster_LoadPNG(png.c_str(), nullptr));
        ASSERT_NE(bm, nullptr);
        ASSERT_EQ(bm->getWidth(), kFakeEditorWidth);
        ASSERT_EQ(bm->getHeight(), kFakeEditorHeight);
        int wrong = 0;
        for (int y = 0; y < kFakeEditorHeight; ++y) {
            for (int x = 0; x < kFakeEditorWidth; ++x) {
                const uint32_t want = FakeEditorPattern(x, y);
                const uint32_t p = Raster_GetPixel(bm.get(), x, y);
                wrong +=
                    p != Raster_MakePixel(static_cast<int>(want >> 16), static_cast<int>((want >> 8) & 0xFF),
                                          static_cast<int>(want & 0xFF), 255);
            }
        }
        EXPECT_EQ(wrong, 0);
    }

    TestDir mDir;
    bool mHaveDisplay = false;
};

TEST_F(Snapshot, PictureEqualsWhatTheEditorDrew) {
    if (!mHaveDisplay) GTEST_SKIP() << "no X display";
    ExpectPattern("fake_editor");
}

TEST_F(Snapshot, SizeKnownOnlyOnceOpen) {
    if (!mHaveDisplay) GTEST_SKIP() << "no X display";
    ExpectPattern("fake_editor_late");
}

TEST_F(Snapshot, ClearErrors) {
    const std::string png = mDir / "editor.png";
    ExpectFailure({"snapshot", FakePath("fake_editor"), "-o", png}, "no X display: DISPLAY is not set",
                  "unset DISPLAY; ");
    ExpectFailure({"snapshot", FakePath("fake_editor"), "-o", png}, "cannot open the X display ':9999'",
                  "DISPLAY=:9999; export DISPLAY; ");
    ExpectFailure({"snapshot", FakePath("fake_gain"), "-o", png}, "the plug-in has no editor");
    ExpectFailure({"snapshot", FakePath("fake_editor"), "-o", png, "--program", "9"}, "unknown program 9");
    ExpectFailure({"snapshot", FakePath("fake_editor"), "-o", mDir / "no/dir/e.png"}, "cannot write '");
    if (!mHaveDisplay) return;
    ExpectFailure({"snapshot", FakePath("fake_editor_blank"), "-o", png, "--timeout", "1"},
                  "the editor drew nothing within 1 s");
}

// An editor that never returns: the watchdog ends the host with one line, and no temporary is left.
TEST_F(Snapshot, AnEditorThatStopsAnsweringLeavesNothingBehind) {
    if (!mHaveDisplay) GTEST_SKIP() << "no X display";
    ExpectFailure({"snapshot", FakePath("fake_editor"), "-o", mDir / "editor.png", "--timeout", "0.1"},
                  "the plug-in's editor stopped answering", "FAKE_EDITOR_HANG=1; export FAKE_EDITOR_HANG; ");
}

TEST_F(Snapshot, CommandLineNeedsAPluginAndAnOutput) {
    RunResult r = RunHost(mDir, {"snapshot", FakePath("fake_editor")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("snapshot needs an output file (-o FILE)"), std::string::npos) << r.err;
    r = RunHost(mDir, {"snapshot", "-o", mDir / "e.png"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("snapshot needs the plug-in's .so file"), std::string::npos) << r.err;
    r = RunHost(mDir, {"snapshot", FakePath("fake_editor"), "-o", mDir / "e.png", "--block", "64"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown option '--block' for snapshot"), std::string::npos) << r.err;
    EXPECT_TRUE(mDir.Entries().empty());
}

} // namespace
