#pragma once
// A headless editor on a RecordingPlug for the standard-control tests: attach controls, attach the editor,
// then press, drag and draw through the editor as a window host would.
#include "framework/raster/raster.h"
#include "tests/support/editor/EditorFixture.h"
#include "tests/support/editor/TestPictures.h"

struct ControlScene : EditorFixture {
    explicit ControlScene(int w = 200, int h = 120) : EditorFixture(w, h) {}

    template <class T>
    T* Add(T* control) {
        gui->AttachControl(control);
        return control;
    }
    void Open() {
        Attach();
        gui->OpenWindow(nullptr);
        Settle();
    }
    void Press(int x, int y, IMouseMod mod = IMouseMod(true)) { gui->OnMouseDown(x, y, &mod); }
    void Release(int x, int y, IMouseMod mod = IMouseMod(true)) { gui->OnMouseUp(x, y, &mod); }
    void Drag(int x, int y, IMouseMod mod = IMouseMod(true)) { gui->OnMouseDrag(x, y, &mod); }
    void Wheel(int x, int y, int d, IMouseMod mod = IMouseMod()) { gui->OnMouseWheel(x, y, &mod, d); }
    void Click(int x, int y) {
        Press(x, y);
        Release(x, y);
    }
    void DrawAll(uint32_t background) {
        Raster_Clear(gui->GetDrawBitmap(), background);
        IRECT all(0, 0, gui->Width(), gui->Height());
        gui->Draw(&all);
    }
    uint32_t At(int x, int y) {
        Raster_IBitmap* bm = gui->GetDrawBitmap();
        return bm->getBits()[y * bm->getRowSpan() + x];
    }
    double Param(int idx) { return plug.GetParam(idx)->GetNormalized(); }
};
