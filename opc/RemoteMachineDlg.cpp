#include "opc/RemoteMachineDlg.h"

#include "resource.h"

CRemoteMachineDlg::CRemoteMachineDlg(CWnd* pParent) : CDialog(IDD_REMOTE_MACHINE, pParent) {}

void CRemoteMachineDlg::DoDataExchange(CDataExchange* pDX) { DDX_Text(pDX, IDC_TEXT_FIELD, m_strMachineName); }
