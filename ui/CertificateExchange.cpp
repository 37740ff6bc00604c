// The main window's Export Certificate and Import Certificate commands: a certificate moves from
// one machine's store to another's through a certificate file that the user picks.
#include "WardkeepDlg.h"

#include "framework/App.h"
#include "framework/Seams.h"
#include "exchange/CertificateFile.h"
#include "exchange/ExclusiveFile.h"
#include "store/CertificateStore.h"

#include "KeyDialogs.h"
#include "NewCertificate.h"

#include <algorithm>

namespace {

const char kSelectUserIdForExport[] = "You must select a user ID\nfrom the listbox before\n"
                                      "you can use the export\nfunction.";
const char kFilter[] = "Lockwell Certificates (*.crt)\0*.crt\0All Files (*.*)\0*.*\0";
// Without a dot: "*.crt" would turn a name typed under "All Files" into "name.*.crt".
const char kDefaultExtension[] = "crt";
constexpr DWORD kTempPathChars = 1024;
constexpr std::size_t kFileNameChars = MAX_PATH - 1;

} // namespace

std::optional<std::string> CWardkeepDlg::AskCertificatePath(bool forSaving) {
    char temp[kTempPathChars + 1] = {};
    DWORD length = ::GetTempPathA(kTempPathChars + 1, temp);
    std::string initial = std::string(temp, length <= kTempPathChars ? length : 0) + "*.crt";
    char file[kFileNameChars + 1] = {};
    initial.copy(file, std::min(initial.size(), kFileNameChars));

    OPENFILENAMEA request = {};
    request.lStructSize = sizeof request;
    request.hwndOwner = m_hWnd;
    request.lpstrFilter = kFilter;
    request.nFilterIndex = 1;
    request.lpstrFile = file;
    request.nMaxFile = sizeof file;
    request.lpstrDefExt = kDefaultExtension;
    request.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT;
    fw::Seams& seams = fw::CurrentSeams();
    if (!(forSaving ? seams.saveFileDialog : seams.openFileDialog)(&request)) {
        return std::nullopt; // cancelled, or a path too long for the dialog
    }
    return std::string(file);
}

void CWardkeepDlg::ExportCertificate() {
    std::string userId = GetUserIdText();
    if (userId.empty()) {
        ShowMessage(kSelectUserIdForExport, "Select a User ID!");
        return;
    }
    std::optional<std::string> path = AskCertificatePath(true);
    if (!path) {
        return;
    }
    exchange::ExclusiveFile file(*path, exchange::ExclusiveFile::Mode::CreateOrEmpty);
    if (!file.IsOpen()) {
        FailExport(file, *path, "could not be created");
        return;
    }
    std::optional<keys::KeyBytes> userKey = store::ReadKeyQuiet(*this, store::kUsersKey, userId);
    if (!userKey) {
        file.Close(); // left empty
        ShowMessage(kSelectUserIdForExport, "Select a User ID!");
        return;
    }
    if (!exchange::WriteCertificateHead(file, userId, *userKey)) {
        FailExport(file, *path, "could not be written");
        return;
    }
    std::optional<keys::KeyBytes> cookieKey =
        store::ReadKeyQuiet(*this, store::kCookiesKey, userId);
    if (!cookieKey) {
        if (file.Close()) { // left holding the head
            ShowMessage(kSelectUserIdForExport, "Select a User ID!");
        }
        return;
    }
    if (!exchange::WriteCookieKeyLine(file, *cookieKey) || !file.Flush() || !file.Close()) {
        FailExport(file, *path, "could not be written");
    }
}

// Closes the file, which does not hold the whole certificate, and says so.
void CWardkeepDlg::FailExport(exchange::ExclusiveFile& file, const std::string& path,
                              const char* what) {
    std::string text =
        "The certificate was not exported: \"" + path + "\" " + what + ".\n" + file.Error();
    if (file.IsOpen()) {
        file.Close();
    }
    fw::FrameworkMessageBox(text.c_str(), MB_OK | MB_ICONHAND, m_hWnd);
}

void CWardkeepDlg::ImportCertificate() {
    std::optional<std::string> path = AskCertificatePath(false);
    if (!path) {
        return;
    }
    // A file that cannot be opened or read, or that holds no certificate to store, changes
    // nothing and is not reported.
    exchange::ExclusiveFile file(*path, exchange::ExclusiveFile::Mode::OpenExisting);
    if (!file.IsOpen()) {
        return;
    }
    std::optional<exchange::CertificateFileContent> content = exchange::ReadCertificateFile(file);
    if (!content || exchange::JudgeImport(*content) != exchange::ImportVerdict::Storable) {
        return;
    }
    // The writes report their exceptions as the New Certificate dialog does.
    CNewCertificate onBehalfOf;
    bool userKeyWritten =
        store::WriteKey(onBehalfOf, store::kUsersKey, content->userId, content->userKey);
    // A CookieKey is only replaced along with its UserKey.
    bool cookieKeyWritten = userKeyWritten && store::WriteKey(onBehalfOf, store::kCookiesKey,
                                                              content->userId, content->cookieKey);
    RefreshCertificateList();
    if (!cookieKeyWritten) {
        ReportCertificateNotSaved(m_hWnd, content->userId, userKeyWritten);
    }
}
