#pragma once
// UTF-8 text to and from code points. Decoding never reads past the text: a stray or cut byte stands
// for itself as U+FFFD. Pure functions: any thread, no lock.
#include <string>

std::u32string Util_FromUTF8(const std::string& s);
std::string Util_ToUTF8(const std::u32string& s);
