; Wardkeep's installer: a 64-bit NSIS setup program for all users of the machine.
;
; Built by the wardkeep_package target (installer/CMakeLists.txt), which defines:
;   VERSION    the product version, as in CMakeLists.txt (1.0.0)
;   VIVERSION  the same with four numbers, for the version resource (1.0.0.0)
;   PROGRAM    the built wardkeep.exe
;   CONSOLE    the built wardkeepc.exe, the console program
;   HELPFILE   the built wardkeep.chm
;   ICON       the program's icon
;   SIGN       installer/sign.sh, which signs a file when the build's environment asks for it
;   MSI_UPGRADE_CODE  the UpgradeCode of the Windows Installer package (installer/wardkeep.wxs)
;   OUTFILE    the setup program to write
;
; The files it carries are the staged copies (signed, when the build signs); the uninstaller that
; it writes and the setup program itself are signed here, as makensis makes them.
; The certificates are no business of this installer. They live under HKLM\SOFTWARE\Lockwell
; (32-bit view), and the other Lockwell programs need them whether Wardkeep is installed or not.

!macro RequireDefine NAME
  !ifndef ${NAME}
    !error "${NAME} is not defined: build the installer with the wardkeep_package target"
  !endif
!macroend
!insertmacro RequireDefine VERSION
!insertmacro RequireDefine VIVERSION
!insertmacro RequireDefine PROGRAM
!insertmacro RequireDefine CONSOLE
!insertmacro RequireDefine HELPFILE
!insertmacro RequireDefine ICON
!insertmacro RequireDefine SIGN
!insertmacro RequireDefine MSI_UPGRADE_CODE
!insertmacro RequireDefine OUTFILE

!uninstfinalize 'bash "${SIGN}" "%1" "Wardkeep ${VERSION} Uninstall"' = 0
!finalize 'bash "${SIGN}" "%1" "Wardkeep ${VERSION} Setup"' = 0

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!define PRODUCT "Wardkeep"
!define PUBLISHER "Lockwell"
!define UNINSTALLER "Uninstall.exe"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"
; Add/Remove Programs, in the registry's 64-bit view (SetRegView 64 below).
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; The audit trail's event source: Event Viewer finds the events' texts in the program.
!define EVENTLOG_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\${PRODUCT}"
; Always here, with no choice: only administrators can write to Program Files, so no other account
; can place a DLL beside the program, which runs as administrator.
!define INSTALL_DIR "$PROGRAMFILES64\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "${INSTALL_DIR}"
RequestExecutionLevel admin
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VIVERSION}"
VIFileVersion "${VIVERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\wardkeep.exe"
!define MUI_FINISHPAGE_NOREBOOTSUPPORT
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Function .onInit
  SetShellVarContext all
  SetRegView 64
  ; The Windows Installer package installs the same files in the same folder, under its own entry
  ; in Add/Remove Programs: with both, removing either would take the other's files.
  System::Call 'msi::MsiEnumRelatedProductsW(w "{${MSI_UPGRADE_CODE}}", i 0, i 0, w .r1) i .r0'
  ${If} $0 == 0
    MessageBox MB_ICONSTOP|MB_OK "Wardkeep is installed from its Windows Installer package \
      (an .msi), as a managed deployment installs it. Remove it in Apps (Add/Remove Programs) \
      first: the certificates stay. Then run this setup program again." /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
  ; Also when the command line names another folder (/D=).
  StrCpy $INSTDIR "${INSTALL_DIR}"
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

; The files the installer puts in folder DIR, and the folder itself when nothing else is left in it.
!macro RemoveInstalledFiles DIR
  Delete "${DIR}\wardkeep.exe"
  Delete "${DIR}\wardkeepc.exe"
  Delete "${DIR}\wardkeep.chm"
  Delete "${DIR}\${UNINSTALLER}"
  RMDir "${DIR}"
!macroend

Section "Wardkeep" SecProgram
  SectionIn RO
  ; An earlier version that the user installed elsewhere moves here: its files go, so that the
  ; uninstall entry written below, which names this folder only, covers every copy. Its own
  ; uninstaller is not run: other accounts may be able to write to that folder.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 != $INSTDIR
    !insertmacro RemoveInstalledFiles "$0"
  ${EndIf}
  SetOutPath "$INSTDIR"
  File "/oname=wardkeep.exe" "${PROGRAM}"
  File "/oname=wardkeepc.exe" "${CONSOLE}"
  File "/oname=wardkeep.chm" "${HELPFILE}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; The Start-menu folder is already there: shortcuts are made, not folders.
  CreateShortCut "${SHORTCUT}" "$INSTDIR\wardkeep.exe" "" "$INSTDIR\wardkeep.exe" 0 \
    SW_SHOWNORMAL "" "Lists and manages the Lockwell certificates of this computer"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\wardkeep.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB, as Add/Remove Programs expects.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"

  ; Information, warning and error events.
  WriteRegExpandStr HKLM "${EVENTLOG_KEY}" "EventMessageFile" "$INSTDIR\wardkeep.exe"
  WriteRegDWORD HKLM "${EVENTLOG_KEY}" "TypesSupported" 7
SectionEnd

; Removes what the installer put there and nothing else: files the user left in the folder keep
; the folder. It never touches HKLM\SOFTWARE\Lockwell, in either registry view: the certificates
; outlive the program, and deleting them would make every file encrypted under them
; unrecoverable.
Section "Uninstall"
  !insertmacro RemoveInstalledFiles "$INSTDIR"
  Delete "${SHORTCUT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; The events already written stay in the log; Event Viewer then shows them without their texts.
  DeleteRegKey HKLM "${EVENTLOG_KEY}"
SectionEnd
