#pragma once
// ScopedEnv: sets (or, given null, removes) an environment variable for a scope and puts back what was
// there before. Test threads only, while no other thread reads the environment.
#include <cstdlib>
#include <string>

struct ScopedEnv {
    std::string name, saved;
    bool wasSet;
    ScopedEnv(const char* n, const char* value) : name(n) {
        const char* v = std::getenv(n);
        wasSet = v != nullptr;
        saved = v ? v : "";
        if (value)
            setenv(n, value, 1);
        else
            unsetenv(n);
    }
    ~ScopedEnv() {
        if (wasSet)
            setenv(name.c_str(), saved.c_str(), 1);
        else
            unsetenv(name.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
};
