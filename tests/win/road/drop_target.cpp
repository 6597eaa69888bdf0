#include "tests/win/road/drop_target.h"

namespace road {

struct DropWindow::Target final : public IDropTarget {
    LONG refs = 1;
    bool entered = false;
    int drops = 0;
    DWORD allowed = 0;
    std::string hglobal;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDropTarget) {
            *ppv = static_cast<IDropTarget*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs); }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG n = InterlockedDecrement(&refs);
        if (n == 0) delete this;
        return n;
    }
    STDMETHODIMP DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
        entered = true;
        *effect = DROPEFFECT_MOVE;
        return S_OK;
    }
    STDMETHODIMP DragOver(DWORD, POINTL, DWORD* effect) override {
        *effect = DROPEFFECT_MOVE;
        return S_OK;
    }
    STDMETHODIMP DragLeave() override { return S_OK; }
    STDMETHODIMP Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        ++drops;
        allowed = *effect;
        FORMATETC f{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM m{};
        if (SUCCEEDED(data->GetData(&f, &m))) {
            if (m.tymed == TYMED_HGLOBAL) {
                const char* p = static_cast<const char*>(GlobalLock(m.hGlobal));
                if (p != nullptr) hglobal.assign(p, GlobalSize(m.hGlobal));
                GlobalUnlock(m.hGlobal);
            }
            ReleaseStgMedium(&m);
        }
        *effect = DROPEFFECT_MOVE;  // a move: the source must not lose its row for it
        return S_OK;
    }
};

DropWindow::DropWindow(int x, int y, int cx, int cy) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "RoadDropWindow";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassA(&wc);
    hwnd_ = CreateWindowExA(WS_EX_TOPMOST, "RoadDropWindow", "Drop here", WS_POPUP | WS_VISIBLE | WS_BORDER, x, y, cx,
                            cy, nullptr, nullptr, wc.hInstance, nullptr);
    target_ = new Target;
    registered_ = hwnd_ != nullptr && SUCCEEDED(RegisterDragDrop(hwnd_, target_));
}

DropWindow::~DropWindow() {
    if (registered_) RevokeDragDrop(hwnd_);
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    target_->Release();
}

bool DropWindow::entered() const { return target_->entered; }
int DropWindow::drops() const { return target_->drops; }
std::string DropWindow::hglobalBytes() const { return target_->hglobal; }
DWORD DropWindow::allowedEffects() const { return target_->allowed; }

}  // namespace road
