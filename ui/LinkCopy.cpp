// The DDE link of a list row for the user: a click puts "=Quorvane|alias!tag" on the
// clipboard and selects the row for the delete command; a drag puts the quoted form
// "=Quorvane|alias!'tag'" on the clipboard and carries it to a drop target. The row is
// the one under the cursor, by its band, whatever the list's own selection shows.
#include <windows.h>
#include <commctrl.h>

#include "resource.h"
#include "ui/LinkServerItem.h"
#include "ui/VantrelView.h"

namespace {

// Puts text on the clipboard as CF_TEXT; nothing happens when the clipboard is busy.
void CopyTextToClipboard(HWND hOwner, const char* text) {
    HGLOBAL hBlock = AllocTextBlock(text, GMEM_ZEROINIT);
    if (hBlock == nullptr) return;
    if (!::OpenClipboard(hOwner)) {
        ::GlobalFree(hBlock);
        return;
    }
    ::EmptyClipboard();
    // The clipboard owns the block once it took it.
    if (::SetClipboardData(CF_TEXT, hBlock) == nullptr) ::GlobalFree(hBlock);
    ::CloseClipboard();
}

// The selected connection's item in the row under the cursor, with its connection and
// row; nullptr when there is no such item.
CTagItem* RowUnderCursor(const CVantrelView* view, CServerConnection** ppConn, int* pRow) {
    CServerConnection* conn = view->GetSelectedConnection();
    if (conn == nullptr) return nullptr;
    HWND hList = view->GetDlgItem(IDC_ITEM_LIST);
    POINT pt;
    ::GetCursorPos(&pt);
    ::ScreenToClient(hList, &pt);
    int row = CVantrelView::HitTestRow(hList, pt.y);
    if (row < 0 || row >= conn->GetItemCount()) return nullptr;
    CTagItem* item = conn->GetItem(row);
    if (item == nullptr) return nullptr;
    *ppConn = conn;
    *pRow = row;
    return item;
}

}  // namespace

CString CVantrelView::BuildLinkText(const CServerConnection* conn, const CTagItem* item, BOOL quoted) {
    CString link = "=Quorvane|" + conn->m_strAlias + "!";
    return quoted ? link + "'" + item->m_strTagName + "'" : link + item->m_strTagName;
}

int CVantrelView::HitTestRow(HWND hList, int y) {
    // Only the rows from the topmost visible one through the last fully visible one count;
    // a row's band runs from its top to the top of the next row.
    int top = ListView_GetTopIndex(hList);
    int fullyVisible = ListView_GetCountPerPage(hList);
    RECT rc;
    if (!ListView_GetItemRect(hList, top, &rc, LVIR_BOUNDS)) return -1;
    int height = rc.bottom - rc.top;
    for (int k = 0; k < fullyVisible; ++k)
        if (y < rc.top + (k + 1) * height) return top + k;
    return -1;
}

void CVantrelView::OnClickList(NMHDR*, LRESULT* pResult) {
    *pResult = 0;
    m_nSelectedItem = -1;
    CServerConnection* conn = nullptr;
    int row = -1;
    CTagItem* item = RowUnderCursor(this, &conn, &row);
    if (item == nullptr) return;
    m_nSelectedItem = row;
    CopyTextToClipboard(m_hWnd, BuildLinkText(conn, item, FALSE));
}

void CVantrelView::OnBegindragList(NMHDR*, LRESULT* pResult) {
    *pResult = 0;
    m_nSelectedItem = -1;  // a drag never selects a row for deletion
    CServerConnection* conn = nullptr;
    int row = -1;
    CTagItem* item = RowUnderCursor(this, &conn, &row);
    if (item == nullptr) return;
    CString link = BuildLinkText(conn, item, TRUE);
    CopyTextToClipboard(m_hWnd, link);
    if (item->m_pDragItem == nullptr) item->m_pDragItem = new CLinkServerItem(link);
    // Whatever the drop target does with the link, the row and its item stay.
    static_cast<CLinkServerItem*>(item->m_pDragItem)->DoDragDrop(DROPEFFECT_COPY | DROPEFFECT_MOVE);
}
