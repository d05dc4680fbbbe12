#pragma once
// FlushDenormals: for the life of a scope, the calling thread's floating-point unit treats subnormal
// operands as zero and flushes subnormal results to zero; the previous mode is restored on exit.
// Filters decaying in silence otherwise spend their time in slow subnormal arithmetic (and can
// settle into a subnormal limit cycle forever). Every operation whose operands and result are
// normal numbers computes exactly the same value either way; only values below the smallest normal
// double (about 2.2e-308) become 0. The host's own mode is never left changed.
#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

class FlushDenormals {
public:
#if defined(__SSE2__)
    // The control register is written only when the mode is not set already (many hosts set it).
    FlushDenormals() : mSaved(_mm_getcsr()) {
        if ((mSaved & kBoth) != kBoth) _mm_setcsr(mSaved | kBoth);
    }
    ~FlushDenormals() {
        if ((mSaved & kBoth) != kBoth) _mm_setcsr(mSaved);
    }
#else
    FlushDenormals() = default;
#endif
    FlushDenormals(const FlushDenormals&) = delete;
    FlushDenormals& operator=(const FlushDenormals&) = delete;

private:
#if defined(__SSE2__)
    static constexpr unsigned kFlushToZero = 0x8000;
    static constexpr unsigned kDenormalsAreZero = 0x0040;
    static constexpr unsigned kBoth = kFlushToZero | kDenormalsAreZero;
    unsigned mSaved;
#endif
};
