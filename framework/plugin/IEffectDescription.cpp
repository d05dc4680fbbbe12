#include "framework/plugin/IEffectDescription.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

// Reads an optionally signed decimal integer at *pp after skipping white space, saturating at the int
// range. Returns false (and leaves *pp) when no digit follows.
bool ReadInt(const char** pp, int* pValue) {
    const char* p = *pp;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (*p < '0' || *p > '9') return false;
    long long v = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        v = std::min(v * 10 + (*p - '0'), static_cast<long long>(INT_MAX) + 1);
    if (negative) v = -v;
    *pValue =
        static_cast<int>(std::clamp(v, static_cast<long long>(INT_MIN), static_cast<long long>(INT_MAX)));
    *pp = p;
    return true;
}

// One "<in>-<out>" entry; whatever fails to parse stays 0.
std::pair<int, int> ReadChannelIOEntry(const char* p) {
    std::pair<int, int> entry(0, 0);
    if (!ReadInt(&p, &entry.first)) return entry;
    if (*p != '-') return entry;
    ++p;
    ReadInt(&p, &entry.second);
    return entry;
}

} // namespace

std::vector<std::pair<int, int>> ParseChannelIO(const char* channelIO) {
    std::vector<std::pair<int, int>> entries;
    for (const char* p = channelIO; p;) {
        entries.push_back(ReadChannelIOEntry(p));
        p = std::strchr(p, ' ');
        if (p) ++p;
    }
    return entries;
}

int IEffectDescription::MaxInputs() const {
    int n = 0;
    for (const auto& [in, out] : ParseChannelIO(mChannelIO)) n = std::max(n, in);
    return n;
}

int IEffectDescription::MaxOutputs() const {
    int n = 0;
    for (const auto& [in, out] : ParseChannelIO(mChannelIO)) n = std::max(n, out);
    return n;
}

void InitParamFromDescription(IParam* param, const IParamDescription& row) {
    if (!param) return;
    switch (row.mType) {
    case IParam::kTypeDouble:
        param->InitDouble(row.mName, row.mDefault, row.mMin, row.mMax, row.mStep, row.mLabel, row.mGroup,
                          row.mShape);
        break;
    case IParam::kTypeInt:
        param->InitInt(row.mName, static_cast<int>(row.mDefault), static_cast<int>(row.mMin),
                       static_cast<int>(row.mMax), row.mLabel, row.mGroup);
        break;
    case IParam::kTypeBool:
        param->InitBool(row.mName, row.mDefault != 0.0, row.mLabel, row.mGroup);
        break;
    case IParam::kTypeEnum:
        param->InitEnum(row.mName, static_cast<int>(row.mDefault), static_cast<int>(row.mMax) + 1, row.mLabel,
                        row.mGroup);
        break;
    case IParam::kTypeNone:
        break;
    }
}

int IEffectDescription::MaxLatencyAt(double rate) const {
    if (!(rate > 0.0) || !(mMaxLatencyRate > 0.0) || mMaxLatency <= 0) return 0;
    const double samples = mMaxLatency * (rate / mMaxLatencyRate);
    return samples < static_cast<double>(INT_MAX) ? static_cast<int>(samples) : INT_MAX;
}
