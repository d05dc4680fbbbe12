#pragma once
// Util_AtomicFile: all-or-nothing writing of one file, shared by the plug-in's program, bank and
// preset dump files and by tidebloom-host's outputs.
//
// Create() looks at what the path names. A new path or an existing regular file gets a temporary
// file in the same folder; the caller writes through Descriptor() or WriteAll() and Commit() renames
// the temporary over the destination, keeping an existing file's permission bits. Without a
// successful Commit() the destructor removes the temporary, so a failed or interrupted write leaves
// an existing file exactly as it was. A symbolic link is followed to its final target, which is the
// file replaced (the link itself stays a link, also when it dangles). A character device or a FIFO
// is never replaced: it is opened and written directly (`/dev/null`, a FIFO another program reads).
// A FIFO is opened without waiting: one that no program has open for reading is refused, since
// writing to it would wait for ever. Folders, block devices and sockets are refused.
//
// Errors are one line naming the path: "cannot write 'PATH': reason". One object belongs to one
// thread; it performs blocking file operations, so callers hold no lock that an audio thread takes.
#include <cstddef>
#include <string>

class Util_AtomicFile {
public:
    Util_AtomicFile() = default;
    ~Util_AtomicFile();
    Util_AtomicFile(const Util_AtomicFile&) = delete;
    Util_AtomicFile& operator=(const Util_AtomicFile&) = delete;

    // Prepares writing path (see above). False with err set when it cannot be written.
    bool Create(const std::string& path, std::string& err);
    // The descriptor to write through (-1 before Create and after Commit); the object closes it.
    int Descriptor() const { return mFd; }
    // True when the destination is written in place (a device or a FIFO), not through a temporary.
    bool IsDirect() const { return mDirect; }
    // The path given to Create, and the temporary written until Commit renames it (empty when direct).
    const std::string& Path() const { return mPath; }
    const std::string& TempPath() const { return mTempPath; }
    // Writes all bytes through the descriptor.
    bool WriteAll(const void* data, size_t size, std::string& err);
    // Closes the descriptor and, for a temporary, renames it over the destination.
    bool Commit(std::string& err);

private:
    bool Fail(const char* reason, std::string& err) const;

    std::string mPath;     // as given, for messages
    std::string mTarget;   // the file replaced: mPath with its symbolic links followed
    std::string mTempPath; // empty when writing directly
    int mFd = -1;
    bool mDirect = false;
    bool mDone = false;
};

// The file Create writes for path: path with the symbolic links of its last component followed, as
// far as they go (a dangling link gives the name it points to). False with errno set on a loop.
bool Util_FollowLinks(const std::string& path, std::string& target);

// Writes size bytes to path all-or-nothing through a Util_AtomicFile.
bool Util_WriteWholeFile(const std::string& path, const void* data, size_t size, std::string& err);
