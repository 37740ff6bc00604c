// The audit trail: every change to the store, and every refused verification of a password,
// leaves one event in the Application event log under the source "Wardkeep", where a site's log
// collector finds it. Each event names the certificate's user ID, the Windows account that acted
// and the program; never a key or a password. Writing an event never blocks or undoes the change:
// when it fails, the reporter is told and the change stands.
#pragma once

#include "framework/Reporter.h"

#include <string>

namespace store {

// The events, by what happened; their IDs and texts are the message table's
// (res/AuditMessages.mc).
enum class AuditEvent {
    CertificateCreated,
    CertificateReplaced, // by a new certificate, with a new CookieKey
    PasswordChanged,
    CertificateDeleted,
    CertificateImported,
    CertificateImportReplaced, // an imported certificate took the place of another
    WrongOldPassword,          // a warning: a password change was refused
    BackupMade,                // the whole store, encrypted, written to a file
};

// The event's ID as Event Viewer shows it (1000...), and its type (EVENTLOG_INFORMATION_TYPE or
// EVENTLOG_WARNING_TYPE).
unsigned long AuditEventId(AuditEvent event);
unsigned short AuditEventType(AuditEvent event);

// Says which program the events come from: the name of the running program's file, and this,
// as in "wardkeepc.exe (console program)". The entry points set it.
void SetAuditProgramKind(const wchar_t* kind);

// Writes `event` for the certificate of `userId`. When it cannot be written, tells `reporter`
// through OnAuditNotWritten.
void Audit(fw::IReporter& reporter, AuditEvent event, const std::string& userId) noexcept;

// Writes BackupMade for a backup of `certificates` certificates written to `path`.
void AuditBackup(fw::IReporter& reporter, std::size_t certificates,
                 const std::wstring& path) noexcept;

} // namespace store
