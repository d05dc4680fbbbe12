#include "framework/platform/linux/X11ScreenCopy.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>

#include <algorithm>
#include <cstring>

#include "framework/raster/Raster_Bitmap.h"

namespace {

int LowBit(uint32_t mask) {
    int n = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++n;
    }
    return n;
}

int Bits(uint32_t mask) {
    int n = 0;
    for (; mask; mask >>= 1) n += mask & 1;
    return n;
}

// Per-format constants of the general conversion.
struct Channels {
    int shift[3];  // where each channel's top bits go
    int bits[3];   // how many bits it keeps
    uint32_t fill; // bits of the depth outside the colour masks
};

Channels ChannelsOf(const X11PixelFormat& f) {
    Channels c;
    const uint32_t masks[3] = {f.redMask, f.greenMask, f.blueMask};
    for (int i = 0; i < 3; ++i) {
        c.bits[i] = Bits(masks[i]);
        c.shift[i] = LowBit(masks[i]);
    }
    uint32_t depthMask = f.depth >= 32 ? 0xFFFFFFFFu : ((1u << f.depth) - 1u);
    c.fill = depthMask & ~(f.redMask | f.greenMask | f.blueMask);
    return c;
}

inline uint32_t Convert(uint32_t p, const Channels& c) {
    const uint32_t r = (p >> 8) & 0xFF, g = (p >> 16) & 0xFF, b = p >> 24;
    return ((r >> (8 - c.bits[0])) << c.shift[0]) | ((g >> (8 - c.bits[1])) << c.shift[1]) |
           ((b >> (8 - c.bits[2])) << c.shift[2]) | c.fill;
}

// The common case: 32 bits per pixel, x8r8g8b8 (or a8r8g8b8) in the host's byte order. Our word with
// its bytes reversed is exactly that layout with our alpha on top, which is replaced.
bool IsXRGB(const X11PixelFormat& f) {
    return f.bitsPerPixel == 32 && f.redMask == 0xFF0000u && f.greenMask == 0xFF00u && f.blueMask == 0xFFu &&
           !f.msbFirst;
}

// Bytes of a row of n pixels, padded as the format wants.
int PaddedRowBytes(const X11PixelFormat& f, int n) {
    const int pad = f.scanlinePad / 8;
    const int bytes = n * (f.bitsPerPixel / 8);
    return (bytes + pad - 1) / pad * pad;
}

} // namespace

void X11ConvertArea(const uint32_t* src, int srcSpan, int x, int y, int w, int h, int scale,
                    const X11PixelFormat& f, uint8_t* dst, int dstStride) {
    if (w <= 0 || h <= 0 || scale < 1) return;
    const Channels c = ChannelsOf(f);
    const bool fast = IsXRGB(f);
    const int outBytes = f.bitsPerPixel / 8;
    const int rowBytes = w * scale * outBytes;
    for (int j = 0; j < h; ++j) {
        const uint32_t* s = src + static_cast<size_t>(y + j) * srcSpan + x;
        uint8_t* d = dst + static_cast<size_t>(j) * scale * dstStride;
        if (f.bitsPerPixel == 32) {
            uint32_t* d32 = reinterpret_cast<uint32_t*>(d);
            if (fast && scale == 1) {
                for (int i = 0; i < w; ++i) d32[i] = (__builtin_bswap32(s[i]) & 0xFFFFFFu) | c.fill;
            } else {
                for (int i = 0; i < w; ++i) {
                    uint32_t v = fast ? ((__builtin_bswap32(s[i]) & 0xFFFFFFu) | c.fill) : Convert(s[i], c);
                    if (f.msbFirst) v = __builtin_bswap32(v);
                    for (int k = 0; k < scale; ++k) d32[i * scale + k] = v;
                }
            }
        } else {
            uint16_t* d16 = reinterpret_cast<uint16_t*>(d);
            for (int i = 0; i < w; ++i) {
                uint16_t v = static_cast<uint16_t>(Convert(s[i], c));
                if (f.msbFirst) v = static_cast<uint16_t>((v >> 8) | (v << 8));
                for (int k = 0; k < scale; ++k) d16[i * scale + k] = v;
            }
        }
        // The other rows of the block repeat the first.
        for (int k = 1; k < scale; ++k) std::memcpy(d + static_cast<size_t>(k) * dstStride, d, rowBytes);
    }
}

bool X11ScreenCopy::Init(X11Connection* pConn, xcb_window_t window, const X11PixelFormat& f, int w, int h,
                         int scale, bool useShm) {
    Release();
    if (!pConn || w <= 0 || h <= 0 || scale < 1) return false;
    mConn = pConn;
    mWindow = window;
    mFormat = f;
    mW = w;
    mH = h;
    mScale = scale;
    mStride = PaddedRowBytes(f, w * scale);
    xcb_connection_t* c = pConn->Get();
    mGC = xcb_generate_id(c);
    const uint32_t values[] = {0}; // no GraphicsExpose / NoExpose events for our copies
    if (!pConn->Check(xcb_create_gc_checked(c, mGC, window, XCB_GC_GRAPHICS_EXPOSURES, values))) {
        mGC = 0;
        return false;
    }
    if (useShm && pConn->HasShm()) InitShm();
    return true;
}

