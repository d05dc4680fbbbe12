#pragma once
// HostOutputs: the one rule for every file tidebloom-host writes.
//
// A command names the files its run reads and must never lose (Protect: the input, the program and
// bank files it loads, the plug-in) and every file it writes (Add: -o, --save-fxp, --save-fxb,
// --plot, snapshot's -o), then calls Open once, before it renders or writes anything. Open refuses
//   - an output that is a protected file: the same device and inode, links followed;
//   - an output that is another output of the run: the same existing file (links followed), or, for
//     a name not there yet (a dangling link included), the same name in the same folder once links,
//     "./" and ".." are resolved;
//   - a FIFO for a format that cannot be written to a pipe (the caller says which: WAV and AIFF
//     rewrite their header at the end), before opening it;
//   - whatever Util_AtomicFile refuses: a folder, a block device, a socket, a missing folder, a FIFO
//     that no program reads (refused at once instead of waiting).
// Only then does it open every output through Util_AtomicFile: a temporary next to a regular file,
// a device or a FIFO in place. A refusal is one line, "OPTION: cannot write 'PATH': reason", and
// leaves nothing behind. The command writes each output through the Util_AtomicFile that Add
// returned (its owner is this object; writers never commit it) and calls Commit at the very end,
// which moves them all into place unless the run was interrupted. Without Commit the destructor
// removes every temporary, so a failed or interrupted run leaves every output as it was; while open,
// the temporaries are registered with HostInterrupt so that a second signal removes them too.
// Main thread only; one object per run.
#include "framework/util/Util_AtomicFile.h"

#include <csignal>
#include <memory>
#include <string>
#include <vector>

class HostOutputs {
public:
    HostOutputs() = default;
    ~HostOutputs();
    HostOutputs(const HostOutputs&) = delete;
    HostOutputs& operator=(const HostOutputs&) = delete;

    // A file the run reads. what names it in a refusal: "the input file given to -i", "the plug-in".
    void Protect(const std::string& what, const std::string& path);
    // A file the run writes, as option gives it. notForPipes names a format that cannot be written
    // to a pipe ("WAV"), or is null for one written front to back in one go. The file stays valid for
    // the object's life and is open once Open succeeded.
    Util_AtomicFile& Add(const std::string& option, const std::string& path,
                         const char* notForPipes = nullptr);
    // Applies the rule above and opens every output. False with err set (nothing left behind).
    bool Open(std::string& err);
    // Moves every output into place; false with err "interrupted" once cancel is non-zero (may be null).
    bool Commit(const volatile std::sig_atomic_t* cancel, std::string& err);

private:
    struct Protected {
        std::string what, path;
    };
    struct Output {
        std::string option, path;
        const char* notForPipes = nullptr;
        Util_AtomicFile file;
        int slot = -1; // HostInterrupt's registration of the temporary
    };
    bool Refuse(const Output& o, const std::string& reason, std::string& err) const;
    bool CheckOne(size_t index, std::string& err) const;
    void ForgetTemporaries();

    std::vector<Protected> mProtected;
    std::vector<std::unique_ptr<Output>> mOutputs;
};
