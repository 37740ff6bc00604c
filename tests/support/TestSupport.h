// What the in-process tests share: a scratch HKEY_LOCAL_MACHINE for every test, recorders in
// place of the message box and HTML Help, registry helpers, modal-dialog driving and
// allocation failure on demand.
#pragma once

#include "framework/Dialog.h"
#include "Bytes.h"
#include "NamedCase.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// ---- Registry -------------------------------------------------------------------------------

// Redirects this process's HKEY_LOCAL_MACHINE to a new, empty scratch key under
// HKEY_CURRENT_USER, replacing the previous scratch key. Called before every test.
void BeginScratchMachineKey();
// Undoes the redirection and deletes the scratch key. Called after every test.
void EndScratchMachineKey();
// Makes every later create, open or write under HKEY_LOCAL_MACHINE fail (the redirection
// target becomes a deleted key), until LiftRegistryFailure or the end of the test.
void InjectRegistryFailure();
// Points HKEY_LOCAL_MACHINE at the scratch key again, as it was before the failure.
void LiftRegistryFailure();

struct RegistryValue {
    std::string name;
    DWORD type;
    std::string data;
};

// Creates `keyPath` under (redirected) HKEY_LOCAL_MACHINE and sets a value; fails the test
// when the registry refuses.
void SetValue(const char* keyPath, const std::string& name, DWORD type, const std::string& data);
void SetBinary(const char* keyPath, const std::string& name, const std::string& data);
// The value, if any; `type` and `data` as stored.
bool GetValue(const char* keyPath, const std::string& name, RegistryValue& value);
bool HasValue(const char* keyPath, const std::string& name);
// Deletes the value, as another program would.
void DeleteValue(const char* keyPath, const std::string& name);
// Every value of the key, in the registry's enumeration order.
std::vector<RegistryValue> EnumerateValues(const char* keyPath);
// The names of the key's REG_BINARY values in enumeration order: what the list should show.
std::vector<std::string> BinaryValueNames(const char* keyPath);

extern const char kUsersPath[];
extern const char kCookiesPath[];

// ---- Message boxes and help ------------------------------------------------------------------

struct MessageBoxCall {
    HWND owner;
    std::string text;    // in the ANSI code page, a character it lacks as "?"
    std::string caption; // the same
    UINT type;
    std::wstring wideText; // as shown
};

// Records every message box and answers with the scripted results in order, IDOK once they
// run out.
struct MessageBoxRecorder {
    std::vector<MessageBoxCall> calls;
    std::deque<int> answers;
};
MessageBoxRecorder& MessageBoxes();

struct HelpCall {
    HWND caller;
    std::wstring file; // empty for a null file
    UINT command;
};

// Records HTML Help calls and answers each with `result`.
struct HelpRecorder {
    std::vector<HelpCall> calls;
    HWND result = reinterpret_cast<HWND>(static_cast<INT_PTR>(1));
};
HelpRecorder& HelpCalls();

// Records the pauses, cursor changes and clock readings in the order they happen, as
// "pause 3000", "cursor wait", "cursor arrow" and "clock". The clock reads `now`; `hook`, when
// set, runs after each event is recorded, so a test can look at the store at that moment or
// change it.
struct TimelineRecorder {
    std::vector<std::string> events;
    SYSTEMTIME now = {2026, 12, 2, 8, 19, 45, 30, 123};
    std::function<void(const std::string& event)> hook;
};
TimelineRecorder& Timeline();

struct FileDialogCall {
    bool save;
    HWND owner;
    std::string filter; // "|" between the parts
    std::string initialFile;
    std::string defaultExtension;
    DWORD flags;
    DWORD maxFile;
};

// Records the save and open dialogs (their texts in the ANSI code page) and answers each with the
// next path of `answers` (chosen as a user would), or cancels once they run out.
struct FileDialogRecorder {
    std::vector<FileDialogCall> calls;
    std::deque<std::wstring> answers;
    std::function<void()> whileOpen; // what another program does while a dialog is open
};
FileDialogRecorder& FileDialogs();

struct ReportedEvent {
    WORD type;
    DWORD id;
    std::vector<std::wstring> strings; // the inserts, in order
    bool forAccount;                   // an account's SID came with it
};

// Records the events written to the event log, answering each with `result`: ERROR_SUCCESS, or
// the error of a log that cannot be written.
struct EventRecorder {
    std::vector<ReportedEvent> events;
    DWORD result = ERROR_SUCCESS;
};
EventRecorder& Events();

// Installs the recorders (emptied) as the seams; restores the platform's afterwards.
void InstallRecorders();
void RemoveRecorders();

// ---- Dialogs --------------------------------------------------------------------------------

// Runs `dialog` modally; once it shows, calls `script` with the dialog's window.
// The script drives the dialog by messages and must end it (or leave it to a command that
// does). A dialog still open after 10 s is ended with -2 and the test fails.
INT_PTR RunModal(fw::CDialog& dialog, const std::function<void(HWND)>& script);

// Runs `script` once this thread shows a dialog captioned `caption` (for one that a command
// opens); the script gets the dialog's window and must end it. Polled every 10 ms until
// RemoveRecorders.
void WhenDialogOpens(const char* caption, std::function<void(HWND)> script);

// Sends what a click on the dialog's button `id` sends.
void ClickButton(HWND dialog, int id);

// The texts of the list-view control's items, in order.
std::vector<std::string> ListItems(HWND list);
std::string WindowText(HWND window);

// Sends a notification from control `controlId` of `dialog`, as the control would.
LRESULT SendNotify(HWND dialog, int controlId, UINT code);
// Sends LVN_KEYDOWN with `key` from the list control `controlId`.
LRESULT SendListKeyDown(HWND dialog, int controlId, WORD key);
// Selects exactly the items at `indexes` of `list` (none for an empty set).
void SelectItems(HWND list, const std::vector<int>& indexes);
// Selects exactly the item whose text is `text`, if one is listed; otherwise none.
void SelectItem(HWND list, const std::string& text);
// The indexes of the selected items, in order.
std::vector<int> SelectedItems(HWND list);
// Handles this thread's messages until `done` holds; false when it still does not after 5 s.
bool PumpUntil(const std::function<bool()>& done);

// ---- Memory ---------------------------------------------------------------------------------

// While alive, the `n`-th allocation (0: the next one) made through operator new throws
// std::bad_alloc; later allocations succeed again.
class FailingAllocation {
  public:
    explicit FailingAllocation(int n);
    ~FailingAllocation();
    // Whether the planned failure has happened.
    static bool Fired();
};

} // namespace testing_support
