#include "host/HostDemoPhrase.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace {

// How long a note rings before it fades out, and the fade.
constexpr double kRingSeconds = 2.5;
constexpr double kFadeSeconds = 0.05;

// xorshift32: a tiny generator whose sequence is the same on every machine.
struct Noise {
    uint32_t state;
    double Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<double>(state) / 2147483648.0 - 1.0; // -1 .. 1
    }
};

void AddNote(const HostDemoNote& note, unsigned index, int sampleRate,
             std::vector<std::vector<double>>& out) {
    const size_t frames = out[0].size();
    const size_t start = static_cast<size_t>(std::llround(note.start * sampleRate));
    if (start >= frames) return;
    const double freq = 440.0 * std::pow(2.0, (note.midiNote - 69) / 12.0);
    const size_t period = std::max<size_t>(2, static_cast<size_t>(std::llround(sampleRate / freq)));
    // Softer plucks are darker: the burst is smoothed more.
    const double smooth = 0.15 + 0.6 * (1.0 - note.amplitude);
    Noise noise{0x9E3779B9u ^ (index * 2654435761u + 1u)};
    std::vector<double> line(period);
    double prev = 0.0;
    for (double& s : line) {
        prev = prev * smooth + noise.Next() * (1.0 - smooth);
        s = prev;
    }
    // Lower strings ring longer.
    const double loss = 0.996 + 0.003 * std::min(1.0, 110.0 / freq);
    const double angle = (note.pan + 1.0) * std::numbers::pi / 4.0;
    const double gainL = note.amplitude * std::cos(angle);
    const double gainR = note.amplitude * std::sin(angle);
    const size_t ring = static_cast<size_t>(kRingSeconds * sampleRate);
    const size_t fade = static_cast<size_t>(kFadeSeconds * sampleRate);
    const size_t end = std::min(frames, start + ring);
    size_t pos = 0;
    for (size_t f = start; f < end; ++f) {
        size_t next = pos + 1 == period ? 0 : pos + 1;
        double y = line[pos];
        line[pos] = loss * 0.5 * (line[pos] + line[next]);
        pos = next;
        size_t left = end - f;
        double env = left < fade ? static_cast<double>(left) / static_cast<double>(fade) : 1.0;
        out[0][f] += gainL * env * y;
        out[1][f] += gainR * env * y;
    }
}

} // namespace

const std::vector<HostDemoNote>& HostDemoNotes() {
    // A short phrase in A minor pentatonic: quick runs, a pause, soft ghost notes and accents.
    static const std::vector<HostDemoNote> notes = {
        {0.25, 57, 0.90, -0.3}, {0.85, 60, 0.45, 0.2},  {1.20, 64, 0.70, 0.4},  {1.45, 67, 0.25, -0.1},
        {2.30, 69, 1.00, 0.0},  {3.40, 64, 0.35, -0.5}, {3.70, 62, 0.55, 0.5},  {4.00, 60, 0.80, -0.2},
        {5.10, 52, 0.95, 0.1},  {5.55, 59, 0.20, 0.6},  {5.80, 62, 0.40, -0.6}, {6.60, 72, 0.65, 0.3},
        {6.90, 69, 0.30, -0.3}, {7.20, 67, 0.85, 0.0},  {8.30, 57, 0.60, -0.4}, {8.45, 64, 0.60, 0.4},
    };
    return notes;
}

std::vector<std::vector<double>> HostSynthesizeDemoPhrase(int sampleRate, double seconds) {
    size_t frames =
        seconds > 0.0 && sampleRate > 0 ? static_cast<size_t>(std::llround(seconds * sampleRate)) : 0;
    std::vector<std::vector<double>> out(2, std::vector<double>(frames, 0.0));
    const auto& notes = HostDemoNotes();
    for (size_t i = 0; i < notes.size(); ++i) AddNote(notes[i], static_cast<unsigned>(i), sampleRate, out);
    double peak = 0.0;
    for (const auto& ch : out)
        for (double v : ch) peak = std::max(peak, std::fabs(v));
    if (peak > 0.0) {
        double scale = kHostDemoPeak / peak;
        for (auto& ch : out)
            for (double& v : ch) v *= scale;
    }
    return out;
}
