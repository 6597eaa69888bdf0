// The drag source's data object on its own, in this process: what a drop target gets
// for each way it may ask, and that every receiver owns what it got.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include <algorithm>
#include <string>

#include "ui/LinkServerItem.h"

namespace {

const char kLink[] = "=Quorvane|Line1!'Device1.Temp'";

// The bytes of a CF_TEXT medium up to the size asked for (a global block may be longer).
std::string Bytes(const STGMEDIUM& m, size_t size) {
    std::string bytes;
    if (m.tymed == TYMED_HGLOBAL) {
        const char* p = static_cast<const char*>(GlobalLock(m.hGlobal));
        if (p != nullptr) bytes.assign(p, std::min<size_t>(size, GlobalSize(m.hGlobal)));
        GlobalUnlock(m.hGlobal);
    } else if (m.tymed == TYMED_ISTREAM) {
        char buf[64];
        ULONG n = 0;
        while (SUCCEEDED(m.pstm->Read(buf, sizeof buf, &n)) && n > 0) bytes.append(buf, n);
    }
    return bytes;
}

TEST(LinkData, TextInBothMediaOwnedByEachReceiverAndOutlivingTheItem) {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    IDataObject* data = nullptr;
    {
        // A drop target may keep the data object after the row (and its drag item) is gone.
        CLinkServerItem item(kLink);
        data = item.OnGetClipboardData();
    }
    ASSERT_NE(data, nullptr);
    const std::string want = std::string(kLink) + '\0';
    FORMATETC global{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(data->QueryGetData(&global), S_OK);
    STGMEDIUM first{}, second{}, stream{};
    ASSERT_EQ(data->GetData(&global, &first), S_OK);
    ASSERT_EQ(data->GetData(&global, &second), S_OK);
    EXPECT_NE(first.hGlobal, second.hGlobal);
    EXPECT_EQ(Bytes(first, want.size()), want);
    // The first receiver freeing its block leaves the second one's intact.
    ReleaseStgMedium(&first);
    EXPECT_EQ(Bytes(second, want.size()), want);
    ReleaseStgMedium(&second);
    FORMATETC streamed{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTREAM};
    ASSERT_EQ(data->GetData(&streamed, &stream), S_OK);
    EXPECT_EQ(Bytes(stream, 1000), want);
    ReleaseStgMedium(&stream);

    // Only text is offered, in those two media.
    FORMATETC other{CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM m{};
    EXPECT_EQ(data->QueryGetData(&other), DV_E_FORMATETC);
    EXPECT_EQ(data->GetData(&other, &m), DV_E_FORMATETC);
    FORMATETC file{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_FILE};
    EXPECT_EQ(data->GetData(&file, &m), DV_E_TYMED);
    IEnumFORMATETC* formats = nullptr;
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &formats), S_OK);
    FORMATETC listed[4];
    ULONG count = 0;
    formats->Next(4, listed, &count);
    formats->Release();
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(listed[0].cfFormat, CF_TEXT);
    EXPECT_EQ(listed[0].tymed, DWORD(TYMED_HGLOBAL));
    EXPECT_EQ(listed[1].tymed, DWORD(TYMED_ISTREAM));
    data->Release();
    OleUninitialize();
}

}  // namespace
