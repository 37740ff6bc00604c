// A bcrypt.dll planted beside copies of both programs, as another account could leave one in a
// folder it can write (Downloads, a share) from which a portable copy runs elevated. The run has
// Wine prefer a bcrypt.dll in a program's folder to its own (WINEDLLOVERRIDES=bcrypt=n,b), as
// Windows does for every DLL outside KnownDLLs. The stand-in (PlantedBcrypt.cpp) notes each
// program that loads it in "bcrypt.dll.loaded" beside it.
#include "E2eDriver.h"
#include "E2eEnvironment.h"
#include "E2eStore.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace e2e;

namespace {

const char kLoadsBcrypt[] = "loads-bcrypt.exe";

class PlantedDll : public WindowProgramTest {
  protected:
    void SetUp() override {
        WindowProgramTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        ASSERT_FALSE(ProgramPath().empty() || PlantedDllFolder().empty())
            << "usage: wardkeep_e2e <wardkeep.exe> <certificate file> <folder of bcrypt.dll>";
        const std::string planted = PlantedDllFolder() + "\\";
        for (const std::string& from : {ProgramPath(), ConsoleProgramPath(), planted + "bcrypt.dll",
                                        planted + kLoadsBcrypt}) {
            std::string name = from.substr(from.find_last_of('\\') + 1);
            ASSERT_TRUE(::CopyFileA(from.c_str(), m_folder.File(name).c_str(), FALSE))
                << "cannot copy " << from << ": error " << ::GetLastError();
        }
    }

    // Creates a certificate with the copy of the window program, opens the Open dialog and
    // cancels it, and exits.
    void UseTheWindowProgram() {
        ASSERT_NO_FATAL_FAILURE(StartProgram(m_folder.File("wardkeep.exe")));
        HWND dialog = nullptr;
        ASSERT_NO_FATAL_FAILURE(OpenNewCertificate("planted.window", "pass 1", "pass 1", dialog));
        ASSERT_NO_FATAL_FAILURE(ConfirmNewCertificate(dialog));
        ::PostMessageA(m_main, WM_COMMAND, kImportCertificateCommand, 0);
        ASSERT_NO_FATAL_FAILURE(WaitForDialog("Open", m_main, dialog));
        ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(dialog); })) << "Open stays open";
        ::PostMessageA(m_main, WM_COMMAND, kExitCommand, 0);
        ExpectProgramEnds();
    }

    TempFolder m_folder;
};

TEST_F(PlantedDll, NeverRunsInsideEitherProgramButDoesInOneThatLoadsBcryptByName) {
    UseTheWindowProgram(); // a fatal failure ends only this part: the trace is checked below
    Outcome created = RunProcess(
        CommandLine(m_folder.File("wardkeepc.exe"),
                    std::vector<std::string>{"new", "planted.console", "--password-stdin"}),
        "pass 2\r\npass 2\r\n", m_folder);
    EXPECT_EQ(0u, created.exitCode) << created.err;

    const std::string loaded = m_folder.File("bcrypt.dll.loaded");
    EXPECT_EQ("", FileBytes(loaded)) << "the planted DLL ran inside these programs";
    for (auto [userId, password] : {std::pair<std::string, std::string>{"planted.window", "pass 1"},
                                    {"planted.console", "pass 2"}}) {
        std::string userKey;
        EXPECT_TRUE(ReadValue(kUsersKey, userId, userKey)) << "no Users value of " << userId;
        EXPECT_EQ(Md5Key(userId + password + password), userKey) << "UserKey of " << userId;
        EXPECT_TRUE(ValueExists(kCookiesKey, userId)) << "no Cookies value of " << userId;
    }

    // The same folder and environment catch a program that loads bcrypt.dll by its bare name.
    EXPECT_EQ(0u, RunProcess(CommandLine(m_folder.File(kLoadsBcrypt), std::vector<std::string>{}),
                             "", m_folder)
                      .exitCode);
    EXPECT_EQ(m_folder.File(kLoadsBcrypt) + "\r\n", FileBytes(loaded))
        << "the set-up would not have caught a planted DLL";
}

} // namespace
