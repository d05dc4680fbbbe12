#pragma once
// Util_String: an owned, NUL-terminated heap string. Get() never returns null (an empty string
// reads as ""). Not thread-safe: callers hold whatever lock guards the object that owns it.
#include <string>

class Util_String {
public:
    Util_String() = default;
    explicit Util_String(const char* text) { Set(text); }

    // Sets the text; null sets it empty.
    void Set(const char* text);
    // Sets the first len bytes of text (cut at a NUL among them); len <= 0 or null sets it empty.
    void Set(const char* text, int len);
    // Appends text (null appends nothing).
    void Append(const char* text);
    // Appends the first len bytes of text (cut at a NUL among them).
    void Append(const char* text, int len);
    // Formats like printf and replaces the text.
    void SetFormatted(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Clear() { mText.clear(); }

    const char* Get() const { return mText.c_str(); }
    int GetLength() const { return static_cast<int>(mText.size()); }
    bool IsEmpty() const { return mText.empty(); }

private:
    std::string mText;
};
