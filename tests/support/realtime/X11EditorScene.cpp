#include "tests/support/realtime/X11EditorScene.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "Graphics/TidebloomLayout.h"

namespace {

using std::chrono::milliseconds;

// The host's timer period for effEditIdle, and the pointer's between two motions of a drag.
constexpr auto kIdlePeriod = milliseconds(10);
constexpr auto kMotionPeriod = milliseconds(8);
constexpr int kDragSteps = 12, kDragStepPixels = 4;

// The user: gesture g drags knob g (in turn) up or down and back, every fifth double-clicks it instead,
// every third clicks the toggle first. (rootX, rootY) is editor point (0, 0) on the screen.
void UserGesture(X11TestDisplay& d, const EditorTargets& t, int g, int rootX, int rootY,
                 const SceneClock& clock) {
    const EditorPoint& knob = t.knobs[static_cast<size_t>(g) % t.knobs.size()];
    const int kx = rootX + knob.x, ky = rootY + knob.y;
    if (g % 3 == 2) {
        d.Click(rootX + t.toggle.x, rootY + t.toggle.y);
        std::this_thread::sleep_for(kMotionPeriod);
    }
    if (g % 5 == 4) {
        d.Click(kx, ky);
        d.Click(kx, ky);
        std::this_thread::sleep_for(kMotionPeriod);
        return;
    }
    const int dir = (g / static_cast<int>(t.knobs.size())) % 2 ? 1 : -1;
    d.MoveTo(kx, ky);
    d.Button(1, true);
    for (int s = 1; s <= 2 * kDragSteps && clock.Running(); ++s) {
        const int offset = s <= kDragSteps ? s : 2 * kDragSteps - s;
        std::this_thread::sleep_for(kMotionPeriod);
        d.MoveTo(kx, ky + dir * kDragStepPixels * offset);
    }
    d.Button(1, false);
    std::this_thread::sleep_for(kMotionPeriod);
}

void IdleFor(TestHost& host, milliseconds time) {
    for (auto end = std::chrono::steady_clock::now() + time; std::chrono::steady_clock::now() < end;) {
        host.Dispatch(effEditIdle);
        std::this_thread::sleep_for(kIdlePeriod);
    }
}

} // namespace

EditorTargets TidebloomEditorTargets() {
    EditorTargets t;
    for (const TidebloomKnobLayout& k : kTidebloomKnobs) t.knobs.push_back({k.anchorX, k.anchorY});
    const TidebloomSwitchLayout& s = kTidebloomSwitch;
    t.toggle = {s.x + s.picture.width / 2, s.y + s.picture.FrameHeight() / 2};
    return t;
}

bool RunX11EditorScene(TestHost& host, X11TestDisplay& d, const EditorTargets& targets,
                       const SceneOptions& options, SceneResult* pResult, std::string* pError) {
    if (!(host.Effect()->flags & effFlagsHasEditor) || targets.knobs.empty()) {
        *pError = "the plug-in has no editor";
        return false;
    }
    ERect* rect = nullptr;
    host.Dispatch(effEditGetRect, 0, 0, &rect);
    const int w = rect && rect->right > rect->left ? rect->right - rect->left : 640;
    const int h = rect && rect->bottom > rect->top ? rect->bottom - rect->top : 480;
    const xcb_window_t parent = d.MakeParent(40, 40, w, h);
    if (host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))) != 1) {
        d.Destroy(parent);
        *pError = "effEditOpen failed";
        return false;
    }
    int px = 0, py = 0;
    d.RootPosition(parent, &px, &py);
    // The editor window sits at (0, 0) of the parent; editor point (x, y) is its pixel (x + 2, y + 2).
    const int rootX = px + 2, rootY = py + 2;
    IdleFor(host, milliseconds(300)); // mapped and drawn before the user starts

    *pResult = RunScene(host, options, [&](const SceneClock& clock) {
        std::atomic<int> gestures{0};
        std::atomic<bool> userDone{false};
        std::thread user([&] {
            for (int g = 0; clock.Running(); ++g) {
                UserGesture(d, targets, g, rootX, rootY, clock);
                gestures = g + 1;
            }
            userDone = true;
        });
        while (!userDone.load()) {
            host.Dispatch(effEditIdle);
            std::this_thread::sleep_for(kIdlePeriod);
        }
        user.join();
        return gestures.load();
    });

    IdleFor(host, milliseconds(100)); // what the user did last
    host.Dispatch(effEditClose);
    d.Destroy(parent);
    return true;
}
