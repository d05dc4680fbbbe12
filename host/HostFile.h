#pragma once
// Reading input files without surprises for the command-line host.
//
// Every file the host reads (audio inputs, program and bank files, plug-ins) must be a regular
// file: HostOpenForReading opens it without waiting (a FIFO would otherwise block until someone
// writes to it) and refuses anything else. Writing is HostOutputs' alone (the one rule for every
// output), through Util_AtomicFile. One thread.
#include "framework/util/Util_AtomicFile.h"

#include <cstdint>
#include <string>
#include <vector>

// A read-only descriptor of the regular file at path, or -1 with err set to a one-line reason that
// names the path ("cannot open '...': ..." or "cannot read '...': not a regular file").
int HostOpenForReading(const std::string& path, std::string& err);

// Reads the whole regular file at path (at most maxBytes) into out. On failure returns false and
// sets err to a one-line reason that names the path.
bool HostReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& out, std::string& err);
