#pragma once
// X11ScreenCopy: puts areas of the editor's off-screen bitmap into its X window.
//
// Pixel words (alpha bits 0-7, red 8-15, green 16-23, blue 24-31) are converted to the window's
// TrueColor visual (16 or 32 bits per pixel, any channel masks, either byte order); bits of the depth
// outside the colour masks (the alpha of a 32-bit visual) are set, so the picture is opaque. At scale 2
// each pixel becomes a 2 x 2 block of a window twice the editor's size.
//
// Transfer: through an MIT-SHM segment when the server attaches one (created mode 0600 and marked for
// removal as soon as the server holds it, so it never outlives us and only our user can read it), else
// with plain PutImage requests cut below the server's request limit. A segment is written again only
// after the server has read the previous picture out of it (its completion event, or a round trip).
//
// Who calls it: IGraphicsLinux under the editor's lock; it owns its GC, segment and scratch memory and
// frees them in Release / the destructor. The connection and window belong to the caller.
#include <cstdint>
#include <vector>

#include "framework/editor/IRECT.h"
#include "framework/platform/linux/X11Connection.h"

class Raster_IBitmap;

// Writes the area (x, y, w, h) of src (pixel words, srcSpan pixels per row) converted to format f, each
// pixel as a scale x scale block, to dst (the converted area's first pixel; dstStride bytes per row).
void X11ConvertArea(const uint32_t* src, int srcSpan, int x, int y, int w, int h, int scale,
                    const X11PixelFormat& f, uint8_t* dst, int dstStride);

class X11ScreenCopy {
public:
    X11ScreenCopy() = default;
    ~X11ScreenCopy() { Release(); }
    X11ScreenCopy(const X11ScreenCopy&) = delete;
    X11ScreenCopy& operator=(const X11ScreenCopy&) = delete;

    // Prepares copies into window (format f) of an editor of w x h pixels at scale (1 or 2). useShm:
    // try shared memory (it is used only when the server attaches the segment). False when no GC can be
    // made.
    bool Init(X11Connection* pConn, xcb_window_t window, const X11PixelFormat& f, int w, int h, int scale,
              bool useShm = true);
    // Frees the GC, the segment and the scratch memory (the requests are sent only while the connection
    // is alive; closing it frees them anyway).
    void Release();
    // Copies the area (editor pixels; clipped to the editor) of pBitmap to the window. False when not
    // initialised or the bitmap is smaller than the editor.
    bool Copy(Raster_IBitmap* pBitmap, IRECT area);
    // Takes the segment's completion event; true when ev was one.
    bool OnEvent(const xcb_generic_event_t* ev);
    bool UsesShm() const { return mShmAddr != nullptr; }
    // Bytes sent through PutImage requests so far (0 while shared memory carries the pictures).
    uint64_t BytesSent() const { return mBytesSent; }

private:
    bool InitShm();
    void ReleaseShm();

    X11Connection* mConn = nullptr;
    xcb_window_t mWindow = 0;
    xcb_gcontext_t mGC = 0;
    X11PixelFormat mFormat;
    int mW = 0, mH = 0, mScale = 1;
    int mStride = 0; // bytes per row of the whole window picture (shared memory)

    uint8_t* mShmAddr = nullptr;
    uint32_t mShmSeg = 0;
    bool mShmBusy = false; // the server may still be reading the segment
    uint8_t mShmCompletionType = 0;

    std::vector<uint8_t> mScratch; // one band of PutImage rows
    uint64_t mBytesSent = 0;
};
