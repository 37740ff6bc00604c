// The program's entry point: starts the framework and runs the application object.
#include "App.h"
#include "Exceptions.h"
#include "SystemLibrary.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything loads a DLL by name: the program runs elevated.
    if (!fw::ProtectDllSearch()) {
        fw::FrameworkMessageBox("The system refused to restrict where DLLs are loaded from.",
                                MB_OK | MB_ICONHAND);
        return 1;
    }
    fw::InitFramework();
    fw::CWinApp* app = fw::CWinApp::Current();
    try {
        // The program lives as long as InitInstance; there is no message loop after it.
        if (app != nullptr) {
            app->InitInstance();
        }
    } catch (const std::exception& e) {
        char text[255];
        fw::GetErrorMessage(e, text, sizeof text);
        fw::FrameworkMessageBox(text);
        return 1;
    }
    return 0;
}
