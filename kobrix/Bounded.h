#pragma once
// Bounded outgoing calls. A server that does not answer a synchronous call within the bound
// must not hold the program: the call is cancelled and the caller counts the server as lost.
//
// Threading: BoundedScope runs on the owner thread only; the deadline thread only reads the
// stack of running scopes (under its lock) and wakes the owner thread's COM wait.
#include <windows.h>

namespace kobrix {

// The bound of one synchronous call, unless KOBRIX_CALL_TIMEOUT_MS (100 .. 600000) is set in
// the environment when the library first calls out (meant for tests).
constexpr DWORD kDefaultCallTimeoutMs = 5000;
DWORD CallTimeoutMs();

// Sets up call cancellation on the owner thread (once, when the library takes it).
void PrepareBoundedCalls();

// While alive, the innermost outgoing COM call on the owner thread is cancelled once the
// deadline has passed. Scopes nest (a callback during a call may call out again); only the
// innermost one is ever cancelled, an outer one once the inner ones are done.
class BoundedScope {
  public:
    explicit BoundedScope(DWORD timeoutMs = CallTimeoutMs());
    ~BoundedScope();
    BoundedScope(const BoundedScope&) = delete;
    BoundedScope& operator=(const BoundedScope&) = delete;
    bool Expired() const;

  private:
    ULONGLONG due_;
};

}  // namespace kobrix
