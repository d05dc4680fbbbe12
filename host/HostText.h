#pragma once
// Small text helpers of the command-line host: strict number parsing for command-line values,
// four-character codes, cleaning texts that come out of a plug-in, JSON quoting, and the
// formatting of the printable numbers in reports. Free functions without state; any thread.
#include <cstdint>
#include <string>

// Parses the whole of text as a decimal integer in [lo, hi]; false (out untouched) otherwise.
bool HostParseInt(const std::string& text, long long lo, long long hi, long long& out);
// Parses the whole of text as a finite decimal number; false (out untouched) otherwise.
bool HostParseDouble(const std::string& text, double& out);

// Cuts a fixed-size text field coming from a plug-in at its first NUL (or after size bytes), then
// makes it printable on one line: control characters become spaces, bytes that do not form valid
// UTF-8 become '?', and leading and trailing spaces are removed.
std::string HostCleanText(const char* field, size_t size);

// "Tblm" for a code whose four bytes are printable ASCII, otherwise "".
std::string HostFourCCText(int32_t code);

// A JSON string literal (with the quotes) for text, which must already be valid UTF-8.
std::string HostJsonQuote(const std::string& text);

// Case-insensitive ASCII comparison.
bool HostEqualsNoCase(const std::string& a, const std::string& b);

// printf into a std::string.
std::string HostFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
