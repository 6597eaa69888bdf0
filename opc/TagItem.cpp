#include "opc/TagItem.h"

#include <objbase.h>

CTagItem::CTagItem(const char* tagName, const char* extra) : m_strTagName(tagName), m_strExtra(extra) {
    ::CoFileTimeNow(&m_ftTimeStamp);
    ::VariantInit(&m_vValue);
}

CTagItem::~CTagItem() {
    ::VariantClear(&m_vValue);
    delete m_pDragItem;
}
