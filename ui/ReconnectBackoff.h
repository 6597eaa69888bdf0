#pragma once
// When the next automatic reconnect of one connection is due: first 5 s after the loss,
// then each wait twice the last, up to 60 s. Times are GetTickCount() values; their
// differences are taken unsigned, so the 49-day wrap does no harm.
#include <windows.h>

struct CReconnectBackoff {
    static const DWORD kFirstDelayMs = 5000;
    static const DWORD kMaxDelayMs = 60000;

    int nextAttempt = 1;  // the number of the attempt that is due next
    DWORD delayMs = kFirstDelayMs;
    DWORD dueTick = 0;

    void Start(DWORD now) {
        nextAttempt = 1;
        delayMs = kFirstDelayMs;
        dueTick = now + delayMs;
    }
    // The attempt that was due failed: the next one waits twice as long.
    void Failed(DWORD now) {
        ++nextAttempt;
        delayMs = delayMs >= kMaxDelayMs / 2 ? kMaxDelayMs : delayMs * 2;
        dueTick = now + delayMs;
    }
    BOOL IsDue(DWORD now) const { return static_cast<LONG>(now - dueTick) >= 0; }
    // Whole seconds left, rounded up (0 once due).
    DWORD SecondsLeft(DWORD now) const { return IsDue(now) ? 0 : (dueTick - now + 999) / 1000; }
};
