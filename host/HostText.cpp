#include "host/HostText.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

bool HostParseInt(const std::string& text, long long lo, long long hi, long long& out) {
    if (text.empty() || text.size() > 30) return false;
    const char* begin = text.c_str();
    // strtoll accepts leading blanks; a command-line value with them is not a number.
    if (*begin == ' ' || *begin == '\t' || *begin == '\n') return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(begin, &end, 10);
    if (errno != 0 || end != begin + text.size()) return false;
    if (v < lo || v > hi) return false;
    out = v;
    return true;
}

bool HostParseDouble(const std::string& text, double& out) {
    if (text.empty() || text.size() > 64) return false;
    const char* begin = text.c_str();
    if (*begin == ' ' || *begin == '\t' || *begin == '\n') return false;
    // Only plain decimal notation: strtod would also take "inf", "nan" and hexadecimal forms.
    for (char c : text) {
        bool ok = (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
        if (!ok) return false;
    }
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(begin, &end);
    if (errno != 0 || end != begin + text.size() || !std::isfinite(v)) return false;
    out = v;
    return true;
}

// Length of the valid UTF-8 sequence starting at s (at most n bytes available), or 0.
static size_t Utf8SequenceLength(const unsigned char* s, size_t n) {
    unsigned char c = s[0];
    size_t len;
    uint32_t cp;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (len > n) return 0;
    for (size_t i = 1; i < len; ++i) {
        if ((s[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not valid.
    if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

std::string HostCleanText(const char* field, size_t size) {
    if (!field) return std::string();
    size_t n = 0;
    while (n < size && field[n] != '\0') ++n;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(field);
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n;) {
        size_t len = Utf8SequenceLength(s + i, n - i);
        if (len == 0) {
            out += '?';
            ++i;
        } else if (len == 1) {
            out += (s[i] < 0x20 || s[i] == 0x7F) ? ' ' : static_cast<char>(s[i]);
            ++i;
        } else {
            out.append(field + i, len);
            i += len;
        }
    }
    size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    size_t last = out.find_last_not_of(' ');
    return out.substr(first, last - first + 1);
}

std::string HostFourCCText(int32_t code) {
    std::string s;
    uint32_t u = static_cast<uint32_t>(code);
    for (int shift = 24; shift >= 0; shift -= 8) {
        char c = static_cast<char>((u >> shift) & 0xFF);
        if (c < 0x20 || c > 0x7E) return std::string();
        s += c;
    }
    return s;
}

std::string HostJsonQuote(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
    return out;
}

bool HostEqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string HostFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, args);
        out.resize(static_cast<size_t>(n));
    }
    va_end(args);
    return out;
}
