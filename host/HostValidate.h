#pragma once
// `tidebloom-host validate PLUGIN`: runs every check of the chosen strictness (HostValidateChecks) on
// the plug-in, each in a child process of its own (HostRunCheck), and prints the report: an aligned
// table, or JSON with --json; while it runs, a progress bar when out is a terminal. The exit status
// is 0 when no check failed (skipped checks — an editor without a display — do not count against it),
// 1 otherwise. Called on the main thread before any other thread exists (the checks are forked).
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>

struct HostValidateOptions {
    std::string plugin;
    std::string pluginClass; // the class of a VST 3 module, empty for its first
    int strictness = 5;      // 1 .. 10
    uint64_t seed = 1;
    bool json = false;
    bool progress = true; // the bar, when out is a terminal
};

int HostRunValidate(const HostValidateOptions& options, std::FILE* out, std::FILE* err,
                    const volatile std::sig_atomic_t* cancel);
