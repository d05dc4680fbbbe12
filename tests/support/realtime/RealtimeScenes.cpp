#include "tests/support/realtime/RealtimeScenes.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "tests/support/editor/EditorTestEffect.h"

namespace {

// The pause between two rounds of host actions: a host automates about once a block and a user's
// pointer moves a hundred times a second or so, not back to back.
constexpr auto kRoundPause = std::chrono::milliseconds(5);

} // namespace

std::string SceneResult::Describe() const {
    char buf[160];
    std::snprintf(buf, sizeof(buf), "; %ld host notifications answered on other threads, %d rounds",
                  uiNotifications, rounds);
    return audio.Describe() + buf;
}

SceneResult RunScene(TestHost& host, const SceneOptions& options,
                     const std::function<int(const SceneClock&)>& body) {
    TimedAudio audio(host, options.blockFrames, options.sampleRate);
    audio.Start();
    const long before = host.UiNotifications();
    host.SetUiDelay(options.uiDelay);
    SceneResult result;
    result.rounds = body(SceneClock(std::chrono::steady_clock::now() + options.length));
    host.SetUiDelay(std::chrono::microseconds(0));
    result.audio = audio.Stop();
    result.uiNotifications = host.UiNotifications() - before;
    return result;
}

SceneResult RunChunkScene(TestHost& host, const SceneOptions& options) {
    // Each program's state and the bank, saved before the scene.
    const int nPrograms = std::max(host.Effect()->numPrograms, 1);
    std::vector<std::vector<uint8_t>> programs;
    for (int p = 0; p < nPrograms; ++p) {
        host.Dispatch(effSetProgram, 0, p);
        programs.push_back(host.GetChunk(false));
    }
    const std::vector<uint8_t> bank = host.GetChunk(true);
    host.Dispatch(effSetProgram, 0, 0);

    return RunScene(host, options, [&](const SceneClock& clock) {
        int round = 0;
        for (; clock.Running(); ++round) {
            host.Dispatch(effSetProgram, 0, round % nPrograms);
            (void)host.GetChunk(false);
            host.SetChunk(programs[static_cast<size_t>((round + 1) % nPrograms)], false);
            (void)host.GetChunk(true);
            if (round % 2 == 1) host.SetChunk(bank, true);
            std::this_thread::sleep_for(kRoundPause);
        }
        return round;
    });
}

SceneResult RunAutomationScene(TestHost& host, const SceneOptions& options) {
    // The texts the plug-in shows for a few values of each parameter, read before the scene.
    const int nParams = host.Effect()->numParams;
    constexpr float kTextValues[] = {0.0f, 0.35f, 0.7f, 1.0f};
    constexpr int kNumTexts = sizeof(kTextValues) / sizeof(kTextValues[0]);
    std::vector<std::string> texts;
    for (int p = 0; p < nParams; ++p) {
        const float initial = host.GetParameter(p);
        for (float v : kTextValues) {
            host.SetParameter(p, v);
            texts.push_back(host.ParamDisplay(p));
        }
        host.SetParameter(p, initial);
    }

    return RunScene(host, options, [&](const SceneClock& clock) {
        std::mt19937 rng(11);
        std::uniform_real_distribution<float> value(0.0f, 1.0f);
        int round = 0;
        for (; clock.Running(); ++round) {
            for (int p = 0; p < nParams; ++p) host.SetParameter(p, value(rng));
            for (int p = 0; p < nParams; ++p) {
                std::string text = texts[static_cast<size_t>(p * kNumTexts + (round + p) % kNumTexts)];
                host.Dispatch(effString2Parameter, p, 0, text.data());
            }
            std::this_thread::sleep_for(kRoundPause);
        }
        return round;
    });
}

SceneResult RunHeadlessEditorScene(TestHost& host, const SceneOptions& options) {
    using E = EditorTestEffect;
    IGraphicsHeadless* gui = E::From(host.Effect())->Headless();
    int parent = 0;
    host.Dispatch(effEditOpen, 0, 0, &parent);

    SceneResult result = RunScene(host, options, [&](const SceneClock& clock) {
        IMouseMod mod(true);
        const int kx = E::kKnobX + E::kKnobSize / 2, ky = E::kKnobY + E::kKnobSize / 2;
        const int sx = E::kSwitchX + 4, sy = E::kSwitchY + 4;
        int round = 0;
        for (; clock.Running(); ++round) {
            // A knob drag of a few steps, up in one round and down in the next, with the host's idle
            // calls in between as its timer would make them.
            const int dir = round % 2 ? 1 : -1;
            gui->OnMouseDown(kx, ky, &mod);
            for (int step = 1; step <= 6 && clock.Running(); ++step) {
                gui->OnMouseDrag(kx, ky + dir * 3 * step, &mod);
                host.Dispatch(effEditIdle);
            }
            gui->OnMouseUp(kx, ky + dir * 18, &mod);
            if (round % 4 == 3) gui->OnMouseDblClick(kx, ky, &mod);
            if (round % 3 == 0) {
                gui->OnMouseDown(sx, sy, &mod);
                gui->OnMouseUp(sx, sy, &mod);
            }
            const int ry = 45 + (round % 3) * 33;
            gui->OnMouseDown(205, ry, &mod);
            gui->OnMouseUp(205, ry, &mod);
            host.Dispatch(effEditIdle);
            std::this_thread::sleep_for(kRoundPause);
        }
        return round;
    });
    host.Dispatch(effEditClose);
    return result;
}

::testing::AssertionResult AudioNeverWaited(const SceneResult& result, const SceneOptions& options) {
    const double limitMs = 0.5 * static_cast<double>(options.uiDelay.count());
    if (!(result.audio.longestMs < limitMs))
        return ::testing::AssertionFailure()
               << "the audio thread waited for the host's other threads: its longest callback took "
               << result.audio.longestMs << " ms, not below half of the " << options.uiDelay.count()
               << " ms the host's notifications take there; " << result.Describe();
    if (result.audio.blocks * 2 < result.audio.PacedBlocks())
        return ::testing::AssertionFailure()
               << "the audio thread fell behind its pace; " << result.Describe();
    return ::testing::AssertionSuccess() << result.Describe();
}
