// BSTR allocation and the VARIANT life cycle (init, copy, clear, a conversion's
// destination), in both builds, as far as the bridge uses them. On the host,
// AddressSanitizer turns a missed free into a leak report and a shared BSTR into a double free.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "tests/core/variant_values.h"
#include "variant/holder.h"

namespace {

using namespace variant_test;

DWORD LengthPrefix(BSTR s) {
    DWORD bytes;
    std::memcpy(&bytes, reinterpret_cast<const char*>(s) - sizeof bytes, sizeof bytes);
    return bytes;
}

TEST(Bstr, AllocationKeepsLengthPrefixAndTerminator) {
    BSTR s = SysAllocString(OLESTR("Running"));
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(7u, SysStringLen(s));
    EXPECT_EQ(14u, SysStringByteLen(s));
    EXPECT_EQ(14u, LengthPrefix(s));
    EXPECT_EQ(0, s[7]);
    SysFreeString(s);

    static const OLECHAR kWithNul[] = {'a', 0, 'b'};
    s = SysAllocStringLen(kWithNul, 3);
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(3u, SysStringLen(s));
    EXPECT_EQ(0, std::memcmp(s, kWithNul, sizeof kWithNul));
    EXPECT_EQ(0, s[3]);
    SysFreeString(s);

    s = SysAllocStringLen(nullptr, 3);  // room for three, to be filled by the caller
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(3u, SysStringLen(s));
    EXPECT_EQ(0, s[3]);
    SysFreeString(s);

    s = SysAllocStringByteLen("abc", 3);  // an odd byte count: one whole code unit
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(3u, SysStringByteLen(s));
    EXPECT_EQ(1u, SysStringLen(s));
    SysFreeString(s);
}

TEST(Bstr, EmptyAndNull) {
    BSTR empty = SysAllocString(OLESTR(""));
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(0u, SysStringLen(empty));
    EXPECT_EQ(0, empty[0]);
    SysFreeString(empty);

    EXPECT_EQ(nullptr, SysAllocString(nullptr));
    EXPECT_EQ(0u, SysStringLen(nullptr));
    EXPECT_EQ(0u, SysStringByteLen(nullptr));
    SysFreeString(nullptr);  // allowed, does nothing
}

TEST(VariantLifecycle, CopyDuplicatesTextAndClearFreesIt) {
    VARIANT source = Make(Text(OLESTR("Running")));
    VARIANT copy;
    VariantInit(&copy);
    ASSERT_EQ(Hex(S_OK), Hex(VariantCopy(&copy, &source)));
    ASSERT_EQ(VT_BSTR, copy.vt);
    EXPECT_NE(source.bstrVal, copy.bstrVal);  // its own string, freed separately below
    EXPECT_TRUE(Same(copy, Text(OLESTR("Running"))));

    // Copying over a text releases the text that was there.
    VARIANT other = Make(Text(OLESTR("Stopped")));
    ASSERT_EQ(Hex(S_OK), Hex(VariantCopy(&copy, &other)));
    EXPECT_TRUE(Same(copy, Text(OLESTR("Stopped"))));

    EXPECT_EQ(Hex(S_OK), Hex(VariantClear(&copy)));
    EXPECT_EQ(VT_EMPTY, copy.vt);
    EXPECT_EQ(Hex(S_OK), Hex(VariantClear(&copy)));  // clearing twice is harmless
    VariantClear(&other);
    VariantClear(&source);
}

TEST(VariantLifecycle, CopyKeepsEmbeddedNulsAndMakesNullTextEmpty) {
    static const OLECHAR kWithNul[] = {'1', 0, '2'};
    VARIANT source = Make(TextN(kWithNul, 3));
    VARIANT copy;
    VariantInit(&copy);
    ASSERT_EQ(Hex(S_OK), Hex(VariantCopy(&copy, &source)));
    EXPECT_TRUE(Same(copy, TextN(kWithNul, 3)));
    VariantClear(&copy);
    VariantClear(&source);

    source = Make(NullText());
    ASSERT_EQ(Hex(S_OK), Hex(VariantCopy(&copy, &source)));
    EXPECT_TRUE(Same(copy, Text(OLESTR(""))));  // a real, empty string
    VariantClear(&copy);
    VariantClear(&source);
}

TEST(VariantLifecycle, CopyOntoItselfChangesNothing) {
    VARIANT v = Make(Text(OLESTR("same")));
    const BSTR before = v.bstrVal;
    EXPECT_EQ(Hex(S_OK), Hex(VariantCopy(&v, &v)));
    EXPECT_EQ(before, v.bstrVal);
    VariantClear(&v);
}

TEST(VariantLifecycle, BadTypesAreRefusedAndLeftAlone) {
    VARIANT bad;
    VariantInit(&bad);
    bad.vt = 15;
    EXPECT_EQ(Hex(DISP_E_BADVARTYPE), Hex(VariantClear(&bad)));
    EXPECT_EQ(15, bad.vt);

    VARIANT copy = Make(Text(OLESTR("kept")));
    EXPECT_EQ(Hex(DISP_E_BADVARTYPE), Hex(VariantCopy(&copy, &bad)));
    EXPECT_TRUE(Same(copy, Text(OLESTR("kept"))));

    // A destination that cannot be cleared is not overwritten either.
    VARIANT value = Make(I4(1));
    EXPECT_EQ(Hex(DISP_E_BADVARTYPE), Hex(VariantCopy(&bad, &value)));
    EXPECT_EQ(15, bad.vt);
    EXPECT_EQ(Hex(DISP_E_BADVARTYPE), Hex(VariantChangeType(&bad, &value, 0, VT_R8)));
    EXPECT_EQ(15, bad.vt);

    VARIANT clsid;
    VariantInit(&clsid);
    clsid.vt = VT_CLSID;
    EXPECT_EQ(Hex(DISP_E_BADVARTYPE), Hex(VariantCopy(&copy, &clsid)));
    EXPECT_EQ(Hex(S_OK), Hex(VariantClear(&clsid)));
    VariantClear(&copy);
}

TEST(VariantLifecycle, ChangeTypeReplacesTheOldDestination) {
    VARIANT result = Make(Text(OLESTR("old")));
    VARIANT source = Make(R8(2.5));
    ASSERT_EQ(Hex(S_OK), Hex(VariantChangeType(&result, &source, 0, VT_BSTR)));
    EXPECT_TRUE(Same(result, Text(OLESTR("2.5"))));
    VariantClear(&result);
    VariantClear(&source);
}

TEST(VariantHolder, ClearsOnDestructionAndReuse) {
    {
        CVariant v;
        EXPECT_EQ(VT_EMPTY, v->vt);
        v->vt = VT_BSTR;
        v->bstrVal = SysAllocString(OLESTR("first"));
        VARIANT* out = v.Reset();  // frees "first"
        EXPECT_EQ(v.Get(), out);
        EXPECT_EQ(VT_EMPTY, out->vt);
        VARIANT source = Make(Text(OLESTR("second")));
        ASSERT_EQ(Hex(S_OK), Hex(VariantCopy(out, &source)));
        VariantClear(&source);
    }  // frees "second"

    CVariant owner;
    owner->vt = VT_BSTR;
    owner->bstrVal = SysAllocString(OLESTR("moved"));
    VARIANT taken = owner.Detach();
    EXPECT_EQ(VT_EMPTY, owner->vt);
    EXPECT_TRUE(Same(taken, Text(OLESTR("moved"))));
    VariantClear(&taken);
}

TEST(VariantLayout, MatchesWindowsX64) {
    EXPECT_EQ(24u, sizeof(VARIANT));
    EXPECT_EQ(0u, offsetof(VARIANT, vt));
    EXPECT_EQ(8u, offsetof(VARIANT, lVal));
    EXPECT_EQ(8u, offsetof(VARIANT, dblVal));
    EXPECT_EQ(8u, offsetof(VARIANT, bstrVal));
    EXPECT_EQ(8u, offsetof(VARIANT, cyVal));
    EXPECT_EQ(0u, offsetof(VARIANT, decVal));
    EXPECT_EQ(2u, sizeof(VARIANT_BOOL));
    EXPECT_EQ(2u, sizeof(OLECHAR));
    EXPECT_EQ(8u, sizeof(CY));
    EXPECT_EQ(16u, sizeof(DECIMAL));
    EXPECT_EQ(8u, sizeof(FILETIME));
    EXPECT_EQ(0x4000, VT_BYREF);
    EXPECT_EQ(0x2000, VT_ARRAY);
    EXPECT_EQ(11, VT_BOOL);
    EXPECT_EQ(-1, VARIANT_TRUE);
}

}  // namespace
