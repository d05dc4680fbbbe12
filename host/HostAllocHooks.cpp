// The allocator as an executable that watches allocations sees it: malloc and its relatives (outside
// the address and thread sanitizers, forwarding to the C library's allocator) and the global operator
// new and delete, each allocation reported to HostAllocNote. Linked as objects into tidebloom-host and
// into the test executables that count allocations (the alloc_counter objects); such executables are
// linked with -rdynamic so that a plug-in opened with dlopen allocates through these too. Where malloc
// is interposed, operator new leaves the reporting to it; under a sanitizer, which owns malloc, only
// operator new reports.
#include "host/HostAllocWatch.h"

#include <cstddef>
#include <cstdlib>
#include <new>

#define HOST_HOOK extern "C" __attribute__((visibility("default")))

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define HOST_SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define HOST_SANITIZER_ALLOCATOR 1
#endif
#endif

namespace {
// Before main: the watch knows the hooks are in place.
[[maybe_unused]] const bool sInstalled = (HostAllocWatchSetAvailable(), true);
} // namespace

#ifndef HOST_SANITIZER_ALLOCATOR
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t n, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* p);
}

HOST_HOOK void* malloc(size_t size) {
    HostAllocNote();
    return __libc_malloc(size);
}
HOST_HOOK void* calloc(size_t n, size_t size) {
    HostAllocNote();
    return __libc_calloc(n, size);
}
HOST_HOOK void* realloc(void* p, size_t size) {
    HostAllocNote();
    return __libc_realloc(p, size);
}
HOST_HOOK void* memalign(size_t alignment, size_t size) {
    HostAllocNote();
    return __libc_memalign(alignment, size);
}
HOST_HOOK void* aligned_alloc(size_t alignment, size_t size) {
    HostAllocNote();
    return __libc_memalign(alignment, size);
}
HOST_HOOK int posix_memalign(void** out, size_t alignment, size_t size) {
    HostAllocNote();
    void* p = __libc_memalign(alignment, size);
    if (!p) return 12; // ENOMEM
    *out = p;
    return 0;
}
HOST_HOOK void free(void* p) {
    __libc_free(p);
}
#endif

namespace {
void NoteNew() {
#ifdef HOST_SANITIZER_ALLOCATOR
    HostAllocNote();
#endif
}
void* CountedNew(std::size_t size) {
    NoteNew();
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* CountedAlignedNew(std::size_t size, std::align_val_t alignment) {
    NoteNew();
    std::size_t a = static_cast<std::size_t>(alignment);
    if (void* p = std::aligned_alloc(a, (size + a - 1) / a * a)) return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t size) {
    return CountedNew(size);
}
void* operator new[](std::size_t size) {
    return CountedNew(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    NoteNew();
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    NoteNew();
    return std::malloc(size ? size : 1);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return CountedAlignedNew(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return CountedAlignedNew(size, alignment);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
