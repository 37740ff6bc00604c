#include "ChangePwd.h"

#include "framework/App.h"
#include "framework/Seams.h"
#include "keys/KeyBytes.h"
#include "res/resource.h"
#include "store/Certificates.h"

#include "KeyDialogs.h"
#include "WardkeepDlg.h"

namespace {

const char kSelectUserId[] = "You must select a user ID\nfrom the listbox before\n"
                             "you can use the change password\nfunction.";

} // namespace

CChangePwd::CChangePwd(CWardkeepDlg& parent)
    : CDialog(IDD_CHANGE_PASSWORD, &parent), m_userId(parent.Target().userId) {}

void CChangePwd::DoDataExchange() {
    BindControl(m_oldPasswordEdit, IDC_OLD_PASSWORD);
    BindControl(m_newPasswordEdit, IDC_NEW_PASSWORD);
    BindControl(m_retypedNewPasswordEdit, IDC_RETYPED_NEW_PASSWORD);
}

BOOL CChangePwd::OnInitDialog() {
    LimitPasswordFields({&m_oldPasswordEdit, &m_newPasswordEdit, &m_retypedNewPasswordEdit});
    if (m_userId.empty()) {
        ShowMessage(kSelectUserId, "Select a User ID!");
        EndDialog(IDOK);
    }
    return TRUE;
}

void CChangePwd::OnOK() {
    if (!Guarded([this] { ChangeStoredPassword(); })) {
        EndDialog(IDOK);
    }
}

void CChangePwd::ChangeStoredPassword() {
    fw::Secret oldPassword;
    fw::Secret newPassword;
    fw::Secret retypedNewPassword;
    if (!TakeAnsiText(m_oldPasswordEdit, L"The old password", keys::kMaxPasswordChars,
                      oldPassword) ||
        !TakeAnsiText(m_newPasswordEdit, L"The new password", keys::kMaxPasswordChars,
                      newPassword) ||
        !TakeAnsiText(m_retypedNewPasswordEdit, L"The retyped new password",
                      keys::kMaxPasswordChars, retypedNewPassword)) {
        return;
    }
    // A user ID without a Users value has no password to verify, even one whose key is empty:
    // going ahead would store half a certificate.
    if (store::CheckPassword(*this, m_userId, oldPassword.Get()) != store::PasswordCheck::Matches) {
        Ask("Wrong Old Password!\nRetry?");
        return;
    }
    if (newPassword != retypedNewPassword) {
        Ask("Passwords need to be identical!\nRetry?");
        return;
    }
    fw::CWaitCursor wait;
    if (!store::SaveNewPassword(*this, m_userId, newPassword.Get(), retypedNewPassword.Get())) {
        wait.Restore();
        std::string text = store::PasswordNotSavedText(m_userId);
        fw::FrameworkMessageBox(text.c_str(), MB_OK | MB_ICONHAND, m_hWnd);
        return;
    }
    FinishKeyChange(*this, wait);
}

// Either answer leaves the dialog open for another attempt.
void CChangePwd::Ask(const char* question) {
    fw::AnsiMessageBox(m_hWnd, question, "AUTHENTICATION", MB_OKCANCEL | MB_ICONQUESTION);
}

void CChangePwd::OnDestroy() {
    EmptyPasswordFields({&m_oldPasswordEdit, &m_newPasswordEdit, &m_retypedNewPasswordEdit});
}
