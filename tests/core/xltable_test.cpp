#include "dde/XlTable.h"

#include "variant/holder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

typedef std::vector<BYTE> Bytes;

Bytes Encoded(const VARIANT& v) {
    XlTableBlock block;
    std::memset(&block, 0xCC, sizeof block);
    if (!EncodeXlTableValue(v, &block)) return Bytes();
    return Bytes(block.bytes, block.bytes + block.size);
}

Bytes EncodedR8(double d) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_R8;
    v.dblVal = d;
    return Encoded(v);
}

Bytes EncodedText(const OLECHAR* text, UINT length) {
    CVariant v;
    v->vt = VT_BSTR;
    v->bstrVal = SysAllocStringLen(text, length);
    return Encoded(*v);
}

double NumberIn(const Bytes& b) {
    double d = 0;
    if (b.size() == 20) std::memcpy(&d, b.data() + 12, 8);
    return d;
}

BOOL Decode(const Bytes& b, VARTYPE target, CVariant* out) {
    return DecodeXlTablePoke(b.data(), static_cast<UINT>(b.size()), target, out->Get());
}

Bytes Cell(WORD type, const Bytes& data) {
    Bytes b = {0x10, 0x00, 0x04, 0x00, 0x01, 0x00, 0x01, 0x00};
    b.push_back(static_cast<BYTE>(type));
    b.push_back(static_cast<BYTE>(type >> 8));
    b.push_back(static_cast<BYTE>(data.size()));
    b.push_back(static_cast<BYTE>(data.size() >> 8));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

std::string Narrow(BSTR s) {
    std::string out;
    for (UINT i = 0; i < SysStringLen(s); ++i) out += static_cast<char>(s[i]);
    return out;
}

}  // namespace

TEST(XlTableEncode, NumberBooleanAndTextBlocks) {
    EXPECT_EQ(EncodedR8(1.5), (Bytes{0x10, 0, 4, 0, 1, 0, 1, 0, 1, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}));

    VARIANT b;
    VariantInit(&b);
    b.vt = VT_BOOL;
    b.boolVal = VARIANT_TRUE;
    EXPECT_EQ(Encoded(b), (Bytes{0x10, 0, 4, 0, 1, 0, 1, 0, 3, 0, 2, 0, 1, 0}));
    b.boolVal = 1;  // any non-zero value is true
    EXPECT_EQ(Encoded(b), (Bytes{0x10, 0, 4, 0, 1, 0, 1, 0, 3, 0, 2, 0, 1, 0}));
    b.boolVal = VARIANT_FALSE;
    EXPECT_EQ(Encoded(b), (Bytes{0x10, 0, 4, 0, 1, 0, 1, 0, 3, 0, 2, 0, 0, 0}));

    EXPECT_EQ(EncodedText(OLESTR("abc"), 3), (Bytes{0x10, 0, 4, 0, 1, 0, 1, 0, 2, 0, 4, 0, 3, 0x61, 0x62, 0x63}));
    EXPECT_EQ(EncodedText(OLESTR(""), 0), (Bytes{0x10, 0, 4, 0, 1, 0, 1, 0, 2, 0, 1, 0, 0}));
}

TEST(XlTableEncode, OtherTypesGoOutAsNumbers) {
    VARIANT v;
    VariantInit(&v);
    Bytes empty = Encoded(v);
    ASSERT_EQ(empty.size(), 20u);  // an item without a value yet
    EXPECT_EQ(NumberIn(empty), 0.0);

    v.vt = VT_I4;
    v.lVal = 42;
    EXPECT_EQ(NumberIn(Encoded(v)), 42.0);
    v.vt = VT_I2;
    v.iVal = -5;
    EXPECT_EQ(NumberIn(Encoded(v)), -5.0);
    v.vt = VT_UI4;
    v.ulVal = 0xFFFFFFFFu;
    EXPECT_EQ(NumberIn(Encoded(v)), 4294967295.0);
    v.vt = VT_R4;
    v.fltVal = 0.25f;
    EXPECT_EQ(NumberIn(Encoded(v)), 0.25);
    v.vt = VT_DATE;
    v.date = 45306.5;  // a date goes out as its OLE date number
    EXPECT_EQ(NumberIn(Encoded(v)), 45306.5);
    v.vt = VT_CY;
    v.cyVal.int64 = 15000;  // 1.5 in units of 1/10000
    EXPECT_EQ(NumberIn(Encoded(v)), 1.5);

    // A modifier bit means the value is no plain boolean: it goes through the number road.
    VARIANT_BOOL flag = VARIANT_TRUE;
    v.vt = VT_BOOL | VT_BYREF;
    v.pboolVal = &flag;
    EXPECT_EQ(NumberIn(Encoded(v)), -1.0);
}

TEST(XlTableEncode, ValuesWithoutANumberGiveNoBlock) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_NULL;
    XlTableBlock block;
    block.size = 99;
    EXPECT_EQ(EncodeXlTableValue(v, &block), FALSE);
    EXPECT_EQ(block.size, 0u);
    EXPECT_EQ(EncodeXlTableValue(v, nullptr), FALSE);
}

