// Entry point of wardkeepc.exe, the console program:
//   wardkeepc COMMAND [OPTIONS] [ARGUMENTS]      (wardkeepc --help lists the commands)
// Arguments arrive as UTF-16, as typed: a user ID is taken in the ANSI code page only when each of
// its characters is there exactly, and file names stay UTF-16.
#include "Commands.h"

#include "framework/SystemLibrary.h"
#include "store/Audit.h"

int wmain(int argc, wchar_t** argv) {
    console::ConsoleIo io;
    // Before anything loads a DLL by name: the program may run elevated.
    if (!fw::ProtectDllSearch()) {
        io.Error("The system refused to restrict where DLLs are loaded from.");
        return console::kFailed;
    }
    int result = console::kFailed;
    io.Guarded([&] {
        store::SetAuditProgramKind(L"console program");
        result = console::Run(std::vector<std::wstring>(argv + 1, argv + argc), io);
    });
    return result;
}
