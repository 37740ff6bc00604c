#include "AboutDlg.h"

#include "res/resource.h"

#include <version.h>

CAboutDlg::CAboutDlg(fw::CWnd* parent) : CDialog(IDD_ABOUTBOX, parent) {}

BOOL CAboutDlg::OnInitDialog() {
    ::SetDlgItemTextA(m_hWnd, IDC_ABOUT_VERSION, "Version " WARDKEEP_VERSION_STRING);
    return TRUE;
}
