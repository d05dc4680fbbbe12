#pragma once
// Util_HeapBuf: a growable byte block. Resize keeps the first bytes and zero-fills new ones; its
// capacity grows in steps of the growth step and never shrinks, so resizing within it never
// allocates. Get() is null while the size is 0. Not thread-safe: the owner's lock guards it.
#include <cstdint>
#include <vector>

class Util_HeapBuf {
public:
    explicit Util_HeapBuf(int growthStep = 4096) : mGrowthStep(growthStep > 0 ? growthStep : 1) {}

    int GetSize() const { return mSize; }
    uint8_t* Get() { return mSize ? mData.data() : nullptr; }
    const uint8_t* Get() const { return mSize ? mData.data() : nullptr; }
    // Resizes to n bytes (negative means 0) and returns the data.
    uint8_t* Resize(int n);
    // Grows by n bytes and returns a pointer to the first new byte (null when n <= 0).
    uint8_t* Grow(int n);

private:
    std::vector<uint8_t> mData;
    int mSize = 0;
    int mGrowthStep;
};
