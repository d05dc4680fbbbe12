// Dialog tool command lines and answers, child processes started the safe way, and folders.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "framework/platform/linux/LinuxDialogs.h"
#include "framework/platform/linux/LinuxPaths.h"
#include "framework/platform/linux/LinuxProcess.h"
#include "tests/support/TestDir.h"

extern char** environ;

namespace {

using Args = std::vector<std::string>;

TEST(LinuxDialogs, MessageBoxCommands) {
    const struct {
        EDialogTool tool;
        int type;
        Args args;
    } cases[] = {
        {EDialogTool::kZenity,
         kMB_OK,
         {"zenity", "--info", "--modal", "--no-markup", "--title=Cap", "--text=Hi <b>", "--attach=77"}},
        {EDialogTool::kZenity,
         kMB_OKCANCEL,
         {"zenity", "--question", "--ok-label=OK", "--cancel-label=Cancel", "--modal", "--no-markup",
          "--title=Cap", "--text=Hi <b>", "--attach=77"}},
        {EDialogTool::kZenity,
         kMB_YESNO,
         {"zenity", "--question", "--ok-label=Yes", "--cancel-label=No", "--modal", "--no-markup",
          "--title=Cap", "--text=Hi <b>", "--attach=77"}},
        {EDialogTool::kZenity,
         kMB_YESNOCANCEL,
         {"zenity", "--question", "--ok-label=Yes", "--cancel-label=Cancel", "--extra-button=No", "--modal",
          "--no-markup", "--title=Cap", "--text=Hi <b>", "--attach=77"}},
        {EDialogTool::kKdialog,
         kMB_OK,
         {"kdialog", "--title", "Cap", "--attach", "77", "--msgbox", "Hi <b>"}},
        {EDialogTool::kKdialog,
         kMB_OKCANCEL,
         {"kdialog", "--title", "Cap", "--attach", "77", "--yes-label", "OK", "--no-label", "Cancel",
          "--yesno", "Hi <b>"}},
        {EDialogTool::kKdialog,
         kMB_YESNO,
         {"kdialog", "--title", "Cap", "--attach", "77", "--yesno", "Hi <b>"}},
        {EDialogTool::kKdialog,
         kMB_YESNOCANCEL,
         {"kdialog", "--title", "Cap", "--attach", "77", "--yesnocancel", "Hi <b>"}},
    };
    for (const auto& c : cases) {
        DialogCommand cmd;
        cmd.mTool = c.tool;
        MessageBoxCommand(&cmd, "Hi <b>", "Cap", c.type, 77);
        EXPECT_EQ(cmd.mArgs, c.args) << c.type;
    }
    DialogCommand noParent;
    noParent.mTool = EDialogTool::kZenity;
    MessageBoxCommand(&noParent, nullptr, nullptr, kMB_OK, 0);
    EXPECT_EQ(noParent.mArgs, (Args{"zenity", "--info", "--modal", "--no-markup", "--title=", "--text="}));
}

TEST(LinuxDialogs, MessageBoxAnswers) {
    const auto Z = EDialogTool::kZenity, K = EDialogTool::kKdialog;
    const struct {
        EDialogTool tool;
        int type, exitCode;
        const char* output;
        int answer;
    } cases[] = {
        {Z, kMB_OK, 0, "", kMB_First},
        {Z, kMB_OK, 1, "", kMB_First},
        {Z, kMB_OKCANCEL, 0, "", kMB_First},
        {Z, kMB_OKCANCEL, 1, "", kMB_Second},
        {Z, kMB_YESNO, 1, "", kMB_Second},
        {Z, kMB_YESNOCANCEL, 0, "", kMB_First},
        {Z, kMB_YESNOCANCEL, 1, "No\n", kMB_Second},
        {Z, kMB_YESNOCANCEL, 1, "", kMB_Third},
        {Z, kMB_YESNO, 5, "", kMB_None},
        {Z, kMB_YESNO, 255, "", kMB_None},
        {Z, kMB_YESNO, -1, "", kMB_None},
        {K, kMB_YESNOCANCEL, 1, "", kMB_Second},
        {K, kMB_YESNOCANCEL, 2, "", kMB_Third},
        {K, kMB_YESNO, 2, "", kMB_None},
        {K, kMB_OK, 0, "", kMB_First},
        {EDialogTool::kNone, kMB_OK, 0, "", kMB_None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MessageBoxAnswer(c.tool, c.type, c.exitCode, c.output), c.answer)
            << c.type << " " << c.exitCode;
}

TEST(LinuxDialogs, FilePrompts) {
    DialogCommand z;
    z.mTool = EDialogTool::kZenity;
    FilePromptCommand(&z, kFileSave, "/home/u/Desktop", "bank.fxb", "fxp fxb", 9);
    EXPECT_EQ(z.mArgs, (Args{"zenity", "--file-selection", "--modal", "--filename=/home/u/Desktop/bank.fxb",
                             "--save", "--confirm-overwrite", "--file-filter=*.fxp *.fxb", "--attach=9"}));
    FilePromptCommand(&z, kFileOpen, "/tmp", "", "", 0);
    EXPECT_EQ(z.mArgs, (Args{"zenity", "--file-selection", "--modal", "--filename=/tmp/"}));
    DialogCommand k;
    k.mTool = EDialogTool::kKdialog;
    FilePromptCommand(&k, kFileOpen, "/tmp", "a.fxp", "fxp  fxb", 9);
    EXPECT_EQ(k.mArgs, (Args{"kdialog", "--attach", "9", "--getopenfilename", "/tmp/a.fxp", "*.fxp *.fxb"}));

    const struct {
        int exitCode;
        const char* output;
        bool ok;
        const char* path;
    } answers[] = {
        {0, "/tmp/a b.fxp\n", true, "/tmp/a b.fxp"},
        {0, "/tmp/x\r\n", true, "/tmp/x"},
        {1, "/tmp/x\n", false, ""},
        {0, "", false, ""},
        {0, "relative.fxp\n", false, ""},
        {0, "/a\n/b\n", false, ""},
        {-1, "/a", false, ""},
    };
    for (const auto& a : answers) {
        std::string path;
        EXPECT_EQ(FilePromptAnswer(a.exitCode, a.output, &path), a.ok) << a.output;
        EXPECT_EQ(path, a.path);
    }
}

// A scratch folder removed afterwards, with files written into it.
struct TempDir : TestDir {
    TempDir() : TestDir("linux") {}
    std::string Write(const std::string& name, const std::string& text, bool executable) {
        const std::string file = *this / name;
        std::ofstream(file) << text;
        chmod(file.c_str(), executable ? 0755 : 0644);
        return file;
    }
};

// Runs p to its end (bounded), collecting its output.
void Finish(LinuxProcess& p) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (p.OutputFd() >= 0) {
            pollfd f{p.OutputFd(), POLLIN, 0};
            poll(&f, 1, 50);
            p.ReadAvailable();
        } else if (p.TryReap()) {
            return;
        } else {
            usleep(5000);
        }
    }
}

