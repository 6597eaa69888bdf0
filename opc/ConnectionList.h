#pragma once
// The connections of the program, without any window: it owns them in tab order, finds
// them for the DDE side and the OPC callbacks, stores data changes and flushes the
// advises DDE clients' new links wait for.
//
// Lookups take constant time: connections by server handle and by topic string handle
// here, items by handle and by name in each connection. The indexes live beside the array
// and change with it (Add, RemoveAt, Open, Close); a key held twice names its first holder.
//
// The links DDE clients hold are counted by topic and item name, as DDEML keeps them
// (opc/ConnectionLinks.cpp): a name's string handle is made at its first link and freed
// after its last, and lent to the first item of that name, whose changes are then posted.
//
// The DDE side is reached only through the advise gate handed in (SetAdviseGate); the
// window that shows the list hears of every changed row through its listener. The OPC
// library's callbacks carry no context: they reach the list made current by Attach.
//
// Ownership: owns its CServerConnection objects and the linked names' string handles;
// holds the gate and the listener without owning them. Threading: the user-interface thread only.
#include <windows.h>
#include <ole2.h>
#include <ddeml.h>

#include <string>
#include <unordered_map>

#include "opc/AdviseGate.h"
#include "opc/ServerConnection.h"
#include "persist/File.h"
#include "persist/KeyValue.h"

// Posted by the OPC shutdown callback to the attached window: wParam 0, lParam = server
// handle (never 0). The same number is DM_SETDEFID for a dialog-based window, which
// carries a control id in wParam and 0 in lParam; the window tells the two apart by that.
#define WM_SERVER_SHUTDOWN (WM_USER + 1)

class IConnectionListener {
  public:
    // A data change was stored in row of conn.
    virtual void OnRowChanged(CServerConnection* conn, int row) = 0;

  protected:
    ~IConnectionListener() = default;
};

class CConnectionList {
  public:
    CConnectionList() = default;
    ~CConnectionList();  // detaches, then deletes the connections (they leave the library)
    CConnectionList(const CConnectionList&) = delete;
    CConnectionList& operator=(const CConnectionList&) = delete;

    // The list the OPC callbacks reach (nullptr when none is attached).
    static CConnectionList* Current();
    // Makes this the current list, telling changes to listener and shutdowns to hNotify.
    void Attach(IConnectionListener* listener, HWND hNotify);
    void Detach();
    HWND NotifyWindow() const { return m_hNotify; }

    void SetAdviseGate(IAdviseGate* gate) { m_pGate = gate; }
    // The instance the records make their string handles in (0 without a gate).
    DWORD DdeInstance() const { return m_pGate != nullptr ? m_pGate->DdeInstance() : 0; }

    int GetSize() const { return m_connections.GetSize(); }
    CServerConnection* GetAt(int index) const { return static_cast<CServerConnection*>(m_connections.GetAt(index)); }
    int Add(CServerConnection* conn);
    // Deletes the connection at index (it leaves the library).
    void RemoveAt(int index);
    void RemoveAll();
    // Deletes row's item of conn (it leaves the library).
    void RemoveItem(CServerConnection* conn, int row);

    // Connects conn (in the list) to a server the library connected: see
    // CServerConnection::Open. Close takes it down; lost: the server was found dead.
    BOOL Open(CServerConnection* conn, int hServer);
    void Close(CServerConnection* conn, BOOL lost);

    CServerConnection* FindServer(int hServer) const;
    CServerConnection* FindTopic(HSZ hszTopic) const;

    // The DDE side's reads and writes. GetItemValue copies the value (pValue may be null);
    // FALSE for an unknown topic or item.
    BOOL GetItemValue(HSZ hszTopic, HSZ hszItem, VARIANT* pValue);
    // The library's answer to the write (also when disconnected: it refuses -1 handles);
    // 0 for an unknown topic or item.
    int WriteItemValue(HSZ hszTopic, HSZ hszItem, const VARIANT* pValue);

    // Stores a data change in the first item with handle hItem of the connection to
    // hServer, has its advise posted and tells the listener; FALSE (nothing changed) when
    // there is no such item.
    BOOL StoreDataChange(int hServer, int hItem, const VARIANT* value, FILETIME timeStamp, DWORD quality);
    // Posts the advises that wait: new links' first values, and changes that came while
    // the gate held posts back. Goes round the items from where the last flush stopped,
    // until the gate holds back again.
    void FlushPendingAdvises();

    // A DDE client's link on (topic, item) starts: the item gets the name's string handle
    // and its value at the next flush. *key names the link for EndLink. FALSE, nothing
    // counted, for an unknown topic or item. Told once per link DDEML keeps.
    BOOL StartLink(HSZ hszTopic, HSZ hszItem, std::string* key);
    void EndLink(const std::string& key);
    int LinkedNameCount() const { return static_cast<int>(m_links.size()); }

    // The whole configuration (opc/ConnectionRecords.cpp): FileRev, then the connections.
    // Read appends them, disconnected; with problems, it records what did not read
    // cleanly and loads past it where the format allows (persist/KeyValue.h).
    void Read(CFile& file, CString* fileRev, CReadProblems* problems = nullptr);
    void Write(CFile& file, const CString& fileRev) const;

  private:
    struct LinkedName {
        HSZ hsz = nullptr;
        int links = 0;
        CServerConnection* conn = nullptr;  // where the handle is lent; null once deleted
        CTagItem* item = nullptr;
    };

    CTagItem* FindItem(HSZ hszTopic, HSZ hszItem, CServerConnection** ppConn) const;
    // FALSE when the item waits (marked pending).
    BOOL Advise(CServerConnection* conn, CTagItem* item);
    void IndexTopics();
    // The links' names lose their item in conn (row -1: every row), which goes.
    void ForgetLinkedItems(const CServerConnection* conn, int row);
    void FreeLinkedNames();

    CObArray m_connections;  // owned CServerConnection pointers, in tab order
    std::unordered_map<int, CServerConnection*> m_byServer;
    std::unordered_map<HSZ, CServerConnection*> m_byTopic;
    std::unordered_map<std::string, LinkedName> m_links;  // folded topic '\0' folded item
    IAdviseGate* m_pGate = nullptr;
    IConnectionListener* m_pListener = nullptr;
    HWND m_hNotify = nullptr;
    int m_flushConn = 0, m_flushRow = 0;  // where the next flush starts
};
