// Polling with a deadline for the end-to-end tests; the calling thread's messages keep flowing.
#pragma once

#include <windows.h>

#include <functional>

namespace e2e {

// How long a test waits for something the program should do at once. Generous on purpose: a slow
// machine only makes a passing test slower; the deadline is reached only when the effect never comes.
constexpr DWORD kPatienceMs = 20000;

// Calls `done` every few milliseconds, dispatching this thread's messages in between, until it
// returns true (result true) or `timeoutMs` has passed (result false).
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = kPatienceMs);

// Dispatches this thread's messages for `ms` milliseconds. Only for settling times that Wine needs
// (input right after a window appears); never as a substitute for waiting on an effect.
void PumpFor(DWORD ms);

}  // namespace e2e
