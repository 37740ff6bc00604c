// The About box of the system menu's "&About Wardkeep..." item: name, version, purpose.
#pragma once

#include "framework/Dialog.h"

class CAboutDlg : public fw::CDialog {
  public:
    explicit CAboutDlg(fw::CWnd* parent);
    const char* ClassName() const override { return "CAboutDlg"; }

  protected:
    BOOL OnInitDialog() override;
};
