#include "NewCertificate.h"

#include "exchange/CertificateFile.h"
#include "framework/App.h"
#include "framework/Seams.h"
#include "keys/KeyBytes.h"
#include "res/resource.h"
#include "store/CertificateStore.h"
#include "store/Certificates.h"

#include "KeyDialogs.h"

CNewCertificate::CNewCertificate() : CDialog(IDD_NEW_CERTIFICATE) {}

void CNewCertificate::DoDataExchange() {
    BindControl(m_userIdEdit, IDC_USER_ID);
    BindControl(m_passwordEdit, IDC_PASSWORD);
    BindControl(m_retypedPasswordEdit, IDC_RETYPED_PASSWORD);
}

BOOL CNewCertificate::OnInitDialog() {
    m_userIdEdit.SetLimitText(store::kMaxListedUserIdChars);
    LimitPasswordFields({&m_passwordEdit, &m_retypedPasswordEdit});
    return TRUE;
}

void CNewCertificate::OnOK() {
    fw::Secret password;
    fw::Secret retypedPassword;
    // Longer user IDs could never be listed, selected or deleted.
    if (!TakeAnsiText(m_userIdEdit, L"The user ID", store::kMaxListedUserIdChars, m_userId) ||
        !TakeAnsiText(m_passwordEdit, L"The password", keys::kMaxPasswordChars, password) ||
        !TakeAnsiText(m_retypedPasswordEdit, L"The retyped password", keys::kMaxPasswordChars,
                      retypedPassword)) {
        return;
    }
    // A line break or another control character in a name would rewrite the lines that show it.
    if (exchange::HasControlCharacters(m_userId)) {
        Refuse(L"The user ID holds a control character (a line break, a tab...). Use only "
               L"characters that can be shown.");
        return;
    }
    if (password != retypedPassword) {
        ShowMessage("Passwords need to be identical!", "AUTHENTICATION");
        return;
    }
    // What the question is about; the keys are written only over what it showed.
    store::StoreSnapshot seen(*this, {m_userId});
    if (store::NewCertificateReplaces(*this, m_userId) && !AskToReplace(m_hWnd, m_userId)) {
        return;
    }
    fw::CWaitCursor wait;
    store::SaveResult result =
        store::SaveNewCertificate(*this, m_userId, password.Get(), retypedPassword.Get(), &seen);
    if (result != store::SaveResult::Saved) {
        wait.Restore();
        ReportCertificateNotSaved(m_hWnd, m_userId, result);
        return;
    }
    FinishKeyChange(*this, wait);
}

void CNewCertificate::OnDestroy() {
    EmptyPasswordFields({&m_passwordEdit, &m_retypedPasswordEdit});
}
