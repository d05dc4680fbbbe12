#pragma once
// TidebloomReferenceEditor: the VST 2 plug-in's editor on the headless platform, made in-process the way
// its entry makes it and drawn off-screen: what every other window of the editor (the LV2 UI, the CLAP
// plug-in's) must show at the same values. One per test program, used from the test's thread.
#include <array>

#include "Graphics/TidebloomEditor.h"
#include "framework/platform/linux/IGraphicsHeadless.h"
#include "tests/Graphics/TidebloomTestSupport.h"
#include "tests/support/vst2/TestHost.h"

using TidebloomPlainValues = std::array<double, kNumParams>;

class TidebloomReferenceEditor {
public:
    TidebloomReferenceEditor() {
        mFx = mHost.Load(TidebloomTestEntry);
        mHost.Open();
        auto* plug = static_cast<IEffectVST*>(mFx->object);
        mGui = new IGraphicsHeadless(plug, kTidebloomEditorWidth, kTidebloomEditorHeight);
        TidebloomAttachControls(mGui, plug);
        plug->AttachGraphics(mGui); // replaces the X11 editor
    }
    // The editor at these plain values, drawn whole.
    Raster_IBitmap* At(const TidebloomPlainValues& values) {
        auto* plug = static_cast<IEffectVST*>(mFx->object);
        for (int i = 0; i < kNumParams; ++i)
            mHost.SetParameter(
                i, static_cast<float>(plug->GetParam(i)->GetNormalized(values[static_cast<size_t>(i)])));
        IRECT all(0, 0, kTidebloomEditorWidth, kTidebloomEditorHeight);
        mGui->Draw(&all);
        return mGui->GetDrawBitmap();
    }

    static TidebloomReferenceEditor& Get() {
        static TidebloomReferenceEditor sEditor;
        return sEditor;
    }

private:
    TestHost mHost;
    AEffect* mFx = nullptr;
    IGraphicsHeadless* mGui = nullptr;
};
