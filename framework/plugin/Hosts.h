#pragma once
// Host identification and small shared helpers of the plug-in core.
// LookUpHost turns the product string a host reports into an EHost; GetHostNameStr turns an EHost back
// into a display name. The version helpers unpack the packed form major << 16 | minor << 8 | patch.
// Every function here is stateless and may be called from any thread; callers own all buffers.

// The host the plug-in runs in. kHostUninit until the binding has asked the host for its product
// string; kHostUnknown when that string matched no known host. The numeric values are stable.
enum EHost : int {
    kHostUninit = -1,
    kHostUnknown = 0,
    kHostReaper = 1,
    kHostProTools = 2,
    kHostCubase = 3,
    kHostNuendo = 4,
    kHostSonar = 5,
    kHostVegas = 6,
    kHostFLStudio = 7,
    kHostSamplitude = 8,
    kHostLive = 9,
    kHostReserved10 = 10,
    kHostReserved11 = 11,
    kHostMelodyne = 12,
    kHostVSTScanner = 13,
    kHostAULab = 14,
    kHostForte = 15,
    kHostChainer = 16,
    kHostAudition = 17,
    kHostOrion = 18,
    kHostReserved19 = 19,
    kHostSAWStudio = 20,
    kHostLogic = 21,
    kHostGarageBand = 22,
    kHostDigitalPerformer = 23,
    kHostStandalone = 24,
    kHostAudioMulch = 25,
    kHostStudioOne = 26,
    kHostVST3PluginTestHost = 27,
    kHostArdour = 28,

    kNumHosts = 29
};

// Size a GetHostNameStr buffer must have: the longest name ("VST3PluginTestHost") plus terminator.
constexpr int kMaxHostNameLen = 19;

// Identifies the host from its product string by a case-insensitive search for known keys, in a fixed
// order (the first key found wins). Null, empty or unmatched strings give kHostUnknown. Strings of any
// length are accepted.
EHost LookUpHost(const char* productString);

// Writes the display name of host into name (which holds at least kMaxHostNameLen bytes). Values
// without a name of their own give "Unknown".
void GetHostNameStr(EHost host, char* name);

// Unpacks a packed version (major in bits 16-31, minor in bits 8-15, patch in bits 0-7). Any of the
// out pointers may be null.
void GetVersionParts(int version, int* major, int* minor, int* patch);
// major * 10000 + minor * 100 + patch.
int GetDecimalVersion(int version);
// Writes "v<major>.<minor>.<patch>" into buf (at most 19 characters plus terminator: 20 bytes suffice).
void GetVersionStr(int version, char* buf);

// Copies in to out, every character passed through the C library's tolower; out holds strlen(in) + 1.
void ToLower(char* out, const char* in);
// True exactly for tab, line feed, carriage return and space.
bool IsWhitespace(char c);
