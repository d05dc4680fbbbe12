#pragma once
// History<T>: the latest samples of one channel, used as a delay line. Logically an array of
// GetLength() samples, oldest first and newest last: pushing a block of n samples drops the n
// oldest and appends the block (a block at least as long as the history leaves its last samples).
// Stored as a ring, so a push writes only the new samples. The owner (the effect, on the audio
// thread under its lock) reads element GetLength() - D + k as the sample that came D - k samples
// before the block about to be pushed. Only SetLength allocates.
#include <algorithm>
#include <cstddef>
#include <vector>

template <class T>
class History {
public:
    History() : mBuffer(256, T{}) {}

    int GetLength() const { return mSize; }

    // Sets the length: added elements repeat the newest sample, shrinking drops the newest ones.
    void SetLength(int n) {
        if (n < 0) n = 0;
        if (n == mSize) return;
        Linearize();
        const T newest = mSize > 0 ? mBuffer[static_cast<size_t>(mSize) - 1] : T{};
        mBuffer.resize(static_cast<size_t>(n), newest);
        mSize = n;
    }

    // Every sample becomes 0, as after construction; the length is kept.
    void Clear() {
        std::fill(mBuffer.begin(), mBuffer.end(), T{});
        mHead = 0;
    }

    // Logical element i (0 = oldest); i must lie in 0 .. GetLength() - 1.
    const T& operator[](int i) const { return mBuffer[Physical(i)]; }

    // The longest contiguous run of logical elements starting at i, at most count long, where
    // 0 <= i and i + count <= GetLength(). *run receives its length (at least 1 when count > 0).
    const T* Span(int i, int count, int* run) const {
        const size_t p = Physical(i);
        const int toEnd = mSize - static_cast<int>(p);
        *run = std::min(count, toEnd);
        return mBuffer.data() + p;
    }

    // Appends a block of n samples.
    void Push(const T* block, int n) {
        if (n <= 0 || mSize == 0) return;
        if (n >= mSize) {
            std::copy(block + (n - mSize), block + n, mBuffer.begin());
            mHead = 0;
            return;
        }
        const int first = std::min(n, mSize - mHead);
        std::copy(block, block + first, mBuffer.begin() + mHead);
        std::copy(block + first, block + n, mBuffer.begin());
        mHead += n;
        if (mHead >= mSize) mHead -= mSize;
    }

private:
    size_t Physical(int i) const {
        int p = mHead + i;
        if (p >= mSize) p -= mSize;
        return static_cast<size_t>(p);
    }
    // Moves the oldest element to index 0.
    void Linearize() {
        std::rotate(mBuffer.begin(), mBuffer.begin() + mHead, mBuffer.end());
        mHead = 0;
    }

    int mSize = 256;
    std::vector<T> mBuffer;
    int mHead = 0; // physical index of the oldest element
};
