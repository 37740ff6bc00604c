#include "Shared.h"

#include "framework/SystemError.h"
#include "framework/Text.h"

namespace console {

std::string Quoted(const std::string& userId) {
    return fw::QuotedUserId(userId);
}

std::wstring QuotedId(const std::string& userId) {
    return fw::FromAnsi(Quoted(userId));
}

std::wstring NotExportedText(const std::string& userId, const exchange::ExportResult& result) {
    if (result.status == exchange::ExportResult::Status::Gone) {
        return QuotedId(userId) + L" has no certificate to export.";
    }
    return result.failure;
}

std::string QuotedList(const std::vector<std::string>& userIds) {
    constexpr std::size_t kMaxNamed = 10;
    std::size_t named = userIds.size() > kMaxNamed ? kMaxNamed : userIds.size();
    std::string list;
    for (std::size_t i = 0; i < named; ++i) {
        list += (i == 0 ? "" : i + 1 == userIds.size() ? " and " : ", ") + Quoted(userIds[i]);
    }
    if (named < userIds.size()) {
        list += " and " + std::to_string(userIds.size() - named) + " more";
    }
    return list;
}

std::string StoreChangedText(const std::vector<std::string>& userIds, const char* nothing) {
    return std::string("Another program changed the store after this command looked at the ") +
           (userIds.size() == 1 ? "certificate of " : "certificates of ") + QuotedList(userIds) +
           ". " + nothing + " Look at the store as it is now and try again.";
}

bool TakeUserId(const Invocation& invocation, std::size_t index, ConsoleIo& io,
                std::string& userId) {
    const std::wstring& operand = invocation.operands[index];
    if (fw::ToAnsi(operand, userId)) {
        return true;
    }
    io.Error(fw::NotInCodePageText(L"The user ID " + QuotedPath(fw::ShownName(operand))));
    return false;
}

namespace {

// The store is opened with full access, which only an elevated process has.
bool Elevated() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                    0, 0, 0, 0, 0, &administrators)) {
        return false;
    }
    BOOL member = FALSE;
    bool checked = ::CheckTokenMembership(nullptr, administrators, &member);
    ::FreeSid(administrators);
    return checked && member;
}

} // namespace

bool RefuseUnlessElevated(ConsoleIo& io) {
    if (Elevated()) {
        return false;
    }
    io.Error("The certificate store can only be used from an elevated prompt "
             "(Run as administrator).");
    return true;
}

namespace {

template <typename Text> bool PrintText(ConsoleIo& io, const Text& text) {
    if (io.Out(text)) {
        return true;
    }
    io.Error("Standard output could not be written: " + fw::SystemErrorText(::GetLastError()));
    return false;
}

} // namespace

bool Print(ConsoleIo& io, std::string_view text) {
    return PrintText(io, text);
}

bool Print(ConsoleIo& io, std::wstring_view text) {
    return PrintText(io, text);
}

bool PrintUtf8(ConsoleIo& io, std::string_view utf8) {
    if (io.OutUtf8(utf8)) {
        return true;
    }
    io.Error("Standard output could not be written: " + fw::SystemErrorText(::GetLastError()));
    return false;
}

} // namespace console
