#include "tools/pictures/TidebloomPictures.h"

#include "tools/pictures/PictureCanvas.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

namespace {

// The palette: deep sea blues, a coral accent for values, a sea-green light for "on".
const PictureColour kBackTop = PictureHex(0x243544);
const PictureColour kBackBottom = PictureHex(0x10171e);
const PictureColour kLabel = PictureHex(0xc8d5de);
const PictureColour kNumber = PictureHex(0x8ea3b3);
const PictureColour kTickMinor = PictureHex(0x5d7281);
const PictureColour kTickMajor = PictureHex(0xa2b5c3);
const PictureColour kCoral = PictureHex(0xff8a5c);
const PictureColour kSea = PictureHex(0x4fd6be);
const PictureColour kTrack = PictureHex(0x080c10, 0.85f);
const PictureColour kPointer = PictureHex(0xf7f2e8);
const PictureColour kBlack = PictureHex(0x000000);

constexpr const char* kFace = "DejaVu Sans";
constexpr double kStart = kTidebloomKnobStartDegrees;
constexpr double kSweep = kTidebloomKnobSweepDegrees;

// Where the parts of a knob lie, measured from its centre: designed for the 100 % frame size, every
// length scaled by k for the size drawn.
struct KnobGeometry {
    double centre;   // F / 2: the knob turns about (centre, centre)
    double ringW;    // width of the value ring
    double ringR;    // radius of the middle of the ring
    double bodyR;    // the knob's body
    double faceR;    // the dished face inside the body
    double pointerW; // width of the pointer bar
    double tickR;    // where the scale's ticks start
    double minorLen; // length of the scale's ticks
    double majorLen;
    double outerR; // the outer end of the long ticks

