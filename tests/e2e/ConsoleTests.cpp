// The console program. The real wardkeepc.exe runs as a separate process in the build tree's Wine
// prefix with its standard streams redirected to files; the driver checks its exit code, what it
// printed and what the prefix's store holds afterwards.
#include "E2eDriver.h"
#include "E2eEnvironment.h"
#include "E2eStore.h"
#include "support/ExchangeCases.h"
#include "support/FileSecurity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace e2e;
using namespace exchange_cases;
using testing_support::CaseName;
using testing_support::NamedCase;

namespace {

// The file's bytes, or kAbsent when there is no such file.
std::string FileOrAbsent(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES ? kAbsent
                                                                         : FileBytes(path);
}

// A certificate as the tests seed it and expect it back.
struct RolledOut {
    std::string userId;
    std::string userKey;
    std::string cookieKey;
};

class ConsoleTest : public PrefixStoreTest {
  protected:
    void SetUp() override {
        PrefixStoreTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        ASSERT_FALSE(ProgramPath().empty()) << "usage: wardkeep_e2e <path of wardkeep.exe>";
    }

    std::string File(const std::string& name) const { return m_folder.File(name); }
    const TempFolder& Folder() const { return m_folder; }

    // Seeds the certificates and exports each with wardkeepc into a file of its own, "<n>.crt".
    std::vector<std::string> SeedAndExport(const std::vector<RolledOut>& certificates) {
        std::vector<std::string> files;
        for (const RolledOut& certificate : certificates) {
            SeedValue(kUsersKey, certificate.userId, certificate.userKey);
            SeedValue(kCookiesKey, certificate.userId, certificate.cookieKey);
            files.push_back(File(std::to_string(files.size()) + ".crt"));
            Outcome exported = Run({"export", certificate.userId, files.back()});
            EXPECT_EQ(0u, exported.exitCode) << exported.err;
        }
        return files;
    }

    Outcome Run(const std::vector<std::string>& args, const std::string& input = "",
                const std::string& outputPath = "") {
        return RunProcess(CommandLine(ConsoleProgramPath(), args), input, m_folder, outputPath);
    }
    // With arguments that the ANSI code page cannot hold.
    Outcome RunWide(const std::vector<std::wstring>& args, const std::string& input = "") {
        return RunProcess(CommandLine(ConsoleProgramPath(), args), input, m_folder);
    }
    Outcome RunStarted(const std::vector<std::string>& args, const std::string& input,
                       ProcessStart start) {
        return RunProcess(CommandLine(ConsoleProgramPath(), args), input, m_folder, "", start);
    }

    static void ExpectKeys(const std::string& userId, const std::string& userKey,
                           const std::string& cookieKey) {
        std::string stored;
        EXPECT_TRUE(ReadValue(kUsersKey, userId, stored)) << "no Users value of " << userId;
        EXPECT_EQ(userKey, stored) << "UserKey of " << userId;
        EXPECT_TRUE(ReadValue(kCookiesKey, userId, stored)) << "no Cookies value of " << userId;
        EXPECT_EQ(cookieKey, stored) << "CookieKey of " << userId;
    }

    TempFolder m_folder;
};

// Lines as the console program ends them.
std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

// ---- Usage -----------------------------------------------------------------------------------

struct UsageCase : NamedCase {
    std::vector<std::string> args;
    DWORD exitCode;
    const char* out; // a part of standard output, or "" when it must be empty
    const char* err; // a part of standard error, or "" when it must be empty
};

class ConsoleUsageTest : public ConsoleTest, public testing::WithParamInterface<UsageCase> {};

TEST_P(ConsoleUsageTest, ExitCodeAndStreams) {
    const UsageCase& c = GetParam();
    SeedCertificates({"alice"});
    Outcome outcome = Run(c.args);
    EXPECT_EQ(c.exitCode, outcome.exitCode);
    for (auto [expected, actual] : {std::pair{c.out, &outcome.out}, {c.err, &outcome.err}}) {
        if (*expected == '\0') {
            EXPECT_EQ("", *actual);
        } else {
            EXPECT_NE(std::string::npos, actual->find(expected)) << *actual;
        }
    }
    EXPECT_TRUE(ValueExists(kUsersKey, "alice"));
}

INSTANTIATE_TEST_SUITE_P(
    Console, ConsoleUsageTest,
    testing::Values(
        UsageCase{{"Overview"}, {"--help"}, 0, "  reg FILE...", ""},
        UsageCase{{"CommandHelp"},
                  {"passwd", "--help"},
                  0,
                  "usage: wardkeepc passwd USER [--password-stdin]",
                  ""},
        UsageCase{{"NoCommand"}, {}, 2, "Commands:", "wardkeepc: No command given."},
        UsageCase{{"UnknownCommand"}, {"remove", "alice"}, 2, "", "Unknown command \"remove\""},
        UsageCase{{"OptionOfAnotherCommand"}, {"list", "--yes"}, 2, "", "Unknown option \"--yes\""},
        UsageCase{{"TooFewArguments"}, {"export", "alice"}, 2, "", "Too few arguments."},
        UsageCase{{"TooManyArguments"}, {"new", "a", "b"}, 2, "", "Too many arguments."},
        UsageCase{{"OutputWithoutAName"}, {"reg", "a.crt", "-o"}, 2, "", "needs a file name"},
        // Started without a console, as by a service or a deployment agent.
        UsageCase{{"PasswordsWithoutConsole"}, {"new", "bob"}, 2, "", "--password-stdin"},
        UsageCase{{"DeleteWithoutConsole"}, {"delete", "alice"}, 1, "", "--yes"},
        UsageCase{{"DeleteWithoutCertificate"},
                  {"delete", "--yes", "bob"},
                  1,
                  "",
                  "\"bob\" has no certificate."}),
    CaseName<UsageCase>);

// ---- The store ---------------------------------------------------------------------------------

TEST_F(ConsoleTest, ListPrintsWhatTheWindowListsInTheStoresOrder) {
    SeedCertificates({"bob", "a-c", "B.K", "_x", "ab", "alice"});
    // Skipped as by the window's list: not binary, a name too long, data too long.
    SeedValue(kUsersKey, "text", "abc", REG_SZ);
    SeedValue(kUsersKey, std::string(128, 'n'), "key");
    SeedValue(kUsersKey, "big", std::string(129, 'k'));
    Outcome outcome = Run({"list"});
    EXPECT_EQ(0u, outcome.exitCode);
    EXPECT_EQ(Lines({"_x", "a-c", "ab", "alice", "B.K", "bob"}), outcome.out);
    EXPECT_EQ("", outcome.err);
}

TEST_F(ConsoleTest, NewStoresTheKeysTheDialogWouldAndDeleteRemovesThem) {
    SYSTEMTIME before;
    ::GetSystemTime(&before);
    Outcome created = Run({"new", "con.user", "--password-stdin"}, "Pass word\r\nPass word\r\n");
    EXPECT_EQ(0u, created.exitCode) << created.err;
    EXPECT_EQ("Stored the certificate of \"con.user\".\r\n", created.out);
    std::string userKey, cookie;
    EXPECT_TRUE(ReadValue(kUsersKey, "con.user", userKey));
    EXPECT_EQ(Md5Key("con.userPass wordPass word"), userKey);
    EXPECT_TRUE(ReadValue(kCookiesKey, "con.user", cookie));
    EXPECT_FALSE(cookie.empty());
    EXPECT_EQ(Lines({"con.user"}), Run({"list"}).out);

    Outcome deleted = Run({"delete", "con.user", "--yes"});
    EXPECT_EQ(0u, deleted.exitCode) << deleted.err;
    EXPECT_FALSE(ValueExists(kUsersKey, "con.user"));
    EXPECT_FALSE(ValueExists(kCookiesKey, "con.user"));
}

// ---- The program file ------------------------------------------------------------------------

// A string of the program file's version resource (US English, Unicode code page).
std::string VersionString(const std::string& program, const char* name) {
    DWORD ignored = 0;
    std::vector<char> data(::GetFileVersionInfoSizeA(program.c_str(), &ignored));
    char* value = nullptr;
    UINT length = 0;
    if (data.empty() ||
        !::GetFileVersionInfoA(program.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
        !::VerQueryValueA(data.data(), (std::string("\\StringFileInfo\\040904b0\\") + name).c_str(),
                          reinterpret_cast<void**>(&value), &length)) {
        return "<none>";
    }
    return std::string(value, length > 0 ? length - 1 : 0);
}

// The program file's manifest.
std::string Manifest(const std::string& program) {
    HMODULE module = ::LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found =
        module != nullptr ? ::FindResourceA(module, MAKEINTRESOURCEA(1), RT_MANIFEST) : nullptr;
    std::string text;
    if (found != nullptr) {
        const char* bytes = static_cast<const char*>(::LockResource(::LoadResource(module, found)));
        text.assign(bytes, ::SizeofResource(module, found));
    }
    if (module != nullptr) {
        ::FreeLibrary(module);
    }
    return text;
}

TEST_F(ConsoleTest, TheFileCarriesTheProductsVersionAndRunsWithThePromptsRights) {
    const std::string console = ConsoleProgramPath();
    EXPECT_EQ("wardkeepc.exe", VersionString(console, "OriginalFilename"));
    EXPECT_EQ("Wardkeep", VersionString(console, "ProductName"));
    EXPECT_EQ(VersionString(ProgramPath(), "FileVersion"), VersionString(console, "FileVersion"));
    EXPECT_NE("<none>", VersionString(console, "FileVersion"));
    // An elevation prompt would open a console of its own, out of a script's sight.
    EXPECT_NE(std::string::npos, Manifest(console).find("level=\"asInvoker\""));
}

TEST_F(ConsoleTest, OutputForScriptsThatCannotBeWrittenIsAFailure) {
    SeedValue(kUsersKey, "alice", Md5Key("alice"));
    SeedValue(kCookiesKey, "alice", Md5Key("cookie"));
    ASSERT_EQ(0u, Run({"export", "alice", File("alice.crt")}).exitCode);
    for (std::vector<std::string> args : {std::vector<std::string>{"list"},
                                          {"check", File("alice.crt")},
                                          {"reg", File("alice.crt")}}) {
        Outcome outcome = Run(args, "", "Z:\\dev\\full"); // every write fails: disk full
        EXPECT_EQ(1u, outcome.exitCode) << args[0];
        EXPECT_NE(std::string::npos, outcome.err.find("Standard output could not be written: "))
            << args[0] << ": " << outcome.err;
    }
}

// ---- Asking on the console ----------------------------------------------------------------

// A run of wardkeepc.exe in a console of its own, where the driver types as a person would.
struct ConsoleRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string screen; // what the console shows when the program has ended
};

// Key presses of `text` (in the ANSI code page) into console input `input`, as the characters
// they are; "\r" is the Enter key.
void TypeInto(HANDLE input, const std::string& text) {
    std::vector<INPUT_RECORD> records;
    for (wchar_t c : Widen(text)) {
        for (BOOL down : {TRUE, FALSE}) {
            INPUT_RECORD record = {};
            record.EventType = KEY_EVENT;
            record.Event.KeyEvent.bKeyDown = down;
            record.Event.KeyEvent.wRepeatCount = 1;
            record.Event.KeyEvent.wVirtualKeyCode =
                c == L'\r' ? VK_RETURN : LOBYTE(::VkKeyScanW(c));
            record.Event.KeyEvent.uChar.UnicodeChar = c;
            records.push_back(record);
        }
    }
    DWORD written = 0;
    EXPECT_TRUE(
        ::WriteConsoleInputW(input, records.data(), static_cast<DWORD>(records.size()), &written));
}

// What the attached console shows.
std::string ScreenText() {
    HANDLE output =
        ::CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    std::string screen;
    if (::GetConsoleScreenBufferInfo(output, &info)) {
        std::string cells(static_cast<std::size_t>(info.dwSize.X) * info.dwSize.Y, ' ');
        DWORD read = 0;
        ::ReadConsoleOutputCharacterA(output, cells.data(), static_cast<DWORD>(cells.size()),
                                      COORD{0, 0}, &read);
        screen = cells.substr(0, read);
    }
    ::CloseHandle(output);
    return screen;
}

// What the driver does while the program waits for an answer: once the console shows `shown`,
// it runs `meanwhile` (another program at work) and then types `typed`.
struct WhileAsked {
    std::string shown;
    std::function<void()> meanwhile;
    std::string typed;
};

ConsoleRun RunInItsOwnConsole(const std::vector<std::string>& args, const std::string& typed,
                              const WhileAsked* asked = nullptr) {
    std::wstring commandLine = CommandLine(ConsoleProgramPath(), args);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ConsoleRun run;
    if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                          nullptr, nullptr, &startup, &process)) {
        ADD_FAILURE() << "cannot start " << testing::PrintToString(commandLine) << ": error "
                      << ::GetLastError();
        return run;
    }
    // The driver joins the program's console for as long as it runs, and a little longer.
    ::FreeConsole();
    ULONGLONG deadline = ::GetTickCount64() + kTimeoutMs;
    bool attached = false;
    while (!(attached = ::AttachConsole(process.dwProcessId)) && ::GetTickCount64() < deadline) {
        ::Sleep(10);
    }
    EXPECT_TRUE(attached) << "cannot attach to the console of "
                          << testing::PrintToString(commandLine);
    if (attached) {
        HANDLE input =
            ::CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        TypeInto(input, typed);
        if (asked != nullptr) {
            EXPECT_TRUE(WaitFor([&] {
                return ScreenText().find(asked->shown) != std::string::npos;
            })) << "\""
                << asked->shown << "\" never shown:\n"
                << ScreenText();
            asked->meanwhile();
            TypeInto(input, asked->typed);
        }
        ::CloseHandle(input);
    }
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.hProcess, kTimeoutMs))
        << testing::PrintToString(commandLine) << " still runs 20 s later";
    ::GetExitCodeProcess(process.hProcess, &run.exitCode);
    if (attached) {
        run.screen = ScreenText();
        ::FreeConsole();
    }
    ::TerminateProcess(process.hProcess, 99);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    return run;
}

