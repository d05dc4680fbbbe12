#include "host/HostVST3Module.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include "host/HostLibrary.h"
#include "host/HostText.h"

namespace {

// The folder of a bundle's Contents that holds the module for this machine.
#if defined(__x86_64__)
constexpr const char* kArchitecture = "x86_64-linux";
#elif defined(__aarch64__)
constexpr const char* kArchitecture = "aarch64-linux";
#elif defined(__i386__)
constexpr const char* kArchitecture = "i386-linux";
#elif defined(__arm__)
constexpr const char* kArchitecture = "armv7l-linux";
#else
constexpr const char* kArchitecture = "unknown-linux";
#endif

constexpr const char* kBundleSuffix = ".vst3";

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() > suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

std::string HostVST3Module::BundleModule(const std::string& path) {
    const std::string bundle = WithoutTrailingSlashes(path);
    if (!EndsWith(bundle, kBundleSuffix)) return "";
    const size_t slash = bundle.rfind('/');
    const std::string name = bundle.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::string stem = name.substr(0, name.size() - std::string(kBundleSuffix).size());
    if (stem.empty()) return "";
    return bundle + "/Contents/" + kArchitecture + "/" + stem + ".so";
}

bool HostVST3Module::InBundle(const std::string& path) {
    if (EndsWith(WithoutTrailingSlashes(path), kBundleSuffix)) return true;
    // BUNDLE.vst3/Contents/ARCH/MODULE
    const size_t file = path.rfind('/');
    const size_t arch =
        file == std::string::npos || file == 0 ? std::string::npos : path.rfind('/', file - 1);
    const size_t contents =
        arch == std::string::npos || arch == 0 ? std::string::npos : path.rfind('/', arch - 1);
    return contents != std::string::npos && path.compare(contents, arch - contents, "/Contents") == 0 &&
           EndsWith(path.substr(0, contents), kBundleSuffix);
}

bool HostVST3Module::ExportsFactory(const std::string& path) {
    std::string err;
    if (!HostCheckSharedObject(path, err)) return false;
    void* library = HostOpenLibrary(path, err);
    if (!library) return false;
    const bool exports = HostOwnSymbol(library, "GetPluginFactory") != nullptr;
    dlclose(library);
    return exports;
}

std::unique_ptr<HostVST3Module> HostVST3Module::Open(const std::string& path, std::string& err) {
    std::unique_ptr<HostVST3Module> m(new HostVST3Module);
    struct stat st {};
    m->mModulePath = path;
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        m->mModulePath = BundleModule(path);
        if (m->mModulePath.empty()) {
            err = HostFormat("'%s' is a folder, not a VST 3 bundle (a folder named *.vst3)", path.c_str());
            return nullptr;
        }
        if (::stat(m->mModulePath.c_str(), &st) != 0) {
            err = HostFormat("the VST 3 bundle '%s' has no module for this machine (%s)", path.c_str(),
                             m->mModulePath.c_str());
            return nullptr;
        }
    }
    if (!HostCheckSharedObject(m->mModulePath, err)) return nullptr;
    m->mLibrary = HostOpenLibrary(m->mModulePath, err);
    if (!m->mLibrary) return nullptr;
    using GetFactory = v3_plugin_factory** (*)();
    auto getFactory = reinterpret_cast<GetFactory>(HostOwnSymbol(m->mLibrary, "GetPluginFactory"));
    auto entry = reinterpret_cast<bool (*)(void*)>(HostOwnSymbol(m->mLibrary, "ModuleEntry"));
    m->mExit = reinterpret_cast<bool (*)()>(HostOwnSymbol(m->mLibrary, "ModuleExit"));
    if (!getFactory) {
        err = HostFormat("'%s' is not a VST 3 module (no GetPluginFactory)", path.c_str());
        return nullptr;
    }
    if (!entry || !m->mExit) {
        err = HostFormat("the VST 3 module '%s' lacks ModuleEntry or ModuleExit", path.c_str());
        return nullptr;
    }
    if (!(m->mEntered = entry(m->mLibrary))) {
        err = HostFormat("the VST 3 module '%s' refused to start (ModuleEntry failed)", path.c_str());
        return nullptr;
    }
    m->mFactory = getFactory();
    if (!m->mFactory || !*m->mFactory) {
        m->mFactory = nullptr;
        err = HostFormat("the VST 3 module '%s' gave no plug-in factory", path.c_str());
        return nullptr;
    }
    return m;
}

HostVST3Module::~HostVST3Module() {
    if (mFactory) v3_cpp_obj_unref(mFactory);
    if (mEntered && mExit) mExit();
    if (mLibrary) dlclose(mLibrary);
}
