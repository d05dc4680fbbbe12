#include "host/HostOpen.h"

#include "host/HostClapPlugin.h"
#include "host/HostLv2Plugin.h"
#include "host/HostPlugin.h"

std::unique_ptr<HostEffect> HostOpenEffect(const std::string& path, std::string& err) {
    const std::string suffix = ".clap";
    if (path.size() > suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0)
        return HostClapPlugin::Load(path, err);
    if (HostLv2Plugin::IsLv2(path)) return HostLv2Plugin::Load(path, err);
    return HostPlugin::Load(path, err);
}