TEST(LinuxProcess, ChildEnvironment) {
    const char* env[] = {"PATH=/bin", "LD_LIBRARY_PATH=/host/libs", "DISPLAY=:0", "LD_LIBRARY_PATHX=keep",
                         nullptr};
    EXPECT_EQ(LinuxChildEnvironment(env, {"DISPLAY=:7"}),
              (Args{"PATH=/bin", "LD_LIBRARY_PATHX=keep", "DISPLAY=:7"}));
    EXPECT_EQ(LinuxChildEnvironment(nullptr), Args{});
}

TEST(LinuxProcess, StartsCleanAndReaps) {
    TempDir dir;
    // Reports what it was given: arguments, environment, descriptors and where it runs.
    const std::string script = dir.Write("report", R"SH(#!/bin/sh
for a in "$@"; do echo "arg:$a"; done
echo "ld:${LD_LIBRARY_PATH-unset}"
echo "cwd:$(pwd)"
read line; echo "stdin:${line-none}"
for f in /proc/$$/fd/*; do echo "fd:${f##*/}:$(readlink "$f")"; done
exit 3
)SH",
                                         true);
    // A descriptor the host left without close-on-exec must not reach the child.
    const std::string marker = dir.Write("marker", "", false);
    const int leaked = open(marker.c_str(), O_RDONLY);
    ASSERT_GE(leaked, 0);
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof(cwd)));

    // The host's library path (set here as a host sets it) stays with the host.
    const char* hostLibs = getenv("LD_LIBRARY_PATH");
    const std::string savedLibs = hostLibs ? hostLibs : "";
    setenv("LD_LIBRARY_PATH", "/host/bundled/libs", 1);
    const Args env = LinuxChildEnvironment(environ);
    if (hostLibs)
        setenv("LD_LIBRARY_PATH", savedLibs.c_str(), 1);
    else
        unsetenv("LD_LIBRARY_PATH");
    LinuxProcess p;
    ASSERT_TRUE(p.Start(script, {"report", "a b", "$HOME", "--x=;rm -rf"}, env, true));
    Finish(p);
    close(leaked);
    EXPECT_FALSE(p.Running());
    EXPECT_EQ(p.ExitCode(), 3);
    const std::string out = p.Output();
    EXPECT_NE(out.find("arg:a b\narg:$HOME\narg:--x=;rm -rf\n"), std::string::npos) << out;
    EXPECT_NE(out.find("ld:unset\n"), std::string::npos) << out;
    EXPECT_NE(out.find("cwd:" + std::string(cwd) + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("stdin:\n"), std::string::npos) << out; // /dev/null: nothing to read
    EXPECT_EQ(out.find(marker), std::string::npos) << out;
    EXPECT_NE(out.find("fd:0:/dev/null"), std::string::npos) << out;
    EXPECT_NE(out.find("fd:2:/dev/null"), std::string::npos) << out;
    char now[4096];
    ASSERT_TRUE(getcwd(now, sizeof(now)));
    EXPECT_STREQ(now, cwd);
}

