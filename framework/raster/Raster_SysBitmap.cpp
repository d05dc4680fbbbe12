#include "framework/raster/Raster_Bitmap.h"

#include "framework/shim/Shim_Gdi.h"

#include <climits>

// ---------------------------------------------------------------------------------------------
// Raster_SysBitmap

Raster_SysBitmap::Raster_SysBitmap(int w, int h) {
    resize(w, h);
}

Raster_SysBitmap::~Raster_SysBitmap() {
    if (mDC) Shim_DeleteGfxContext(mDC);
}

bool Raster_SysBitmap::resize(int w, int h) {
    if (w == mWidth && h == mHeight) return false;
    mWidth = w;
    mHeight = h;
    if (w > 0 && h > 0 && mDC && mAllocW >= w && mAllocH >= h) {
        if (isFlipped()) mBits = (uint32_t*)Shim_GetCtxFrameBuffer(mDC) + (int64_t)(mAllocH - h) * mAllocW;
        return true;
    }
    // Width rounded up to a multiple of 4, computed wide so that huge widths cannot wrap.
    const int64_t span = w > 0 ? (((int64_t)w + 3) & ~(int64_t)3) : 0;
    mAllocW = span <= INT_MAX ? (int)span : 0;
    mAllocH = h;
    if (mDC) Shim_DeleteGfxContext(mDC);
    mDC = nullptr;
    mBits = nullptr;
    if (mAllocW <= 0 || mAllocH <= 0) {
        // Nothing allocated: report an empty bitmap rather than a size without pixels.
        mAllocW = mAllocH = 0;
        mWidth = mHeight = 0;
        return false;
    }
    mDC = Shim_CreateMemContext(nullptr, mAllocW, mAllocH);
    if (mDC) mBits = (uint32_t*)Shim_GetCtxFrameBuffer(mDC);
    if (!mBits) {
        if (mDC) Shim_DeleteGfxContext(mDC);
        mDC = nullptr;
        mAllocW = mAllocH = 0;
        mWidth = mHeight = 0;
    }
    return true;
}
