#include "host/HostPlot.h"

#include "framework/raster/raster.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Dry frames kept waiting for the output frames they line up with, at most.
constexpr size_t kMaxPending = size_t(1) << 25;
// Per-frame dry energy below which no gain is shown (-80 dBFS).
constexpr double kQuietEnergy = 1e-8;

uint32_t Rgb(uint32_t rgb) {
    return Raster_MakePixel(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                            static_cast<int>(rgb & 0xFF), 255);
}

const uint32_t kBack = Rgb(0x121920);
const uint32_t kPanel = Rgb(0x18222c);
const uint32_t kGrid = Rgb(0x263340);
const uint32_t kZero = Rgb(0x3a4957);
const uint32_t kText = Rgb(0xc2cfd9);
const uint32_t kDim = Rgb(0x8194a3);
const uint32_t kDryWave = Rgb(0x6f8ba3);
const uint32_t kDryRms = Rgb(0x9fbdd6);
const uint32_t kWetWave = Rgb(0x2f9f8c);
const uint32_t kWetRms = Rgb(0x5fd8c1);
const uint32_t kGain = Rgb(0xff8a5c);

// The smallest of 1, 2, 5 times a power of ten that is at least v (v > 0).
double NiceCeil(double v) {
    const double p = std::pow(10.0, std::floor(std::log10(v)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * p >= v * (1.0 - 1e-12)) return m * p;
    return 10.0 * p;
}

std::string Number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", std::abs(v) < 1e-12 ? 0.0 : v);
    return buf;
}

// Text through the raster library's cached font.
class Text {
public:
    Text(int size, bool bold) {
        mFont.SetFromHFont(CreateFont(size, 0, 0, 0, bold ? 700 : 400, 0, 0, 0, 0, 0, 0,
                                      kShimQualityAntialiased, 0, "DejaVu Sans"),
                           RASTER_FONT_OWNS_HANDLE);
        mFont.SetCombineMode(RASTER_BLEND_COPY, 1.0f);
    }
    int Width(const std::string& s) {
        RECT r = {0, 0, 0, 0};
        mFont.DrawText(nullptr, s.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE);
        return r.right;
    }
    int Height() { return mFont.GetLineHeight(); }
    // align: 0 left of x, 1 centred on x, 2 right of x; y is the middle of the line.
    void Draw(Raster_IBitmap* bm, const std::string& s, int x, int y, int align, uint32_t colour) {
        const int w = Width(s), h = Height();
        const int left = align == 0 ? x : align == 1 ? x - w / 2 : x - w;
        RECT r = {left, y - h / 2, left + w + 2, y - h / 2 + h};
        mFont.SetTextColor(colour);
        mFont.DrawText(bm, s.c_str(), -1, &r, DT_SINGLELINE | DT_NOCLIP);
    }

private:
    Raster_CachedFont mFont;
};

} // namespace

HostPlot::HostPlot(int sampleRate, int64_t totalFrames, int width, int height)
    : mSampleRate(std::max(sampleRate, 1)), mTotalFrames(std::max<int64_t>(totalFrames, 1)),
      mWidth(std::max(width, 200)), mHeight(std::max(height, 160)) {
    const int left = 58, right = mWidth - 58, top = 44, gap = 26, bottom = mHeight - 34;
    const int panel = (bottom - top - gap) / 2;
    mDryPanel = {left, top, right, top + panel};
    mProcessedPanel = {left, top + panel + gap, right, top + 2 * panel + gap};
    const size_t columns = static_cast<size_t>(right - left);
    mDry.resize(columns);
    mProcessed.resize(columns);
    mGain.resize(columns);
}

HostPlot::~HostPlot() = default;

int HostPlot::ColumnOf(int64_t frame) const {
    const int64_t w = mDryPanel.Width();
    return static_cast<int>(std::clamp<int64_t>(frame * w / mTotalFrames, 0, w - 1));
}

double HostPlot::Accumulate(std::vector<Column>& cols, int column, const double* const* channels,
                            int numChannels, int frame) {
    Column& c = cols[static_cast<size_t>(column)];
    double energy = 0.0;
    for (int ch = 0; ch < numChannels; ++ch) {
        const double v = channels[ch][frame];
        if (!std::isfinite(v)) continue;
        if (c.samples == 0 || v < c.min) c.min = v;
        if (c.samples == 0 || v > c.max) c.max = v;
        c.sumSq += v * v;
        energy += v * v;
        ++c.samples;
    }
    return energy;
}

void HostPlot::AddDry(const double* const* channels, int numChannels, int frames) {
    for (int j = 0; j < frames; ++j) {
        mPending.push_back(Accumulate(mDry, ColumnOf(mDryFrames + j), channels, numChannels, j));
    }
    mDryFrames += frames;
    if (mPending.size() > kMaxPending) {
        const size_t drop = mPending.size() - kMaxPending;
        mPending.erase(mPending.begin(), mPending.begin() + static_cast<std::ptrdiff_t>(drop));
        mPendingStart += static_cast<int64_t>(drop);
    }
}