TEST(LinuxProcess, TerminateDetachAndFailures) {
    LinuxProcess sleeper;
    ASSERT_TRUE(sleeper.Start("/bin/sleep", {"sleep", "60"}, {}, false));
    const pid_t pid = sleeper.Pid();
    EXPECT_FALSE(sleeper.TryReap());
    const auto t0 = std::chrono::steady_clock::now();
    sleeper.Terminate();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    EXPECT_FALSE(sleeper.Running());
    EXPECT_EQ(kill(pid, 0), -1) << "reaped, not a zombie";

    LinuxProcess detached;
    ASSERT_TRUE(detached.Start("/bin/true", {"true"}, {}, false));
    detached.Detach();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (LinuxAdoptedCount() > 0 && std::chrono::steady_clock::now() < deadline) {
        LinuxReapAdopted();
        usleep(5000);
    }
    EXPECT_EQ(LinuxAdoptedCount(), 0);

    LinuxProcess missing;
    EXPECT_FALSE(missing.Start("/nonexistent/tool", {"tool"}, {}, true));
    EXPECT_FALSE(missing.Start("/bin/true", {}, {}, false));
    EXPECT_EQ(missing.OutputFd(), -1);
}

TEST(LinuxProcess, FindExecutable) {
    TempDir dir;
    dir.Write("zenity", "#!/bin/sh\n", true);
    dir.Write("plain", "", false);
    const std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", ("relative:" + dir.Path() + ":/bin").c_str(), 1);
    EXPECT_EQ(LinuxFindExecutable("zenity"), dir.Path() + "/zenity");
    EXPECT_EQ(LinuxFindExecutable("plain"), "");
    EXPECT_EQ(LinuxFindExecutable("sh"), "/bin/sh");
    EXPECT_EQ(LinuxFindExecutable(""), "");
    EXPECT_EQ(LinuxFindExecutable((dir.Path() + "/zenity").c_str()), dir.Path() + "/zenity");
    setenv("PATH", oldPath.c_str(), 1);
}

TEST(LinuxPaths, UserDirsFile) {
    const std::string text =
        "# comment\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n  XDG_MUSIC_DIR=\"/data/music/\"\n"
        "XDG_VIDEOS_DIR=\"$HOMEx/v\"\nXDG_TEMPLATES_DIR=relative\nXDG_PUBLICSHARE_DIR=\"$HOME\"\n";
    const struct {
        const char* key;
        const char* dir;
    } cases[] = {
        {"DESKTOP", "/home/u/Schreibtisch"}, {"MUSIC", "/data/music"}, {"VIDEOS", ""}, {"TEMPLATES", ""},
        {"PUBLICSHARE", "/home/u"},          {"DOWNLOAD", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(LinuxParseUserDir(text, c.key, "/home/u"), c.dir) << c.key;
}

TEST(LinuxPaths, FoldersFromTheEnvironment) {
    TempDir dir;
    const char* names[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS"};
    std::string saved[4];
    bool wasSet[4];
    for (int i = 0; i < 4; ++i) {
        const char* v = getenv(names[i]);
        wasSet[i] = v != nullptr;
        saved[i] = v ? v : "";
    }
    setenv("HOME", (dir.Path() + "/").c_str(), 1);
    setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    dir.Write("user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n", false);
    EXPECT_EQ(LinuxHomeFolder(), dir.Path());
    EXPECT_EQ(LinuxUserDir("DESKTOP", "Desktop"), dir.Path() + "/Bureau");
    EXPECT_EQ(LinuxUserDir("MUSIC", "Music"), dir.Path() + "/Music");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(LinuxDataHome(), dir.Path() + "/.local/share");
    setenv("XDG_DATA_HOME", "/srv/data/", 1);
    EXPECT_EQ(LinuxDataHome(), "/srv/data");
    setenv("XDG_DATA_DIRS", "/opt/share/:/usr/share", 1);
    EXPECT_EQ(LinuxSystemDataDir(), "/opt/share");
    unsetenv("XDG_DATA_DIRS");
    EXPECT_EQ(LinuxSystemDataDir(), "/usr/local/share");
    for (int i = 0; i < 4; ++i) {
        if (!wasSet[i])
            unsetenv(names[i]);
        else
            setenv(names[i], saved[i].c_str(), 1);
    }
}

TEST(LinuxPaths, ExecutableAndModule) {
    const std::string exe = LinuxExecutablePath();
    ASSERT_FALSE(exe.empty());
    // This test program holds the code: its module folder is the executable's folder.
    EXPECT_EQ(LinuxModuleFolder(reinterpret_cast<const void*>(&LinuxModuleFolder)),
              exe.substr(0, exe.rfind('/') + 1));
    EXPECT_EQ(LinuxModuleFolder(nullptr), "");
}

} // namespace
