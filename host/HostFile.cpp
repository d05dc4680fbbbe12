#include "host/HostFile.h"

#include "host/HostText.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int HostOpenForReading(const std::string& path, std::string& err) {
    // O_NONBLOCK: opening a FIFO would otherwise wait for a writer. It is cleared again for reading.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        err = HostFormat("cannot open '%s': %s", path.c_str(), std::strerror(errno));
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        err = HostFormat("cannot read '%s': not a regular file", path.c_str());
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool HostReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& out,
                       std::string& err) {
    int fd = HostOpenForReading(path, err);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || static_cast<unsigned long long>(st.st_size) > maxBytes) {
        ::close(fd);
        err = HostFormat("cannot read '%s': larger than %zu bytes", path.c_str(), maxBytes);
        return false;
    }
    std::vector<uint8_t> data(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < data.size()) {
        ssize_t n = ::read(fd, data.data() + got, data.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int e = n < 0 ? errno : EIO;
            ::close(fd);
            err = HostFormat("cannot read '%s': %s", path.c_str(), std::strerror(e));
            return false;
        }
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    out.swap(data);
    return true;
}
