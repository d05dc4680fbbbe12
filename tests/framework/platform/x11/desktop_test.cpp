// Dialogs through a (fake) dialog tool and our own message box, the cursor, folders and pictures.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "framework/platform/linux/LinuxPaths.h"
#include "framework/platform/linux/LinuxProcess.h"
#include "framework/platform/linux/X11Keys.h"
#include "framework/raster/Raster_Bitmap.h"
#include "tests/support/editor/TestPictures.h"
#include "tests/support/x11/X11Session.h"

namespace {

using E = X11TestEffect;

std::string ReadFile(const std::string& path) {
    std::ifstream f(path);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// A folder first on PATH holding a fake zenity: it writes what it was given to $FAKE_LOG, prints
// $FAKE_OUT and exits with $FAKE_EXIT (after $FAKE_SLEEP seconds).
struct FakeTools {
    std::string dir, log, savedPath, savedLd;
    bool hadLd;
    FakeTools() {
        char tmpl[] = "/tmp/tb_fake_XXXXXX";
        dir = mkdtemp(tmpl);
        log = dir + "/log";
        std::ofstream(dir + "/zenity") << R"SH(#!/bin/sh
{
echo "pid:$$"
for a in "$@"; do echo "arg:$a"; done
echo "ld:${LD_LIBRARY_PATH-unset}"
echo "display:$DISPLAY"
echo "cwd:$(pwd)"
for f in /proc/$$/fd/*; do echo "fd:${f##*/}:$(readlink "$f")"; done
} > "$FAKE_LOG.tmp"
mv "$FAKE_LOG.tmp" "$FAKE_LOG"
sleep "${FAKE_SLEEP:-0}"
printf "%s" "$FAKE_OUT"
exit "${FAKE_EXIT:-0}"
)SH";
        chmod((dir + "/zenity").c_str(), 0755);
        savedPath = getenv("PATH");
        setenv("PATH", (dir + ":" + savedPath).c_str(), 1);
        const char* ld = getenv("LD_LIBRARY_PATH");
        hadLd = ld != nullptr;
        savedLd = ld ? ld : "";
        setenv("LD_LIBRARY_PATH", "/host/bundled/libs", 1); // as hosts set it
        setenv("FAKE_LOG", log.c_str(), 1);
    }
    ~FakeTools() {
        setenv("PATH", savedPath.c_str(), 1);
        if (hadLd)
            setenv("LD_LIBRARY_PATH", savedLd.c_str(), 1);
        else
            unsetenv("LD_LIBRARY_PATH");
        for (const char* v : {"FAKE_LOG", "FAKE_OUT", "FAKE_EXIT", "FAKE_SLEEP"}) unsetenv(v);
        std::system(("rm -rf '" + dir + "'").c_str());
    }
    void Answer(int exitCode, const char* out, int sleepSeconds = 0) {
        setenv("FAKE_EXIT", std::to_string(exitCode).c_str(), 1);
        setenv("FAKE_OUT", out, 1);
        setenv("FAKE_SLEEP", std::to_string(sleepSeconds).c_str(), 1);
        unlink(log.c_str());
    }
    std::string Log() { return ReadFile(log); }
    bool Has(const std::string& line) { return Log().find(line + "\n") != std::string::npos; }
};

// Children of this process that ended without being reaped.
int Zombies() {
    int n = 0;
    DIR* d = opendir("/proc");
    while (dirent* e = d ? readdir(d) : nullptr) {
        const std::string stat = ReadFile(std::string("/proc/") + e->d_name + "/stat");
        const size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        int ppid = 0;
        if (std::sscanf(stat.c_str() + close + 2, "%c %d", &state, &ppid) == 2 && ppid == getpid() &&
            state == 'Z')
            ++n;
    }
    if (d) closedir(d);
    return n;
}

struct DesktopTest : ::testing::Test {
    X11Session s{TestDisplay()};
    void SetUp() override {
        ASSERT_TRUE(s.Open());
        ASSERT_GE(s.IdleUntil([&] { return s.Gui()->FramesDrawn() > 0; }), 0);
    }
};

