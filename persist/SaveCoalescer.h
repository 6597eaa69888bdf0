#pragma once
// Saves asked for at every change, carried out at most once a second.
//
// RequestSave never saves by itself: it marks the configuration changed and arms a
// thread timer, so a burst of changes (a whole branch added, a DDE-driven series) costs one
// save, and no save runs inside the caller (a dialog, a DDE callback). The timer saves
// when a second has passed since the last save; Flush saves at once what is still
// pending (the final save at exit). A failed save stays pending and is tried again with
// the next timer tick.
//
// The one running coalescer is reachable through RequestConfigurationSave(), so that the
// places that change connections or items need one line and no pointer.
// Threading: the user-interface thread only (the timer runs in its message loop).
#include <windows.h>

#include <functional>

class CSaveCoalescer {
  public:
    static const DWORD kMinIntervalMs = 1000;

    CSaveCoalescer() = default;
    ~CSaveCoalescer();
    CSaveCoalescer(const CSaveCoalescer&) = delete;
    CSaveCoalescer& operator=(const CSaveCoalescer&) = delete;

    // Becomes the running coalescer; save answers FALSE when the file could not be written.
    void Start(std::function<BOOL()> save);
    // No more saves from the timer; the running coalescer no more.
    void Stop();
    void RequestSave();
    // Saves now if a save is pending; TRUE when nothing is left pending.
    BOOL Flush();
    BOOL IsPending() const { return m_bPending; }
    // How long the last save took, in milliseconds.
    DWORD LastSaveMs() const { return m_dwLastSaveMs; }

  private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD);
    void Arm(DWORD delayMs);
    BOOL SaveNow();

    std::function<BOOL()> m_save;
    UINT_PTR m_timer = 0;
    BOOL m_bPending = FALSE;
    DWORD m_dwLastSaveAt = 0;  // GetTickCount of the last save, 0 before the first
    DWORD m_dwLastSaveMs = 0;
};

// Asks the running coalescer for a save; nothing when none runs.
void RequestConfigurationSave();
