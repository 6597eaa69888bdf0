#pragma once
// The DDE service "Quorvane": topic = connection alias, item = OPC item id. Serves
// connect, advise start, advise request, request and poke; answers every other transaction
// with 0. Advise stops and disconnects end the links it keeps count of for the list (one
// per conversation, format and item, as DDEML keeps them), so that an item holds a string
// handle only while linked. Data goes out and pokes come in as text for a client that asks for CF_TEXT, as
// XlTable in every other format. While writes are off every poke is refused before it
// reaches the OPC library; each write that does reach it is logged with its result.
// Reaches the connections only through the connection list it is given.
//
// Ownership: owns the DDEML instance, the service name handle and the advise gate; holds
// the connection list without owning it. One server per process (DDEML's callback has no
// context). Threading: the user-interface thread, which DDEML calls back on.
#include <windows.h>
#include <ole2.h>
#include <ddeml.h>

#include <map>
#include <string>
#include <tuple>

#include "dde/AdviseGate.h"

class CConnectionList;

class CDdeServer {
  public:
    CDdeServer() = default;
    ~CDdeServer() { Stop(); }
    CDdeServer(const CDdeServer&) = delete;
    CDdeServer& operator=(const CDdeServer&) = delete;

    // The DDEML instance and the registered service name; FALSE when DDEML refused.
    BOOL Start();
    // Unregisters the name and ends the instance (the topics' and items' handles go with it).
    void Stop();

    // The connections transactions are served from (nullptr: every topic is unknown); the
    // links counted in the former list are forgotten.
    void SetConnections(CConnectionList* list) {
        m_pList = list;
        m_links.clear();
    }
    // Whether pokes are passed on to the OPC library (the owner keeps the setting).
    void SetWritesAllowed(BOOL allowed) { m_bWritesAllowed = allowed; }
    BOOL WritesAllowed() const { return m_bWritesAllowed; }
    CAdviseGate& Gate() { return m_gate; }
    DWORD Instance() const { return m_idInst; }
    HSZ ServiceName() const { return m_hszService; }

  private:
    static HDDEDATA CALLBACK Callback(UINT uType, UINT uFmt, HCONV hConv, HSZ hsz1, HSZ hsz2, HDDEDATA hData,
                                      ULONG_PTR dwData1, ULONG_PTR dwData2);
    HDDEDATA OnConnect(HSZ hszTopic, HSZ hszService);
    HDDEDATA OnAdviseStart(HCONV hConv, UINT uFmt, HSZ hszTopic, HSZ hszItem);
    void OnAdviseStop(HCONV hConv, UINT uFmt, HSZ hszItem);
    void OnDisconnect(HCONV hConv);
    HDDEDATA OnAdviseRequest(UINT uFmt, HSZ hszTopic, HSZ hszItem);
    HDDEDATA OnPoke(UINT uFmt, HSZ hszTopic, HSZ hszItem, HDDEDATA hData);

    DWORD m_idInst = 0;
    HSZ m_hszService = nullptr;
    CAdviseGate m_gate;
    CConnectionList* m_pList = nullptr;
    BOOL m_bWritesAllowed = TRUE;
    // The live links: conversation, format and item handle (an atom: one per name without
    // case) -> the list's key of the link.
    std::map<std::tuple<HCONV, UINT, HSZ>, std::string> m_links;
};
