#include "dde/DdeServer.h"

#include <string>
#include <vector>

#include "dde/TextValue.h"
#include "dde/XlTable.h"
#include "opc/ConnectionList.h"
#include "persist/DiagEvents.h"
#include "win/ModalLoop.h"

namespace {

CDdeServer* g_pServer = nullptr;  // the started server, for the callback

HDDEDATA AnswerBool(BOOL b) { return reinterpret_cast<HDDEDATA>(static_cast<UINT_PTR>(b ? TRUE : FALSE)); }

HDDEDATA AnswerPoke(UINT flag) { return reinterpret_cast<HDDEDATA>(static_cast<UINT_PTR>(flag)); }

// A string handle's text as the client gave it (the log cuts it further).
std::string NameOf(DWORD idInst, HSZ hsz) {
    char text[256] = {};
    ::DdeQueryStringA(idInst, hsz, text, sizeof text, CP_WINANSI);
    return text;
}

// The refusal of a poke, logged with the names as the client gave them.
HDDEDATA RefusePoke(DWORD idInst, HSZ hszTopic, HSZ hszItem, const char* reason) {
    DiagLog::LogPokeRefused(NameOf(idInst, hszTopic), NameOf(idInst, hszItem), reason);
    return AnswerPoke(DDE_FNOTPROCESSED);
}

// The record of a write that reached the OPC library: the value as a text client would
// read it, its type, and whether the library took it.
void LogWrite(DWORD idInst, HSZ hszTopic, HSZ hszItem, const VARIANT& value, BOOL accepted) {
    std::string text;
    if (FormatTextValue(value, &text)) {
        if (!text.empty() && text.back() == '\0') text.pop_back();
    } else {
        text = "(no text form)";
    }
    DiagLog::LogPokeWritten(NameOf(idInst, hszTopic), NameOf(idInst, hszItem), text, VarTypeName(value.vt),
                            accepted != FALSE);
}

}  // namespace

BOOL CDdeServer::Start() {
    // APPCLASS_STANDARD with no CBF_ filter: every transaction reaches the callback, which
    // answers the ones it does not serve with 0.
    if (::DdeInitializeA(&m_idInst, &CDdeServer::Callback, 0, 0) != DMLERR_NO_ERROR) {
        m_idInst = 0;
        return FALSE;
    }
    g_pServer = this;
    m_gate.SetInstance(m_idInst);
    m_hszService = ::DdeCreateStringHandleA(m_idInst, "Quorvane", 0);
    return ::DdeNameService(m_idInst, m_hszService, nullptr, DNS_REGISTER) != nullptr;
}

void CDdeServer::Stop() {
    if (m_idInst == 0) return;
    // Clients learn at once that the service is gone.
    ::DdeNameService(m_idInst, m_hszService, nullptr, DNS_UNREGISTER);
    ::DdeUninitialize(m_idInst);
    m_idInst = 0;
    m_links.clear();
    m_hszService = nullptr;
    m_gate.SetInstance(0);
    if (g_pServer == this) g_pServer = nullptr;
}

HDDEDATA CALLBACK CDdeServer::Callback(UINT uType, UINT uFmt, HCONV hConv, HSZ hsz1, HSZ hsz2, HDDEDATA hData,
                                       ULONG_PTR, ULONG_PTR) {
    CDdeServer* self = g_pServer;
    if (self == nullptr) return nullptr;
    CDdeCallbackScope scope(self->m_gate);
    CModalLoopScope runsToItsEnd;  // a close arriving while an OPC call pumps waits for the return
    switch (uType) {
        case XTYP_CONNECT:
            return self->OnConnect(hsz1, hsz2);
        case XTYP_ADVSTART:
            return self->OnAdviseStart(hConv, uFmt, hsz1, hsz2);
        case XTYP_ADVSTOP:
            self->OnAdviseStop(hConv, uFmt, hsz2);
            return nullptr;
        case XTYP_DISCONNECT:
            self->OnDisconnect(hConv);
            return nullptr;
        case XTYP_ADVREQ:
        case XTYP_REQUEST:  // answered from the record, without asking the OPC server
            return self->OnAdviseRequest(uFmt, hsz1, hsz2);
        case XTYP_POKE:
            return self->OnPoke(uFmt, hsz1, hsz2, hData);
        default:  // executes, wildcard connects and the rest are not served
            return nullptr;
    }
}

/***********************************************************************
 *              OnConnect                               (XTYP_CONNECT)
 *
 * A client asks for a conversation on a topic of our service.
 *
 * PARAMS
 *  hszTopic   [I] the topic: a connection's alias
 *  hszService [I] the service the client named
 *
 * RETURNS
 *  TRUE when the service is ours and a connection has that alias, FALSE otherwise.
 */
HDDEDATA CDdeServer::OnConnect(HSZ hszTopic, HSZ hszService) {
    if (::DdeCmpStringHandles(hszService, m_hszService) != 0) return AnswerBool(FALSE);
    return AnswerBool(m_pList != nullptr && m_pList->FindTopic(hszTopic) != nullptr);
}

/***********************************************************************
 *              OnAdviseStart                           (XTYP_ADVSTART)
 *
 * A client starts a hot or warm link, or starts one it holds again. The item is marked;
 * the next flush posts its advise, so the link gets its first value within a second.
 *
 * PARAMS
 *  hConv    [I] the conversation
 *  uFmt     [I] the link's format
 *  hszTopic [I] the conversation's topic
 *  hszItem  [I] the item id
 *
 * RETURNS
 *  TRUE when the topic has the item, FALSE otherwise (also when no string handle could be
 *  made for it).
 */
