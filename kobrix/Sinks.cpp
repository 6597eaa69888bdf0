#include "kobrix/Sinks.h"

#include "kobrix/State.h"
#include "kobrix/Stream.h"

namespace kobrix {

namespace {

template <class Sink>
HRESULT QueryFor(Sink* self, REFIID iid, REFIID own, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, own)) {
        *out = self;
        self->AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

}  // namespace

STDMETHODIMP DataSink::QueryInterface(REFIID iid, void** out) { return QueryFor(this, iid, IID_IOPCDataCallback, out); }
STDMETHODIMP_(ULONG) DataSink::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
STDMETHODIMP_(ULONG) DataSink::Release() {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

HRESULT DataSink::Deliver(DWORD count, const OPCHANDLE* clientItems, const VARIANT* values, const WORD* qualities,
                          const FILETIME* timeStamps) {
    if (count && (!clientItems || !values || !qualities || !timeStamps)) return E_INVALIDARG;
    // Keep ourselves alive: a callback may remove the group, which releases our owner reference.
    // Nothing may unwind into COM's stub.
    AddRef();
    HRESULT hr = S_OK;
    try {
        for (DWORD i = 0; i < count; ++i) {
            Library::Instance().DeliverDataChange(hServer_, hGroup_, static_cast<int>(clientItems[i]), &values[i],
                                                  timeStamps[i], qualities[i]);
        }
    } catch (...) {
        hr = E_UNEXPECTED;
    }
    Release();
    return hr;
}

STDMETHODIMP DataSink::OnDataChange(DWORD, OPCHANDLE, HRESULT, HRESULT, DWORD count, OPCHANDLE* clientItems,
                                    VARIANT* values, WORD* qualities, FILETIME* timeStamps, HRESULT*) {
    return Deliver(count, clientItems, values, qualities, timeStamps);
}

STDMETHODIMP DataSink::OnReadComplete(DWORD, OPCHANDLE, HRESULT, HRESULT, DWORD count, OPCHANDLE* clientItems,
                                      VARIANT* values, WORD* qualities, FILETIME* timeStamps, HRESULT*) {
    return Deliver(count, clientItems, values, qualities, timeStamps);
}

STDMETHODIMP DataSink::OnWriteComplete(DWORD, OPCHANDLE, HRESULT, DWORD, OPCHANDLE*, HRESULT*) { return S_OK; }
STDMETHODIMP DataSink::OnCancelComplete(DWORD, OPCHANDLE) { return S_OK; }

STDMETHODIMP StreamSink::QueryInterface(REFIID iid, void** out) { return QueryFor(this, iid, IID_IAdviseSink, out); }
STDMETHODIMP_(ULONG) StreamSink::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
STDMETHODIMP_(ULONG) StreamSink::Release() {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

// The medium stays the caller's: it is read, never released here.
void StreamSink::OnDataChange(FORMATETC* format, STGMEDIUM* medium) {
    if (!format || !medium || medium->tymed != TYMED_HGLOBAL || !medium->hGlobal) return;
    const SIZE_T size = GlobalSize(medium->hGlobal);
    const BYTE* data = static_cast<const BYTE*>(GlobalLock(medium->hGlobal));
    if (!data) return;
    AddRef();  // a callback may remove the group, which releases our owner reference
    try {
        DecodeDataTime(data, size, [&](DWORD hClient, const VARIANT& value, const FILETIME& time, WORD quality) {
            Library::Instance().DeliverDataChange(hServer_, hGroup_, static_cast<int>(hClient), &value, time, quality);
        });
    } catch (...) {
    }
    GlobalUnlock(medium->hGlobal);
    Release();
}

STDMETHODIMP ShutdownSink::QueryInterface(REFIID iid, void** out) { return QueryFor(this, iid, IID_IOPCShutdown, out); }
STDMETHODIMP_(ULONG) ShutdownSink::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
STDMETHODIMP_(ULONG) ShutdownSink::Release() {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

STDMETHODIMP ShutdownSink::ShutdownRequest(LPCWSTR) {
    AddRef();
    HRESULT hr = S_OK;
    try {
        Library::Instance().DeliverShutdown(hServer_);
    } catch (...) {
        hr = E_UNEXPECTED;
    }
    Release();
    return hr;
}

}  // namespace kobrix
