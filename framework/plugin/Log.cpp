#include "framework/plugin/Log.h"

#include "framework/util/Util_String.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

void Trace(const char*, int, const char*, ...) {}

namespace {

int32_t ProcessorTicks() {
    return static_cast<int32_t>(static_cast<uint32_t>(std::clock()));
}

} // namespace

Timer::Timer() : mT(ProcessorTicks()) {}

bool Timer::Every(double seconds) {
    const int32_t now = ProcessorTicks();
    // Unsigned subtraction keeps the interval right when the 32-bit reading wraps around.
    const int32_t elapsed = static_cast<int32_t>(static_cast<uint32_t>(now) - static_cast<uint32_t>(mT));
    if (static_cast<double>(elapsed) > seconds * static_cast<double>(CLOCKS_PER_SEC)) {
        mT = now;
        return true;
    }
    return false;
}

const char* CurrentTime() {
    static char sTimeStr[32];
    const time_t t = std::time(nullptr);
    struct tm local {};
    struct tm utc {};
    localtime_r(&t, &local);
    gmtime_r(&t, &utc);

    char buf[32];
    std::strftime(buf, sizeof(buf), "%Y%m%d %H:%M ", &local);

    int offset = (local.tm_hour * 60 + local.tm_min) - (utc.tm_hour * 60 + utc.tm_min);
    const int dayDiff = local.tm_yday - utc.tm_yday;
    if (dayDiff == 1 || dayDiff == -1) {
        offset += dayDiff * 1440;
    } else if (dayDiff > 1) {
        offset -= 1440; // local time is still in the old year, UTC already in the new one
    } else if (dayDiff < -1) {
        offset += 1440; // local time is already in the new year
    }
    const int absOffset = offset < 0 ? -offset : offset;
    const size_t len = std::strlen(buf);
    std::snprintf(buf + len, sizeof(buf) - len, "%c%02d%02d", offset >= 0 ? '+' : '-', absOffset / 60,
                  absOffset % 60);
    std::memcpy(sTimeStr, buf, sizeof(sTimeStr));
    return sTimeStr;
}

void CompileTimestamp(const char* date, const char* time, Util_String* out) {
    if (!out) return;
    std::string s = "[";
    if (date) s.append(date, strnlen(date, 6)); // "[" + month + space + two day characters
    if (s.size() > 4) s.erase(4, 1);            // the space after the month
    s += ' ';
    if (time) s += time;
    if (s.size() > 12) s.resize(12); // drop the seconds
    s += ']';
    out->Set(s.c_str());
}

const char* AppendTimestamp(const char* date, const char* time, const char* text) {
    static Util_String sStr;
    Util_String stamp;
    CompileTimestamp(date, time, &stamp);
    sStr.Set(text);
    sStr.Append(" ");
    sStr.Append(stamp.Get());
    return sStr.Get();
}

const char* VSTOpcodeStr(int) {
    return "";
}
const char* AUSelectStr(int) {
    return "";
}
const char* AUPropertyStr(int) {
    return "";
}
const char* AUScopeStr(int) {
    return "";
}
