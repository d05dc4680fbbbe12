#include "framework/platform/linux/LinuxPaths.h"

#include <dlfcn.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

std::string EnvAbsolute(const char* name) {
    const char* v = std::getenv(name);
    return v && v[0] == '/' ? std::string(v) : std::string();
}

std::string WithoutTrailingSlash(std::string s) {
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

} // namespace

std::string LinuxExecutablePath() {
    char buf[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0) return std::string();
    return std::string(buf, static_cast<size_t>(n));
}

std::string LinuxModuleFile(const void* address) {
    Dl_info info{};
    if (!address || !dladdr(address, &info) || !info.dli_fname || !info.dli_fname[0]) return std::string();
    std::string file = info.dli_fname;
    // The main executable may be reported by its bare name.
    if (file.find('/') == std::string::npos) file = LinuxExecutablePath();
    if (file.find('/') == std::string::npos) return std::string();
    // A path relative to where the host started; links in it are kept.
    if (file[0] != '/') {
        char cwd[PATH_MAX + 1];
        if (!getcwd(cwd, sizeof(cwd))) return std::string();
        file = std::string(cwd) + "/" + file;
    }
    return file;
}

std::string LinuxModuleFolder(const void* address) {
    const std::string file = LinuxModuleFile(address);
    return file.empty() ? file : file.substr(0, file.rfind('/') + 1);
}

std::string LinuxResourceFolder(const void* address) {
    const std::string file = LinuxModuleFile(address);
    if (file.empty()) return file;
    const size_t slash = file.rfind('/');
    std::string stem = file.substr(slash + 1);
    const size_t dot = stem.rfind('.');
    if (dot != std::string::npos && dot > 0) stem.resize(dot);
    return file.substr(0, slash + 1) + stem + ".resources/";
}

std::string LinuxHomeFolder() {
    std::string home = EnvAbsolute("HOME");
    if (!home.empty()) return WithoutTrailingSlash(home);
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result && result->pw_dir)
        return WithoutTrailingSlash(result->pw_dir);
    return "/";
}

std::string LinuxParseUserDir(const std::string& text, const char* key, const std::string& home) {
    const std::string prefix = std::string("XDG_") + key + "_DIR=";
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, prefix.size(), prefix) != 0) continue;
        std::string value = line.substr(start + prefix.size());
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
            value.pop_back();
        if (value.size() < 2 || value.front() != '"' || value.back() != '"') return std::string();
        value = value.substr(1, value.size() - 2);
        if (value.compare(0, 5, "$HOME") == 0 && (value.size() == 5 || value[5] == '/'))
            return WithoutTrailingSlash(home + value.substr(5));
        if (!value.empty() && value[0] == '/') return WithoutTrailingSlash(value);
        return std::string();
    }
    return std::string();
}

std::string LinuxConfigHome() {
    const std::string config = EnvAbsolute("XDG_CONFIG_HOME");
    return config.empty() ? LinuxHomeFolder() + "/.config" : WithoutTrailingSlash(config);
}

std::string LinuxUserDir(const char* key, const char* fallback) {
    const std::string home = LinuxHomeFolder();
    std::ifstream f(LinuxConfigHome() + "/user-dirs.dirs");
    if (f) {
        std::stringstream ss;
        ss << f.rdbuf();
        std::string dir = LinuxParseUserDir(ss.str(), key, home);
        if (!dir.empty()) return dir;
    }
    return home + "/" + fallback;
}

std::string LinuxDataHome() {
    std::string d = EnvAbsolute("XDG_DATA_HOME");
    return d.empty() ? LinuxHomeFolder() + "/.local/share" : WithoutTrailingSlash(d);
}

std::string LinuxSystemDataDir() {
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    if (dirs && dirs[0] == '/') {
        std::string first(dirs, std::strcspn(dirs, ":"));
        return WithoutTrailingSlash(first);
    }
    return "/usr/local/share";
}
