#include "opc/TagItem.h"

#include <objbase.h>

namespace {

HSZ MakeName(DWORD idInst, const char* text) {
    return idInst != 0 ? ::DdeCreateStringHandleA(idInst, text, 0) : nullptr;
}

}  // namespace

CTagItem::CTagItem(DWORD idInst, const char* tagName, const char* extra)
    : m_strTagName(tagName), m_strExtra(extra), m_hszItem(MakeName(idInst, tagName)) {
    ::CoFileTimeNow(&m_ftTimeStamp);
    ::VariantInit(&m_vValue);
}

CTagItem::~CTagItem() {
    ::VariantClear(&m_vValue);
    delete m_pDragItem;
}
