// Registration: both classes are found through the component categories, under DA 2.0
// normally and under DA 1.0 only after "/RegServer /DA1".
#include <gtest/gtest.h>

#include "sim_client.h"

#include <comcat.h>

#include <string>
#include <vector>

namespace simtest {
namespace {

const CLSID kHierarchicalClsid = {0x5B3E4581, 0xCC9F, 0x47CC, {0x8C, 0x17, 0xA9, 0xDD, 0x63, 0xDB, 0x3E, 0x01}};
const CLSID kFlatClsid = {0xF122D24D, 0xA7D8, 0x4F70, {0x85, 0xAC, 0xD2, 0x5C, 0xFA, 0xDB, 0x1B, 0x18}};

// Runs QuorvaneSim.exe (beside this test) with arguments; returns its exit code or -1.
int RunServer(const wchar_t* args) {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring exe(path, n);
    exe = exe.substr(0, exe.find_last_of(L"\\/") + 1) + L"QuorvaneSim.exe";
    std::wstring cmd = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

std::vector<CLSID> ClassesOf(const CATID& catid) {
    std::vector<CLSID> out;
    ComPtr<ICatInformation> cats;
    if (FAILED(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatInformation,
                                reinterpret_cast<void**>(cats.put()))))
        return out;
    CATID wanted = catid;
    ComPtr<IEnumGUID> e;
    if (FAILED(cats->EnumClassesOfCategories(1, &wanted, 0, nullptr, e.put()))) return out;
    CLSID c;
    ULONG got = 0;
    while (e->Next(1, &c, &got) == S_OK && got == 1) out.push_back(c);
    return out;
}

bool Contains(const std::vector<CLSID>& list, const CLSID& c) {
    for (const CLSID& x : list)
        if (IsEqualCLSID(x, c)) return true;
    return false;
}

TEST(SimRegistration, ClassesAreListedUnderTheChosenOpcCategory) {
    auto da2 = ClassesOf(CATID_OPCDAServer20);
    EXPECT_TRUE(Contains(da2, kHierarchicalClsid));
    EXPECT_TRUE(Contains(da2, kFlatClsid));
    EXPECT_FALSE(Contains(ClassesOf(CATID_OPCDAServer10), kHierarchicalClsid));
    LPOLESTR progId = nullptr;
    ASSERT_EQ(S_OK, ProgIDFromCLSID(kFlatClsid, &progId));
    EXPECT_STREQ(kFlat, progId);
    CoTaskMemFree(progId);

    ASSERT_EQ(0, RunServer(L"/RegServer /DA1"));
    EXPECT_TRUE(Contains(ClassesOf(CATID_OPCDAServer10), kHierarchicalClsid));
    EXPECT_FALSE(Contains(ClassesOf(CATID_OPCDAServer20), kHierarchicalClsid));

    ASSERT_EQ(0, RunServer(L"/RegServer"));
    EXPECT_TRUE(Contains(ClassesOf(CATID_OPCDAServer20), kHierarchicalClsid));
    EXPECT_FALSE(Contains(ClassesOf(CATID_OPCDAServer10), kFlatClsid));
}

}  // namespace
}  // namespace simtest
