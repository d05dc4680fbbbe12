#pragma once
// A counter of every allocation the process makes. A test executable that links the alloc_counter
// objects gets the host's allocation hooks (host/HostAllocHooks.cpp): the global allocation functions
// and, outside the address and thread sanitizers, malloc and its relatives too, so allocations made by
// a plug-in opened with dlopen are counted as well; such executables are linked with -rdynamic so the
// plug-in binds to the replacements. Any thread.

// Allocations so far.
long AllocationCount();
