// Self-registration: ProgIDs, CLSID keys with LocalServer32, and the OPC component
// category, all under HKEY_CLASSES_ROOT. Registering again overwrites the same entries.
#include "registration.h"

#include "com_util.h"
#include "opcda.h"

#include <comcat.h>

#include <string>

namespace sim {

const CLSID CLSID_QuorvaneSimulation = {0x5B3E4581, 0xCC9F, 0x47CC, {0x8C, 0x17, 0xA9, 0xDD, 0x63, 0xDB, 0x3E, 0x01}};
const CLSID CLSID_QuorvaneSimulationFlat = {
    0xF122D24D, 0xA7D8, 0x4F70, {0x85, 0xAC, 0xD2, 0x5C, 0xFA, 0xDB, 0x1B, 0x18}};
const CLSID CLSID_QuorvaneSimulationNoBrowse = {
    0x9C41D7A2, 0x3E5B, 0x4F1A, {0x8D, 0x62, 0x17, 0xB0, 0x4C, 0x9E, 0x25, 0xD3}};
const CLSID CLSID_QuorvaneSimulationDA1 = {
    0x2E8F6B14, 0xC7A9, 0x4D35, {0xB1, 0x0E, 0x6A, 0x93, 0xF2, 0x58, 0xD4, 0x71}};
const CLSID CLSID_QuorvaneSimulationSolo = {
    0x7D2C5E90, 0x48B3, 0x4A6F, {0x9E, 0x21, 0x5C, 0x0B, 0x83, 0xF6, 0xA4, 0x17}};

namespace {

const wchar_t kVendor[] = L"Quorvane";

struct ClassEntry {
    const CLSID* clsid;
    const wchar_t* progId;
    const wchar_t* versionIndependent;
    const wchar_t* description;
    bool da1Class;                  // registered under the DA 1.0 category whatever the option
    bool extra;                     // registered only when asked for (/All)
    const wchar_t* switches = L"";  // after the program on its LocalServer32 command line
};

const ClassEntry kClasses[] = {
    {&CLSID_QuorvaneSimulation, L"Quorvane.Simulation.1", L"Quorvane.Simulation", L"Quorvane Simulation Server", false,
     false},
    {&CLSID_QuorvaneSimulationFlat, L"Quorvane.SimulationFlat.1", L"Quorvane.SimulationFlat",
     L"Quorvane Simulation Server (flat)", false, false},
    {&CLSID_QuorvaneSimulationNoBrowse, L"Quorvane.SimulationNoBrowse.1", L"Quorvane.SimulationNoBrowse",
     L"Quorvane Simulation Server (no browsing)", false, true},
    {&CLSID_QuorvaneSimulationDA1, L"Quorvane.SimulationDA1.1", L"Quorvane.SimulationDA1",
     L"Quorvane Simulation Server (DA 1.0)", true, true},
    {&CLSID_QuorvaneSimulationSolo, L"Quorvane.SimulationSolo.1", L"Quorvane.SimulationSolo",
     L"Quorvane Simulation Server (own process)", false, true, L" /Solo"},
};

std::wstring GuidText(const GUID& g) {
    wchar_t buf[40];
    StringFromGUID2(g, buf, 40);
    return buf;
}

LSTATUS SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY h;
    LSTATUS rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    return rc;
}

LSTATUS DeleteTree(const std::wstring& key) {
    LSTATUS rc = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

HRESULT CategoryManager(ComPtr<ICatRegister>& out) {
    return CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatRegister,
                            reinterpret_cast<void**>(out.Put()));
}

HRESULT RegisterCategory(ICatRegister* cats, const CATID& catid, const wchar_t* description) {
    CATEGORYINFO info{};
    info.catid = catid;
    info.lcid = 0x0409;
    lstrcpynW(info.szDescription, description, 128);
    return cats->RegisterCategories(1, &info);
}

// Removes one class: its categories, CLSID key and ProgIDs.
LSTATUS Unregister(const ClassEntry& c, ICatRegister* cats) {
    if (cats) {
        CATID both[] = {CATID_OPCDAServer10, CATID_OPCDAServer20};
        cats->UnRegisterClassImplCategories(*c.clsid, 2, both);
    }
    LSTATUS rc = ERROR_SUCCESS;
    for (const std::wstring& key :
         {std::wstring(L"CLSID\\") + GuidText(*c.clsid), std::wstring(c.progId), std::wstring(c.versionIndependent)}) {
        LSTATUS r = DeleteTree(key);
        if (rc == ERROR_SUCCESS) rc = r;
    }
    return rc;
}

}  // namespace

HRESULT RegisterServer(bool da1Only, bool extras) {
    wchar_t path[MAX_PATH];
    DWORD len = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (len == 0 || len >= MAX_PATH) return E_FAIL;
    const std::wstring server = std::wstring(L"\"") + path + L"\"";

    LSTATUS rc = ERROR_SUCCESS;
    for (const ClassEntry& c : kClasses) {
        if (c.extra && !extras) continue;
        const std::wstring clsid = GuidText(*c.clsid);
        const std::wstring key = L"CLSID\\" + clsid;
        const std::wstring prog = c.progId;
        const std::wstring indep = c.versionIndependent;
        const std::pair<std::wstring, std::wstring> values[] = {
            {prog, c.description},
            {prog + L"\\CLSID", clsid},
            {prog + L"\\OPC\\Vendor", kVendor},
            {indep, c.description},
            {indep + L"\\CLSID", clsid},
            {indep + L"\\CurVer", prog},
            {key, c.description},
            {key + L"\\ProgID", prog},
            {key + L"\\VersionIndependentProgID", indep},
            {key + L"\\LocalServer32", server + c.switches},
        };
        for (const auto& v : values)
            if (rc == ERROR_SUCCESS) rc = SetValue(v.first, nullptr, v.second);
    }
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);

    ComPtr<ICatRegister> cats;
    HRESULT hr = CategoryManager(cats);
    if (FAILED(hr)) return hr;
    if (da1Only || extras) hr = RegisterCategory(cats.Get(), CATID_OPCDAServer10, OPC_CATDESC_DA10);
    if (SUCCEEDED(hr) && !da1Only) hr = RegisterCategory(cats.Get(), CATID_OPCDAServer20, OPC_CATDESC_DA20);
    for (const ClassEntry& c : kClasses) {
        if (FAILED(hr)) break;
        if (c.extra && !extras) {  // registered before with /All: gone again
            rc = Unregister(c, cats.Get());
            if (rc != ERROR_SUCCESS) hr = HRESULT_FROM_WIN32(rc);
            continue;
        }
        const bool da1 = da1Only || c.da1Class;
        const CATID& wanted = da1 ? CATID_OPCDAServer10 : CATID_OPCDAServer20;
        CATID drop = da1 ? CATID_OPCDAServer20 : CATID_OPCDAServer10;
        cats->UnRegisterClassImplCategories(*c.clsid, 1, &drop);
        CATID add = wanted;
        hr = cats->RegisterClassImplCategories(*c.clsid, 1, &add);
    }
    return hr;
}

HRESULT UnregisterServer() {
    ComPtr<ICatRegister> cats;
    CategoryManager(cats);
    LSTATUS rc = ERROR_SUCCESS;
    for (const ClassEntry& c : kClasses) {
        LSTATUS r = Unregister(c, cats.Get());
        if (rc == ERROR_SUCCESS) rc = r;
    }
    return HRESULT_FROM_WIN32(rc);
}

}  // namespace sim
