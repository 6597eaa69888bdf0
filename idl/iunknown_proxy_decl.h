/* MinGW-w64's unknwn.h declares the IUnknown proxy helpers for C++ only, but the
 * widl-generated C proxy calls them; rpcrt4 exports them. Force-included into the proxy. */
#pragma once
#include <unknwn.h>
#ifdef __cplusplus
extern "C" {
#endif
HRESULT STDMETHODCALLTYPE IUnknown_QueryInterface_Proxy(IUnknown *This, REFIID riid, void **ppvObject);
ULONG STDMETHODCALLTYPE IUnknown_AddRef_Proxy(IUnknown *This);
ULONG STDMETHODCALLTYPE IUnknown_Release_Proxy(IUnknown *This);
#ifdef __cplusplus
}
#endif
