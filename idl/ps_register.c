/*
 * Self-registration of the OPC proxy/stub DLL (regsvr32 QuorvaneOpcPS.dll).
 *
 * This DLL exists for Wine and for Windows machines that lack the usual OPC proxies.
 * Unlike NdrDllRegisterProxy it never takes over an interface whose proxy another DLL has
 * already registered (HKCR\Interface\{iid}\ProxyStubClsid32 pointing elsewhere): that
 * proxy stays in charge. Unregistering removes only the entries that point at us.
 * The interface list, names and method counts come from widl's generated proxy tables.
 */
#include <windows.h>
#include <objbase.h>
#include <rpcproxy.h>
#include <stdio.h>

extern const ProxyFileInfo *aProxyFileList[];
extern const CLSID CLSID_PSFactoryBuffer;

enum { GUID_CHARS = 39, KEY_CHARS = 128 };

static HMODULE this_module(void)
{
    HMODULE module = NULL;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCWSTR)(void *)&this_module, &module);
    return module;
}

static LSTATUS set_string(const WCHAR *key, const WCHAR *name, const WCHAR *value)
{
    HKEY h;
    LSTATUS rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, key, 0, NULL, 0, KEY_SET_VALUE, NULL, &h, NULL);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegSetValueExW(h, name, 0, REG_SZ, (const BYTE *)value, (DWORD)((wcslen(value) + 1) * sizeof(WCHAR)));
    RegCloseKey(h);
    return rc;
}

/* Whether a proxy class is registered for the interface; its CLSID text goes to out
 * ("" when the value is missing or unreadable, which still counts as someone else's). */
static int registered_proxy(const WCHAR *iid, WCHAR out[KEY_CHARS])
{
    WCHAR key[KEY_CHARS];
    HKEY h;
    swprintf(key, KEY_CHARS, L"Interface\\%ls\\ProxyStubClsid32", iid);
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return 0;
    DWORD type = 0, size = (KEY_CHARS - 1) * sizeof(WCHAR);
    if (RegQueryValueExW(h, NULL, NULL, &type, (BYTE *)out, &size) != ERROR_SUCCESS || type != REG_SZ)
        size = 0;
    out[size / sizeof(WCHAR)] = L'\0';
    RegCloseKey(h);
    return 1;
}

static HRESULT register_interface(const CInterfaceStubVtbl *stub, const char *name, const WCHAR *ours)
{
    WCHAR iid[GUID_CHARS], current[KEY_CHARS], key[KEY_CHARS], text[KEY_CHARS];
    StringFromGUID2(stub->header.piid, iid, GUID_CHARS);
    if (registered_proxy(iid, current) && lstrcmpiW(current, ours) != 0) return S_FALSE; /* not ours */

    swprintf(key, KEY_CHARS, L"Interface\\%ls", iid);
    swprintf(text, KEY_CHARS, L"%hs", name);
    LSTATUS rc = set_string(key, NULL, text);
    swprintf(key, KEY_CHARS, L"Interface\\%ls\\ProxyStubClsid32", iid);
    if (rc == ERROR_SUCCESS) rc = set_string(key, NULL, ours);
    swprintf(key, KEY_CHARS, L"Interface\\%ls\\NumMethods", iid);
    swprintf(text, KEY_CHARS, L"%lu", (unsigned long)stub->header.DispatchTableCount);
    if (rc == ERROR_SUCCESS) rc = set_string(key, NULL, text);
    return HRESULT_FROM_WIN32(rc);
}

HRESULT WINAPI DllRegisterServer(void)
{
    WCHAR ours[GUID_CHARS], key[KEY_CHARS], path[MAX_PATH];
    StringFromGUID2(&CLSID_PSFactoryBuffer, ours, GUID_CHARS);
    DWORD len = GetModuleFileNameW(this_module(), path, MAX_PATH);
    if (len == 0 || len >= MAX_PATH) return E_FAIL;

    swprintf(key, KEY_CHARS, L"CLSID\\%ls", ours);
    LSTATUS rc = set_string(key, NULL, L"PSFactoryBuffer");
    swprintf(key, KEY_CHARS, L"CLSID\\%ls\\InProcServer32", ours);
    if (rc == ERROR_SUCCESS) rc = set_string(key, NULL, path);
    if (rc == ERROR_SUCCESS) rc = set_string(key, L"ThreadingModel", L"Both");
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);

    for (const ProxyFileInfo **file = aProxyFileList; *file; ++file) {
        for (unsigned short i = 0; i < (*file)->TableSize; ++i) {
            HRESULT hr = register_interface((*file)->pStubVtblList[i], (*file)->pNamesArray[i], ours);
            if (FAILED(hr)) return hr;
        }
    }
    return S_OK;
}

HRESULT WINAPI DllUnregisterServer(void)
{
    WCHAR ours[GUID_CHARS], iid[GUID_CHARS], current[KEY_CHARS], key[KEY_CHARS];
    StringFromGUID2(&CLSID_PSFactoryBuffer, ours, GUID_CHARS);
    for (const ProxyFileInfo **file = aProxyFileList; *file; ++file) {
        for (unsigned short i = 0; i < (*file)->TableSize; ++i) {
            StringFromGUID2((*file)->pStubVtblList[i]->header.piid, iid, GUID_CHARS);
            if (registered_proxy(iid, current) && lstrcmpiW(current, ours) == 0) {
                swprintf(key, KEY_CHARS, L"Interface\\%ls", iid);
                RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
            }
        }
    }
    swprintf(key, KEY_CHARS, L"CLSID\\%ls", ours);
    LSTATUS rc = RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
    return (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) ? S_OK : HRESULT_FROM_WIN32(rc);
}
