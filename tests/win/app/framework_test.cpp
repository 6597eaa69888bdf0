// The framework layer: data exchange in modal dialogs (a field that does not parse is
// refused and the dialog stays open) and the parsers behind it.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

#include "resource.h"
#include "tests/win/app/app_env.h"
#include "win/Dialog.h"

using namespace apptest;

namespace {

const UINT WM_RUN_SCRIPT = WM_APP + 40;

// Dialog 136 with its three fields; a script runs inside the modal loop once it is up.
class CParamsDlg : public CDialog {
  public:
    CParamsDlg() : CDialog(IDD_CONNECTION_PARAMS) {}
    CString m_alias = "Sim";
    DWORD m_rate = 1000;
    float m_deadband = 0.0f;
    std::function<void(CParamsDlg&)> script;

    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, IDC_TEXT_FIELD, m_alias);
        DDX_Text(pDX, IDC_UPDATE_RATE, m_rate);
        DDX_Text(pDX, IDC_DEADBAND, m_deadband);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        PostMessage(WM_RUN_SCRIPT);
        return TRUE;
    }
    LRESULT OnRunScript(WPARAM, LPARAM) {
        if (script) script(*this);
        return 0;
    }
    void PressOK() { ::SendMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(IDOK)); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CParamsDlg, CDialog)
    ON_MESSAGE(WM_RUN_SCRIPT, OnRunScript)
END_MESSAGE_MAP()

}  // namespace

TEST(FrameworkTest, AFieldThatDoesNotParseIsRefusedAndTheDialogStaysOpen) {
    App();
    TakeMessageBoxes();
    CParamsDlg dlg;
    bool openAfterBadRate = false, openAfterBadDeadband = false;
    HWND focusAfterBadRate = nullptr, rateEdit = nullptr;
    std::vector<std::string> boxes;
    dlg.script = [&](CParamsDlg& d) {
        d.SetDlgItemText(IDC_UPDATE_RATE, "fast");
        d.PressOK();
        openAfterBadRate = ::IsWindow(d.m_hWnd) != FALSE;
        focusAfterBadRate = ::GetFocus();
        rateEdit = d.GetDlgItem(IDC_UPDATE_RATE);
        d.SetDlgItemText(IDC_UPDATE_RATE, "4294967296");  // one past 32 bits
        d.PressOK();
        d.SetDlgItemText(IDC_UPDATE_RATE, "500");
        d.SetDlgItemText(IDC_DEADBAND, "1.5x");
        d.PressOK();
        openAfterBadDeadband = ::IsWindow(d.m_hWnd) != FALSE;
        boxes = TakeMessageBoxes();
        d.SetDlgItemText(IDC_DEADBAND, "-0.25");
        d.PressOK();
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(openAfterBadRate);
    EXPECT_TRUE(openAfterBadDeadband);
    EXPECT_EQ(focusAfterBadRate, rateEdit);  // the refused field has the focus
    EXPECT_EQ(boxes, (std::vector<std::string>{"Please enter a positive integer.", "Please enter a positive integer.",
                                               "Please enter a number."}));
    EXPECT_EQ(dlg.m_rate, 500u);
    EXPECT_FLOAT_EQ(dlg.m_deadband, -0.25f);
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