TEST_F(DesktopTest, MessageBoxThroughTheDialogTool) {
    FakeTools tools;
    // A descriptor the host left open without close-on-exec, and our X socket, stay out of the tool.
    const int leaked = open("/dev/zero", O_RDONLY);
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof(cwd)));
    const struct {
        int type, exitCode;
        const char* out;
        int answer;
    } cases[] = {
        {kMB_YESNOCANCEL, 0, "", kMB_First}, {kMB_YESNOCANCEL, 1, "No\n", kMB_Second},
        {kMB_YESNOCANCEL, 1, "", kMB_Third}, {kMB_OKCANCEL, 1, "", kMB_Second},
        {kMB_OK, 0, "", kMB_First},          {kMB_YESNO, 255, "", kMB_None},
    };
    for (const auto& c : cases) {
        tools.Answer(c.exitCode, c.out);
        EXPECT_EQ(s.Gui()->ShowMessageBox("Save <b>changes</b>?", "Tidebloom", c.type), c.answer)
            << c.type << c.out;
    }
    close(leaked);
    EXPECT_TRUE(tools.Has("arg:--question"));
    EXPECT_TRUE(tools.Has("arg:--ok-label=Yes"));
    EXPECT_TRUE(tools.Has("arg:--title=Tidebloom"));
    EXPECT_TRUE(tools.Has("arg:--text=Save <b>changes</b>?"));
    EXPECT_TRUE(tools.Has("arg:--attach=" + std::to_string(s.parent)));
    EXPECT_TRUE(tools.Has("ld:unset"));
    EXPECT_TRUE(tools.Has(std::string("display:") + getenv("DISPLAY")));
    EXPECT_TRUE(tools.Has("cwd:" + std::string(cwd)));
    const std::string log = tools.Log();
    EXPECT_EQ(log.find("socket:"), std::string::npos) << log;
    EXPECT_EQ(log.find("/dev/zero"), std::string::npos) << log;
    char now[4096];
    ASSERT_TRUE(getcwd(now, sizeof(now)));
    EXPECT_STREQ(now, cwd);
    EXPECT_STREQ(getenv("LD_LIBRARY_PATH"), "/host/bundled/libs") << "the host's environment is untouched";
    EXPECT_EQ(Zombies(), 0);
}

TEST_F(DesktopTest, FilePromptThroughTheDialogTool) {
    FakeTools tools;
    Util_String file("bank.fxb"), dir;
    tools.Answer(1, "");
    s.Gui()->PromptForFile(&file, kFileSave, &dir, "fxp fxb");
    EXPECT_STREQ(file.Get(), "") << "cancelled";
    EXPECT_STREQ(dir.Get(), "~/Desktop");
    EXPECT_TRUE(tools.Has("arg:--filename=" + LinuxHomeFolder() + "/Desktop/bank.fxb"));
    EXPECT_TRUE(tools.Has("arg:--save"));
    EXPECT_TRUE(tools.Has("arg:--confirm-overwrite"));
    EXPECT_TRUE(tools.Has("arg:--file-filter=*.fxp *.fxb"));

    tools.Answer(0, "/tmp/some dir/preset one.fxp\n");
    dir.Set("/tmp/");
    s.Gui()->PromptForFile(&file, kFileOpen, &dir, "fxp");
    EXPECT_STREQ(file.Get(), "/tmp/some dir/preset one.fxp");
    EXPECT_STREQ(dir.Get(), "/tmp/some dir/");
    EXPECT_TRUE(tools.Has("arg:--filename=/tmp/"));
    EXPECT_FALSE(tools.Has("arg:--save"));
    EXPECT_EQ(Zombies(), 0);
}

