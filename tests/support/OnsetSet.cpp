#include "tests/support/OnsetSet.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// xorshift32: the same sequence on every machine.
struct Rng {
    uint32_t state;
    double Uniform() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<double>(state) / 4294967296.0;
    }
    double Range(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
    double Bipolar() { return 2.0 * Uniform() - 1.0; }
    int Int(int lo, int hi) { return lo + static_cast<int>(Uniform() * (hi - lo + 1)); } // lo .. hi
    bool Chance(double p) { return Uniform() < p; }
};

double DbToGain(double db) {
    return std::pow(10.0, db / 20.0);
}

// The stereo clip being written.
struct Mix {
    int rate;
    std::vector<double> left, right;
    Mix(int sampleRate, double seconds)
        : rate(sampleRate), left(static_cast<size_t>(seconds * sampleRate), 0.0), right(left.size(), 0.0) {}
    int64_t Frames() const { return static_cast<int64_t>(left.size()); }
    int64_t At(double seconds) const { return static_cast<int64_t>(std::llround(seconds * rate)); }
    void Add(int64_t f, double v, double pan) {
        if (f < 0 || f >= Frames()) return;
        const double angle = (pan + 1.0) * std::numbers::pi / 4.0;
        left[static_cast<size_t>(f)] += v * std::cos(angle);
        right[static_cast<size_t>(f)] += v * std::sin(angle);
    }
};

// Gain of a note at frame f: a note stopped at frame stop falls to 0 over 3 ms from there; one let
// ring (stop -1) falls to 0 over the 30 ms before its end.
double StopGain(int64_t f, int64_t stop, int64_t end, int rate) {
    if (stop >= 0)
        return f < stop ? 1.0 : std::max(0.0, 1.0 - static_cast<double>(f - stop) / (0.003 * rate));
    return std::min(1.0, static_cast<double>(end - f) / (0.03 * rate));
}

// A plucked string (Karplus-Strong): a noise burst, brighter for larger bright (0..1), circulating in
// a damped delay line one period long; rings about ringSeconds to -60 dB.
void Pluck(Mix& m, Rng& rng, int64_t start, int64_t stop, double freq, double amp, double pan, double bright,
           double ringSeconds) {
    const size_t period = std::max<size_t>(2, static_cast<size_t>(std::lround(m.rate / freq)));
    std::vector<double> line(period);
    const double smooth = 0.8 * (1.0 - bright);
    double prev = 0.0, mean = 0.0, energy = 0.0;
    for (double& s : line) s = prev = prev * smooth + rng.Bipolar() * (1.0 - smooth), mean += s;
    mean /= static_cast<double>(period);
    for (double& s : line) s -= mean, energy += s * s;
    const double scale = amp / std::sqrt(energy / static_cast<double>(period) + 1e-30);
    for (double& s : line) s *= scale;
    const double loss = std::pow(10.0, -3.0 / (ringSeconds * freq));
    const int64_t end = std::min(m.Frames(), stop >= 0 ? stop + m.At(0.003) : start + m.At(ringSeconds));
    size_t pos = 0;
    for (int64_t f = start; f < end; ++f) {
        const size_t next = pos + 1 == period ? 0 : pos + 1;
        const double y = line[pos];
        line[pos] = loss * 0.5 * (line[pos] + line[next]);
        pos = next;
        m.Add(f, y * StopGain(f, stop, end, m.rate), pan);
    }
}

// A struck string group: partials at k f sqrt(1 + B k^2), each from `strings` strings detuned by a
// cent or so (they beat), each decaying fast at first and slowly after; hardness (0..1) brightens the
// spectrum and adds a short thump of noise.
struct StrikeShape {
    double inharmonicity = 0.0004;
    int strings = 2;
    double hardness = 0.5;
    double ringSeconds = 2.0;
};