TEST(XlTableEncode, TextIsCutConsistently) {
    // At an embedded NUL.
    EXPECT_EQ(EncodedText(OLESTR("ab\0cd"), 5), (Bytes{0x10, 0, 4, 0, 1, 0, 1, 0, 2, 0, 3, 0, 2, 0x61, 0x62}));
    // At 255 characters: count byte, size field and length agree.
    std::vector<OLECHAR> longText(300, OLECHAR('x'));
    Bytes b = EncodedText(longText.data(), 300);
    ASSERT_EQ(b.size(), 13u + 255u);
    EXPECT_EQ(b[10] | (b[11] << 8), 256);
    EXPECT_EQ(b[12], 255);
    EXPECT_EQ(b[267], 'x');
    // Exactly 255 is not cut.
    EXPECT_EQ(EncodedText(longText.data(), 255).size(), 268u);
    EXPECT_EQ(EncodedText(longText.data(), 254).size(), 267u);
    // A null string is the empty text.
    VARIANT nullText;
    VariantInit(&nullText);
    nullText.vt = VT_BSTR;
    nullText.bstrVal = nullptr;
    EXPECT_EQ(Encoded(nullText), (Bytes{0x10, 0, 4, 0, 1, 0, 1, 0, 2, 0, 1, 0, 0}));
}

TEST(XlTableDecode, TakesEachCellTypeAndConvertsToTheTarget) {
    CVariant r8;
    ASSERT_TRUE(Decode(EncodedR8(1.5), VT_R8, &r8));
    EXPECT_EQ(r8->vt, VT_R8);
    EXPECT_EQ(r8->dblVal, 1.5);

    CVariant minus5;  // tdtInt 0xFFFB into a VT_R8 item
    ASSERT_TRUE(Decode(Cell(kTdtInt, {0xFB, 0xFF}), VT_R8, &minus5));
    EXPECT_EQ(minus5->vt, VT_R8);
    EXPECT_EQ(minus5->dblVal, -5.0);

    CVariant one;  // tdtBool 2 into a VT_I4 item
    ASSERT_TRUE(Decode(Cell(kTdtBool, {2, 0}), VT_I4, &one));
    EXPECT_EQ(one->vt, VT_I4);
    EXPECT_EQ(one->lVal, 1);

    CVariant flag;  // the boolean keeps the value 1, not VARIANT_TRUE
    ASSERT_TRUE(Decode(Cell(kTdtBool, {0, 1}), VT_BOOL, &flag));
    EXPECT_EQ(flag->vt, VT_BOOL);
    EXPECT_EQ(flag->boolVal, 1);
    CVariant off;
    ASSERT_TRUE(Decode(Cell(kTdtBool, {0, 0}), VT_BOOL, &off));
    EXPECT_EQ(off->boolVal, 0);

    CVariant text;
    ASSERT_TRUE(Decode(Cell(kTdtString, {3, 'a', 'b', 'c'}), VT_BSTR, &text));
    EXPECT_EQ(text->vt, VT_BSTR);
    EXPECT_EQ(Narrow(text->bstrVal), "abc");

    CVariant emptyText;
    ASSERT_TRUE(Decode(Cell(kTdtString, {0}), VT_BSTR, &emptyText));
    EXPECT_EQ(emptyText->vt, VT_BSTR);
    EXPECT_EQ(SysStringLen(emptyText->bstrVal), 0u);

    CVariant parsed;  // text into a numeric item must parse as a number
    ASSERT_TRUE(Decode(Cell(kTdtString, {4, '1', '2', '.', '5'}), VT_R8, &parsed));
    EXPECT_EQ(parsed->dblVal, 12.5);

    CVariant asText;  // a number into a text item arrives as text
    ASSERT_TRUE(Decode(Cell(kTdtInt, {42, 0}), VT_BSTR, &asText));
    EXPECT_EQ(Narrow(asText->bstrVal), "42");

    // An item that has no value yet gets the cell in its own kind, never VT_EMPTY.
    CVariant own;
    ASSERT_TRUE(Decode(Cell(kTdtInt, {42, 0}), VT_EMPTY, &own));
    EXPECT_EQ(own->vt, VT_R8);
    EXPECT_EQ(own->dblVal, 42.0);
    CVariant ownBool, ownText;
    ASSERT_TRUE(Decode(Cell(kTdtBool, {1, 0}), VT_EMPTY, &ownBool));
    EXPECT_EQ(ownBool->vt, VT_BOOL);
    EXPECT_EQ(ownBool->boolVal, VARIANT_TRUE);
    ASSERT_TRUE(Decode(Cell(kTdtString, {2, 'o', 'k'}), VT_EMPTY, &ownText));
    EXPECT_EQ(Narrow(ownText->bstrVal), "ok");
}

