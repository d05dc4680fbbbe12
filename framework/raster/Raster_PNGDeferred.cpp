#include "framework/raster/Raster_PNGDeferred.h"

#include "framework/raster/Raster_Blit.h"
#include "framework/raster/Raster_PNG.h"

Raster_DeferredPNGBitmap* Raster_DeferredPNGBitmap::Create(const void* data, int length) {
    int w = 0, h = 0;
    if (!Raster_ReadPNGSize(data, length, &w, &h)) return nullptr;
    return new Raster_DeferredPNGBitmap(data, length, w, h);
}

Raster_DeferredPNGBitmap::Raster_DeferredPNGBitmap(const void* data, int length, int w, int h)
    : mData(data), mLength(length), mWidth(w), mHeight(h) {}

void Raster_DeferredPNGBitmap::Decode() {
    std::call_once(mOnce, [this] {
        Raster_IBitmap* decoded = Raster_LoadPNGFromMemory(mData, mLength, &mPixels);
        if (!decoded || mPixels.getWidth() != mWidth || mPixels.getHeight() != mHeight) {
            mPixels.resize(mWidth, mHeight);
            Raster_Clear(&mPixels, 0);
        }
        mDecoded.store(true, std::memory_order_release);
    });
}

uint32_t* Raster_DeferredPNGBitmap::getBits() {
    Decode();
    return mPixels.getBits();
}

// Before decoding: the header's size; after: the pixels' own (the same, unless memory ran out and
// left them empty).
int Raster_DeferredPNGBitmap::getWidth() {
    return IsDecoded() ? mPixels.getWidth() : mWidth;
}

int Raster_DeferredPNGBitmap::getHeight() {
    return IsDecoded() ? mPixels.getHeight() : mHeight;
}

int Raster_DeferredPNGBitmap::getRowSpan() {
    return IsDecoded() ? mPixels.getRowSpan() : (mWidth + 3) & ~3;
}

bool Raster_DeferredPNGBitmap::resize(int w, int h) {
    Decode();
    return mPixels.resize(w, h);
}
