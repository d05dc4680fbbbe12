#pragma once
// Checks shared by the tests of the LV2 test effect and of the shipped bundle's plug-in: each creates
// its own instances from the descriptor with LV2TestHost and reports through GoogleTest assertions.
// The plug-in must have the stereo shape of LV2TestHost (two inputs, two outputs, five parameters).
#include <functional>

#include <lv2/core/lv2.h>

// An audio thread running 512-frame blocks while it moves the controls (also to NaN and out of
// range), a thread saving the state over and over, and, when given, a third calling sideWork(k) for
// k = 0 .. rounds - 1 (what an editor would do). Ends with finite output and every save successful.
void RunLV2ThreadStress(const LV2_Descriptor* descriptor, int rounds,
                        const std::function<void(LV2_Handle, int)>& sideWork = {});

// Four threads creating, running and cleaning up instances at once.
void RunLV2InstancesConcurrently(const LV2_Descriptor* descriptor, int perThread);

// Counts the allocations made by run (and connect_port) from the first block on, across block sizes,
// blocks longer than the host's largest, empty blocks, control changes and a mono connection.
// allocCount reads the test executable's allocation counter.
void ExpectNoAllocationInRun(const LV2_Descriptor* descriptor, long (*allocCount)());
