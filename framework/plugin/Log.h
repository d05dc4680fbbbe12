#pragma once
// Diagnostics hooks and time helpers of the plug-in core.
// Trace stands at the main entry points and does nothing: no log is written. Timer measures processor
// time. CurrentTime and AppendTimestamp return static buffers shared by every caller (the next call
// overwrites them); they are for diagnostics only and are not thread-safe. The name functions answer ""
// for every argument.
#include <cstdint>

class Util_String;

// printf-style diagnostics call; the arguments are evaluated by the caller but nothing is written.
void Trace(const char* funcName, int line, const char* format, ...) __attribute__((format(printf, 3, 4)));

// A coarse processor-time interval check. Owned by its user; not shared between threads.
class Timer {
public:
    Timer();
    // True (and restarts the interval) when more than seconds of processor time passed since the
    // last restart; false otherwise.
    bool Every(double seconds);

private:
    int32_t mT;
};

// Local time as "YYYYMMDD HH:MM +HHMM" (offset from UTC). Static buffer.
const char* CurrentTime();

// From the build-date ("Mmm dd yyyy") and build-time ("hh:mm:ss") texts, sets out to "[Mmmdd hh:mm]",
// where a day below 10 keeps its leading space: "[Dec 7 19:44]", "[Dec17 19:44]".
void CompileTimestamp(const char* date, const char* time, Util_String* out);
// text + " " + CompileTimestamp(date, time). Static buffer.
const char* AppendTimestamp(const char* date, const char* time, const char* text);

// Name lookups for diagnostics; "" for every argument.
const char* VSTOpcodeStr(int opcode);
const char* AUSelectStr(int select);
const char* AUPropertyStr(int propID);
const char* AUScopeStr(int scope);
