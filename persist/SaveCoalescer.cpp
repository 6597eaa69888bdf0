#include "persist/SaveCoalescer.h"

namespace {

CSaveCoalescer* g_pRunning = nullptr;

}  // namespace

CSaveCoalescer::~CSaveCoalescer() { Stop(); }

void CSaveCoalescer::Start(std::function<BOOL()> save) {
    m_save = std::move(save);
    g_pRunning = this;
}

void CSaveCoalescer::Stop() {
    if (m_timer != 0) ::KillTimer(nullptr, m_timer);
    m_timer = 0;
    if (g_pRunning == this) g_pRunning = nullptr;
}

void CSaveCoalescer::RequestSave() {
    m_bPending = TRUE;
    if (m_timer != 0) return;  // the armed timer takes this change too
    DWORD since = ::GetTickCount() - m_dwLastSaveAt;
    Arm(m_dwLastSaveAt != 0 && since < kMinIntervalMs ? kMinIntervalMs - since : USER_TIMER_MINIMUM);
}

void CSaveCoalescer::Arm(DWORD delayMs) {
    if (g_pRunning != this) return;
    // A thread timer: its id is the key back to the running coalescer.
    m_timer = ::SetTimer(nullptr, 0, delayMs, &CSaveCoalescer::OnTimer);
}

void CALLBACK CSaveCoalescer::OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    CSaveCoalescer* self = g_pRunning;
    if (self == nullptr || self->m_timer != id) return;
    self->m_timer = 0;
    if (self->m_bPending && !self->SaveNow()) self->Arm(kMinIntervalMs);  // try again later
}

BOOL CSaveCoalescer::SaveNow() {
    if (!m_save) return FALSE;
    DWORD start = ::GetTickCount();
    BOOL ok = m_save();
    m_dwLastSaveAt = ::GetTickCount();
    if (m_dwLastSaveAt == 0) m_dwLastSaveAt = 1;  // 0 means "never"
    m_dwLastSaveMs = m_dwLastSaveAt - start;
    if (ok) m_bPending = FALSE;
    return ok;
}

BOOL CSaveCoalescer::Flush() {
    if (!m_bPending) return TRUE;
    return SaveNow();
}

void RequestConfigurationSave() {
    if (g_pRunning != nullptr) g_pRunning->RequestSave();
}
