#include "host/HostValidateTarget.h"

#include "host/HostClapTarget.h"
#include "host/HostLv2Target.h"
#include "host/HostOpen.h"
#include "host/HostText.h"
#include "host/HostVST3Target.h"
#include "host/HostVst2Target.h"

namespace {

// The effect as its own format's class, taken over from effect when it is one.
template <class T>
std::unique_ptr<T> TakeAs(std::unique_ptr<HostEffect>& effect) {
    T* typed = dynamic_cast<T*>(effect.get());
    if (!typed) return nullptr;
    effect.release();
    return std::unique_ptr<T>(typed);
}

} // namespace

std::unique_ptr<HostValidateTarget> HostOpenTarget(const std::string& path, std::string& err,
                                                   const std::string& className) {
    std::unique_ptr<HostEffect> effect = HostOpenEffect(path, err, className);
    if (!effect) return nullptr;
    if (auto vst2 = TakeAs<HostPlugin>(effect)) return std::make_unique<HostVst2Target>(std::move(vst2));
    if (auto clap = TakeAs<HostClapPlugin>(effect)) return std::make_unique<HostClapTarget>(std::move(clap));
    if (auto lv2 = TakeAs<HostLv2Plugin>(effect)) return std::make_unique<HostLv2Target>(std::move(lv2));
    if (auto vst3 = TakeAs<HostVST3Plugin>(effect)) return std::make_unique<HostVST3Target>(std::move(vst3));
    err = HostFormat("tidebloom-host cannot validate %s plug-ins yet", effect->FormatName());
    return nullptr;
}
