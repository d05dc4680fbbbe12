#include "framework/util/Util_HeapBuf.h"

#include <climits>
#include <cstring>

uint8_t* Util_HeapBuf::Resize(int n) {
    if (n < 0) n = 0;
    size_t want = static_cast<size_t>(n);
    if (want > mData.size()) {
        size_t step = static_cast<size_t>(mGrowthStep);
        size_t capacity = (want + step - 1) / step * step;
        mData.resize(capacity, 0);
    }
    if (n > mSize) std::memset(mData.data() + mSize, 0, static_cast<size_t>(n - mSize));
    mSize = n;
    return Get();
}

uint8_t* Util_HeapBuf::Grow(int n) {
    if (n <= 0 || n > INT_MAX - mSize) return nullptr;
    int old = mSize;
    Resize(old + n);
    return mData.data() + old;
}
