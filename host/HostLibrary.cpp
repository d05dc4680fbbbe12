#include "host/HostLibrary.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/HostText.h"

bool HostCheckSharedObject(const std::string& path, std::string& err) {
    // Opened without waiting, so that a FIFO is refused instead of blocking until someone writes to it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        err = HostFormat("cannot open plug-in '%s': %s", path.c_str(), std::strerror(errno));
        return false;
    }
    struct stat st {};
    unsigned char magic[4] = {0, 0, 0, 0};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const ssize_t got = regular ? ::read(fd, magic, 4) : 0;
    ::close(fd);
    if (!regular) {
        err = HostFormat("cannot open plug-in '%s': not a regular file", path.c_str());
        return false;
    }
    if (got != 4 || std::memcmp(magic,
                                "\x7f"
                                "ELF",
                                4) != 0) {
        err = HostFormat("'%s' is not a plug-in (not a shared library)", path.c_str());
        return false;
    }
    return true;
}

void* HostOpenLibrary(const std::string& path, std::string& err) {
    const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
    void* library = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        const std::string text = why ? HostCleanText(why, std::strlen(why)) : std::string("unknown reason");
        err = HostFormat("cannot load plug-in '%s': %s", path.c_str(), text.c_str());
    }
    return library;
}

void* HostOwnSymbol(void* library, const char* name) {
    void* sym = library ? dlsym(library, name) : nullptr;
    if (!sym) return nullptr;
    struct link_map* map = nullptr;
    Dl_info info{};
    if (dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || !map || dladdr(sym, &info) == 0 || !info.dli_fname)
        return nullptr;
    return std::strcmp(info.dli_fname, map->l_name) == 0 ? sym : nullptr;
}
