// Two editors of one process drawing and measuring text on two threads at once. Their styles share fonts
// (the same face and size in other colours), so the fonts' colours, glyph caches and scratch bitmaps are
// used by both; every picture and measure must be exactly what the editor gives when it draws alone.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <thread>

#include "framework/editor/EditorStores.h"
#include "framework/editor/IControls_Text.h"
#include "tests/support/Pixels.h"
#include "tests/support/editor/EditorFixture.h"

namespace {

constexpr int kW = 180, kH = 120;
const char* const kLines[] = {"Sensitivity 0.42", "Time 1.25 s", "Depth -6.0 dB", "qwertyuiop ASDFGH"};

// Captions of one colour: opaque ones (the fonts' whole-string path) and half-transparent ones (the
// glyph cache) in two faces and sizes.
struct TextScene : EditorFixture {
    std::array<IText, 4> styles;

    explicit TextScene(IColor colour) : EditorFixture(kW, kH) {
        IColor half = colour;
        half.A = 128;
        styles = {IText(12, &colour, "DejaVu Sans"), IText(12, &half, "DejaVu Sans"),
                  IText(15, &colour, "DejaVu Serif", IText::kStyleBold, IText::kAlignNear),
                  IText(15, &half, "DejaVu Serif", IText::kStyleBold, IText::kAlignFar)};
        gui->AttachPanelBackground(&COLOR_BLACK);
        for (int i = 0; i < 4; ++i) {
            const IRECT r(4, 4 + 28 * i, kW - 4, 28 + 28 * i);
            gui->AttachControl(new ITextControl(&plug, &r, &styles[i], kLines[i]));
        }
        Attach();
    }
    // A full redraw, and the measures of every line in every style.
    std::vector<IRECT> DrawAndMeasure() {
        IRECT all(0, 0, kW, kH);
        gui->Draw(&all);
        std::vector<IRECT> measures;
        for (IText& style : styles)
            for (const char* line : kLines) {
                IRECT r(10, 10, 170, 30);
                gui->MeasureIText(&style, line, &r);
                measures.push_back(r);
            }
        return measures;
    }
};

struct Drawn {
    std::unique_ptr<Raster_MemBitmap> picture;
    std::vector<IRECT> measures;
};

Drawn DrawAlone(IColor colour) {
    TextScene scene(colour);
    Drawn d;
    d.measures = scene.DrawAndMeasure();
    d.picture = testpixels::MakeBitmap(kW, kH);
    Raster_Blit(d.picture.get(), scene.gui->GetDrawBitmap(), 0, 0, 0, 0, kW, kH, 1.0f, RASTER_BLEND_COPY);
    return d;
}

TEST(EditorTextThreads, TwoEditorsDrawTextAtOnce) {
    const IColor kRed(255, 255, 40, 40), kCyan(255, 40, 255, 255);
    const Drawn red = DrawAlone(kRed), cyan = DrawAlone(kCyan);
    ASSERT_NE(testpixels::CountSet(red.picture.get(), COLOR_BLACK.ToPixel()), 0);
    ASSERT_FALSE(testpixels::SamePixels(red.picture.get(), cyan.picture.get()));
    // The fonts went with the last editor: the two threads below make them and their glyphs afresh.
    ASSERT_EQ(EditorStores::GetCounts().mFonts, 0);

    constexpr int kRounds = 25;
    TextScene redScene(kRed), cyanScene(kCyan);
    int redWrong = 0, cyanWrong = 0;
    auto run = [](TextScene* scene, const Drawn* alone, int* wrong) {
        for (int round = 0; round < kRounds; ++round) {
            const std::vector<IRECT> measures = scene->DrawAndMeasure();
            if (measures != alone->measures ||
                !testpixels::SamePixels(scene->gui->GetDrawBitmap(), alone->picture.get()))
                ++*wrong;
        }
    };
    std::thread a(run, &redScene, &red, &redWrong);
    std::thread b(run, &cyanScene, &cyan, &cyanWrong);
    a.join();
    b.join();
    EXPECT_EQ(redWrong, 0);
    EXPECT_EQ(cyanWrong, 0);
}

} // namespace
