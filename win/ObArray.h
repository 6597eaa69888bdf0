#pragma once
// The framework's base object and its growable array of object pointers.
//
// Ownership: a CObArray never owns its elements. The owner deletes them (through the
// virtual destructor of CObject) before removing them or letting the array go.
// Indexes are checked: reads outside the array give a null pointer, writes and
// removals outside it change nothing. Order is kept by every operation.
// Threading: none of its own; an array belongs to one thread at a time.
#include <vector>

class CObject {
  public:
    virtual ~CObject();

  protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};

class CObArray {
  public:
    int GetSize() const { return static_cast<int>(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }

    CObject* GetAt(int index) const;
    CObject* operator[](int index) const { return GetAt(index); }

    // Appends and returns the new element's index.
    int Add(CObject* element);
    void RemoveAt(int index, int count = 1);
    void RemoveAll() { m_items.clear(); }

  private:
    std::vector<CObject*> m_items;
};