TEST_F(DesktopTest, DialogToolEndedWhenTheEditorCloses) {
    FakeTools tools;
    tools.Answer(0, "", 30);
    std::atomic<int> answer{-1};
    std::thread dialog([&] { answer = s.Gui()->ShowMessageBox("Wait", "Tidebloom", kMB_OK); });
    std::string log;
    for (int i = 0; i < 500 && log.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        log = tools.Log();
    }
    ASSERT_FALSE(log.empty());
    const pid_t pid = std::atoi(log.c_str() + log.find("pid:") + 4);
    const auto t0 = std::chrono::steady_clock::now();
    s.Close();
    dialog.join();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    EXPECT_EQ(answer, kMB_None);
    EXPECT_EQ(kill(pid, 0), -1) << "ended and reaped";
    EXPECT_EQ(Zombies(), 0);
}

TEST_F(DesktopTest, WithoutDialogToolsOurOwnMessageBox) {
    const std::string savedPath = getenv("PATH");
    setenv("PATH", "/nonexistent", 1);
    Util_String file("x.fxp"), dir("/tmp/");
    s.Gui()->PromptForFile(&file, kFileOpen, &dir, "fxp");
    EXPECT_STREQ(file.Get(), "") << "no tool: an empty answer";

    X11TestDisplay& d = TestDisplay();
    const std::vector<xcb_window_t> before = d.DialogWindows({});
    const struct {
        int type;
        uint32_t key; // 0: click the second button
        int answer;
    } cases[] = {{kMB_YESNOCANCEL, kXK_Escape, kMB_Third},
                 {kMB_YESNOCANCEL, kXK_Return, kMB_First},
                 {kMB_YESNO, 0, kMB_Second},
                 {kMB_OKCANCEL, kXK_Tab, kMB_Second},
                 {kMB_OK, kXK_Escape, kMB_First}};
    for (const auto& c : cases) {
        std::atomic<int> answer{-1};
        std::thread shower([&] { answer = s.Gui()->ShowMessageBox("Text of the box", "Caption", c.type); });
        std::vector<xcb_window_t> boxes;
        for (int i = 0; i < 300 && boxes.empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            boxes = d.DialogWindows(before);
        }
        ASSERT_EQ(boxes.size(), 1u) << c.type;
        EXPECT_EQ(d.Property(boxes[0], "WM_NAME"), "Caption");
        // Wait for it to take the keyboard.
        for (int i = 0; i < 300 && d.Focus() != boxes[0]; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (c.key == kXK_Tab) {
            d.Tap(kXK_Tab);
            d.Tap(' ');
        } else if (c.key) {
            d.Tap(c.key);
        } else {
            // The second of two buttons: right-aligned, 84 x 26, 8 apart, 16 from the edges.
            int x = 0, y = 0;
            d.RootPosition(boxes[0], &x, &y);
            xcb_get_geometry_reply_t* g =
                xcb_get_geometry_reply(d.Conn(), xcb_get_geometry(d.Conn(), boxes[0]), nullptr);
            d.Click(x + g->width - 16 - 42, y + g->height - 16 - 13);
            std::free(g);
        }
        shower.join();
        EXPECT_EQ(answer, c.answer) << c.type;
        // The box's connection has sent its window's destruction; the server may still be serving ours.
        for (int i = 0; i < 300 && !d.DialogWindows(before).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(d.DialogWindows(before).size(), 0u);
    }
    setenv("PATH", savedPath.c_str(), 1);
}

TEST_F(DesktopTest, AddressesThroughXdgOpen) {
    FakeTools tools;
    rename((tools.dir + "/zenity").c_str(), (tools.dir + "/xdg-open").c_str());
    tools.Answer(0, "");
    EXPECT_TRUE(s.Gui()->OpenURL("https://example.org/a b?c=1&d"));
    // It is not waited for; a later idle call reaps it.
    for (int i = 0; i < 300 && tools.Log().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(tools.Has("arg:https://example.org/a b?c=1&d"));
    EXPECT_GE(s.IdleUntil([] { return Zombies() == 0 && LinuxAdoptedCount() == 0; }), 0);
    tools.Answer(0, "");
    EXPECT_TRUE(s.Gui()->OpenURL("-rf"));
    for (int i = 0; i < 300 && tools.Log().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(tools.Has("arg:./-rf")) << "never read as an option";
    EXPECT_GE(s.IdleUntil([] { return Zombies() == 0 && LinuxAdoptedCount() == 0; }), 0);
    unlink((tools.dir + "/xdg-open").c_str());
    const std::string path = tools.dir + ":/nonexistent";
    const std::string saved = getenv("PATH");
    setenv("PATH", path.c_str(), 1);
    EXPECT_FALSE(s.Gui()->OpenURL("https://example.org/")) << "no opener";
    EXPECT_TRUE(s.Gui()->OpenURL("")) << "nothing to open";
    setenv("PATH", saved.c_str(), 1);
}

TEST_F(DesktopTest, CursorHiddenAndPutBack) {
    X11TestDisplay& d = TestDisplay();
    auto pointer = [&](int* x, int* y) {
        xcb_query_pointer_reply_t* p =
            xcb_query_pointer_reply(d.Conn(), xcb_query_pointer(d.Conn(), d.Root()), nullptr);
        *x = p->root_x;
        *y = p->root_y;
        std::free(p);
    };
    d.MoveTo(s.RootX(60), s.RootY(70));
    s.Gui()->HideMouseCursor();
    d.MoveTo(s.RootX(150), s.RootY(200));
    s.Gui()->HideMouseCursor(); // already hidden: keeps the first place
    d.MoveTo(s.RootX(250), s.RootY(250));
    s.Gui()->ShowMouseCursor();
    int x = 0, y = 0;
    pointer(&x, &y);
    EXPECT_EQ(x, s.RootX(60));
    EXPECT_EQ(y, s.RootY(70));
    d.MoveTo(s.RootX(10), s.RootY(10));
    s.Gui()->ShowMouseCursor(); // not hidden: nothing moves
    pointer(&x, &y);
    EXPECT_EQ(x, s.RootX(10));
}

TEST_F(DesktopTest, FoldersAndPictures) {
    Util_String path("unchanged");
    s.Gui()->HostPath(&path);
    const std::string exe = LinuxExecutablePath();
    EXPECT_EQ(path.Get(), exe);
    s.Gui()->PluginPath(&path);
    EXPECT_EQ(path.Get(), exe.substr(0, exe.rfind('/') + 1));
    s.Gui()->DesktopPath(&path);
    EXPECT_EQ(path.Get(), LinuxUserDir("DESKTOP", "Desktop"));
    s.Gui()->AppSupportPath(&path, false);
    EXPECT_EQ(path.Get(), LinuxDataHome());
    s.Gui()->AppSupportPath(&path, true);
    EXPECT_EQ(path.Get(), LinuxSystemDataDir());
    s.Gui()->SandboxSafeAppSupportPath(&path);
    EXPECT_EQ(path.Get(), LinuxUserDir("MUSIC", "Music"));
    IColor colour;
    EXPECT_FALSE(s.Gui()->PromptForColor(&colour, "x"));

    RegisterPicture("upper.PNG", MakeSolidPicture(3, 2, Px(1, 2, 3)).get());
    const struct {
        const char* name;
        int w, h;
    } pictures[] = {{"resources/img/x11_back.png", E::kWidth, E::kHeight},
                    {"x11_back.png", E::kWidth, E::kHeight},
                    {"img/upper.PNG", 3, 2},
                    {"x11_back.bmp", 0, 0},
                    {"resources/img/missing.png", 0, 0},
                    {"png", 0, 0},
                    {nullptr, 0, 0}};
    for (const auto& p : pictures) {
        std::unique_ptr<Raster_IBitmap> bm(s.Gui()->OSLoadBitmap(0, p.name));
        EXPECT_EQ(bm ? bm->getWidth() : 0, p.w) << (p.name ? p.name : "null");
        EXPECT_EQ(bm ? bm->getHeight() : 0, p.h) << (p.name ? p.name : "null");
    }
}

} // namespace
