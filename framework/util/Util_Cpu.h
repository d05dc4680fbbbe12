#pragma once
// Util_CpuHasAVX: whether the running processor and operating system execute 256-bit AVX
// instructions, for audio routines that have a wider form giving bit for bit the same results.
// Read once, on first use (thread-safe), and constant afterwards; any thread may ask, and asking
// costs a load and a test. Setting the environment variable TIDEBLOOM_NO_AVX to a non-empty value
// before the first use answers false, so the baseline forms can be exercised on any machine.
bool Util_CpuHasAVX();
