#pragma once
// Shared by the tests of Tidebloom's editor: the effect made in-process the way its entry function makes
// it, the layout's placement rule written out independently of the controls, and the compiled-in
// pictures decoded straight from their PNG bytes (not through the editor's picture store).
#include <cstdint>
#include <memory>

#include "Graphics/TidebloomLayout.h"
#include "TidebloomWithEditor.h"
#include "framework/raster/raster.h"

// An entry function for the in-process test host: a new Tidebloom with its editor behind an effect
// record, as the plug-in's entry makes it.
inline AEffect* TidebloomTestEntry(audioMasterCallback host) {
    return VSTCreateInstance(
        host, [](const IEffectInstanceInfo& info) -> IEffectVST* { return TidebloomCreateWithEditor(info); });
}

struct LayoutRect {
    int l, t, r, b; // right and bottom exclusive
    bool Overlaps(const LayoutRect& o) const { return l < o.r && o.l < r && t < o.b && o.t < b; }
    bool Inside(int w, int h) const { return l >= 0 && t >= 0 && r <= w && b <= h && l < r && t < b; }
    bool Contains(int x, int y) const { return x >= l && x < r && y >= t && y < b; }
    bool operator==(const LayoutRect&) const = default;
};

// A picture centred on (x, y) the way the editor places it: integer halves of its width and of one
// frame's height.
inline LayoutRect Centred(int x, int y, const TidebloomPicture& p) {
    const int fh = p.height / p.frames;
    return {x - p.width / 2, y - fh / 2, x - p.width / 2 + p.width, y - fh / 2 + fh};
}

// The switch: one frame with its top-left corner at its anchor.
inline LayoutRect SwitchRect() {
    const TidebloomSwitchLayout& s = kTidebloomSwitch;
    return {s.x, s.y, s.x + s.picture.width, s.y + s.picture.FrameHeight()};
}

inline std::unique_ptr<Raster_IBitmap> LoadCompiledIn(const TidebloomPicture& p) {
    return std::unique_ptr<Raster_IBitmap>(
        Raster_LoadPNGFromNamedResource(TidebloomResourceName(p.path), nullptr));
}

inline uint32_t PixelAt(Raster_IBitmap* bm, int x, int y) {
    return bm->getBits()[y * bm->getRowSpan() + x];
}
