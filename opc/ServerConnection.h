#pragma once
// One connection to an OPC server with its one group "Group 1"; its alias is the DDE
// topic and its items are the topic's DDE items. Connected exactly when m_hServer != -1.
//
// Beside the item array it keeps two hash indexes: by library item handle, naming the
// first row that holds the key, and by item id without case (opc/DdeName.h), naming every
// row. They change only through AddItem, RemoveItem, Open and Close, so they always agree
// with the array.
//
// Ownership: owned by the connection list; owns its items (row order). Destroying a
// connection removes its items and group from the library and disconnects. The topic's
// string handle is never freed. Threading: the user-interface thread only.
#include <windows.h>
#include <ole2.h>
#include <ddeml.h>

#include <unordered_map>

#include "opc/TagItem.h"
#include "win/ObArray.h"
#include "win/Time.h"

class CServerConnection : public CObject {
  public:
    // A disconnected connection; its topic's string handle is made in instance idInst.
    CServerConnection(DWORD idInst, const char* machine, const char* server, const char* alias, DWORD updateRate = 1000,
                      float deadband = 0.0f);
    ~CServerConnection() override;
    CServerConnection(const CServerConnection&) = delete;
    CServerConnection& operator=(const CServerConnection&) = delete;

    int GetItemCount() const { return m_items.GetSize(); }
    CTagItem* GetItem(int index) const { return static_cast<CTagItem*>(m_items.GetAt(index)); }
    // Appends an item (its library handle as it is) and answers its row.
    int AddItem(CTagItem* item);
    // Removes row's item from the library and deletes it.
    void RemoveItem(int row);

    // The first item whose id equals name without case, as DDEML compares item names.
    CTagItem* FindItem(const char* name) const;
    // The first row holding library handle hItem, or -1.
    int FindRow(int hItem) const;

    // The group on a server the library just connected (hServer): added with the stored
    // parameters (as the server revises them), then the items and a refresh of them all.
    // FALSE, with the server disconnected again, when the group could not be made.
    BOOL Open(int hServer);
    // Drops items and group from the library and disconnects; the items stay with bad
    // quality and the status line says why (lost: the server was found dead).
    void Close(BOOL lost);

    // The status line's text, formatted when it is asked for.
    CString StatusText() const;

    int m_hServer = -1;
    int m_hGroup = -1;
    DWORD m_dwUpdateRate;
    float m_fDeadband;
    const CString m_strMachineName;  // empty: this computer
    const CString m_strServerName;
    const CString m_strAlias;  // the DDE topic and the tab's caption
    const HSZ m_hszTopic;
    CString m_strStatus;  // when not connected: why not
    CTime m_tmConnected;
    CTime m_tmLastUpdate;  // 0 until the first data change after a connect

  private:
    void IndexHandles();

    CObArray m_items;  // owned CTagItem pointers, in row order
    std::unordered_map<int, int> m_rowByHandle;
    std::unordered_multimap<size_t, int> m_rowsByName;  // HashDdeName of the id -> row
};

// "Connected: ..." for a connect time; the status line's first part.
CString FormatConnectedStatus(const CTime& connected);
