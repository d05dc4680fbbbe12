#pragma once
// LV2Turtle: the Turtle files of an effect's LV2 bundle, written from its description: manifest.ttl
// (the plug-in, its binary, its UI and its presets), the plug-in's own file (class, features, state, the
// ports of LV2PortLayout with the parameters' names, symbols, ranges and defaults, and the UI's
// features) and presets.ttl (the factory presets as port values). Used by the build-time generator;
// pure functions, any thread.
#include <string>

#include "framework/plugin/IEffectDescription.h"

struct LV2TurtleFiles {
    std::string mManifest; // manifest.ttl
    std::string mPlugin;   // <binary stem>.ttl
    std::string mPresets;  // presets.ttl
};

// Empty when the description can be written as LV2 data, else why not: a missing URI, a symbol that
// is not an identifier or is used twice, a non-finite number, a default or preset value outside its
// range, a preset with the wrong number of values, or two presets whose names give the same URI.
std::string LV2CheckDescription(const IEffectDescription& desc);

// The three files for a bundle whose shared object is binaryName (a file name within the bundle);
// the plug-in's file is named pluginFileName. With a uiBinaryName, the bundle also holds the editor as
// an X11 UI (IEffectLV2UI) in that shared object. The description must pass LV2CheckDescription.
LV2TurtleFiles LV2WriteTurtle(const IEffectDescription& desc, const std::string& binaryName,
                              const std::string& pluginFileName, const std::string& uiBinaryName = "");

// The number as a Turtle decimal or double literal (shortest form that reads back exactly).
std::string LV2TurtleNumber(double v);
// The text as a Turtle string literal, quotes included.
std::string LV2TurtleString(const char* text);
// The URI of a factory preset: the plug-in URI, "#preset-", and the name in lower case with every run
// of other characters than letters and digits made one '-'.
std::string LV2PresetURI(const IEffectDescription& desc, const IPresetDescription& preset);
// The symbol of audio port `channel` of `count` in one direction: "in"/"out" alone, "_l"/"_r" for two
// channels, "_1", "_2" ... for more.
std::string LV2AudioSymbol(bool input, int channel, int count);
