#include "TidebloomWithEditor.h"

#include <memory>

#include "Graphics/TidebloomEditor.h"
#include "Graphics/TidebloomLayout.h"
#include "framework/platform/linux/IGraphicsLinux.h"

Tidebloom* TidebloomCreateWithEditor(const IEffectInstanceInfo& info) {
    auto plug = std::make_unique<Tidebloom>(info);
    auto graphics =
        std::make_unique<IGraphicsLinux>(plug.get(), kTidebloomEditorWidth, kTidebloomEditorHeight, 0);
    TidebloomAttachControls(graphics.get());
    // The plug-in owns the editor once it is attached (it deletes the editor first).
    plug->AttachGraphics(graphics.get());
    graphics.release();
    return plug.release();
}
