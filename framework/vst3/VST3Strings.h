#pragma once
// VST3Strings: the UTF-16 text fields of the VST 3 interfaces (v3_str_128 and the like) to and from the
// UTF-8 text the plug-in keeps. Malformed input never reads or writes out of bounds: a bad UTF-8
// sequence or a lone surrogate becomes U+FFFD, and output is cut at a whole character so that the
// terminator fits. Pure functions: any thread, no lock, no allocation but the returned string.
#include <cstddef>
#include <cstdint>
#include <string>

// Writes utf8 (null: empty) into out, which holds capacity UTF-16 units, terminator included.
void VST3CopyString(const char* utf8, int16_t* out, size_t capacity);
// The UTF-8 form of at most maxUnits UTF-16 units from in, up to the first terminator (null: empty).
std::string VST3ToUTF8(const int16_t* in, size_t maxUnits);
