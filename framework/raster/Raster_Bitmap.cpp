#include "framework/raster/Raster_Bitmap.h"

#include <climits>
#include <cstdlib>

namespace {
constexpr int kAlignSpare = 63;
}

// ---------------------------------------------------------------------------------------------
// Raster_MemBitmap

Raster_MemBitmap::Raster_MemBitmap(int w, int h, int lineAlignment) {
    if (lineAlignment >= 2) {
        int lowest = lineAlignment & -lineAlignment;
        if (lowest > 16) lowest = 16;
        mAlignMask = lowest - 1;
    }
    if (w > 0 && h > 0) resize(w, h);
}

Raster_MemBitmap::~Raster_MemBitmap() {
    free(mBuffer);
}

uint32_t* Raster_MemBitmap::getBits() {
    if (!mBuffer) return nullptr;
    const uintptr_t p = ((uintptr_t)mBuffer + kAlignSpare) & ~(uintptr_t)kAlignSpare;
    return (uint32_t*)p;
}

bool Raster_MemBitmap::resize(int w, int h) {
    if (w == mWidth && h == mHeight) return false;
    mWidth = w;
    mHeight = h;
    // Sizes are computed wide: a size whose block cannot be addressed leaves the bitmap empty
    // instead of wrapping into a small block.
    const int64_t span = w > 0 ? (((int64_t)w + mAlignMask) & ~(int64_t)mAlignMask) : 0;
    const int64_t pixels = span * (h > 0 ? h : 0); // below 2^63: both factors are below 2^32
    const int64_t need = pixels <= INT_MAX ? pixels * 4 : (int64_t)INT_MAX + 1;
    if (need <= 0 || w <= 0 || h <= 0) {
        free(mBuffer);
        mBuffer = nullptr;
        mCapacity = 0;
        mWidth = mHeight = 0;
        return true;
    }
    if (need > INT_MAX - kAlignSpare) {
        free(mBuffer);
        mBuffer = nullptr;
        mCapacity = 0;
        mWidth = mHeight = 0;
        return true;
    }
    const int n = (int)need;
    if (mBuffer && n <= mCapacity) return true;

    if (mBuffer) {
        int64_t grown = (int64_t)n + n / 4;
        if (grown > INT_MAX - kAlignSpare) grown = n;
        void* p = realloc(mBuffer, (size_t)grown + kAlignSpare);
        if (p) {
            mBuffer = p;
            mCapacity = (int)grown;
        } else {
            free(mBuffer);
            mCapacity = n;
            mBuffer = malloc((size_t)n + kAlignSpare);
        }
    } else {
        mCapacity = n;
        mBuffer = malloc((size_t)n + kAlignSpare);
    }
    if (!mBuffer) {
        mCapacity = 0;
        mWidth = mHeight = 0;
    }
    return true;
}