struct AskCase : NamedCase {
    std::vector<std::string> args;
    std::string typed;
    DWORD exitCode;
    std::vector<std::string> shown; // on the console, in this order
    const char* hidden;             // never on the console
    std::string userKey;            // alice's UserKey afterwards, empty when she has none
};

class ConsoleAskTest : public ConsoleTest, public testing::WithParamInterface<AskCase> {};

TEST_P(ConsoleAskTest, AsksOnTheConsoleAndEchoesNoPassword) {
    const AskCase& c = GetParam();
    SeedValue(kUsersKey, "alice", Md5Key("aliceoldold"));
    SeedValue(kCookiesKey, "alice", "cookie of alice");
    ConsoleRun run = RunInItsOwnConsole(c.args, c.typed);
    EXPECT_EQ(c.exitCode, run.exitCode) << run.screen;
    std::size_t at = 0;
    for (const std::string& part : c.shown) {
        at = run.screen.find(part, at);
        EXPECT_NE(std::string::npos, at) << "\"" << part << "\" not shown in order:\n"
                                         << run.screen;
    }
    EXPECT_EQ(std::string::npos, run.screen.find(c.hidden)) << run.screen;
    std::string userKey;
    EXPECT_EQ(!c.userKey.empty(), ReadValue(kUsersKey, "alice", userKey));
    EXPECT_EQ(c.userKey, userKey);
}

INSTANTIATE_TEST_SUITE_P(
    Console, ConsoleAskTest,
    testing::Values(AskCase{{"NewReplacingAnswered"},
                            {"new", "alice"},
                            "Tiger 7\rTiger 7\ry\r",
                            0,
                            {"Password: ", "Retype password: ",
                             "The store already holds a certificate \"alice\". Replacing it gives "
                             "it a new CookieKey: files encrypted under the certificate can no "
                             "longer be decrypted once it is replaced. Replace it? [y/N] y",
                             "Stored the certificate of \"alice\"."},
                            "Tiger",
                            Md5Key("aliceTiger 7Tiger 7")},
                    AskCase{{"NewReplacingDeclined"},
                            {"new", "alice"},
                            "Tiger 7\rTiger 7\r\r",
                            1,
                            {"The store already holds a certificate \"alice\".",
                             "Nothing was stored for \"alice\"."},
                            "Tiger",
                            Md5Key("aliceoldold")},
                    // A letter of the ANSI code page typed at the console is its byte there, as in
                    // the dialog (the console's own code page is another).
                    AskCase{{"TypedLetterOfTheCodePage"},
                            {"passwd", "alice"},
                            "old\rZ\xe4hZ\rZ\xe4hZ\r",
                            0,
                            {"Old password: ", "Changed the password of \"alice\"."},
                            "hZ",
                            Md5Key("aliceZ\xe4hZZ\xe4hZ")},
                    // Typed at a console, the lines for scripts are not echoed either.
                    AskCase{{"PasswordStdinTypedAtTheConsole"},
                            {"passwd", "alice", "--password-stdin"},
                            "old\rLion 9\rLion 9\r",
                            0,
                            {"Changed the password of \"alice\"."},
                            "Lion",
                            Md5Key("aliceLion 9Lion 9")},
                    AskCase{{"Passwd"},
                            {"passwd", "alice"},
                            "old\rLion 8\rLion 8\r",
                            0,
                            {"Old password: ", "New password: ", "Retype new password: "},
                            "Lion",
                            Md5Key("aliceLion 8Lion 8")},
                    AskCase{{"DeleteAnsweredYes"},
                            {"delete", "alice"},
                            "y\r",
                            0,
                            {"Delete the certificate of \"alice\"? [y/N] y"},
                            "Lion",
                            ""},
                    AskCase{{"DeleteAnsweredWithEnter"},
                            {"delete", "alice"},
                            "\r",
                            1,
                            {"Delete the certificate of \"alice\"? [y/N] ", "Nothing was deleted."},
                            "Lion",
                            Md5Key("aliceoldold")}),
    CaseName<AskCase>);

struct PasswordCase : NamedCase {
    std::vector<std::string> args;
    std::string input;
    const char* err;     // a part of standard error when refused, nullptr when stored
    std::string userKey; // alice's UserKey afterwards
};

// alice's certificate has the password "old".
const std::string kOldKey = Md5Key("aliceoldold");

class ConsolePasswordTest : public ConsoleTest, public testing::WithParamInterface<PasswordCase> {};

