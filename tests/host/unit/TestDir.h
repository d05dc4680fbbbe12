#pragma once
// A fresh temporary folder per test, removed with everything in it afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

class TestDir {
public:
    TestDir() {
        char tmpl[] = "/tmp/tidebloom-host-test-XXXXXX";
        const char* made = mkdtemp(tmpl);
        EXPECT_NE(made, nullptr);
        mPath = made ? made : "/tmp";
    }
    ~TestDir() {
        for (const std::string& name : Entries()) ::unlink((mPath + "/" + name).c_str());
        ::rmdir(mPath.c_str());
    }
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
