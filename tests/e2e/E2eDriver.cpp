#include "E2eDriver.h"

#include <fstream>

namespace e2e {

// ---- The window program ----------------------------------------------------------------------

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (::SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result) ==
        0) {
        ADD_FAILURE() << "message 0x" << std::hex << message << " not answered";
    }
    return static_cast<LRESULT>(result);
}

std::string WindowText(HWND window) {
    char text[512] = {};
    Send(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

HWND FindDialog(DWORD processId, const char* caption, HWND owner) {
    struct Search {
        DWORD processId;
        const char* caption;
        HWND owner;
        HWND found;
    } search = {processId, caption, owner, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            Search& s = *reinterpret_cast<Search*>(param);
            DWORD id = 0;
            ::GetWindowThreadProcessId(window, &id);
            char className[64] = {};
            char text[256] = {};
            ::GetClassNameA(window, className, sizeof className);
            ::GetWindowTextA(window, text, sizeof text);
            if (id == s.processId && ::IsWindowVisible(window) &&
                std::string(className) == "#32770" && std::string(text) == s.caption &&
                (s.owner == nullptr || ::GetWindow(window, GW_OWNER) == s.owner)) {
                s.found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void WindowProgramTest::TearDown() {
    if (m_process.hProcess != nullptr) {
        if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(m_process.hProcess, 99);
            ::WaitForSingleObject(m_process.hProcess, kTimeoutMs);
        }
        ::CloseHandle(m_process.hProcess);
        ::CloseHandle(m_process.hThread);
    }
    PrefixStoreTest::TearDown();
}

void WindowProgramTest::StartProgram(const std::string& path) {
    std::string commandLine = "\"" + path + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    ASSERT_TRUE(::CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                 nullptr, nullptr, &startup, &m_process))
        << "cannot start " << path << ": error " << ::GetLastError();
    ASSERT_TRUE(WaitFor([&] {
        m_main = FindDialog(m_process.dwProcessId, "Wardkeep", nullptr);
        return m_main != nullptr;
    })) << "no \"Wardkeep\" window within 20 s";
    m_list = ::GetDlgItem(m_main, kCertificateList);
    m_userId = ::GetDlgItem(m_main, kUserIdEdit);
    ASSERT_NE(nullptr, m_list);
    ASSERT_NE(nullptr, m_userId);
}

void WindowProgramTest::WaitForDialog(const char* caption, HWND owner, HWND& found) {
    ASSERT_TRUE(WaitFor([&] {
        found = FindDialog(m_process.dwProcessId, caption, owner);
        return found != nullptr;
    })) << (FindDialog(m_process.dwProcessId, caption, nullptr) != nullptr
                ? std::string("the \"") + caption + "\" window has another owner"
                : std::string("no \"") + caption + "\" window within 20 s");
    EXPECT_FALSE(::IsWindowEnabled(owner)) << caption << " is not modal";
}

void WindowProgramTest::AnswerBox(const char* caption, HWND owner, const char* text, int button) {
    HWND box = nullptr;
    ASSERT_NO_FATAL_FAILURE(WaitForDialog(caption, owner, box));
    EXPECT_EQ(text, WindowText(::GetDlgItem(box, kMessageBoxText)));
    HWND answer = ::GetDlgItem(box, button);
    ASSERT_NE(nullptr, answer) << "the box has no button " << button;
    ::PostMessageA(answer, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box); })) << "the box stays open";
    // Answered only after the handler that asked has finished.
    Send(m_main, WM_NULL, 0, 0);
}

void WindowProgramTest::OpenNewCertificate(const char* userId, const char* password,
                                           const char* retyped, HWND& dialog) {
    ::PostMessageA(m_main, WM_COMMAND, kNewCertificateCommand, 0);
    ASSERT_NO_FATAL_FAILURE(WaitForDialog("New Certificate", m_main, dialog));
    Type(dialog, kNewUserId, userId);
    Type(dialog, kNewPassword, password);
    Type(dialog, kNewRetyped, retyped);
}

void WindowProgramTest::ConfirmNewCertificate(HWND dialog) {
    ULONGLONG clicked = ::GetTickCount64();
    Click(dialog, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(dialog); })) << "New Certificate stays open";
    EXPECT_GE(::GetTickCount64() - clicked, 2900u) << "closed before its 3000 ms pause";
}

void WindowProgramTest::ExpectProgramEnds() {
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(m_process.hProcess, kTimeoutMs))
        << "the program is still running 20 s later";
    DWORD exitCode = 1;
    ::GetExitCodeProcess(m_process.hProcess, &exitCode);
    EXPECT_EQ(0u, exitCode);
}

// ---- The console program ---------------------------------------------------------------------

std::wstring Widen(const std::string& ansi) {
    int chars =
        ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(chars > 0 ? chars : 0), L'\0');
    if (chars > 0) {
        ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0],
                              chars);
    }
    return wide;
}

