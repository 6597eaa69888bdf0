#pragma once
// The about box (dialog 100): icon, version line and OK.
#include "resource.h"
#include "win/Dialog.h"

class CAboutDlg : public CDialog {
  public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
};
