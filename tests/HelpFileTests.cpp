// The help file that the build puts next to the program, as the platform's HTML Help sees it.
#include "framework/Seams.h"

#include <gtest/gtest.h>

#include <htmlhelp.h>

#include <fstream>
#include <string>

namespace {

// The test program is build\tests\wardkeep_tests.exe; the help file is build\wardkeep.chm.
std::wstring BuildDirectoryFile(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path, length < MAX_PATH ? length : 0);
    for (int level = 0; level < 2; ++level) {
        directory.erase(directory.find_last_of(L'\\'));
    }
    return directory + L'\\' + name;
}

TEST(HelpFile, IsACompiledHelpFileThatHtmlHelpOpensAtItsContents) {
    const std::wstring file = BuildDirectoryFile(L"wardkeep.chm");
    std::ifstream in(file.c_str(), std::ios::binary);
    ASSERT_TRUE(in) << testing::PrintToString(file) << " was not built (chmcmd missing?)";
    char signature[4] = {};
    in.read(signature, sizeof signature);
    EXPECT_EQ("ITSF", std::string(signature, static_cast<std::size_t>(in.gcount())));
    in.close();

    // The platform's own HTML Help, not the recorder of the other tests.
    const fw::Seams platform = fw::PlatformSeams();
    EXPECT_EQ(nullptr, platform.htmlHelp(nullptr, BuildDirectoryFile(L"missing.chm").c_str(),
                                         HH_DISPLAY_TOC, 0));
    HWND window = platform.htmlHelp(nullptr, file.c_str(), HH_DISPLAY_TOC, 0);
    EXPECT_NE(nullptr, window);
    EXPECT_TRUE(::IsWindow(window));
    platform.htmlHelp(nullptr, nullptr, HH_CLOSE_ALL, 0);
    EXPECT_FALSE(::IsWindow(window));
}

} // namespace
