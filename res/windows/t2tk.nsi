; The Windows installer of t2tk: a 64-bit program that installs the dialog and
; the command-line converter, a Start-menu entry, "Open with t2tk" for .fxp
; files (the default program of .fxp stays whose it is), and an uninstaller
; that takes all of it away again.
; makensis -DVERSION=<version> -DPROGRAMS=<folder of the .exe files> -DLICENSE=<LICENSE> -DOUTFILE=<installer> t2tk.nsi

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
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "t2tk"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
; The uninstaller carries these too, so the description fits both.
VIAddVersionKey "FileDescription" "t2tk ${VERSION} setup"
VIAddVersionKey "LegalCopyright" "2026 the t2tk developers, MIT License"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"


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
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\t2tk.lnk" "$INSTDIR\t2tk.exe"

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
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\t2tk.lnk"
  DeleteRegKey HKLM "${APPLICATION_KEY}"
  DeleteRegKey HKLM "${OPEN_WITH_KEY}"
  DeleteRegKey /ifempty HKLM "Software\Classes\.fxp\OpenWithList"
  DeleteRegKey /ifempty HKLM "Software\Classes\.fxp"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
