#pragma once
// The published VST 3 interfaces, as Debian's dpf-source package declares them in C (the "travesty"
// headers under /usr/share/dpf/distrho/src, a build dependency; nothing of them is copied here). Every
// file of the binding and of its test host includes them through this header.
//
// In those declarations an interface is a table of functions whose first three are the v3_funknown
// ones; an object handed to the host is a pointer to a pointer to such a table (see VST3Face.h).
#include <travesty/audio_processor.h>
#include <travesty/base.h>
#include <travesty/bstream.h>
#include <travesty/component.h>
#include <travesty/edit_controller.h>
#include <travesty/events.h>
#include <travesty/factory.h>
#include <travesty/host.h>
#include <travesty/message.h>
#include <travesty/unit.h>
#include <travesty/view.h>

// The version of the interfaces the binding implements, as factories report it in their class info.
inline constexpr const char* kVST3InterfacesVersion = "VST 3.7.0";
