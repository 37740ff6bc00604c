// The New Certificate dialog: a user ID and a password typed twice; OK derives both keys and
// stores the certificate, replacing one of the same user ID only after asking.
#pragma once

#include "framework/Dialog.h"

#include <string>

class CNewCertificate : public fw::CDialog {
  public:
    // The application's main window owns the dialog.
    CNewCertificate();

    const char* ClassName() const override { return "CNewCertificate"; }

    // The user ID the fields held when OK was last pressed, in the ANSI code page. The passwords
    // are kept only while OK runs.
    std::string m_userId;

  protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    // Ends the dialog with OK once both keys are stored; otherwise says why and stays open.
    void OnOK() override;
    void OnDestroy() override;

  private:
    fw::CEdit m_userIdEdit;
    fw::CEdit m_passwordEdit;
    fw::CEdit m_retypedPasswordEdit;
};
