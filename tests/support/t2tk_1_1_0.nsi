; A stand-in for the installer of t2tk 1.1.0, for the installer's test: it
; installs what 1.1.0 installed, where and as 1.1.0 did, with an uninstaller
; of NSIS's own as 1.1.0's was (it copies itself away, or runs in place when
; given _?=). Its programs are while_running.exe, which without arguments
; shows a window until it is ended and, as 1.1.0's programs, holds no mutex.
; makensis -DPROGRAM=<while_running.exe> -DLICENSE=<LICENSE> -DOUTFILE=<installer> t2tk_1_1_0.nsi

Unicode true
Target amd64-unicode
RequestExecutionLevel admin
SilentInstall silent
SetDateSave off

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\t2tk"
!define APPLICATION_KEY "Software\Classes\Applications\t2tk.exe"
!define OPEN_WITH_KEY "Software\Classes\.fxp\OpenWithList\t2tk.exe"

Name "t2tk 1.1.0"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\t2tk"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

Section
  SetRegView 64
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "/oname=t2tk.exe" "${PROGRAM}"
  File "/oname=t2tk-convert.exe" "${PROGRAM}"
  File "/oname=LICENSE.txt" "${LICENSE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\t2tk.lnk" "$INSTDIR\t2tk.exe"
  WriteRegStr HKLM "${APPLICATION_KEY}" "FriendlyAppName" "t2tk"
  WriteRegStr HKLM "${APPLICATION_KEY}\SupportedTypes" ".fxp" ""
  WriteRegStr HKLM "${APPLICATION_KEY}\shell\open\command" "" '"$INSTDIR\t2tk.exe" "%1"'
  WriteRegStr HKLM "${OPEN_WITH_KEY}" "" ""
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "t2tk"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "1.1.0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
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
