#include "framework/util/Util_String.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

void Util_String::Set(const char* text) {
    mText.assign(text ? text : "");
}

void Util_String::Set(const char* text, int len) {
    mText.clear();
    Append(text, len);
}

void Util_String::Append(const char* text) {
    if (text) mText.append(text);
}

void Util_String::Append(const char* text, int len) {
    if (!text || len <= 0) return;
    const void* nul = std::memchr(text, 0, static_cast<size_t>(len));
    size_t n = nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : static_cast<size_t>(len);
    mText.append(text, n);
}

void Util_String::SetFormatted(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n < 0) {
        mText.clear();
    } else {
        mText.assign(static_cast<size_t>(n) + 1, '\0');
        std::vsnprintf(mText.data(), mText.size(), format, args);
        mText.resize(static_cast<size_t>(n));
    }
    va_end(args);
}
