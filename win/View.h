#pragma once
// Views: a view shows a document inside a frame and gets the commands first. A form view
// is a view built from a dialog template as a child window of the frame, with the dialog
// manager's keyboard handling (tab order, mnemonics, default button).
//
// Ownership: a view deletes itself when its window is destroyed and then leaves its
// document (which goes with its last view).
// Threading: the user-interface thread only.
#include "win/Document.h"
#include "win/Wnd.h"

class CFrameWnd;

class CView : public CWnd {
  public:
    CView() = default;
    ~CView() override;

    CDocument* GetDocument() const { return m_pDocument; }
    // Creates the view's window as child nID of the parent frame.
    virtual BOOL Create(CWnd* pParent, UINT nID, CCreateContext* pContext) = 0;
    // Runs once, after the frame and the view exist and before the frame is shown.
    virtual void OnInitialUpdate() {}
    virtual BOOL PreCreateWindow(CREATESTRUCTA&) { return TRUE; }
    BOOL OnCmdMsg(UINT nID, int nCode) override;

  protected:
    void PostNcDestroy() override;

    CDocument* m_pDocument = nullptr;
    CFrameWnd* m_pParentFrame = nullptr;  // the frame that holds the view; it outlives the view's window
    friend class CDocument;
};

class CFormView : public CView {
  public:
    explicit CFormView(UINT nIDTemplate) : m_nIDTemplate(nIDTemplate) {}

    BOOL Create(CWnd* pParent, UINT nID, CCreateContext* pContext) override;
    void OnInitialUpdate() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    // Resizes the frame so that its client area fits the form exactly (bShrinkOnly FALSE:
    // the frame may grow or shrink).
    void ResizeParentToFit(BOOL bShrinkOnly = TRUE);
    // The form keeps the focus where the view's set-up puts it.
    BOOL OnInitDialog() override { return FALSE; }

    // The form's size in pixels, as laid out from the template.
    SIZE m_sizeForm = {0, 0};

  protected:
    UINT m_nIDTemplate;
    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
};
