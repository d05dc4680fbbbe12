#pragma once
// The progress bar a render draws on stderr when stderr is a terminal, and the one-line summary
// printed when it is done. HostProgress redraws only when the shown percentage changes and clears
// its line when finished. One thread.
#include <cstdint>
#include <cstdio>
#include <string>

// "[#########...........]  45%" with width characters between the brackets.
std::string HostFormatProgressBar(int64_t done, int64_t total, int width);

// "real time" factor: seconds of audio per second of wall time; 0 when nothing was measured.
double HostRealTimeFactor(int64_t frames, int sampleRate, double wallSeconds);

class HostProgress {
public:
    // Draws into out only when enabled (normally: out is a terminal).
    HostProgress(std::FILE* out, bool enabled, int width = 40)
        : mOut(out), mEnabled(enabled), mWidth(width) {}
    ~HostProgress() { Finish(); }
    void Update(int64_t done, int64_t total);
    // Clears the bar's line.
    void Finish();

private:
    std::FILE* mOut;
    bool mEnabled;
    int mWidth;
    int mShownPercent = -1;
};
