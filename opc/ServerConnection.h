#pragma once
// One connection to an OPC server with its one group "Group 1"; its alias is the DDE
// topic and its items are the topic's DDE items. Connected exactly when m_hServer != -1.
//
// Ownership: owned by the main view (m_connections); owns its items (m_items, row order).
// Destroying a connection removes its items and group from the library and disconnects.
// DDE string handles are never freed. Threading: the user-interface thread only.
#include <windows.h>
#include <ole2.h>
#include <ddeml.h>

#include "opc/TagItem.h"
#include "win/ObArray.h"
#include "win/Time.h"

class CServerConnection : public CObject {
  public:
    CServerConnection() = default;
    ~CServerConnection() override;
    CServerConnection(const CServerConnection&) = delete;
    CServerConnection& operator=(const CServerConnection&) = delete;

    int GetItemCount() const { return m_items.GetSize(); }
    CTagItem* GetItem(int index) const { return static_cast<CTagItem*>(m_items.GetAt(index)); }

    // The first item whose DDE name equals hszItem (case-insensitive, as DDEML compares).
    CTagItem* FindItem(HSZ hszItem) const;
    // Stores a data change in the first item with that handle and posts its advise;
    // answers the item's index, or -1 (then nothing changes).
    int StoreDataChange(int hItem, const VARIANT* value, FILETIME timeStamp, DWORD quality);
    // The server asked to disconnect: drop items and group from the library, disconnect,
    // keep the items with bad quality.
    void HandleServerShutdown();
    // Posts the advises that DDE clients' new links are waiting for.
    void FlushPendingAdvises();

    // The connection's block of the configuration file (persist/ConfigRecords.cpp). Load
    // answers FALSE when not one of the block's entries was there to read.
    BOOL Load(CFile& file);
    void Save(CFile& file) const;

    int m_hServer = -1;
    int m_hGroup = -1;
    DWORD m_dwUpdateRate = 1000;
    float m_fDeadband = 0.0f;
    CString m_strMachineName;  // empty: this computer
    CString m_strServerName;
    CString m_strAlias;        // the DDE topic and the tab's caption; never changes
    HSZ m_hszTopic = nullptr;
    CString m_strStatus;
    CTime m_tmConnected;
    CTime m_tmLastUpdate;
    CObArray m_items;          // owned CTagItem pointers, in row order
};

// "Connected: ..." for a connect time; the status line's first part.
CString FormatConnectedStatus(const CTime& connected);