TEST_P(ConsolePasswordTest, StoresOnlyWhatTheDialogsWould) {
    const PasswordCase& c = GetParam();
    SeedValue(kUsersKey, "alice", kOldKey);
    SeedValue(kCookiesKey, "alice", "cookie of alice");
    Outcome outcome = Run(c.args, c.input);
    if (c.err == nullptr) {
        EXPECT_EQ(0u, outcome.exitCode) << outcome.err;
    } else {
        EXPECT_EQ(1u, outcome.exitCode);
        EXPECT_NE(std::string::npos, outcome.err.find(c.err)) << outcome.err;
        EXPECT_EQ("", outcome.out);
    }
    ExpectKeys("alice", c.userKey, "cookie of alice");
    // Nothing stored for a user ID the command refused.
    EXPECT_EQ((std::vector<std::string>{"alice"}), EnumeratedNames(kUsersKey));
}

const std::string k192Chars(192, 'p');
const std::string k193Chars(193, 'p');

INSTANTIATE_TEST_SUITE_P(
    Console, ConsolePasswordTest,
    testing::Values(PasswordCase{{"Changed"},
                                 {"passwd", "alice", "--password-stdin"},
                                 "old\nnew\nnew\n",
                                 nullptr,
                                 Md5Key("alicenewnew")},
                    PasswordCase{{"LastLineWithoutItsEnd"},
                                 {"passwd", "--password-stdin", "alice"},
                                 "old\r\nnew\r\nnew",
                                 nullptr,
                                 Md5Key("alicenewnew")},
                    PasswordCase{{"PasswordOf192CharactersEndingInCrLf"},
                                 {"passwd", "alice", "--password-stdin"},
                                 "old\r\n" + k192Chars + "\r\n" + k192Chars + "\r\n",
                                 nullptr,
                                 Md5Key("alice" + k192Chars + k192Chars)},
                    PasswordCase{{"WrongOldPassword"},
                                 {"passwd", "alice", "--password-stdin"},
                                 "Old\nnew\nnew\n",
                                 "Wrong Old Password!",
                                 kOldKey},
                    PasswordCase{{"NewPasswordsDiffer"},
                                 {"passwd", "alice", "--password-stdin"},
                                 "old\nnew\nNew\n",
                                 "Passwords need to be identical!",
                                 kOldKey},
                    PasswordCase{{"InputEndsEarly"},
                                 {"passwd", "alice", "--password-stdin"},
                                 "old\nnew\n",
                                 "Standard input ended",
                                 kOldKey},
                    PasswordCase{{"NoCertificate"},
                                 {"passwd", "bob", "--password-stdin"},
                                 "\nnew\nnew\n",
                                 "\"bob\" has no certificate.",
                                 kOldKey},
                    PasswordCase{{"NewPasswordsDifferForANewCertificate"},
                                 {"new", "alice", "--password-stdin"},
                                 "new\nnew \n",
                                 "Passwords need to be identical!",
                                 kOldKey},
                    PasswordCase{{"PasswordOver192Characters"},
                                 {"new", "alice", "--password-stdin"},
                                 k193Chars + "\n" + k193Chars + "\n",
                                 "The password is longer than 192 bytes",
                                 kOldKey},
                    PasswordCase{{"UserIdOver127Characters"},
                                 {"new", std::string(128, 'u'), "--password-stdin"},
                                 "new\nnew\n",
                                 "longer than 127 bytes",
                                 kOldKey}),
    CaseName<PasswordCase>);

// ---- Certificate files
// ---------------------------------------------------------------------------

class ConsoleExportTest : public ConsoleTest, public testing::WithParamInterface<ExportCase> {};

// The key limit of a certificate file; the console says precisely why a key cannot be exported.
constexpr std::size_t kMaxKeyBytes = 127;

