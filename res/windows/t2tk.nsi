; The Windows installer of t2tk: a 64-bit program that installs the dialog and
; the command-line converter, a Start-menu entry, "Open with t2tk" for .fxp
; files (the default program of .fxp stays whose it is), the web page in one
; file, and the uninstaller (uninstall.nsi) that takes all of it away again.
; It never leaves an old file behind: while a t2tk of any version runs it
; asks to close it (a silent run ends with exit code 2), looking again when
; the files are written, and a file that cannot be written puts every file
; back as it was.
; makensis -DVERSION=<version> -DPROGRAMS=<folder of the .exe files> -DUNINSTALLER=<uninstall.exe>
;          -DPAGE=<t2tk.html> -DLICENSE=<LICENSE> -DICON=<t2tk.ico> -DOUTFILE=<installer> t2tk.nsi

!include "t2tk.nsh"

Name "t2tk ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\t2tk"
; An earlier install's folder is offered, and used, so that an upgrade
; replaces it in place.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
!insertmacro T2tkVersionInfo "t2tk ${VERSION} setup" "t2tk-${VERSION}-win64.exe"

!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\t2tk.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start t2tk"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  SetRegView 64
  ReadRegStr $Earlier HKLM "${UNINSTALL_KEY}" "InstallLocation"
  Call WaitUntilNotRunning
FunctionEnd

; Writes a file; Failed names the first that could not be written.
!macro _T2tkPut SOURCE NAME
  ${If} $Failed == ""
    ClearErrors
    File "/oname=${NAME}" "${SOURCE}"
    ${If} ${Errors}
      StrCpy $Failed "${NAME}"
    ${EndIf}
  ${EndIf}
!macroend

Section "t2tk"
  SetRegView 64
  SetShellVarContext all
  InitPluginsDir
  ; An install in another folder (chosen with /D= or on the folder page) is
  ; taken away once this one is written, so that one t2tk is installed and
  ; one entry lists it.
  ReadRegStr $Earlier HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $Earlier == $INSTDIR
  ${OrIfNot} ${FileExists} "$Earlier\uninstall.exe"
    StrCpy $Earlier ""
  ${EndIf}

  !insertmacro T2tkFiles T2tkKeep
  ; A file that cannot be written sets the error flag instead of offering to
  ; go on without it.
  SetOverwrite try
  ${Do}
    ; Looked at now, not only at the start: t2tk may have been started since.
    Call WaitUntilNotRunning
    StrCpy $Failed ""
    SetOutPath "$INSTDIR"
    !insertmacro _T2tkPut "${PROGRAMS}\t2tk.exe" t2tk.exe
    !insertmacro _T2tkPut "${PROGRAMS}\t2tk-convert.exe" t2tk-convert.exe
    !insertmacro _T2tkPut "${LICENSE}" LICENSE.txt
    !insertmacro _T2tkPut "${PAGE}" t2tk.html
    !insertmacro _T2tkPut "${UNINSTALLER}" uninstall.exe
    ${If} $Failed == ""
      ${Break}
    ${EndIf}
    !insertmacro T2tkFiles T2tkPutBack
    SetOutPath "$PLUGINSDIR"  ; a folder that is the current one cannot be removed
    RMDir "$INSTDIR"
    !insertmacro T2tkRetryOrQuit "Cannot write $INSTDIR\$Failed: another program may be using it. t2tk is left as it was."
  ${Loop}

  ${If} $Earlier != ""
    ClearErrors
    ExecWait '"$Earlier\uninstall.exe" /S _?=$Earlier' $R0
    ${If} ${Errors}
    ${OrIf} $R0 != 0
      !insertmacro T2tkFiles T2tkPutBack
      SetOutPath "$PLUGINSDIR"
      RMDir "$INSTDIR"
      MessageBox MB_OK|MB_ICONSTOP "Cannot remove t2tk from $Earlier. t2tk is left as it was." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    ; An uninstaller of 1.1.0 leaves itself and its folder.
    Delete "$Earlier\uninstall.exe"
    RMDir "$Earlier"
  ${EndIf}

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
  ; The uninstaller runs where it is and ends with its result.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd
