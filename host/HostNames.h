#pragma once
// Finding what a user names on the command line among a plug-in's parameters: the same rules for every
// format. Free functions without state; any thread.
#include <string>
#include <vector>

// The index of the parameter called name among names: the one named exactly so, else the only one named
// so ignoring case, else the one numbered "#N" or N. -1 with err set when there is none ("unknown
// parameter 'X' (the plug-in has: A, B, ...)") or when several match ignoring case.
int HostFindParameterName(const std::vector<std::string>& names, const std::string& name, std::string& err);
