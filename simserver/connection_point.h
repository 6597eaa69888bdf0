#pragma once
// A connection point for one outgoing interface (IOPCShutdown on the server object,
// IOPCDataCallback on a group). It lives inside its container and shares the
// container's reference count, so holding the connection point keeps the container alive.
//
// Threading: the sink list is guarded by a mutex. Callers fire events on a snapshot
// taken with sinks(), never while holding any lock of their own, because a call into a
// client can take as long as the client likes.
#include "com_util.h"
#include "tags.h"

#include <ocidl.h>
#include <olectl.h>

#include <mutex>
#include <vector>

namespace sim {

template <class Sink>
class ConnectionPoint final : public IConnectionPoint {
  public:
    // single: one connection only (a group's data callback); others get CONNECT_E_ADVISELIMIT.
    ConnectionPoint(IConnectionPointContainer* owner, const IID& iid, bool single)
        : m_owner(owner), m_iid(iid), m_single(single) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
            *ppv = static_cast<IConnectionPoint*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return m_owner->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return m_owner->Release(); }

    STDMETHODIMP GetConnectionInterface(IID* piid) override {
        if (!piid) return E_POINTER;
        *piid = m_iid;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** ppcpc) override {
        if (!ppcpc) return E_POINTER;
        *ppcpc = m_owner;
        m_owner->AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* unk, DWORD* cookie) override {
        HangGate();
        if (cookie) *cookie = 0;
        if (!unk || !cookie) return E_POINTER;
        ComPtr<Sink> sink;
        if (FAILED(unk->QueryInterface(m_iid, reinterpret_cast<void**>(sink.Put())))) return CONNECT_E_CANNOTCONNECT;
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_single && !m_sinks.empty()) return CONNECT_E_ADVISELIMIT;
        m_sinks.push_back({++m_lastCookie, sink});
        *cookie = m_lastCookie;
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
        HangGate();
        ComPtr<Sink> gone;  // released after the lock
        std::lock_guard<std::mutex> lock(m_lock);
        for (auto it = m_sinks.begin(); it != m_sinks.end(); ++it) {
            if (it->cookie == cookie) {
                gone = it->sink;
                m_sinks.erase(it);
                return S_OK;
            }
        }
        return CONNECT_E_NOCONNECTION;
    }
    STDMETHODIMP EnumConnections(IEnumConnections** ppEnum) override {
        if (ppEnum) *ppEnum = nullptr;
        return E_NOTIMPL;
    }

    std::vector<ComPtr<Sink>> sinks() {
        std::lock_guard<std::mutex> lock(m_lock);
        std::vector<ComPtr<Sink>> out;
        for (auto& c : m_sinks) out.push_back(c.sink);
        return out;
    }
    bool connected() {
        std::lock_guard<std::mutex> lock(m_lock);
        return !m_sinks.empty();
    }
    // Forgets a sink whose client has gone away, so it is not called again.
    void drop(Sink* sink) {
        std::vector<Connection> gone;
        std::lock_guard<std::mutex> lock(m_lock);
        for (auto it = m_sinks.begin(); it != m_sinks.end();) {
            if (it->sink.Get() == sink) {
                gone.push_back(*it);
                it = m_sinks.erase(it);
            } else
                ++it;
        }
    }
    // Releases every sink (the container is going away or was removed).
    void dropAll() {
        std::vector<Connection> gone;
        std::lock_guard<std::mutex> lock(m_lock);
        gone.swap(m_sinks);
    }

  private:
    struct Connection {
        DWORD cookie;
        ComPtr<Sink> sink;
    };
    IConnectionPointContainer* m_owner;
    IID m_iid;
    bool m_single;
    std::mutex m_lock;
    std::vector<Connection> m_sinks;
    DWORD m_lastCookie = 0;
};

// True for the failures that mean the client process or its apartment is gone.
inline bool ClientGone(HRESULT hr) {
    return hr == RPC_E_DISCONNECTED || hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) ||
           hr == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED) || hr == RPC_E_SERVER_DIED || hr == RPC_E_SERVER_DIED_DNE ||
           hr == CO_E_OBJNOTCONNECTED;
}

}  // namespace sim
