#include "host/HostOutputs.h"

#include "host/HostInterrupt.h"

#include <sys/stat.h>

namespace {

// What a path leads to: an existing file (device and inode, links followed) or, for a name not there
// yet, the folder it would be made in and the name it would take there (Util_AtomicFile's target).
struct Identity {
    enum EKind { kUnknown, kFile, kName } kind = kUnknown;
    dev_t dev = 0;
    ino_t ino = 0;
    std::string name;
};

Identity IdentityOf(const std::string& path) {
    Identity id;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        id.kind = Identity::kFile;
        id.dev = st.st_dev;
        id.ino = st.st_ino;
        return id;
    }
    std::string target;
    if (!Util_FollowLinks(path, target)) return id;
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    // The folder is looked up by the system, so "./", "..", and linked folders lead where they lead.
    if (name.empty() || ::stat(folder.c_str(), &st) != 0) return id; // creating it fails anyway
    id.kind = Identity::kName;
    id.dev = st.st_dev;
    id.ino = st.st_ino;
    id.name = name;
    return id;
}

bool Same(const Identity& a, const Identity& b) {
    return a.kind != Identity::kUnknown && a.kind == b.kind && a.dev == b.dev && a.ino == b.ino &&
           a.name == b.name;
}

// Written in place rather than through a temporary (Util_AtomicFile's rule).
bool IsDeviceOrFifo(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode));
}

} // namespace

HostOutputs::~HostOutputs() {
    // Each temporary is removed before its registration is dropped, so a signal in between finds it
    // already gone rather than left behind.
    for (std::unique_ptr<Output>& o : mOutputs) {
        const int slot = o->slot;
        o.reset();
        HostForgetTemporary(slot);
    }
}

void HostOutputs::Protect(const std::string& what, const std::string& path) {
    if (!path.empty()) mProtected.push_back({what, path});
}

Util_AtomicFile& HostOutputs::Add(const std::string& option, const std::string& path,
                                  const char* notForPipes) {
    auto o = std::make_unique<Output>();
    o->option = option;
    o->path = path;
    o->notForPipes = notForPipes;
    mOutputs.push_back(std::move(o));
    return mOutputs.back()->file;
}

bool HostOutputs::Refuse(const Output& o, const std::string& reason, std::string& err) const {
    err = o.option + ": cannot write '" + o.path + "': " + reason;
    return false;
}

bool HostOutputs::CheckOne(size_t index, std::string& err) const {
    const Output& o = *mOutputs[index];
    const Identity id = IdentityOf(o.path);
    for (const Protected& p : mProtected)
        if (Same(id, IdentityOf(p.path))) return Refuse(o, "it is " + p.what + " ('" + p.path + "')", err);
    for (size_t j = 0; j < index; ++j) {
        const Output& other = *mOutputs[j];
        if (Same(id, IdentityOf(other.path)))
            return Refuse(o, "it is also the output of " + other.option + " ('" + other.path + "')", err);
    }
    struct stat st {};
    if (o.notForPipes && ::stat(o.path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode))
        return Refuse(o, o.notForPipes, err);
    return true;
}

bool HostOutputs::Open(std::string& err) {
    for (size_t i = 0; i < mOutputs.size(); ++i)
        if (!CheckOne(i, err)) return false;
    // Devices and FIFOs last: a refusal after a FIFO was opened would end its reader's stream.
    for (const bool direct : {false, true}) {
        for (const std::unique_ptr<Output>& o : mOutputs) {
            if (IsDeviceOrFifo(o->path) != direct) continue;
            std::string why;
            if (!o->file.Create(o->path, why)) {
                err = o->option + ": " + why;
                return false;
            }
            if (!o->file.IsDirect()) o->slot = HostRegisterTemporary(o->file.TempPath());
        }
    }
    return true;
}

bool HostOutputs::Commit(const volatile std::sig_atomic_t* cancel, std::string& err) {
    if (cancel && *cancel) {
        err = "interrupted";
        return false;
    }
    for (const std::unique_ptr<Output>& o : mOutputs) {
        if (!o->file.Commit(err)) return false;
        HostForgetTemporary(o->slot);
        o->slot = -1;
    }
    return true;
}
