#include "opc/ConnectServerDlg.h"

#include "opc/OpcLibrary.h"
#include "opc/RemoteMachineDlg.h"
#include "resource.h"

namespace {

const int kNameSize = 200;  // names exchanged with the library: 199 characters at most

}  // namespace

BEGIN_MESSAGE_MAP(CConnectServerDlg, CDialog)
    ON_BN_CLICKED(IDC_SELECT_REMOTE, OnSelectRemoteMachine)
    ON_CBN_SELCHANGE(IDC_SERVER_LIST, OnServerSelChange)
END_MESSAGE_MAP()

CConnectServerDlg::CConnectServerDlg(CWnd* pParent) : CDialog(IDD_CONNECT_SERVER, pParent) {}

BOOL CConnectServerDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    FillServerList();
    return TRUE;
}

void CConnectServerDlg::FillServerList() {
    SetDlgItemText(IDC_MACHINE_NAME, m_strMachineName.IsEmpty() ? "LOCAL" : static_cast<const char*>(m_strMachineName));

    // Enumerating a remote machine can take long: hold the mouse and show it.
    ::SetCapture(m_hWnd);
    HCURSOR hOldCursor = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));

    char machine[kNameSize];
    ::lstrcpynA(machine, m_strMachineName, kNameSize);
    HWND hList = GetDlgItem(IDC_SERVER_LIST);
    ::SendMessageA(hList, CB_RESETCONTENT, 0, 0);
    // Servers registered for OPC DA 2.0 first; only when there are none, those of DA 1.0.
    int count = OpcEnumerateServers(1, machine);
    if (count <= 0) count = OpcEnumerateServers(0, machine);
    for (int index = 0; index < count; ++index) {
        char name[kNameSize] = {};
        OpcGetServerName(index, name, kNameSize);
        name[kNameSize - 1] = '\0';
        ::SendMessageA(hList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    m_strServerName.Empty();

    ::SetCursor(hOldCursor);
    ::ReleaseCapture();
}

void CConnectServerDlg::OnServerSelChange() {
    LRESULT selection = ::SendMessageA(GetDlgItem(IDC_SERVER_LIST), CB_GETCURSEL, 0, 0);
    if (selection == CB_ERR) return;
    char name[kNameSize] = {};
    OpcGetServerName(static_cast<int>(selection), name, kNameSize);
    name[kNameSize - 1] = '\0';
    m_strServerName = name;
}

void CConnectServerDlg::OnSelectRemoteMachine() {
    CRemoteMachineDlg dlg(this);
    dlg.m_strMachineName = m_strMachineName;
    if (dlg.DoModal() != IDOK) return;
    m_strMachineName = dlg.m_strMachineName;
    FillServerList();
}
