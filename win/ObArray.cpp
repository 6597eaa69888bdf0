#include "win/ObArray.h"

#include <cstddef>

CObject::~CObject() = default;

CObject* CObArray::GetAt(int index) const {
  if (index < 0 || index >= GetSize()) return nullptr;
  return m_items[static_cast<size_t>(index)];
}

void CObArray::SetAt(int index, CObject* element) {
  if (index >= 0 && index < GetSize()) m_items[static_cast<size_t>(index)] = element;
}

int CObArray::Add(CObject* element) {
  m_items.push_back(element);
  return GetSize() - 1;
}

void CObArray::InsertAt(int index, CObject* element, int count) {
  if (index < 0 || count <= 0) return;
  if (index > GetSize()) m_items.resize(static_cast<size_t>(index), nullptr);
  m_items.insert(m_items.begin() + index, static_cast<size_t>(count), element);
}

void CObArray::RemoveAt(int index, int count) {
  if (index < 0 || index >= GetSize() || count <= 0) return;
  int end = (count > GetSize() - index) ? GetSize() : index + count;
  m_items.erase(m_items.begin() + index, m_items.begin() + end);
}
