#include "win/Document.h"

#include "win/FrameWnd.h"
#include "win/View.h"
#include "win/WinApp.h"

namespace {
CSingleDocTemplate* g_pTemplate = nullptr;  // the template that made the open document
}

CSingleDocTemplate* AfxGetDocTemplate() { return g_pTemplate; }

CDocument::~CDocument() {
    if (g_pTemplate != nullptr) g_pTemplate->RemoveDocument(this);
}

void CDocument::SetTitle(const char* title) {
    m_strTitle = title;
    for (CView* view : m_views) {
        if (CFrameWnd* frame = view->GetParentFrame()) frame->OnUpdateFrameTitle();
    }
}

BOOL CDocument::OnNewDocument() { return TRUE; }

BOOL CDocument::OnOpenDocument(const char* path) {
    HANDLE h = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return FALSE;
    ::CloseHandle(h);
    CString name(path);
    int slash = name.ReverseFind('\\');
    SetTitle(slash >= 0 ? name.Mid(slash + 1) : name);
    return TRUE;
}

void CDocument::AddView(CView* pView) {
    m_views.push_back(pView);
    pView->m_pDocument = this;
}

void CDocument::RemoveView(CView* pView) {
    for (size_t i = 0; i < m_views.size(); ++i) {
        if (m_views[i] == pView) {
            m_views.erase(m_views.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    pView->m_pDocument = nullptr;
    if (m_views.empty()) delete this;  // a document lives as long as it is shown
}

CSingleDocTemplate::CSingleDocTemplate(UINT nIDResource, const CRuntimeClass* pDocClass,
                                       const CRuntimeClass* pFrameClass, const CRuntimeClass* pViewClass)
    : m_nIDResource(nIDResource), m_pDocClass(pDocClass), m_pFrameClass(pFrameClass), m_pViewClass(pViewClass) {}

CString CSingleDocTemplate::GetDocString(int index) const {
    char buffer[512] = {};
    int n = ::LoadStringA(AfxGetInstanceHandle(), m_nIDResource, buffer, sizeof buffer);
    CString all(buffer, n > 0 ? n : 0);
    int start = 0;
    for (int i = 0; i < index; ++i) {
        int nl = all.Find('\n', start);
        if (nl < 0) return CString();
        start = nl + 1;
    }
    int end = all.Find('\n', start);
    return end < 0 ? all.Mid(start) : all.Mid(start, end - start);
}

void CSingleDocTemplate::RemoveDocument(CDocument* pDoc) {
    if (m_pOnlyDoc == pDoc) m_pOnlyDoc = nullptr;
}

CDocument* CSingleDocTemplate::OpenDocumentFile(const char* path, BOOL bMakeVisible) {
    g_pTemplate = this;
    CDocument* doc = m_pOnlyDoc;
    CFrameWnd* frame = nullptr;
    bool created = false;
    if (doc == nullptr) {
        doc = dynamic_cast<CDocument*>(m_pDocClass->CreateObject());
        if (doc == nullptr) return nullptr;
        m_pOnlyDoc = doc;
        frame = dynamic_cast<CFrameWnd*>(m_pFrameClass->CreateObject());
        if (frame == nullptr) {
            delete doc;
            return nullptr;
        }
        CCreateContext context;
        context.m_pNewViewClass = m_pViewClass;
        context.m_pCurrentDoc = doc;
        if (!frame->LoadFrame(m_nIDResource, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, &context)) {
            // A frame whose window never came to be is not deleted by its window.
            if (!frame->IsWindow()) delete frame;
            if (m_pOnlyDoc == doc && doc->GetViews().empty()) delete doc;
            return nullptr;
        }
        created = true;
    } else if (!doc->GetViews().empty()) {
        frame = doc->GetViews().front()->GetParentFrame();
    }

    CString name = GetDocString(1);
    doc->SetTitle(name.IsEmpty() ? "Untitled" : name);
    BOOL opened = path == nullptr ? doc->OnNewDocument() : doc->OnOpenDocument(path);
    if (!opened) {
        if (created && frame != nullptr) frame->DestroyWindow();
        return nullptr;
    }

    CWinApp* app = AfxGetApp();
    if (created && app != nullptr && app->m_pMainWnd == nullptr) app->m_pMainWnd = frame;
    if (created && frame != nullptr) frame->InitialUpdateFrame(doc, bMakeVisible);
    return doc;
}
