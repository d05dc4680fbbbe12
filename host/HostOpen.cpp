#include "host/HostOpen.h"

#include "host/HostClapPlugin.h"
#include "host/HostLv2Plugin.h"
#include "host/HostPlugin.h"
#include "host/HostText.h"
#include "host/HostVST3Plugin.h"

namespace {

std::unique_ptr<HostEffect> NotVST3(const std::string& path, const std::string& className, std::string& err) {
    err = HostFormat("--class '%s' chooses a class of a VST 3 module; '%s' is not one", className.c_str(),
                     path.c_str());
    return nullptr;
}

} // namespace

std::unique_ptr<HostEffect> HostOpenEffect(const std::string& path, std::string& err,
                                           const std::string& className) {
    const std::string suffix = ".clap";
    if (path.size() > suffix.size() &&
        path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0) {
        if (!className.empty()) return NotVST3(path, className, err);
        return HostClapPlugin::Load(path, err);
    }
    if (HostVST3Module::InBundle(path)) return HostVST3Plugin::Load(path, err, className);
    if (HostLv2Plugin::IsLv2(path)) {
        if (!className.empty()) return NotVST3(path, className, err);
        return HostLv2Plugin::Load(path, err);
    }
    std::unique_ptr<HostEffect> vst2 = HostPlugin::Load(path, err);
    // A VST 3 module outside its bundle has no VST 2 entry function.
    if (!vst2 && HostVST3Module::ExportsFactory(path)) return HostVST3Plugin::Load(path, err, className);
    if (vst2 && !className.empty()) return NotVST3(path, className, err);
    return vst2;
}
