#pragma once
// The editor's layout at each of the sizes it is drawn at: 100 %, 150 % and 200 % of the layout in
// TidebloomLayout.h. Every position and size is scaled and rounded to the nearest pixel (halves up);
// knob frames stay square and every strip keeps its frame count. Each picture exists at each size
// under a name and resource ID of its own ("back2.png", "back2_150.png", "back2_200.png"), drawn
// natively at that size by the picture generator (tools/pictures), which draws from this layout too.
//
// A TidebloomSizedLayout is a plain value made on any thread (the editor's, the generator's); its
// pictures' names point into the object itself, so it is neither copied nor moved.
#include <string>

#include "Graphics/TidebloomLayout.h"

inline constexpr int kTidebloomSizes[] = {100, 150, 200};
inline constexpr int kTidebloomNumSizes = sizeof(kTidebloomSizes) / sizeof(kTidebloomSizes[0]);

// A length of the 100 % layout at percent, to the nearest pixel (halves up).
constexpr int TidebloomScaled(int v, int percent) {
    return (v * percent + 50) / 100;
}

// Whether percent is one of kTidebloomSizes.
bool TidebloomOffersSize(int percent);

class TidebloomSizedLayout {
public:
    // The layout at percent (any positive percent; pictures are drawn for kTidebloomSizes only), over
    // background (the 100 % picture; Tidebloom Precise has its own).
    explicit TidebloomSizedLayout(int percent, const TidebloomPicture& background = kTidebloomBackground);
    TidebloomSizedLayout(const TidebloomSizedLayout&) = delete;
    TidebloomSizedLayout& operator=(const TidebloomSizedLayout&) = delete;

    int Percent() const { return mPercent; }
    int Width() const { return mBackground.width; }
    int Height() const { return mBackground.height; }
    const TidebloomPicture& Background() const { return mBackground; }
    // Knob i, in the order of kTidebloomKnobs.
    const TidebloomKnobLayout& Knob(int i) const { return mKnobs[i]; }
    const TidebloomSwitchLayout& Switch() const { return mSwitch; }

private:
    // The picture p at this size; its name is stored in mNames[slot].
    TidebloomPicture Sized(const TidebloomPicture& p, int slot, int width, int frameHeight);

    int mPercent;
    std::string mNames[2 + 2 * kTidebloomNumKnobs];
    TidebloomPicture mBackground;
    TidebloomKnobLayout mKnobs[kTidebloomNumKnobs];
    TidebloomSwitchLayout mSwitch;
};
