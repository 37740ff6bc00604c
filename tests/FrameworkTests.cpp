// The framework layer: application object, message box, exception reports and the dispatch of
// commands through a dialog class's table.
#include "support/TestSupport.h"

#include "framework/App.h"
#include "framework/Exceptions.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <new>

using namespace testing_support;

namespace {

std::wstring ModulePath() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

TEST(Application, NameAndHelpFileComeFromTheProgramFile) {
    fw::CWinApp* app = fw::CWinApp::Current();
    ASSERT_NE(nullptr, app);
    EXPECT_EQ(L"wardkeep_tests", app->Name());
    std::wstring path = ModulePath();
    EXPECT_EQ(path.substr(0, path.size() - 4) + L".chm", app->HelpFilePath());
}

TEST(FrameworkMessageBox, CaptionIsTheApplicationNameAndExclamationIsTheDefaultIcon) {
    fw::FrameworkMessageBox("plain");
    fw::FrameworkMessageBox("stop", MB_OK | MB_ICONHAND);
    ASSERT_EQ(2u, MessageBoxes().calls.size());
    EXPECT_EQ("wardkeep_tests", MessageBoxes().calls[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), MessageBoxes().calls[0].type);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONHAND), MessageBoxes().calls[1].type);
}

// A dialog class whose handlers raise exceptions, on the main dialog's template.
class CThrowingDlg : public fw::CMappedDialog<CThrowingDlg> {
  public:
    CThrowingDlg() : CMappedDialog(IDD_WARDKEEP_DIALOG) {}
    const char* ClassName() const override { return "CThrowingDlg"; }
    static const fw::MessageMap<CThrowingDlg> kMessageMap;
    int commandsRun = 0;

  private:
    static const fw::CommandEntry<CThrowingDlg> kCommands[];
    void ThrowText() {
        ++commandsRun;
        throw fw::CFrameworkException("disk on fire");
    }
    void ThrowLongText() { throw fw::CFrameworkException(std::string(300, 'x')); }
    void ThrowNoText() { throw fw::CFrameworkException(); }
    void ThrowOutOfMemory() { throw std::bad_alloc(); }
    void ThrowSomethingElse() { throw 42; }
};

const fw::CommandEntry<CThrowingDlg> CThrowingDlg::kCommands[] = {
    {IDM_CHANGE_PASSWORD, &CThrowingDlg::ThrowText},
    {IDM_IMPORT_CERTIFICATE, &CThrowingDlg::ThrowLongText},
    {IDM_EXPORT_CERTIFICATE, &CThrowingDlg::ThrowNoText},
    {IDM_NEW_CERTIFICATE, &CThrowingDlg::ThrowOutOfMemory},
    {IDM_DELETE_CERTIFICATE, &CThrowingDlg::ThrowSomethingElse},
};
const fw::MessageMap<CThrowingDlg> CThrowingDlg::kMessageMap = fw::MakeMessageMap(kCommands);

TEST(DialogExceptions, AreReportedByTheClassInBoxesItOwnsAndTheDialogGoesOn) {
    CThrowingDlg dialog;
    HWND owner = nullptr;
    INT_PTR result = RunModal(dialog, [&](HWND window) {
        owner = window;
        for (UINT command : {IDM_CHANGE_PASSWORD, IDM_IMPORT_CERTIFICATE, IDM_EXPORT_CERTIFICATE,
                             IDM_NEW_CERTIFICATE, IDM_DELETE_CERTIFICATE}) {
            ::SendMessageA(window, WM_COMMAND, command, 0);
        }
        ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(IDCANCEL, result);
    std::vector<std::string> texts;
    for (const MessageBoxCall& call : MessageBoxes().calls) {
        texts.push_back(call.text);
        EXPECT_EQ(owner, call.owner);
        EXPECT_EQ("wardkeep_tests", call.caption);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), call.type);
    }
    const std::string prefix = "CThrowingDlg::OnException(): ";
    EXPECT_EQ((std::vector<std::string>{prefix + "disk on fire", prefix + std::string(254, 'x'),
                                        prefix, prefix + "Out of memory.", prefix}),
              texts);
}

TEST(DialogCommands, OnlyMenuAcceleratorAndButtonCommandsReachTheTable) {
    CThrowingDlg dialog;
    RunModal(dialog, [](HWND window) {
        LPARAM control = reinterpret_cast<LPARAM>(::GetDlgItem(window, IDC_USER_ID));
        // Control notifications that happen to carry a command's id are not commands.
        ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_CHANGE_PASSWORD, EN_CHANGE), control);
        ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_CHANGE_PASSWORD, LBN_SELCHANGE), control);
        // Accelerator, then button click.
        ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_CHANGE_PASSWORD, 1), 0);
        ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_CHANGE_PASSWORD, BN_CLICKED), control);
        ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(2, dialog.commandsRun);
}

} // namespace