    // design: the frame size at 100 %; size: the frame size drawn.
    KnobGeometry(int design, int size, double k) {
        centre = size / 2.0;
        ringW = std::max(3.0, design * 0.045) * k;
        ringR = centre - 3.0 * k - ringW / 2;
        bodyR = ringR - ringW / 2 - std::max(4.0, design * 0.06) * k;
        faceR = bodyR * 0.78;
        pointerW = std::max(2.6, design * 0.04) * k;
        tickR = ringR + ringW / 2 + 4.0 * k;
        minorLen = (design >= 100 ? 4.5 : 3.5) * k;
        majorLen = minorLen + 3.0 * k;
        outerR = tickR + majorLen;
    }
};

// A length of the 100 % design in whole pixels at scale k (at least 1).
int Px(double length, double k) {
    return std::max(1, static_cast<int>(std::lround(length * k)));
}

double AngleOf(double v) {
    return kStart + kSweep * v;
}

// Paints an RGBA layer over dest (straight alpha), pixel for pixel.
void Over(Raster_IBitmap* dest, Raster_IBitmap* layer) {
    PictureCoverage cov(layer->getWidth(), layer->getHeight());
    for (int y = 0; y < cov.Height(); ++y)
        for (int x = 0; x < cov.Width(); ++x)
            cov.Ref(x, y) = Raster_GetA(Raster_GetPixel(layer, x, y)) / 255.0f;
    PicturePaint(dest, cov, [layer](double x, double y) {
        const uint32_t p = Raster_GetPixel(layer, static_cast<int>(x), static_cast<int>(y));
        return PictureColour{Raster_GetR(p) / 255.0f, Raster_GetG(p) / 255.0f, Raster_GetB(p) / 255.0f, 1.0f};
    });
}

// The value ring's lit part from the start of the sweep to v, with round ends.
void LitArc(PictureMask& m, const KnobGeometry& g, double v) {
    const double to = AngleOf(v);
    m.Band(g.centre, g.centre, g.ringR - g.ringW / 2, g.ringR + g.ringW / 2, kStart, to);
    for (double a : {kStart, to})
        m.Disc(PictureAngleX(g.centre, g.ringR, a), PictureAngleY(g.centre, g.ringR, a), g.ringW / 2);
}

// What does not move: the ring's groove below, the body and face above the lit arc.
void KnobLayers(int size, double k, const KnobGeometry& g, Raster_MemBitmap* groove, Raster_MemBitmap* body) {
    const double c = g.centre;
    PictureMask track(size, size);
    LitArc(track, g, 1.0);
    PicturePaint(groove, track.Resolve(), kTrack);

    PictureMask disc(size, size);
    disc.Disc(c, c, g.bodyR);
    PictureCoverage bodyCov = disc.Resolve();
    PictureCoverage shadow = bodyCov.Shifted(0, std::max(1, size / 40));
    shadow.Blur(std::max(1, size / 36), 2);
    PicturePaint(body, shadow, kBlack, 0.75f);
    PicturePaint(body, bodyCov,
                 PictureLinear(c, c - g.bodyR, PictureHex(0x5a6875), c, c + g.bodyR, PictureHex(0x1a2128)));

    // A bevel: a thin light rim at the top fading out towards the sides.
    PictureMask rim(size, size);
    rim.Disc(c, c, g.bodyR);
    rim.Disc(c, c + 1.1 * k, g.bodyR - 1.0 * k, false);
    PicturePaint(
        body, rim.Resolve(),
        PictureLinear(c, c - g.bodyR, PictureHex(0xffffff, 0.55f), c, c, PictureHex(0xffffff, 0.0f)));

    // The dished face: darker at the top, as if lit from above.
    PictureMask face(size, size);
    face.Disc(c, c, g.faceR + 1.0 * k);
    PicturePaint(body, face.Resolve(), PictureHex(0x0d1216), 0.45f);
    PictureMask inner(size, size);
    inner.Disc(c, c, g.faceR);
    PicturePaint(body, inner.Resolve(),
                 PictureLinear(c, c - g.faceR, PictureHex(0x222a32), c, c + g.faceR, PictureHex(0x3c4855)));
}

// Tick positions (0..1) and the numbers printed on a knob's scale.
struct ScaleLabel {
    double v;
    std::string text;
};
struct ScaleMarks {
    std::vector<double> minor, major;
    std::vector<ScaleLabel> labels; // the first and last sit at the two ends
};

std::string Seconds(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g s", s);
    return buf;
}

ScaleMarks MarksFor(int param) {
    ScaleMarks s;
    auto linear = [&](double top, double step, double majorStep) {
        for (double x = 0.0; x <= top + 1e-9; x += step) {
            const double q = x / majorStep;
            (std::abs(q - std::round(q)) < 1e-6 ? s.major : s.minor).push_back(x / top);
        }
    };
    switch (param) {
    case 1: {
        // Time: the rise lasts 10^(3v - 2) seconds, 0.01 s to 10 s; one decade per third of the turn.
        auto pos = [](double seconds) { return (std::log10(seconds) + 2.0) / 3.0; };
        for (double decade : {0.01, 0.1, 1.0}) {
            s.major.push_back(pos(decade));
            for (double m : {2.0, 5.0}) s.minor.push_back(pos(decade * m));
        }
        s.major.push_back(1.0);
        s.labels = {{0.0, Seconds(0.01)}, {pos(0.1), "0.1"}, {pos(1.0), "1"}, {1.0, Seconds(10)}};
        break;
    }
    case 3: // Vol: a gain of 0 to 2, unity at the top
        linear(2.0, 0.2, 1.0);
        s.labels = {{0.0, "0"}, {0.5, "1"}, {1.0, "2"}};
        break;
    default: // Sensitivity and Depth: 0 to 1
        linear(1.0, 0.1, 0.5);
        s.labels = {{0.0, "0"}, {1.0, "1"}};
        break;
    }
    return s;
}

// The pixel size of the numbers on the scale of a knob designed at knobSize, at percent.
int NumberFontSize(int knobSize, int percent) {
    return TidebloomScaled(knobSize >= 100 ? 11 : 10, percent);
}

// The scale of a size: 1.0 at 100 %.
double ScaleOf(const TidebloomSizedLayout& layout) {
    return layout.Percent() / 100.0;
}

} // namespace

