#pragma once
// HostOpenEffect: loads the plug-in file at path as the HostEffect of its format: a file named *.clap
// is a CLAP module (HostClapPlugin: the first plug-in of its factory), any other a VST 2.4 plug-in
// (HostPlugin). Null with err set (one line) when it cannot be loaded. Host thread only.
#include <memory>
#include <string>

#include "host/HostEffect.h"

std::unique_ptr<HostEffect> HostOpenEffect(const std::string& path, std::string& err);
