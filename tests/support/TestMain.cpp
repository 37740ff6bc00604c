// Entry point of the in-process test program. Every test runs against an empty scratch key in
// place of HKEY_LOCAL_MACHINE and with recorders in place of message boxes and help, so no test
// can touch the machine's real certificate store or wait for a person.
#include "TestSupport.h"

#include "framework/App.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace {

class IsolatedTests : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        testing_support::BeginScratchMachineKey();
        testing_support::InstallRecorders();
    }
    void OnTestEnd(const testing::TestInfo&) override {
        testing_support::RemoveRecorders();
        testing_support::EndScratchMachineKey();
    }
};

} // namespace

int main(int argc, char** argv) {
    // Plain "\n" line ends, so that test listings read the same under Wine as on Windows.
    _setmode(_fileno(stdout), _O_BINARY);
    fw::InitFramework();
    static fw::CWinApp application;
    testing_support::BeginScratchMachineKey();
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new IsolatedTests);
    int result = RUN_ALL_TESTS();
    testing_support::EndScratchMachineKey();
    return result;
}
