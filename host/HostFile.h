#pragma once
// Whole-file reading and all-or-nothing file writing for the command-line host.
//
// HostAtomicFile creates a temporary file next to the destination; the caller writes through its
// descriptor and calls Commit(), which renames the temporary over the destination. Without a
// successful Commit() the destructor removes the temporary, so a failed or interrupted write never
// leaves a half-written file at the destination (and never touches an existing one). One thread.
#include <cstdint>
#include <string>
#include <vector>

// Reads the whole regular file at path (at most maxBytes) into out. On failure returns false and
// sets err to a one-line reason that names the path.
bool HostReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& out, std::string& err);

class HostAtomicFile {
public:
    HostAtomicFile() = default;
    ~HostAtomicFile();
    HostAtomicFile(const HostAtomicFile&) = delete;
    HostAtomicFile& operator=(const HostAtomicFile&) = delete;

    // Creates the temporary file for path. False with err set when the folder cannot be written.
    bool Create(const std::string& path, std::string& err);
    // The temporary file's descriptor (-1 before Create, after Commit or after Release).
    int Descriptor() const { return mFd; }
    // Hands the descriptor to someone who closes it (for example a library writing through it);
    // the temporary file is still removed unless Commit succeeds.
    int ReleaseDescriptor();
    // Writes all bytes through the descriptor.
    bool WriteAll(const void* data, size_t size, std::string& err);
    // Flushes, closes and renames the temporary over the destination.
    bool Commit(std::string& err);
    const std::string& TempPath() const { return mTempPath; }

private:
    std::string mPath;
    std::string mTempPath;
    int mFd = -1;
    bool mDone = false;
};

// Writes bytes to path all-or-nothing through a HostAtomicFile.
bool HostWriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& err);
