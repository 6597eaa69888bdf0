// BSTR allocation and the VARIANT life cycle (init, copy, clear), in both builds, as far
// as the bridge uses them. On the host, AddressSanitizer turns a missed free into a leak
// report and a shared BSTR into a double free. A conversion's destination is checked with
// every row of the conversion table.
#include <gtest/gtest.h>

#include <cstring>

#include "variant/holder.h"

namespace {

TEST(Bstr, KeepsLengthPrefixTerminatorAndEmbeddedNuls) {
    static const OLECHAR kWithNul[] = {'a', 0, 'b'};
    BSTR s = SysAllocStringLen(kWithNul, 3);
    ASSERT_NE(nullptr, s);
    DWORD prefix;
    std::memcpy(&prefix, reinterpret_cast<const char*>(s) - sizeof prefix, sizeof prefix);
    EXPECT_EQ(6u, prefix);
    EXPECT_EQ(3u, SysStringLen(s));
    EXPECT_EQ(6u, SysStringByteLen(s));
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
    s = SysAllocString(OLESTR(""));
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(0u, SysStringLen(s));
    EXPECT_EQ(0, s[0]);
    SysFreeString(s);

    EXPECT_EQ(nullptr, SysAllocString(nullptr));
    EXPECT_EQ(0u, SysStringLen(nullptr));
    EXPECT_EQ(0u, SysStringByteLen(nullptr));
    SysFreeString(nullptr);  // allowed, does nothing
}

TEST(VariantLifecycle, CopyDuplicatesTextAndClearFreesIt) {
    static const OLECHAR kWithNul[] = {'1', 0, '2'};
    CVariant source, copy, nullText;
    source->vt = VT_BSTR;
    source->bstrVal = SysAllocStringLen(kWithNul, 3);
    ASSERT_EQ(S_OK, VariantCopy(copy.Get(), source.Get()));
    ASSERT_EQ(VT_BSTR, copy->vt);
    EXPECT_NE(source->bstrVal, copy->bstrVal);  // its own string, freed separately
    ASSERT_EQ(3u, SysStringLen(copy->bstrVal));
    EXPECT_EQ(0, std::memcmp(copy->bstrVal, kWithNul, sizeof kWithNul));

    // Copying over a text releases the text that was there; a null text copies as "".
    nullText->vt = VT_BSTR;
    nullText->bstrVal = nullptr;
    ASSERT_EQ(S_OK, VariantCopy(copy.Get(), nullText.Get()));
    ASSERT_NE(nullptr, copy->bstrVal);
    EXPECT_EQ(0u, SysStringLen(copy->bstrVal));

    const BSTR before = source->bstrVal;
    EXPECT_EQ(S_OK, VariantCopy(source.Get(), source.Get()));
    EXPECT_EQ(before, source->bstrVal);

    EXPECT_EQ(S_OK, VariantClear(copy.Get()));
    EXPECT_EQ(VT_EMPTY, copy->vt);
    EXPECT_EQ(S_OK, VariantClear(copy.Get()));  // clearing twice is harmless
}

TEST(VariantLifecycle, BadTypesAreRefusedAndLeftAlone) {
    CVariant bad, copy, value, clsid;
    bad->vt = 15;
    EXPECT_EQ(DISP_E_BADVARTYPE, VariantClear(bad.Get()));
    EXPECT_EQ(15, bad->vt);

    copy->vt = VT_BSTR;
    copy->bstrVal = SysAllocString(OLESTR("kept"));
    const BSTR kept = copy->bstrVal;
    EXPECT_EQ(DISP_E_BADVARTYPE, VariantCopy(copy.Get(), bad.Get()));
    EXPECT_TRUE(copy->vt == VT_BSTR && copy->bstrVal == kept);

    // A destination that cannot be cleared is not overwritten either.
    value->vt = VT_I4;
    value->lVal = 1;
    EXPECT_EQ(DISP_E_BADVARTYPE, VariantCopy(bad.Get(), value.Get()));
    EXPECT_EQ(15, bad->vt);
    EXPECT_EQ(DISP_E_BADVARTYPE, VariantChangeType(bad.Get(), value.Get(), 0, VT_R8));
    EXPECT_EQ(15, bad->vt);

    clsid->vt = VT_CLSID;
    EXPECT_EQ(DISP_E_BADVARTYPE, VariantCopy(copy.Get(), clsid.Get()));
    EXPECT_EQ(S_OK, VariantClear(clsid.Get()));
}

}  // namespace
