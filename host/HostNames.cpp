#include "host/HostNames.h"

#include "host/HostText.h"

namespace {

// How many names an error lists before it stops with "...".
constexpr size_t kListed = 12;

} // namespace

int HostFindParameterName(const std::vector<std::string>& names, const std::string& name, std::string& err) {
    const int n = static_cast<int>(names.size());
    for (int i = 0; i < n; ++i)
        if (names[static_cast<size_t>(i)] == name) return i;
    int found = -1, count = 0;
    for (int i = 0; i < n; ++i)
        if (HostEqualsNoCase(names[static_cast<size_t>(i)], name) && count++ == 0) found = i;
    if (count == 1) return found;
    if (count > 1) {
        err = HostFormat("parameter name '%s' is ambiguous (give its exact name or its index)", name.c_str());
        return -1;
    }
    long long number = 0;
    const std::string digits = !name.empty() && name[0] == '#' ? name.substr(1) : name;
    if (n > 0 && HostParseInt(digits, 0, n - 1, number)) return static_cast<int>(number);
    if (n == 0) {
        err = HostFormat("unknown parameter '%s' (the plug-in has no parameters)", name.c_str());
        return -1;
    }
    std::string list;
    for (size_t i = 0; i < names.size() && i < kListed; ++i) list += (i ? ", " : "") + names[i];
    if (names.size() > kListed) list += ", ...";
    err = HostFormat("unknown parameter '%s' (the plug-in has: %s)", name.c_str(), list.c_str());
    return -1;
}

bool HostApplyAssignments(
    const std::vector<std::string>& names, const std::vector<std::string>& assignments,
    const std::function<bool(int index, const std::string& value, std::string& err)>& set, std::string& err) {
    for (const std::string& a : assignments) {
        const size_t eq = a.find('=');
        if (eq == std::string::npos || eq == 0) {
            err = HostFormat("'%s' is not NAME=VALUE", a.c_str());
            return false;
        }
        const int index = HostFindParameterName(names, a.substr(0, eq), err);
        if (index < 0 || !set(index, a.substr(eq + 1), err)) return false;
    }
    return true;
}
