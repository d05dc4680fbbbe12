#include "framework/util/Util_Cpu.h"

#include <cstdlib>

bool Util_CpuHasAVX() {
    static const bool hasAVX = [] {
        const char* off = std::getenv("TIDEBLOOM_NO_AVX");
        if (off && *off) return false;
#if defined(__x86_64__) || defined(__i386__)
        // The compiler's check includes the operating system's support for the wide registers.
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx") != 0;
#else
        return false;
#endif
    }();
    return hasAVX;
}
