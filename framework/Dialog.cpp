#include "Dialog.h"

#include "App.h"
#include "Exceptions.h"
#include "Seams.h"
#include "Text.h"

#include <cstdio>

namespace fw {
namespace {

bool ModifierKeyHeld() {
    return ::GetKeyState(VK_SHIFT) < 0 || ::GetKeyState(VK_CONTROL) < 0 ||
           ::GetKeyState(VK_MENU) < 0;
}

// A menu (code 0) or an accelerator (code 1) sends no control; a button sends BN_CLICKED. Every
// other WM_COMMAND is a control's notification, such as EN_CHANGE or a list box's LBN_SELCHANGE
// (code 1 as well).
bool IsCommand(WPARAM wParam, LPARAM lParam) {
    UINT code = HIWORD(wParam);
    return lParam == 0 ? code == 0 || code == 1 : code == BN_CLICKED;
}

// Where help requests go: the main window runs the help command for every dialog.
HWND HelpCommandTarget(HWND dialog) {
    CWinApp* app = CWinApp::Current();
    if (app != nullptr && app->MainWindow() != nullptr &&
        app->MainWindow()->GetSafeHwnd() != nullptr) {
        return app->MainWindow()->GetSafeHwnd();
    }
    return dialog;
}

} // namespace

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_parent(parent) {}

INT_PTR CDialog::DoModal() {
    HWND owner = nullptr;
    if (m_parent != nullptr) {
        owner = m_parent->GetSafeHwnd();
    } else if (CWinApp* app = CWinApp::Current();
               app != nullptr && app->MainWindow() != this && app->MainWindow() != nullptr) {
        owner = app->MainWindow()->GetSafeHwnd();
    }
    // A Unicode dialog: its edit controls keep what is typed as UTF-16, whatever the code page.
    return ::DialogBoxParamW(ResourceHandle(), MAKEINTRESOURCEW(m_templateId), owner,
                             &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

void CDialog::OnException(const std::exception& e) noexcept {
    char errorText[255];
    GetErrorMessage(e, errorText, sizeof errorText);
    char message[sizeof errorText + 128];
    std::snprintf(message, sizeof message, "%s::OnException(): %s", ClassName(), errorText);
    FrameworkMessageBox(message, MB_OK, m_hWnd);
}

void CDialog::ShowMessage(const char* text, const char* caption) {
    AnsiMessageBox(m_hWnd, text, caption, MB_OK);
}

void CDialog::OnAuditNotWritten(const std::wstring& text) noexcept {
    CurrentSeams().messageBox(m_hWnd, text.c_str(), L"Event Log", MB_OK | MB_ICONWARNING);
}

bool CDialog::TakeAnsiText(const CWnd& field, const wchar_t* what, std::size_t maxBytes,
                           std::string& text) {
    if (!ToAnsi(field.GetUnicodeText(), text)) {
        return Refuse(NotInCodePageText(what));
    }
    return text.size() <= maxBytes || Refuse(TooLongText(what, maxBytes));
}

bool CDialog::TakeAnsiText(const CWnd& field, const wchar_t* what, std::size_t maxBytes,
                           Secret& text) {
    if (!ToAnsi(field.GetSecretText().Get(), text)) {
        return Refuse(NotInCodePageText(what));
    }
    return text.Size() <= maxBytes || Refuse(TooLongText(what, maxBytes));
}

bool CDialog::Refuse(const std::wstring& text) {
    FrameworkMessageBox(text.c_str(), MB_OK | MB_ICONHAND, m_hWnd);
    return false;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        self->m_hWnd = window;
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    } else {
        // Null for the few messages that arrive before WM_INITDIALOG, such as WM_SETFONT.
        self = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    }
    if (self == nullptr) {
        return FALSE;
    }
    INT_PTR result = FALSE;
    self->Guarded([&] { result = self->Dispatch(message, wParam, lParam); });
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    return result;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        DoDataExchange();
        return OnInitDialog();
    case WM_COMMAND: {
        UINT id = LOWORD(wParam);
        if (!IsCommand(wParam, lParam)) {
            break;
        }
        if (OnCommand(id)) {
            return TRUE;
        }
        if (id == IDOK) {
            OnOK();
            return TRUE;
        }
        if (id == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
        break;
    }
    case WM_NOTIFY:
        if (OnNotify(*reinterpret_cast<const NMHDR*>(lParam))) {
            ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, 0);
            return TRUE;
        }
        break;
    case WM_DESTROY:
        OnDestroy();
        break;
    case WM_HELP:
        if (!ModifierKeyHeld()) {
            ::SendMessageA(HelpCommandTarget(m_hWnd), WM_COMMAND, kHelpCommand, 0);
            return TRUE;
        }
        break;
    default:
        break;
    }
    bool handled = false;
    INT_PTR result = OnMessage(message, wParam, lParam, handled);
    return handled ? result : FALSE;
}

} // namespace fw
