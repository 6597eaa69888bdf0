#pragma once
// One OPC item of a connection, published to DDE clients as item m_strTagName of the
// connection's topic. Holds the last value, quality and timestamp the server reported.
//
// Ownership: owned by its CServerConnection (deleted through CObject's virtual
// destructor); owns its value and its drag source. Its DDE string handle is the
// connection list's, set only while a client links the item: a global atom per item would
// fill the atom table at about 16,000 items. Threading: the user-interface thread only.
#include <windows.h>
#include <ole2.h>
#include <ddeml.h>

#include "variant/variant.h"
#include "win/CString.h"
#include "win/ObArray.h"

class CTagItem : public CObject {
  public:
    explicit CTagItem(const char* tagName, const char* extra = "");
    ~CTagItem() override;
    CTagItem(const CTagItem&) = delete;
    CTagItem& operator=(const CTagItem&) = delete;

    // A DDE client links the item: its changes are posted.
    BOOL IsLinked() const { return m_hszItem != nullptr; }

    int m_bAdvisePending = 0;        // a DDE client started a link; the next flush posts the advise
    const CString m_strTagName;      // the OPC item id and the DDE item name
    const CString m_strExtra;        // kept but never shown, stored or passed on
    int m_hItem = -1;                // the library's item handle, as it returned it
    FILETIME m_ftTimeStamp;          // UTC timestamp of the last value (creation time at first)
    DWORD m_dwQuality = 0;           // OPC quality word as delivered; 0 = bad
    VARIANT m_vValue;                // current value; VT_EMPTY until the first data change
    HSZ m_hszItem = nullptr;         // DDE string handle of m_strTagName while linked; not owned
    CObject* m_pDragItem = nullptr;  // the row's drag source, made on its first drag; owned
};
