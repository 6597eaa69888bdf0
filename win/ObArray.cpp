#include "win/ObArray.h"

#include <cstddef>

CObject::~CObject() = default;

CObject* CObArray::GetAt(int index) const {
    if (index < 0 || index >= GetSize()) return nullptr;
    return m_items[static_cast<size_t>(index)];
}

int CObArray::Add(CObject* element) {
    m_items.push_back(element);
    return GetSize() - 1;
}

void CObArray::RemoveAt(int index, int count) {
    if (index < 0 || index >= GetSize() || count <= 0) return;
    int end = (count > GetSize() - index) ? GetSize() : index + count;
    m_items.erase(m_items.begin() + index, m_items.begin() + end);
}
