#pragma once
// What `tidebloom-host validate` prints: one row per check (its level, name, result, time and reason)
// as an aligned table for people, or one JSON object for CI, with the counts and the whole run's time.
// Pure functions of the run; any thread.
#include <string>
#include <vector>

#include "host/HostValidateRunner.h"

struct HostValidateRun {
    std::string plugin;
    int strictness = 5;
    uint64_t seed = 1;
    double seconds = 0.0;
    std::vector<HostCheckReport> reports;

    int Count(HostCheckOutcome::EResult r) const;
};

const char* HostResultName(HostCheckOutcome::EResult r);
std::string HostValidateTable(const HostValidateRun& run);
std::string HostValidateJson(const HostValidateRun& run);
