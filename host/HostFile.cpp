#include "host/HostFile.h"

#include "host/HostText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool HostReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& out,
                       std::string& err) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        err = HostFormat("cannot open '%s': %s", path.c_str(), std::strerror(errno));
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        err = HostFormat("cannot read '%s': not a regular file", path.c_str());
        return false;
    }
    if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
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

HostAtomicFile::~HostAtomicFile() {
    if (mFd >= 0) ::close(mFd);
    if (!mDone && !mTempPath.empty()) ::unlink(mTempPath.c_str());
}

bool HostAtomicFile::Create(const std::string& path, std::string& err) {
    if (path.empty()) {
        err = "no output path given";
        return false;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        err = HostFormat("cannot write '%s': it is a folder", path.c_str());
        return false;
    }
    mPath = path;
    // The temporary lives in the destination's folder so that the final rename stays on one file system.
    std::string tmpl = path + ".tmp-XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    mFd = ::mkostemp(name.data(), O_CLOEXEC);
    if (mFd < 0) {
        err = HostFormat("cannot write '%s': %s", path.c_str(), std::strerror(errno));
        return false;
    }
    mTempPath = name.data();
    // mkstemp creates the file private to the user; give it the usual permissions of a new file.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(mFd, 0666 & ~mask);
    return true;
}

int HostAtomicFile::ReleaseDescriptor() {
    int fd = mFd;
    mFd = -1;
    return fd;
}

bool HostAtomicFile::WriteAll(const void* data, size_t size, std::string& err) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::write(mFd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            err = HostFormat("cannot write '%s': %s", mPath.c_str(), std::strerror(n < 0 ? errno : EIO));
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool HostAtomicFile::Commit(std::string& err) {
    if (mTempPath.empty() || mDone) {
        err = HostFormat("cannot write '%s': nothing to commit", mPath.c_str());
        return false;
    }
    if (mFd >= 0) {
        int fd = mFd;
        mFd = -1;
        if (::close(fd) != 0) {
            err = HostFormat("cannot write '%s': %s", mPath.c_str(), std::strerror(errno));
            return false;
        }
    }
    if (::rename(mTempPath.c_str(), mPath.c_str()) != 0) {
        err = HostFormat("cannot write '%s': %s", mPath.c_str(), std::strerror(errno));
        return false;
    }
    mDone = true;
    return true;
}

bool HostWriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& err) {
    HostAtomicFile file;
    if (!file.Create(path, err)) return false;
    if (!file.WriteAll(bytes.data(), bytes.size(), err)) return false;
    return file.Commit(err);
}
