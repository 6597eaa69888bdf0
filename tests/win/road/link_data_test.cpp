// The drag source's data object on its own, in this process: what a drop target gets
// for each way it may ask, and that every receiver owns what it got.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include <string>

#include "ui/LinkServerItem.h"

namespace {

const char kLink[] = "=Quorvane|Line1!'Device1.Temp'";

std::string BlockBytes(HGLOBAL h) {
    const char* p = static_cast<const char*>(GlobalLock(h));
    std::string bytes = p != nullptr ? std::string(p, GlobalSize(h)) : std::string();
    GlobalUnlock(h);
    return bytes;
}

class LinkData : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        data_ = item_.OnGetClipboardData();
        ASSERT_NE(data_, nullptr);
    }
    void TearDown() override {
        if (data_ != nullptr) data_->Release();
        OleUninitialize();
    }
    CLinkServerItem item_{kLink};
    IDataObject* data_ = nullptr;
};

TEST_F(LinkData, TextAsGlobalBlockIsACopyPerReceiverWithItsZeroByte) {
    FORMATETC f{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(data_->QueryGetData(&f), S_OK);
    STGMEDIUM first{}, second{};
    ASSERT_EQ(data_->GetData(&f, &first), S_OK);
    ASSERT_EQ(data_->GetData(&f, &second), S_OK);
    ASSERT_EQ(first.tymed, DWORD(TYMED_HGLOBAL));
    EXPECT_NE(first.hGlobal, second.hGlobal);
    const std::string want = std::string(kLink) + '\0';
    EXPECT_EQ(BlockBytes(first.hGlobal).substr(0, want.size()), want);
    // The first receiver freeing its block leaves the second one's intact.
    ReleaseStgMedium(&first);
    EXPECT_EQ(BlockBytes(second.hGlobal).substr(0, want.size()), want);
    ReleaseStgMedium(&second);
}

TEST_F(LinkData, TextAsStreamIsRenderedOnRequest) {
    FORMATETC f{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTREAM};
    STGMEDIUM m{};
    ASSERT_EQ(data_->GetData(&f, &m), S_OK);
    ASSERT_EQ(m.tymed, DWORD(TYMED_ISTREAM));
    std::string bytes;
    char buf[64];
    ULONG n = 0;
    while (SUCCEEDED(m.pstm->Read(buf, sizeof buf, &n)) && n > 0) bytes.append(buf, n);
    ReleaseStgMedium(&m);
    EXPECT_EQ(bytes, std::string(kLink) + '\0');
}

TEST_F(LinkData, OffersOnlyTextAndListsBothMedia) {
    FORMATETC other{CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM m{};
    EXPECT_EQ(data_->QueryGetData(&other), DV_E_FORMATETC);
    EXPECT_EQ(data_->GetData(&other, &m), DV_E_FORMATETC);
    FORMATETC file{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_FILE};
    EXPECT_EQ(data_->GetData(&file, &m), DV_E_TYMED);

    IEnumFORMATETC* formats = nullptr;
    ASSERT_EQ(data_->EnumFormatEtc(DATADIR_GET, &formats), S_OK);
    FORMATETC listed[4];
    ULONG count = 0;
    formats->Next(4, listed, &count);
    formats->Release();
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(listed[0].cfFormat, CF_TEXT);
    EXPECT_EQ(listed[0].tymed, DWORD(TYMED_HGLOBAL));
    EXPECT_EQ(listed[1].tymed, DWORD(TYMED_ISTREAM));
}

TEST_F(LinkData, DataOutlivesTheItem) {
    // A drop target may keep the data object after the row (and its drag item) is gone.
    IDataObject* kept = nullptr;
    {
        CLinkServerItem shortLived("=Quorvane|A!'B'");
        kept = shortLived.OnGetClipboardData();
    }
    ASSERT_NE(kept, nullptr);
    FORMATETC f{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM m{};
    ASSERT_EQ(kept->GetData(&f, &m), S_OK);
    EXPECT_EQ(std::string(static_cast<const char*>(GlobalLock(m.hGlobal))), "=Quorvane|A!'B'");
    GlobalUnlock(m.hGlobal);
    ReleaseStgMedium(&m);
    kept->Release();
}

}  // namespace