void Strike(Mix& m, Rng& rng, int64_t start, int64_t stop, double freq, double amp, double pan,
            const StrikeShape& s) {
    struct Partial {
        double c, sn, rc, rs, a1, k1, a2, k2;
    };
    std::vector<Partial> partials;
    const double top = std::min(0.45 * m.rate, 12000.0);
    double norm = 0.0;
    for (int k = 1; k <= 16; ++k) {
        const double fk = k * freq * std::sqrt(1.0 + s.inharmonicity * k * k);
        if (fk >= top) break;
        const double a = std::pow(static_cast<double>(k), -(2.2 - 1.4 * s.hardness));
        norm += a;
        const double fast = 0.15 * s.ringSeconds / (1.0 + 0.25 * k), slow = s.ringSeconds / (1.0 + 0.12 * k);
        for (int st = 0; st < s.strings; ++st) {
            const double detune = s.strings > 1 ? rng.Range(-1.2, 1.2) : 0.0;
            const double w = kTwoPi * fk * std::pow(2.0, detune / 1200.0) / m.rate;
            const double phase = rng.Range(0.0, kTwoPi);
            partials.push_back({std::cos(phase), std::sin(phase), std::cos(w), std::sin(w), a * 0.6,
                                std::exp(-1.0 / (fast * m.rate)), a * 0.4, std::exp(-1.0 / (slow * m.rate))});
        }
    }
    const double gain = amp / (norm * s.strings);
    const int64_t end = std::min(m.Frames(), stop >= 0 ? stop + m.At(0.003) : start + m.At(s.ringSeconds));
    const int64_t thump = m.At(0.004);
    double lp = 0.0;
    for (int64_t f = start; f < end; ++f) {
        double y = 0.0;
        for (Partial& p : partials) {
            y += p.sn * (p.a1 + p.a2);
            p.a1 *= p.k1;
            p.a2 *= p.k2;
            const double c = p.c * p.rc - p.sn * p.rs;
            p.sn = p.sn * p.rc + p.c * p.rs;
            p.c = c;
        }
        if ((f - start) % 4096 == 4095)
            for (Partial& p : partials) {
                const double r = 1.0 / std::sqrt(p.c * p.c + p.sn * p.sn);
                p.c *= r;
                p.sn *= r;
            }
        y *= gain;
        if (f - start < thump) {
            lp += (rng.Bipolar() - lp) * 0.3;
            y += amp * 0.4 * s.hardness * lp * (1.0 - static_cast<double>(f - start) / thump);
        }
        m.Add(f, y * StopGain(f, stop, end, m.rate), pan);
    }
}

// A sustained harmonic tone: partials k f(t) with amplitudes 1/k, f(t) wobbling by vibratoCents at
// vibratoHz; the level wobbles down by up to tremoloDepth (a fraction) at tremoloHz; raised-cosine
// fades in and out; levelDb(t) (dB, 0 = amp) for the crescendos.
struct ToneShape {
    double vibratoHz = 0.0, vibratoCents = 0.0;
    double tremoloHz = 0.0, tremoloDepth = 0.0;
    double fadeIn = 1.5, fadeOut = 1.5;
    double riseFromDb = 0.0, riseSeconds = 0.0; // after the fade-in, from this level up to 0 dB
    int partials = 8;
};