std::unique_ptr<Raster_MemBitmap> TidebloomDrawKnob(const TidebloomSizedLayout& layout, int index) {
    const TidebloomKnobLayout& knob = layout.Knob(index);
    const double k = ScaleOf(layout);
    const int size = knob.knob.width, frame = knob.knob.FrameHeight();
    const KnobGeometry g(kTidebloomKnobs[index].knob.width, size, k);
    auto groove = PictureNewBitmap(size, size), body = PictureNewBitmap(size, size);
    KnobLayers(size, k, g, groove.get(), body.get());

    auto strip = PictureNewBitmap(knob.knob.width, knob.knob.height);
    auto img = PictureNewBitmap(size, size);
    for (int f = 0; f < knob.knob.frames; ++f) {
        const double v = static_cast<double>(f) / (knob.knob.frames - 1);
        Raster_Blit(img.get(), groove.get(), 0, 0, nullptr, 1.0f, RASTER_BLEND_COPY);
        if (f > 0) {
            PictureMask arc(size, size);
            LitArc(arc, g, v);
            PictureCoverage lit = arc.Resolve();
            PictureCoverage glow = lit;
            glow.Blur(Px(2, k), 2);
            PicturePaint(img.get(), glow, kCoral, 0.6f);
            PicturePaint(img.get(), lit, kCoral);
        }
        Over(img.get(), body.get());
        const double a = AngleOf(v), c = g.centre;
        PictureMask pointer(size, size);
        pointer.Capsule(PictureAngleX(c, g.faceR * 0.28, a), PictureAngleY(c, g.faceR * 0.28, a),
                        PictureAngleX(c, g.bodyR - g.pointerW * 0.9, a),
                        PictureAngleY(c, g.bodyR - g.pointerW * 0.9, a), g.pointerW);
        PictureCoverage p = pointer.Resolve();
        PicturePaint(img.get(), p.Shifted(0, Px(1, k)), kBlack, 0.45f);
        PicturePaint(img.get(), p, kPointer);
        Raster_Blit(strip.get(), img.get(), 0, f * frame, nullptr, 1.0f, RASTER_BLEND_COPY);
    }
    return strip;
}

std::unique_ptr<Raster_MemBitmap> TidebloomDrawScale(const TidebloomSizedLayout& layout, int index) {
    const TidebloomKnobLayout& knob = layout.Knob(index);
    const double k = ScaleOf(layout);
    const int design = kTidebloomKnobs[index].knob.width;
    const int w = knob.caption.width, h = knob.caption.height;
    const KnobGeometry g(design, knob.knob.width, k);
    const double cx = w / 2.0, cy = h / 2.0;
    const ScaleMarks marks = MarksFor(knob.param);
    auto img = PictureNewBitmap(w, h);

    const double minorLen = g.minorLen, majorLen = g.majorLen;
    PictureMask minor(w, h), major(w, h);
    for (double v : marks.minor) {
        const double a = AngleOf(v);
        minor.Capsule(PictureAngleX(cx, g.tickR, a), PictureAngleY(cy, g.tickR, a),
                      PictureAngleX(cx, g.tickR + minorLen, a), PictureAngleY(cy, g.tickR + minorLen, a),
                      1.2 * k);
    }
    for (double v : marks.major) {
        const double a = AngleOf(v);
        major.Capsule(PictureAngleX(cx, g.tickR, a), PictureAngleY(cy, g.tickR, a),
                      PictureAngleX(cx, g.tickR + majorLen, a), PictureAngleY(cy, g.tickR + majorLen, a),
                      1.6 * k);
    }
    PicturePaint(img.get(), minor.Resolve(), kTickMinor);
    PicturePaint(img.get(), major.Resolve(), kTickMajor);

    PictureFont font(kFace, NumberFontSize(design, layout.Percent()), false);
    PictureMask text(w, h);
    const double outer = g.outerR;
    const int lh = font.LineHeight();
    for (size_t i = 0; i < marks.labels.size(); ++i) {
        const ScaleLabel& l = marks.labels[i];
        const double a = AngleOf(l.v);
        const bool end = i == 0 || i + 1 == marks.labels.size();
        if (end) {
            // Under the end of the scale, flush with the outer end of its tick.
            const double x = PictureAngleX(cx, outer, a), y = PictureAngleY(cy, outer, a);
            text.Text(font, l.text, x, y + 1.0 * k, true);
        } else {
            // Out along the tick's direction.
            const double r = outer + lh * 0.5 + 3.0 * k;
            const double x = PictureAngleX(cx, r, a), y = PictureAngleY(cy, r, a);
            text.Text(font, l.text, x + std::sin(a * std::numbers::pi / 180.0) * 4.0 * k, y - lh / 2.0, true);
        }
    }
    PicturePaint(img.get(), text.Resolve(), kNumber);
    return img;
}

