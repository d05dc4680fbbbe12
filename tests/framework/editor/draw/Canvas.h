#pragma once
// Canvas: an attached headless editor whose one control runs a given function as its Draw, so drawing
// operations are exercised inside a real redraw (with its redraw rectangle), plus pixel access.
#include <functional>

#include "framework/raster/raster.h"
#include "tests/support/editor/EditorFixture.h"

class LambdaControl : public IControl {
public:
    LambdaControl(IEffectBase* pPlug, IRECT r) : IControl(pPlug, &r) {}
    bool Draw(IGraphics* pGraphics) override {
        if (mFn) mFn(pGraphics);
        return true;
    }
    std::function<void(IGraphics*)> mFn;
};

struct Canvas : EditorFixture {
    LambdaControl* painter;

    Canvas(int w = 64, int h = 64) : EditorFixture(w, h) {
        painter = new LambdaControl(&plug, IRECT(0, 0, w, h));
        gui->AttachControl(painter);
        Attach();
    }
    Raster_IBitmap* Bitmap() { return gui->GetDrawBitmap(); }
    uint32_t At(int x, int y) { return Bitmap()->getBits()[y * Bitmap()->getRowSpan() + x]; }
    void Fill(uint32_t word) { Raster_Clear(Bitmap(), word); }
    // Runs fn inside a strict redraw of drawRect.
    void Paint(IRECT drawRect, std::function<void(IGraphics*)> fn) {
        painter->mFn = std::move(fn);
        gui->Draw(&drawRect);
        painter->mFn = nullptr;
    }
    void Paint(std::function<void(IGraphics*)> fn) {
        Paint(IRECT(0, 0, gui->Width(), gui->Height()), std::move(fn));
    }
};

// A bitmap the size of the canvas filled with word, for building expected pictures with raster calls.
inline std::unique_ptr<Raster_MemBitmap> Reference(Canvas& c, uint32_t word) {
    auto bm = std::make_unique<Raster_MemBitmap>(c.gui->Width(), c.gui->Height());
    Raster_Clear(bm.get(), word);
    return bm;
}

// Number of pixels where the canvas differs from the reference.
inline int Differences(Canvas& c, Raster_IBitmap* reference) {
    int n = 0;
    for (int y = 0; y < c.gui->Height(); ++y)
        for (int x = 0; x < c.gui->Width(); ++x)
            n += c.At(x, y) != reference->getBits()[y * reference->getRowSpan() + x];
    return n;
}
