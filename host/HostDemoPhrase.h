#pragma once
// The built-in demo phrase: plucked-string notes of varied loudness, pitch, spacing and stereo
// position, synthesised with the Karplus-Strong method (a noise burst circulating in a damped
// delay line one period long). Fully deterministic: the same arguments always give the same
// samples. Pure functions; any thread.
#include <vector>

struct HostDemoNote {
    double start;     // seconds from the beginning of the phrase
    int midiNote;     // pitch (69 = A 440 Hz)
    double amplitude; // 0..1 before the phrase is normalised
    double pan;       // -1 left .. 1 right
};

// The notes of the phrase, in time order.
const std::vector<HostDemoNote>& HostDemoNotes();

// Peak level of the normalised phrase.
constexpr double kHostDemoPeak = 0.8;

// The phrase as two channels of seconds x sampleRate frames, peak-normalised to kHostDemoPeak.
std::vector<std::vector<double>> HostSynthesizeDemoPhrase(int sampleRate, double seconds);