std::unique_ptr<Raster_MemBitmap> TidebloomDrawBackground(const TidebloomSizedLayout& layout,
                                                          const char* subtitle, std::string* pLabelError) {
    const double k = ScaleOf(layout);
    const int w = layout.Width(), h = layout.Height();
    auto img = PictureNewBitmap(w, h);
    const float dy = 1.0f / static_cast<float>(h);
    Raster_GradRect(img.get(), 0, 0, w, h, kBackTop.r, kBackTop.g, kBackTop.b, 1.0f, 0, 0, 0, 0,
                    (kBackBottom.r - kBackTop.r) * dy, (kBackBottom.g - kBackTop.g) * dy,
                    (kBackBottom.b - kBackTop.b) * dy, 0, RASTER_BLEND_COPY);

    // Faint swells rolling in along the bottom.
    for (int i = 0; i < 3; ++i) {
        PictureMask wave(w, h);
        const double base = h - (18 + i * 16) * k, amp = (5 + i * 2) * k, len = (180 + i * 55) * k;
        const double phase = i * 1.7;
        std::vector<double> pts;
        for (int x = -4; x <= w + 4; x += 4) {
            const double y0 = base + amp * std::sin(x / len * 2 * std::numbers::pi + phase);
            const double y1 = base + amp * std::sin((x + 4) / len * 2 * std::numbers::pi + phase);
            wave.Polygon(
                {double(x), y0, double(x + 4), y1, double(x + 4), double(h + 2), double(x), double(h + 2)});
        }
        PicturePaint(img.get(), wave.Resolve(), kSea, 0.025f + 0.01f * i);
    }

    // Recessed panels for the three groups of controls.
    struct Panel {
        double x, y, w, h;
    };
    const Panel panels[] = {{14, 70, 238, 194}, {262, 40, 140, 160}, {412, 14, 129, 278}};
    for (Panel p : panels) {
        p = {p.x * k, p.y * k, p.w * k, p.h * k};
        PictureMask m(w, h);
        m.RoundRect(p.x, p.y, p.w, p.h, 8 * k);
        PictureCoverage fill = m.Resolve();
        PicturePaint(img.get(), fill, PictureHex(0x000000), 0.22f);
        PictureMask edge(w, h);
        edge.RoundRect(p.x, p.y, p.w, p.h, 8 * k);
        edge.RoundRect(p.x + k, p.y + k, p.w - 2 * k, p.h - 2 * k, 7 * k, false);
        PicturePaint(
            img.get(), edge.Resolve(),
            PictureLinear(0, p.y, PictureHex(0x000000, 0.5f), 0, p.y + p.h, PictureHex(0xffffff, 0.12f)));
    }

    // The product name beside the switch, in two tones.
    const int percent = layout.Percent();
    PictureFont title(kFace, TidebloomScaled(27, percent), true);
    PictureMask tide(w, h), bloom(w, h);
    const double tx = 100 * k, ty = 17 * k;
    tide.Text(title, "Tide", tx, ty, false);
    bloom.Text(title, "bloom", tx + title.Measure("Tide"), ty, false);
    PicturePaint(img.get(), tide.Resolve(), PictureHex(0xd9ece8));
    PicturePaint(img.get(), bloom.Resolve(), kCoral);
    PictureFont small(kFace, TidebloomScaled(9, percent), true);
    PictureMask sub(w, h);
    sub.Text(small, subtitle, tx + 2 * k, ty + 33 * k, false, 2.0 * k);
    PicturePaint(img.get(), sub.Resolve(), kNumber);

    // The controls' names, under each knob and under the switch, each inside the box its readout covers
    // (checked on a mask of its own).
    PictureMask names(w, h);
    auto name = [&](PictureFont& font, const std::string& text, double x, double y, double tracking,
                    const TidebloomBox& box) {
        names.Text(font, text, x, y, true, tracking);
        PictureMask alone(w, h);
        alone.Text(font, text, x, y, true, tracking);
        const PictureCoverage cov = alone.Resolve();
        for (int py = 0; py < h; ++py)
            for (int px = 0; px < w; ++px)
                if (cov.At(px, py) > 0.0f &&
                    (px < box.x || px >= box.x + box.w || py < box.y || py >= box.y + box.h) && pLabelError &&
                    pLabelError->empty())
                    *pLabelError = "'" + text + "' reaches out of its readout box at " + std::to_string(px) +
                                   ", " + std::to_string(py);
    };
    for (int i = 0; i < kTidebloomNumKnobs; ++i) {
        const TidebloomKnobLayout& kl = layout.Knob(i);
        const int design = kTidebloomKnobs[i].knob.width;
        const KnobGeometry g(design, kl.knob.width, k);
        PictureFont f(kFace, kl.labelSize, true);
        std::string upper;
        for (const char* p = kl.label; *p; ++p)
            upper += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
        // Below the numbers at the ends of the scale.
        PictureFont numbers(kFace, NumberFontSize(design, percent), false);
        const double endY = PictureAngleY(kl.anchorY, g.outerR, kStart) + 1.0 * k + numbers.LineHeight();
        name(f, upper, kl.anchorX, endY + 1.0 * k, 1.5 * k, kl.readout);
    }
    const TidebloomSwitchLayout& s = layout.Switch();
    PictureFont sw(kFace, s.labelSize, true);
    name(sw, "ON / OFF", s.x + s.picture.width / 2.0, s.y + s.picture.FrameHeight() + 5 * k, 1.0 * k,
         s.readout);
    PicturePaint(img.get(), names.Resolve(), kLabel);

    // The maker's mark: the swell itself (a dip at each note, then the linear rise) over the name.
    const double mx = 332 * k, my = 244 * k;
    PictureMask swell(w, h);
    const double pts[][2] = {{-40, -8}, {-26, -8}, {-26, 8}, {-4, -8}, {4, -8}, {4, 8}, {26, -8}, {40, -8}};
    for (size_t i = 0; i + 1 < std::size(pts); ++i)
        swell.Capsule(mx + pts[i][0] * k, my + pts[i][1] * k, mx + pts[i + 1][0] * k, my + pts[i + 1][1] * k,
                      2.2 * k);
    PicturePaint(img.get(), swell.Resolve(), kCoral, 0.9f);
    PictureFont maker(kFace, TidebloomScaled(9, percent), true);
    PictureMask makerName(w, h);
    makerName.Text(maker, "VENDRILAX", mx, my + 16 * k, true, 3.0 * k);
    PicturePaint(img.get(), makerName.Resolve(), kNumber, 0.8f);
    return img;
}

