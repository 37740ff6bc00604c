#include "TestSupport.h"

#include <algorithm>

#include "framework/Registry.h"
#include "framework/Seams.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>

namespace testing_support {

const char kUsersPath[] = "SOFTWARE\\Lockwell\\Users_lkw_20";
const char kCookiesPath[] = "SOFTWARE\\Lockwell\\Cookies_lkw_20";

namespace {

fw::UniqueHKey g_scratch;
fw::UniqueHKey g_deleted; // the redirection target while the registry fails

std::string ScratchPath(const char* suffix) {
    return "Software\\WardkeepTests\\" + std::to_string(::GetCurrentProcessId()) + suffix;
}

void Redirect(HKEY target) {
    LONG status = ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, target);
    if (status != ERROR_SUCCESS) {
        // Never run a test against the real machine-wide registry.
        std::fprintf(stderr, "RegOverridePredefKey failed (%ld)\n", status);
        std::abort();
    }
}

} // namespace

void BeginScratchMachineKey() {
    EndScratchMachineKey();
    g_scratch = fw::CreateRegistryKey(HKEY_CURRENT_USER, ScratchPath("").c_str());
    if (!g_scratch) {
        std::fprintf(stderr, "cannot create the scratch key\n");
        std::abort();
    }
    Redirect(g_scratch.Get());
}

void EndScratchMachineKey() {
    Redirect(nullptr);
    g_scratch.Reset();
    g_deleted.Reset();
    ::RegDeleteTreeA(HKEY_CURRENT_USER, ScratchPath("").c_str());
    ::RegDeleteTreeA(HKEY_CURRENT_USER, ScratchPath("-deleted").c_str());
}

void InjectRegistryFailure() {
    g_deleted = fw::CreateRegistryKey(HKEY_CURRENT_USER, ScratchPath("-deleted").c_str());
    ASSERT_TRUE(g_deleted);
    ASSERT_EQ(ERROR_SUCCESS, ::RegDeleteTreeA(HKEY_CURRENT_USER, ScratchPath("-deleted").c_str()));
    Redirect(g_deleted.Get());
}

void LiftRegistryFailure() {
    Redirect(g_scratch.Get());
    g_deleted.Reset();
}

void SetValue(const char* keyPath, const std::string& name, DWORD type, const std::string& data) {
    fw::UniqueHKey key = fw::CreateRegistryKey(HKEY_LOCAL_MACHINE, keyPath);
    ASSERT_TRUE(key) << keyPath;
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(key.Get(), name.c_str(), 0, type,
                                              reinterpret_cast<const BYTE*>(data.data()),
                                              static_cast<DWORD>(data.size())))
        << name;
}

void SetBinary(const char* keyPath, const std::string& name, const std::string& data) {
    SetValue(keyPath, name, REG_BINARY, data);
}

bool GetValue(const char* keyPath, const std::string& name, RegistryValue& value) {
    fw::UniqueHKey key = fw::OpenRegistryKey(HKEY_LOCAL_MACHINE, keyPath, KEY_READ);
    if (!key) {
        return false;
    }
    DWORD size = 0;
    if (::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &value.type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return false;
    }
    value.name = name;
    value.data.assign(size, '\0');
    return ::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &value.type,
                              reinterpret_cast<BYTE*>(&value.data[0]), &size) == ERROR_SUCCESS;
}

bool HasValue(const char* keyPath, const std::string& name) {
    RegistryValue value;
    return GetValue(keyPath, name, value);
}

void DeleteValue(const char* keyPath, const std::string& name) {
    fw::UniqueHKey key = fw::OpenRegistryKey(HKEY_LOCAL_MACHINE, keyPath, KEY_SET_VALUE);
    ASSERT_TRUE(key && ::RegDeleteValueA(key.Get(), name.c_str()) == ERROR_SUCCESS) << name;
}

std::vector<RegistryValue> EnumerateValues(const char* keyPath) {
    std::vector<RegistryValue> values;
    fw::UniqueHKey key = fw::OpenRegistryKey(HKEY_LOCAL_MACHINE, keyPath, KEY_READ);
    if (!key) {
        return values;
    }
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD nameLength = sizeof name;
        std::string data(4096, '\0');
        DWORD dataLength = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        if (::RegEnumValueA(key.Get(), index, name, &nameLength, nullptr, &type,
                            reinterpret_cast<BYTE*>(&data[0]), &dataLength) != ERROR_SUCCESS) {
            break;
        }
        data.resize(dataLength);
        values.push_back({std::string(name, nameLength), type, data});
    }
    return values;
}

std::vector<std::string> BinaryValueNames(const char* keyPath) {
    std::vector<std::string> names;
    for (const RegistryValue& value : EnumerateValues(keyPath)) {
        if (value.type == REG_BINARY) {
            names.push_back(value.name);
        }
    }
    return names;
}

void StopAwaitingDialog();

// ---- Recorders ------------------------------------------------------------------------------

