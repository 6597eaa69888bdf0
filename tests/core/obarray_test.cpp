#include "win/ObArray.h"

#include <gtest/gtest.h>

namespace {

struct CNumber : CObject {
    explicit CNumber(int* deleted) : m_pDeleted(deleted) {}
    ~CNumber() override { ++*m_pDeleted; }
    int* m_pDeleted;
};

}  // namespace

// The array keeps order, ignores indexes outside it and never deletes what it holds;
// the owner deletes through the base's virtual destructor.
TEST(CObArray, KeepsOrderIgnoresBadIndexesAndOwnsNothing) {
    int deleted = 0;
    CObject* a = new CNumber(&deleted);
    CObject* b = new CNumber(&deleted);
    {
        CObArray arr;
        EXPECT_EQ(arr.Add(a), 0);
        EXPECT_EQ(arr.Add(b), 1);
        EXPECT_EQ(arr.Add(a), 2);
        EXPECT_EQ(arr[-1], nullptr);
        EXPECT_EQ(arr.GetAt(3), nullptr);
        arr.RemoveAt(3);
        arr.RemoveAt(-1);
        arr.RemoveAt(0, 0);
        ASSERT_EQ(arr.GetSize(), 3);
        arr.RemoveAt(0);
        EXPECT_EQ(arr[0], b);
        EXPECT_EQ(arr.GetSize(), 2);
        arr.RemoveAt(1, 100);
        EXPECT_EQ(arr.GetSize(), 1);
    }
    EXPECT_EQ(deleted, 0);
    delete a;
    delete b;
    EXPECT_EQ(deleted, 2);
}
