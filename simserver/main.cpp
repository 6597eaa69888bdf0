// QuorvaneSim.exe: the OPC DA simulation server, an out-of-process COM server.
//   QuorvaneSim.exe /RegServer [/DA1] [/All]   write the registry entries (exit code 0 = done);
//                                       /All adds the no-browse and the DA 1.0 class
//   QuorvaneSim.exe /UnregServer        remove them
//   QuorvaneSim.exe -Embedding          started by COM: serve until the last object goes
//   QuorvaneSim.exe /Solo -Embedding    the same for the own-process class only
// Threading: the main thread joins the multithreaded apartment, registers the class
// objects and waits in a message loop for the "no objects left" note; client calls
// arrive on RPC threads, data changes leave from the worker thread (worker.h).
#include "address_space.h"
#include "com_util.h"
#include "registration.h"
#include "server.h"
#include "worker.h"

#include <shellapi.h>

#include <cstdio>

namespace sim {
namespace {

// Started by hand and never used: give up after this long.
constexpr ULONGLONG kIdleExitMs = 60000;

class ClassFactory final : public IClassFactory {
  public:
    explicit ClassFactory(const Flavour& flavour) : m_flavour(flavour) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // Lives as long as the process; COM's references do not keep the server running.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (ppv) *ppv = nullptr;
        if (!ppv) return E_POINTER;
        if (outer) return CLASS_E_NOAGGREGATION;
        return OpcServer::create(m_flavour, riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            ModuleLife::add();
        else
            ModuleLife::remove(ModuleLife::callerProcessId());
        return S_OK;
    }

  private:
    Flavour m_flavour;
};

struct Options {
    bool reg = false, unreg = false, da1 = false, all = false, solo = false;
};

Options ParseCommandLine() {
    Options o;
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 1; argv && i < argc; ++i) {
        const wchar_t* a = argv[i];
        if (*a == L'/' || *a == L'-') ++a;
        if (!lstrcmpiW(a, L"RegServer"))
            o.reg = true;
        else if (!lstrcmpiW(a, L"UnregServer"))
            o.unreg = true;
        else if (!lstrcmpiW(a, L"DA1"))
            o.da1 = true;
        else if (!lstrcmpiW(a, L"All"))
            o.all = true;
        else if (!lstrcmpiW(a, L"Solo"))
            o.solo = true;
    }
    LocalFree(argv);
    return o;
}

int Register(const Options& o) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HRESULT hr = o.unreg ? UnregisterServer() : RegisterServer(o.da1, o.all);
    CoUninitialize();
    if (FAILED(hr))
        std::fprintf(stderr, "QuorvaneSim: %s failed, 0x%08lX\n", o.unreg ? "unregistration" : "registration",
                     static_cast<unsigned long>(hr));
    return SUCCEEDED(hr) ? 0 : 1;
}

void PumpUntil(bool (*done)()) {
    MSG msg;
    while (!done() && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
}

// solo: serve only the own-process class, so that a second server process exists beside
// the one that serves the other classes (its control tags, a hang among them, its own).
int Serve(bool solo) {
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // make the message queue
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hr)) return 1;
    // Clients (and their callback sinks) may run under other accounts; this is a test server.
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_NONE, RPC_C_IMP_LEVEL_IDENTIFY, nullptr,
                         EOAC_NONE, nullptr);
    ModuleLife::start(GetCurrentThreadId());
    Simulation::instance();
    AddressSpace::get(Space::Hierarchical);
    AddressSpace::get(Space::Flat);
    Worker::start();

    static ClassFactory factories[] = {
        ClassFactory({Space::Hierarchical, true, false}), ClassFactory({Space::Flat, true, false}),
        ClassFactory({Space::Hierarchical, false, false}), ClassFactory({Space::Hierarchical, true, true})};
    const CLSID* classes[] = {&CLSID_QuorvaneSimulation, &CLSID_QuorvaneSimulationFlat,
                              &CLSID_QuorvaneSimulationNoBrowse, &CLSID_QuorvaneSimulationDA1};
    static ClassFactory soloFactory({Space::Hierarchical, true, false});
    DWORD cookies[4] = {0, 0, 0, 0};
    if (solo)
        hr = CoRegisterClassObject(CLSID_QuorvaneSimulationSolo, &soloFactory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                   &cookies[0]);
    for (int i = 0; i < 4 && SUCCEEDED(hr) && !solo; ++i)
        hr = CoRegisterClassObject(*classes[i], &factories[i], CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookies[i]);
    bool orphaned = false;
    if (SUCCEEDED(hr)) {
        const ULONGLONG started = GetTickCount64();
        SetTimer(nullptr, 0, 1000, nullptr);
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            DispatchMessageW(&msg);
            if (msg.message == kClientsGone && !msg.hwnd) {
                orphaned = true;
                break;
            }
            if (ModuleLife::everUsed() ? ModuleLife::count() == 0 : GetTickCount64() - started > kIdleExitMs) break;
        }
    }
    for (DWORD c : cookies)
        if (c) CoRevokeClassObject(c);
    // An activation that slipped in before the revoke still gets served to its end; objects
    // of clients that were killed are simply left behind.
    if (!orphaned) PumpUntil([] { return ModuleLife::count() == 0; });
    Worker::stop();
    CoUninitialize();
    return SUCCEEDED(hr) ? 0 : 1;
}

}  // namespace
}  // namespace sim

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const sim::Options o = sim::ParseCommandLine();
    if (o.reg || o.unreg) return sim::Register(o);
    return sim::Serve(o.solo);
}