// The window's export cases: the console writes the same files and fails the same way, but
// leaves no file behind when there is no certificate to export. --yes answers the question before
// a file is replaced.
TEST_P(ConsoleExportTest, WritesTheFileTheWindowWould) {
    const ExportCase& c = GetParam();
    if (c.target == std::string("cancel")) {
        GTEST_SKIP() << "the console has no file dialog to cancel";
    }
    // A certificate that vanishes is gone before the console looks.
    const bool vanished = c.target == std::string("vanish");
    if (c.userKey != nullptr && !vanished) {
        SeedValue(kUsersKey, "alice", c.userKey);
    }
    if (c.cookieKey != nullptr && !vanished) {
        SeedValue(kCookiesKey, "alice", c.cookieKey);
    }
    if (c.existing != nullptr) {
        WriteFileBytes(File("chosen.crt"), c.existing);
    }
    std::string target = c.target == std::string("no-folder") ? File("none\\x.crt")
                         : c.target == std::string("full")    ? "Z:\\dev\\full"
                                                              : File("chosen.crt");
    HANDLE holder = INVALID_HANDLE_VALUE;
    if (c.target == std::string("held")) {
        WriteFileBytes(target, "held");
        holder = ::CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    Outcome outcome = Run({"export", "alice", target, "--yes"});
    if (holder != INVALID_HANDLE_VALUE) {
        ::CloseHandle(holder);
    }
    std::string file = FileOrAbsent(File("chosen.crt"));
    EXPECT_EQ(c.file, file);
    if (c.message == nullptr) {
        EXPECT_EQ(0u, outcome.exitCode) << outcome.err;
        return;
    }
    EXPECT_EQ(1u, outcome.exitCode);
    std::string said =
        c.message == kGone           ? "\"alice\" has no certificate to export."
        : c.message != kSelectUserId ? "The certificate was not exported: \"" + target +
                                           "\" could not be " + c.message + ". "
        : c.cookieKey == nullptr ? "\"alice\" has no CookieKey"
                                 : "longer than " + std::to_string(kMaxKeyBytes) + " bytes";
    EXPECT_NE(std::string::npos, outcome.err.find(said)) << outcome.err;
}

INSTANTIATE_TEST_SUITE_P(Console, ConsoleExportTest, testing::ValuesIn(ExportCases()),
                         CaseName<ExportCase>);

class ConsoleImportTest : public ConsoleTest, public testing::WithParamInterface<ImportCase> {};

// The window's import cases: check says what import then stores, or both refuse the file.
TEST_P(ConsoleImportTest, CheckSaysWhatImportStores) {
    const ImportCase& c = GetParam();
    SeedValue(kUsersKey, "Bob", "old user key");
    SeedValue(kCookiesKey, "Bob", "old cookie");
    std::string file = File("chosen.crt");
    if (c.file != nullptr) {
        WriteFileBytes(file, c.file);
    }
    Outcome checked = Run({"check", file});
    EXPECT_EQ((std::vector<std::string>{"Bob"}), EnumeratedNames(kUsersKey)) << "check stored";
    Outcome imported = Run({"import", file, c.asks ? "--yes" : "--"});
    if (c.userId == nullptr) {
        for (const Outcome& refused : {checked, imported}) {
            EXPECT_EQ(1u, refused.exitCode);
            EXPECT_EQ("", refused.out);
            EXPECT_NE(std::string::npos, refused.err.find("\"" + file + "\""));
            EXPECT_NE(std::string::npos, refused.err.find(c.refusal)) << refused.err;
        }
        EXPECT_EQ((std::vector<std::string>{"Bob"}), EnumeratedNames(kUsersKey));
        return;
    }
    EXPECT_EQ(0u, checked.exitCode) << checked.err;
    // The file's spelling of the user ID; the store keeps the spelling it has.
    std::string said =
        Lines({std::string("User ID: ") + c.userId,
               "UserKey: " + std::to_string(std::string(c.userKey).size()) + " bytes",
               "CookieKey: " + std::to_string(std::string(c.cookieKey).size()) + " bytes"});
    EXPECT_EQ(0, ::lstrcmpiA(said.c_str(), checked.out.c_str())) << checked.out;
    EXPECT_EQ(0u, imported.exitCode) << imported.err;
    ExpectKeys(c.userId, c.userKey, c.cookieKey);
}

INSTANTIATE_TEST_SUITE_P(Console, ConsoleImportTest, testing::ValuesIn(ImportCases()),
                         CaseName<ImportCase>);

// ---- Questions, typed text and closed files -------------------------------------------------

// Replacing a certificate loses its CookieKey: new and import ask, and a script must say --yes.
// Options may stand before or after the arguments.
TEST_F(ConsoleTest, NewAndImportAskBeforeReplacingAndYesAnswersForScripts) {
    SeedValue(kUsersKey, "alice", kOldKey);
    SeedValue(kCookiesKey, "alice", "cookie of alice");
    Outcome refused = Run({"new", "ALICE", "--password-stdin"}, "n\nn\n");
    EXPECT_EQ(1u, refused.exitCode);
    EXPECT_NE(std::string::npos,
              refused.err.find("Nothing was stored for \"ALICE\". Confirm with --yes."))
        << refused.err;
    ExpectKeys("alice", kOldKey, "cookie of alice");
    Outcome replaced = Run({"new", "--yes", "alice", "--password-stdin"}, "n\nn\n");
    EXPECT_EQ(0u, replaced.exitCode) << replaced.err;
    std::string cookie;
    EXPECT_TRUE(ReadValue(kCookiesKey, "alice", cookie));
    EXPECT_NE("cookie of alice", cookie);

    // The file holds the old certificate again, with another CookieKey than the one stored now.
    WriteFileBytes(File("old.crt"), "User = alice\nUserKey = " + Hex(kOldKey, 16) +
                                        "\nCookieKey = " + Hex("cookie of alice", 16));
    Outcome declined = Run({"import", File("old.crt")});
    EXPECT_EQ(1u, declined.exitCode);
    EXPECT_NE(std::string::npos,
              declined.err.find("Nothing was imported (it would replace the certificate of "
                                "\"alice\"). Confirm with --yes."))
        << declined.err;
    EXPECT_TRUE(ReadValue(kCookiesKey, "alice", cookie));
    EXPECT_NE("cookie of alice", cookie);
    EXPECT_EQ(0u, Run({"import", File("old.crt"), "--yes"}).exitCode);
    ExpectKeys("alice", kOldKey, "cookie of alice");
    // The same certificate again loses nothing: no question.
    Outcome again = Run({"import", File("old.crt")});
    EXPECT_EQ(0u, again.exitCode) << again.err;
}

// Arguments arrive as typed: a user ID the ANSI code page cannot hold is refused (best fit would
// have made the fullwidth "a" delete "alice"), a file name it cannot hold works, and the files
// that hold keys are closed to others, also one that existed open to all. Under Wine a plain
// file reads back with an Everyone (WD) entry.
TEST_F(ConsoleTest, ArgumentsAreTakenAsTypedAndKeyFilesAreClosedToOthers) {
    SeedValue(kUsersKey, "alice", kOldKey);
    SeedValue(kCookiesKey, "alice", "cookie of alice");
    Outcome refused = RunWide({L"delete", L"\xff41lice", L"--yes"});
    EXPECT_EQ(2u, refused.exitCode);
    EXPECT_NE(std::string::npos, refused.err.find("holds a character that this computer's code "
                                                  "page (1252) does not have"))
        << refused.err;
    EXPECT_TRUE(ValueExists(kUsersKey, "alice"));

    const std::wstring unusual = Widen(File("")) + L"\x0141\x03a9.crt";
    Outcome exported = RunWide({L"export", L"alice", unusual});
    EXPECT_EQ(0u, exported.exitCode) << exported.err;
    WriteFileBytes(File("open.reg"), "left open to all");
    ASSERT_TRUE(testing_support::OpenToEveryone(Widen(File("open.reg"))));
    Outcome rolled = RunWide({L"reg", unusual, L"-o", Widen(File("open.reg"))});
    EXPECT_EQ(0u, rolled.exitCode) << rolled.err;
    EXPECT_NE(std::string::npos, FileBytes(File("open.reg")).find("\"alice\"=hex:"));
    testing_support::ExpectClosedToOthers(unusual);
    testing_support::ExpectClosedToOthers(Widen(File("open.reg")));
    DeleteStore();
    Outcome imported = RunWide({L"import", unusual});
    EXPECT_EQ(0u, imported.exitCode) << imported.err;
    ExpectKeys("alice", kOldKey, "cookie of alice");
    ::DeleteFileW(unusual.c_str());
}

// ---- Roll-out to many machines -------------------------------------------------------------

// A certificate for each user ID, with keys of its own.
std::vector<RolledOut> CertificatesOf(std::initializer_list<const char*> userIds) {
    std::vector<RolledOut> certificates;
    for (const char* userId : userIds) {
        certificates.push_back({userId, Md5Key(std::string("user key ") + userId),
                                Md5Key(std::string("cookie ") + userId)});
    }
    return certificates;
}

// Certificates whose user IDs need care in a .reg file: escaped characters, a letter of the ANSI
// code page beyond ASCII, the unnamed value.
const std::vector<RolledOut>& RolledOutCertificates() {
    static const std::vector<RolledOut> certificates =
        CertificatesOf({"plain.user", "back\\slash", "say \"hi\"", "Ren\xe9", "", "ends\\"});
    return certificates;
}

// Imports `file` with the system's own reg.exe into the registry's 32-bit view.
Outcome RegImport(const std::string& file, const TempFolder& folder) {
    char system[MAX_PATH + 1] = {};
    ::GetSystemDirectoryA(system, sizeof system);
    return RunProcess(CommandLine(std::string(system) + "\\reg.exe",
                                  std::vector<std::string>{"import", file, "/reg:32"}),
                      "", folder);
}

// The store holds these certificates, byte for byte, in the 32-bit view only, and nothing else.
void ExpectStoreHoldsExactly(const std::vector<RolledOut>& certificates) {
    std::vector<std::string> expectedNames;
    for (const RolledOut& certificate : certificates) {
        std::string userKey, cookieKey;
        EXPECT_TRUE(ReadValue(kUsersKey, certificate.userId, userKey)) << certificate.userId;
        EXPECT_EQ(certificate.userKey, userKey) << certificate.userId;
        EXPECT_TRUE(ReadValue(kCookiesKey, certificate.userId, cookieKey)) << certificate.userId;
        EXPECT_EQ(certificate.cookieKey, cookieKey) << certificate.userId;
        EXPECT_FALSE(ValueExists(kUsersKey, certificate.userId, kOtherView)) << certificate.userId;
        expectedNames.push_back(certificate.userId);
    }
    std::vector<std::string> names = EnumeratedNames(kUsersKey);
    std::sort(names.begin(), names.end());
    std::sort(expectedNames.begin(), expectedNames.end());
    EXPECT_EQ(expectedNames, names);
}

// The .reg file that the first machine makes and the second machine imports.
std::string RollOutFilePath() {
    std::string exchange = ExchangeFilePath();
    return exchange.substr(0, exchange.find_last_of('\\') + 1) + "roll-out.reg";
}

TEST_F(ConsoleTest, RegTurnsExportedCertificatesIntoOneRegFileOrNothing) {
    std::vector<std::string> files = SeedAndExport(RolledOutCertificates());
    ASSERT_FALSE(ExchangeFilePath().empty()) << "usage: wardkeep_e2e <wardkeep.exe> <file>";
    const std::string out = RollOutFilePath();
    ::DeleteFileA(out.c_str());

    // One file that an import would refuse spoils the whole roll-out.
    std::vector<std::string> spoilt = {"reg"};
    spoilt.insert(spoilt.end(), files.begin(), files.end());
    spoilt.insert(spoilt.begin() + 2, File("refused.txt"));
    WriteFileBytes(spoilt[2], "Version = 2.0\r\nUser = x\r\nUserKey = 41");
    spoilt.insert(spoilt.end(), {"-o", out});
    Outcome refused = Run(spoilt);
    EXPECT_EQ(1u, refused.exitCode);
    EXPECT_NE(std::string::npos, refused.err.find("\"" + File("refused.txt") +
                                                  "\" has no "
                                                  "\"CookieKey\" line. Nothing was written."))
        << refused.err;
    EXPECT_EQ(kAbsent, FileOrAbsent(out));

    std::vector<std::string> args = {"reg"};
    args.insert(args.end(), files.begin(), files.end());
    Outcome printed = Run(args);
    EXPECT_EQ(0u, printed.exitCode) << printed.err;
    // The command prompt leaves wildcards to the program.
    Outcome written = Run({"reg", File("?.crt"), "--output", out});
    EXPECT_EQ(0u, written.exitCode) << written.err;
    EXPECT_EQ("", written.out);
    EXPECT_EQ(printed.out, FileBytes(out));
    EXPECT_EQ(0u, printed.out.find("Windows Registry Editor Version 5.00\r\n\r\n"));
}

// "*.crt" must not pick up "alice.crt_old" through its short name (ALICEC~1.CRT), whose old
// keys would win in the .reg file; two files that give one user ID different keys are refused,
// naming both; the same certificate twice is written once.
TEST_F(ConsoleTest, RegMatchesLongNamesAndTakesEachUserIdOnce) {
    const std::string current = "User = alice\nUserKey = 01\nCookieKey = 02";
    WriteFileBytes(File("alice.crt"), current);
    WriteFileBytes(File("alice.crt_old"), "User = alice\nUserKey = 0e\nCookieKey = 0f");
    WriteFileBytes(File("copy.CRT"), "User = ALICE\nUserKey = 01\nCookieKey = 02");
    Outcome matched = Run({"reg", File("*.crt")});
    EXPECT_EQ(0u, matched.exitCode) << matched.err;
    EXPECT_EQ(std::string::npos, matched.out.find("hex:0e")) << matched.out;
    EXPECT_EQ(2u, std::count(matched.out.begin(), matched.out.end(), '=')) << matched.out;

    WriteFileBytes(File("other.crt"), "User = Alice\nUserKey = 01\nCookieKey = 03");
    Outcome refused = Run({"reg", File("*.crt"), "-o", File("roll-out.reg")});
    EXPECT_EQ(1u, refused.exitCode);
    EXPECT_NE(std::string::npos,
              refused.err.find("\"" + File("other.crt") + "\" and \"" + File("alice.crt") +
                               "\" give the user ID \"Alice\" different keys. "
                               "Nothing was written."))
        << refused.err;
    EXPECT_EQ(kAbsent, FileOrAbsent(File("roll-out.reg")));
}

// Runs in a second Wine prefix: the system's own "reg import" brings every certificate of the
// first machine's .reg file into an empty store, in the registry's 32-bit view.
class SecondMachineRollOut : public PrefixStoreTest {};

TEST_F(SecondMachineRollOut, RegImportStoresEveryCertificateByteForByte) {
    ASSERT_EQ(0u, FileBytes(RollOutFilePath()).find("Windows Registry Editor"))
        << "no .reg file from the first machine";
    TempFolder folder;
    Outcome imported = RegImport(RollOutFilePath(), folder);
    ASSERT_EQ(0u, imported.exitCode) << imported.err;
    ExpectStoreHoldsExactly(RolledOutCertificates());
}

// Runs in a prefix whose ANSI code page is Japanese (932), where the second byte of a character
// can be the backslash's byte: 0x95 0x5C is U+8868, 0x83 0x5C is U+30BD. Exported, turned into a
// .reg file and imported with the system's reg import, both come back as the same bytes.
class JapaneseMachineRollOut : public ConsoleTest {};

TEST_F(JapaneseMachineRollOut, DoubleByteUserIdsComeBackThroughRegImport) {
    ASSERT_EQ(932u, ::GetACP()) << "not a Japanese machine";
    const std::vector<RolledOut> certificates = CertificatesOf({"\x95\x5c", "\x83\x5c\\x", "a\\b"});
    std::vector<std::string> args = {"reg"};
    for (const std::string& file : SeedAndExport(certificates)) {
        args.push_back(file);
    }
    args.insert(args.end(), {"-o", File("roll-out.reg")});
    Outcome written = Run(args);
    ASSERT_EQ(0u, written.exitCode) << written.err;
    DeleteStore();
    Outcome imported = RegImport(File("roll-out.reg"), Folder());
    ASSERT_EQ(0u, imported.exitCode) << imported.err;
    ExpectStoreHoldsExactly(certificates);

    // 0x81 0x39 is no character in code page 932 (0x39 is no second byte): the importer would store
    // another name.
    WriteFileBytes(File("broken.crt"), "User = \x81\x39z\nUserKey = 01\nCookieKey = 02");
    Outcome refused = Run({"reg", File("broken.crt")});
    EXPECT_EQ(1u, refused.exitCode);
    EXPECT_NE(std::string::npos, refused.err.find("holds a user ID that a .reg file cannot hold"))
        << refused.err;
}

} // namespace

