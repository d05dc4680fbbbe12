#pragma once
// Shared by the tests of Tidebloom's editor bound to the effect: the effect made by the in-process test
// host with its editor (no window), and the editor's pixels at rest composed from the compiled-in
// pictures.
#include <memory>
#include <string>
#include <vector>

#include "Graphics/TidebloomEditor.h"
#include "framework/editor/IGraphics.h"
#include "framework/platform/linux/IGraphicsHeadless.h"
#include "tests/Graphics/TidebloomTestSupport.h"
#include "tests/support/BlendRef.h"
#include "tests/support/vst2/TestHost.h"

inline constexpr int kSwitchControl = 1 + kTidebloomNumKnobs;

// Tidebloom with its controls on the headless platform (scripted text fields and menus) instead of the
// X11 window host.
inline AEffect* TidebloomHeadlessEntry(audioMasterCallback host) {
    return VSTCreateInstance(host, [](const IEffectInstanceInfo& info) -> IEffectVST* {
        auto* plug = new Tidebloom(info);
        auto* graphics = new IGraphicsHeadless(plug, kTidebloomEditorWidth, kTidebloomEditorHeight);
        TidebloomAttachControls(graphics);
        plug->AttachGraphics(graphics);
        return plug;
    });
}

struct Session {
    TestHost host;
    AEffect* fx = nullptr;
    IGraphics* gui = nullptr;

    explicit Session(AEffect* (*entry)(audioMasterCallback) = TidebloomTestEntry) {
        fx = host.Load(entry);
        if (!fx) return;
        host.Open();
        gui = static_cast<IGraphics*>(static_cast<IEffectVST*>(fx->object)->GetGUI());
    }
    void DrawAll() {
        IRECT all(0, 0, gui->Width(), gui->Height());
        gui->Draw(&all);
    }
    void Click(int x, int y) {
        IMouseMod left(true);
        gui->OnMouseDown(x, y, &left);
        gui->OnMouseUp(x, y, &left);
    }
    uint32_t At(int x, int y) { return PixelAt(gui->GetDrawBitmap(), x, y); }
};

// The background's pixel with the picture p's frame `frame` placed at r blended over it.
inline uint32_t Over(uint32_t below, Raster_IBitmap* picture, const TidebloomPicture& p, const LayoutRect& r,
                     int frame, int x, int y) {
    if (!r.Contains(x, y)) return below;
    return blendref::CopySourceAlpha(below,
                                     PixelAt(picture, x - r.l, (frame - 1) * p.FrameHeight() + y - r.t), 256);
}

// Every pixel of the knob's caption rectangle (which holds its strip's rectangle) equals the background,
// its caption and frame `frame` of its strip composed; "" or the first wrong pixel. At another size: that
// size's knob layout and background.
inline std::string KnobAreaWrong(Session& s, const TidebloomKnobLayout& k, int frame,
                                 const TidebloomPicture& background = kTidebloomBackground) {
    auto back = LoadCompiledIn(background), caption = LoadCompiledIn(k.caption),
         strip = LoadCompiledIn(k.knob);
    if (!back || !caption || !strip) return "pictures not compiled in";
    const LayoutRect cr = Centred(k.anchorX, k.anchorY, k.caption),
                     kr = Centred(k.anchorX, k.anchorY, k.knob);
    for (int y = cr.t; y < cr.b; ++y)
        for (int x = cr.l; x < cr.r; ++x) {
            uint32_t want = PixelAt(back.get(), x, y);
            want = Over(want, caption.get(), k.caption, cr, 1, x, y);
            want = Over(want, strip.get(), k.knob, kr, frame, x, y);
            if (s.At(x, y) != want) return std::to_string(x) + ", " + std::to_string(y);
        }
    return "";
}

inline std::string SwitchAreaWrong(Session& s, int frame) {
    auto back = LoadCompiledIn(kTidebloomBackground), sw = LoadCompiledIn(kTidebloomSwitch.picture);
    if (!back || !sw) return "pictures not compiled in";
    const LayoutRect r = SwitchRect();
    for (int y = r.t; y < r.b; ++y)
        for (int x = r.l; x < r.r; ++x) {
            const uint32_t want =
                Over(PixelAt(back.get(), x, y), sw.get(), kTidebloomSwitch.picture, r, frame, x, y);
            if (s.At(x, y) != want) return std::to_string(x) + ", " + std::to_string(y);
        }
    return "";
}

inline const TidebloomKnobLayout& KnobOf(int param) {
    for (const TidebloomKnobLayout& k : kTidebloomKnobs)
        if (k.param == param) return k;
    return kTidebloomKnobs[0];
}

// Every pixel of area equals the editor with nothing in use: the background, each knob's caption and
// strip frame frames[i], the switch's frame; "" or the first wrong pixel.
inline std::string RestWrong(Session& s, const LayoutRect& area, const std::vector<int>& frames,
                             int switchFrame) {
    auto back = LoadCompiledIn(kTidebloomBackground), sw = LoadCompiledIn(kTidebloomSwitch.picture);
    if (!back || !sw) return "pictures not compiled in";
    std::vector<std::unique_ptr<Raster_IBitmap>> captions, strips;
    for (const TidebloomKnobLayout& k : kTidebloomKnobs) {
        captions.push_back(LoadCompiledIn(k.caption));
        strips.push_back(LoadCompiledIn(k.knob));
        if (!captions.back() || !strips.back()) return "pictures not compiled in";
    }
    for (int y = area.t; y < area.b; ++y)
        for (int x = area.l; x < area.r; ++x) {
            uint32_t want = PixelAt(back.get(), x, y);
            for (int i = 0; i < kTidebloomNumKnobs; ++i) {
                const TidebloomKnobLayout& k = kTidebloomKnobs[i];
                want = Over(want, captions[i].get(), k.caption, Centred(k.anchorX, k.anchorY, k.caption), 1,
                            x, y);
                want = Over(want, strips[i].get(), k.knob, Centred(k.anchorX, k.anchorY, k.knob), frames[i],
                            x, y);
            }
            want = Over(want, sw.get(), kTidebloomSwitch.picture, SwitchRect(), switchFrame, x, y);
            if (s.At(x, y) != want) return std::to_string(x) + ", " + std::to_string(y);
        }
    return "";
}
