#pragma once
// The labelled onset set: synthesised stereo music in which the frame of every note onset is known,
// in ten classes that each try one side of an onset detector. Six hold notes: plucked and struck notes
// of varied loudness and spacing; soft notes struck 0.15-0.5 s into the decay of a loud one (only the
// soft ones count towards the class's recall); runs of repeated notes at 6-16 per second; chords;
// piano-like notes (stretched partials, beating strings, two-stage decay); drum-like hits. Four hold no
// onset at all: sustained tones with vibrato, with tremolo, slow swells and crescendos, and pink noise;
// every detection there is a false trigger (their tones and noise fade in over a second or more).
//
// Our own synthesis (Karplus-Strong strings, additive partials, noise) from fixed seeds: the same
// arguments give the same samples on every machine and from every compiler (each random value is drawn
// in a statement of its own, so no order of evaluation can change which goes where). Pure functions; any
// thread. The detector tests and the detector benchmark (bench/onsets) score detectors on it with
// ScoreOnsets.
#include <cstdint>
#include <vector>

enum class EOnsetClass {
    kPlucks,
    kSoftUnderLoud,
    kRepeated,
    kChords,
    kPiano,
    kDrums,
    kVibrato,
    kTremolo,
    kSwells,
    kNoise
};
constexpr int kNumOnsetClasses = 10;

struct OnsetLabel {
    int64_t frame;
    bool scored; // counted in the class's recall (a detection matching any label is no false trigger)
};

struct OnsetClip {
    EOnsetClass cls;
    const char* name;
    bool negative; // holds no onset
    std::vector<double> left, right;
    std::vector<OnsetLabel> onsets; // in time order
};

// The clip of one class at a sample rate.
OnsetClip MakeOnsetClip(EOnsetClass cls, int sampleRate);

struct OnsetScore {
    int labels = 0;        // scored labels
    int found = 0;         // scored labels with a detection within the tolerance
    int falseTriggers = 0; // detections matching no label
    double seconds = 0.0;  // length of the clip
    double Recall() const { return labels > 0 ? static_cast<double>(found) / labels : 1.0; }
    double FalsePerMinute() const { return seconds > 0.0 ? falseTriggers * 60.0 / seconds : 0.0; }
};

// Matches detections (frames at which a detector places onsets, ascending) to the clip's labels:
// label after label in time order, each takes the nearest unmatched detection within the tolerance.
OnsetScore ScoreOnsets(const OnsetClip& clip, const std::vector<int64_t>& detections, int sampleRate,
                       double toleranceSeconds = 0.010);
