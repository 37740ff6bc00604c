// Resource ids of Wardkeep, shared by the resource script and the code.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Dialogs
#define IDD_ABOUTBOX 100
#define IDD_WARDKEEP_DIALOG 102
#define IDD_NEW_CERTIFICATE 134
#define IDD_CHANGE_PASSWORD 148

// Menus
#define IDR_MAINMENU 130

// Icons
#define IDI_APPLICATION_ICON 128
#define IDI_CERTIFICATE 145

// Strings
#define IDS_ABOUTBOX 101
#define IDS_FAILED_TO_LAUNCH_HELP 61703

// Controls of the main dialog
#define IDC_USER_ID 1010
#define IDC_CERTIFICATE_LIST 1011
#define IDC_CREATED_DATE 1002
#define IDC_EXPIRE_DATE 1003

// Controls of the New Certificate dialog (its user ID field is IDC_USER_ID too)
#define IDC_PASSWORD 1008
#define IDC_RETYPED_PASSWORD 1009

// Controls of the Change Password dialog
#define IDC_OLD_PASSWORD 1018
#define IDC_NEW_PASSWORD 1019
#define IDC_RETYPED_NEW_PASSWORD 1020

// Controls of the About box
#define IDC_ABOUT_VERSION 1030

// Menu commands
#define IDM_CHANGE_PASSWORD 32771
#define IDM_IMPORT_CERTIFICATE 32772
#define IDM_EXPORT_CERTIFICATE 32773
#define IDM_DELETE_CERTIFICATE 32774
#define IDM_NEW_CERTIFICATE 32776
#define IDM_HELP 57670

// System-menu item
#define IDM_ABOUTBOX 16