MessageBoxRecorder& MessageBoxes() {
    static MessageBoxRecorder recorder;
    return recorder;
}

HelpRecorder& HelpCalls() {
    static HelpRecorder recorder;
    return recorder;
}

FileDialogRecorder& FileDialogs() {
    static FileDialogRecorder recorder;
    return recorder;
}

TimelineRecorder& Timeline() {
    static TimelineRecorder recorder;
    return recorder;
}

EventRecorder& Events() {
    static EventRecorder recorder;
    return recorder;
}

namespace {

// `text` in the ANSI code page, with "?" for what it lacks.
std::string Narrow(const wchar_t* text) {
    if (text == nullptr) {
        return std::string();
    }
    int bytes = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(bytes > 0 ? static_cast<std::size_t>(bytes) : 1, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], bytes, nullptr, nullptr);
    narrow.resize(narrow.size() - 1);
    return narrow;
}

int RecordMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    MessageBoxRecorder& boxes = MessageBoxes();
    boxes.calls.push_back({owner, Narrow(text), Narrow(caption), type, text});
    if (boxes.answers.empty()) {
        return IDOK;
    }
    int answer = boxes.answers.front();
    boxes.answers.pop_front();
    return answer;
}

HWND RecordHelp(HWND caller, const wchar_t* file, UINT command, DWORD_PTR) {
    HelpCalls().calls.push_back({caller, file != nullptr ? file : L"", command});
    return HelpCalls().result;
}

void RecordEvent(const std::string& event) {
    Timeline().events.push_back(event);
    if (Timeline().hook) {
        Timeline().hook(event);
    }
}

void RecordPause(DWORD milliseconds) {
    RecordEvent("pause " + std::to_string(milliseconds));
}

void RecordCursor(const char* systemCursor) {
    RecordEvent(systemCursor == IDC_WAIT    ? "cursor wait"
                : systemCursor == IDC_ARROW ? "cursor arrow"
                                            : "cursor other");
}

void RecordClock(SYSTEMTIME* now) {
    *now = Timeline().now;
    RecordEvent("clock");
}

BOOL RecordFileDialog(bool save, OPENFILENAMEW* request) {
    std::string filter;
    for (const wchar_t* part = request->lpstrFilter; part != nullptr && *part != L'\0';
         part += std::wcslen(part) + 1) {
        filter += Narrow(part) + "|";
    }
    FileDialogs().calls.push_back({save, request->hwndOwner, filter, Narrow(request->lpstrFile),
                                   Narrow(request->lpstrDefExt), request->Flags,
                                   request->nMaxFile});
    if (FileDialogs().whileOpen) {
        FileDialogs().whileOpen();
    }
    if (FileDialogs().answers.empty()) {
        return FALSE;
    }
    std::wstring answer = FileDialogs().answers.front();
    FileDialogs().answers.pop_front();
    if (answer.size() >= request->nMaxFile) {
        return FALSE; // the dialog refuses a path that does not fit
    }
    answer.copy(request->lpstrFile, answer.size());
    request->lpstrFile[answer.size()] = '\0';
    return TRUE;
}

DWORD RecordReportEvent(WORD type, DWORD id, PSID user, WORD count, const wchar_t** strings) {
    Events().events.push_back(
        {type, id, std::vector<std::wstring>(strings, strings + count), user != nullptr});
    return Events().result;
}

BOOL RecordSaveDialog(OPENFILENAMEW* request) {
    return RecordFileDialog(true, request);
}

BOOL RecordOpenDialog(OPENFILENAMEW* request) {
    return RecordFileDialog(false, request);
}

} // namespace

void InstallRecorders() {
    MessageBoxes() = MessageBoxRecorder();
    HelpCalls() = HelpRecorder();
    Timeline() = TimelineRecorder();
    FileDialogs() = FileDialogRecorder();
    Events() = EventRecorder();
    fw::CurrentSeams() =
        fw::Seams{&RecordMessageBox, &RecordHelp,       &RecordPause,      &RecordCursor,
                  &RecordClock,      &RecordSaveDialog, &RecordOpenDialog, &RecordReportEvent};
}

void RemoveRecorders() {
    StopAwaitingDialog();
    fw::CurrentSeams() = fw::PlatformSeams();
}

// ---- Dialogs --------------------------------------------------------------------------------

namespace {

fw::CDialog* g_runningDialog = nullptr;
const std::function<void(HWND)>* g_script = nullptr;
UINT_PTR g_watchdog = 0;

// Runs the script once the dialog shows, so that a dialog the script ends is hidden by then.
void CALLBACK RunScript(HWND, UINT, UINT_PTR timer, DWORD) {
    if (g_runningDialog == nullptr || !::IsWindowVisible(g_runningDialog->GetSafeHwnd())) {
        return;
    }
    ::KillTimer(nullptr, timer);
    if (g_script != nullptr && g_runningDialog != nullptr) {
        const std::function<void(HWND)>* script = g_script;
        g_script = nullptr;
        (*script)(g_runningDialog->GetSafeHwnd());
    }
}

void CALLBACK EndForgottenDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    g_watchdog = 0;
    if (g_runningDialog != nullptr && g_runningDialog->GetSafeHwnd() != nullptr) {
        ADD_FAILURE() << "the dialog was still open after 10 s";
        g_runningDialog->EndDialog(-2);
    }
}

