#include "framework/platform/linux/LinuxEditorSettings.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "framework/platform/linux/LinuxPaths.h"
#include "framework/util/Util_AtomicFile.h"

namespace {

constexpr std::streamsize kMaxFileSize = 4096;
constexpr int kMaxPercent = 1000;

std::string FolderName(const char* plugName) {
    std::string name;
    for (const char* p = plugName ? plugName : ""; *p; ++p) {
        const char c = *p;
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '-' || c == '_' || c == '.';
        name += keep ? c : '_';
    }
    // "." and ".." would name other folders.
    if (name.empty() || name == "." || name == "..") name = "editor";
    return name;
}

// Makes the folder (and its parents) when missing; true when it exists afterwards.
bool MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = slash == std::string::npos ? path : path.substr(0, slash);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::string LinuxEditorSettingsPath(const char* plugName) {
    return LinuxConfigHome() + "/" + FolderName(plugName) + "/editor.conf";
}

int LinuxParseEditorSize(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    int size = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, 5, "size=") != 0) continue;
        const std::string digits = line.substr(5);
        if (digits.empty() || digits.size() > 4 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            return 0;
        size = 0;
        for (char d : digits) size = size * 10 + (d - '0');
        if (size < 1 || size > kMaxPercent) return 0;
    }
    return size;
}

int LinuxReadEditorSize(const char* plugName) {
    std::ifstream f(LinuxEditorSettingsPath(plugName), std::ios::binary);
    if (!f) return 0;
    std::string text(kMaxFileSize + 1, '\0');
    f.read(text.data(), kMaxFileSize + 1);
    if (f.gcount() > kMaxFileSize) return 0;
    text.resize(static_cast<size_t>(f.gcount()));
    return LinuxParseEditorSize(text);
}

bool LinuxWriteEditorSize(const char* plugName, int percent) {
    if (percent < 1 || percent > kMaxPercent) return false;
    const std::string path = LinuxEditorSettingsPath(plugName);
    if (!MakeFolders(path.substr(0, path.rfind('/')))) return false;
    // (snprintf, not std::to_string: that would leave a unique symbol in every module linking this, which
    // keeps a module from unloading.)
    char text[16];
    const int n = std::snprintf(text, sizeof text, "size=%d\n", percent);
    std::string err;
    return Util_WriteWholeFile(path, text, static_cast<size_t>(n), err);
}
