#pragma once
// The "Remote OPC Server" dialog (135): the name of the machine whose OPC servers the
// connect dialog lists. Threading: the user-interface thread.
#include "win/Dialog.h"

class CRemoteMachineDlg : public CDialog {
  public:
    explicit CRemoteMachineDlg(CWnd* pParent = nullptr);

    CString m_strMachineName;  // exchanged with edit 1013

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
