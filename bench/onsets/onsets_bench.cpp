// bench_onsets: scores three onset detectors on the labelled onset set (tests/support/OnsetSet.h) at
// 44.1 kHz and prints one table: per class the recall within 10 ms and the false triggers, for
// Tidebloom's level detector (Sensitivity 0.7; an onset is where it reports it, the sample the swell's
// attack starts from), Tidebloom Precise's spectral detector (Sensitivity 0.7; an onset is where it
// places it) and aubio's default detector ("default", 512-sample frames, 256 hop, its own timing), then
// each one's time per stereo frame on the whole set. Deterministic apart from the times.
#include <aubio/aubio.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "Sound/NoteDetector.h"
#include "tests/support/OnsetSet.h"
#include "tests/support/SpectralOnsets.h"

namespace {

constexpr int kRate = 44100;

using Detector = std::function<std::vector<int64_t>(const OnsetClip&)>;

std::vector<int64_t> Tidebloom(const OnsetClip& clip) {
    NoteDetector d;
    d.SetSampleRate(kRate);
    // What the effect maps Sensitivity 0.7 to.
    d.SetThreshold(std::exp(0.7 * d.GetRangeDb() / 20.0 * 2.302585092994046) * d.GetThresholdScale() *
                   d.GetThresholdRef());
    std::vector<uint8_t> onsets(clip.left.size());
    d.Detect(clip.left.data(), clip.right.data(), onsets.data(), static_cast<int>(clip.left.size()));
    std::vector<int64_t> at;
    for (size_t k = 0; k < onsets.size(); ++k)
        if (onsets[k]) at.push_back(static_cast<int64_t>(k));
    return at;
}

std::vector<int64_t> Precise(const OnsetClip& clip) {
    return SpectralOnsets(clip, kRate);
}

std::vector<int64_t> Aubio(const OnsetClip& clip) {
    constexpr uint_t kHop = 256;
    aubio_onset_t* o = new_aubio_onset("default", 512, kHop, kRate);
    fvec_t* in = new_fvec(kHop);
    fvec_t* out = new_fvec(1);
    std::vector<int64_t> at;
    for (size_t k = 0; k + kHop <= clip.left.size(); k += kHop) {
        for (uint_t j = 0; j < kHop; ++j)
            in->data[j] = static_cast<smpl_t>((clip.left[k + j] + clip.right[k + j]) * 0.5);
        aubio_onset_do(o, in, out);
        if (out->data[0] > 0) at.push_back(static_cast<int64_t>(aubio_onset_get_last(o)));
    }
    del_fvec(out);
    del_fvec(in);
    del_aubio_onset(o);
    return at;
}

} // namespace

int main() {
    const struct {
        const char* name;
        Detector detect;
    } detectors[] = {{"Tidebloom", Tidebloom}, {"Tidebloom Precise", Precise}, {"aubio default", Aubio}};
    constexpr int kDetectors = 3;
    double seconds[kDetectors] = {};
    int64_t frames = 0;
    int negFalse[kDetectors] = {};
    double negMinutes = 0.0;
    std::printf("| class | onsets | Tidebloom | Tidebloom Precise | aubio default |\n| --- | --- | --- | --- "
                "| --- |\n");
    for (int c = 0; c < kNumOnsetClasses; ++c) {
        const OnsetClip clip = MakeOnsetClip(static_cast<EOnsetClass>(c), kRate);
        frames += static_cast<int64_t>(clip.left.size());
        OnsetScore scores[kDetectors];
        for (int d = 0; d < kDetectors; ++d) {
            const auto start = std::chrono::steady_clock::now();
            const std::vector<int64_t> at = detectors[d].detect(clip);
            seconds[d] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            scores[d] = ScoreOnsets(clip, at, kRate);
            negFalse[d] += clip.negative ? scores[d].falseTriggers : 0;
        }
        if (clip.negative) {
            negMinutes += scores[0].seconds / 60.0;
            std::printf("| %s (%.0f s) | none |", clip.name, scores[0].seconds);
            for (const OnsetScore& s : scores) std::printf(" %d false |", s.falseTriggers);
        } else {
            std::printf("| %s | %d |", clip.name, scores[0].labels);
            for (const OnsetScore& s : scores)
                std::printf(" %.1f %% (%d), %d false |", 100.0 * s.Recall(), s.found, s.falseTriggers);
        }
        std::printf("\n");
    }
    std::printf("| false triggers per minute without notes | |");
    for (int d = 0; d < kDetectors; ++d) std::printf(" %.2f |", negFalse[d] / negMinutes);
    std::printf("\n\nTime per stereo frame on the whole set (%.1f min of audio):", frames / 60.0 / kRate);
    for (int d = 0; d < kDetectors; ++d)
        std::printf(" %s %.1f ns;", detectors[d].name, 1e9 * seconds[d] / static_cast<double>(frames));
    std::printf("\n");
    return 0;
}
