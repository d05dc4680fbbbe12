#pragma once
// What tidebloom-host says about its own command line: one table of commands and options, from which
// both the --help text and the manual page (tidebloom-host.1, written at build time by
// tidebloom-host-manpage) are made, so the two never disagree. Pure functions of constant data,
// callable from any thread.
#include <string>

// The text --help prints.
std::string HostUsageText();

// The manual page in man(7) markup, for section 1.
std::string HostManPage();
