#pragma once
// A counter of every allocation the process makes. A test executable that compiles AllocCounter.cpp
// (the alloc_counter object library) replaces the global allocation functions with counting ones and,
// outside the address and thread sanitizers, malloc and its relatives too (forwarding to the C
// library's allocator), so allocations made by a plug-in opened with dlopen are counted as well; link
// such executables with -rdynamic so the plug-in binds to the replacements. Any thread.

// Allocations so far.
long AllocationCount();
