#pragma once
// Documents and the single-document template. The template creates, in this order, the
// document, the frame (from the template's resource id: menu, accelerators, icon, title)
// and the view inside it, each from its run-time class, then runs the view's initial update
// and shows the frame.
//
// Ownership: the template is owned by the application. The document belongs to its views:
// it is deleted when its last view goes. Frames and views delete themselves when their
// windows are destroyed.
// Threading: the user-interface thread only.
#include <vector>

#include "win/CString.h"
#include "win/CmdTarget.h"
#include "win/RuntimeClass.h"

class CView;
class CFrameWnd;

class CDocument : public CCmdTarget {
  public:
    CDocument() = default;
    ~CDocument() override;

    const CString& GetTitle() const { return m_strTitle; }
    // Sets the title and refreshes the captions of the frames that show the document.
    virtual void SetTitle(const char* title);

    virtual BOOL OnNewDocument();
    virtual BOOL OnOpenDocument(const char* path);

    void AddView(CView* pView);
    void RemoveView(CView* pView);
    const std::vector<CView*>& GetViews() const { return m_views; }

  protected:
    CString m_strTitle;
    std::vector<CView*> m_views;  // not owned
};

// What the frame needs to build its view.
struct CCreateContext {
    const CRuntimeClass* m_pNewViewClass = nullptr;
    CDocument* m_pCurrentDoc = nullptr;
};

class CSingleDocTemplate : public CCmdTarget {
  public:
    CSingleDocTemplate(UINT nIDResource, const CRuntimeClass* pDocClass, const CRuntimeClass* pFrameClass,
                       const CRuntimeClass* pViewClass);

    // Creates the document, frame and view if they do not exist yet, then a new document
    // (path nullptr) or the named one; nullptr if any step fails.
    CDocument* OpenDocumentFile(const char* path, BOOL bMakeVisible = TRUE);
    // The n-th line of the template string (0 = window title, 1 = document name, ...).
    CString GetDocString(int index) const;
    void RemoveDocument(CDocument* pDoc);

  private:
    UINT m_nIDResource;
    const CRuntimeClass* m_pDocClass;
    const CRuntimeClass* m_pFrameClass;
    const CRuntimeClass* m_pViewClass;
    CDocument* m_pOnlyDoc = nullptr;  // not owned (the document belongs to its views)
};

CSingleDocTemplate* AfxGetDocTemplate();
