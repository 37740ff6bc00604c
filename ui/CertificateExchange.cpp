// The main window's Export Certificate and Import Certificate commands: a certificate moves from
// one machine's store to another's through a certificate file that the user picks.
#include "WardkeepDlg.h"

#include "framework/App.h"
#include "framework/Seams.h"
#include "exchange/CertificateTransfer.h"
#include "store/Certificates.h"

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
    exchange::ExportResult result = exchange::ExportCertificate(*this, userId, *path);
    switch (result.status) {
    case exchange::ExportResult::Status::Exported:
        break;
    case exchange::ExportResult::Status::NoCertificate:
        ShowMessage(kSelectUserIdForExport, "Select a User ID!");
        break;
    case exchange::ExportResult::Status::Failed:
        fw::FrameworkMessageBox(result.failure.c_str(), MB_OK | MB_ICONHAND, m_hWnd);
        break;
    }
}

void CWardkeepDlg::ImportCertificate() {
    std::optional<std::string> path = AskCertificatePath(false);
    if (!path) {
        return;
    }
    // A file that cannot be opened or read, or that holds no certificate to store, changes
    // nothing and is not reported.
    exchange::ImportReading reading = exchange::ReadForImport(*path);
    if (reading.status != exchange::ImportReading::Status::Storable) {
        return;
    }
    // The writes report their exceptions as the New Certificate dialog does.
    CNewCertificate onBehalfOf;
    const exchange::CertificateFileContent& content = reading.content;
    store::SaveResult result =
        store::SaveCertificate(onBehalfOf, content.userId, content.userKey, content.cookieKey);
    RefreshCertificateList();
    if (result != store::SaveResult::Saved) {
        ReportCertificateNotSaved(m_hWnd, content.userId, result);
    }
}
