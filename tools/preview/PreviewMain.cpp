// tidebloom-preview OUT.png [NAME=VALUE ...]: the editor as it looks at the effect's default settings
// (or with some normalised values changed), put together from the compiled-in pictures the way the
// editor draws them: the background, then for each knob its scale and the frame floor(119 v) + 1 of its
// strip, then the switch's frame, all blended with their alpha. For judging the look at build time.
#include "Graphics/TidebloomLayout.h"
#include "Tidebloom.h"
#include "framework/raster/raster.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

intptr_t SilentHost(AEffect*, int32_t, int32_t, intptr_t, void*, float) {
    return 0;
}

std::unique_ptr<Raster_IBitmap> Load(const TidebloomPicture& pic) {
    std::unique_ptr<Raster_IBitmap> bm(
        Raster_LoadPNGFromNamedResource(TidebloomResourceName(pic.path), nullptr));
    if (!bm) std::fprintf(stderr, "tidebloom-preview: error: picture '%s' is not compiled in\n", pic.path);
    return bm;
}

// Frame `frame` (1-based) of a strip, centred on (x, y) or with its top-left there.
void Draw(Raster_IBitmap* dest, Raster_IBitmap* strip, const TidebloomPicture& pic, int frame, int x, int y,
          bool centred) {
    const int fh = pic.FrameHeight();
    const int left = centred ? x - pic.width / 2 : x, top = centred ? y - fh / 2 : y;
    Raster_Blit(dest, strip, left, top, 0, (frame - 1) * fh, pic.width, fh, 1.0f,
                RASTER_BLEND_COPY | RASTER_BLEND_SOURCE_ALPHA);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tidebloom-preview OUT.png [PARAM=VALUE ...]\n");
        return 2;
    }
    // The effect's own defaults, read from an instance as a host would.
    float values[kNumParams] = {};
    AEffect* fx = VSTCreateInstance(
        SilentHost, [](const IEffectInstanceInfo& info) -> IEffectVST* { return new Tidebloom(info); });
    if (!fx) return 1;
    fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0.0f);
    for (int i = 0; i < kNumParams; ++i) values[i] = fx->getParameter(fx, i);
    fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
    for (int a = 2; a < argc; ++a) {
        const char* eq = std::strchr(argv[a], '=');
        const int index = eq ? std::atoi(argv[a]) : -1;
        if (!eq || index < 0 || index >= kNumParams) {
            std::fprintf(stderr, "tidebloom-preview: error: '%s' is not INDEX=VALUE\n", argv[a]);
            return 2;
        }
        values[index] = static_cast<float>(std::atof(eq + 1));
    }

    auto back = Load(kTidebloomBackground);
    if (!back) return 1;
    Raster_MemBitmap editor(kTidebloomEditorWidth, kTidebloomEditorHeight);
    Raster_Blit(&editor, back.get(), 0, 0, nullptr, 1.0f, RASTER_BLEND_COPY);
    for (const TidebloomKnobLayout& k : kTidebloomKnobs) {
        auto caption = Load(k.caption), strip = Load(k.knob);
        if (!caption || !strip) return 1;
        Draw(&editor, caption.get(), k.caption, 1, k.anchorX, k.anchorY, true);
        const int i = static_cast<int>((k.knob.frames - 1) * static_cast<double>(values[k.param]));
        Draw(&editor, strip.get(), k.knob, i < 0 ? 1 : std::min(i + 1, k.knob.frames), k.anchorX, k.anchorY,
             true);
    }
    const TidebloomSwitchLayout& s = kTidebloomSwitch;
    auto sw = Load(s.picture);
    if (!sw) return 1;
    const int frame = 1 + static_cast<int>(std::lround(values[s.param] * (s.picture.frames - 1)));
    Draw(&editor, sw.get(), s.picture, frame, s.x, s.y, false);
    if (!Raster_WritePNG(&editor, argv[1], false)) {
        std::fprintf(stderr, "tidebloom-preview: error: cannot write '%s'\n", argv[1]);
        return 1;
    }
    return 0;
}
