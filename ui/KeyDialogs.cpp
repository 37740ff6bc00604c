#include "KeyDialogs.h"

#include "keys/KeyBytes.h"

void LimitPasswordFields(std::initializer_list<const fw::CEdit*> fields) {
    for (const fw::CEdit* field : fields) {
        field->SetLimitText(static_cast<int>(keys::kMaxPasswordChars));
    }
}

void FinishKeyChange(fw::CDialog& dialog, fw::CWaitCursor& wait) {
    fw::CurrentSeams().pause(kAfterStorePauseMs);
    wait.Restore();
    dialog.EndDialog(IDOK);
}