std::string g_awaitedCaption;
std::function<void(HWND)> g_awaitedScript;
UINT_PTR g_awaitTimer = 0;

BOOL CALLBACK FindAwaitedDialog(HWND window, LPARAM found) {
    char className[16] = {};
    ::GetClassNameA(window, className, sizeof className);
    if (std::string(className) == "#32770" && ::IsWindowVisible(window) &&
        WindowText(window) == g_awaitedCaption) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK PollForAwaitedDialog(HWND, UINT, UINT_PTR, DWORD) {
    HWND found = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindAwaitedDialog,
                        reinterpret_cast<LPARAM>(&found));
    if (found != nullptr) {
        StopAwaitingDialog();
        std::function<void(HWND)> script = std::move(g_awaitedScript);
        script(found);
    }
}

} // namespace

void StopAwaitingDialog() {
    if (g_awaitTimer != 0) {
        ::KillTimer(nullptr, g_awaitTimer);
        g_awaitTimer = 0;
    }
}

void WhenDialogOpens(const char* caption, std::function<void(HWND)> script) {
    StopAwaitingDialog();
    g_awaitedCaption = caption;
    g_awaitedScript = std::move(script);
    g_awaitTimer = ::SetTimer(nullptr, 0, 10, &PollForAwaitedDialog);
}

void ClickButton(HWND dialog, int id) {
    ::SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

INT_PTR RunModal(fw::CDialog& dialog, const std::function<void(HWND)>& script) {
    g_runningDialog = &dialog;
    g_script = &script;
    UINT_PTR scriptTimer = ::SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &RunScript);
    g_watchdog = ::SetTimer(nullptr, 0, 10000, &EndForgottenDialog);
    INT_PTR result = dialog.DoModal();
    ::KillTimer(nullptr, scriptTimer); // a dialog that never showed ran no script
    if (g_watchdog != 0) {
        ::KillTimer(nullptr, g_watchdog);
        g_watchdog = 0;
    }
    g_runningDialog = nullptr;
    g_script = nullptr;
    return result;
}

std::vector<std::string> ListItems(HWND list) {
    std::vector<std::string> items;
    int count = static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[1024] = {};
        LVITEMA item = {};
        item.pszText = text;
        item.cchTextMax = sizeof text;
        ::SendMessageA(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
        items.emplace_back(text);
    }
    return items;
}

std::string WindowText(HWND window) {
    char text[1024] = {};
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

LRESULT SendNotify(HWND dialog, int controlId, UINT code) {
    NMITEMACTIVATE notification = {};
    notification.hdr.hwndFrom = ::GetDlgItem(dialog, controlId);
    notification.hdr.idFrom = static_cast<UINT_PTR>(controlId);
    notification.hdr.code = code;
    notification.iItem = -1;
    return ::SendMessageA(dialog, WM_NOTIFY, controlId, reinterpret_cast<LPARAM>(&notification));
}

LRESULT SendListKeyDown(HWND dialog, int controlId, WORD key) {
    NMLVKEYDOWN notification = {};
    notification.hdr.hwndFrom = ::GetDlgItem(dialog, controlId);
    notification.hdr.idFrom = static_cast<UINT_PTR>(controlId);
    notification.hdr.code = LVN_KEYDOWN;
    notification.wVKey = key;
    return ::SendMessageA(dialog, WM_NOTIFY, controlId, reinterpret_cast<LPARAM>(&notification));
}

void SelectItems(HWND list, const std::vector<int>& indexes) {
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = 0;
    ::SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                   reinterpret_cast<LPARAM>(&state));
    state.state = LVIS_SELECTED;
    for (int index : indexes) {
        ::SendMessageA(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&state));
    }
}

std::vector<int> SelectedItems(HWND list) {
    std::vector<int> selected;
    for (int i = ListView_GetNextItem(list, -1, LVNI_SELECTED); i >= 0;
         i = ListView_GetNextItem(list, i, LVNI_SELECTED)) {
        selected.push_back(i);
    }
    return selected;
}

bool PumpUntil(const std::function<bool()>& done) {
    ULONGLONG deadline = ::GetTickCount64() + 5000;
    while (!done()) {
        if (::GetTickCount64() > deadline) {
            return false;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
    return true;
}

void SelectItem(HWND list, const std::string& text) {
    std::vector<std::string> items = ListItems(list);
    auto found = std::find(items.begin(), items.end(), text);
    SelectItems(list, found == items.end() ? std::vector<int>{}
                                           : std::vector<int>{int(found - items.begin())});
}

} // namespace testing_support