std::unique_ptr<Raster_MemBitmap> TidebloomDrawSwitch(const TidebloomSizedLayout& layout) {
    const double k = ScaleOf(layout);
    const TidebloomPicture& pic = layout.Switch().picture;
    const int w = pic.width, fh = pic.FrameHeight();
    auto strip = PictureNewBitmap(w, pic.height);
    PictureFont font(kFace, TidebloomScaled(9, layout.Percent()), true);
    for (int state = 0; state < 2; ++state) {
        const bool on = state == 1;
        auto img = PictureNewBitmap(w, fh);
        const double r = (fh - 2 * k) / 2.0;
        PictureMask pill(w, fh);
        pill.RoundRect(k, k, w - 2 * k, fh - 2 * k, r);
        PictureCoverage pillCov = pill.Resolve();
        PicturePaint(img.get(), pillCov, PictureHex(0x000000), 0.6f);
        PictureMask inner(w, fh);
        inner.RoundRect(2 * k, 2 * k, w - 4 * k, fh - 4 * k, r - k);
        PictureCoverage innerCov = inner.Resolve();
        if (on)
            PicturePaint(img.get(), innerCov,
                         PictureLinear(0, 2 * k, PictureHex(0x5fe6cd), 0, fh - 2 * k, PictureHex(0x23a08a)));
        else
            PicturePaint(img.get(), innerCov,
                         PictureLinear(0, 2 * k, PictureHex(0x11171c), 0, fh - 2 * k, PictureHex(0x242d35)));

        const double kr = r - 3.0 * k, kx = on ? w - k - r : k + r, ky = fh / 2.0;
        PictureMask knob(w, fh);
        knob.Disc(kx, ky, kr);
        PictureCoverage knobCov = knob.Resolve();
        PictureCoverage shadow = knobCov.Shifted(0, Px(1, k));
        shadow.Blur(Px(1, k), 2);
        PicturePaint(img.get(), shadow, kBlack, 0.6f);
        PicturePaint(img.get(), knobCov,
                     on ? PictureLinear(0, ky - kr, PictureHex(0xffffff), 0, ky + kr, PictureHex(0xd9d4ca))
                        : PictureLinear(0, ky - kr, PictureHex(0x8794a0), 0, ky + kr, PictureHex(0x56616b)));

        PictureMask word(w, fh);
        const double textX = on ? (k + (w - k - 2 * r)) / 2.0 + 2 * k : (k + 2 * r + w - k) / 2.0 - k;
        word.Text(font, on ? "ON" : "OFF", textX, (fh - font.LineHeight()) / 2.0, true, 0.5 * k);
        PicturePaint(img.get(), word.Resolve(), on ? PictureHex(0x08302a) : PictureHex(0x7b8a96));
        Raster_Blit(strip.get(), img.get(), 0, state * fh, nullptr, 1.0f, RASTER_BLEND_COPY);
    }
    return strip;
}
