#pragma once
// Raster_DeferredPNGBitmap: a PNG picture that is decoded only when its pixels are first asked for
// (getBits, or resize). Making one reads nothing but the size in the PNG header, so an editor can lay
// out its controls from its pictures' sizes at no cost, and a plug-in that is only instantiated (a
// host scanning plug-ins) never decodes them.
//
// The PNG bytes are not copied: they must outlive the bitmap (compiled-in named resources are static
// data). Once decoded it behaves as a Raster_MemBitmap of the header's size, rows aligned to 4 pixels
// (the row span is the same before and after decoding). Bytes that turn out not to decode give a
// transparent picture of that size.
//
// Threads: the decode runs once, under a once-flag, so a bitmap shared by the editors of several
// threads (the editor's picture store) may be drawn from any of them; drawing into it follows the
// rules of any bitmap (one thread at a time).
#include <atomic>
#include <mutex>

#include "framework/raster/Raster_Bitmap.h"

class Raster_DeferredPNGBitmap : public Raster_IBitmap {
public:
    // Null when the bytes do not start with a PNG header the loader accepts (see Raster_ReadPNGSize).
    static Raster_DeferredPNGBitmap* Create(const void* data, int length);
    Raster_DeferredPNGBitmap(const Raster_DeferredPNGBitmap&) = delete;
    Raster_DeferredPNGBitmap& operator=(const Raster_DeferredPNGBitmap&) = delete;

    uint32_t* getBits() override;
    int getWidth() override;
    int getHeight() override;
    int getRowSpan() override;
    bool resize(int w, int h) override;

    // Whether the pixels have been decoded yet.
    bool IsDecoded() const { return mDecoded.load(std::memory_order_acquire); }

private:
    Raster_DeferredPNGBitmap(const void* data, int length, int w, int h);
    void Decode();

    const void* mData;
    int mLength;
    int mWidth, mHeight; // from the header
    std::once_flag mOnce;
    std::atomic<bool> mDecoded{false};
    Raster_MemBitmap mPixels{0, 0, 4};
};
