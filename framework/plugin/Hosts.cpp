#include "framework/plugin/Hosts.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct HostKey {
    const char* mKey;
    EHost mHost;
};

// Searched in this order; the first key found in the lower-cased product string decides.
const HostKey kHostKeys[] = {
    {"cubase", kHostCubase},
    {"reaper", kHostReaper},
    {"nuendo", kHostNuendo},
    {"cakewalk", kHostSonar},
    {"samplitude", kHostSamplitude},
    {"fruity", kHostFLStudio},
    {"live", kHostLive},
    {"melodyne", kHostMelodyne},
    {"vstmanlib", kHostVSTScanner},
    {"aulab", kHostAULab},
    {"garageband", kHostGarageBand},
    {"forte", kHostForte},
    {"chainer", kHostChainer},
    {"audition", kHostAudition},
    {"orion", kHostOrion},
    {"sawstudio", kHostSAWStudio},
    {"logic", kHostLogic},
    {"digital", kHostDigitalPerformer},
    {"audiomulch", kHostAudioMulch},
    {"presonus", kHostStudioOne},
    {"vst3plugintesthost", kHostVST3PluginTestHost},
    {"protools", kHostProTools},
    {"ardour", kHostArdour},
    {"standalone", kHostStandalone},
};

// Display names indexed by EHost value 0 .. kNumHosts - 1.
const char* const kHostNames[kNumHosts] = {
    "Unknown",    "Reaper",     "ProTools",   "Cubase",
    "Nuendo",     "Sonar",      "Vegas",      "FLStudio",
    "Samplitude", "Live",       "Unknown",    "Unknown",
    "Unknown",    "VSTScanner", "AULab",      "Forte",
    "Chainer",    "Audition",   "Orion",      "Unknown",
    "SAWStudio",  "Logic",      "GarageBand", "DigitalPerformer",
    "Standalone", "AudioMulch", "StudioOne",  "VST3PluginTestHost",
    "Ardour",
};

} // namespace

EHost LookUpHost(const char* productString) {
    if (!productString || !*productString) return kHostUnknown;
    // The lower-cased copy is sized to the input, so product strings of any length are safe.
    std::string lower(std::strlen(productString) + 1, '\0');
    ToLower(lower.data(), productString);
    for (const HostKey& k : kHostKeys) {
        if (std::strstr(lower.c_str(), k.mKey)) return k.mHost;
    }
    return kHostUnknown;
}

void GetHostNameStr(EHost host, char* name) {
    if (!name) return;
    const int h = static_cast<int>(host);
    const char* text = (h >= 0 && h < kNumHosts) ? kHostNames[h] : "Unknown";
    std::strcpy(name, text);
}

void GetVersionParts(int version, int* major, int* minor, int* patch) {
    const unsigned v = static_cast<unsigned>(version);
    if (major) *major = static_cast<int>((v >> 16) & 0xFFFF);
    if (minor) *minor = static_cast<int>((v >> 8) & 0xFF);
    if (patch) *patch = static_cast<int>(v & 0xFF);
}

int GetDecimalVersion(int version) {
    int major, minor, patch;
    GetVersionParts(version, &major, &minor, &patch);
    return major * 10000 + minor * 100 + patch;
}

void GetVersionStr(int version, char* buf) {
    if (!buf) return;
    int major, minor, patch;
    GetVersionParts(version, &major, &minor, &patch);
    std::snprintf(buf, 20, "v%d.%d.%d", major, minor, patch);
}

void ToLower(char* out, const char* in) {
    if (!out) return;
    if (!in) {
        *out = '\0';
        return;
    }
    while (*in) *out++ = static_cast<char>(std::tolower(static_cast<unsigned char>(*in++)));
    *out = '\0';
}

bool IsWhitespace(char c) {
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}
