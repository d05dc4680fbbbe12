#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include "framework/util/Util_AtomicFile.h"
#include "tests/support/TestDir.h"

namespace {

namespace fs = std::filesystem;

class Folder : public TestDir {
public:
    Folder() : TestDir("atomic") {}
    // Names of leftover temporaries anywhere below the folder.
    std::vector<std::string> Temporaries() const {
        std::vector<std::string> found;
        for (const auto& e : fs::recursive_directory_iterator(Path()))
            if (e.path().filename().string().find(".tmp-") != std::string::npos) found.push_back(e.path());
        return found;
    }
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void Put(const std::string& path, const std::string& text, mode_t mode = 0644) {
    std::ofstream(path, std::ios::binary) << text;
    ::chmod(path.c_str(), mode);
}

mode_t TypeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

mode_t PermissionsOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

std::string LinkOf(const std::string& path) {
    char buf[4096];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

const std::string kText = "new contents\n";

// Every kind of thing a path may name, what writing kText to it must give, and what must hold after.
TEST(UtilAtomicFile, WhatEachKindOfPathBecomes) {
    const mode_t mask = ::umask(022);
    struct Case {
        const char* name;
        std::function<std::string(const Folder&)> make; // creates what the path names; "" skips the case
        const char* error;                              // null: the write succeeds
        std::function<void(const Folder&)> check;
    };
    const Case cases[] = {
        {"new file", [](const Folder& d) { return d / "new"; }, nullptr,
         [](const Folder& d) {
             EXPECT_EQ(Slurp(d / "new"), kText);
             EXPECT_EQ(PermissionsOf(d / "new"), 0644u); // 0666 less the umask
         }},
        {"file replaced, keeping its permissions",
         [](const Folder& d) {
             Put(d / "old", "previous", 0640);
             return d / "old";
         },
         nullptr,
         [](const Folder& d) {
             EXPECT_EQ(Slurp(d / "old"), kText);
             EXPECT_EQ(PermissionsOf(d / "old"), 0640u);
         }},
        {"link to a file",
         [](const Folder& d) {
             Put(d / "target", "previous");
             ::symlink("target", (d / "link").c_str());
             return d / "link";
         },
         nullptr,
         [](const Folder& d) {
             EXPECT_EQ(TypeOf(d / "link"), static_cast<mode_t>(S_IFLNK));
             EXPECT_EQ(LinkOf(d / "link"), "target");
             EXPECT_EQ(Slurp(d / "target"), kText);
         }},
        {"chain of relative and absolute links",
         [](const Folder& d) {
             fs::create_directory(d / "sub");
             Put(d / "sub/target", "previous");
             ::symlink((d / "sub/target").c_str(), (d / "sub/abs").c_str());
             ::symlink("sub/abs", (d / "first").c_str());
             return d / "first";
         },
         nullptr,
         [](const Folder& d) {
             EXPECT_EQ(LinkOf(d / "first"), "sub/abs");
             EXPECT_EQ(LinkOf(d / "sub/abs"), d / "sub/target");
             EXPECT_EQ(Slurp(d / "sub/target"), kText);
         }},
        {"dangling link",
         [](const Folder& d) {
             fs::create_directory(d / "sub");
             ::symlink("sub/made", (d / "dangling").c_str());
             return d / "dangling";
         },
         nullptr,
         [](const Folder& d) {
             EXPECT_EQ(TypeOf(d / "dangling"), static_cast<mode_t>(S_IFLNK));
             EXPECT_EQ(Slurp(d / "sub/made"), kText);
         }},
        {"FIFO with a reader",
         [](const Folder& d) { return ::mkfifo((d / "fifo").c_str(), 0600) == 0 ? d / "fifo" : ""; }, nullptr,
         [](const Folder& d) { EXPECT_EQ(TypeOf(d / "fifo"), static_cast<mode_t>(S_IFIFO)); }},
        {"FIFO nobody reads: refused at once, not waited for",
         [](const Folder& d) { return ::mkfifo((d / "unread").c_str(), 0600) == 0 ? d / "unread" : ""; },
         "no program is reading this FIFO",
         [](const Folder& d) { EXPECT_EQ(TypeOf(d / "unread"), static_cast<mode_t>(S_IFIFO)); }},
        {"/dev/null", [](const Folder&) { return std::string("/dev/null"); }, nullptr,
         [](const Folder&) { EXPECT_EQ(TypeOf("/dev/null"), static_cast<mode_t>(S_IFCHR)); }},
        {"/dev/full", [](const Folder&) { return std::string("/dev/full"); },
         "cannot write '/dev/full': No space left on device",
         [](const Folder&) { EXPECT_EQ(TypeOf("/dev/full"), static_cast<mode_t>(S_IFCHR)); }},
        {"folder",
         [](const Folder& d) {
             fs::create_directory(d / "sub");
             return d / "sub";
         },
         "it is a folder",
         [](const Folder& d) { EXPECT_EQ(TypeOf(d / "sub"), static_cast<mode_t>(S_IFDIR)); }},
        {"missing folder", [](const Folder& d) { return d / "none/x"; }, "No such file or directory",
         [](const Folder& d) { EXPECT_FALSE(fs::exists(d / "none")); }},
        {"link loop",
         [](const Folder& d) {
             ::symlink("b", (d / "a").c_str());
             ::symlink("a", (d / "b").c_str());
             return d / "a";
         },
         "Too many levels of symbolic links", [](const Folder& d) { EXPECT_EQ(LinkOf(d / "a"), "b"); }},
        {"socket",
         [](const Folder& d) {
             const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un addr{};
             addr.sun_family = AF_UNIX;
             std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", (d / "sock").c_str());
             const bool bound = ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
             ::close(s);
             return bound ? d / "sock" : "";
         },
         "it is not a regular file",
         [](const Folder& d) { EXPECT_EQ(TypeOf(d / "sock"), static_cast<mode_t>(S_IFSOCK)); }},
        {"block device (made only where the test may)",
         [](const Folder& d) {
             return ::mknod((d / "blk").c_str(), S_IFBLK | 0600, makedev(7, 250)) == 0 ? d / "blk" : "";
         },
         "it is a block device",
         [](const Folder& d) { EXPECT_EQ(TypeOf(d / "blk"), static_cast<mode_t>(S_IFBLK)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Folder d;
        const std::string path = c.make(d);
        if (path.empty()) continue;
        // A FIFO's reader is there before the write (the text fits in the pipe's buffer).
        const int reader = TypeOf(path) == S_IFIFO && !path.ends_with("unread")
                               ? ::open(path.c_str(), O_RDONLY | O_NONBLOCK)
                               : -1;
        std::string err;
        const bool ok = Util_WriteWholeFile(path, kText.data(), kText.size(), err);
        if (reader >= 0) {
            char buf[256];
            const ssize_t n = ::read(reader, buf, sizeof buf);
            ::close(reader);
            EXPECT_EQ(std::string(buf, static_cast<size_t>(std::max<ssize_t>(n, 0))), kText);
        }
        if (c.error) {
            EXPECT_FALSE(ok);
            EXPECT_NE(err.find(c.error), std::string::npos) << err;
            EXPECT_EQ(err.rfind("cannot write '" + path + "': ", 0), 0u) << err;
        } else {
            EXPECT_TRUE(ok) << err;
        }
        c.check(d);
        EXPECT_TRUE(d.Temporaries().empty());
    }
    ::umask(mask);
}

TEST(UtilAtomicFile, AnUnfinishedWriteLeavesTheOldFile) {
    Folder d;
    Put(d / "kept", "previous");
    std::string err;
    {
        Util_AtomicFile f;
        ASSERT_TRUE(f.Create(d / "kept", err)) << err;
        EXPECT_FALSE(f.IsDirect());
        ASSERT_TRUE(f.WriteAll(kText.data(), kText.size(), err)) << err;
        EXPECT_EQ(d.Temporaries().size(), 1u);
        EXPECT_EQ(Slurp(d / "kept"), "previous");
    } // no Commit
    EXPECT_EQ(Slurp(d / "kept"), "previous");
    EXPECT_TRUE(d.Temporaries().empty());

    Util_AtomicFile f;
    EXPECT_FALSE(f.Create("", err));
    EXPECT_EQ(err, "no output path given");
    ASSERT_TRUE(f.Create(d / "kept", err)) << err;
    EXPECT_FALSE(f.Create(d / "other", err)); // one destination per object
    ASSERT_TRUE(f.Commit(err)) << err;
    EXPECT_EQ(Slurp(d / "kept"), "");
    EXPECT_FALSE(f.Commit(err));
    EXPECT_FALSE(f.WriteAll("x", 1, err));
}

} // namespace
