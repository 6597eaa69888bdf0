#pragma once
// The OPC server object, one per client connection (CoCreateInstance).
//
// Threading: any RPC thread of the MTA may call it; the worker calls sendShutdown().
// m_lock guards the group list, the browse position, the locale and the client name;
// no lock is held while a client is called.
// Lifetime: the object holds one reference to each of its groups; when its own count
// reaches zero it detaches and releases them (a client still holding a group keeps
// only that group, which then refuses calls).
#include "address_space.h"
#include "com_util.h"
#include "connection_point.h"
#include "group.h"
#include "opcda.h"

#include <map>
#include <mutex>
#include <string>

namespace sim {

class OpcServer final : public IOPCServer,
                        public IOPCCommon,
                        public IConnectionPointContainer,
                        public IOPCBrowseServerAddressSpace,
                        public IOPCItemProperties,
                        private ModuleObject {
  public:
    static HRESULT create(const Flavour& flavour, REFIID riid, void** ppv);

    bool tryAddRef();
    void sendShutdown(const std::wstring& reason);
    // Group services: renaming (unique names) and cloning.
    HRESULT renameGroup(Group* group, const std::wstring& name);
    // settings: in = requested, out = as made (name, revised rate, server handle).
    HRESULT addGroup(GroupSettings& settings, REFIID riid, IUnknown** ppUnk, Group** made);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IOPCServer
    STDMETHODIMP AddGroup(LPCWSTR szName, BOOL bActive, DWORD dwRequestedUpdateRate, OPCHANDLE hClientGroup,
                          LONG* pTimeBias, FLOAT* pPercentDeadband, DWORD dwLCID, OPCHANDLE* phServerGroup,
                          DWORD* pRevisedUpdateRate, REFIID riid, IUnknown** ppUnk) override;
    STDMETHODIMP GetErrorString(HRESULT dwError, LCID dwLocale, LPWSTR* ppString) override;
    STDMETHODIMP GetGroupByName(LPCWSTR szName, REFIID riid, IUnknown** ppUnk) override;
    STDMETHODIMP GetStatus(OPCSERVERSTATUS** ppServerStatus) override;
    STDMETHODIMP RemoveGroup(OPCHANDLE hServerGroup, BOOL bForce) override;
    STDMETHODIMP CreateGroupEnumerator(OPCENUMSCOPE dwScope, REFIID riid, IUnknown** ppUnk) override;

    // IOPCCommon
    STDMETHODIMP SetLocaleID(LCID dwLcid) override;
    STDMETHODIMP GetLocaleID(LCID* pdwLcid) override;
    STDMETHODIMP QueryAvailableLocaleIDs(DWORD* pdwCount, LCID** pdwLcid) override;
    STDMETHODIMP GetErrorString(HRESULT dwError, LPWSTR* ppString) override;
    STDMETHODIMP SetClientName(LPCWSTR szName) override;

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

    // IOPCBrowseServerAddressSpace
    STDMETHODIMP QueryOrganization(OPCNAMESPACETYPE* pNameSpaceType) override;
    STDMETHODIMP ChangeBrowsePosition(OPCBROWSEDIRECTION dwBrowseDirection, LPCWSTR szString) override;
    STDMETHODIMP BrowseOPCItemIDs(OPCBROWSETYPE dwBrowseFilterType, LPCWSTR szFilterCriteria, VARTYPE vtDataTypeFilter,
                                  DWORD dwAccessRightsFilter, IEnumString** ppIEnumString) override;
    STDMETHODIMP GetItemID(LPWSTR szItemDataID, LPWSTR* szItemID) override;
    STDMETHODIMP BrowseAccessPaths(LPCWSTR szItemID, IEnumString** ppIEnumString) override;

    // IOPCItemProperties
    STDMETHODIMP QueryAvailableProperties(LPWSTR szItemID, DWORD* pdwCount, DWORD** ppPropertyIDs,
                                          LPWSTR** ppDescriptions, VARTYPE** ppvtDataTypes) override;
    STDMETHODIMP GetItemProperties(LPWSTR szItemID, DWORD dwCount, DWORD* pdwPropertyIDs, VARIANT** ppvData,
                                   HRESULT** ppErrors) override;
    STDMETHODIMP LookupItemIDs(LPWSTR szItemID, DWORD dwCount, DWORD* pdwPropertyIDs, LPWSTR** ppszNewItemIDs,
                               HRESULT** ppErrors) override;

  private:
    explicit OpcServer(const Flavour& flavour);
    ~OpcServer();
    std::wstring uniqueNameLocked();
    Group* findLocked(const std::wstring& name);
    HRESULT errorString(HRESULT code, LCID locale, LPWSTR* out);

    std::atomic<ULONG> m_refs{1};
    const Flavour m_flavour;
    const Space m_space;
    const AddressSpace& m_addressSpace;
    std::mutex m_lock;
    std::map<OPCHANDLE, Group*> m_groups;  // one reference each
    OPCHANDLE m_nextGroup = 1;
    const BrowseNode* m_position;
    LCID m_lcid = 0x0409;
    std::wstring m_clientName;
    ConnectionPoint<IOPCShutdown> m_shutdown;
};

// Text of an OPC or system result code; false when the code is unknown.
bool ErrorText(HRESULT code, std::wstring& text);

}  // namespace sim
