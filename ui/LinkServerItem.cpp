#include "ui/LinkServerItem.h"

#include <shlobj.h>

#include <cstring>

namespace {

// Milliseconds after which a pressed button starts the drag even if the mouse stays put.
const DWORD kDragDelayMs = 200;

BOOL SameFormat(const FORMATETC* f) {
    return f != nullptr && f->cfFormat == CF_TEXT && f->dwAspect == DVASPECT_CONTENT && f->lindex == -1;
}

// Writes the text and its zero byte to a new stream over movable global memory.
IStream* RenderTextStream(const CString& text) {
    IStream* stream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return nullptr;
    ULONG written = 0;
    ULONG size = static_cast<ULONG>(text.GetLength()) + 1;
    if (FAILED(stream->Write(static_cast<const char*>(text), size, &written)) || written != size) {
        stream->Release();
        return nullptr;
    }
    LARGE_INTEGER zero = {};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    return stream;
}

// Reference counting and QueryInterface of an object with one interface; the object
// deletes itself when its last reference goes.
template <class I, const IID* piid>
class CSingleInterfaceObject : public I {
  public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (riid == IID_IUnknown || riid == *piid) {
            *ppv = static_cast<I*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&m_cRef); }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG n = ::InterlockedDecrement(&m_cRef);
        if (n == 0) delete this;
        return n;
    }

  protected:
    CSingleInterfaceObject() = default;
    virtual ~CSingleInterfaceObject() = default;

  private:
    LONG m_cRef = 1;
};

// The data object: CF_TEXT as a cached global block and as a stream made on request.
class CLinkDataObject final : public CSingleInterfaceObject<IDataObject, &IID_IDataObject> {
  public:
    CLinkDataObject(const CString& text, HGLOBAL hCached) : m_text(text), m_hCached(hCached) {}

    // IDataObject
    STDMETHODIMP GetData(FORMATETC* pFormat, STGMEDIUM* pMedium) override {
        if (pMedium == nullptr) return E_POINTER;
        if (!SameFormat(pFormat)) return DV_E_FORMATETC;
        std::memset(pMedium, 0, sizeof *pMedium);
        if (pFormat->tymed & TYMED_HGLOBAL) {
            // The receiver owns what it gets: hand out a copy of the cached block.
            SIZE_T size = ::GlobalSize(m_hCached);
            HGLOBAL hCopy = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
            if (hCopy == nullptr) return E_OUTOFMEMORY;
            const void* from = ::GlobalLock(m_hCached);
            void* to = ::GlobalLock(hCopy);
            if (from != nullptr && to != nullptr) std::memcpy(to, from, size);
            ::GlobalUnlock(hCopy);
            ::GlobalUnlock(m_hCached);
            pMedium->tymed = TYMED_HGLOBAL;
            pMedium->hGlobal = hCopy;
            return S_OK;
        }
        if (pFormat->tymed & TYMED_ISTREAM) {
            IStream* stream = RenderTextStream(m_text);
            if (stream == nullptr) return E_OUTOFMEMORY;
            pMedium->tymed = TYMED_ISTREAM;
            pMedium->pstm = stream;
            return S_OK;
        }
        return DV_E_TYMED;
    }
    STDMETHODIMP GetDataHere(FORMATETC* pFormat, STGMEDIUM* pMedium) override {
        if (pMedium == nullptr) return E_POINTER;
        if (!SameFormat(pFormat)) return DV_E_FORMATETC;
        if (pMedium->tymed != TYMED_ISTREAM || pMedium->pstm == nullptr) return DV_E_TYMED;
        ULONG size = static_cast<ULONG>(m_text.GetLength()) + 1;
        ULONG written = 0;
        HRESULT hr = pMedium->pstm->Write(static_cast<const char*>(m_text), size, &written);
        return FAILED(hr) ? hr : (written == size ? S_OK : STG_E_MEDIUMFULL);
    }
    STDMETHODIMP QueryGetData(FORMATETC* pFormat) override {
        if (!SameFormat(pFormat)) return DV_E_FORMATETC;
        return (pFormat->tymed & (TYMED_HGLOBAL | TYMED_ISTREAM)) ? S_OK : DV_E_TYMED;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* pOut) override {
        if (pOut != nullptr) pOut->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** ppEnum) override {
        if (ppEnum == nullptr) return E_POINTER;
        *ppEnum = nullptr;
        if (direction != DATADIR_GET) return E_NOTIMPL;
        FORMATETC formats[2] = {{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
                                {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTREAM}};
        return ::SHCreateStdEnumFmtEtc(2, formats, ppEnum);
    }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

  private:
    ~CLinkDataObject() override { ::GlobalFree(m_hCached); }

    const CString m_text;
    HGLOBAL m_hCached;  // owned
};

// The drop source: the drag goes on while a mouse button is held, Esc cancels it.
class CLinkDropSource final : public CSingleInterfaceObject<IDropSource, &IID_IDropSource> {
  public:
    STDMETHODIMP QueryContinueDrag(BOOL escapePressed, DWORD keyState) override {
        if (escapePressed) return DRAGDROP_S_CANCEL;
        if (!(keyState & (MK_LBUTTON | MK_RBUTTON))) return DRAGDROP_S_DROP;
        return S_OK;
    }
    STDMETHODIMP GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