bool X11ScreenCopy::InitShm() {
    xcb_connection_t* c = mConn->Get();
    const size_t size = static_cast<size_t>(mStride) * mH * mScale;
    int id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (id < 0) return false;
    void* addr = shmat(id, nullptr, 0);
    if (addr == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return false;
    }
    uint32_t seg = xcb_generate_id(c);
    bool attached = mConn->Check(xcb_shm_attach_checked(c, seg, static_cast<uint32_t>(id), 0));
    // The server holds it now (or never will): the segment goes away with the last detach.
    shmctl(id, IPC_RMID, nullptr);
    if (!attached) {
        shmdt(addr);
        return false;
    }
    mShmAddr = static_cast<uint8_t*>(addr);
    mShmSeg = seg;
    mShmBusy = false;
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_shm_id);
    mShmCompletionType = static_cast<uint8_t>(ext->first_event + XCB_SHM_COMPLETION);
    return true;
}

void X11ScreenCopy::ReleaseShm() {
    if (!mShmAddr) return;
    if (mConn && !mConn->HasError()) {
        xcb_shm_detach(mConn->Get(), mShmSeg);
        // The server must be done with the memory before we unmap it.
        mConn->Sync();
    }
    shmdt(mShmAddr);
    mShmAddr = nullptr;
    mShmSeg = 0;
    mShmBusy = false;
}

void X11ScreenCopy::Release() {
    ReleaseShm();
    if (mGC && mConn && !mConn->HasError()) xcb_free_gc(mConn->Get(), mGC);
    mGC = 0;
    mConn = nullptr;
    mWindow = 0;
    std::vector<uint8_t>().swap(mScratch);
}

bool X11ScreenCopy::OnEvent(const xcb_generic_event_t* ev) {
    if (!mShmAddr || (ev->response_type & 0x7F) != mShmCompletionType) return false;
    mShmBusy = false;
    return true;
}

bool X11ScreenCopy::Copy(Raster_IBitmap* pBitmap, IRECT area) {
    if (!mGC || !pBitmap || !pBitmap->getBits()) return false;
    if (pBitmap->getWidth() < mW || pBitmap->getHeight() < mH) return false;
    area = IRECT(std::max(area.L, 0), std::max(area.T, 0), std::min(area.R, mW), std::min(area.B, mH));
    if (area.W() <= 0 || area.H() <= 0) return true;
    xcb_connection_t* c = mConn->Get();
    const uint32_t* bits = pBitmap->getBits();
    const int span = pBitmap->getRowSpan();
    const int bpp = mFormat.bitsPerPixel / 8;
    const int s = mScale;
    const uint8_t depth = static_cast<uint8_t>(mFormat.depth);

    if (mShmAddr) {
        if (mShmBusy) mConn->Sync(); // the server has read the last picture once this returns
        uint8_t* dst =
            mShmAddr + static_cast<size_t>(area.T) * s * mStride + static_cast<size_t>(area.L) * s * bpp;
        X11ConvertArea(bits, span, area.L, area.T, area.W(), area.H(), s, mFormat, dst, mStride);
        xcb_shm_put_image(c, mWindow, mGC, static_cast<uint16_t>(mW * s), static_cast<uint16_t>(mH * s),
                          static_cast<uint16_t>(area.L * s), static_cast<uint16_t>(area.T * s),
                          static_cast<uint16_t>(area.W() * s), static_cast<uint16_t>(area.H() * s),
                          static_cast<int16_t>(area.L * s), static_cast<int16_t>(area.T * s), depth,
                          XCB_IMAGE_FORMAT_Z_PIXMAP, 1, mShmSeg, 0);
        mShmBusy = true;
        xcb_flush(c);
        return true;
    }

    // PutImage in bands of whole editor rows, each request under the server's limit.
    const int rowBytes = PaddedRowBytes(mFormat, area.W() * s);
    const uint32_t maxData = mConn->MaxRequestBytes() > 64 ? mConn->MaxRequestBytes() - 64 : 0;
    int rowsPerBand = static_cast<int>(maxData / (static_cast<uint32_t>(rowBytes) * s));
    if (rowsPerBand < 1) return false;
    rowsPerBand = std::min(rowsPerBand, area.H());
    mScratch.resize(static_cast<size_t>(rowBytes) * s * rowsPerBand);
    for (int y = area.T; y < area.B; y += rowsPerBand) {
        const int rows = std::min(rowsPerBand, area.B - y);
        X11ConvertArea(bits, span, area.L, y, area.W(), rows, s, mFormat, mScratch.data(), rowBytes);
        const uint32_t bytes = static_cast<uint32_t>(rowBytes) * s * rows;
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, mWindow, mGC, static_cast<uint16_t>(area.W() * s),
                      static_cast<uint16_t>(rows * s), static_cast<int16_t>(area.L * s),
                      static_cast<int16_t>(y * s), 0, depth, bytes, mScratch.data());
        mBytesSent += bytes;
    }
    xcb_flush(c);
    return true;
}
