#include "dde/XlTable.h"

#include "tests/core/values.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

typedef std::vector<BYTE> Bytes;

// A one-cell table block as the format lays it out.
Bytes Cell(WORD type, const Bytes& data) {
    Bytes b = {0x10, 0x00, 0x04, 0x00, 0x01, 0x00, 0x01, 0x00};
    b.push_back(static_cast<BYTE>(type));
    b.push_back(static_cast<BYTE>(type >> 8));
    b.push_back(static_cast<BYTE>(data.size()));
    b.push_back(static_cast<BYTE>(data.size() >> 8));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

Bytes Number(double d) {
    Bytes raw(8);
    std::memcpy(raw.data(), &d, 8);
    return Cell(kTdtFloat, raw);
}

Bytes Encoded(const VARIANT& v) {
    XlTableBlock block;
    std::memset(&block, 0xCC, sizeof block);
    if (!EncodeXlTableValue(v, &block)) return Bytes();
    return Bytes(block.bytes, block.bytes + block.size);
}

Bytes Encoded(VARTYPE vt, long long bits, double d = 0) { return Encoded(Raw(vt, bits, d)); }

Bytes EncodedText(const OLECHAR* text, UINT length) {
    CVariant v;
    return Encoded(SetText(v, text, length));
}

// The decoded poke as "<vt>:<value>", or "refused".
std::string Decoded(const Bytes& b, VARTYPE target, size_t size = ~size_t{0}) {
    CVariant v;
    if (!DecodeXlTablePoke(b.data(), static_cast<UINT>(size < b.size() ? size : b.size()), target, v.Get()))
        return v->vt == VT_EMPTY ? "refused" : "refused, but a value left";
    std::ostringstream out;
    out << v->vt << ":";
    if (v->vt == VT_R8) out << v->dblVal;
    if (v->vt == VT_I2 || v->vt == VT_BOOL) out << v->iVal;
    if (v->vt == VT_I4) out << v->lVal;
    for (UINT i = 0; v->vt == VT_BSTR && i < SysStringLen(v->bstrVal); ++i) out << static_cast<char>(v->bstrVal[i]);
    return out.str();
}

TEST(XlTableEncode, NumbersBooleansAndEverythingElseAsNumbers) {
    EXPECT_EQ(Encoded(VT_R8, 0, 1.5), (Bytes{0x10, 0, 4, 0, 1, 0, 1, 0, 1, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}));
    EXPECT_EQ(Encoded(VT_BOOL, VARIANT_TRUE), (Bytes{0x10, 0, 4, 0, 1, 0, 1, 0, 3, 0, 2, 0, 1, 0}));
    EXPECT_EQ(Encoded(VT_BOOL, 1), Cell(kTdtBool, {1, 0}));  // any non-zero value is true
    EXPECT_EQ(Encoded(VT_BOOL, VARIANT_FALSE), Cell(kTdtBool, {0, 0}));
    EXPECT_EQ(Encoded(VT_EMPTY, 0), Number(0));  // an item without a value yet
    EXPECT_EQ(Encoded(VT_UI4, 0xFFFFFFFF), Number(4294967295.0));
    EXPECT_EQ(Encoded(VT_R4, 0, 0.25), Number(0.25));
    EXPECT_EQ(Encoded(VT_DATE, 0, 45306.5), Number(45306.5));  // its OLE date number
    EXPECT_EQ(Encoded(VT_CY, 15000), Number(1.5));             // 1.5 in units of 1/10000
    // A modifier bit means the value is no plain boolean: it goes through the number road.
    VARIANT_BOOL flag = VARIANT_TRUE;
    EXPECT_EQ(Encoded(VT_BOOL | VT_BYREF, reinterpret_cast<long long>(&flag)), Number(-1));

    // Values without a number give no block.
    const VARIANT null = Raw(VT_NULL, 0);
    XlTableBlock block;
    block.size = 99;
    EXPECT_EQ(EncodeXlTableValue(null, &block), FALSE);
    EXPECT_EQ(block.size, 0u);
    EXPECT_EQ(EncodeXlTableValue(null, nullptr), FALSE);
}

TEST(XlTableEncode, TextIsCutConsistently) {
    EXPECT_EQ(EncodedText(OLESTR("abc"), 3), (Bytes{0x10, 0, 4, 0, 1, 0, 1, 0, 2, 0, 4, 0, 3, 0x61, 0x62, 0x63}));
    EXPECT_EQ(EncodedText(OLESTR(""), 0), Cell(kTdtString, {0}));
    EXPECT_EQ(EncodedText(nullptr, 0), Cell(kTdtString, {0}));  // a null string is the empty text
    EXPECT_EQ(EncodedText(OLESTR("ab\0cd"), 5), Cell(kTdtString, {2, 'a', 'b'}));
    // At 255 characters: count byte, size field and length agree; exactly 255 is not cut.
    std::vector<OLECHAR> longText(300, OLECHAR('x'));
    Bytes full(256, 'x');
    full[0] = 255;
    EXPECT_EQ(EncodedText(longText.data(), 300), Cell(kTdtString, full));
    EXPECT_EQ(EncodedText(longText.data(), 255), Cell(kTdtString, full));
    EXPECT_EQ(EncodedText(longText.data(), 254).size(), 267u);
}

TEST(XlTableDecode, TakesTheFirstCellAndConvertsItToTheTarget) {
    Bytes table = {0x10, 0, 4, 0, 2, 0, 2, 0, 1, 0, 32, 0};  // 2 x 2: only the first cell counts
    for (double d : {3.25, 4.0, 5.0, 6.0}) {
        Bytes n = Number(d);
        table.insert(table.end(), n.begin() + 12, n.end());
    }
    Bytes badCellSize = Cell(kTdtInt, {7, 0});
    badCellSize[10] = 0xFF;  // the cell record's size field is not looked at
    Bytes longest = Cell(kTdtString, Bytes(1, 255));
    longest.resize(longest.size() + 255, 'y');
    longest.resize(900, 0);  // well inside the first 800 bytes
    Bytes big = Number(9.5);
    big.resize(100000, 0xEE);
    const struct {
        Bytes block;
        VARTYPE target;
        std::string result;
    } cases[] = {
        {Number(1.5), VT_R8, "5:1.5"},
        {Cell(kTdtInt, {0xFB, 0xFF}), VT_R8, "5:-5"},
        {Cell(kTdtBool, {2, 0}), VT_I4, "3:1"},
        {Cell(kTdtBool, {0, 1}), VT_BOOL, "11:1"},  // 1, not VARIANT_TRUE
        {Cell(kTdtBool, {0, 0}), VT_BOOL, "11:0"},
        {Cell(kTdtString, {3, 'a', 'b', 'c'}), VT_BSTR, "8:abc"},
        {Cell(kTdtString, {3, 'a', 'b', 'c', 'd'}), VT_BSTR, "8:abc"},
        {Cell(kTdtString, {0}), VT_BSTR, "8:"},
        {Cell(kTdtString, {4, '1', '2', '.', '5'}), VT_R8, "5:12.5"},
        {Cell(kTdtInt, {42, 0}), VT_BSTR, "8:42"},
        // An item that has no value yet gets the cell in its own kind, never VT_EMPTY.
        {Cell(kTdtInt, {42, 0}), VT_EMPTY, "5:42"},
        {Cell(kTdtBool, {1, 0}), VT_EMPTY, "11:-1"},
        {Cell(kTdtString, {2, 'o', 'k'}), VT_EMPTY, "8:ok"},
        {table, VT_R8, "5:3.25"},
        {badCellSize, VT_I2, "2:7"},
        {big, VT_R8, "5:9.5"},
        {longest, VT_BSTR, "8:" + std::string(255, 'y')},
        // Refused: foreign blocks, unknown cells, texts that are no number for a numeric item.
        {{'1', '2', '.', '5', '\r', '\n', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, VT_R8, "refused"},
        {Cell(kTdtString, {3, 'a', 'b', 'c'}), VT_R8, "refused"},
        // Blocks shorter than their cell or their text.
        {Cell(kTdtString, {}), VT_BSTR, "refused"},
        {Cell(kTdtString, {3, 'a', 'b'}), VT_BSTR, "refused"},
        {Cell(kTdtString, {5, 'a', 'b', 'c'}), VT_BSTR, "refused"},
        {Cell(kTdtString, {255}), VT_BSTR, "refused"},
        {Cell(kTdtBool, {1}), VT_BOOL, "refused"},
        {Cell(kTdtInt, {1}), VT_I2, "refused"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.result, Decoded(c.block, c.target)) << c.result;
    for (WORD type : {0, 4, 5, 7, 8, 0x10, 0xFFFF})
        EXPECT_EQ("refused", Decoded(Cell(type, Bytes(8, 0)), VT_R8)) << type;
    for (size_t size = 0; size < 20; ++size) EXPECT_EQ("refused", Decoded(Number(2.0), VT_R8, size)) << size;

    CVariant v;
    EXPECT_FALSE(DecodeXlTablePoke(nullptr, 20, VT_R8, v.Get()));
    EXPECT_FALSE(DecodeXlTablePoke(Number(2.0).data(), 20, VT_R8, nullptr));
}

}  // namespace
