#include "host/HostValidateSignal.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <complex>
#include <random>

namespace {

using Complex = std::complex<double>;

// In-place radix-2 transform of a power-of-two length; inverse without the 1/N.
void Fft(std::vector<Complex>& a, bool inverse) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double angle = 2.0 * M_PI / static_cast<double>(len) * (inverse ? 1.0 : -1.0);
        const Complex step(std::cos(angle), std::sin(angle));
        for (size_t i = 0; i < n; i += len) {
            Complex w(1.0, 0.0);
            for (size_t k = 0; k < len / 2; ++k) {
                const Complex u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

std::vector<double> Mono(const HostSignal& s) {
    std::vector<double> m(s.empty() ? 0 : s[0].size(), 0.0);
    for (const auto& ch : s)
        for (size_t k = 0; k < m.size() && k < ch.size(); ++k) m[k] += ch[k];
    return m;
}

} // namespace

HostSignal HostSilentSignal(int channels, int64_t frames) {
    return HostSignal(static_cast<size_t>(channels), std::vector<double>(static_cast<size_t>(frames), 0.0));
}

HostSignal HostMusicSignal(int channels, int64_t frames, int rate, uint64_t seed) {
    HostSignal s = HostSilentSignal(channels, frames);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int64_t start = 0; start < frames;) {
        const double pitch = 110.0 * std::pow(2.0, 4.0 * unit(rng)); // 110 Hz to 1.76 kHz
        const double level = 0.05 + 0.2 * unit(rng);
        const double decay = 0.1 + 0.5 * unit(rng); // seconds to fall by e
        const int64_t length = std::min<int64_t>(frames - start, static_cast<int64_t>(6.0 * decay * rate));
        for (int c = 0; c < channels; ++c) {
            const double detune = 1.0 + 0.003 * c;
            for (int64_t k = 0; k < length; ++k) {
                const double t = static_cast<double>(k) / rate;
                const double tone = std::sin(2.0 * M_PI * pitch * detune * t) +
                                    0.3 * std::sin(2.0 * M_PI * 3.0 * pitch * detune * t);
                s[c][start + k] += level * tone * std::exp(-t / decay);
            }
        }
        start += static_cast<int64_t>((0.1 + 0.3 * unit(rng)) * rate);
    }
    return s;
}

HostSignal HostNoiseSignal(int channels, int64_t frames, double level, uint64_t seed) {
    HostSignal s = HostSilentSignal(channels, frames);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> noise(-level, level);
    for (int64_t k = 0; k < frames; ++k) {
        const double v = noise(rng);
        for (auto& ch : s) ch[k] = v;
    }
    return s;
}

HostSignalStats HostMeasureSignal(const HostSignal& s, int64_t from) {
    HostSignalStats st;
    for (const auto& ch : s) {
        for (size_t k = static_cast<size_t>(std::max<int64_t>(from, 0)); k < ch.size(); ++k) {
            const double v = ch[k];
            if (!std::isfinite(v)) {
                if (st.firstNonFinite < 0 || static_cast<int64_t>(k) < st.firstNonFinite)
                    st.firstNonFinite = static_cast<int64_t>(k);
                ++st.nonFinite;
                continue;
            }
            const double a = std::fabs(v);
            if (a != 0.0 && a < FLT_MIN) ++st.denormals;
            st.peak = std::max(st.peak, a);
        }
    }
    return st;
}

double HostMaxDifference(const HostSignal& a, const HostSignal& b) {
    double worst = 0.0;
    for (size_t c = 0; c < a.size() && c < b.size(); ++c)
        for (size_t k = 0; k < a[c].size() && k < b[c].size(); ++k) {
            const double d = std::fabs(a[c][k] - b[c][k]);
            if (!(d <= worst)) worst = std::isnan(d) ? INFINITY : d;
        }
    return worst;
}

double HostDecibels(double level) {
    return level > 0.0 ? 20.0 * std::log10(level) : -999.0;
}

bool HostMeasureDelay(const HostSignal& in, const HostSignal& out, int maxLag, HostDelayMeasure& m) {
    const std::vector<double> x = Mono(in), y = Mono(out);
    double ex = 0.0, ey = 0.0;
    for (double v : x) ex += v * v;
    for (double v : y) ey += v * v;
    if (ex <= 0.0 || ey <= 0.0) return false;
    size_t n = 1;
    while (n < std::max(x.size(), y.size()) + static_cast<size_t>(maxLag)) n <<= 1;
    std::vector<Complex> fx(n), fy(n);
    std::copy(x.begin(), x.end(), fx.begin());
    std::copy(y.begin(), y.end(), fy.begin());
    Fft(fx, false);
    Fft(fy, false);
    for (size_t k = 0; k < n; ++k) fy[k] *= std::conj(fx[k]);
    Fft(fy, true); // fy[l] = n * sum over k of x[k] y[k + l]
    const int lags = static_cast<int>(std::min<size_t>(static_cast<size_t>(maxLag) + 1, n));
    auto at = [&fy](int l) { return std::fabs(fy[static_cast<size_t>(l)].real()); };
    m = HostDelayMeasure{};
    for (int l = 1; l < lags; ++l)
        if (at(l) > at(m.peak)) m.peak = l;
    m.onset = m.peak;
    for (int l = 0; l < m.peak; ++l)
        if (at(l) >= 0.1 * at(m.peak)) {
            m.onset = l;
            break;
        }
    m.strength = at(m.peak) / static_cast<double>(n) / std::sqrt(ex * ey);
    return true;
}