namespace {

// ---- The audit events' texts -----------------------------------------------------------------

struct EventText {
    DWORD id;
    const wchar_t* firstSentence; // with the inserts of AuditEventTexts below
};

// Each event ID, as documented, with its text as Event Viewer shows it from the program's
// message table.
TEST(AuditEventTexts, BothProgramsCarryEveryEventsTextWithItsInserts) {
    const EventText texts[] = {
        {1000, L"The certificate of \"alice\" was created."},
        {1001, L"The certificate of \"alice\" was replaced by a new one, with a new CookieKey: "
               L"files encrypted under the old certificate can no longer be decrypted."},
        {1002, L"The password of the certificate of \"alice\" was changed."},
        {1003, L"The certificate of \"alice\" was deleted: files encrypted under it can no longer "
               L"be decrypted on this computer."},
        {1004, L"The certificate of \"alice\" was imported from a certificate file."},
        {1005, L"The certificate of \"alice\" was replaced by one imported from a certificate "
               L"file."},
        {1006, L"A backup of the certificate store, 12 certificates encrypted with a passphrase, "
               L"was written to \"alice\"."},
        {2000, L"A change of the password of the certificate of \"alice\" was refused: the old "
               L"password was wrong."},
    };
    // FormatMessage takes the inserts as an array of pointers.
    wchar_t user[] = L"alice", account[] = L"CORP\\admin",
            program[] = L"wardkeepc.exe (console program)", count[] = L"12";
    DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(user), reinterpret_cast<DWORD_PTR>(account),
                           reinterpret_cast<DWORD_PTR>(program),
                           reinterpret_cast<DWORD_PTR>(count)};
    for (const std::string& path : {ProgramPath(), ConsoleProgramPath()}) {
        HMODULE module = ::LoadLibraryExA(
            path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(nullptr, module) << path;
        for (const EventText& text : texts) {
            wchar_t buffer[1024] = {};
            DWORD length =
                ::FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                 module, text.id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                 buffer, 1024, reinterpret_cast<va_list*>(inserts));
            EXPECT_EQ(std::wstring(text.firstSentence) +
                          L"\r\n\r\nAccount: CORP\\admin\r\nProgram: wardkeepc.exe (console "
                          L"program)\r\n",
                      std::wstring(buffer, length))
                << path << " event " << text.id;
        }
        ::FreeLibrary(module);
    }
}

} // namespace

