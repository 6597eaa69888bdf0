// The DA 1.0 block reader against blocks no server should send: it must deliver what is
// well formed and nothing else, and never read outside the block.
#include "kobrix/Stream.h"

#include "opcda.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A block with one R8 item and one text item, laid out as the simulation server does.
struct Block {
    std::vector<BYTE> bytes;
    Block() {
        const size_t values = 64, text = values + 32;  // 20 + 2 * 20 headers, 8-aligned
        bytes.assign(text + sizeof(VARIANT) + 4 + 4, 0);
        OPCGROUPHEADER g = {static_cast<DWORD>(bytes.size()), 2, 9, 0, S_OK};
        OPCITEMHEADER1 a = {11, static_cast<DWORD>(values), 0xC0, 0, {1, 2}};
        OPCITEMHEADER1 b = {12, static_cast<DWORD>(text), 0x40, 0, {3, 4}};
        std::memcpy(&bytes[0], &g, sizeof g);
        std::memcpy(&bytes[20], &a, sizeof a);
        std::memcpy(&bytes[40], &b, sizeof b);
        VARIANT r8 = {};
        r8.vt = VT_R8;
        r8.dblVal = 2.5;
        std::memcpy(&bytes[values], &r8, sizeof r8);
        VARIANT s = {};
        s.vt = VT_BSTR;
        std::memcpy(&bytes[text], &s, sizeof s);
        const DWORD count = 4;
        std::memcpy(&bytes[text + sizeof(VARIANT)], &count, 4);
        std::memcpy(&bytes[text + sizeof(VARIANT) + 4], L"Hi", 4);
    }
    // Decodes; "11=2.5;12=Hi;" style, and the drop count.
    std::string Read(size_t size, int* dropped = nullptr) const {
        std::string seen;
        int d = kobrix::DecodeDataTime(bytes.data(), size, [&](DWORD h, const VARIANT& v, const FILETIME&, WORD) {
            seen += std::to_string(h) + "=";
            if (v.vt == VT_R8) seen += std::to_string(v.dblVal).substr(0, 3);
            if (v.vt == VT_BSTR)
                for (UINT i = 0; i < SysStringLen(v.bstrVal); ++i) seen += char(v.bstrVal[i]);
            seen += ";";
        });
        if (dropped) *dropped = d;
        return seen;
    }
    void Put(size_t at, DWORD value) { std::memcpy(&bytes[at], &value, 4); }
};

}  // namespace

TEST(Da1Block, WellFormedItemsOnlyAndNothingOutsideTheBlock) {
    Block ok;
    int dropped = -2;
    EXPECT_EQ(ok.Read(ok.bytes.size(), &dropped), "11=2.5;12=Hi;");
    EXPECT_EQ(dropped, 0);
    // Shorter than the header says, or than a header at all: the whole block goes.
    EXPECT_EQ(ok.Read(ok.bytes.size() - 1, &dropped), "");
    EXPECT_EQ(dropped, -1);
    EXPECT_EQ(ok.Read(10, &dropped), "");
    Block many;
    many.Put(4, 0x10000000);  // more item headers than the block holds
    EXPECT_EQ(many.Read(many.bytes.size(), &dropped), "");
    EXPECT_EQ(dropped, -1);
    // Bad single items are dropped alone.
    Block offset;
    offset.Put(24, 30);  // points into the headers
    EXPECT_EQ(offset.Read(offset.bytes.size()), "12=Hi;");
    offset.Put(24, static_cast<DWORD>(offset.bytes.size() - 4));  // runs past the end
    EXPECT_EQ(offset.Read(offset.bytes.size()), "12=Hi;");
    Block text;
    text.Put(96 + sizeof(VARIANT), 5);  // odd byte count
    EXPECT_EQ(text.Read(text.bytes.size(), &dropped), "11=2.5;");
    EXPECT_EQ(dropped, 1);
    text.Put(96 + sizeof(VARIANT), 6);  // past the end
    EXPECT_EQ(text.Read(text.bytes.size()), "11=2.5;");
    Block type;
    type.bytes[64] = VT_DISPATCH;  // a pointer type never travels in a block
    EXPECT_EQ(type.Read(type.bytes.size()), "12=Hi;");
}
