// The library clock: milliseconds and microseconds since ZoKernel_Startup,
// from the system's monotonic clock (never set back, unaffected by changes of
// the wall clock). Safe to read from any thread.
#pragma once
#include <cstdint>

// Records the start time (start-up step 1). Calling it again restarts the clock.
void ZoTimer_Initialize();
// Marks the clock as fully initialised (start-up's last step). The clock always
// counts with the monotonic clock; no processor time-stamp calibration is made.
void ZoTimer_LateInitialize();
// True between ZoTimer_LateInitialize and the next ZoTimer_Initialize.
bool ZoTimer_IsInitialized();
// Time since ZoTimer_Initialize (0 before it was ever called).
uint64_t ZoTimer_GetMilliseconds();
uint64_t ZoTimer_GetMicroseconds();