  private:
    ~CLinkDropSource() override = default;
};

// Holds a COM pointer for one scope.
template <class T>
class CReleaseOnExit {
  public:
    explicit CReleaseOnExit(T* p) : m_p(p) {}
    ~CReleaseOnExit() {
        if (m_p != nullptr) m_p->Release();
    }
    CReleaseOnExit(const CReleaseOnExit&) = delete;
    CReleaseOnExit& operator=(const CReleaseOnExit&) = delete;
    T* get() const { return m_p; }

  private:
    T* m_p;
};

BOOL ButtonDown() { return (::GetAsyncKeyState(VK_LBUTTON) & 0x8000) || (::GetAsyncKeyState(VK_RBUTTON) & 0x8000); }

// Before OLE takes over: the drag begins once the mouse leaves the start rectangle or the
// delay passes with a button still held; a release or Esc first means no drag at all.
BOOL WaitForDragStart(const RECT& startRect) {
    HWND hCapture = ::GetFocus() != nullptr ? ::GetFocus() : ::GetActiveWindow();
    if (hCapture != nullptr) ::SetCapture(hCapture);
    DWORD start = ::GetTickCount();
    BOOL drag = FALSE;
    for (;;) {
        POINT pt;
        ::GetCursorPos(&pt);
        if (!::PtInRect(&startRect, pt) || ::GetTickCount() - start >= kDragDelayMs) {
            drag = ButtonDown();
            break;
        }
        if (!ButtonDown() || (::GetAsyncKeyState(VK_ESCAPE) & 0x8000)) break;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_INPUT);
    }
    if (hCapture != nullptr && ::GetCapture() == hCapture) ::ReleaseCapture();
    return drag;
}

}  // namespace

HGLOBAL AllocTextBlock(const char* text, UINT extraFlags) {
    SIZE_T size = std::strlen(text) + 1;
    HGLOBAL hBlock = ::GlobalAlloc(GMEM_MOVEABLE | extraFlags, size);
    if (hBlock == nullptr) return nullptr;
    void* p = ::GlobalLock(hBlock);
    if (p == nullptr) {
        ::GlobalFree(hBlock);
        return nullptr;
    }
    std::memcpy(p, text, size);
    ::GlobalUnlock(hBlock);
    return hBlock;
}

CLinkServerItem::CLinkServerItem(const char* linkText) : m_strLink(linkText) {}

CLinkServerItem::~CLinkServerItem() = default;

IDataObject* CLinkServerItem::OnGetClipboardData() {
    HGLOBAL hCached = AllocTextBlock(m_strLink, GMEM_DDESHARE);
    if (hCached == nullptr) return nullptr;
    return new CLinkDataObject(m_strLink, hCached);
}

DWORD CLinkServerItem::DoDragDrop(DWORD allowedEffects, const RECT* pStartDragRect) {
    RECT startRect;
    if (pStartDragRect != nullptr) {
        startRect = *pStartDragRect;
    } else {
        POINT pt;
        ::GetCursorPos(&pt);
        int dx = ::GetSystemMetrics(SM_CXDRAG), dy = ::GetSystemMetrics(SM_CYDRAG);
        ::SetRect(&startRect, pt.x - dx, pt.y - dy, pt.x + dx + 1, pt.y + dy + 1);
    }
    if (!WaitForDragStart(startRect)) return DROPEFFECT_NONE;

    CReleaseOnExit<IDataObject> data(OnGetClipboardData());
    if (data.get() == nullptr) return DROPEFFECT_NONE;
    CReleaseOnExit<IDropSource> source(new CLinkDropSource);
    DWORD effect = DROPEFFECT_NONE;
    HRESULT hr = ::DoDragDrop(data.get(), source.get(), allowedEffects, &effect);
    return hr == DRAGDROP_S_DROP ? effect : DROPEFFECT_NONE;
}
