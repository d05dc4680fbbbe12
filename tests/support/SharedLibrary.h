#pragma once
// SharedLibrary: a plug-in shared object opened with dlopen(RTLD_NOW | RTLD_LOCAL) the way a host opens
// it, closed by the destructor. The base of the test hosts' library classes (PluginLibrary for VST 2,
// LV2Library for LV2), which look up their entry functions through Symbol. Used on the test's thread;
// the library outlives every effect made from it.
#include <dlfcn.h>

#include <string>

class SharedLibrary {
public:
    explicit SharedLibrary(const char* path) {
        mHandle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (!mHandle) mError = dlerror();
    }
    ~SharedLibrary() {
        if (mHandle) dlclose(mHandle);
    }
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    bool IsLoaded() const { return mHandle != nullptr; }
    // Why the library did not load; empty when it did.
    const char* Error() const { return mError.c_str(); }
    // The named function, null when the library did not load or does not define it.
    template <class F> F Function(const char* name) const {
        return mHandle ? reinterpret_cast<F>(dlsym(mHandle, name)) : nullptr;
    }

private:
    void* mHandle = nullptr;
    std::string mError;
};