void HostPlot::AddProcessed(const double* const* channels, int numChannels, int frames) {
    for (int j = 0; j < frames; ++j) {
        const int64_t k = mProcessedFrames + j;
        const int col = ColumnOf(k);
        const double e = Accumulate(mProcessed, col, channels, numChannels, j);
        const int64_t d = k - mDryOffset - mPendingStart;
        if (d < 0 || d >= static_cast<int64_t>(mPending.size())) continue;
        GainColumn& g = mGain[static_cast<size_t>(col)];
        g.processed += e;
        g.dry += mPending[static_cast<size_t>(d)];
        ++g.frames;
    }
    mProcessedFrames += frames;
    // Dry frames before the next output frame's partner are no longer needed.
    const int64_t keepFrom = std::min<int64_t>(mProcessedFrames - mDryOffset - mPendingStart,
                                               static_cast<int64_t>(mPending.size()));
    if (keepFrom > 0) {
        mPending.erase(mPending.begin(), mPending.begin() + static_cast<std::ptrdiff_t>(keepFrom));
        mPendingStart += keepFrom;
    }
}

double HostPlot::Scale() const {
    double peak = 0.0;
    for (const auto* cols : {&mDry, &mProcessed})
        for (const Column& c : *cols)
            if (c.samples) peak = std::max({peak, std::abs(c.min), std::abs(c.max)});
    return peak > 0.0 ? NiceCeil(peak) : 1.0;
}

double HostPlot::GainAt(int column) const {
    if (column < 0 || column >= static_cast<int>(mGain.size())) return -1.0;
    const GainColumn& g = mGain[static_cast<size_t>(column)];
    if (g.frames == 0 || g.dry / static_cast<double>(g.frames) <= kQuietEnergy) return -1.0;
    return std::sqrt(g.processed / g.dry);
}

double HostPlot::GainTop() const {
    double top = 0.0;
    for (int c = 0; c < static_cast<int>(mGain.size()); ++c) top = std::max(top, GainAt(c));
    // Measured gains carry the rounding of the audio: up to 2 % over a mark still counts as the mark.
    top /= 1.02;
    if (top <= 1.0) return 1.0;
    if (top <= 1.5) return 1.5;
    const double p = std::pow(10.0, std::floor(std::log10(top)));
    for (double m : {1.0, 2.0, 3.0, 5.0, 10.0})
        if (m * p >= top) return m * p;
    return 10.0 * p;
}

