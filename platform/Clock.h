#pragma once
// The one clock of the platform. Every wait a program makes (Sleep, wait time-outs, retry
// pauses) is stated in the program's own milliseconds and scaled here by VTARN_TIME_SCALE, a
// positive factor (default 1), so that tests can run the product's long waits quickly.
#include "platform/WinTypes.h"

#include <chrono>

namespace platform {

// The factor in force for this process: VTARN_TIME_SCALE when it is a positive number, else 1.
double TimeScale();

// Overrides the factor for this process (tests and programs that take --time-scale).
void SetTimeScale(double factor);

// A program-time span in real time. INFINITE stays "forever" (the largest duration).
std::chrono::steady_clock::duration ScaledDuration(DWORD milliseconds);

// The real-time point a wait of `milliseconds` program time started now ends at.
std::chrono::steady_clock::time_point DeadlineAfter(DWORD milliseconds);

} // namespace platform

// Suspends the calling thread for the given program-time span.
void Sleep(DWORD milliseconds);

// Program-time milliseconds since the process started; advances at the scaled rate, so a
// Sleep(1000) always moves it by about 1000 whatever the factor.
DWORD GetTickCount();
