#pragma once
// The validator's checks: each a function that loads the plug-in afresh (HostCheckContext::Open), tries
// one thing with it and says whether the plug-in passed, failed or could not be tried (skipped), with
// a one-line reason. Each check has a level: a run at strictness S runs the checks of level S and
// below, and the checks also try more (values, cases, time) as S rises.
//
// A check runs on its own in a child process (HostRunCheck), so it may crash or hang with the
// plug-in; the thread that calls it becomes the main thread of the instances it opens. While it runs
// it marks where it is with Step, so that a crash can be told with the step it happened in.
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "host/HostValidateTarget.h"

struct HostCheckOutcome {
    enum EResult { kPassed, kFailed, kSkipped };
    EResult result = kPassed;
    std::string reason; // one line

    static HostCheckOutcome Passed(std::string why) { return {kPassed, std::move(why)}; }
    static HostCheckOutcome Failed(std::string why) { return {kFailed, std::move(why)}; }
    static HostCheckOutcome Skipped(std::string why) { return {kSkipped, std::move(why)}; }
};

// What a check runs with; made by the validator for the whole run, read-only for the checks.
class HostCheckContext {
public:
    std::string plugin;
    std::string pluginClass; // of a VST 3 module; empty for its first audio module class
    int strictness = 5;
    uint64_t seed = 1;
    bool display = false; // an X display is there for editors
    int stepFd = -1;      // where Step writes (the parent's pipe), -1 for nowhere

    // A fresh instance of the plug-in, made on the calling thread; null with err set.
    std::unique_ptr<HostValidateTarget> Open(std::string& err) const {
        return HostOpenTarget(plugin, err, pluginClass);
    }
    // A seed for one purpose of one check, the same in every run with the same --seed.
    uint64_t Seed(const char* purpose) const;
    // Tells the parent what the check is doing now (one line).
    void Step(const std::string& what) const;
};

struct HostCheck {
    const char* name;
    int level;             // 1 (basic) .. 10
    const char* what;      // what passing means, for the help and the report
    double timeoutSeconds; // at strictness 10; less at lower ones (HostCheckTimeout)
    HostCheckOutcome (*run)(const HostCheckContext& ctx);
};

// Every check, in the order they run (by level, then as listed); the first is the one that loads the
// plug-in (when it fails, the others are not run).
std::span<const HostCheck> HostValidateChecks();
// How long a check may take at a strictness before it counts as hung.
double HostCheckTimeout(const HostCheck& check, int strictness);
