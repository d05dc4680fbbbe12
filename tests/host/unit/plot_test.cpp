// HostPlot: the picture's size, where a known signal lands, the seconds on the time axis, the gain
// measured against the dry input (lined up, or offset by an uncompensated latency), the same picture
// whatever the block sizes, and HostPlotRecorder's file handling.
#include "host/HostPlot.h"
#include "tests/support/TestDir.h"

#include "framework/raster/raster.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr int kRate = 1000;
constexpr int kFrames = 4000;
constexpr int kWidth = 600, kHeight = 400;

// Silence with a burst from frame 1000 to 1999: +0.4 and -0.4 taking turns, as both channels.
std::vector<double> Burst(double gain = 1.0) {
    std::vector<double> s(kFrames, 0.0);
    for (int k = 1000; k < 2000; ++k) s[k] = gain * ((k & 1) ? 0.4 : -0.4);
    return s;
}

// Feeds a signal as two equal channels in blocks of `block` frames (delayed by `delay` frames).
void Feed(HostPlot& plot, bool dry, const std::vector<double>& s, int block, int delay = 0) {
    std::vector<double> d(s.size(), 0.0);
    for (size_t k = static_cast<size_t>(delay); k < s.size(); ++k) d[k] = s[k - delay];
    for (size_t at = 0; at < d.size(); at += static_cast<size_t>(block)) {
        const int n = static_cast<int>(std::min<size_t>(static_cast<size_t>(block), d.size() - at));
        const double* ch[2] = {d.data() + at, d.data() + at};
        dry ? plot.AddDry(ch, 2, n) : plot.AddProcessed(ch, 2, n);
    }
}

int ColumnOf(const HostPlotRect& r, int64_t frame) {
    return r.l + static_cast<int>(frame * r.Width() / kFrames);
}
int RowOf(const HostPlotRect& r, double a, double scale) {
    return r.t + static_cast<int>(std::lround((1.0 - a / scale) * (r.Height() - 1) / 2.0));
}
int GainRow(const HostPlotRect& r, double g, double top) {
    return r.b - 1 - static_cast<int>(std::lround(g / top * (r.Height() - 1)));
}

class Plot : public ::testing::Test {
protected:
    Plot() : mPlot(kRate, kFrames, kWidth, kHeight) {}
    uint32_t At(int x, int y) { return Raster_GetPixel(mImage.get(), x, y); }
    void DrawIt() { mImage = mPlot.Draw(); }

    HostPlot mPlot;
    std::unique_ptr<Raster_MemBitmap> mImage;
};

TEST_F(Plot, SizeAndPanels) {
    DrawIt();
    EXPECT_EQ(mImage->getWidth(), kWidth);
    EXPECT_EQ(mImage->getHeight(), kHeight);
    const HostPlotRect d = mPlot.DryPanel(), p = mPlot.ProcessedPanel();
    EXPECT_EQ(d.l, p.l);
    EXPECT_EQ(d.Width(), p.Width());
    EXPECT_EQ(d.Height(), p.Height());
    EXPECT_LE(d.b, p.t); // dry above processed
    EXPECT_GE(d.l, 0);
    EXPECT_LE(p.r, kWidth);
    EXPECT_LE(p.b, kHeight);
    HostPlot big(44100, 441000);
    EXPECT_EQ(big.Draw()->getWidth(), HostPlot::kDefaultWidth);
}

TEST_F(Plot, KnownSignalLandsInItsColumnsAndRows) {
    Feed(mPlot, true, Burst(), 512);
    Feed(mPlot, false, Burst(0.5), 512);
    DrawIt();
    EXPECT_EQ(mPlot.Scale(), 0.5);
    const HostPlotRect d = mPlot.DryPanel(), p = mPlot.ProcessedPanel();
    // Columns well inside the burst and well inside the silence before it, away from second marks.
    const int burstCol = ColumnOf(d, 1500), quietCol = ColumnOf(d, 500);
    const uint32_t empty = At(quietCol, RowOf(d, 0.4, 0.5));
    for (int x : {ColumnOf(d, 1100), burstCol, ColumnOf(d, 1900)}) {
        SCOPED_TRACE(x);
        EXPECT_NE(At(x, RowOf(d, 0.4, 0.5)), empty);     // the highest sample
        EXPECT_NE(At(x, RowOf(d, -0.4, 0.5)), empty);    // the lowest
        EXPECT_EQ(At(x, RowOf(d, 0.4, 0.5) - 2), empty); // nothing above it
        EXPECT_EQ(At(x, RowOf(d, -0.4, 0.5) + 2), empty);
        // The processed signal is half as loud.
        EXPECT_NE(At(x, RowOf(p, 0.2, 0.5)), At(quietCol, RowOf(p, 0.2, 0.5)));
        EXPECT_EQ(At(x, RowOf(p, 0.2, 0.5) - 2), At(quietCol, RowOf(p, 0.2, 0.5) - 2));
    }
    // Silence draws only the zero line.
    EXPECT_EQ(At(ColumnOf(d, 2500), RowOf(d, 0.4, 0.5)), empty);
    EXPECT_EQ(At(ColumnOf(d, 995), RowOf(d, 0.4, 0.5)), empty);
}

