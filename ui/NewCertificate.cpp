#include "NewCertificate.h"

#include "framework/App.h"
#include "framework/Seams.h"
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
    // Longer user IDs could never be listed, selected or deleted.
    m_userIdEdit.SetLimitText(store::kMaxListedUserIdChars);
    LimitPasswordFields({&m_passwordEdit, &m_retypedPasswordEdit});
    return TRUE;
}

void CNewCertificate::OnOK() {
    m_userId = m_userIdEdit.GetWindowText();
    m_password = m_passwordEdit.GetWindowText();
    m_retypedPassword = m_retypedPasswordEdit.GetWindowText();
    if (m_password != m_retypedPassword) {
        ShowMessage("Passwords need to be identical!", "AUTHENTICATION");
        return;
    }
    fw::CWaitCursor wait;
    store::SaveResult result =
        store::SaveNewCertificate(*this, m_userId, m_password, m_retypedPassword);
    if (result != store::SaveResult::Saved) {
        wait.Restore();
        ReportCertificateNotSaved(m_hWnd, m_userId, result);
        return;
    }
    FinishKeyChange(*this, wait);
}