void Tone(Mix& m, Rng& rng, int64_t start, int64_t length, double freq, double amp, double pan,
          const ToneShape& s) {
    const int n = std::max(1, std::min(s.partials, static_cast<int>(0.45 * m.rate / (freq * 1.05))));
    const double vibPhase = rng.Range(0.0, kTwoPi), tremPhase = rng.Range(0.0, kTwoPi);
    double phase = 0.0, norm = 0.0;
    for (int k = 1; k <= n; ++k) norm += 1.0 / k;
    for (int64_t i = 0; i < length && start + i < m.Frames(); ++i) {
        const double t = static_cast<double>(i) / m.rate;
        const double f =
            freq * std::pow(2.0, s.vibratoCents / 1200.0 * std::sin(kTwoPi * s.vibratoHz * t + vibPhase));
        phase += kTwoPi * f / m.rate;
        if (phase > kTwoPi) phase -= kTwoPi;
        // sin(k x) by the recurrence sin((k + 1) x) = 2 cos x sin(k x) - sin((k - 1) x).
        const double s1 = std::sin(phase), c2 = 2.0 * std::cos(phase);
        double prev = 0.0, cur = s1, y = 0.0;
        for (int k = 1; k <= n; ++k) {
            y += cur / k;
            const double next = c2 * cur - prev;
            prev = cur;
            cur = next;
        }
        const double tail = static_cast<double>(length - i) / m.rate;
        double g = 1.0;
        if (t < s.fadeIn) g *= 0.5 - 0.5 * std::cos(std::numbers::pi * t / s.fadeIn);
        if (tail < s.fadeOut) g *= 0.5 - 0.5 * std::cos(std::numbers::pi * tail / s.fadeOut);
        if (s.riseSeconds > 0.0)
            g *= DbToGain(s.riseFromDb * (1.0 - std::clamp((t - s.fadeIn) / s.riseSeconds, 0.0, 1.0)));
        g *= 1.0 - s.tremoloDepth * (0.5 - 0.5 * std::cos(kTwoPi * s.tremoloHz * t + tremPhase));
        m.Add(start + i, amp * g * y / norm, pan);
    }
}

// Pink noise (Voss: sixteen held random values, value k renewed every 2^k samples, plus white).
void PinkNoise(Mix& m, Rng& rng, int64_t start, int64_t length, double amp, double fade) {
    double rows[16] = {};
    double sum = 0.0;
    for (double& r : rows) r = rng.Bipolar(), sum += r;
    const int64_t fadeFrames = m.At(fade);
    for (int64_t i = 0; i < length && start + i < m.Frames(); ++i) {
        const uint64_t c = static_cast<uint64_t>(i) + 1;
        const int k = std::min(15, __builtin_ctzll(c));
        sum -= rows[k];
        rows[k] = rng.Bipolar();
        sum += rows[k];
        double g = 1.0;
        if (i < fadeFrames) g *= 0.5 - 0.5 * std::cos(std::numbers::pi * i / fadeFrames);
        if (length - i < fadeFrames) g *= 0.5 - 0.5 * std::cos(std::numbers::pi * (length - i) / fadeFrames);
        m.Add(start + i, amp * g * (sum + rng.Bipolar()) / 6.0, 0.0);
    }
}

// Drum-like hits: 0 kick (falling sine and a click), 1 snare (noise and a tone), 2 hi-hat (bright noise),
// 3 tom (falling sine).
void Drum(Mix& m, Rng& rng, int64_t start, int kind, double amp, double pan) {
    const double length = kind == 2 ? 0.25 : 0.6;
    double phase = 0.0, hp = 0.0, prevNoise = 0.0;
    const double toneHz = kind == 3 ? rng.Range(90.0, 200.0) : 45.0;
    const int64_t end = m.At(length);
    for (int64_t i = 0; i < end; ++i) {
        const double t = static_cast<double>(i) / m.rate;
        const double noise = rng.Bipolar();
        double y = 0.0;
        if (kind == 0 || kind == 3) {
            phase += kTwoPi * (toneHz + (kind == 0 ? 110.0 : 0.5 * toneHz) * std::exp(-t / 0.04)) / m.rate;
            y = std::sin(phase) * std::exp(-t / (kind == 0 ? 0.25 : 0.3));
            if (t < 0.001) y += 0.5 * noise;
        } else if (kind == 1) {
            phase += kTwoPi * 190.0 / m.rate;
            y = 0.5 * std::sin(phase) * std::exp(-t / 0.08) + 0.6 * noise * std::exp(-t / 0.12);
        } else {
            hp = noise - prevNoise;
            y = 0.5 * hp * std::exp(-t / 0.04);
        }
        prevNoise = noise;
        m.Add(start + i, amp * y * StopGain(i, -1, end, m.rate), pan);
    }
}

