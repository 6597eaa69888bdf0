#pragma once
// Raw-COM client helpers for the simulation server tests: sinks that record what arrives,
// and RAII wrappers that release everything they made so
// the server can exit by itself.
// Threading: everything here runs on the test's single-threaded apartment (the main
// thread); callbacks arrive on it while qvtest::WaitUntil serves its messages.
#include "opcda.h"
#include "com/ComPtr.h"
#include "tests/win/support/opc.h"
#include "tests/win/support/wait.h"

#include <string>
#include <vector>

namespace simtest {

using com::ComPtr;
using com::Variant;

constexpr wchar_t kHierarchical[] = L"Quorvane.Simulation.1";
constexpr wchar_t kFlat[] = L"Quorvane.SimulationFlat.1";

inline HRESULT Connect(const wchar_t* progId, ComPtr<IOPCServer>& server) { return qvtest::ConnectSim(progId, server); }

template <class I>
ComPtr<I> Query(IUnknown* unk, const IID& iid) {
    ComPtr<I> out;
    if (unk) unk->QueryInterface(iid, reinterpret_cast<void**>(out.Put()));
    return out;
}

// One item value as received in a callback.
struct Received {
    DWORD transactionId;
    OPCHANDLE item;
    Variant value;
};

// Client-side IOPCDataCallback that records every value.
class DataSink final : public IOPCDataCallback {
  public:
    DataSink() = default;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP OnDataChange(DWORD dwTransid, OPCHANDLE hGroup, HRESULT hrMasterquality, HRESULT hrMastererror,
                              DWORD dwCount, OPCHANDLE* phClientItems, VARIANT* pvValues, WORD* pwQualities,
                              FILETIME* pftTimeStamps, HRESULT* pErrors) override;
    // Asynchronous reads and writes: none made.
    STDMETHODIMP OnReadComplete(DWORD, OPCHANDLE, HRESULT, HRESULT, DWORD, OPCHANDLE*, VARIANT*, WORD*, FILETIME*,
                                HRESULT*) override {
        return S_OK;
    }
    STDMETHODIMP OnWriteComplete(DWORD, OPCHANDLE, HRESULT, DWORD, OPCHANDLE*, HRESULT*) override { return S_OK; }
    STDMETHODIMP OnCancelComplete(DWORD, OPCHANDLE) override { return S_OK; }

    std::vector<Received> changes;  // OnDataChange values
    std::vector<DWORD> callSizes;   // values per OnDataChange
    // Values received for one client item handle, in order.
    std::vector<const Received*> of(OPCHANDLE item) const;

  private:
    ~DataSink() = default;
    ULONG m_refs = 1;
};

// An advise on a connection point, undone on destruction.
class Advise {
  public:
    Advise(IUnknown* container, const IID& iid, IUnknown* sink);
    ~Advise();
    Advise(const Advise&) = delete;
    Advise& operator=(const Advise&) = delete;
    HRESULT result() const { return m_hr; }

  private:
    ComPtr<IConnectionPoint> m_point;
    DWORD m_cookie = 0;
    HRESULT m_hr = E_FAIL;
};

// A group on a server object; RemoveGroup on destruction after its interfaces are released.
class TestGroup {
  public:
    TestGroup(IOPCServer* server, DWORD rate, FLOAT deadband = 0, BOOL active = TRUE);
    ~TestGroup();
    TestGroup(const TestGroup&) = delete;
    TestGroup& operator=(const TestGroup&) = delete;

    HRESULT addResult() const { return m_hr; }
    OPCHANDLE serverHandle() const { return m_handle; }
    IOPCItemMgt* items() const { return m_items.Get(); }
    ComPtr<IOPCSyncIO> sync() const { return Query<IOPCSyncIO>(m_items.Get(), IID_IOPCSyncIO); }

    // Adds one item with the given client handle; returns the server handle or 0, and the per-item error.
    OPCHANDLE add(const wchar_t* id, OPCHANDLE client, HRESULT* error = nullptr);
    // Synchronous write of one item; returns the per-item error (or the call's failure).
    HRESULT write(OPCHANDLE item, const VARIANT& value);
    // Synchronous read of one item.
    HRESULT read(OPCHANDLE item, Variant& value, WORD& quality, OPCDATASOURCE source = OPC_DS_DEVICE);
    void release();  // releases the interfaces and removes the group now

  private:
    ComPtr<IOPCServer> m_server;
    ComPtr<IOPCItemMgt> m_items;
    OPCHANDLE m_handle = 0;
    DWORD m_revised = 0;
    HRESULT m_hr = E_FAIL;
};

// Names listed by BrowseOPCItemIDs at the current position, taken with Next(chunk).
HRESULT Browse(IOPCBrowseServerAddressSpace* browse, OPCBROWSETYPE type, std::vector<std::wstring>& names,
               ULONG chunk = 64);

// Child mode of the test program: connects, subscribes, then kills itself without
// releasing anything, as a crashed client would.
constexpr char kOrphanClientArg[] = "--orphan-client";
[[noreturn]] void RunOrphanClient();

// The shared connection that keeps one server process running between tests.
class KeepAlive {
  public:
    static IOPCServer* server();
    static void release();
};

}  // namespace simtest
