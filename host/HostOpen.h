#pragma once
// HostOpenEffect: loads the plug-in at path as the HostEffect of its format: a file named *.clap is a
// CLAP module (HostClapPlugin: the first plug-in of its factory); a folder named *.vst3 or a file in one
// is a VST 3 bundle or its module (HostVST3Plugin: the class named className, else the first audio
// module class); a folder named *.lv2 or a plug-in URI an LV2 plug-in (HostLv2Plugin); any other file a
// VST 2.4 plug-in (HostPlugin), or a VST 3 module when it has no VST 2 entry function but a VST 3 factory.
// className is for VST 3 only: given for another format it is an error. Null with err set (one line) when it
// cannot be loaded. Host thread only.
#include <memory>
#include <string>

#include "host/HostEffect.h"

std::unique_ptr<HostEffect> HostOpenEffect(const std::string& path, std::string& err,
                                           const std::string& className = "");
