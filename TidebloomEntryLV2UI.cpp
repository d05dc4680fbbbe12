// The LV2 UI module's exported entry: the host finds lv2ui_descriptor by name and asks for descriptor 0,
// Tidebloom's editor as an X11 UI (URI "<plug-in URI>#ui"); every other index answers null. Nothing else
// is exported from the shared object (TidebloomUI.so in Tidebloom.lv2/, beside the DSP module, which
// stays free of editor code). The descriptor is built on first use (thread-safe) from the effect's
// description. Built once more with TIDEBLOOM_PRECISE defined for TidebloomPrecise.lv2/: Tidebloom
// Precise's description and background.
//
// Every UI instance is the LV2 UI binding's plug-in object with Tidebloom's editor (Graphics/) on the
// X11 window host, as TidebloomWithEditor.cpp makes the VST 2 plug-in's: the same controls on the same
// pictures, so both draw the very same editor at the same values. Made on the host's user-interface
// thread, in instantiate.
#include <memory>
#include <string>

#include "Graphics/TidebloomEditor.h"
#include "Graphics/TidebloomLayout.h"
#include "TidebloomDescription.h"
#include "framework/lv2/IEffectLV2UI.h"
#include "framework/platform/linux/IGraphicsLinux.h"

namespace {

#ifdef TIDEBLOOM_PRECISE
const IEffectDescription& kDescription = kTidebloomPreciseDescription;
const TidebloomPicture& kBackground = kTidebloomPreciseBackground;
#else
const IEffectDescription& kDescription = kTidebloomDescription;
const TidebloomPicture& kBackground = kTidebloomBackground;
#endif

IEffectLV2UI* CreateTidebloomUI(const IEffectLV2UIInfo& info) {
    // Without the host's window the editor shows in a window of its own, later: make sure now that there
    // is a display to show it on (with a parent, opening the window finds out).
    if (!info.mHasParent && !IGraphicsLinux::DisplayAvailable()) return nullptr;
    auto ui = std::make_unique<IEffectLV2UI>(info, kDescription);
    auto graphics =
        std::make_unique<IGraphicsLinux>(ui.get(), kTidebloomEditorWidth, kTidebloomEditorHeight, info.mFPS);
    TidebloomAttachControls(graphics.get(), kBackground);
    // The UI owns the editor once it is attached (it deletes the editor first).
    ui->AttachGraphics(graphics.get());
    graphics.release();
    return ui.release();
}

LV2UI_Handle Instantiate(const LV2UI_Descriptor*, const char* pluginURI, const char* bundlePath,
                         LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features) {
    return LV2UICreateInstance(kDescription, CreateTidebloomUI, pluginURI, bundlePath, write, controller,
                               widget, features);
}

} // namespace

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    static const std::string uri = IEffectLV2UI::URIFor(kDescription);
    static const LV2UI_Descriptor descriptor = IEffectLV2UI::MakeDescriptor(uri.c_str(), Instantiate);
    return index == 0 ? &descriptor : nullptr;
}
