#include "App.h"

#include "Dialog.h"
#include "Seams.h"
#include "Text.h"

#include <vector>

namespace fw {
namespace {

CWinApp* g_app = nullptr;

// The program file's path, however long and in whatever folder: the buffer grows until the path
// fits.
std::wstring ModuleFilePath() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        DWORD size = static_cast<DWORD>(path.size());
        DWORD length = ::GetModuleFileNameW(nullptr, path.data(), size);
        if (length == 0) {
            return std::wstring();
        }
        if (length < size) {
            return std::wstring(path.data(), length);
        }
        path.resize(path.size() * 2);
    }
}

std::wstring::size_type BaseNameStart(const std::wstring& path) {
    std::wstring::size_type slash = path.find_last_of(L"\\/:");
    return slash == std::wstring::npos ? 0 : slash + 1;
}

// Position of the extension's dot in the file-name part, or npos.
std::wstring::size_type ExtensionStart(const std::wstring& path) {
    std::wstring::size_type dot = path.find_last_of(L'.');
    return dot != std::wstring::npos && dot >= BaseNameStart(path) ? dot : std::wstring::npos;
}

} // namespace

CWinApp::CWinApp() {
    g_app = this;
    std::wstring path = ModuleFilePath();
    std::wstring::size_type dot = ExtensionStart(path);
    std::wstring stem = path.substr(0, dot);
    m_name = stem.substr(BaseNameStart(stem));
    m_helpFilePath = stem + L".chm";
}

CWinApp::~CWinApp() {
    if (g_app == this) {
        g_app = nullptr;
    }
}

CWinApp* CWinApp::Current() {
    return g_app;
}

HINSTANCE ResourceHandle() {
    return ::GetModuleHandleA(nullptr);
}

std::string LoadResourceString(UINT id) {
    char text[256] = {};
    int length = ::LoadStringA(ResourceHandle(), id, text, static_cast<int>(sizeof text));
    return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

namespace {

// ANSI text as UTF-16 in a buffer of the caller's, or in `longer` when it does not fit.
const wchar_t* Widened(const char* text, wchar_t* buffer, int chars, std::wstring& longer) {
    int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, chars);
    if (length > 0) {
        return buffer;
    }
    longer = FromAnsi(text);
    return longer.c_str();
}

} // namespace

int FrameworkMessageBox(const wchar_t* text, UINT type, HWND owner) {
    if ((type & MB_ICONMASK) == 0) {
        type |= MB_ICONEXCLAMATION;
    }
    CWinApp* app = CWinApp::Current();
    const wchar_t* caption = L"";
    if (app != nullptr) {
        caption = app->Name().c_str();
        if (owner == nullptr && app->MainWindow() != nullptr) {
            owner = app->MainWindow()->GetSafeHwnd();
        }
    }
    return CurrentSeams().messageBox(owner, text, caption, type);
}

int FrameworkMessageBox(const char* text, UINT type, HWND owner) {
    wchar_t buffer[1024];
    std::wstring longer;
    return FrameworkMessageBox(Widened(text, buffer, 1024, longer), type, owner);
}

int AnsiMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    return CurrentSeams().messageBox(owner, FromAnsi(text).c_str(), FromAnsi(caption).c_str(),
                                     type);
}

void InitFramework() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
}

} // namespace fw