HDDEDATA CDdeServer::OnAdviseStart(HCONV hConv, UINT uFmt, HSZ hszTopic, HSZ hszItem) {
    std::string key;
    if (m_pList == nullptr || !m_pList->StartLink(hszTopic, hszItem, &key)) return AnswerBool(FALSE);
    // DDEML keeps one link per conversation, format and item: a second start counts once.
    if (!m_links.emplace(std::make_tuple(hConv, uFmt, hszItem), key).second) m_pList->EndLink(key);
    return AnswerBool(TRUE);
}

// XTYP_ADVSTOP: the client ends the link DDEML keeps for exactly this format.
void CDdeServer::OnAdviseStop(HCONV hConv, UINT uFmt, HSZ hszItem) {
    auto it = m_links.find(std::make_tuple(hConv, uFmt, hszItem));
    if (it == m_links.end()) return;
    if (m_pList != nullptr) m_pList->EndLink(it->second);
    m_links.erase(it);
}

// XTYP_DISCONNECT: the conversation's links end with it, without advise stops.
void CDdeServer::OnDisconnect(HCONV hConv) {
    auto it = m_links.lower_bound(std::make_tuple(hConv, 0u, HSZ()));
    while (it != m_links.end() && std::get<0>(it->first) == hConv) {
        if (m_pList != nullptr) m_pList->EndLink(it->second);
        it = m_links.erase(it);
    }
}

/***********************************************************************
 *              OnAdviseRequest               (XTYP_ADVREQ, XTYP_REQUEST)
 *
 * DDEML asks, from inside DdePostAdvise, for the data of a link to send; or a client
 * reads a value once. Both are answered from the record, with no OPC call.
 *
 * PARAMS
 *  uFmt     [I] the format the client asked for, as it came (Wine passes registered
 *               formats sign-extended): CF_TEXT gets the value as text, every other
 *               format the XlTable bytes
 *  hszTopic [I] the conversation's topic
 *  hszItem  [I] the item id
 *
 * RETURNS
 *  Success: a data handle with the value as text or as one XlTable cell, labelled uFmt.
 *  Failure: NULL, for an unknown item or a value the format cannot carry.
 */
HDDEDATA CDdeServer::OnAdviseRequest(UINT uFmt, HSZ hszTopic, HSZ hszItem) {
    VARIANT value;
    ::VariantInit(&value);
    if (m_pList == nullptr || !m_pList->GetItemValue(hszTopic, hszItem, &value)) {
        ::VariantClear(&value);
        return nullptr;
    }
    if (uFmt == CF_TEXT) {
        std::string text;
        BOOL shown = FormatTextValue(value, &text);
        ::VariantClear(&value);
        if (!shown) return nullptr;
        return ::DdeCreateDataHandle(m_idInst, reinterpret_cast<BYTE*>(&text[0]), static_cast<DWORD>(text.size()), 0,
                                     hszItem, uFmt, 0);
    }
    XlTableBlock block;
    BOOL encoded = EncodeXlTableValue(value, &block);
    ::VariantClear(&value);
    if (!encoded) return nullptr;
    return ::DdeCreateDataHandle(m_idInst, block.bytes, block.size, 0, hszItem, uFmt, 0);
}

/***********************************************************************
 *              OnPoke                                  (XTYP_POKE)
 *
 * A client writes a value: it is decoded to the item's current type and written to the
 * OPC server synchronously.
 *
 * PARAMS
 *  hszTopic [I] the conversation's topic
 *  hszItem  [I] the item id
 *  uFmt     [I] CF_TEXT: the block is text; any other format: XlTable
 *  hData    [I] the poked block
 *
 * RETURNS
 *  DDE_FACK when the server took the write; DDE_FNOTPROCESSED while writes are off, for
 *  an unknown item, a block that does not decode to the item's type, or a refused write.
 */
HDDEDATA CDdeServer::OnPoke(UINT uFmt, HSZ hszTopic, HSZ hszItem, HDDEDATA hData) {
    if (!m_bWritesAllowed) return RefusePoke(m_idInst, hszTopic, hszItem, "writes are off");
    VARIANT current;
    ::VariantInit(&current);
    if (m_pList == nullptr || !m_pList->GetItemValue(hszTopic, hszItem, &current))
        return RefusePoke(m_idInst, hszTopic, hszItem, "unknown item");
    // The item's type decides the decoding; an item without a value yet takes the poked
    // value in its own kind (empty or null is never written).
    VARTYPE target = current.vt == VT_NULL ? VT_EMPTY : current.vt;
    ::VariantClear(&current);

    VARIANT decoded;
    if (uFmt == CF_TEXT) {
        std::vector<BYTE> text(kTextPokeLimit);
        DWORD copied = hData != nullptr ? ::DdeGetData(hData, text.data(), kTextPokeLimit, 0) : 0;
        if (!DecodeTextPoke(text.data(), copied, target, &decoded))
            return RefusePoke(m_idInst, hszTopic, hszItem, "bad text or a value not of the item's type");
    } else {
        BYTE buffer[kXlTablePokeLimit];
        DWORD copied = hData != nullptr ? ::DdeGetData(hData, buffer, sizeof buffer, 0) : 0;
        if (!DecodeXlTablePoke(buffer, copied, target, &decoded))
            return RefusePoke(m_idInst, hszTopic, hszItem, "bad block or a value not of the item's type");
    }

    int written = m_pList->WriteItemValue(hszTopic, hszItem, &decoded);
    LogWrite(m_idInst, hszTopic, hszItem, decoded, written != 0);
    ::VariantClear(&decoded);
    return AnswerPoke(written != 0 ? DDE_FACK : DDE_FNOTPROCESSED);
}
