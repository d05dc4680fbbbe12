#include "host/HostValidate.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "host/HostProgress.h"
#include "host/HostText.h"
#include "host/HostValidateReport.h"
#include "host/HostXWindow.h"

namespace {

// Whether editors can be shown: a display that opens (closed again before any check is forked).
bool DisplayThere() {
    std::string err;
    HostXConnection x(HostXConnection::OpenDefault(err));
    return x.Get() != nullptr;
}

// "[####......]  3/14 latency" on one line of a terminal, redrawn in place.
void DrawProgress(std::FILE* out, size_t done, size_t total, const char* name) {
    const std::string line =
        HostFormatProgressBar(static_cast<int64_t>(done), static_cast<int64_t>(total), 30);
    std::fprintf(out, "\r\033[K%s %zu/%zu %s", line.c_str(), done, total, name);
    std::fflush(out);
}

} // namespace

int HostRunValidate(const HostValidateOptions& options, std::FILE* out, std::FILE* err,
                    const volatile std::sig_atomic_t* cancel) {
    const auto begin = std::chrono::steady_clock::now();
    HostCheckContext ctx;
    ctx.plugin = options.plugin;
    ctx.pluginClass = options.pluginClass;
    ctx.strictness = options.strictness;
    ctx.seed = options.seed;
    ctx.display = DisplayThere();

    std::vector<const HostCheck*> checks;
    for (const HostCheck& c : HostValidateChecks())
        if (c.level <= options.strictness) checks.push_back(&c);
    std::stable_sort(checks.begin(), checks.end(),
                     [](const HostCheck* a, const HostCheck* b) { return a->level < b->level; });

    HostValidateRun run;
    run.plugin = options.plugin;
    run.strictness = options.strictness;
    run.seed = options.seed;
    const bool bar = options.progress && ::isatty(::fileno(out));
    bool loads = true;
    for (const HostCheck* c : checks) {
        if (bar) DrawProgress(out, run.reports.size(), checks.size(), c->name);
        if (!loads) {
            // One failure to load is enough: the rest could only fail the same way.
            run.reports.push_back({c, HostCheckOutcome::Skipped("not run: the plug-in does not load"), 0.0});
            continue;
        }
        run.reports.push_back(HostRunCheck(*c, ctx, HostCheckTimeout(*c, options.strictness), cancel));
        if (cancel && *cancel) break;
        if (c == &HostValidateChecks()[0] && run.reports.back().outcome.result == HostCheckOutcome::kFailed)
            loads = false;
    }
    if (bar) {
        std::fputs("\r\033[K", out);
        std::fflush(out);
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    if (cancel && *cancel) {
        std::fprintf(err, "tidebloom-host: error: interrupted during the check '%s'\n",
                     run.reports.back().check->name);
        return 1;
    }
    std::fputs((options.json ? HostValidateJson(run) : HostValidateTable(run)).c_str(), out);
    return run.Count(HostCheckOutcome::kFailed) == 0 ? 0 : 1;
}
