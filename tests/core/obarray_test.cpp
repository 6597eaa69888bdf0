#include "win/ObArray.h"

#include <gtest/gtest.h>

namespace {

class CNumber : public CObject {
 public:
  explicit CNumber(int n, int* deleted = nullptr) : m_n(n), m_pDeleted(deleted) {}
  ~CNumber() override {
    if (m_pDeleted) ++*m_pDeleted;
  }
  int m_n;
  int* m_pDeleted;
};

int N(CObject* o) { return o ? static_cast<CNumber*>(o)->m_n : -1; }

}  // namespace

TEST(CObArray, AddsInsertsRemovesInOrder) {
  CNumber a(1), b(2), c(3), d(4);
  CObArray arr;
  EXPECT_TRUE(arr.IsEmpty());
  EXPECT_EQ(arr.Add(&a), 0);
  EXPECT_EQ(arr.Add(&c), 1);
  arr.InsertAt(1, &b);
  arr.InsertAt(3, &d);  // at the end
  ASSERT_EQ(arr.GetSize(), 4);
  EXPECT_EQ(arr.GetCount(), 4);
  EXPECT_EQ(arr.GetUpperBound(), 3);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(N(arr[i]), i + 1);

  arr.RemoveAt(1);
  EXPECT_EQ(arr.GetSize(), 3);
  EXPECT_EQ(N(arr.GetAt(1)), 3);
  arr.RemoveAt(1, 100);  // clamped to the end
  EXPECT_EQ(arr.GetSize(), 1);
  arr.SetAt(0, &d);
  EXPECT_EQ(N(arr[0]), 4);
  arr.RemoveAll();
  EXPECT_EQ(arr.GetSize(), 0);
}

TEST(CObArray, OutOfRangeIsHarmless) {
  CNumber a(1);
  CObArray arr;
  EXPECT_EQ(arr.GetAt(0), nullptr);
  EXPECT_EQ(arr[-1], nullptr);
  arr.Add(&a);
  EXPECT_EQ(arr.GetAt(1), nullptr);
  arr.SetAt(5, &a);
  arr.SetAt(-1, &a);
  arr.RemoveAt(1);
  arr.RemoveAt(-1);
  arr.RemoveAt(0, 0);
  arr.InsertAt(-1, &a);
  arr.InsertAt(0, &a, 0);
  EXPECT_EQ(arr.GetSize(), 1);
  // Inserting past the end pads with nulls, as the framework's array does.
  arr.InsertAt(3, &a, 2);
  ASSERT_EQ(arr.GetSize(), 5);
  EXPECT_EQ(arr[1], nullptr);
  EXPECT_EQ(arr[2], nullptr);
  EXPECT_EQ(arr[3], &a);
  EXPECT_EQ(arr[4], &a);
}

TEST(CObArray, DoesNotOwnButOwnerDeletesThroughTheBase) {
  int deleted = 0;
  CObject* owned = new CNumber(1, &deleted);
  {
    CNumber other(2);
    CObArray arr;
    arr.Add(owned);
    arr.Add(&other);
    arr.RemoveAt(0);
    arr.InsertAt(0, owned);
    arr.RemoveAll();
    arr.Add(owned);
  }
  EXPECT_EQ(deleted, 0);  // neither removing nor the array's end deletes anything
  delete owned;
  EXPECT_EQ(deleted, 1);  // the virtual destructor runs through a CObject pointer
}

TEST(CTypedPtrArray, GivesTheElementType) {
  CNumber a(7), b(8);
  CTypedPtrArray<CObArray, CNumber*> arr;
  arr.Add(&a);
  arr.InsertAt(0, &b);
  EXPECT_EQ(arr[0]->m_n, 8);
  EXPECT_EQ(arr.GetAt(1)->m_n, 7);
  arr.SetAt(1, &b);
  EXPECT_EQ(arr[1], &b);
  EXPECT_EQ(arr.GetAt(2), nullptr);
  EXPECT_EQ(arr.GetSize(), 2);
}
