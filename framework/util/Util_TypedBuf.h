#pragma once
// Util_TypedBuf<T>: a growable array of trivially copyable T. Resize keeps the first elements and
// zero-fills new ones; Get() is null while the buffer is empty. Not thread-safe: the owner's lock
// guards it. Resizing to the size it already has never allocates.
#include <cstring>
#include <type_traits>
#include <vector>

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
    // Appends one element.
    void Add(const T& value) { mData.push_back(value); }
    // Sets every element to zero bytes.
    void Clear() {
        if (!mData.empty()) std::memset(static_cast<void*>(mData.data()), 0, mData.size() * sizeof(T));
    }

private:
    std::vector<T> mData;
};
