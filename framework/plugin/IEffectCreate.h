#pragma once
// IEffectCreateInstance: the steps every binding's entry takes to make an instance. Under a creation
// lock (one per plug-in class, held for the whole call, so instances are made one at a time across
// threads) the factory makes the instance and prepare(instance) takes it through the binding's own
// first steps. Null when the factory fails or anything throws (a prepared-half instance is deleted):
// no exception leaves it, as none may reach a host. Called by the entry functions, on any host thread.
#include "framework/util/Util_Mutex.h"

template <class Plug, class Info, class Prepare>
Plug* IEffectCreateInstance(Plug* (*factory)(const Info&), const Info& info, Prepare prepare) {
    static Util_Mutex sMutex;
    if (!factory) return nullptr;
    try {
        Util_MutexLock lock(sMutex);
        Plug* plug = factory(info);
        if (!plug) return nullptr;
        try {
            prepare(*plug);
        } catch (...) {
            delete plug;
            return nullptr;
        }
        return plug;
    } catch (...) {
        return nullptr;
    }
}
