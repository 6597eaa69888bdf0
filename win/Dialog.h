#pragma once
// Modal dialogs from dialog templates, with data exchange between member fields and
// controls: DoDataExchange lists the fields (DDX_Text for text, unsigned integers and
// floats); UpdateData(FALSE) shows them, UpdateData(TRUE) reads them back. A field that
// does not parse is refused: the user is told, the control gets the focus, UpdateData
// answers FALSE and OK leaves the dialog open.
//
// Threading: the user-interface thread only; DoModal runs the dialog manager's modal loop.
#include "win/Wnd.h"

class CDataExchange {
  public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    // The control nIDC, remembered as the one to focus if its value is refused.
    HWND PrepareCtrl(int nIDC);
    // Refuses the exchange: tells the user once and puts the focus on the last control.
    void Fail(const char* prompt);

    BOOL m_bSaveAndValidate;  // TRUE: controls -> fields
    CWnd* m_pDlgWnd;
    HWND m_hWndLastControl = nullptr;
    BOOL m_bFailed = FALSE;  // once set, the remaining exchanges are skipped
};

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value);
void DDX_Text(CDataExchange* pDX, int nIDC, DWORD& value);
void DDX_Text(CDataExchange* pDX, int nIDC, float& value);

// The parsers behind DDX_Text: TRUE and the value when the whole text (blanks around it
// allowed) is a decimal unsigned 32-bit number / a finite number within float range.
BOOL AfxParseUnsigned(const char* text, DWORD* value);
BOOL AfxParseFloat(const char* text, float* value);

class CDialog : public CWnd {
  public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParent = nullptr) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParent) {}

    // Runs the dialog; answers the code given to EndDialog (IDOK, IDCANCEL), or -1.
    virtual INT_PTR DoModal();
    BOOL OnInitDialog() override;
    virtual void DoDataExchange(CDataExchange*) {}
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    void EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }

  protected:
    virtual void OnOK();
    virtual void OnCancel();

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()
};

// The dialog procedure of every dialog and form: attaches the object at WM_INITDIALOG and
// routes the window's messages through it from then on.
INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
