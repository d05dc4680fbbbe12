#include "host/HostValidateReport.h"

#include <algorithm>

#include "host/HostText.h"

namespace {

std::string Clean(const std::string& s) {
    return HostCleanText(s.c_str(), s.size() + 1);
}

std::string Totals(const HostValidateRun& run) {
    return HostFormat("%zu checks at strictness %d: %d passed, %d failed, %d skipped in %.1f s",
                      run.reports.size(), run.strictness, run.Count(HostCheckOutcome::kPassed),
                      run.Count(HostCheckOutcome::kFailed), run.Count(HostCheckOutcome::kSkipped),
                      run.seconds);
}

} // namespace

int HostValidateRun::Count(HostCheckOutcome::EResult r) const {
    return static_cast<int>(std::count_if(reports.begin(), reports.end(),
                                          [r](const HostCheckReport& c) { return c.outcome.result == r; }));
}

const char* HostResultName(HostCheckOutcome::EResult r) {
    return r == HostCheckOutcome::kPassed ? "passed" : r == HostCheckOutcome::kFailed ? "failed" : "skipped";
}

std::string HostValidateTable(const HostValidateRun& run) {
    size_t nameWidth = 5;
    for (const HostCheckReport& c : run.reports)
        nameWidth = std::max(nameWidth, std::string(c.check->name).size());
    const int w = static_cast<int>(nameWidth);
    std::string s = HostFormat("validating %s at strictness %d (seed %llu)\n\n", run.plugin.c_str(),
                               run.strictness, static_cast<unsigned long long>(run.seed));
    s += HostFormat("level  %-*s  result   time     reason\n", w, "check");
    for (const HostCheckReport& c : run.reports)
        s += HostFormat("%5d  %-*s  %-7s  %5.1f s  %s\n", c.check->level, w, c.check->name,
                        HostResultName(c.outcome.result), c.seconds, Clean(c.outcome.reason).c_str());
    return s + "\n" + Totals(run) + "\n";
}

std::string HostValidateJson(const HostValidateRun& run) {
    std::string s = "{\n";
    s += "  \"plugin\": " + HostJsonQuote(Clean(run.plugin)) + ",\n";
    s += HostFormat("  \"strictness\": %d,\n  \"seed\": %llu,\n  \"seconds\": %.3f,\n", run.strictness,
                    static_cast<unsigned long long>(run.seed), run.seconds);
    s += HostFormat("  \"passed\": %d,\n  \"failed\": %d,\n  \"skipped\": %d,\n",
                    run.Count(HostCheckOutcome::kPassed), run.Count(HostCheckOutcome::kFailed),
                    run.Count(HostCheckOutcome::kSkipped));
    s += "  \"checks\": [";
    for (size_t i = 0; i < run.reports.size(); ++i) {
        const HostCheckReport& c = run.reports[i];
        s += i ? ",\n" : "\n";
        s += HostFormat(
            "    {\"name\": \"%s\", \"level\": %d, \"result\": \"%s\", \"seconds\": %.3f, \"reason\": ",
            c.check->name, c.check->level, HostResultName(c.outcome.result), c.seconds);
        s += HostJsonQuote(Clean(c.outcome.reason)) + "}";
    }
    return s + "\n  ]\n}\n";
}
