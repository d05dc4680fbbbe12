#pragma once
// Finding what a user names on the command line among a plug-in's parameters: the same rules for every
// format. Free functions without state; any thread (set is called on the caller's).
#include <functional>
#include <string>
#include <vector>

// The index of the parameter called name among names: the one named exactly so, else the only one named
// so ignoring case, else the one numbered "#N" or N. -1 with err set when there is none ("unknown
// parameter 'X' (the plug-in has: A, B, ...)") or when several match ignoring case.
int HostFindParameterName(const std::vector<std::string>& names, const std::string& name, std::string& err);

// Applies each "NAME=VALUE" of assignments in order: set(index, VALUE, err) for the parameter called NAME
// among names. False with err set at the first that is not NAME=VALUE, names no parameter or that set
// refuses.
bool HostApplyAssignments(
    const std::vector<std::string>& names, const std::vector<std::string>& assignments,
    const std::function<bool(int index, const std::string& value, std::string& err)>& set, std::string& err);
