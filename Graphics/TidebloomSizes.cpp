#include "Graphics/TidebloomSizes.h"

#include <cstdio>

namespace {

TidebloomBox ScaledBox(const TidebloomBox& b, int percent) {
    return {TidebloomScaled(b.x, percent), TidebloomScaled(b.y, percent), TidebloomScaled(b.w, percent),
            TidebloomScaled(b.h, percent)};
}

} // namespace

bool TidebloomOffersSize(int percent) {
    for (int p : kTidebloomSizes)
        if (p == percent) return true;
    return false;
}

TidebloomSizedLayout::TidebloomSizedLayout(int percent, const TidebloomPicture& background)
    : mPercent(percent) {
    const int p = percent;
    const TidebloomPicture& back = background;
    mBackground = Sized(back, 0, TidebloomScaled(back.width, p), TidebloomScaled(back.height, p));
    for (int i = 0; i < kTidebloomNumKnobs; ++i) {
        const TidebloomKnobLayout& k = kTidebloomKnobs[i];
        TidebloomKnobLayout& s = mKnobs[i];
        s = k;
        s.anchorX = TidebloomScaled(k.anchorX, p);
        s.anchorY = TidebloomScaled(k.anchorY, p);
        const int side = TidebloomScaled(k.knob.width, p);
        s.knob = Sized(k.knob, 1 + 2 * i, side, side);
        s.caption = Sized(k.caption, 2 + 2 * i, TidebloomScaled(k.caption.width, p),
                          TidebloomScaled(k.caption.FrameHeight(), p));
        s.labelSize = TidebloomScaled(k.labelSize, p);
        s.readout = ScaledBox(k.readout, p);
    }
    const TidebloomSwitchLayout& sw = kTidebloomSwitch;
    mSwitch = sw;
    mSwitch.x = TidebloomScaled(sw.x, p);
    mSwitch.y = TidebloomScaled(sw.y, p);
    mSwitch.picture = Sized(sw.picture, 1 + 2 * kTidebloomNumKnobs, TidebloomScaled(sw.picture.width, p),
                            TidebloomScaled(sw.picture.FrameHeight(), p));
    mSwitch.labelSize = TidebloomScaled(sw.labelSize, p);
    mSwitch.readout = ScaledBox(sw.readout, p);
}

TidebloomPicture TidebloomSizedLayout::Sized(const TidebloomPicture& p, int slot, int width,
                                             int frameHeight) {
    std::string& name = mNames[slot];
    name = p.path;
    if (mPercent != 100) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "_%d", mPercent);
        name.insert(name.rfind('.'), suffix);
    }
    const int id = mPercent == 100 ? p.id : p.id + 100 * mPercent;
    return {id, name.c_str(), width, frameHeight * p.frames, p.frames};
}
