// The DA 1.0 side of a group: IDataObject::DAdvise with the registered format
// "OPCSTMFORMATDATATIME", and data changes sent to the client's IAdviseSink as one
// HGLOBAL block each:
//   OPCGROUPHEADER | OPCITEMHEADER1 x dwItemCount | the values
// Each value is a VARIANT at the offset its item header gives (8-aligned); a VT_BSTR value's
// pointer field is zero and the VARIANT is followed by a DWORD byte count and the UTF-16
// characters with a terminating zero. The block belongs to this side and is freed after the
// call (a sink must not keep it).
#include "group.h"

#include <vector>

namespace sim {
namespace {

CLIPFORMAT DataTimeFormat() {
    static const CLIPFORMAT format = static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"OPCSTMFORMATDATATIME"));
    return format;
}

bool Supported(const FORMATETC* f) {
    return f && f->cfFormat == DataTimeFormat() && (f->tymed & TYMED_HGLOBAL) && !f->ptd;
}

size_t Align8(size_t n) { return (n + 7) & ~size_t(7); }

// Owns a global memory block until it is handed on.
class Global {
  public:
    explicit Global(size_t size) : m_h(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size)) {}
    ~Global() {
        if (m_h) GlobalFree(m_h);
    }
    Global(const Global&) = delete;
    Global& operator=(const Global&) = delete;
    HGLOBAL get() const { return m_h; }

  private:
    HGLOBAL m_h;
};

}  // namespace

void Group::fireStream(const Batch& batch, DWORD transactionId) {
    std::vector<ComPtr<IAdviseSink>> sinks = m_stream.sinks();
    if (sinks.empty()) return;
    const size_t n = batch.handles.size();
    // Sizes first, then one block.
    std::vector<size_t> offsets(n);
    size_t size = Align8(sizeof(OPCGROUPHEADER) + n * sizeof(OPCITEMHEADER1));
    for (size_t i = 0; i < n; ++i) {
        offsets[i] = size;
        size += sizeof(VARIANT);
        if (batch.values[i].vt == VT_BSTR)
            size += sizeof(DWORD) + SysStringByteLen(batch.values[i].bstrVal) + sizeof(wchar_t);
        size = Align8(size);
    }
    Global block(size);
    auto* base = static_cast<BYTE*>(block.get() ? GlobalLock(block.get()) : nullptr);
    if (!base) return;
    auto* group = reinterpret_cast<OPCGROUPHEADER*>(base);
    group->dwSize = static_cast<DWORD>(size);
    group->dwItemCount = static_cast<DWORD>(n);
    group->hClientGroup = batch.group;
    group->dwTransactionID = transactionId;
    group->hrStatus = batch.masterError();
    auto* items = reinterpret_cast<OPCITEMHEADER1*>(base + sizeof(OPCGROUPHEADER));
    for (size_t i = 0; i < n; ++i) {
        items[i].hClient = batch.handles[i];
        items[i].dwValueOffset = static_cast<DWORD>(offsets[i]);
        items[i].wQuality = batch.qualities[i];
        items[i].ftTimeStampItem = batch.stamps[i];
        VARIANT flat = batch.values[i];  // a shallow copy: only the value fields travel
        if (flat.vt == VT_BSTR) {
            const DWORD bytes = SysStringByteLen(batch.values[i].bstrVal);
            flat.bstrVal = nullptr;
            BYTE* text = base + offsets[i] + sizeof(VARIANT);
            std::memcpy(text, &bytes, sizeof bytes);
            if (bytes) std::memcpy(text + sizeof bytes, batch.values[i].bstrVal, bytes);
        }
        std::memcpy(base + offsets[i], &flat, sizeof flat);
    }
    GlobalUnlock(block.get());

    FORMATETC format = {DataTimeFormat(), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    for (ComPtr<IAdviseSink>& sink : sinks) {
        STGMEDIUM medium = {};
        medium.tymed = TYMED_HGLOBAL;
        medium.hGlobal = block.get();
        sink->OnDataChange(&format, &medium);  // no answer comes back: a sink of a dead client stays until unadvised
    }
}

STDMETHODIMP Group::GetData(FORMATETC*, STGMEDIUM*) {
    HangGate();
    return E_NOTIMPL;
}
STDMETHODIMP Group::GetDataHere(FORMATETC*, STGMEDIUM*) {
    HangGate();
    return E_NOTIMPL;
}
STDMETHODIMP Group::QueryGetData(FORMATETC* format) {
    HangGate();
    return Supported(format) ? S_OK : DV_E_FORMATETC;
}
STDMETHODIMP Group::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
    HangGate();
    if (out) out->ptd = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP Group::SetData(FORMATETC*, STGMEDIUM*, BOOL) {
    HangGate();
    return E_NOTIMPL;
}
STDMETHODIMP Group::EnumFormatEtc(DWORD, IEnumFORMATETC** ppEnum) {
    HangGate();
    if (ppEnum) *ppEnum = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP Group::DAdvise(FORMATETC* format, DWORD, IAdviseSink* sink, DWORD* connection) {
    HangGate();
    if (connection) *connection = 0;
    if (!format || !sink || !connection) return E_POINTER;
    if (!Supported(format)) return DV_E_FORMATETC;
    if (!attached()) return E_FAIL;
    return m_stream.Advise(sink, connection);
}

STDMETHODIMP Group::DUnadvise(DWORD connection) {
    HangGate();
    return m_stream.Unadvise(connection);
}

STDMETHODIMP Group::EnumDAdvise(IEnumSTATDATA** ppEnum) {
    HangGate();
    if (ppEnum) *ppEnum = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
}

}  // namespace sim
