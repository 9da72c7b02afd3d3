; The Windows installer of t2tk: a 64-bit program that installs the dialog and
; the command-line converter, a Start-menu entry, "Open with t2tk" for .fxp
; files (the default program of .fxp stays whose it is), and an uninstaller
; that takes all of it away again.
; It also installs the web page in one file, for a browser on any computer.
; Neither installs nor uninstalls while a t2tk runs: the programs hold a named
; mutex for as long as they run, and a silent run that finds it fails.
; makensis -DVERSION=<version> -DPROGRAMS=<folder of the .exe files> -DPAGE=<t2tk.html> -DLICENSE=<LICENSE>
;          -DICON=<t2tk.ico> -DOUTFILE=<installer> t2tk.nsi

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\t2tk"
!define APPLICATION_KEY "Software\Classes\Applications\t2tk.exe"
!define OPEN_WITH_KEY "Software\Classes\.fxp\OpenWithList\t2tk.exe"

Name "t2tk ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\t2tk"
; An earlier install's folder is offered, and used, so that an upgrade
; replaces it in place.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
ManifestDPIAware true
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "t2tk"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
; The uninstaller carries these too, so the description fits both.
VIAddVersionKey "FileDescription" "t2tk ${VERSION} setup and uninstall"
VIAddVersionKey "LegalCopyright" "2026 the t2tk developers, MIT License"
VIAddVersionKey "OriginalFilename" "t2tk-${VERSION}-win64.exe"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\t2tk.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start t2tk"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; While a t2tk runs, its programs cannot be replaced: the user is asked to
; close it; a silent run fails with exit code 2.
!macro WaitUntilNotRunning
  running:
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Local\t2tk-running") p .r0'
  ${If} $0 != 0
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "t2tk is running. Close it, then choose Retry." /SD IDCANCEL IDRETRY running
    SetErrorLevel 2
    Quit
  ${EndIf}
!macroend

Function .onInit
  !insertmacro WaitUntilNotRunning
FunctionEnd

Function un.onInit
  !insertmacro WaitUntilNotRunning
FunctionEnd

Section "t2tk"
  SetRegView 64
  SetShellVarContext all
  ; An install in another folder (chosen on the command line with /D=) is
  ; taken away first, so that one t2tk is installed and one entry lists it.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 != $INSTDIR
  ${AndIf} ${FileExists} "$0\uninstall.exe"
    ExecWait '"$0\uninstall.exe" /S _?=$0'
    Delete "$0\uninstall.exe"
    RMDir "$0"
  ${EndIf}
  SetOutPath "$INSTDIR"
  File "${PROGRAMS}\t2tk.exe"
  File "${PROGRAMS}\t2tk-convert.exe"
  File /oname=LICENSE.txt "${LICENSE}"
  File "${PAGE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\t2tk.lnk" "$INSTDIR\t2tk.exe"
  CreateShortcut "$SMPROGRAMS\t2tk in the browser.lnk" "$INSTDIR\t2tk.html"

  WriteRegStr HKLM "${APPLICATION_KEY}" "FriendlyAppName" "t2tk"
  WriteRegStr HKLM "${APPLICATION_KEY}\SupportedTypes" ".fxp" ""
  WriteRegStr HKLM "${APPLICATION_KEY}\shell\open\command" "" '"$INSTDIR\t2tk.exe" "%1"'
  WriteRegStr HKLM "${OPEN_WITH_KEY}" "" ""

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "t2tk"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "the t2tk developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\t2tk.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetRegView 64
  SetShellVarContext all
  Delete "$INSTDIR\t2tk.exe"
  Delete "$INSTDIR\t2tk-convert.exe"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\t2tk.html"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\t2tk.lnk"
  Delete "$SMPROGRAMS\t2tk in the browser.lnk"
  DeleteRegKey HKLM "${APPLICATION_KEY}"
  DeleteRegKey HKLM "${OPEN_WITH_KEY}"
  DeleteRegKey /ifempty HKLM "Software\Classes\.fxp\OpenWithList"
  DeleteRegKey /ifempty HKLM "Software\Classes\.fxp"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
