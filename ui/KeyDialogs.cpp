#include "KeyDialogs.h"

#include "framework/App.h"
#include "keys/KeyBytes.h"

void LimitPasswordFields(std::initializer_list<const fw::CEdit*> fields) {
    for (const fw::CEdit* field : fields) {
        field->SetLimitText(static_cast<int>(keys::kMaxPasswordChars));
    }
}

void EmptyPasswordFields(std::initializer_list<const fw::CEdit*> fields) {
    for (const fw::CEdit* field : fields) {
        field->EmptyText();
    }
}

bool AskToReplace(HWND owner, const std::string& userId) {
    return fw::AnsiMessageBox(owner, store::ReplaceQuestionText(userId).c_str(),
                              store::kReplaceQuestionCaption,
                              MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) == IDOK;
}

void FinishKeyChange(fw::CDialog& dialog, fw::CWaitCursor& wait) {
    fw::CurrentSeams().pause(kAfterStorePauseMs);
    wait.Restore();
    dialog.EndDialog(IDOK);
}

void ReportCertificateNotSaved(HWND owner, const std::string& userId, store::SaveResult result) {
    std::string text = store::CertificateNotSavedText(userId, result);
    fw::FrameworkMessageBox(text.c_str(), MB_OK | MB_ICONHAND, owner);
}
