#include "host/HostProgress.h"

#include <algorithm>

static int Percent(int64_t done, int64_t total) {
    if (total <= 0) return 100;
    done = std::clamp<int64_t>(done, 0, total);
    return static_cast<int>(done * 100 / total);
}

std::string HostFormatProgressBar(int64_t done, int64_t total, int width) {
    width = std::max(width, 1);
    int64_t clamped = total <= 0 ? 1 : std::clamp<int64_t>(done, 0, total);
    int64_t whole = total <= 0 ? 1 : total;
    int filled = static_cast<int>(clamped * width / whole);
    std::string s = "[";
    s.append(static_cast<size_t>(filled), '#');
    s.append(static_cast<size_t>(width - filled), '.');
    char pct[16];
    std::snprintf(pct, sizeof pct, "] %3d%%", Percent(done, total));
    s += pct;
    return s;
}

double HostRealTimeFactor(int64_t frames, int sampleRate, double wallSeconds) {
    if (sampleRate <= 0 || wallSeconds <= 0.0) return 0.0;
    return static_cast<double>(frames) / sampleRate / wallSeconds;
}

void HostProgress::Update(int64_t done, int64_t total) {
    if (!mEnabled) return;
    int pct = Percent(done, total);
    if (pct == mShownPercent) return;
    mShownPercent = pct;
    std::fprintf(mOut, "\r%s", HostFormatProgressBar(done, total, mWidth).c_str());
    std::fflush(mOut);
}

void HostProgress::Finish() {
    if (!mEnabled || mShownPercent < 0) return;
    // Overwrite the bar with blanks and return to the start of the line.
    std::fprintf(mOut, "\r%*s\r", mWidth + 7, "");
    std::fflush(mOut);
    mShownPercent = -1;
}
