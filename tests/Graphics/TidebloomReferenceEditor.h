#pragma once
// The VST 2 plug-in's editor drawn off-screen on the headless platform: what every other face of the
// editor (the LV2 UI, the VST 3 view, the CLAP
// plug-in's) must show at the same values, pixel for pixel. One instance per
// test program (TidebloomReferenceEditor::Get), used on the test's thread; it needs the editor's
// pictures compiled in (tidebloom_resources) and the in-process VST 2 test host.
#include <array>

#include "Graphics/TidebloomEditor.h"
#include "Graphics/TidebloomLayout.h"
#include "TidebloomDescription.h"
#include "framework/platform/linux/IGraphicsHeadless.h"
#include "tests/Graphics/TidebloomTestSupport.h"
#include "tests/support/vst2/TestHost.h"

class TidebloomReferenceEditor {
public:
    using Plain = std::array<double, kNumParams>;

    static TidebloomReferenceEditor& Get() {
        static TidebloomReferenceEditor sEditor;
        return sEditor;
    }
    // The default plain values of the description.
    static Plain Defaults() {
        Plain v;
        for (int i = 0; i < kNumParams; ++i)
            v[static_cast<size_t>(i)] = kTidebloomDescription.mParams[static_cast<size_t>(i)].mDefault;
        return v;
    }

    // The editor at these plain values and size, drawn whole.
    Raster_IBitmap* At(const Plain& values, int percent = 100) {
        auto* plug = static_cast<IEffectVST*>(mFx->object);
        mGui->SetSizePercent(percent);
        for (int i = 0; i < kNumParams; ++i)
            mHost.SetParameter(
                i, static_cast<float>(plug->GetParam(i)->GetNormalized(values[static_cast<size_t>(i)])));
        IRECT all(0, 0, mGui->Width(), mGui->Height());
        mGui->Draw(&all);
        return mGui->GetDrawBitmap();
    }

private:
    TidebloomReferenceEditor() {
        mFx = mHost.Load(TidebloomTestEntry);
        mHost.Open();
        auto* plug = static_cast<IEffectVST*>(mFx->object);
        mGui = new IGraphicsHeadless(plug, kTidebloomEditorWidth, kTidebloomEditorHeight);
        TidebloomAttachControls(mGui);
        plug->AttachGraphics(mGui); // replaces the X11 editor
    }

    TestHost mHost;
    AEffect* mFx = nullptr;
    IGraphicsHeadless* mGui = nullptr;
};
