#include "opc/TagItem.h"

#include <objbase.h>

CTagItem::CTagItem() {
    ::CoFileTimeNow(&m_ftTimeStamp);
    ::VariantInit(&m_vValue);
}

CTagItem::~CTagItem() {
    ::VariantClear(&m_vValue);
    delete m_pDragItem;
}
