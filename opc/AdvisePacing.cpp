// The pacing of stored changes' posts. A change is posted at once while posts have taken
// at most half of the last 100 ms; else it waits in order, each item once, and when its
// turn comes the post carries the item's value of that moment, its last. The queue is
// posted in slices of at most 50 ms on a timer, whose ticks come only when no input,
// paint or other posted message waits: the window keeps answering through any burst.
#include <algorithm>

#include "opc/ConnectionList.h"

namespace {

const LONGLONG kWindowMs = 100;
const LONGLONG kBudgetMs = 50;  // of each window, for posts at once
const LONGLONG kSliceMs = 50;   // of one timer tick
const UINT kTickMs = 10;        // the timer's period while posts wait

LONGLONG Now() {
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t.QuadPart;
}

LONGLONG TicksPerMs() {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return std::max<LONGLONG>(f.QuadPart / 1000, 1);
}

}  // namespace

BOOL CConnectionList::HasPostTime() {
    const LONGLONG now = Now();
    if (now - m_postWindowStart >= kWindowMs * TicksPerMs()) {
        m_postWindowStart = now;
        m_postSpent = 0;
    }
    return m_postSpent < kBudgetMs * TicksPerMs();
}

void CConnectionList::TimedAdvise(CServerConnection* conn, CTagItem* item) {
    const LONGLONG start = Now();
    Advise(conn, item);
    m_postSpent += Now() - start;
}

void CConnectionList::PostChange(CServerConnection* conn, CTagItem* item) {
    // Queued already: its turn posts the value stored now.
    if (!item->IsLinked() || item->m_bPostDue) return;
    if (m_hNotify == nullptr || (m_due.empty() && HasPostTime())) {  // no window: no timer to wait for
        TimedAdvise(conn, item);
        return;
    }
    item->m_bPostDue = 1;
    m_due.emplace_back(conn, item);
    if (m_due.size() == 1 && m_hNotify != nullptr) ::SetTimer(m_hNotify, kPaceTimer, kTickMs, nullptr);
}

void CConnectionList::PostDueAdvises() {
    const LONGLONG end = Now() + kSliceMs * TicksPerMs();
    while (!m_due.empty() && Now() < end) {
        std::pair<CServerConnection*, CTagItem*> next = m_due.front();
        m_due.pop_front();
        next.second->m_bPostDue = 0;
        TimedAdvise(next.first, next.second);
    }
    if (m_due.empty() && m_hNotify != nullptr) ::KillTimer(m_hNotify, kPaceTimer);
}

void CConnectionList::DropDue(const CServerConnection* conn, int row) {
    const CTagItem* gone = row != -1 ? conn->GetItem(row) : nullptr;
    m_due.erase(std::remove_if(m_due.begin(), m_due.end(),
                               [&](const std::pair<CServerConnection*, CTagItem*>& due) {
                                   return due.first == conn && (row == -1 || due.second == gone);
                               }),
                m_due.end());
}
