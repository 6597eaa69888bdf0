#include "dde/DdeServer.h"

#include <string>
#include <vector>

#include "app/VantrelApp.h"
#include "dde/TextValue.h"
#include "dde/XlTable.h"

namespace {

HDDEDATA AnswerBool(BOOL b) { return reinterpret_cast<HDDEDATA>(static_cast<UINT_PTR>(b ? TRUE : FALSE)); }

// Advise data and one-shot requests alike: the item's value as the record holds it.
HDDEDATA OnAdviseRequest(CVantrelApp* app, UINT uFmt, HSZ hszTopic, HSZ hszItem) {
    VARIANT value;
    ::VariantInit(&value);
    if (!app->GetItemValue(hszTopic, hszItem, &value)) {
        ::VariantClear(&value);
        return nullptr;
    }
    if (uFmt == CF_TEXT) {
        std::string text;
        BOOL shown = FormatTextValue(value, &text);
        ::VariantClear(&value);
        if (!shown) return nullptr;
        return ::DdeCreateDataHandle(app->m_idInst, reinterpret_cast<BYTE*>(&text[0]), static_cast<DWORD>(text.size()),
                                     0, hszItem, uFmt, 0);
    }
    XlTableBlock block;
    BOOL encoded = EncodeXlTableValue(value, &block);
    ::VariantClear(&value);
    if (!encoded) return nullptr;
    // Labelled with the format the client asked for, exactly as it came (Wine passes
    // registered formats sign-extended); in every format but CF_TEXT the bytes are XlTable.
    return ::DdeCreateDataHandle(app->m_idInst, block.bytes, block.size, 0, hszItem, uFmt, 0);
}

HDDEDATA OnPoke(CVantrelApp* app, UINT uFmt, HSZ hszTopic, HSZ hszItem, HDDEDATA hData) {
    const HDDEDATA kNotProcessed = reinterpret_cast<HDDEDATA>(static_cast<UINT_PTR>(DDE_FNOTPROCESSED));
    VARIANT current;
    ::VariantInit(&current);
    if (!app->GetItemValue(hszTopic, hszItem, &current)) return kNotProcessed;  // the item's type is needed
    // An item without a value yet takes the poked value in its own kind; empty or null
    // is never written.
    VARTYPE target = current.vt == VT_NULL ? VT_EMPTY : current.vt;
    ::VariantClear(&current);

    VARIANT decoded;
    if (uFmt == CF_TEXT) {
        std::vector<BYTE> text(kTextPokeLimit);
        DWORD copied = hData != nullptr ? ::DdeGetData(hData, text.data(), kTextPokeLimit, 0) : 0;
        if (!DecodeTextPoke(text.data(), copied, target, &decoded)) return kNotProcessed;
    } else {
        BYTE buffer[kXlTablePokeLimit];
        DWORD copied = hData != nullptr ? ::DdeGetData(hData, buffer, sizeof buffer, 0) : 0;
        if (!DecodeXlTablePoke(buffer, copied, target, &decoded)) return kNotProcessed;
    }

    int written = app->WriteItemValue(hszTopic, hszItem, &decoded);
    ::VariantClear(&decoded);
    return reinterpret_cast<HDDEDATA>(static_cast<UINT_PTR>(written != 0 ? DDE_FACK : DDE_FNOTPROCESSED));
}

}  // namespace

HDDEDATA CALLBACK DdeCallback(UINT uType, UINT uFmt, HCONV, HSZ hsz1, HSZ hsz2, HDDEDATA hData, ULONG_PTR,
                              ULONG_PTR) {
    CVantrelApp* app = GetVantrelApp();
    if (app == nullptr) return nullptr;
    CDdeCallbackScope scope(app);
    switch (uType) {
        case XTYP_CONNECT:  // hsz1 = topic, hsz2 = service
            if (::DdeCmpStringHandles(hsz2, app->m_hszService) != 0) return AnswerBool(FALSE);
            return AnswerBool(app->FindTopic(hsz1) != nullptr);
        case XTYP_ADVSTART:  // marks the item; the next flush sends the link its first value
            return AnswerBool(app->GetItemValue(hsz1, hsz2, nullptr));
        case XTYP_ADVREQ:
        case XTYP_REQUEST:  // answered from the record, without asking the OPC server
            return OnAdviseRequest(app, uFmt, hsz1, hsz2);
        case XTYP_POKE:
            return OnPoke(app, uFmt, hsz1, hsz2, hData);
        default:  // executes, wildcard connects and the rest are not served
            return nullptr;
    }
}
