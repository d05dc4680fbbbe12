#include "framework/plugin/IParam.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Copies src into a field of kMaxParamNameLen bytes, cut to fit; null copies "".
void CopyField(char* dst, const char* src) {
    if (!src) src = "";
    size_t n = strnlen(src, kMaxParamNameLen - 1);
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

// Truncates toward zero, saturating at the int range; NaN gives 0.
int TruncToInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(v);
}

// Number of decimals a step needs: 0 for a whole step, else the first power of ten that makes it whole,
// at most 6.
int PrecisionOfStep(double step) {
    if (std::floor(step) == step) return 0;
    for (int i = 1; i <= 5; ++i) {
        step *= 10.0;
        if (std::floor(step) == step) return i;
    }
    return 6;
}

} // namespace

void IParam::InitBool(const char* name, bool defaultVal, const char* label, const char* group) {
    if (mType == kTypeNone) mType = kTypeBool;
    InitDouble(name, defaultVal ? 1.0 : 0.0, 0.0, 1.0, 1.0, label, group, 1.0);
    SetDisplayText(0, "off");
    SetDisplayText(1, "on");
}

void IParam::InitEnum(const char* name, int defaultVal, int nEnums, const char* label, const char* group) {
    if (mType == kTypeNone) mType = kTypeEnum;
    InitDouble(name, defaultVal, 0.0, static_cast<double>(nEnums) - 1.0, 1.0, label, group, 1.0);
}

void IParam::InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label,
                     const char* group) {
    if (mType == kTypeNone) mType = kTypeInt;
    InitDouble(name, defaultVal, minVal, maxVal, 1.0, label, group, 1.0);
}

void IParam::InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                        const char* label, const char* group, double shape) {
    if (mType == kTypeNone) mType = kTypeDouble;
    CopyField(mName, name);
    CopyField(mLabel, label);
    CopyField(mParamGroup, group);
    mValue.store(defaultVal, std::memory_order_relaxed);
    mMin = minVal;
    mMax = maxVal > minVal + step ? maxVal : minVal + step;
    mStep = step;
    SetShape(shape);
    mDisplayPrecision = PrecisionOfStep(step);
}

void IParam::SetShape(double shape) {
    if (shape != 0.0) mShape = shape;
}

void IParam::SetDisplayText(int value, const char* text) {
    DisplayText entry;
    entry.mValue = value;
    CopyField(entry.mText, text);
    mDisplayTexts.Add(entry);
}

double IParam::Clamp(double plainValue) const {
    return plainValue < mMin ? mMin : (plainValue < mMax ? plainValue : mMax);
}

void IParam::Set(double plainValue) {
    if (std::isnan(plainValue)) return;
    mValue.store(Clamp(plainValue), std::memory_order_relaxed);
}

void IParam::SetNormalized(double normalizedValue) {
    if (std::isnan(normalizedValue)) return;
    if (normalizedValue < 0.0) normalizedValue = 0.0;
    double v = mMin + (mMax - mMin) * std::pow(normalizedValue, mShape);
    if (mType != kTypeDouble && mStep > 0.0) v = std::floor(v / mStep + 0.5) * mStep;
    if (std::isnan(v)) return;
    mValue.store(v < mMax ? v : mMax, std::memory_order_relaxed);
}

double IParam::GetNormalized() const {
    return GetNormalized(Value());
}

double IParam::GetNormalized(double plainValue) const {
    // A range without width (or a value that is not a number) has no position in it.
    if (!(mMax > mMin) || std::isnan(plainValue)) return 0.0;
    double n = (Clamp(plainValue) - mMin) / (mMax - mMin);
    return std::pow(n, 1.0 / mShape);
}

double IParam::GetNonNormalized(double normalizedValue) const {
    return mMin + (mMax - mMin) * std::pow(normalizedValue, mShape);
}

int IParam::Int() const {
    return TruncToInt(Value());
}

double IParam::DBToAmp() const {
    return std::exp(Value() * 0.1151292546497);
}

void IParam::GetBounds(double* minVal, double* maxVal) const {
    if (minVal) *minVal = mMin;
    if (maxVal) *maxVal = mMax;
}

const char* IParam::GetLabelForHost() const {
    const char* text = GetDisplayText(TruncToInt(Value()));
    return text[0] ? "" : mLabel;
}

void IParam::GetDisplayForHost(double value, bool normalized, char* display, bool withDisplayText) const {
    if (!display) return;
    if (normalized) value = GetNonNormalized(value);
    if (withDisplayText && mDisplayTexts.GetSize() > 0) {
        const char* text = GetDisplayText(TruncToInt(value));
        if (text[0]) {
            std::memcpy(display, text, std::strlen(text) + 1);
            return;
        }
    }
    if (mNegateDisplay) value = -value;
    if (mDisplayPrecision == 0)
        std::snprintf(display, kMaxParamDisplayLen, "%d", TruncToInt(value));
    else
        std::snprintf(display, kMaxParamDisplayLen, "%.*f", mDisplayPrecision, value);
}

const char* IParam::GetDisplayText(int value) const {
    const DisplayText* entries = mDisplayTexts.Get();
    for (int i = 0; i < mDisplayTexts.GetSize(); ++i)
        if (entries[i].mValue == value) return entries[i].mText;
    return "";
}

const char* IParam::GetDisplayTextAtIdx(int idx, int* value) const {
    if (idx < 0 || idx >= mDisplayTexts.GetSize()) return "";
    const DisplayText& entry = mDisplayTexts.Get()[idx];
    if (value) *value = entry.mValue;
    return entry.mText;
}

bool IParam::MapDisplayText(const char* text, int* value) const {
    if (!text) return false;
    const DisplayText* entries = mDisplayTexts.Get();
    for (int i = 0; i < mDisplayTexts.GetSize(); ++i) {
        if (std::strcmp(entries[i].mText, text) == 0) {
            if (value) *value = entries[i].mValue;
            return true;
        }
    }
    return false;
}