double MidiHz(double note) {
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

// A plucked or struck note of either kind, by a coin.
void AnyNote(Mix& m, Rng& rng, int64_t start, int64_t stop, double note, double amp, double pan) {
    if (rng.Chance(0.6)) {
        const double ring = rng.Range(1.0, 3.0);
        const double bright = rng.Range(0.3, 1.0);
        Pluck(m, rng, start, stop, MidiHz(note), amp, pan, bright, ring);
    } else {
        StrikeShape s;
        s.strings = 1;
        s.inharmonicity = rng.Range(0.0, 0.002);
        s.hardness = rng.Range(0.2, 0.9);
        s.ringSeconds = rng.Range(0.6, 2.5);
        Strike(m, rng, start, stop, MidiHz(note), amp, pan, s);
    }
}

struct Builder {
    Mix mix;
    Rng rng;
    std::vector<OnsetLabel> labels;
    void Label(int64_t f, bool scored = true) { labels.push_back({f, scored}); }
};

void Plucks(Builder& b) {
    double t = 0.3;
    while (t < b.mix.Frames() / static_cast<double>(b.mix.rate) - 1.0) {
        const int64_t f = b.mix.At(t);
        const double pan = b.rng.Bipolar();
        const double amp = DbToGain(b.rng.Range(-30.0, 0.0)) * 0.5;
        const int note = b.rng.Int(40, 84);
        AnyNote(b.mix, b.rng, f, -1, note, amp, pan);
        b.Label(f);
        t += b.rng.Range(0.12, 1.0);
    }
}

void SoftUnderLoud(Builder& b) {
    double t = 0.3;
    while (t < b.mix.Frames() / static_cast<double>(b.mix.rate) - 1.5) {
        const double loud = b.rng.Int(40, 76);
        const double amp = DbToGain(b.rng.Range(-6.0, 0.0)) * 0.6;
        const int64_t f = b.mix.At(t);
        AnyNote(b.mix, b.rng, f, -1, loud, amp, b.rng.Bipolar());
        b.Label(f, false);
        // A different pitch, never the same or an octave: 1-11 semitones up or down.
        const int up = b.rng.Chance(0.5) ? 1 : -1;
        const double soft = loud + up * b.rng.Int(1, 11);
        t += b.rng.Range(0.15, 0.5);
        const int64_t g = b.mix.At(t);
        const double pan = b.rng.Bipolar();
        AnyNote(b.mix, b.rng, g, -1, soft, amp * DbToGain(-b.rng.Range(6.0, 20.0)), pan);
        b.Label(g);
        t += b.rng.Range(0.6, 1.0);
    }
}

void Repeated(Builder& b) {
    double t = 0.3;
    while (t < b.mix.Frames() / static_cast<double>(b.mix.rate) - 2.0) {
        const double rate = b.rng.Range(6.0, 16.0);
        const int count = b.rng.Int(6, 12);
        const double first = b.rng.Int(45, 80);
        const bool alternate = b.rng.Chance(0.3);
        const double other = first + b.rng.Int(2, 7);
        const double amp = DbToGain(b.rng.Range(-20.0, 0.0)) * 0.5;
        const double pan = b.rng.Bipolar() * 0.5;
        // Each string stops when it is plucked again.
        std::vector<int64_t> onsets;
        for (int i = 0; i < count; ++i) onsets.push_back(b.mix.At(t + i / rate));
        for (int i = 0; i < count; ++i) {
            const int string = alternate ? i % 2 : 0;
            int64_t stop = -1;
            for (int j = i + 1; j < count; ++j)
                if ((alternate ? j % 2 : 0) == string) {
                    stop = onsets[static_cast<size_t>(j)];
                    break;
                }
            const double note = string == 0 ? first : other;
            const double bright = b.rng.Range(0.4, 1.0);
            const double accent = DbToGain(b.rng.Range(-3.0, 3.0));
            Pluck(b.mix, b.rng, onsets[static_cast<size_t>(i)], stop, MidiHz(note), amp * accent, pan, bright,
                  1.5);
            b.Label(onsets[static_cast<size_t>(i)]);
        }
        t += count / rate + b.rng.Range(0.4, 0.8);
    }
}

void Chords(Builder& b) {
    static const int kShapes[][4] = {
        {0, 4, 7, 12}, {0, 3, 7, 10}, {0, 7, 12, 16}, {0, 5, 7, 14}, {0, 4, 10, 14}};
    double t = 0.3;
    while (t < b.mix.Frames() / static_cast<double>(b.mix.rate) - 1.5) {
        const int* shape = kShapes[b.rng.Int(0, 4)];
        const int voices = b.rng.Int(3, 4);
        const double root = b.rng.Int(40, 64);
        const double amp = DbToGain(b.rng.Range(-20.0, 0.0)) * 0.3;
        const int64_t f = b.mix.At(t);
        const double spread = b.rng.Range(0.0, 0.004);
        for (int v = 0; v < voices; ++v)
            AnyNote(b.mix, b.rng, f + b.mix.At(spread * v / voices), -1, root + shape[v], amp,
                    b.rng.Bipolar() * 0.6);
        b.Label(f);
        t += b.rng.Range(0.35, 1.2);
    }
}

void Piano(Builder& b) {
    double t = 0.3;
    int last[2] = {0, 0}; // the two keys struck before: a key still ringing is not struck again here
    while (t < b.mix.Frames() / static_cast<double>(b.mix.rate) - 1.0) {
        int key = b.rng.Int(36, 84);
        while (key % 12 == last[0] % 12 || key % 12 == last[1] % 12) key = b.rng.Int(36, 84);
        last[1] = last[0];
        last[0] = key;
        StrikeShape s;
        s.strings = b.rng.Int(2, 3);
        s.inharmonicity = b.rng.Range(0.0002, 0.0008);
        const double db = b.rng.Range(-24.0, 0.0);
        s.hardness = 0.4 + 0.5 * (db + 24.0) / 24.0;
        s.ringSeconds = b.rng.Range(1.5, 3.0);
        const int64_t f = b.mix.At(t);
        Strike(b.mix, b.rng, f, -1, MidiHz(key), DbToGain(db) * 0.5, b.rng.Bipolar() * 0.5, s);
        b.Label(f);
        t += b.rng.Range(0.2, 1.0);
    }
}

void Drums(Builder& b) {
    double t = 0.3;
    while (t < b.mix.Frames() / static_cast<double>(b.mix.rate) - 1.0) {
        const int64_t f = b.mix.At(t);
        const int hits = b.rng.Chance(0.25) ? 2 : 1;
        for (int h = 0; h < hits; ++h) {
            const double pan = b.rng.Bipolar() * 0.5;
            const double amp = DbToGain(b.rng.Range(-24.0, 0.0)) * 0.6;
            Drum(b.mix, b.rng, f, b.rng.Int(0, 3), amp, pan);
        }
        b.Label(f);
        t += 0.125 * b.rng.Int(1, 4);
    }
}

// Overlapping sustained tones, each fading in and out over 1-2 s.
void Tones(Builder& b, EOnsetClass cls) {
    double t = 0.0;
    const double total = b.mix.Frames() / static_cast<double>(b.mix.rate);
    while (t < total - 3.0) {
        ToneShape s;
        s.fadeIn = b.rng.Range(1.0, 2.0);
        s.fadeOut = b.rng.Range(1.0, 2.0);
        s.partials = b.rng.Int(4, 12);
        double length = b.rng.Range(4.0, 9.0);
        if (cls == EOnsetClass::kVibrato) {
            s.vibratoHz = b.rng.Range(4.5, 7.0);
            s.vibratoCents = b.rng.Range(15.0, 60.0);
        } else if (cls == EOnsetClass::kTremolo) {
            s.tremoloHz = b.rng.Range(3.0, 8.0);
            s.tremoloDepth = b.rng.Range(0.3, 0.6);
        } else {
            s.fadeIn = b.rng.Range(2.0, 4.0);
            s.riseFromDb = b.rng.Chance(0.5) ? -b.rng.Range(15.0, 30.0) : 0.0;
            s.riseSeconds = s.riseFromDb < 0.0 ? b.rng.Range(2.0, 4.0) : 0.0;
            length = s.fadeIn + s.riseSeconds + b.rng.Range(1.0, 3.0) + s.fadeOut;
        }
        const double pan = b.rng.Bipolar() * 0.6;
        const double amp = DbToGain(b.rng.Range(-20.0, 0.0)) * 0.5;
        const double note = b.rng.Int(40, 84);
        Tone(b.mix, b.rng, b.mix.At(t), b.mix.At(length), MidiHz(note), amp, pan, s);
        t += length - s.fadeOut * b.rng.Range(0.5, 1.0);
    }
}

void Noise(Builder& b) {
    double t = 0.0;
    const double total = b.mix.Frames() / static_cast<double>(b.mix.rate);
    while (t < total - 3.0) {
        const double length = b.rng.Range(5.0, 12.0);
        PinkNoise(b.mix, b.rng, b.mix.At(t), b.mix.At(length), DbToGain(b.rng.Range(-30.0, -6.0)), 1.5);
        t += length - 1.5 * b.rng.Range(0.3, 1.0);
    }
}

struct ClassInfo {
    const char* name;
    double seconds;
    void (*make)(Builder&);
};

const ClassInfo kClasses[kNumOnsetClasses] = {
    {"plucks and strikes", 60.0, Plucks},
    {"soft under loud", 100.0, SoftUnderLoud},
    {"repeated notes", 45.0, Repeated},
    {"chords", 60.0, Chords},
    {"piano-like", 60.0, Piano},
    {"drum-like hits", 35.0, Drums},
    {"vibrato", 60.0, [](Builder& b) { Tones(b, EOnsetClass::kVibrato); }},
    {"tremolo", 60.0, [](Builder& b) { Tones(b, EOnsetClass::kTremolo); }},
    {"swells", 60.0, [](Builder& b) { Tones(b, EOnsetClass::kSwells); }},
    {"pink noise", 60.0, Noise},
};

} // namespace

