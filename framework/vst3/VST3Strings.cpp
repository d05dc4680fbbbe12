#include "framework/vst3/VST3Strings.h"

#include "framework/util/Util_UTF8.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDFFF;
}

} // namespace

void VST3CopyString(const char* utf8, int16_t* out, size_t capacity) {
    if (!out || capacity == 0) return;
    size_t n = 0;
    for (char32_t cp : Util_FromUTF8(utf8 ? utf8 : "")) {
        if (cp > 0x10FFFF || IsSurrogate(cp)) cp = kReplacement;
        const size_t units = cp >= 0x10000 ? 2 : 1;
        if (n + units + 1 > capacity) break;
        if (units == 2) {
            out[n++] = static_cast<int16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out[n++] = static_cast<int16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out[n++] = static_cast<int16_t>(cp);
        }
    }
    out[n] = 0;
}

std::string VST3ToUTF8(const int16_t* in, size_t maxUnits) {
    std::u32string cps;
    for (size_t i = 0; in && i < maxUnits && in[i]; ++i) {
        const char32_t u = static_cast<uint16_t>(in[i]);
        const char32_t low = i + 1 < maxUnits ? static_cast<uint16_t>(in[i + 1]) : 0;
        if (u >= 0xD800 && u <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
            cps.push_back(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
            ++i;
        } else {
            cps.push_back(IsSurrogate(u) ? kReplacement : u);
        }
    }
    return Util_ToUTF8(cps);
}
