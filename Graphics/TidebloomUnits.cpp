#include "Graphics/TidebloomUnits.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "Sound/ADSREnvelope.h"
#include "TidebloomDescription.h"

namespace {

constexpr const char* kMinus = "\xE2\x88\x92";    // U+2212 MINUS SIGN
constexpr const char* kInfinity = "\xE2\x88\x9E"; // U+221E INFINITY

bool IsSpace(char c) {
    return c == ' ' || c == '\t';
}

const char* SkipSpaces(const char* p) {
    while (IsSpace(*p)) ++p;
    return p;
}

// p starts with word, compared without regard to ASCII case.
bool StartsWithNoCase(const char* p, const char* word, size_t* pLen) {
    const size_t n = std::strlen(word);
    for (size_t i = 0; i < n; ++i)
        if (!p[i] || std::tolower(static_cast<unsigned char>(p[i])) != word[i]) return false;
    *pLen = n;
    return true;
}

// Reads a number at p: [sign] digits [(. or ,) digits], or [sign] (∞ or inf), spaces allowed after the
// sign. The position after it, or null when there is none.
const char* ScanNumber(const char* p, double* pValue) {
    double sign = 1.0;
    if (*p == '+' || *p == '-') {
        sign = *p == '-' ? -1.0 : 1.0;
        ++p;
    } else if (std::strncmp(p, kMinus, 3) == 0) {
        sign = -1.0;
        p += 3;
    }
    p = SkipSpaces(p);
    size_t len = 0;
    if (std::strncmp(p, kInfinity, 3) == 0 || StartsWithNoCase(p, "inf", &len)) {
        *pValue = sign * HUGE_VAL;
        return p + (len ? len : 3);
    }
    std::string digits;
    bool point = false;
    int count = 0;
    for (; (*p >= '0' && *p <= '9') || ((*p == '.' || *p == ',') && !point); ++p) {
        if (*p == '.' || *p == ',') {
            point = true;
            digits += '.';
        } else {
            digits += *p;
            ++count;
        }
    }
    if (count == 0) return nullptr;
    *pValue = sign * std::strtod(digits.c_str(), nullptr);
    return p;
}

// The unit text: what follows the number, without the spaces around it, in lower case.
std::string UnitOf(const char* p) {
    p = SkipSpaces(p);
    std::string unit;
    for (; *p; ++p) unit += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    while (!unit.empty() && IsSpace(unit.back())) unit.pop_back();
    return unit;
}

void Print(char* text, int size, const std::string& s) {
    if (size <= 0) return;
    std::snprintf(text, static_cast<size_t>(size), "%s", s.c_str());
}

std::string Printf(const char* format, double v) {
    char buf[48];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

} // namespace

TidebloomUnits::TidebloomUnits(EKind kind, double min, double max, double step)
    : mKind(kind), mMin(min), mMax(max), mStep(step) {}

void TidebloomUnits::Format(double normalized, char* text, int size) const {
    const double n = std::isnan(normalized) ? 0.0 : std::clamp(normalized, 0.0, 1.0);
    const double plain = mMin + n * (mMax - mMin);
    switch (mKind) {
    case kPercent:
        Print(text, size, Printf("%.1f %%", 100.0 * n));
        return;
    case kSeconds: {
        const double s = ADSREnvelope::AttackSeconds(plain);
        if (std::round(s * 1000.0) < 100.0)
            Print(text, size, Printf("%.0f ms", s * 1000.0));
        else if (std::round(s * 100.0) < 1000.0)
            Print(text, size, Printf("%.2f s", s));
        else
            Print(text, size, Printf("%.1f s", s));
        return;
    }
    case kDecibels: {
        if (plain <= 0.0) {
            Print(text, size, std::string(kMinus) + kInfinity + " dB");
            return;
        }
        const double db = 20.0 * std::log10(plain);
        const std::string magnitude = Printf("%.1f", std::fabs(db));
        const char* sign = magnitude == "0.0" ? "" : db < 0.0 ? kMinus : "+";
        Print(text, size, sign + magnitude + " dB");
        return;
    }
    case kOnOff:
        Print(text, size, plain >= 0.5 ? "On" : "Off");
        return;
    }
}

bool TidebloomUnits::PlainOf(double number, const char* unit, double* pPlain) const {
    switch (mKind) {
    case kPercent:
        if (std::strcmp(unit, "") != 0 && std::strcmp(unit, "%") != 0) return false;
        *pPlain = mMin + number / 100.0 * (mMax - mMin);
        return true;
    case kSeconds: {
        double s;
        if (std::strcmp(unit, "") == 0 || std::strcmp(unit, "s") == 0)
            s = number;
        else if (std::strcmp(unit, "ms") == 0)
            s = number / 1000.0;
        else
            return false;
        // The inverse of the envelope's mapping; no length at all is the shortest.
        *pPlain = s > 0.0 ? (std::log10(s) + 2.0) / 3.0 : -HUGE_VAL;
        return true;
    }
    case kDecibels:
        if (std::strcmp(unit, "") != 0 && std::strcmp(unit, "db") != 0) return false;
        *pPlain = std::pow(10.0, number / 20.0);
        return true;
    case kOnOff:
        if (std::strcmp(unit, "") != 0) return false;
        *pPlain = number >= 0.5 ? mMax : mMin;
        return true;
    }
    return false;
}

bool TidebloomUnits::Parse(const char* text, double* pNormalized) const {
    if (!text || !pNormalized) return false;
    const char* p = SkipSpaces(text);
    double plain = 0.0;
    double number = 0.0;
    if (const char* end = ScanNumber(p, &number)) {
        if (!PlainOf(number, UnitOf(end).c_str(), &plain)) return false;
    } else if (mKind == kOnOff && (UnitOf(p) == "on" || UnitOf(p) == "off")) {
        plain = UnitOf(p) == "on" ? mMax : mMin;
    } else {
        return false;
    }
    if (std::isnan(plain)) return false;
    plain = std::clamp(plain, mMin, mMax);
    if (mStep > 0.0) plain = std::min(mMax, mMin + std::round((plain - mMin) / mStep) * mStep);
    *pNormalized = mMax > mMin ? (plain - mMin) / (mMax - mMin) : 0.0;
    return true;
}

const IValueUnits* TidebloomUnitsFor(int paramIdx) {
    auto table = [](int idx, TidebloomUnits::EKind kind) {
        const IParamDescription& d = kTidebloomDescription.mParams[static_cast<size_t>(idx)];
        return TidebloomUnits(kind, d.mMin, d.mMax, d.mStep);
    };
    static const TidebloomUnits sSensitivity = table(kSensitivity, TidebloomUnits::kPercent);
    static const TidebloomUnits sTime = table(kTime, TidebloomUnits::kSeconds);
    static const TidebloomUnits sDepth = table(kDepth, TidebloomUnits::kPercent);
    static const TidebloomUnits sVol = table(kVol, TidebloomUnits::kDecibels);
    static const TidebloomUnits sOnOff = table(kOnOff, TidebloomUnits::kOnOff);
    switch (paramIdx) {
    case kSensitivity:
        return &sSensitivity;
    case kTime:
        return &sTime;
    case kDepth:
        return &sDepth;
    case kVol:
        return &sVol;
    case kOnOff:
        return &sOnOff;
    default:
        return nullptr;
    }
}
