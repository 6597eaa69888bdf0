#pragma once
// The one wait of the Windows suites: the test thread keeps serving its messages (COM
// callbacks into a single-threaded apartment and DDE advises arrive as messages) while it
// looks at a condition, and gives up after a bound. Nothing waits for a fixed time.
#include <windows.h>

#include <functional>

namespace qvtest {

// Dispatches every message waiting for this thread.
void Pump();
// Pumps until done() holds (looked at after every wake, and at least every 20 ms) or the
// timeout passes; true when done() held.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs);

}  // namespace qvtest
