// The New Certificate dialog: a user ID and a password typed twice; OK derives both keys and
// stores the certificate, replacing one of the same user ID.
#pragma once

#include "framework/Dialog.h"

#include <string>

class CNewCertificate : public fw::CDialog {
  public:
    // The application's main window owns the dialog.
    CNewCertificate();

    const char* ClassName() const override { return "CNewCertificate"; }

    // What the fields held when OK was last pressed.
    std::string m_userId;
    std::string m_password;
    std::string m_retypedPassword;

  protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    // Ends the dialog with OK once both keys are stored; otherwise says why and stays open.
    void OnOK() override;

  private:
    fw::CEdit m_userIdEdit;
    fw::CEdit m_passwordEdit;
    fw::CEdit m_retypedPasswordEdit;
};
