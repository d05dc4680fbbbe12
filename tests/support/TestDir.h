#pragma once
// TestDir: a fresh temporary folder per test (/tmp/tidebloom-<tag>-XXXXXX), removed with everything in
// it when the holder goes away. Used on the test's thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

class TestDir {
public:
    explicit TestDir(const std::string& tag = "host-test") {
        std::string tmpl = "/tmp/tidebloom-" + tag + "-XXXXXX";
        const char* made = mkdtemp(tmpl.data());
        EXPECT_NE(made, nullptr);
        // Without a folder, files go nowhere (and nothing else is removed afterwards).
        mPath = made ? made : "/nonexistent/tidebloom-test";
    }
    ~TestDir() {
        std::error_code ec;
        std::filesystem::remove_all(mPath, ec);
    }
    TestDir(const TestDir&) = delete;
    TestDir& operator=(const TestDir&) = delete;
    std::string operator/(const std::string& name) const { return mPath + "/" + name; }
    const std::string& Path() const { return mPath; }
    // File names in the folder (sorted).
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        if (DIR* d = opendir(mPath.c_str())) {
            while (dirent* e = readdir(d)) {
                std::string n = e->d_name;
                if (n != "." && n != "..") names.push_back(n);
            }
            closedir(d);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    static bool Exists(const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0;
    }

private:
    std::string mPath;
};
