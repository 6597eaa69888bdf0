#pragma once
// The "Server Connection Established!" dialog (136): the alias that names the connection
// as a DDE topic, and the update rate and deadband of its group. A field that does not
// parse is refused and the dialog stays open. However the dialog is closed, the caller
// goes on with the fields as they then are: the entered values after OK, the presets
// after Esc or the close box, never a mixture of the two.
//
// Threading: the user-interface thread.
#include "win/Dialog.h"

class CConnectionParamsDlg : public CDialog {
  public:
    explicit CConnectionParamsDlg(CWnd* pParent = nullptr);

    CString m_strAlias;           // edit 1013
    DWORD m_dwUpdateRate = 1000;  // edit 1014, milliseconds
    float m_fDeadband = 0.0f;     // edit 1015, percent

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
};