OnsetClip MakeOnsetClip(EOnsetClass cls, int sampleRate) {
    const ClassInfo& info = kClasses[static_cast<int>(cls)];
    Builder b{Mix(sampleRate, info.seconds), Rng{0x2545F491u + 977u * static_cast<uint32_t>(cls)}, {}};
    info.make(b);
    std::sort(b.labels.begin(), b.labels.end(),
              [](const OnsetLabel& x, const OnsetLabel& y) { return x.frame < y.frame; });
    return {
        cls, info.name, b.labels.empty(), std::move(b.mix.left), std::move(b.mix.right), std::move(b.labels)};
}

OnsetScore ScoreOnsets(const OnsetClip& clip, const std::vector<int64_t>& detections, int sampleRate,
                       double toleranceSeconds) {
    OnsetScore score;
    score.seconds = static_cast<double>(clip.left.size()) / sampleRate;
    const int64_t tolerance = static_cast<int64_t>(toleranceSeconds * sampleRate);
    std::vector<bool> used(detections.size(), false);
    size_t first = 0; // the first detection that can still match
    for (const OnsetLabel& label : clip.onsets) {
        if (label.scored) ++score.labels;
        while (first < detections.size() && detections[first] < label.frame - tolerance) ++first;
        size_t best = detections.size();
        for (size_t d = first; d < detections.size() && detections[d] <= label.frame + tolerance; ++d)
            if (!used[d] && (best == detections.size() || std::llabs(detections[d] - label.frame) <
                                                              std::llabs(detections[best] - label.frame)))
                best = d;
        if (best == detections.size()) continue;
        used[best] = true;
        if (label.scored) ++score.found;
    }
    score.falseTriggers = static_cast<int>(std::count(used.begin(), used.end(), false));
    return score;
}
