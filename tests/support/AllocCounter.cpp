#include "tests/support/AllocCounter.h"

#include "host/HostAllocWatch.h"

long AllocationCount() {
    return HostAllocTotal();
}