TEST(XlTableDecode, UsesOnlyTheFirstCellWhateverTheTable) {
    Bytes table = {0x10, 0, 4, 0, 2, 0, 2, 0, 1, 0, 32, 0};
    for (double d : {3.25, 4.0, 5.0, 6.0}) {
        BYTE raw[8];
        std::memcpy(raw, &d, 8);
        table.insert(table.end(), raw, raw + 8);
    }
    CVariant v;
    ASSERT_TRUE(Decode(table, VT_R8, &v));
    EXPECT_EQ(v->dblVal, 3.25);

    // The cell record's size field is not looked at either.
    Bytes b = Cell(kTdtInt, {7, 0});
    b[10] = 0xFF;
    CVariant w;
    ASSERT_TRUE(Decode(b, VT_I2, &w));
    EXPECT_EQ(w->iVal, 7);
}

TEST(XlTableDecode, RefusesForeignAndUnknownCells) {
    CVariant v;
    Bytes plain = {'1', '2', '.', '5', '\r', '\n', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(Decode(plain, VT_R8, &v));
    for (WORD type : {0, 4, 5, 7, 8, 0x10, 0xFFFF}) {
        EXPECT_FALSE(Decode(Cell(type, {0, 0, 0, 0, 0, 0, 0, 0}), VT_R8, &v)) << type;
        EXPECT_EQ(v->vt, VT_EMPTY);
    }
    // A text that is no number cannot go into a numeric item.
    EXPECT_FALSE(Decode(Cell(kTdtString, {3, 'a', 'b', 'c'}), VT_R8, &v));
    EXPECT_EQ(v->vt, VT_EMPTY);
}

TEST(XlTableDecode, RefusesBlocksShorterThanTheirCell) {
    CVariant v;
    EXPECT_FALSE(DecodeXlTablePoke(nullptr, 20, VT_R8, v.Get()));
    Bytes b = EncodedR8(2.0);
    EXPECT_FALSE(DecodeXlTablePoke(b.data(), 20, VT_R8, nullptr));
    for (UINT size = 0; size < 20; ++size) EXPECT_FALSE(DecodeXlTablePoke(b.data(), size, VT_R8, v.Get())) << size;
    EXPECT_TRUE(DecodeXlTablePoke(b.data(), 20, VT_R8, v.Get()));
    VariantClear(v.Get());

    Bytes flag = Cell(kTdtBool, {1, 0});
    EXPECT_FALSE(DecodeXlTablePoke(flag.data(), 13, VT_BOOL, v.Get()));
    Bytes i2 = Cell(kTdtInt, {1, 0});
    EXPECT_FALSE(DecodeXlTablePoke(i2.data(), 13, VT_I2, v.Get()));
    Bytes noCount = Cell(kTdtString, {});
    EXPECT_FALSE(Decode(noCount, VT_BSTR, &v));

    // A count byte that runs past the block.
    EXPECT_FALSE(Decode(Cell(kTdtString, {5, 'a', 'b', 'c'}), VT_BSTR, &v));
    EXPECT_FALSE(Decode(Cell(kTdtString, {255}), VT_BSTR, &v));
    EXPECT_TRUE(Decode(Cell(kTdtString, {3, 'a', 'b', 'c', 'd'}), VT_BSTR, &v));
    EXPECT_EQ(Narrow(v->bstrVal), "abc");
}

TEST(XlTableDecode, LooksAtTheFirst800BytesOnly) {
    Bytes big = EncodedR8(9.5);
    big.resize(100000, 0xEE);
    CVariant v;
    ASSERT_TRUE(Decode(big, VT_R8, &v));
    EXPECT_EQ(v->dblVal, 9.5);
    // The longest text fits well inside the limit.
    Bytes text = Cell(kTdtString, Bytes(1, 255));
    text.resize(text.size() + 255, 'y');
    text.resize(900, 0);
    CVariant t;
    ASSERT_TRUE(Decode(text, VT_BSTR, &t));
    EXPECT_EQ(SysStringLen(t->bstrVal), 255u);
}

TEST(XlTableRoundTrip, WhatGoesOutComesBackTheSame) {
    CVariant n, b, s;
    ASSERT_TRUE(Decode(EncodedR8(-1234.5678), VT_R8, &n));
    EXPECT_EQ(n->dblVal, -1234.5678);
    VARIANT flag;
    VariantInit(&flag);
    flag.vt = VT_BOOL;
    flag.boolVal = VARIANT_TRUE;
    ASSERT_TRUE(Decode(Encoded(flag), VT_BOOL, &b));
    EXPECT_NE(b->boolVal, 0);
    std::vector<OLECHAR> printable;
    for (int c = 0x20; c < 0x7F; ++c) printable.push_back(static_cast<OLECHAR>(c));
    Bytes block = EncodedText(printable.data(), static_cast<UINT>(printable.size()));
    ASSERT_TRUE(Decode(block, VT_BSTR, &s));
    ASSERT_EQ(SysStringLen(s->bstrVal), printable.size());
    EXPECT_EQ(std::memcmp(s->bstrVal, printable.data(), printable.size() * sizeof(OLECHAR)), 0);
}
