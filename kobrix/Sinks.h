#pragma once
// The COM objects the library hands to servers: the data-change sink of a group (DA 2.0
// IOPCDataCallback, or DA 1.0 IAdviseSink) and the shutdown sink of a server. They carry only handles, never pointers
// into the tables, so a call that arrives after its group or server was removed finds nothing and is dropped.
#include "opcda.h"

namespace kobrix {

class DataSink final : public IOPCDataCallback {
  public:
    DataSink(int hServer, int hGroup) : hServer_(hServer), hGroup_(hGroup) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP OnDataChange(DWORD transid, OPCHANDLE hGroup, HRESULT masterQuality, HRESULT masterError, DWORD count,
                              OPCHANDLE* clientItems, VARIANT* values, WORD* qualities, FILETIME* timeStamps,
                              HRESULT* errors) override;
    STDMETHODIMP OnReadComplete(DWORD transid, OPCHANDLE hGroup, HRESULT masterQuality, HRESULT masterError,
                                DWORD count, OPCHANDLE* clientItems, VARIANT* values, WORD* qualities,
                                FILETIME* timeStamps, HRESULT* errors) override;
    STDMETHODIMP OnWriteComplete(DWORD transid, OPCHANDLE hGroup, HRESULT masterError, DWORD count,
                                 OPCHANDLE* clientItems, HRESULT* errors) override;
    STDMETHODIMP OnCancelComplete(DWORD transid, OPCHANDLE hGroup) override;

  private:
    HRESULT Deliver(DWORD count, const OPCHANDLE* clientItems, const VARIANT* values, const WORD* qualities,
                    const FILETIME* timeStamps);
    LONG refs_ = 1;
    const int hServer_;
    const int hGroup_;
};

// The DA 1.0 data path: OnDataChange brings one OPCSTMFORMATDATATIME block (Stream.h).
class StreamSink final : public IAdviseSink {
  public:
    StreamSink(int hServer, int hGroup) : hServer_(hServer), hGroup_(hGroup) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    void STDMETHODCALLTYPE OnDataChange(FORMATETC* format, STGMEDIUM* medium) override;
    void STDMETHODCALLTYPE OnViewChange(DWORD, LONG) override {}
    void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
    void STDMETHODCALLTYPE OnSave() override {}
    void STDMETHODCALLTYPE OnClose() override {}

  private:
    LONG refs_ = 1;
    const int hServer_;
    const int hGroup_;
};

class ShutdownSink final : public IOPCShutdown {
  public:
    explicit ShutdownSink(int hServer) : hServer_(hServer) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP ShutdownRequest(LPCWSTR reason) override;

  private:
    LONG refs_ = 1;
    const int hServer_;
};

}  // namespace kobrix
