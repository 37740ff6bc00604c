// What the e2e driver's main establishes before the tests run.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace e2e {

// True when this process runs under Wine.
bool RunningUnderWine();

// This process's WINEPREFIX, and the build tree's private prefix it must equal before the driver
// may touch a registry: the first machine's, or the second or the Japanese machine's when
// WINEPREFIX names one of those.
std::string WinePrefix();
std::string ExpectedWinePrefix();

// The program under test as a Windows path; empty when none was given on the command line.
std::string ProgramPath();
// The certificate file that moves from the first machine to the second, as a Windows path.
std::string ExchangeFilePath();
// The folder of the stand-in bcrypt.dll and of the program that loads it, as a Windows path;
// empty when none was given.
std::string PlantedDllFolder();

// Everywhere in this process HKEY_LOCAL_MACHINE is redirected to a scratch key. Only `work`, run
// here, sees the prefix's real machine hive, the one the program under test uses.
void WithPrefixMachineHive(const std::function<void()>& work);

} // namespace e2e
