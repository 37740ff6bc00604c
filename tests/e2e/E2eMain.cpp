// Entry point of the e2e driver:
//   wardkeep_e2e <path of wardkeep.exe> <certificate file to move> [<folder of the stand-in
//                bcrypt.dll>] [GoogleTest options]
// Redirects this process's HKEY_LOCAL_MACHINE to a scratch key so that nothing in the driver
// reaches the machine hive by accident.
#include "E2eEnvironment.h"
#include "support/WineEnvironment.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace e2e {
namespace {

const char kScratchKey[] = "Software\\WardkeepE2eScratchMachine";

std::string g_programPath;
std::string g_exchangeFilePath;
std::string g_plantedDllFolder;
HKEY g_scratch = nullptr;

std::string ToWindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path; // Wine maps drive Z: to the Unix root
    }
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

} // namespace

bool RunningUnderWine() {
    return wine_environment::RunningUnderWine();
}

std::string WinePrefix() {
    return wine_environment::WinePrefix();
}

std::string ExpectedWinePrefix() {
    for (const char* prefix : {WARDKEEP_E2E_SECOND_WINEPREFIX, WARDKEEP_E2E_JAPANESE_WINEPREFIX}) {
        if (WinePrefix() == prefix) {
            return prefix;
        }
    }
    return WARDKEEP_E2E_WINEPREFIX;
}

std::string ProgramPath() {
    return g_programPath;
}

std::string ExchangeFilePath() {
    return g_exchangeFilePath;
}

std::string PlantedDllFolder() {
    return g_plantedDllFolder;
}

void WithPrefixMachineHive(const std::function<void()>& work) {
    ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    work();
    ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, g_scratch);
}

} // namespace e2e

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc > 1) {
        e2e::g_programPath = e2e::ToWindowsPath(argv[1]);
    }
    if (argc > 2) {
        e2e::g_exchangeFilePath = e2e::ToWindowsPath(argv[2]);
    }
    if (argc > 3) {
        e2e::g_plantedDllFolder = e2e::ToWindowsPath(argv[3]);
    }
    // Outside Wine or in a foreign prefix no registry is touched: the tests skip or fail first.
    bool redirect = e2e::RunningUnderWine() && !e2e::ExpectedWinePrefix().empty() &&
                    e2e::WinePrefix() == e2e::ExpectedWinePrefix();
    if (redirect) {
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, e2e::kScratchKey, 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &e2e::g_scratch, nullptr) != ERROR_SUCCESS ||
            ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, e2e::g_scratch) != ERROR_SUCCESS) {
            std::fprintf(stderr, "cannot redirect HKEY_LOCAL_MACHINE to a scratch key\n");
            return 2;
        }
    }
    int result = RUN_ALL_TESTS();
    if (redirect) {
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        ::RegCloseKey(e2e::g_scratch);
        ::RegDeleteTreeA(HKEY_CURRENT_USER, e2e::kScratchKey);
    }
    return result;
}