namespace {

// ---- Many certificates at once ---------------------------------------------------------------

void Seed(const std::vector<RolledOut>& certificates) {
    for (const RolledOut& certificate : certificates) {
        SeedValue(kUsersKey, certificate.userId, certificate.userKey);
        SeedValue(kCookiesKey, certificate.userId, certificate.cookieKey);
    }
}

bool Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A backup of a whole store and its restore: user IDs that a file name cannot simply be (a
// character no name holds, a device name, a last dot, the escape character, the empty user ID)
// get names of their own, and the files bring back exactly the store.
TEST_F(ConsoleTest, ExportAllAndAnImportOfItsFilesRestoreTheStore) {
    const std::vector<RolledOut> certificates =
        CertificatesOf({"plain", "a<b>c", "CON", "dot.", "100%", ""});
    Seed(certificates);
    std::string backup = File("backup\\of the store"); // made, with the folder above it
    Outcome exported = Run({"export", "--all", backup});
    EXPECT_EQ(0u, exported.exitCode) << exported.err;
    EXPECT_EQ(Lines({"Exported 6 certificates to \"" + backup + "\"."}), exported.out);
    for (const char* name :
         {"plain.crt", "a%3Cb%3Ec.crt", "%43ON.crt", "dot%2E.crt", "100%25.crt", "%empty%.crt"}) {
        EXPECT_TRUE(Exists(backup + "\\" + name)) << name;
    }
    testing_support::ExpectClosedToOthers(Widen(backup + "\\plain.crt"));

    DeleteStore();
    Outcome restored = Run({"import", backup + "\\*.crt"});
    EXPECT_EQ(0u, restored.exitCode) << restored.err;
    EXPECT_EQ(Lines({"Imported 6 certificates: 6 new, 0 replaced, 0 unchanged."}), restored.out);
    EXPECT_EQ(certificates.size(), EnumeratedNames(kUsersKey).size());
    for (const RolledOut& certificate : certificates) {
        ExpectKeys(certificate.userId, certificate.userKey, certificate.cookieKey);
    }
    EXPECT_EQ(Lines({"Imported 6 certificates: 0 new, 0 replaced, 6 unchanged."}),
              Run({"import", backup + "\\*.crt"}).out);

    // Into a folder that holds one of the names: nothing is written, unless --yes replaces it.
    std::string other = File("other");
    ASSERT_TRUE(::CreateDirectoryA(other.c_str(), nullptr));
    WriteFileBytes(other + "\\plain.crt", "mine");
    Outcome refused = Run({"export", "--all", other});
    EXPECT_EQ(1u, refused.exitCode);
    EXPECT_NE(std::string::npos,
              refused.err.find("already holds 1 file of this export: plain.crt. Nothing was "
                               "written. --yes replaces them."))
        << refused.err;
    EXPECT_EQ("mine", FileBytes(other + "\\plain.crt"));
    EXPECT_FALSE(Exists(other + "\\%43ON.crt"));
    EXPECT_EQ(0u, Run({"export", "--all", other, "--yes"}).exitCode);
    EXPECT_EQ(FileBytes(backup + "\\plain.crt"), FileBytes(other + "\\plain.crt"));
}

// An import of many files reads and judges them all first: one refused file, or two that give
// one user ID different keys, and nothing is stored; replacing asks once for all.
TEST_F(ConsoleTest, AnImportOfManyFilesStoresAllOrNothing) {
    SeedAndExport(CertificatesOf({"amy", "ben"})); // 0.crt and 1.crt
    DeleteStore();
    WriteFileBytes(File("2.crt"), "User = zed\n");
    Outcome refused = Run({"import", File("*.crt")});
    EXPECT_EQ(1u, refused.exitCode);
    EXPECT_NE(std::string::npos, refused.err.find("\"" + File("2.crt") + "\"")) << refused.err;
    EXPECT_NE(std::string::npos, refused.err.find("Nothing was imported.")) << refused.err;
    EXPECT_TRUE(EnumeratedNames(kUsersKey).empty());

    WriteFileBytes(File("2.crt"), "User = AMY\nUserKey = " + Hex("another key", 16) +
                                      "\nCookieKey = " + Hex("another cookie", 16));
    Outcome conflicting = Run({"import", File("0.crt"), File("1.crt"), File("2.crt")});
    EXPECT_EQ(1u, conflicting.exitCode);
    EXPECT_NE(std::string::npos, conflicting.err.find("\"" + File("2.crt") + "\" and \"" +
                                                      File("0.crt") + "\" give the user ID"))
        << conflicting.err;
    EXPECT_TRUE(EnumeratedNames(kUsersKey).empty());

    ::DeleteFileA(File("2.crt").c_str());
    Seed({{"amy", "old key", "old cookie"}, {"ben", "old key", "old cookie"}});
    Outcome asked = Run({"import", File("*.crt")});
    EXPECT_EQ(1u, asked.exitCode);
    EXPECT_NE(std::string::npos,
              asked.err.find("Nothing was imported (it would replace the certificates of "
                             "\"amy\" and \"ben\"). Confirm with --yes."))
        << asked.err;
    ExpectKeys("amy", "old key", "old cookie");
    Outcome replaced = Run({"import", File("*.crt"), "--yes"});
    EXPECT_EQ(0u, replaced.exitCode) << replaced.err;
    EXPECT_EQ(Lines({"Imported 2 certificates: 0 new, 2 replaced, 0 unchanged."}), replaced.out);
}

} // namespace

namespace {

// ---- Questions nobody can answer, names that cannot mislead, exports that cost no file -------

const std::string kOldCertificateFile =
    "User = alice\nUserKey = " + Hex("another key", 16) + "\nCookieKey = " + Hex("another", 16);

struct UnaskedCase : NamedCase {
    std::vector<std::string> args; // "<file>" stands for a certificate file of alice's
    std::string input;
    ProcessStart start;
};

class ConsoleUnaskedTest : public ConsoleTest, public testing::WithParamInterface<UnaskedCase> {};

// A question is asked only on a console that standard input comes from. The program has a console
// of its own here, which nobody types in: reading the answer there would wait for ever.
TEST_P(ConsoleUnaskedTest, AQuestionWithoutAConsoleOnStandardInputIsAnsweredNo) {
    const UnaskedCase& c = GetParam();
    SeedValue(kUsersKey, "alice", kOldKey);
    SeedValue(kCookiesKey, "alice", "cookie of alice");
    WriteFileBytes(File("alice.crt"), kOldCertificateFile);
    std::vector<std::string> args = c.args;
    std::replace(args.begin(), args.end(), std::string("<file>"), File("alice.crt"));
    ULONGLONG started = ::GetTickCount64();
    Outcome outcome = RunStarted(args, c.input, c.start);
    EXPECT_LT(::GetTickCount64() - started, kTimeoutMs / 2) << "the program waited";
    EXPECT_EQ(1u, outcome.exitCode) << outcome.err;
    EXPECT_NE(std::string::npos, outcome.err.find("Confirm with --yes.")) << outcome.err;
    EXPECT_EQ("", outcome.out);
    ExpectKeys("alice", kOldKey, "cookie of alice");
    EXPECT_EQ((std::vector<std::string>{"alice"}), EnumeratedNames(kUsersKey));
}

INSTANTIATE_TEST_SUITE_P(
    Console, ConsoleUnaskedTest,
    testing::Values(
        UnaskedCase{
            {"NewFromAFile"}, {"new", "alice", "--password-stdin"}, "n\nn\n", {true, false}},
        UnaskedCase{{"NewFromAPipe"}, {"new", "alice", "--password-stdin"}, "n\nn\n", {true, true}},
        UnaskedCase{{"ImportFromAFile"}, {"import", "<file>"}, "y\n", {true, false}},
        UnaskedCase{{"ImportFromAPipe"}, {"import", "<file>"}, "y\n", {true, true}},
        UnaskedCase{{"DeleteFromAFile"}, {"delete", "alice"}, "y\n", {true, false}},
        UnaskedCase{{"DeleteFromAPipe"}, {"delete", "alice"}, "y\n", {true, true}}),
    CaseName<UnaskedCase>);

struct ExportOntoCase : NamedCase {
    const char* cookieKey; // alice's Cookies value; nullptr: none; "" : no certificate at all
    bool fileExists;
    bool yes;
    DWORD exitCode;
    const char* err; // a part of standard error, or nullptr when it must be empty
};

class ConsoleExportOntoTest : public ConsoleTest,
                              public testing::WithParamInterface<ExportOntoCase> {};

// A file is replaced only when asked, and only by a whole certificate; a certificate that cannot
// be exported leaves no file.
TEST_P(ConsoleExportOntoTest, ReplacesAFileOnlyWhenAskedAndOnlyByAWholeCertificate) {
    const ExportOntoCase& c = GetParam();
    if (c.cookieKey == nullptr || *c.cookieKey != '\0') {
        SeedValue(kUsersKey, "alice", k16Bytes);
    }
    if (c.cookieKey != nullptr && *c.cookieKey != '\0') {
        SeedValue(kCookiesKey, "alice", c.cookieKey);
    }
    const std::string target = File("alice.crt");
    const std::string before = "a file of someone else's";
    if (c.fileExists) {
        WriteFileBytes(target, before);
    }
    std::vector<std::string> args = {"export", "alice", target};
    if (c.yes) {
        args.push_back("--yes");
    }
    Outcome outcome = Run(args);
    EXPECT_EQ(c.exitCode, outcome.exitCode) << outcome.err;
    if (c.err == nullptr) {
        EXPECT_EQ("", outcome.err);
        EXPECT_EQ(kFullFile, FileBytes(target));
        return;
    }
    EXPECT_NE(std::string::npos, outcome.err.find(c.err)) << outcome.err;
    EXPECT_EQ(c.fileExists ? before : kAbsent, FileOrAbsent(target));
    EXPECT_EQ("", outcome.out);
}

INSTANTIATE_TEST_SUITE_P(
    Console, ConsoleExportOntoTest,
    testing::Values(
        ExportOntoCase{{"ExistingFileWithoutYes"},
                       kCookie.c_str(),
                       true,
                       false,
                       1,
                       "Nothing was exported. Confirm with --yes."},
        ExportOntoCase{{"ExistingFileWithYes"}, kCookie.c_str(), true, true, 0, nullptr},
        ExportOntoCase{{"NoCookieKeyOntoAFile"}, nullptr, true, true, 1, "has no CookieKey"},
        ExportOntoCase{{"NoCookieKeyOntoNoFile"}, nullptr, false, false, 1, "has no CookieKey"},
        ExportOntoCase{
            {"GoneOntoAFile"}, "", true, false, 1, "\"alice\" has no certificate to export."},
        ExportOntoCase{
            {"GoneOntoNoFile"}, "", false, true, 1, "\"alice\" has no certificate to export."}),
    CaseName<ExportOntoCase>);

// The names in `folder`, in capitals, with nothing else.
std::vector<std::string> FileNamesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(search, &found)) {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            names.push_back(found.cFileName);
        }
    }
    if (search != INVALID_HANDLE_VALUE) {
        ::FindClose(search);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A certificate whose file name is the short (8.3) name of an unrelated file: opening that name
// would open, and replace, the unrelated file. The export makes its files new, so it writes that
// certificate under another name, and counts the files it wrote.
TEST_F(ConsoleTest, ExportAllNeverOpensAFileByItsShortName) {
    const std::string folder = File("backup");
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    const std::string unrelated = folder + "\\report-2026.crt";
    WriteFileBytes(unrelated, "the quarterly report");
    char shortPath[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetShortPathNameA(unrelated.c_str(), shortPath, MAX_PATH));
    std::string shortName = std::string(shortPath).substr(std::string(shortPath).rfind('\\') + 1);
    ASSERT_NE("report-2026.crt", shortName);
    const std::string userId = shortName.substr(0, shortName.rfind('.'));
    Seed(CertificatesOf({userId.c_str(), "plain"}));

    Outcome exported = Run({"export", "--all", folder});
    EXPECT_EQ(0u, exported.exitCode) << exported.err;
    EXPECT_EQ(Lines({"Exported 2 certificates to \"" + folder + "\"."}), exported.out);
    EXPECT_EQ("the quarterly report", FileBytes(unrelated));
    const std::string other = userId + "~2.crt";
    EXPECT_NE(std::string::npos, exported.err.find("was written to \"" + other + "\""))
        << exported.err;
    EXPECT_EQ((std::vector<std::string>{other, "plain.crt", "report-2026.crt"}),
              FileNamesIn(folder));
    EXPECT_NE(std::string::npos,
              FileBytes(folder + "\\" + other).find("User = " + userId + "\r\n"));
}

struct ControlCase : NamedCase {
    std::string userId;
};

class ConsoleControlCharacterTest : public ConsoleTest,
                                    public testing::WithParamInterface<ControlCase> {};

// A user ID with a control character would rewrite the lines that show it: new, import and check
// refuse it, and a name the store holds already is listed escaped.
TEST_P(ConsoleControlCharacterTest, IsRefusedAndShownEscaped) {
    const std::string& userId = GetParam().userId;
    Outcome created = RunWide({L"new", Widen(userId), L"--password-stdin"}, "pw\npw\n");
    EXPECT_EQ(1u, created.exitCode);
    EXPECT_NE(std::string::npos, created.err.find("holds a control character")) << created.err;
    WriteFileBytes(File("x.crt"), "User = " + userId + "\nUserKey = 01\nCookieKey = 02\n");
    for (const char* command : {"import", "check"}) {
        Outcome refused = Run({command, File("x.crt")});
        EXPECT_EQ(1u, refused.exitCode) << command;
        EXPECT_NE(std::string::npos, refused.err.find("control character")) << refused.err;
    }
    EXPECT_TRUE(EnumeratedNames(kUsersKey).empty());

    SeedValue(kUsersKey, userId, "key");
    std::string shown = userId;
    for (auto [raw, escaped] :
         {std::pair{'\r', "\\u000D"}, {'\t', "\\u0009"}, {'\x7f', "\\u007F"}}) {
        if (std::size_t at = shown.find(raw); at != std::string::npos) {
            shown.replace(at, 1, escaped);
        }
    }
    EXPECT_EQ(Lines({shown}), Run({"list"}).out);
}

INSTANTIATE_TEST_SUITE_P(Console, ConsoleControlCharacterTest,
                         testing::Values(ControlCase{{"CarriageReturn"}, "alice\rroot"},
                                         ControlCase{{"Tab"}, "a\tb"},
                                         ControlCase{{"Delete"}, "del\x7f"}),
                         CaseName<ControlCase>);

// Keys as long as a certificate file holds come back byte for byte through a backup.
TEST_F(ConsoleTest, KeysOf127BytesSurviveABackupAndItsRestore) {
    std::string userKey, cookieKey;
    for (std::size_t i = 0; i < kMaxKeyBytes; ++i) {
        userKey += static_cast<char>(1 + i);
        cookieKey += static_cast<char>(255 - i);
    }
    WriteFileBytes(File("long.crt"), "User = long\nUserKey = " + Hex(userKey, kMaxKeyBytes) +
                                         "\nCookieKey = " + Hex(cookieKey, kMaxKeyBytes));
    ASSERT_EQ(0u, Run({"import", File("long.crt")}).exitCode);
    ExpectKeys("long", userKey, cookieKey);
    Outcome exported = Run({"export", "--all", File("backup")});
    ASSERT_EQ(0u, exported.exitCode) << exported.err;
    ASSERT_EQ(0u, Run({"delete", "long", "--yes"}).exitCode);
    Outcome restored = Run({"import", File("backup\\*.crt")});
    EXPECT_EQ(0u, restored.exitCode) << restored.err;
    ExpectKeys("long", userKey, cookieKey);
}

// "D:backup" is relative to the current folder of drive D:, which the output then names.
TEST_F(ConsoleTest, ExportAllNamesADriveRelativeFolderAbsolute) {
    Seed(CertificatesOf({"alice"}));
    char current[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, current);
    std::string folder = File("");
    folder.pop_back(); // its backslash
    const std::string drive = folder.substr(0, 2);
    // The program as found from the folder the driver started in.
    char program[MAX_PATH] = {};
    ::GetFullPathNameA(ConsoleProgramPath().c_str(), MAX_PATH, program, nullptr);
    ASSERT_TRUE(::SetCurrentDirectoryA(folder.c_str()));
    auto run = [&](const std::string& operand) {
        return RunProcess(
            CommandLine(program, std::vector<std::string>{"export", "--all", operand}), "",
            Folder());
    };
    Outcome below = run(drive + "drive-relative");
    Outcome itself = run(drive);
    ::SetCurrentDirectoryA(current);
    for (auto [outcome, named] :
         {std::pair{&below, folder + "\\drive-relative"}, {&itself, folder}}) {
        EXPECT_EQ(0u, outcome->exitCode) << outcome->err;
        EXPECT_EQ(Lines({"Exported 1 certificates to \"" + named + "\"."}), outcome->out);
        EXPECT_TRUE(Exists(named + "\\alice.crt")) << named;
    }
}

} // namespace

