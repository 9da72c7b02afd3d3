; What the installer (t2tk.nsi) and the uninstaller (uninstall.nsi) share:
; their build settings, where t2tk is registered, and the look for a t2tk
; that runs. Both are ordinary programs of their own: an uninstaller made
; with WriteUninstaller copies itself away and returns at once, so that a
; script would never learn how it ended.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
; No file's date goes in, so that two builds of one commit are the same bytes.
SetDateSave off
RequestExecutionLevel admin
ManifestDPIAware true

!include "MUI2.nsh"
!include "LogicLib.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\t2tk"
!define APPLICATION_KEY "Software\Classes\Applications\t2tk.exe"
!define OPEN_WITH_KEY "Software\Classes\.fxp\OpenWithList\t2tk.exe"

!define MUI_ICON "${ICON}"

!macro T2tkVersionInfo DESCRIPTION FILENAME
  VIProductVersion "${VERSION}.0"
  VIAddVersionKey "ProductName" "t2tk"
  VIAddVersionKey "ProductVersion" "${VERSION}"
  VIAddVersionKey "FileVersion" "${VERSION}"
  VIAddVersionKey "FileDescription" "${DESCRIPTION}"
  VIAddVersionKey "LegalCopyright" "2026 the t2tk developers, MIT License"
  VIAddVersionKey "OriginalFilename" "${FILENAME}"
!macroend

Var Earlier  ; the folder of an install elsewhere that an install moves away from, or empty
Var Failed   ; the file that could not be written or removed, or empty

; $R0 is 1 when a program of the install runs from $INSTDIR or $Earlier: a
; running program's file cannot be opened for writing, whichever version it
; is. This version's programs also hold a named mutex wherever they run from.
!macro _T2tkHeld FILE
  ${If} ${FileExists} "${FILE}"
    System::Call 'kernel32::CreateFileW(w "${FILE}", i 0x40000000, i 7, p 0, i 3, i 0x80, p 0) p .R8 ?e'
    Pop $R9
    ${If} $R8 == -1
      ${If} $R9 == 32  ; a sharing violation: the program runs
        StrCpy $R0 1
      ${EndIf}
    ${Else}
      System::Call 'kernel32::CloseHandle(p R8)'
    ${EndIf}
  ${EndIf}
!macroend

Function FindRunning
  StrCpy $R0 0
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Local\t2tk-running") p .R8'
  ${If} $R8 != 0
    System::Call 'kernel32::CloseHandle(p R8)'
    StrCpy $R0 1
  ${EndIf}
  !insertmacro _T2tkHeld "$INSTDIR\t2tk.exe"
  !insertmacro _T2tkHeld "$INSTDIR\t2tk-convert.exe"
  ${If} $Earlier != ""
    !insertmacro _T2tkHeld "$Earlier\t2tk.exe"
    !insertmacro _T2tkHeld "$Earlier\t2tk-convert.exe"
  ${EndIf}
FunctionEnd

; Returns once no t2tk runs. While one does, the user is asked to close it;
; Cancel, or a silent run, ends with exit code 2 and nothing changed.
Function WaitUntilNotRunning
  ${Do}
    Call FindRunning
    ${If} $R0 == 0
      ${Break}
    ${EndIf}
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "t2tk is running. Close it, then choose Retry." /SD IDCANCEL IDRETRY`
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${Loop}
FunctionEnd

; What a run is about to replace or remove is kept aside first, and put
; back when a file cannot be written or removed: t2tk is then as it was.
!macro T2tkKeep NAME
  Delete "$PLUGINSDIR\kept\${NAME}"
  ${If} ${FileExists} "$INSTDIR\${NAME}"
    CreateDirectory "$PLUGINSDIR\kept"
    CopyFiles /SILENT "$INSTDIR\${NAME}" "$PLUGINSDIR\kept\${NAME}"
  ${EndIf}
!macroend

!macro T2tkPutBack NAME
  ${If} ${FileExists} "$PLUGINSDIR\kept\${NAME}"
    CopyFiles /SILENT "$PLUGINSDIR\kept\${NAME}" "$INSTDIR\${NAME}"
  ${Else}
    Delete "$INSTDIR\${NAME}"
  ${EndIf}
!macroend

; Each of the install's files, as a macro called with the name.
!macro T2tkFiles MACRO
  !insertmacro ${MACRO} t2tk.exe
  !insertmacro ${MACRO} t2tk-convert.exe
  !insertmacro ${MACRO} LICENSE.txt
  !insertmacro ${MACRO} t2tk.html
  !insertmacro ${MACRO} uninstall.exe
!macroend

; Ends the run when Failed names a file: asks to try again, and a cancel or a
; silent run ends with exit code 2. Returns to try again.
!macro T2tkRetryOrQuit WORDS
  ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONSTOP "${WORDS}" /SD IDCANCEL IDRETRY`
    SetErrorLevel 2
    Quit
  ${EndIf}
!macroend
