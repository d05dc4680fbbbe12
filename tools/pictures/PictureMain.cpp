// tidebloom-pictures OUTDIR: draws every picture of the editor at each of its sizes and writes each as a
// PNG file named by the last component of its file name in the layout at that size (OUTDIR/back2.png,
// OUTDIR/back2_150.png, OUTDIR/time_knob_200.png, ...). Run by the build; exit status 1 with one line on
// stderr when a file cannot be written or a picture does not fit its layout (a drawing that touches the
// edge of its picture, a control's name outside the box its readout covers).
#include "Graphics/TidebloomSizes.h"
#include "tools/pictures/TidebloomPictures.h"

#include <cstdio>
#include <memory>
#include <string>

namespace {

// True when something is drawn on the outermost rows or columns: the picture is too small for it.
bool TouchesEdge(Raster_IBitmap* bm) {
    const int w = bm->getWidth(), h = bm->getHeight();
    for (int x = 0; x < w; ++x)
        if (Raster_GetA(Raster_GetPixel(bm, x, 0)) || Raster_GetA(Raster_GetPixel(bm, x, h - 1))) return true;
    for (int y = 0; y < h; ++y)
        if (Raster_GetA(Raster_GetPixel(bm, 0, y)) || Raster_GetA(Raster_GetPixel(bm, w - 1, y))) return true;
    return false;
}

bool Write(const std::string& dir, const TidebloomPicture& pic, Raster_MemBitmap* bitmap,
           bool checkEdges = false) {
    const std::string path = dir + "/" + TidebloomResourceName(pic.path);
    if (checkEdges && TouchesEdge(bitmap)) {
        std::fprintf(stderr, "tidebloom-pictures: error: '%s' is too small for its drawing (%d x %d)\n",
                     pic.path, pic.width, pic.height);
        return false;
    }
    if (bitmap->getWidth() != pic.width || bitmap->getHeight() != pic.height ||
        !Raster_WritePNG(bitmap, path.c_str())) {
        std::fprintf(stderr, "tidebloom-pictures: error: cannot write '%s'\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tidebloom-pictures OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;
    // Tidebloom's background, and Tidebloom Precise's, which names it.
    struct Background {
        const TidebloomPicture& picture;
        const char* subtitle;
    };
    const Background backgrounds[] = {{kTidebloomBackground, "NOTE SWELL"},
                                      {kTidebloomPreciseBackground, "PRECISE NOTE SWELL"}};
    for (int percent : kTidebloomSizes) {
        for (const Background& b : backgrounds) {
            const TidebloomSizedLayout layout(percent, b.picture);
            std::string labelError;
            ok = ok && Write(dir, layout.Background(),
                             TidebloomDrawBackground(layout, b.subtitle, &labelError).get());
            if (ok && !labelError.empty()) {
                std::fprintf(stderr, "tidebloom-pictures: error: %s: %s\n", layout.Background().path,
                             labelError.c_str());
                ok = false;
            }
        }
        const TidebloomSizedLayout layout(percent);
        for (int i = 0; i < kTidebloomNumKnobs; ++i) {
            ok = ok && Write(dir, layout.Knob(i).knob, TidebloomDrawKnob(layout, i).get());
            ok = ok && Write(dir, layout.Knob(i).caption, TidebloomDrawScale(layout, i).get(), true);
        }
        ok = ok && Write(dir, layout.Switch().picture, TidebloomDrawSwitch(layout).get());
    }
    return ok ? 0 : 1;
}
