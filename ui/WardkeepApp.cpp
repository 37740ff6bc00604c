#include "WardkeepApp.h"

#include "WardkeepDlg.h"
#include "store/Audit.h"

BOOL CWardkeepApp::InitInstance() {
    store::SetAuditProgramKind(L"window program");
    CWardkeepDlg dialog;
    SetMainWindow(&dialog);
    dialog.DoModal();
    SetMainWindow(nullptr);
    // FALSE: the program ends now rather than entering a message loop.
    return FALSE;
}

// The one application object, constructed before the entry point runs.
CWardkeepApp theApp;
