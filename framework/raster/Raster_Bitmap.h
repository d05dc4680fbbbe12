#pragma once
// Bitmaps of 32-bit pixel words (see Raster_Combine.h for the word layout).
//
// Raster_IBitmap is the interface every Raster_ routine draws through: pixel 0 of memory row 0,
// width, height, row span in pixels (at least the width) and whether memory row 0 is the bottom
// row (flipped). Raster_MemBitmap keeps its pixels in a heap block; Raster_SysBitmap in a shim
// memory drawing context, so text can be drawn natively into the same pixels and the window host
// can present them. A bitmap owns its memory; getBits() stays valid until a resize reallocates.
// Rows start on 64-byte boundaries. Not thread-safe: a bitmap belongs to the thread drawing into it.

#include <cstdint>

struct HDC__;

class Raster_IBitmap {
public:
    virtual ~Raster_IBitmap() {}
    virtual uint32_t* getBits() = 0;
    virtual int getWidth() = 0;
    virtual int getHeight() = 0;
    virtual int getRowSpan() = 0;
    virtual bool isFlipped() { return false; }
    // True if the size changed; contents of a resized bitmap are not defined.
    virtual bool resize(int w, int h) = 0;
    virtual HDC__* getDC() { return nullptr; }
    virtual intptr_t Extended(int id, void* data) {
        (void)id;
        (void)data;
        return 0;
    }
};

// Heap bitmap. Rows are padded to a multiple of the line alignment (a power of two 1..16);
// pixels are never initialised. The block grows by a quarter beyond the need and never shrinks.
class Raster_MemBitmap : public Raster_IBitmap {
public:
    Raster_MemBitmap(int w = 0, int h = 0, int lineAlignment = 4);
    ~Raster_MemBitmap() override;
    Raster_MemBitmap(const Raster_MemBitmap&) = delete;
    Raster_MemBitmap& operator=(const Raster_MemBitmap&) = delete;

    uint32_t* getBits() override;
    int getWidth() override { return mWidth; }
    int getHeight() override { return mHeight; }
    int getRowSpan() override { return (mWidth + mAlignMask) & ~mAlignMask; }
    bool resize(int w, int h) override;

private:
    void* mBuffer = nullptr;
    int mWidth = 0, mHeight = 0;
    int mCapacity = 0; // usable bytes, excluding the 63 spare bytes for 64-byte alignment
    int mAlignMask = 0;
};

// Bitmap whose pixels live in a shim memory drawing context (zeroed when created). The row span
// is the width rounded up to a multiple of 4; shrinking within the allocation keeps the context.
class Raster_SysBitmap : public Raster_IBitmap {
public:
    Raster_SysBitmap(int w = 0, int h = 0);
    ~Raster_SysBitmap() override;
    Raster_SysBitmap(const Raster_SysBitmap&) = delete;
    Raster_SysBitmap& operator=(const Raster_SysBitmap&) = delete;

    uint32_t* getBits() override { return mBits; }
    int getWidth() override { return mWidth; }
    int getHeight() override { return mHeight; }
    int getRowSpan() override { return mAllocW; }
    bool resize(int w, int h) override;
    HDC__* getDC() override { return mDC; }

private:
    int mWidth = 0, mHeight = 0;
    HDC__* mDC = nullptr;
    uint32_t* mBits = nullptr;
    int mAllocW = 0; // allocated row span, pixels
    int mAllocH = 0;
};
