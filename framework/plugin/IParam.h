#pragma once
// IParam: one automatable parameter: kind, range, step, shape, current plain value, texts for the host
// and an optional table of display texts.
//
// The plug-in base owns one IParam per parameter index; the effect initialises each with one Init call at
// construction. Afterwards the host (through the binding) and the editor write it under the plug-in mutex
// of the owning object; IParam itself takes no lock. The current value is race-free (an atomic with
// relaxed order), so the editor's thread may read it for display without the mutex while the host sets
// it; everything else (kind, range, texts) is fixed after construction.
//
// Values cross the host boundary normalised (0 to 1); the parameter holds a plain double in its own range.
// A non-finite value never reaches it: NaN leaves the value as it was, infinities clamp to the range.
// Names, labels, group names and display texts are cut to 31 characters.
#include <atomic>

#include "framework/util/Util_TypedBuf.h"

// Size of a parameter name, label, group or display-text field including its terminator.
constexpr int kMaxParamNameLen = 32;
// Size a display buffer handed to GetDisplayForHost must have.
constexpr int kMaxParamDisplayLen = 32;

class IParam {
public:
    enum EParamType { kTypeNone = 0, kTypeBool = 1, kTypeInt = 2, kTypeEnum = 3, kTypeDouble = 4 };

    IParam() = default;

    // Each Init stores the texts, sets the value to the default and computes the display precision from
    // the step. The first Init fixes the kind; later Init calls keep it.
    void InitBool(const char* name, bool defaultVal, const char* label = "", const char* group = "");
    void InitEnum(const char* name, int defaultVal, int nEnums, const char* label = "",
                  const char* group = "");
    void InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label = "",
                 const char* group = "");
    // mMax becomes the larger of maxVal and minVal + step; a shape of exactly 0 keeps the current shape.
    void InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                    const char* label = "", const char* group = "", double shape = 1.0);

    // Sets the shape exponent unless shape is exactly 0.
    void SetShape(double shape);
    // Appends a (value, text) entry; lookups take the first entry with a value.
    void SetDisplayText(int value, const char* text);

    // Sets the plain value directly, clamped to [min, max], not quantised; NaN is ignored.
    void Set(double plainValue);
    // Sets the value from a normalised one (shape applied, quantised to the step for every kind but
    // double, at most max). NaN is ignored; values below 0 count as 0.
    void SetNormalized(double normalizedValue);
    // The current value, or any plain value, in normalised form.
    double GetNormalized() const;
    double GetNormalized(double plainValue) const;
    // Plain value of a normalised one, without quantisation.
    double GetNonNormalized(double normalizedValue) const;

    double Value() const { return mValue.load(std::memory_order_relaxed); }
    bool Bool() const { return Value() >= 0.5; }
    int Int() const;
    // The current value read as decibels, converted to a linear gain.
    double DBToAmp() const;

    void GetBounds(double* minVal, double* maxVal) const;
    double GetMin() const { return mMin; }
    double GetMax() const { return mMax; }
    double GetStep() const { return mStep; }
    double GetShape() const { return mShape; }
    int GetPrecision() const { return mDisplayPrecision; }
    EParamType Type() const { return mType; }
    bool GetNegateDisplay() const { return mNegateDisplay; }
    void SetNegateDisplay(bool negate) { mNegateDisplay = negate; }

    const char* GetNameForHost() const { return mName; }
    const char* GetParamGroupForHost() const { return mParamGroup; }
    // "" when a non-empty display text stands for the current value (it says everything), else the label.
    const char* GetLabelForHost() const;
    // Writes value as the host sees it into display, which must hold kMaxParamDisplayLen bytes: the
    // display text for it when withDisplayText and the table has a non-empty one, otherwise the number
    // with the display precision (an integer, truncated toward zero, when the precision is 0). Numbers
    // too long for the buffer are cut to kMaxParamDisplayLen - 1 characters.
    void GetDisplayForHost(double value, bool normalized, char* display, bool withDisplayText = true) const;
    void GetDisplayForHost(char* display, bool withDisplayText = true) const {
        GetDisplayForHost(Value(), false, display, withDisplayText);
    }

    // Text of the first entry with that value, or "".
    const char* GetDisplayText(int value) const;
    int GetNDisplayTexts() const { return mDisplayTexts.GetSize(); }
    // Text of entry idx (and its value into *value when value is not null); "" for an invalid index,
    // which leaves *value untouched.
    const char* GetDisplayTextAtIdx(int idx, int* value = nullptr) const;
    // The first entry whose text equals text exactly writes its value and returns true; otherwise false
    // and *value untouched.
    bool MapDisplayText(const char* text, int* value) const;

private:
    struct DisplayText {
        int mValue;
        char mText[kMaxParamNameLen];
    };

    double Clamp(double plainValue) const;

    EParamType mType = kTypeNone;
    std::atomic<double> mValue{0.0};
    double mMin = 0.0;
    double mMax = 1.0;
    double mStep = 1.0;
    double mShape = 1.0;
    int mDisplayPrecision = 0;
    char mName[kMaxParamNameLen] = "";
    char mLabel[kMaxParamNameLen] = "";
    char mParamGroup[kMaxParamNameLen] = "";
    bool mNegateDisplay = false;
    Util_TypedBuf<DisplayText> mDisplayTexts;
};
