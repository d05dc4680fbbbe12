#pragma once
// IBitmap: a picture as controls see it: the raster bitmap (owned by the picture store, never by the
// IBitmap value), the width and height of the whole strip, the number of frames N and whether the frames
// lie side by side (otherwise stacked vertically). A filmstrip knob is one IBitmap of N frames. A picture
// that could not be loaded has a null raster bitmap and size 0 x 0; drawing it draws nothing.
// A plain value type; copies share the raster bitmap.

class Raster_IBitmap;

struct IBitmap {
    Raster_IBitmap* mData = nullptr;
    int W = 0, H = 0;
    int N = 1;
    bool mFramesAreHorizontal = false;

    IBitmap() = default;
    // A frame count below 1 counts as 1.
    IBitmap(Raster_IBitmap* data, int w, int h, int n = 1, bool framesAreHorizontal = false)
        : mData(data), W(w), H(h), N(n < 1 ? 1 : n), mFramesAreHorizontal(framesAreHorizontal) {}

    // N, at least 1 (N is public and may have been set to anything).
    int Frames() const { return N < 1 ? 1 : N; }
    // Size of one frame along the strip (integer division): W / N side by side, H / N stacked.
    int FrameW() const { return mFramesAreHorizontal ? W / Frames() : W; }
    int FrameH() const { return mFramesAreHorizontal ? H : H / Frames(); }
    // The frame (1-based) a normalised value shows: round((N - 1) * value) + 1, at least 1, at most N.
    int FrameForValue(double value) const { return FrameForValue(Frames(), value); }
    static int FrameForValue(int nFrames, double value) {
        if (nFrames < 2 || !(value > 0.0)) return 1;
        if (value >= 1.0) return nFrames;
        const int i = static_cast<int>((nFrames - 1) * value + 0.5);
        return i + 1 < nFrames ? i + 1 : nFrames;
    }
};
