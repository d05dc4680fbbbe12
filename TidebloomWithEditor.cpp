#include "TidebloomWithEditor.h"

#include <memory>

#include "Graphics/TidebloomEditor.h"
#include "Graphics/TidebloomLayout.h"
#include "framework/platform/linux/IGraphicsLinux.h"

namespace {

template <class Effect>
Effect* CreateWithEditor(const IEffectInstanceInfo& info, const TidebloomPicture& background) {
    auto plug = std::make_unique<Effect>(info);
    auto graphics =
        std::make_unique<IGraphicsLinux>(plug.get(), kTidebloomEditorWidth, kTidebloomEditorHeight, 0);
    TidebloomAttachControls(graphics.get(), background);
    // The plug-in owns the editor once it is attached (it deletes the editor first).
    plug->AttachGraphics(graphics.get());
    graphics.release();
    return plug.release();
}

} // namespace

Tidebloom* TidebloomCreateWithEditor(const IEffectInstanceInfo& info) {
    return CreateWithEditor<Tidebloom>(info, kTidebloomBackground);
}

TidebloomPrecise* TidebloomPreciseCreateWithEditor(const IEffectInstanceInfo& info) {
    return CreateWithEditor<TidebloomPrecise>(info, kTidebloomPreciseBackground);
}
