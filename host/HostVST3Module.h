#pragma once
// HostVST3Module: one VST 3 module opened the way hosts open it, for tidebloom-host and for the test
// suite's VST 3 host. The path is a bundle folder (X.vst3, whose module for this machine is
// Contents/<architecture>-linux/X.so) or a module file. Open loads the module (dlopen, RTLD_NOW |
// RTLD_LOCAL), calls its ModuleEntry with the library handle and takes its factory (GetPluginFactory);
// the destructor releases the factory, calls ModuleExit and closes the library. Every failure is a
// one-line error naming the path, and leaves nothing loaded.
//
// Threads: the host's user-interface thread, one call at a time. The module outlives every object made
// from its factory (the owner destroys those first).
#include <memory>
#include <string>

#include "framework/vst3/VST3Interfaces.h"

class HostVST3Module {
public:
    static std::unique_ptr<HostVST3Module> Open(const std::string& path, std::string& err);
    ~HostVST3Module();
    HostVST3Module(const HostVST3Module&) = delete;
    HostVST3Module& operator=(const HostVST3Module&) = delete;

    // The factory (the module's reference, held until the module closes).
    v3_plugin_factory** Factory() const { return mFactory; }
    const std::string& ModulePath() const { return mModulePath; }

    // The module of the bundle folder at path (named *.vst3, trailing slashes allowed) for this machine;
    // "" when path does not name such a folder.
    static std::string BundleModule(const std::string& path);
    // Whether path names a bundle (*.vst3) or a file in a bundle's Contents folder.
    static bool InBundle(const std::string& path);
    // Whether the shared object at path defines GetPluginFactory itself (it is opened to look).
    static bool ExportsFactory(const std::string& path);

private:
    HostVST3Module() = default;

    std::string mModulePath;
    void* mLibrary = nullptr;
    bool (*mExit)() = nullptr;
    bool mEntered = false;
    v3_plugin_factory** mFactory = nullptr;
};
