#pragma once
// The real-time scenes: what a host does on its other threads — the user working the editor, the host
// saving and loading state, switching programs and automating — while its audio thread runs, timed
// (TimedAudio). The host's notifications on those threads take a while to return (TestHost::SetUiDelay),
// as a real host's do while its user interface is busy; a plug-in whose audio callback waits for any of
// that shows callbacks as long as that delay. Shared by the real-time tests and bench_realtime.
//
// Every scene talks to the plug-in through its effect record only (the headless editor scene also
// drives the test effect's editor object, as the window host would), so it runs against any VST 2
// plug-in; the host must hold a plug-in opened with at least the scene's block size.
//
// Threads: a scene runs its host side on the calling thread (and threads of its own that it ends before
// returning); the plug-in must not be used by anyone else meanwhile.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "tests/support/vst2/TestHost.h"
#include "tests/support/vst2/TimedAudio.h"

struct SceneOptions {
    std::chrono::milliseconds uiDelay{50};  // what each notification on another thread costs the host
    std::chrono::milliseconds length{2500}; // how long the host works while the audio runs
    int blockFrames = 512;
    double sampleRate = 44100.0;
};

struct SceneResult {
    AudioTimes audio;
    long uiNotifications = 0; // notifications the host answered on its other threads
    int rounds = 0;           // rounds of host or user actions
    std::string Describe() const;
};

// The time a scene's body has: Running() turns false when the scene's length has passed.
class SceneClock {
public:
    explicit SceneClock(std::chrono::steady_clock::time_point end) : mEnd(end) {}
    bool Running() const { return std::chrono::steady_clock::now() < mEnd; }

private:
    std::chrono::steady_clock::time_point mEnd;
};

// Starts the audio thread, makes the host's notifications slow, runs body (which returns how many rounds
// it made) and then answers at once again and stops the audio thread.
SceneResult RunScene(TestHost& host, const SceneOptions& options,
                     const std::function<int(const SceneClock&)>& body);

// Every few milliseconds: a program switch, the program's state saved, another program's saved state
// loaded, the bank saved, and every other round the bank loaded again.
SceneResult RunChunkScene(TestHost& host, const SceneOptions& options);

// Every few milliseconds every parameter set to a new value (setParameter), then set again from one of
// the texts the plug-in displays for it (effString2Parameter).
SceneResult RunAutomationScene(TestHost& host, const SceneOptions& options);

// The host holds an EditorTestEffect: its headless editor is opened and, from this thread, idled
// (effEditIdle) while the knob is dragged up and down, now and then reset with a double click, and the
// switch and the radio buttons are clicked. Closed again afterwards.
SceneResult RunHeadlessEditorScene(TestHost& host, const SceneOptions& options);

// Success when the audio thread never waited for the host's slow notifications — its longest callback
// stayed below half their delay — and kept its pace (at least half the blocks a steady sound card asks
// for in that time). The message has the scene's figures either way.
::testing::AssertionResult AudioNeverWaited(const SceneResult& result, const SceneOptions& options);
