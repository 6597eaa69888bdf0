#include "opc/ConnectionParamsDlg.h"

#include "resource.h"

CConnectionParamsDlg::CConnectionParamsDlg(CWnd* pParent) : CDialog(IDD_CONNECTION_PARAMS, pParent) {}

void CConnectionParamsDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Text(pDX, IDC_TEXT_FIELD, m_strAlias);
    DDX_Text(pDX, IDC_UPDATE_RATE, m_dwUpdateRate);
    DDX_Text(pDX, IDC_DEADBAND, m_fDeadband);
}

void CConnectionParamsDlg::OnOK() {
    // A refused field stops the exchange half-way, after the fields before it were
    // taken; put those back so that closing the dialog afterwards keeps the presets.
    CString alias = m_strAlias;
    DWORD updateRate = m_dwUpdateRate;
    float deadband = m_fDeadband;
    if (!UpdateData(TRUE)) {
        m_strAlias = alias;
        m_dwUpdateRate = updateRate;
        m_fDeadband = deadband;
        return;
    }
    EndDialog(IDOK);
}