namespace {

// A name the code page lacks, as another program may write it: listed escaped, never as a
// look-alike of another name, and no file of export --all, as no command can address it.
TEST_F(ConsoleTest, ANameTheCodePageLacksIsListedEscapedAndNotExported) {
    Seed(CertificatesOf({"lukasz"}));
    SeedValue(kUsersKey, std::wstring(L"\x0141ukasz"), Md5Key("user key"));
    SeedValue(kCookiesKey, std::wstring(L"\x0141ukasz"), Md5Key("cookie"));
    Outcome listed = Run({"list"});
    EXPECT_EQ(0u, listed.exitCode) << listed.err;
    EXPECT_EQ(Lines({"lukasz", "\\u0141ukasz"}), listed.out);
    const std::string backup = File("backup");
    Outcome exported = Run({"export", "--all", backup});
    EXPECT_EQ(1u, exported.exitCode);
    EXPECT_NE(std::string::npos, exported.err.find("\"\\u0141ukasz\"")) << exported.err;
    EXPECT_EQ(Lines({"Exported 1 certificates to \"" + backup + "\"."}), exported.out);
    EXPECT_EQ((std::vector<std::string>{"lukasz.crt"}), FileNamesIn(backup));
}

struct ChangedCase : NamedCase {
    std::vector<std::string> args; // "<files>" stands for amy's and ben's certificate files
    std::string typed;             // before the question
    const char* question;
    const char* said; // on the console after the answer
};

class ConsoleStoreChangedTest : public ConsoleTest,
                                public testing::WithParamInterface<ChangedCase> {};

// Another program changes ben's certificate while the question waits for its answer: the
// command was decided on a store that is no longer there, and writes nothing.
TEST_P(ConsoleStoreChangedTest, NothingIsWrittenOnAStoreTheQuestionDidNotShow) {
    const ChangedCase& c = GetParam();
    Seed({{"amy", "old key", "old cookie"}, {"ben", "old key", "old cookie"}});
    std::vector<std::string> args;
    for (const std::string& arg : c.args) {
        if (arg != "<files>") {
            args.push_back(arg);
            continue;
        }
        for (const char* userId : {"amy", "ben"}) {
            args.push_back(File(std::string(userId) + ".crt"));
            WriteFileBytes(args.back(), std::string("User = ") + userId +
                                            "\nUserKey = " + Hex("new key", 16) +
                                            "\nCookieKey = " + Hex("new cookie", 16));
        }
    }
    WhileAsked asked{c.question, [] { SeedValue(kCookiesKey, "ben", "changed cookie"); }, "y\r"};
    ConsoleRun run = RunInItsOwnConsole(args, c.typed, &asked);
    EXPECT_EQ(1u, run.exitCode) << run.screen;
    EXPECT_NE(std::string::npos, run.screen.find(c.said)) << run.screen;
    ExpectKeys("amy", "old key", "old cookie");
    ExpectKeys("ben", "old key", "changed cookie");
}

INSTANTIATE_TEST_SUITE_P(
    Console, ConsoleStoreChangedTest,
    testing::Values(
        ChangedCase{{"New"},
                    {"new", "ben"},
                    "pw\rpw\r",
                    "The store already holds a certificate \"ben\".",
                    "another program changed the store"},
        ChangedCase{{"Delete"},
                    {"delete", "ben"},
                    "",
                    "Delete the certificate of \"ben\"?",
                    "Another program changed the store after this command looked at the "
                    "certificate of \"ben\". Nothing was deleted."},
        ChangedCase{{"ImportOfMany"},
                    {"import", "<files>"},
                    "",
                    "Replace the 2 certificates of \"amy\" and \"ben\"?",
                    "Another program changed the store after this command looked at the "
                    "certificates of \"amy\" and \"ben\". Nothing was imported."}),
    CaseName<ChangedCase>);

} // namespace

namespace {

// ---- What a compliance script checks -----------------------------------------------------------

// The certificate file of `certificate`, as an export writes its lines.
std::string CertificateText(const RolledOut& certificate) {
    return "User = " + certificate.userId + "\nUserKey = " + Hex(certificate.userKey, 16) +
           "\nCookieKey = " + Hex(certificate.cookieKey, 16);
}

// Writes the certificate files of `certificates`, "<userId>.crt" each, in `folder`.
void WriteCertificateFiles(const TempFolder& folder, const std::vector<RolledOut>& certificates) {
    for (const RolledOut& certificate : certificates) {
        WriteFileBytes(folder.File(certificate.userId + ".crt"), CertificateText(certificate));
    }
}

// What verify says of a certificate, in the summary's order.
const char* const kVerdicts[] = {
    "ok", "missing", "UserKey differs", "CookieKey differs", "keys differ", "not expected"};

// "2 ok, 0 missing, ...": how many of `lines` end in each verdict.
std::string VerdictCounts(const std::vector<std::string>& lines) {
    std::string counts;
    for (const char* verdict : kVerdicts) {
        std::size_t count = std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.substr(line.rfind("\" ") + 2) == verdict;
        });
        counts += (counts.empty() ? "" : ", ") + std::to_string(count) + " " + verdict;
    }
    return counts;
}

// One value set (or with kAbsent, deleted) by another program.
struct StoreChange {
    const char* keyPath;
    std::string name;
    std::string bytes;
};

struct VerifyCase : NamedCase {
    std::vector<StoreChange> changes; // to a store that holds the files of alice and bob
    std::vector<std::string> args;    // after "verify"; names of files in the test's folder
    DWORD exitCode;
    std::vector<std::string> out; // the certificates' lines, before the summary
    const char* err = "";         // a part of standard error, or "" when it must be empty
};

// Every value of both keys, "name=bytes".
std::vector<std::string> StoreValues() {
    std::vector<std::string> values;
    for (const char* keyPath : {kUsersKey, kCookiesKey}) {
        for (const std::string& name : EnumeratedNames(keyPath)) {
            std::string bytes;
            EXPECT_TRUE(ReadValue(keyPath, name, bytes));
            values.push_back(name + "=" + bytes);
        }
    }
    return values;
}

class ConsoleVerifyTest : public ConsoleTest, public testing::WithParamInterface<VerifyCase> {};

TEST_P(ConsoleVerifyTest, SaysOfEachCertificateWhetherTheStoreHoldsIt) {
    const VerifyCase& c = GetParam();
    const std::vector<RolledOut> certificates = CertificatesOf({"alice", "bob"});
    Seed(certificates);
    WriteCertificateFiles(Folder(), certificates);
    WriteFileBytes(File("notes.txt"), "User = carol\n");
    for (const StoreChange& change : c.changes) {
        if (change.bytes == kAbsent) {
            DeleteValue(change.keyPath, change.name);
        } else {
            SeedValue(change.keyPath, change.name, change.bytes);
        }
    }
    std::vector<std::string> args = {"verify"};
    for (const std::string& arg : c.args) {
        args.push_back(arg.rfind("--", 0) == 0 ? arg : File(arg));
    }
    const std::vector<std::string> before = StoreValues();
    Outcome outcome = Run(args);
    EXPECT_EQ(c.exitCode, outcome.exitCode) << outcome.err;
    std::vector<std::string> out = c.out;
    if (c.exitCode != 2) {
        out.push_back("Verified " + std::to_string(out.size()) +
                      (out.size() == 1 ? " certificate: " : " certificates: ") +
                      VerdictCounts(out) + ".");
    }
    EXPECT_EQ(Lines(out), outcome.out);
    if (*c.err == '\0') {
        EXPECT_EQ("", outcome.err);
    } else {
        EXPECT_NE(std::string::npos, outcome.err.find(c.err)) << outcome.err;
    }
    EXPECT_EQ(before, StoreValues()) << "verify changed the store";
}

