// The Change Password dialog: replaces the UserKey of the certificate that the main window shows
// once the old password is verified. The CookieKey is left as it is.
#pragma once

#include "framework/Dialog.h"

#include <string>

class CWardkeepDlg;

class CChangePwd : public fw::CDialog {
  public:
    // Works on the user ID that `parent`'s User ID field shows now.
    explicit CChangePwd(CWardkeepDlg& parent);

    const char* ClassName() const override { return "CChangePwd"; }

    // The passwords are kept only while OK runs.
    const std::string m_userId;

  protected:
    void DoDataExchange() override;
    // Without a user ID, says so and ends the dialog.
    BOOL OnInitDialog() override;
    // An exception ends the dialog after its report.
    void OnOK() override;
    void OnDestroy() override;

  private:
    void ChangeStoredPassword();
    void Ask(const char* question);

    fw::CEdit m_oldPasswordEdit;
    fw::CEdit m_newPasswordEdit;
    fw::CEdit m_retypedNewPasswordEdit;
};
