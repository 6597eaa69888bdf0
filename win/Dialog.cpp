#include "win/Dialog.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "win/ModalLoop.h"
#include "win/WinApp.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // Every other message reaches the object through AfxWndProc, installed here; this
    // procedure then answers FALSE so that the dialog manager does its default work.
    if (message != WM_INITDIALOG) return FALSE;
    CWnd* pWnd = reinterpret_cast<CWnd*>(lParam);
    if (pWnd == nullptr || !pWnd->SubclassWindow(hWnd)) return TRUE;
    MSG saved = pWnd->m_msgCur;
    pWnd->m_msgCur = MSG{hWnd, message, wParam, lParam, 0, {0, 0}};
    BOOL result = pWnd->OnInitDialog();
    pWnd->m_msgCur = saved;
    return result;
}

INT_PTR CDialog::DoModal() {
    if (AfxIsClosePending()) return IDCANCEL;  // the program is closing: cancelled at once
    CModalLoopScope modal;
    AfxInitCommonControls();
    HWND owner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    if (owner == nullptr && AfxGetMainWnd() != nullptr) owner = AfxGetMainWnd()->m_hWnd;
    return ::DialogBoxParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), owner, &AfxDlgProc,
                             reinterpret_cast<LPARAM>(static_cast<CWnd*>(this)));
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFailed;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;  // refused: the dialog stays open on the bad field
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

HWND CDataExchange::PrepareCtrl(int nIDC) {
    m_hWndLastControl = m_pDlgWnd->GetDlgItem(nIDC);
    return m_hWndLastControl;
}

void CDataExchange::Fail(const char* prompt) {
    if (m_bFailed) return;
    m_bFailed = TRUE;
    AfxMessageBox(prompt, MB_ICONEXCLAMATION);
    if (m_hWndLastControl != nullptr) {
        ::SetFocus(m_hWndLastControl);
        ::SendMessageA(m_hWndLastControl, EM_SETSEL, 0, -1);
    }
}

namespace {

CString ControlText(HWND hCtl) {
    CString text;
    int n = ::GetWindowTextLengthA(hCtl);
    ::GetWindowTextA(hCtl, text.GetBuffer(n + 1), n + 1);
    text.ReleaseBuffer();
    return text;
}

}  // namespace

BOOL AfxParseUnsigned(const char* text, DWORD* value) {
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p < '0' || *p > '9') return FALSE;
    unsigned long long v = 0;
    while (*p >= '0' && *p <= '9') {
        v = v * 10 + static_cast<unsigned>(*p - '0');
        if (v > 0xFFFFFFFFull) return FALSE;
        ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    if (*p != '\0') return FALSE;
    *value = static_cast<DWORD>(v);
    return TRUE;
}

BOOL AfxParseFloat(const char* text, float* value) {
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') return FALSE;
    char* end = nullptr;
    errno = 0;
    double d = std::strtod(p, &end);
    if (end == p) return FALSE;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0' || !std::isfinite(d) || std::fabs(d) > FLT_MAX) return FALSE;
    *value = static_cast<float>(d);
    return TRUE;
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    if (pDX->m_bFailed) return;
    HWND hCtl = pDX->PrepareCtrl(nIDC);
    if (hCtl == nullptr) return;
    if (pDX->m_bSaveAndValidate)
        value = ControlText(hCtl);
    else
        ::SetWindowTextA(hCtl, value);
}

void DDX_Text(CDataExchange* pDX, int nIDC, DWORD& value) {
    if (pDX->m_bFailed) return;
    HWND hCtl = pDX->PrepareCtrl(nIDC);
    if (hCtl == nullptr) return;
    if (pDX->m_bSaveAndValidate) {
        DWORD parsed = 0;
        if (!AfxParseUnsigned(ControlText(hCtl), &parsed)) {
            pDX->Fail("Please enter a positive integer.");
            return;
        }
        value = parsed;
    } else {
        char text[32];
        std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(value));
        ::SetWindowTextA(hCtl, text);
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value) {
    DWORD v = value;
    DDX_Text(pDX, nIDC, v);
    value = v;
}

void DDX_Text(CDataExchange* pDX, int nIDC, float& value) {
    if (pDX->m_bFailed) return;
    HWND hCtl = pDX->PrepareCtrl(nIDC);
    if (hCtl == nullptr) return;
    if (pDX->m_bSaveAndValidate) {
        float parsed = 0;
        if (!AfxParseFloat(ControlText(hCtl), &parsed)) {
            pDX->Fail("Please enter a number.");
            return;
        }
        value = parsed;
    } else {
        char text[64];
        std::snprintf(text, sizeof text, "%.*g", FLT_DIG, static_cast<double>(value));
        ::SetWindowTextA(hCtl, text);
    }
}
