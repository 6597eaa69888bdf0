#pragma once
// When advises are posted; the road and the rules are drawn at the top of AdviseGate.cpp.
//
// Ownership: owned by the DDE server; holds no handles of its own. Threading: the user-
// interface thread only (DDEML and the OPC library both call in on it).
#include <windows.h>
#include <ddeml.h>

#include "opc/AdviseGate.h"

// Posted to the flush window when advises wait: for a DDE callback to return, or for
// their turn while posts are paced.
#define WM_FLUSH_ADVISES (WM_APP + 1)

class CAdviseGate : public IAdviseGate {
  public:
    void SetInstance(DWORD idInst) { m_idInst = idInst; }
    // The window that gets WM_FLUSH_ADVISES (and flushes the list) once a transaction ends.
    void SetFlushWindow(HWND hWnd) { m_hFlushWnd = hWnd; }

    DWORD DdeInstance() const override { return m_idInst; }
    BOOL Advise(HSZ hszTopic, HSZ hszItem) override;
    void BeginFlush() override;
    void EndFlush() override;

    // The "Suspend DDE Updates" switch: while on, advises are dropped.
    void Suspend(BOOL suspended) { m_bSuspended = suspended; }
    BOOL IsSuspended() const { return m_bSuspended; }

    // Brackets of every DDE transaction callback (see CDdeCallbackScope).
    void EnterCallback() { ++m_nDepth; }
    void LeaveCallback();
    BOOL IsInCallback() const { return m_nDepth > 0; }

  private:
    BOOL HasTime();  // FALSE: the advise waits for a flush (queued)
    void QueueFlush();

    DWORD m_idInst = 0;
    HWND m_hFlushWnd = nullptr;
    BOOL m_bSuspended = FALSE;
    int m_nDepth = 0;
    BOOL m_bFlushDeferred = FALSE;
    BOOL m_bFlushQueued = FALSE, m_bInFlush = FALSE;
    LONGLONG m_windowStart = 0, m_spent = 0, m_flushStart = 0;  // performance-counter ticks
};

// Marks the duration of one DDE transaction callback.
class CDdeCallbackScope {
  public:
    explicit CDdeCallbackScope(CAdviseGate& gate) : m_gate(gate) { m_gate.EnterCallback(); }
    ~CDdeCallbackScope() { m_gate.LeaveCallback(); }
    CDdeCallbackScope(const CDdeCallbackScope&) = delete;
    CDdeCallbackScope& operator=(const CDdeCallbackScope&) = delete;

  private:
    CAdviseGate& m_gate;
};
