// What the New Certificate and Change Password dialogs, and the import, share.
#pragma once

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/Seams.h"
#include "store/Certificates.h"

#include <initializer_list>
#include <string>

// How long the dialogs keep the wait cursor up after storing a key, in milliseconds.
constexpr DWORD kAfterStorePauseMs = 3000;

// Limits each password field to what the UserKey's input leaves room for.
void LimitPasswordFields(std::initializer_list<const fw::CEdit*> fields);
// Empties the password fields of a dialog that ends.
void EmptyPasswordFields(std::initializer_list<const fw::CEdit*> fields);

// Asks, in a box owned by `owner`, whether the certificate of `userId` may be replaced, which
// loses the files encrypted under it. True for OK; Cancel is the default button.
bool AskToReplace(HWND owner, const std::string& userId);

// Ends a dialog whose keys are stored: the pause under the wait cursor, the arrow, then OK.
void FinishKeyChange(fw::CDialog& dialog, fw::CWaitCursor& wait);

// Tells the user, in a box owned by `owner`, that the certificate of `userId` was not stored, or
// only its UserKey.
void ReportCertificateNotSaved(HWND owner, const std::string& userId, store::SaveResult result);
