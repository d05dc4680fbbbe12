#pragma once
// Audio the validator feeds to plug-ins and what it measures on what comes back: planar signals in
// double precision (HostSignal[channel][frame]), made from a seed so that every run with the same seed
// feeds the same samples, and the measurements the checks make on them. Pure functions; any thread.
#include <cstdint>
#include <vector>

using HostSignal = std::vector<std::vector<double>>;

HostSignal HostSilentSignal(int channels, int64_t frames);
// Plucked notes of varied loudness and pitch every 0.1 to 0.4 s from the start, a little different in
// each channel, peaking near -6 dBFS: music with onsets.
HostSignal HostMusicSignal(int channels, int64_t frames, int rate, uint64_t seed);
// Steady white noise at level (peak), the same in every channel: no onsets after its start, a flat
// spectrum for measuring delays.
HostSignal HostNoiseSignal(int channels, int64_t frames, double level, uint64_t seed);

struct HostSignalStats {
    int64_t nonFinite = 0;       // NaN or infinite samples
    int64_t firstNonFinite = -1; // the frame of the first
    int64_t denormals = 0;       // nonzero samples a float cannot hold as normal numbers
    double peak = 0.0;           // largest magnitude among the finite samples
};
// Over frames from .. end of every channel.
HostSignalStats HostMeasureSignal(const HostSignal& s, int64_t from = 0);

// The largest difference between two signals over their common channels and frames.
double HostMaxDifference(const HostSignal& a, const HostSignal& b);

// Decibels of a level relative to full scale (-999 for silence).
double HostDecibels(double level);

// How out follows in (each mixed to mono): their cross-correlation over lags 0 to maxLag, which for a
// plug-in that filters and delays the input is its impulse response.
struct HostDelayMeasure {
    int peak = 0;          // the lag where the correlation is largest in magnitude
    int onset = 0;         // the first lag where it reaches a tenth of that
    double strength = 0.0; // the peak normalised to the two signals' energies (1: out is in delayed)
};
// False when either signal is silent.
bool HostMeasureDelay(const HostSignal& in, const HostSignal& out, int maxLag, HostDelayMeasure& m);
