; t2tk's uninstaller, uninstall.exe in the install's folder: removes what the
; installer (t2tk.nsi) put there, and the folder. It runs where it is, so
; that "uninstall.exe /S" ends with its result: 0 removed; 2 a t2tk runs or a
; file could not be removed, and the install is as it was; 1 cancelled. The
; uninstaller and the folder go a moment after it ends, as no running
; program can remove its own file.
; makensis -DVERSION=<version> -DICON=<t2tk.ico> -DOUTFILE=<uninstall.exe> uninstall.nsi

!include "t2tk.nsh"
!include "FileFunc.nsh"

Name "t2tk"
Caption "t2tk ${VERSION} Uninstall"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\t2tk"
!insertmacro T2tkVersionInfo "t2tk ${VERSION} uninstall" "uninstall.exe"

!define MUI_PAGE_HEADER_TEXT "Uninstalling"
!define MUI_PAGE_HEADER_SUBTEXT "Please wait while t2tk is being removed."
!define MUI_INSTFILESPAGE_FINISHHEADER_TEXT "Uninstallation Complete"
!define MUI_INSTFILESPAGE_FINISHHEADER_SUBTEXT "t2tk was removed from your computer."
!define MUI_INSTFILESPAGE_ABORTHEADER_TEXT "Uninstallation Aborted"
!define MUI_INSTFILESPAGE_ABORTHEADER_SUBTEXT "t2tk is left as it was."
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  SetRegView 64
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/AFTER=" $R1
  ${IfNot} ${Errors}
    ; The copy that removes the uninstaller of $INSTDIR once that has ended;
    ; it goes itself at the next start of Windows.
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i $R1) p .R2'
    ${If} $R2 != 0
      System::Call 'kernel32::WaitForSingleObject(p R2, i -1)'
      System::Call 'kernel32::CloseHandle(p R2)'
    ${EndIf}
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete /REBOOTOK "$EXEPATH"
    Quit
  ${EndIf}
  ; The install is the folder the uninstaller is in.
  StrCpy $INSTDIR $EXEDIR
  StrCpy $Earlier ""
  ${IfNot} ${Cmd} `MessageBox MB_OKCANCEL|MB_ICONQUESTION "Remove t2tk from $INSTDIR?" /SD IDOK IDOK`
    SetErrorLevel 1  ; as a cancel anywhere else
    Quit
  ${EndIf}
  Call WaitUntilNotRunning
FunctionEnd

; Removes a file; Failed names the first that could not be removed.
!macro _T2tkRemove NAME
  ${If} $Failed == ""
    ClearErrors
    Delete "$INSTDIR\${NAME}"
    ${If} ${Errors}
      StrCpy $Failed "${NAME}"
    ${EndIf}
  ${EndIf}
!macroend

Section "Remove t2tk"
  SetRegView 64
  SetShellVarContext all
  InitPluginsDir
  SetOutPath "$PLUGINSDIR"  ; a folder that is the current one cannot be removed
  ${Do}
    ; Looked at now, not only at the start: t2tk may have been started since.
    Call WaitUntilNotRunning
    !insertmacro T2tkFiles T2tkKeep
    StrCpy $Failed ""
    !insertmacro _T2tkRemove t2tk.exe
    !insertmacro _T2tkRemove t2tk-convert.exe
    !insertmacro _T2tkRemove LICENSE.txt
    !insertmacro _T2tkRemove t2tk.html
    ${If} $Failed == ""
      ${Break}
    ${EndIf}
    !insertmacro T2tkFiles T2tkPutBack
    !insertmacro T2tkRetryOrQuit "Cannot remove $INSTDIR\$Failed: another program may be using it. t2tk is left as it was."
  ${Loop}

  ; The entries are this install's only when they name this folder.
  ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R0 == $INSTDIR
    Delete "$SMPROGRAMS\t2tk.lnk"
    Delete "$SMPROGRAMS\t2tk in the browser.lnk"
    DeleteRegKey HKLM "${APPLICATION_KEY}"
    DeleteRegKey HKLM "${OPEN_WITH_KEY}"
    DeleteRegKey /ifempty HKLM "Software\Classes\.fxp\OpenWithList"
    DeleteRegKey /ifempty HKLM "Software\Classes\.fxp"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${EndIf}

  ; Last the uninstaller itself, which cannot go while it runs: a copy in
  ; the temporary folder takes it and the folder away once it has ended.
  GetTempFileName $R0
  Delete "$R0"
  CopyFiles /SILENT "$EXEPATH" "$R0.exe"
  System::Call 'kernel32::GetCurrentProcessId() i .R1'
  SetOutPath "$TEMP"  ; the copy's current folder, which holds neither folder to be removed
  Exec '"$R0.exe" /S /AFTER=$R1 /D=$INSTDIR'
SectionEnd
