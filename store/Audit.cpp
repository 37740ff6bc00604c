#include "Audit.h"

#include "AuditMessages.h"
#include "framework/Seams.h"
#include "framework/SystemError.h"
#include "framework/Text.h"

#include <sddl.h>

#include <vector>

namespace store {

namespace {

struct EventRow {
    AuditEvent event;
    DWORD id;
    WORD type;
};

const EventRow kEvents[] = {
    {AuditEvent::CertificateCreated, WK_EVENT_CERTIFICATE_CREATED, EVENTLOG_INFORMATION_TYPE},
    {AuditEvent::CertificateReplaced, WK_EVENT_CERTIFICATE_REPLACED, EVENTLOG_INFORMATION_TYPE},
    {AuditEvent::PasswordChanged, WK_EVENT_PASSWORD_CHANGED, EVENTLOG_INFORMATION_TYPE},
    {AuditEvent::CertificateDeleted, WK_EVENT_CERTIFICATE_DELETED, EVENTLOG_INFORMATION_TYPE},
    {AuditEvent::CertificateImported, WK_EVENT_CERTIFICATE_IMPORTED, EVENTLOG_INFORMATION_TYPE},
    {AuditEvent::CertificateImportReplaced, WK_EVENT_CERTIFICATE_IMPORT_REPLACED,
     EVENTLOG_INFORMATION_TYPE},
    {AuditEvent::WrongOldPassword, WK_EVENT_WRONG_OLD_PASSWORD, EVENTLOG_WARNING_TYPE},
    {AuditEvent::BackupMade, WK_EVENT_BACKUP_MADE, EVENTLOG_INFORMATION_TYPE},
};

const EventRow& RowOf(AuditEvent event) {
    for (const EventRow& row : kEvents) {
        if (row.event == event) {
            return row;
        }
    }
    return kEvents[0]; // every event has its row
}

// The account this process acts for: its SID from the token, and DOMAIN\name, or the SID's text
// when no name can be looked up (a domain that cannot be reached).
struct Account {
    std::vector<BYTE> sid;
    std::wstring name = L"(unknown account)";
};

Account ReadAccount() {
    Account account;
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return account;
    }
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    bool read = size != 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    ::CloseHandle(token);
    if (!read) {
        return account;
    }
    PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    const BYTE* sidBytes = static_cast<const BYTE*>(sid);
    account.sid.assign(sidBytes, sidBytes + ::GetLengthSid(sid));
    wchar_t name[256] = {};
    wchar_t domain[256] = {};
    DWORD nameChars = 256, domainChars = 256;
    SID_NAME_USE use;
    if (::LookupAccountSidW(nullptr, sid, name, &nameChars, domain, &domainChars, &use)) {
        account.name = domain[0] != L'\0' ? std::wstring(domain) + L"\\" + name : name;
    } else if (wchar_t* text = nullptr; ::ConvertSidToStringSidW(sid, &text)) {
        account.name = text;
        ::LocalFree(text);
    }
    return account;
}

const Account& ProcessAccount() {
    static const Account account = ReadAccount();
    return account;
}

std::wstring& Program() {
    static std::wstring program = [] {
        wchar_t path[MAX_PATH] = {};
        DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring file(path, length < MAX_PATH ? length : 0);
        return file.substr(file.find_last_of(L"\\/") + 1);
    }();
    return program;
}

} // namespace

unsigned long AuditEventId(AuditEvent event) {
    return RowOf(event).id;
}

unsigned short AuditEventType(AuditEvent event) {
    return RowOf(event).type;
}

void SetAuditProgramKind(const wchar_t* kind) {
    Program() += std::wstring(L" (") + kind + L")";
}

namespace {

// Tells the reporter that an event was lost for want of memory.
void OutOfMemory(fw::IReporter& reporter) noexcept {
    try {
        reporter.OnAuditNotWritten(L"A change to the store was made, but the Application "
                                   L"event log could not record it: out of memory.");
    } catch (...) {
        // Nothing left to tell it with; the change stands.
    }
}

// Writes the event of `row` with `subject` as %1 (what it is about), the account as %2, the
// program as %3 and `detail`, if any, as %4; `what` names the change when it cannot be written.
void Report(fw::IReporter& reporter, const EventRow& row, const std::wstring& subject,
            const std::wstring& detail, const std::wstring& what) noexcept {
    try {
        const Account& account = ProcessAccount();
        const wchar_t* strings[] = {subject.c_str(), account.name.c_str(), Program().c_str(),
                                    detail.c_str()};
        PSID sid = account.sid.empty() ? nullptr : const_cast<BYTE*>(account.sid.data());
        DWORD error =
            fw::CurrentSeams().reportEvent(row.type, row.id, sid, detail.empty() ? 3 : 4, strings);
        if (error == ERROR_SUCCESS) {
            return;
        }
        reporter.OnAuditNotWritten(what +
                                   L" was made, but the Application event log could not "
                                   L"record it (event " +
                                   std::to_wstring(row.id) + L"): " +
                                   fw::FromAnsi(fw::SystemErrorText(error)));
    } catch (...) {
        OutOfMemory(reporter);
    }
}

} // namespace

void Audit(fw::IReporter& reporter, AuditEvent event, const std::string& userId) noexcept {
    try {
        std::wstring user = fw::FromAnsi(fw::ShownUserId(userId));
        Report(reporter, RowOf(event), user, std::wstring(),
               L"The change to the certificate of \"" + user + L"\"");
    } catch (...) {
        OutOfMemory(reporter);
    }
}

void AuditBackup(fw::IReporter& reporter, std::size_t certificates,
                 const std::wstring& path) noexcept {
    try {
        Report(reporter, RowOf(AuditEvent::BackupMade), fw::ShownName(path),
               std::to_wstring(certificates), L"The backup of the store");
    } catch (...) {
        OutOfMemory(reporter);
    }
}

} // namespace store
