// The editor's remembered settings: where the file lives, what reads as a size (and what damaged
// content reads as: nothing), and writing it all-or-nothing.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "framework/platform/linux/LinuxEditorSettings.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestDir.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(EditorSettings, WhereTheFileLives) {
    TestDir home("settings");
    ScopedEnv h("HOME", home.Path().c_str());
    struct Case {
        const char* config; // XDG_CONFIG_HOME; null: unset
        const char* name;
        std::string path;
    };
    const Case cases[] = {
        {"/xdg/conf", "Tidebloom", "/xdg/conf/Tidebloom/editor.conf"},
        {"/xdg/conf/", "Tidebloom", "/xdg/conf/Tidebloom/editor.conf"},
        {nullptr, "Tidebloom", home.Path() + "/.config/Tidebloom/editor.conf"},
        {"relative/conf", "Tidebloom", home.Path() + "/.config/Tidebloom/editor.conf"},
        {"/c", "My Plug/in: 2", "/c/My_Plug_in__2/editor.conf"},
        {"/c", "..", "/c/editor/editor.conf"},
        {"/c", "", "/c/editor/editor.conf"},
    };
    for (const Case& c : cases) {
        ScopedEnv x("XDG_CONFIG_HOME", c.config);
        EXPECT_EQ(LinuxEditorSettingsPath(c.name), c.path)
            << (c.config ? c.config : "unset") << " " << c.name;
    }
}

TEST(EditorSettings, WhatReadsAsASize) {
    struct Case {
        std::string text;
        int size;
    };
    const Case cases[] = {
        {"size=150\n", 150},
        {"size=200", 200},
        {"size=100\r\n", 100},
        {"other=1\nsize=150\n", 150},
        {"size=150\nsize=200\n", 200},
        {"", 0},
        {"size=\n", 0},
        {"size=abc\n", 0},
        {"size=-150\n", 0},
        {"size=0\n", 0},
        {"size=1001\n", 0},
        {"size=99999999999\n", 0},
        {"size = 150\n", 0},
        {"size=150abc\n", 0},
        {"size=150\nsize=x\n", 0},
        {std::string("size=1\0"
                     "50\n",
                     10),
         0},
        {"\xff\xfe\x01garbage", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(LinuxParseEditorSize(c.text), c.size) << "'" << c.text << "'";
}

TEST(EditorSettings, WrittenAllOrNothingAndReadBack) {
    TestDir config("settings");
    ScopedEnv x("XDG_CONFIG_HOME", (config.Path() + "/deeper/conf").c_str());
    EXPECT_EQ(LinuxReadEditorSize("Tidebloom"), 0) << "missing";

    // The folders are made as needed; the file holds one line and nothing is left beside it.
    ASSERT_TRUE(LinuxWriteEditorSize("Tidebloom", 150));
    const std::string path = LinuxEditorSettingsPath("Tidebloom");
    EXPECT_EQ(ReadAll(path), "size=150\n");
    EXPECT_EQ(LinuxReadEditorSize("Tidebloom"), 150);
    ASSERT_TRUE(LinuxWriteEditorSize("Tidebloom", 200));
    EXPECT_EQ(LinuxReadEditorSize("Tidebloom"), 200);
    int files = 0;
    for ([[maybe_unused]] const auto& e :
         std::filesystem::directory_iterator(path.substr(0, path.rfind('/'))))
        ++files;
    EXPECT_EQ(files, 1) << "no temporary is left beside the file";
    EXPECT_FALSE(LinuxWriteEditorSize("Tidebloom", 0));
    EXPECT_FALSE(LinuxWriteEditorSize("Tidebloom", 5000));
    EXPECT_EQ(ReadAll(path), "size=200\n") << "a refused size leaves the file";

    // Damaged: too large to be ours, or garbage.
    WriteAll(path, "size=150\n" + std::string(5000, 'x'));
    EXPECT_EQ(LinuxReadEditorSize("Tidebloom"), 0);
    WriteAll(path, "\x01\x02size=");
    EXPECT_EQ(LinuxReadEditorSize("Tidebloom"), 0);

    // A folder where the file should be: nothing can be written, nothing read.
    ScopedEnv blocked("XDG_CONFIG_HOME", config.Path().c_str());
    ASSERT_EQ(::mkdir((config.Path() + "/Blocked").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((config.Path() + "/Blocked/editor.conf").c_str(), 0755), 0);
    EXPECT_FALSE(LinuxWriteEditorSize("Blocked", 150));
    EXPECT_EQ(LinuxReadEditorSize("Blocked"), 0);
    // A file where the folder should be.
    WriteAll(config.Path() + "/File", "x");
    EXPECT_FALSE(LinuxWriteEditorSize("File", 150));
}

} // namespace
