#pragma once
// Helpers shared by the editor tests: a control that records what reaches it, and an editor on the
// headless platform attached to a RecordingPlug.
#include <memory>
#include <string>
#include <vector>

#include "framework/editor/IControl.h"
#include "framework/editor/IGraphics.h"
#include "framework/platform/linux/IGraphicsHeadless.h"
#include "tests/support/editor/RecordingPlug.h"

// Records every event and draw as a text line ("down 3 4", "drag 5 6 1 2", "draw", ...) into a log
// shared by all probes of a test, prefixed with the probe's name.
class ProbeControl : public IControl {
public:
    ProbeControl(IEffectBase* pPlug, IRECT r, int paramIdx, std::string name, std::vector<std::string>* log)
        : IControl(pPlug, &r, paramIdx), mName(std::move(name)), mLog(log) {}

    bool Draw(IGraphics*) override {
        Log("draw");
        return true;
    }
    void OnMouseDown(int x, int y, IMouseMod* pMod) override {
        Log("down " + std::to_string(x) + " " + std::to_string(y));
        IControl::OnMouseDown(x, y, pMod);
    }
    void OnMouseUp(int x, int y, IMouseMod*) override {
        Log("up " + std::to_string(x) + " " + std::to_string(y));
    }
    void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod*) override {
        Log("drag " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(dX) + " " +
            std::to_string(dY));
    }
    void OnMouseDblClick(int x, int y, IMouseMod* pMod) override {
        Log("dblclick " + std::to_string(x) + " " + std::to_string(y));
        IControl::OnMouseDblClick(x, y, pMod);
    }
    void OnMouseWheel(int, int, IMouseMod*, int d) override { Log("wheel " + std::to_string(d)); }
    bool OnKeyDown(int, int, int key) override {
        Log("key " + std::to_string(key));
        return mTakesKeys;
    }
    void OnMouseOver(int x, int y, IMouseMod*) override {
        Log("over " + std::to_string(x) + " " + std::to_string(y));
    }
    void OnMouseOut() override { Log("out"); }

    bool mTakesKeys = true;

private:
    void Log(const std::string& what) {
        if (mLog) mLog->push_back(mName + " " + what);
    }
    std::string mName;
    std::vector<std::string>* mLog;
};

// A RecordingPlug with a headless editor of w x h attached (after the layout function ran).
struct EditorFixture {
    RecordingPlug plug;
    IGraphicsHeadless* gui;
    std::vector<std::string> log;

    explicit EditorFixture(int w = 200, int h = 100, const char* folder = nullptr)
        : gui(new IGraphicsHeadless(&plug, w, h, 25, folder)) {}
    ~EditorFixture() {
        if (plug.GetGUI() != gui) delete gui;
    }
    EditorFixture(const EditorFixture&) = delete;
    EditorFixture& operator=(const EditorFixture&) = delete;
    // Attaches the editor to the plug-in (which then owns it).
    void Attach() { plug.AttachGraphics(gui); }
    ProbeControl* AddProbe(IRECT r, int paramIdx, const std::string& name) {
        auto* probe = new ProbeControl(&plug, r, paramIdx, name, &log);
        gui->AttachControl(probe);
        return probe;
    }
    // Draws everything once and cleans every control (twice: value changes keep a control dirty once
    // more), then forgets the log.
    void Settle() {
        for (int i = 0; i < 2; ++i) {
            IRECT all(0, 0, gui->Width(), gui->Height());
            gui->Draw(&all);
        }
        log.clear();
        plug.mEvents.clear();
    }
};