namespace {

std::wstring Quote(const std::wstring& arg) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'"') {
            quoted.append(backslashes + 1, L'\\');
        }
        backslashes = c == L'\\' ? backslashes + 1 : 0;
        quoted += c;
    }
    return quoted.append(backslashes, L'\\') + L"\"";
}

} // namespace

std::wstring CommandLine(const std::string& program, const std::vector<std::wstring>& args) {
    std::wstring commandLine = Quote(Widen(program));
    for (const std::wstring& arg : args) {
        commandLine += L" " + Quote(arg);
    }
    return commandLine;
}

std::wstring CommandLine(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::wstring> wide;
    for (const std::string& arg : args) {
        wide.push_back(Widen(arg));
    }
    return CommandLine(program, wide);
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

namespace {

// Deletes `path` with everything in it, folders too.
void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((path + "\\*").c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(search, &found)) {
        std::string name = found.cFileName;
        if (name == "." || name == "..") {
            continue;
        }
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            RemoveTree(path + "\\" + name);
        } else {
            ::DeleteFileA((path + "\\" + name).c_str());
        }
    }
    if (search != INVALID_HANDLE_VALUE) {
        ::FindClose(search);
    }
    ::RemoveDirectoryA(path.c_str());
}

} // namespace

// Wine reuses process IDs: what an earlier run left under the same name goes first.
TempFolder::TempFolder() {
    char temp[MAX_PATH + 1] = {};
    ::GetTempPathA(sizeof temp, temp);
    m_path = std::string(temp) + "wardkeepc-e2e-" + std::to_string(::GetCurrentProcessId());
    RemoveTree(m_path);
    ::CreateDirectoryA(m_path.c_str(), nullptr);
}

TempFolder::~TempFolder() {
    RemoveTree(m_path);
}

Outcome RunProcess(const std::wstring& commandLine, const std::string& input,
                   const TempFolder& folder, const std::string& outputPath, ProcessStart start) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    auto open = [&](const std::string& path, bool write) {
        return ::CreateFileA(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ,
                             &inherit, write ? CREATE_ALWAYS : OPEN_EXISTING, 0, nullptr);
    };
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    HANDLE pipeInput = nullptr; // the driver's end
    if (start.inputPipe) {
        EXPECT_TRUE(::CreatePipe(&startup.hStdInput, &pipeInput, &inherit, 0));
        ::SetHandleInformation(pipeInput, HANDLE_FLAG_INHERIT, 0);
    } else {
        WriteFileBytes(folder.File("stdin"), input);
        startup.hStdInput = open(folder.File("stdin"), false);
    }
    const std::string outPath = outputPath.empty() ? folder.File("stdout") : outputPath;
    startup.hStdOutput = open(outPath, true);
    startup.hStdError = open(folder.File("stderr"), true);
    // A stream file still held by an earlier run would leave that run's output to be read.
    EXPECT_NE(INVALID_HANDLE_VALUE, startup.hStdError) << "error " << ::GetLastError();
    PROCESS_INFORMATION process = {};
    std::wstring writable = commandLine;
    bool started = ::CreateProcessW(nullptr, &writable[0], nullptr, nullptr, TRUE,
                                    start.ownConsole ? CREATE_NEW_CONSOLE : DETACHED_PROCESS,
                                    nullptr, nullptr, &startup, &process);
    for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
        ::CloseHandle(handle);
    }
    if (pipeInput != nullptr) {
        DWORD written = 0;
        EXPECT_TRUE(input.empty() ||
                    ::WriteFile(pipeInput, input.data(), static_cast<DWORD>(input.size()), &written,
                                nullptr));
        ::CloseHandle(pipeInput);
    }
    Outcome outcome;
    EXPECT_TRUE(started) << "cannot start " << testing::PrintToString(commandLine) << ": error "
                         << ::GetLastError();
    if (started) {
        bool ended = ::WaitForSingleObject(process.hProcess, kTimeoutMs) == WAIT_OBJECT_0;
        EXPECT_TRUE(ended) << testing::PrintToString(commandLine) << " still runs 20 s later";
        if (!ended) {
            ::TerminateProcess(process.hProcess, 99);
            ::WaitForSingleObject(process.hProcess, kTimeoutMs);
        }
        ::GetExitCodeProcess(process.hProcess, &outcome.exitCode);
        ::CloseHandle(process.hProcess);
        ::CloseHandle(process.hThread);
    }
    // The host of a console of its own inherits the streams too, and may end a little later.
    for (const std::string& path : {outPath, folder.File("stderr")}) {
        EXPECT_TRUE(WaitFor([&] {
            HANDLE alone =
                ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            bool closed =
                alone != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_SHARING_VIOLATION;
            if (alone != INVALID_HANDLE_VALUE) {
                ::CloseHandle(alone);
            }
            return closed;
        })) << path
            << " is still open";
    }
    outcome.out = FileBytes(folder.File("stdout"));
    outcome.err = FileBytes(folder.File("stderr"));
    return outcome;
}

std::string ConsoleProgramPath() {
    std::string program = ProgramPath();
    return program.substr(0, program.find_last_of('\\') + 1) + "wardkeepc.exe";
}

} // namespace e2e