const std::string kAliceCookie = Md5Key("cookie alice");

INSTANTIATE_TEST_SUITE_P(
    Console, ConsoleVerifyTest,
    testing::Values(
        VerifyCase{{"AllOk"}, {}, {"*.crt"}, 0, {"\"alice\" ok", "\"bob\" ok"}},
        // Without its UserKey a certificate is missing, whatever its Cookies value.
        VerifyCase{{"OneMissing"},
                   {{kUsersKey, "bob", kAbsent}},
                   {"alice.crt", "bob.crt"},
                   1,
                   {"\"alice\" ok", "\"bob\" missing"}},
        VerifyCase{{"UserKeyDiffers"},
                   {{kUsersKey, "alice", "another key"}},
                   {"*.crt"},
                   1,
                   {"\"alice\" UserKey differs", "\"bob\" ok"}},
        VerifyCase{{"CookieKeyDiffers"},
                   {{kCookiesKey, "bob", "another cookie"}},
                   {"*.crt"},
                   1,
                   {"\"alice\" ok", "\"bob\" CookieKey differs"}},
        // Keys compare up to their first zero byte, whatever follows it, as an import compares.
        VerifyCase{{"CookieKeyAbsentAndABinaryZeroAfterTheKey"},
                   {{kCookiesKey, "alice", kAbsent},
                    {kUsersKey, "bob", Md5Key("user key bob") + std::string("\0junk", 5)}},
                   {"*.crt"},
                   1,
                   {"\"alice\" CookieKey differs", "\"bob\" ok"}},
        VerifyCase{{"BothKeysDiffer"},
                   {{kUsersKey, "alice", "another key"}, {kCookiesKey, "alice", "another cookie"}},
                   {"alice.crt"},
                   1,
                   {"\"alice\" keys differ"}},
        VerifyCase{{"ExtraCertificateWithoutExact"},
                   {{kUsersKey, "carol", "key"}, {kCookiesKey, "carol", "cookie"}},
                   {"*.crt"},
                   0,
                   {"\"alice\" ok", "\"bob\" ok"}},
        VerifyCase{{"ExtraCertificateWithExact"},
                   {{kUsersKey, "carol", "key"}, {kCookiesKey, "carol", "cookie"}},
                   {"--exact", "*.crt"},
                   1,
                   {"\"alice\" ok", "\"bob\" ok", "\"carol\" not expected"}},
        // A CookieKey without its UserKey, which the window cannot list, and a name with a
        // control character, shown escaped.
        VerifyCase{
            {"HalfCertificateAndControlCharacterWithExact"},
            {{kCookiesKey, "dave", "cookie"}, {kUsersKey, "x\ty", "key"}},
            {"*.crt", "--exact"},
            1,
            {"\"alice\" ok", "\"bob\" ok", "\"x\\u0009y\" not expected", "\"dave\" not expected"}},
        // The registry takes names whatever their letter case: the file names ALICE.
        VerifyCase{{"OtherLetterCase"},
                   {{kUsersKey, "alice", kAbsent},
                    {kCookiesKey, "alice", kAbsent},
                    {kUsersKey, "ALICE", Md5Key("user key alice")},
                    {kCookiesKey, "ALICE", kAliceCookie}},
                   {"--exact", "alice.crt", "bob.crt"},
                   0,
                   {"\"alice\" ok", "\"bob\" ok"}},
        VerifyCase{{"NotACertificateFile"},
                   {},
                   {"*.crt", "notes.txt"},
                   2,
                   {},
                   "is not a certificate file"},
        VerifyCase{{"WildcardMatchingNothing"}, {}, {"*.cer"}, 2, {}, "No file matches"},
        VerifyCase{{"NoFile"}, {}, {"--exact"}, 2, {}, "Too few arguments."}),
    CaseName<VerifyCase>);

// Checks that `printed` is `all` (the lines of every certificate, in order, then the summary)
// fitted into 2,048 characters: the differences kept before any ok line, the first of each kept,
// and the line before the summary counting those left out.
void ExpectFitted(const std::vector<std::string>& all, const std::string& printed) {
    EXPECT_LE(printed.size(), 2048u);
    std::vector<std::string> shown;
    for (std::size_t at = 0, end; (end = printed.find("\r\n", at)) != std::string::npos;
         at = end + 2) {
        shown.push_back(printed.substr(at, end - at));
    }
    ASSERT_GE(shown.size(), 2u) << printed;
    EXPECT_EQ(all.back(), shown.back());
    const std::string leftOutLine = shown[shown.size() - 2];
    shown.resize(shown.size() - 2);
    auto isOk = [](const std::string& line) {
        return line.size() > 3 && line.substr(line.size() - 3) == " ok";
    };
    std::size_t okShown = std::count_if(shown.begin(), shown.end(), isOk);
    std::size_t othersShown = shown.size() - okShown;
    std::vector<std::string> expected;
    std::vector<std::string> leftOut;
    std::size_t ok = 0, others = 0;
    for (auto line = all.begin(); line + 1 != all.end(); ++line) {
        bool kept = isOk(*line) ? ok++ < okShown : others++ < othersShown;
        (kept ? expected : leftOut).push_back(*line);
    }
    EXPECT_EQ(expected, shown);
    EXPECT_TRUE(okShown == 0 || othersShown == others) << "an ok line kept before a difference";
    EXPECT_EQ("Left out " + std::to_string(leftOut.size()) + " lines: " + VerdictCounts(leftOut) +
                  ".",
              leftOutLine);
    // No more left out than needed: the next line would not have fitted.
    EXPECT_GT(printed.size() + leftOut.front().size() + 2, 2048u);
}

// A detection script keeps 2,048 characters of standard output: the differences are all in them,
// and what was left out is counted.
TEST_F(ConsoleTest, VerifyFitsWhatADetectionScriptKeeps) {
    std::vector<RolledOut> certificates;
    for (int i = 10; i < 70; ++i) {
        std::string userId =
            "user " + std::to_string(i) + " of the finance department " + std::string(60, 'x');
        certificates.push_back({userId, Md5Key("user key " + userId), Md5Key("cookie " + userId)});
    }
    Seed(certificates);
    WriteCertificateFiles(Folder(), certificates);
    DeleteValue(kUsersKey, certificates[7].userId);
    SeedValue(kUsersKey, certificates[23].userId, "another key");
    SeedValue(kCookiesKey, certificates[59].userId, "another cookie");
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < certificates.size(); ++i) {
        lines.push_back("\"" + certificates[i].userId + "\" " +
                        (i == 7    ? "missing"
                         : i == 23 ? "UserKey differs"
                         : i == 59 ? "CookieKey differs"
                                   : "ok"));
    }
    lines.push_back("Verified 60 certificates: " + VerdictCounts(lines) + ".");
    Outcome outcome = Run({"verify", File("*.crt")});
    EXPECT_EQ(1u, outcome.exitCode);
    EXPECT_EQ("", outcome.err);
    ExpectFitted(lines, outcome.out);

    // Nothing ok: the last differences are left out.
    DeleteStore();
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        lines[i] = "\"" + certificates[i].userId + "\" missing";
    }
    lines.back() = "Verified 60 certificates: " + VerdictCounts(lines) + ".";
    outcome = Run({"verify", File("*.crt")});
    EXPECT_EQ(1u, outcome.exitCode);
    EXPECT_EQ("", outcome.err);
    ExpectFitted(lines, outcome.out);
}

// check judges every file as an import would, and for several says which file each verdict is
// about; the refused one on standard error, naming it.
TEST_F(ConsoleTest, CheckOfSeveralFilesGivesOneVerdictPerFile) {
    const std::vector<RolledOut> certificates = CertificatesOf({"alice", "bob"});
    WriteCertificateFiles(Folder(), certificates);
    WriteFileBytes(File("carol.crt"), "User = carol\n");
    std::vector<std::string> said;
    for (const RolledOut& certificate : certificates) {
        said.insert(said.end(),
                    {"File: " + File(certificate.userId + ".crt"), "User ID: " + certificate.userId,
                     "UserKey: " + std::to_string(certificate.userKey.size()) + " bytes",
                     "CookieKey: " + std::to_string(certificate.cookieKey.size()) + " bytes"});
    }
    Outcome refused = Run({"check", File("alice.crt"), File("carol.crt"), File("bob.crt")});
    EXPECT_EQ(1u, refused.exitCode);
    EXPECT_EQ(Lines(said), refused.out);
    EXPECT_NE(std::string::npos,
              refused.err.find("\"" + File("carol.crt") + "\" is not a certificate file"))
        << refused.err;

    ::DeleteFileA(File("carol.crt").c_str());
    Outcome all = Run({"check", File("*.crt")});
    EXPECT_EQ(0u, all.exitCode) << all.err;
    EXPECT_EQ(Lines(said), all.out);
    // A wildcard names its file even when it matches one.
    said.resize(4);
    EXPECT_EQ(Lines(said), Run({"check", File("a*.crt")}).out);
}

} // namespace
