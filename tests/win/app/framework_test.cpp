// The framework layer: data exchange in modal dialogs (a field that does not parse is
// refused and the dialog stays open), seen in the connection parameters dialog, and the
// parsers behind it.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

#include "opc/ConnectionParamsDlg.h"
#include "resource.h"
#include "tests/win/app/app_env.h"
#include "win/Dialog.h"

using namespace apptest;

namespace {

// Runs once inside the next modal loop, from a thread timer.
std::function<void()> g_script;
void CALLBACK RunScript(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    std::function<void()> script;
    script.swap(g_script);
    if (script) script();
}

}  // namespace

TEST(FrameworkTest, AFieldThatDoesNotParseIsRefusedAndTheDialogStaysOpen) {
    App();
    TakeMessageBoxes();
    CConnectionParamsDlg dlg;
    bool openAfterBadRate = false, openAfterBadDeadband = false;
    HWND focusAfterBadRate = nullptr, rateEdit = nullptr;
    std::vector<std::string> boxes;
    g_script = [&] {
        HWND d = dlg.m_hWnd;
        auto pressOK = [&] {
            ::SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(::GetDlgItem(d, IDOK)));
        };
        ::SetDlgItemTextA(d, IDC_UPDATE_RATE, "fast");
        pressOK();
        openAfterBadRate = ::IsWindow(d) != FALSE;
        focusAfterBadRate = ::GetFocus();
        rateEdit = ::GetDlgItem(d, IDC_UPDATE_RATE);
        ::SetDlgItemTextA(d, IDC_UPDATE_RATE, "500");
        ::SetDlgItemTextA(d, IDC_DEADBAND, "1.5x");
        pressOK();
        openAfterBadDeadband = ::IsWindow(d) != FALSE;
        boxes = TakeMessageBoxes();
        ::SetDlgItemTextA(d, IDC_DEADBAND, "-0.25");
        pressOK();
    };
    ASSERT_NE(::SetTimer(nullptr, 0, 10, RunScript), 0u);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(openAfterBadRate);
    EXPECT_TRUE(openAfterBadDeadband);
    EXPECT_EQ(focusAfterBadRate, rateEdit);  // the refused field has the focus
    EXPECT_EQ(boxes, (std::vector<std::string>{"Please enter a positive integer.", "Please enter a number."}));
    EXPECT_EQ(dlg.m_dwUpdateRate, 500u);
    EXPECT_FLOAT_EQ(dlg.m_fDeadband, -0.25f);
}

TEST(FrameworkTest, NumberParsersAcceptWholeNumbersOnly) {
    DWORD u = 0;
    EXPECT_TRUE(AfxParseUnsigned("0", &u));
    EXPECT_TRUE(AfxParseUnsigned(" 4294967295\t", &u));
    EXPECT_EQ(u, 4294967295u);
    for (const char* bad : {"", " ", "-1", "+1", "12a", "1 2", "4294967296", "99999999999999999999", "0x10"})
        EXPECT_FALSE(AfxParseUnsigned(bad, &u)) << bad;
    float f = 0;
    EXPECT_TRUE(AfxParseFloat("1e3", &f));
    EXPECT_FLOAT_EQ(f, 1000.0f);
    EXPECT_TRUE(AfxParseFloat(" -0.5 ", &f));
    EXPECT_FLOAT_EQ(f, -0.5f);
    for (const char* bad : {"", "abc", "1.5.2", "nan", "inf", "1e39", "-1e39", "2,5"})
        EXPECT_FALSE(AfxParseFloat(bad, &f)) << bad;
}
