#pragma once
// Util_TypedBuf<T>: a growable array of trivially copyable T. Resize keeps the first elements and
// zero-fills new ones; Get() is null while the buffer is empty. Not thread-safe: the owner's lock
// guards it. Resizing to the size it already has never allocates. The data start on a 64-byte
// boundary (a cache line), which wide loads and stores of audio blocks run faster from.
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>
#include <vector>

// Allocator for std::vector whose storage starts on a 64-byte boundary.
template <class T>
struct Util_CacheLineAllocator {
    using value_type = T;
    static constexpr std::align_val_t kAlignment{64};

    Util_CacheLineAllocator() = default;
    template <class U>
    Util_CacheLineAllocator(const Util_CacheLineAllocator<U>&) {}

    T* allocate(std::size_t n) { return static_cast<T*>(::operator new(n * sizeof(T), kAlignment)); }
    void deallocate(T* p, std::size_t) { ::operator delete(p, kAlignment); }
    template <class U>
    bool operator==(const Util_CacheLineAllocator<U>&) const {
        return true;
    }
};

template <class T>
class Util_TypedBuf {
    static_assert(std::is_trivially_copyable_v<T>, "Util_TypedBuf holds plain data");

public:
    int GetSize() const { return static_cast<int>(mData.size()); }
    T* Get() { return mData.empty() ? nullptr : mData.data(); }
    const T* Get() const { return mData.empty() ? nullptr : mData.data(); }
    // Resizes to n elements (negative means 0) and returns the data.
    T* Resize(int n) {
        mData.resize(n > 0 ? static_cast<size_t>(n) : 0u, T{});
        return Get();
    }
    // Exchanges the contents with other's (no allocation: buffers prepared elsewhere are swapped in).
    void Swap(Util_TypedBuf& other) noexcept { mData.swap(other.mData); }
    // Appends one element.
    void Add(const T& value) { mData.push_back(value); }
    // Sets every element to zero bytes.
    void Clear() {
        if (!mData.empty()) std::memset(static_cast<void*>(mData.data()), 0, mData.size() * sizeof(T));
    }

private:
    std::vector<T, Util_CacheLineAllocator<T>> mData;
};