TEST_F(Plot, SecondsAreMarkedOnTheTimeAxis) {
    DrawIt();
    const HostPlotRect p = mPlot.ProcessedPanel();
    const uint32_t background = At(1, kHeight - 1);
    for (int second = 0; second <= 3; ++second) {
        SCOPED_TRACE(second);
        const int x = ColumnOf(p, second * kRate);
        EXPECT_NE(At(x, p.b + 2), background);
        EXPECT_EQ(At(x + 3, p.b + 2), background);
    }
    EXPECT_EQ(At(ColumnOf(p, 1500), p.b + 2), background); // no mark at 1.5 s
}

TEST_F(Plot, GainIsTheLevelRatioToTheDryInput) {
    Feed(mPlot, true, Burst(), 256);
    Feed(mPlot, false, Burst(0.5), 256);
    const HostPlotRect p = mPlot.ProcessedPanel();
    for (int x = ColumnOf(p, 1000) + 1; x < ColumnOf(p, 2000) - 1; ++x)
        EXPECT_NEAR(mPlot.GainAt(x - p.l), 0.5, 1e-12);
    EXPECT_EQ(mPlot.GainAt(ColumnOf(p, 500) - p.l), -1.0); // silent dry input: no gain
    EXPECT_EQ(mPlot.GainTop(), 1.0);
    DrawIt();
    // Drawn in the colour of its axis marks, at the row of 0.5.
    const uint32_t gainColour = At(p.r + 1, GainRow(p, 0.5, 1.0));
    const int x = ColumnOf(p, 1500), y = GainRow(p, 0.5, 1.0);
    EXPECT_EQ(At(x, y), gainColour);
    EXPECT_EQ(At(x, y - 1), gainColour);
    EXPECT_NE(At(x, y + 3), gainColour);
    EXPECT_NE(At(ColumnOf(p, 500), y), gainColour);
}

TEST_F(Plot, UncompensatedLatencyIsLinedUp) {
    mPlot.SetDryOffset(37);
    Feed(mPlot, true, Burst(), 100);
    Feed(mPlot, false, Burst(2.5), 64, 37);
    const HostPlotRect p = mPlot.ProcessedPanel();
    for (int x = ColumnOf(p, 1040) + 1; x < ColumnOf(p, 2000) - 1; ++x)
        EXPECT_NEAR(mPlot.GainAt(x - p.l), 2.5, 1e-12);
    EXPECT_EQ(mPlot.GainTop(), 3.0);
}

TEST(PlotStreaming, BlockSizesDoNotChangeThePicture) {
    std::unique_ptr<Raster_MemBitmap> first;
    for (int block : {kFrames, 1, 7, 333}) {
        HostPlot plot(kRate, kFrames, kWidth, kHeight);
        plot.SetDryOffset(3);
        Feed(plot, true, Burst(), block);
        Feed(plot, false, Burst(0.7), block == 1 ? 5 : block, 3);
        auto image = plot.Draw();
        if (!first)
            first = std::move(image);
        else
            EXPECT_EQ(Raster_BitmapCmp(first.get(), image.get(), nullptr), 0) << block;
    }
}

TEST(PlotRecorder, WritesThePictureIntoItsFile) {
    TestDir dir;
    HostMemorySink memory(1);
    HostRenderOptions options;
    std::string err;
    HostPlotRecorder passOn(memory);
    EXPECT_TRUE(passOn.Finish(err)); // without Begin: nothing to draw
    EXPECT_FALSE(options.inputTap);

    Util_AtomicFile file;
    ASSERT_TRUE(file.Create(dir / "plot.png", err)) << err;
    HostPlotRecorder ok(memory);
    ok.Begin(file, kRate, kFrames, 1, "t", 0, options);
    ASSERT_TRUE(options.inputTap);
    std::vector<double> s = Burst();
    const double* ch[1] = {s.data()};
    options.inputTap(ch, 1, kFrames);
    ASSERT_TRUE(ok.Write(ch, kFrames, err)) << err;
    EXPECT_EQ(memory.Channels()[0].size(), static_cast<size_t>(kFrames)); // passed on
    ASSERT_TRUE(ok.Finish(err) && file.Commit(err)) << err;
    std::unique_ptr<Raster_IBitmap> png(Raster_LoadPNG((dir / "plot.png").c_str(), nullptr));
    ASSERT_NE(png, nullptr);
    EXPECT_EQ(png->getWidth(), HostPlot::kDefaultWidth);
    EXPECT_EQ(png->getHeight(), HostPlot::kDefaultHeight);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"plot.png"});
}

} // namespace
