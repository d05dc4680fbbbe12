#include "framework/util/Util_AtomicFile.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Links followed before giving up, as the system does.
constexpr int kMaxLinks = 40;
// Temporary names tried before giving up.
constexpr int kMaxTempAttempts = 100;

} // namespace

bool Util_FollowLinks(const std::string& path, std::string& target) {
    std::string p = path;
    for (int i = 0; i < kMaxLinks; ++i) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = p;
            return true;
        }
        char buf[4096];
        const ssize_t n = ::readlink(p.c_str(), buf, sizeof buf);
        if (n <= 0 || static_cast<size_t>(n) >= sizeof buf) {
            if (n >= 0) errno = ENAMETOOLONG;
            return false;
        }
        const std::string link(buf, static_cast<size_t>(n));
        // A relative link is taken from the folder that holds it.
        const size_t slash = p.find_last_of('/');
        p = link[0] == '/' || slash == std::string::npos ? link : p.substr(0, slash + 1) + link;
    }
    errno = ELOOP;
    return false;
}

namespace {

std::string RandomSuffix() {
    uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
        timespec ts{};
        ::clock_gettime(CLOCK_MONOTONIC, &ts);
        bits = static_cast<uint64_t>(ts.tv_nsec) * 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(::getpid());
    }
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string s;
    for (int i = 0; i < 8; ++i, bits /= 62) s += kChars[bits % 62];
    return s;
}

// write() with SIGPIPE held back for this thread: a FIFO whose reader has gone gives EPIPE instead
// of ending the process (which may be a whole audio workstation).
ssize_t WriteWithoutSigpipe(int fd, const void* data, size_t size) {
    sigset_t pipeSet, old;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSet, &old);
    sigset_t pending;
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    const ssize_t n = ::write(fd, data, size);
    const int e = errno;
    if (n < 0 && e == EPIPE && !wasPending) {
        const timespec zero{};
        while (sigtimedwait(&pipeSet, nullptr, &zero) < 0 && errno == EINTR) {}
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = e;
    return n;
}

} // namespace

Util_AtomicFile::~Util_AtomicFile() {
    if (mFd >= 0) ::close(mFd);
    if (!mDone && !mTempPath.empty()) ::unlink(mTempPath.c_str());
}

bool Util_AtomicFile::Fail(const char* reason, std::string& err) const {
    err = "cannot write '" + mPath + "': " + reason;
    return false;
}

bool Util_AtomicFile::Create(const std::string& path, std::string& err) {
    if (mFd >= 0 || !mTempPath.empty()) return Fail("already writing", err);
    mPath = path;
    if (path.empty()) {
        err = "no output path given";
        return false;
    }
    struct stat st {};
    mode_t keepMode = 0;
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return Fail("it is a folder", err);
        if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) {
            // Never replaced: written in place, like any program writing to it would. Opened without
            // waiting, so a FIFO nobody reads is refused (ENXIO) instead of blocking for ever; writes wait.
            mFd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
            if (mFd < 0 && errno == ENXIO && S_ISFIFO(st.st_mode))
                return Fail("no program is reading this FIFO (start its reader first)", err);
            if (mFd < 0) return Fail(std::strerror(errno), err);
            ::fcntl(mFd, F_SETFL, ::fcntl(mFd, F_GETFL) & ~O_NONBLOCK);
            mDirect = true;
            return true;
        }
        if (S_ISBLK(st.st_mode)) return Fail("it is a block device", err);
        if (!S_ISREG(st.st_mode)) return Fail("it is not a regular file", err);
        keepMode = st.st_mode & 0777;
    } else if (errno != ENOENT) {
        return Fail(std::strerror(errno), err);
    }
    if (!Util_FollowLinks(path, mTarget)) return Fail(std::strerror(errno), err);

    // The temporary lives next to the target so that the final rename stays on one file system. It is
    // made with the usual permissions of a new file (the umask applies), or the replaced file's.
    for (int attempt = 0; attempt < kMaxTempAttempts; ++attempt) {
        std::string temp = mTarget + ".tmp-" + RandomSuffix();
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return Fail(std::strerror(errno), err);
        mFd = fd;
        mTempPath = temp;
        if (keepMode != 0) ::fchmod(fd, keepMode);
        return true;
    }
    return Fail(std::strerror(EEXIST), err);
}

bool Util_AtomicFile::WriteAll(const void* data, size_t size, std::string& err) {
    if (mFd < 0) return Fail("not open", err);
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = mDirect ? WriteWithoutSigpipe(mFd, p, size) : ::write(mFd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail(std::strerror(n < 0 ? errno : EIO), err);
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool Util_AtomicFile::Commit(std::string& err) {
    if (mDone || mFd < 0) return Fail("nothing to commit", err);
    const int fd = mFd;
    mFd = -1;
    if (::close(fd) != 0) return Fail(std::strerror(errno), err);
    if (!mDirect && ::rename(mTempPath.c_str(), mTarget.c_str()) != 0) return Fail(std::strerror(errno), err);
    mDone = true;
    return true;
}

bool Util_WriteWholeFile(const std::string& path, const void* data, size_t size, std::string& err) {
    Util_AtomicFile file;
    return file.Create(path, err) && file.WriteAll(data, size, err) && file.Commit(err);
}
