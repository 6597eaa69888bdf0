#include "dde/DdeServer.h"

#include "app/VantrelApp.h"
#include "dde/XlTable.h"
#include "persist/DiagEvents.h"
#include "win/ModalLoop.h"

namespace {

HDDEDATA AnswerBool(BOOL b) { return reinterpret_cast<HDDEDATA>(static_cast<UINT_PTR>(b ? TRUE : FALSE)); }

HDDEDATA OnAdviseRequest(CVantrelApp* app, UINT uFmt, HSZ hszTopic, HSZ hszItem) {
    VARIANT value;
    ::VariantInit(&value);
    if (!app->GetItemValue(hszTopic, hszItem, &value)) {
        ::VariantClear(&value);
        return nullptr;
    }
    XlTableBlock block;
    BOOL encoded = EncodeXlTableValue(value, &block);
    ::VariantClear(&value);
    if (!encoded) return nullptr;
    // Labelled with the format the client asked for, exactly as it came (Wine passes
    // registered formats sign-extended); the bytes are always XlTable.
    return ::DdeCreateDataHandle(app->m_idInst, block.bytes, block.size, 0, hszItem, uFmt, 0);
}

// The refusal of a poke, logged with the names as the client gave them.
HDDEDATA RefusePoke(CVantrelApp* app, HSZ hszTopic, HSZ hszItem, const char* reason) {
    char topic[256] = {}, item[256] = {};
    ::DdeQueryStringA(app->m_idInst, hszTopic, topic, sizeof topic, CP_WINANSI);
    ::DdeQueryStringA(app->m_idInst, hszItem, item, sizeof item, CP_WINANSI);
    DiagLog::LogPokeRefused(topic, item, reason);
    return reinterpret_cast<HDDEDATA>(static_cast<UINT_PTR>(DDE_FNOTPROCESSED));
}

HDDEDATA OnPoke(CVantrelApp* app, HSZ hszTopic, HSZ hszItem, HDDEDATA hData) {
    VARIANT current;
    ::VariantInit(&current);
    if (!app->GetItemValue(hszTopic, hszItem, &current))  // the item's type is needed
        return RefusePoke(app, hszTopic, hszItem, "unknown item");
    VARTYPE target = current.vt;
    ::VariantClear(&current);

    BYTE buffer[kXlTablePokeLimit];
    DWORD copied = hData != nullptr ? ::DdeGetData(hData, buffer, sizeof buffer, 0) : 0;
    VARIANT decoded;
    if (!DecodeXlTablePoke(buffer, copied, target, &decoded))
        return RefusePoke(app, hszTopic, hszItem, "bad block or a value not of the item's type");

    int written = app->WriteItemValue(hszTopic, hszItem, &decoded);
    ::VariantClear(&decoded);
    if (written == 0) return RefusePoke(app, hszTopic, hszItem, "the OPC write failed");
    return reinterpret_cast<HDDEDATA>(static_cast<UINT_PTR>(DDE_FACK));
}

}  // namespace

HDDEDATA CALLBACK DdeCallback(UINT uType, UINT uFmt, HCONV, HSZ hsz1, HSZ hsz2, HDDEDATA hData, ULONG_PTR,
                              ULONG_PTR) {
    CVantrelApp* app = GetVantrelApp();
    if (app == nullptr) return nullptr;
    CDdeCallbackScope scope(app);
    CModalLoopScope runsToItsEnd;  // a close arriving while an OPC call pumps waits for the return
    switch (uType) {
        case XTYP_CONNECT:  // hsz1 = topic, hsz2 = service
            if (::DdeCmpStringHandles(hsz2, app->m_hszService) != 0) return AnswerBool(FALSE);
            return AnswerBool(app->FindTopic(hsz1) != nullptr);
        case XTYP_ADVSTART:  // marks the item; the next flush sends the link its first value
            return AnswerBool(app->GetItemValue(hsz1, hsz2, nullptr));
        case XTYP_ADVREQ:
            return OnAdviseRequest(app, uFmt, hsz1, hsz2);
        case XTYP_POKE:
            return OnPoke(app, hsz1, hsz2, hData);
        default:  // requests, executes, wildcard connects and the rest are not served
            return nullptr;
    }
}
