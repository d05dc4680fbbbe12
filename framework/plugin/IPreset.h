#pragma once
// IPreset: one preset (program) slot of a plug-in. The plug-in base creates and owns the slots (a
// Util_PtrList<IPreset>) and is the only writer; the plug-in mutex guards them. A slot holds a name of
// at most 255 characters (longer names are cut), whether it holds a preset, and the preset's parameter
// state: one 8-byte little-endian double per parameter, the layout SerializeParams writes.
#include <cstring>

#include "framework/plugin/ByteChunk.h"

// Size of a preset name field including its terminator.
constexpr int kMaxPresetNameLen = 256;

struct IPreset {
    bool mInitialized = false;
    char mName[kMaxPresetNameLen] = "empty";
    ByteChunk mChunk;

    // Copies name into mName, cut to 255 characters; null sets an empty name.
    void SetName(const char* name) {
        if (!name) name = "";
        size_t n = strnlen(name, kMaxPresetNameLen - 1);
        std::memcpy(mName, name, n);
        mName[n] = '\0';
    }
};