std::unique_ptr<Raster_MemBitmap> HostPlot::Draw() const {
    auto bm = std::make_unique<Raster_MemBitmap>(mWidth, mHeight);
    Raster_IBitmap* img = bm.get();
    Raster_Clear(img, kBack);
    Text label(12, false), title(14, true);
    const double scale = Scale(), gainTop = GainTop();

    // Panels with their amplitude grid and labels.
    struct PanelInfo {
        HostPlotRect r;
        const std::vector<Column>* cols;
        uint32_t wave, rms;
        const char* name;
    };
    const PanelInfo panels[] = {{mDryPanel, &mDry, kDryWave, kDryRms, "dry"},
                                {mProcessedPanel, &mProcessed, kWetWave, kWetRms, "processed"}};
    for (const PanelInfo& p : panels) {
        const HostPlotRect& r = p.r;
        auto row = [&](double a) {
            return r.t + static_cast<int>(std::lround((1.0 - a / scale) * (r.Height() - 1) / 2.0));
        };
        Raster_FillRect(img, r.l, r.t, r.Width(), r.Height(), kPanel, 1.0f, RASTER_BLEND_COPY);
        for (double a : {0.5, -0.5}) Raster_FillRect(img, r.l, row(a * scale), r.Width(), 1, kGrid, 1.0f, 0);
        Raster_FillRect(img, r.l, row(0.0), r.Width(), 1, kZero, 1.0f, RASTER_BLEND_COPY);
        for (double a : {1.0, 0.0, -1.0}) {
            const double v = a * scale;
            std::string text = v > 0 ? "+" : "";
            text += Number(v);
            label.Draw(img, text, r.l - 8, row(v), 2, kDim);
        }
        // Seconds: a grid line through the panel at every mark.
        const double seconds = static_cast<double>(mTotalFrames) / mSampleRate;
        const double step = NiceCeil(std::max(seconds * 90.0 / r.Width(), 1e-6));
        for (int i = 0; i * step <= seconds + 1e-9; ++i) {
            const int x = r.l + ColumnOf(std::llround(i * step * mSampleRate));
            Raster_FillRect(img, x, r.t, 1, r.Height(), kGrid, 1.0f, RASTER_BLEND_COPY);
            if (&p == &panels[1]) {
                Raster_FillRect(img, x, r.b, 1, 6, kDim, 1.0f, RASTER_BLEND_COPY);
                label.Draw(img, Number(i * step) + " s", x, r.b + 16, 1, kDim);
            }
        }
        // The waveform: each column from its lowest to its highest sample, its RMS band brighter.
        for (int c = 0; c < r.Width(); ++c) {
            const Column& col = (*p.cols)[static_cast<size_t>(c)];
            if (!col.samples) continue;
            const int top = row(col.max), bottom = row(col.min);
            Raster_FillRect(img, r.l + c, top, 1, bottom - top + 1, p.wave, 1.0f, RASTER_BLEND_COPY);
            const double rms = std::sqrt(col.sumSq / static_cast<double>(col.samples));
            const int rt = row(std::min(rms, col.max)), rb = row(std::max(-rms, col.min));
            if (rb >= rt) Raster_FillRect(img, r.l + c, rt, 1, rb - rt + 1, p.rms, 1.0f, RASTER_BLEND_COPY);
        }
        label.Draw(img, p.name, r.l + 8, r.t + 11, 0, kText);
    }

    // The gain over the processed waveform, with its own scale on the right.
    const HostPlotRect& r = mProcessedPanel;
    auto gainRow = [&](double g) {
        return r.b - 1 - static_cast<int>(std::lround(std::min(g, gainTop) / gainTop * (r.Height() - 1)));
    };
    for (double f : {0.0, 0.5, 1.0}) {
        Raster_FillRect(img, r.r, gainRow(f * gainTop), 5, 1, kGain, 1.0f, RASTER_BLEND_COPY);
        label.Draw(img, Number(f * gainTop), r.r + 8, gainRow(f * gainTop), 0, kGain);
    }
    int prev = -1;
    for (int c = 0; c < r.Width(); ++c) {
        const double g = GainAt(c);
        if (g < 0.0) {
            prev = -1;
            continue;
        }
        const int y = gainRow(g);
        // Two pixels thick; a jump from the previous column is joined by a vertical run.
        const int from = prev < 0 ? y - 1 : std::min(prev, y - 1), to = prev < 0 ? y : std::max(prev - 1, y);
        Raster_FillRect(img, r.l + c, from, 1, to - from + 1, kGain, 1.0f, RASTER_BLEND_COPY);
        prev = y;
    }

    // Title and legend.
    title.Draw(img, mTitle, mDryPanel.l, 22, 0, kText);
    int x = mDryPanel.r;
    const struct {
        const char* text;
        uint32_t colour;
    } legend[] = {{"gain (processed / dry level)", kGain}, {"processed", kWetRms}, {"dry", kDryRms}};
    for (const auto& item : legend) {
        x -= label.Width(item.text);
        label.Draw(img, item.text, x, 22, 0, kText);
        x -= 18;
        Raster_FillRect(img, x, 17, 12, 10, item.colour, 1.0f, RASTER_BLEND_COPY);
        x -= 22;
    }
    return bm;
}

std::string HostPlotTitle(HostEffect& plugin, const std::string& inputPath) {
    const std::string name = plugin.EffectName(), program = plugin.ProgramName();
    return (name.empty() ? "plug-in" : name) + (program.empty() ? "" : ", program '" + program + "'") + ": " +
           inputPath.substr(inputPath.find_last_of('/') + 1);
}

void HostPlotRecorder::Begin(Util_AtomicFile& file, int sampleRate, int64_t totalFrames, int outputChannels,
                             const std::string& title, int64_t dryOffset, HostRenderOptions& options) {
    mFile = &file;
    mPlot = std::make_unique<HostPlot>(sampleRate, totalFrames);
    mPlot->SetTitle(title);
    mPlot->SetDryOffset(dryOffset);
    mChannels = outputChannels;
    HostPlot* plot = mPlot.get();
    options.inputTap = [plot](const double* const* channels, int numChannels, int frames) {
        plot->AddDry(channels, numChannels, frames);
    };
}

bool HostPlotRecorder::Write(const double* const* channels, int frames, std::string& err) {
    if (mPlot) mPlot->AddProcessed(channels, mChannels, frames);
    return mInner.Write(channels, frames, err);
}

bool HostPlotRecorder::Finish(std::string& err) {
    if (!mPlot) return true;
    std::unique_ptr<Raster_MemBitmap> picture = mPlot->Draw();
    std::vector<unsigned char> png;
    if (!Raster_WritePNGToMemory(picture.get(), &png, false)) {
        err = "cannot encode the plot";
        return false;
    }
    return mFile->WriteAll(png.data(), png.size(), err);
}
