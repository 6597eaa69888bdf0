#include "tests/win/support/opc.h"

#include "tests/win/support/tools.h"

#include <tlhelp32.h>

#include <cstdio>

namespace qvtest {

VARIANT MakeVariant(VARTYPE vt, double v) {
    VARIANT r;
    VariantInit(&r);
    r.vt = VT_R8;
    r.dblVal = v;
    if (vt != VT_R8) VariantChangeType(&r, &r, 0, vt);
    return r;
}

std::vector<DWORD> SimServerProcesses() {
    std::vector<DWORD> pids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return pids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snap, &entry); more; more = Process32NextW(snap, &entry)) {
        if (_wcsicmp(entry.szExeFile, L"QuorvaneSim.exe") != 0) continue;
        // A process object outlives its process while handles to it stay open, and the
        // snapshot lists it; only a live one counts.
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID);
        if (process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT) pids.push_back(entry.th32ProcessID);
        if (process) CloseHandle(process);
    }
    CloseHandle(snap);
    return pids;
}

bool RegisterAllSimClasses() { return RunTool("QuorvaneSim", {"/RegServer", "/All"}).exitCode == 0; }

HRESULT ConnectSim(const wchar_t* progId, com::ComPtr<IOPCServer>& server) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr)) return hr;
    return CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IOPCServer,
                            reinterpret_cast<void**>(server.Put()));
}

ControlTag::ControlTag(const wchar_t* id, const VARIANT& value, const VARIANT& reset) : reset_(reset) {
    com_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    if (FAILED(hr_ = ConnectSim(L"Quorvane.Simulation.1", server_))) return;
    step_ = "AddGroup";
    DWORD revised = 0;
    hr_ = server_->AddGroup(L"", FALSE, 1000, 1, nullptr, nullptr, 0, &groupHandle_, &revised, IID_IOPCItemMgt,
                            reinterpret_cast<IUnknown**>(group_.Put()));
    if (FAILED(hr_)) return;
    step_ = "AddItems";
    OPCITEMDEF def{};
    def.szItemID = const_cast<LPWSTR>(id);
    def.bActive = FALSE;
    def.hClient = 1;
    OPCITEMRESULT* results = nullptr;
    HRESULT* errors = nullptr;
    hr_ = group_->AddItems(1, &def, &results, &errors);
    if (SUCCEEDED(hr_)) {
        hr_ = errors[0];
        if (SUCCEEDED(hr_)) item_ = results[0].hServer;
        CoTaskMemFree(results[0].pBlob);
    }
    CoTaskMemFree(results);
    CoTaskMemFree(errors);
    if (FAILED(hr_)) return;
    step_ = "Write";
    hr_ = Write(value);
}

HRESULT ControlTag::Write(const VARIANT& value) {
    com::ComPtr<IOPCSyncIO> io;
    if (!group_ || !item_ || FAILED(group_->QueryInterface(IID_IOPCSyncIO, reinterpret_cast<void**>(io.Put()))))
        return E_FAIL;
    HRESULT* errors = nullptr;
    HRESULT hr = io->Write(1, &item_, const_cast<VARIANT*>(&value), &errors);
    if (SUCCEEDED(hr)) hr = errors[0];
    CoTaskMemFree(errors);
    return hr;
}

ControlTag::~ControlTag() {
    if (item_) Write(reset_.Ref());
    group_.Reset();
    if (groupHandle_) server_->RemoveGroup(groupHandle_, TRUE);
    server_.Reset();
    if (com_) CoUninitialize();
}

::testing::AssertionResult ControlTag::ok() const {
    if (SUCCEEDED(hr_)) return ::testing::AssertionSuccess();
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(hr_));
    return ::testing::AssertionFailure() << "control tag: " << step_ << " failed with " << hex;
}

}  // namespace qvtest
