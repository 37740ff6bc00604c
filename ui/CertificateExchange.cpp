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
const wchar_t kFilter[] = L"Lockwell Certificates (*.crt)\0*.crt\0All Files (*.*)\0*.*\0";
// Without a dot: "*.crt" would turn a name typed under "All Files" into "name.*.crt".
const wchar_t kDefaultExtension[] = L"crt";
constexpr DWORD kTempPathChars = 1024;
constexpr std::size_t kFileNameChars = MAX_PATH - 1;

} // namespace

std::optional<std::wstring> CWardkeepDlg::AskCertificatePath(bool forSaving) {
    wchar_t temp[kTempPathChars + 1] = {};
    DWORD length = ::GetTempPathW(kTempPathChars + 1, temp);
    std::wstring initial = std::wstring(temp, length <= kTempPathChars ? length : 0) + L"*.crt";
    wchar_t file[kFileNameChars + 1] = {};
    initial.copy(file, std::min(initial.size(), kFileNameChars));

    OPENFILENAMEW request = {};
    request.lStructSize = sizeof request;
    request.hwndOwner = m_hWnd;
    request.lpstrFilter = kFilter;
    request.nFilterIndex = 1;
    request.lpstrFile = file;
    request.nMaxFile = kFileNameChars + 1;
    request.lpstrDefExt = kDefaultExtension;
    // The current directory stays the program's: browsing never makes a folder the user looked
    // into part of the program's own searches.
    request.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR;
    fw::Seams& seams = fw::CurrentSeams();
    if (!(forSaving ? seams.saveFileDialog : seams.openFileDialog)(&request)) {
        return std::nullopt; // cancelled, or a path too long for the dialog
    }
    return std::wstring(file);
}

void CWardkeepDlg::ExportCertificate() {
    if (Target().name.empty()) {
        ShowMessage(kSelectUserIdForExport, "Select a User ID!");
        return;
    }
    const char* nothing = "Nothing was exported.";
    std::optional<std::string> userId = TakeTarget(nothing);
    if (!userId || !StillListed(*userId, nothing)) {
        return;
    }
    std::optional<std::wstring> path = AskCertificatePath(true);
    if (!path) {
        return;
    }
    // Read again as it is written: the save dialog may have been open for a while.
    exchange::ExportResult result = exchange::ExportCertificate(*this, *userId, *path);
    switch (result.status) {
    case exchange::ExportResult::Status::Exported:
        break;
    case exchange::ExportResult::Status::Gone:
        StillListed(*userId, nothing);
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
    std::optional<std::wstring> path = AskCertificatePath(false);
    if (!path) {
        return;
    }
    // A file that stores nothing says why: when it names a certificate the store has, the list
    // looks the same either way.
    exchange::ImportReading reading = exchange::ReadForImport(*path);
    if (reading.status != exchange::ImportReading::Status::Storable) {
        std::wstring text =
            exchange::ImportRefusalText(*path, reading) + L"\nNothing was imported.";
        fw::FrameworkMessageBox(text.c_str(), MB_OK | MB_ICONHAND, m_hWnd);
        return;
    }
    const exchange::CertificateFileContent& content = reading.content;
    // What the question is about; the keys are written only over what it showed.
    store::StoreSnapshot seen(*this, {content.userId});
    if (store::ImportReplacesCookieKey(seen, content.userId, content.cookieKey) &&
        !AskToReplace(m_hWnd, content.userId)) {
        return;
    }
    // The writes report their exceptions as the New Certificate dialog does.
    CNewCertificate onBehalfOf;
    store::SaveResult result = store::SaveCertificate(onBehalfOf, content.userId, content.userKey,
                                                      content.cookieKey, nullptr, &seen);
    RefreshCertificateList();
    if (result != store::SaveResult::Saved) {
        ReportCertificateNotSaved(m_hWnd, content.userId, result);
    }
}
