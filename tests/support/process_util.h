// Small helpers shared by the process drivers of the test harness.
#pragma once

#include <sys/types.h>

#include <chrono>

// Milliseconds until `deadline`, 0 once it has passed.
int remainingMs(std::chrono::steady_clock::time_point deadline);
// Reaps `pid` within the time given; the raw wait status goes to `status` when not null.
bool waitForChild(pid_t pid, int timeoutMs, int* status);
