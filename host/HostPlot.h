#pragma once
// HostPlot: a picture of a render, drawn with the raster library: the dry input above, the processed
// output below, on one time axis marked in seconds, and over the processed waveform the gain the
// plug-in applied, measured as the level of the output over the level of the dry input.
//
// It is fed block by block as the audio streams through (AddDry, AddProcessed) and keeps only per
// pixel-column sums: the smallest and largest sample of all channels, the sum of squares, and for the
// gain the energies of the output and of the dry frames it lines up with (output frame k with dry
// frame k - dryOffset, 0 when the render compensates the latency). Frame k lands in column
// panel.l + floor(k x panel width / totalFrames). An amplitude a is drawn in row
// panel.t + round((1 - a / Scale()) x (panel height - 1) / 2), and a gain g in row
// panel.b - 1 - round(g / GainTop() x (panel height - 1)). The gain is shown only in columns whose dry
// level is above -80 dBFS. One thread (the render's).
//
// HostPlotRecorder hooks a plot into a render: it is the audio sink the render writes to (it passes
// every block on to the real sink), takes the input through HostRenderOptions::inputTap, and writes
// the picture as PNG, in one piece, into an output its caller opened (HostOutputs) once the render
// is done; the caller commits it.
#include "framework/util/Util_AtomicFile.h"
#include "host/HostRender.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Raster_MemBitmap;

struct HostPlotRect {
    int l, t, r, b; // right and bottom exclusive
    int Width() const { return r - l; }
    int Height() const { return b - t; }
};

class HostPlot {
public:
    static constexpr int kDefaultWidth = 1200;
    static constexpr int kDefaultHeight = 540;

    HostPlot(int sampleRate, int64_t totalFrames, int width = kDefaultWidth, int height = kDefaultHeight);
    ~HostPlot();
    HostPlot(const HostPlot&) = delete;
    HostPlot& operator=(const HostPlot&) = delete;

    void SetTitle(const std::string& title) { mTitle = title; }
    void SetDryOffset(int64_t frames) { mDryOffset = frames; }

    void AddDry(const double* const* channels, int numChannels, int frames);
    void AddProcessed(const double* const* channels, int numChannels, int frames);

    // The picture of everything fed so far.
    std::unique_ptr<Raster_MemBitmap> Draw() const;

    HostPlotRect DryPanel() const { return mDryPanel; }
    HostPlotRect ProcessedPanel() const { return mProcessedPanel; }
    // Amplitude at the top edge of both panels: the smallest of 1, 2 and 5 times a power of ten
    // that holds the largest sample of both signals (1 when there is none).
    double Scale() const;
    // Gain at the top edge of the processed panel: the smallest of 1, 1.5, 2, 3, 5, 10, 20, 30, 50, ...
    // that holds the largest gain measured, allowing it 2 % of rounding (1 when none was measured).
    double GainTop() const;
    // The measured gain in a column of the panels (0-based), or -1 where the dry input is too quiet.
    double GainAt(int column) const;

private:
    struct Column {
        double min = 0.0, max = 0.0, sumSq = 0.0;
        int64_t samples = 0;
    };
    struct GainColumn {
        double processed = 0.0, dry = 0.0;
        int64_t frames = 0;
    };
    int ColumnOf(int64_t frame) const;
    static double Accumulate(std::vector<Column>& cols, int column, const double* const* channels,
                             int numChannels, int frame);

    int mSampleRate;
    int64_t mTotalFrames;
    int mWidth, mHeight;
    HostPlotRect mDryPanel{}, mProcessedPanel{};
    std::string mTitle;
    int64_t mDryOffset = 0;

    std::vector<Column> mDry, mProcessed;
    std::vector<GainColumn> mGain;
    int64_t mDryFrames = 0, mProcessedFrames = 0;
    // Energy of the dry frames not yet lined up with an output frame, from frame mPendingStart on.
    std::vector<double> mPending;
    int64_t mPendingStart = 0;
};

// "Tidebloom, program 'Arpeggio': in.wav": the heading of a plot of inputPath through the plug-in.
std::string HostPlotTitle(HostEffect& plugin, const std::string& inputPath);

class HostPlotRecorder : public HostAudioSink {
public:
    explicit HostPlotRecorder(HostAudioSink& inner) : mInner(inner) {}
    // Starts a plot to be written into file (opened; it must outlive the recorder) and hooks the
    // input into options. Without Begin the recorder only passes blocks on.
    void Begin(Util_AtomicFile& file, int sampleRate, int64_t totalFrames, int outputChannels,
               const std::string& title, int64_t dryOffset, HostRenderOptions& options);
    bool Write(const double* const* channels, int frames, std::string& err) override;
    // Draws the picture and writes it into the file (nothing to do without Begin).
    bool Finish(std::string& err);

private:
    HostAudioSink& mInner;
    std::unique_ptr<HostPlot> mPlot;
    Util_AtomicFile* mFile = nullptr;
    int mChannels = 0;
};
