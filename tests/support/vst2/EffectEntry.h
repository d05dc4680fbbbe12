#pragma once
// EffectEntry<E>: an entry function for in-process tests, made the way a plug-in's exported entry
// function makes its effect: a new E (constructed from the instance info) behind an effect record.
#include "framework/vst2/IEffectVST.h"

template <class E> AEffect* EffectEntry(audioMasterCallback host) {
    return VSTCreateInstance(host, [](const IEffectInstanceInfo& info) -> IEffectVST* { return new E(info); });
}
