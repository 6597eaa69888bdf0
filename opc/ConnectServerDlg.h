#pragma once
// The "Connect to OPC Server" dialog (134): shows the machine whose servers are listed
// ("LOCAL" for this computer), lists the servers the OPC library enumerates there and
// takes the one chosen. The server name comes from the library's list by position,
// never from text typed into the combo box, which is why the list stays unsorted.
//
// No data exchange: both fields are set by code. Threading: the user-interface thread.
#include "win/Dialog.h"

class CConnectServerDlg : public CDialog {
  public:
    explicit CConnectServerDlg(CWnd* pParent = nullptr);

    CString m_strMachineName;  // empty: this computer
    CString m_strServerName;   // empty until a list entry is chosen

  protected:
    BOOL OnInitDialog() override;

    // Refills the server list for m_strMachineName and forgets the chosen server.
    void FillServerList();
    void OnSelectRemoteMachine();
    void OnServerSelChange();

    DECLARE_MESSAGE_MAP()
};
