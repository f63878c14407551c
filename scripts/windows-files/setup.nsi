; The setup program of Tolm Export for Windows, made by scripts/windows with
; Debian's makensis:
;   makensis -WX -DVERSION=1.0 -DFILE_VERSION=1.0.0.0 -DPACKAGE=<the package's
;     folder> -DSIZE_KB=<its size> -DREMOVE=<its files' removal, .nsh>
;     -DOUTFILE=<the setup> setup.nsi
;
; It installs for the current user, without administrator rights, into a
; folder the user can write to (Tolm.ini lives beside the program and the
; program rewrites it): %LOCALAPPDATA%\Programs\Tolm Export unless told
; otherwise on the folder page or with /D= (silent mode: /S). Installing
; over an earlier version first removes that version's files with its own
; uninstaller; Tolm.ini, the export journal and whatever else the user put
; in the folder stay, byte for byte. Exit status: 0 installed, 1 cancelled,
; 2 refused (the program is open, the folder cannot be written).

Target amd64-unicode
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh

!define PRODUCT "Tolm Export"
!define EXE "TolmExport.exe"
!define UNINSTALLER "Disinstalla.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TolmExport"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=1040 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1040 "FileDescription" "Installazione di ${PRODUCT}"
VIAddVersionKey /LANG=1040 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1040 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1040 "LegalCopyright" "${PRODUCT}"

!define MUI_ABORTWARNING
!define MUI_UNABORTWARNING

!define MUI_DIRECTORYPAGE_TEXT_TOP "Tolm Export tiene le impostazioni (Tolm.ini) e il registro delle esportazioni (TolmRegistro.csv) nella sua cartella: sceglierne una in cui l'utente può scrivere, non in Programmi (C:\Program Files). Per aggiornare una versione già installata, lasciare la sua cartella: Tolm.ini e il registro restano come sono."
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!define MUI_FINISHPAGE_RUN_TEXT "Avvia Tolm Export"
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "Tolm Export sarà rimosso da questa cartella. Le impostazioni (Tolm.ini) e il registro delle esportazioni (TolmRegistro.csv) restano nella cartella, come ogni altro file che non fa parte del programma."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Italian"

; $0 = 1 while the program of $INSTDIR runs: Windows keeps a running
; program's file from being opened for writing.
!macro PROGRAM_RUNNING un
Function ${un}ProgramRunning
  StrCpy $0 0
  ${If} ${FileExists} "$INSTDIR\${EXE}"
    ClearErrors
    FileOpen $1 "$INSTDIR\${EXE}" a
    ${If} ${Errors}
      StrCpy $0 1
    ${Else}
      FileClose $1
    ${EndIf}
  ${EndIf}
FunctionEnd
!macroend
!insertmacro PROGRAM_RUNNING ""
!insertmacro PROGRAM_RUNNING "un."

; $0 = 1 when a file can be made in $INSTDIR (made here if missing).
Function FolderWritable
  StrCpy $0 0
  ClearErrors
  CreateDirectory "$INSTDIR"
  FileOpen $1 "$INSTDIR\TolmExport-setup.tmp" w
  ${IfNot} ${Errors}
    FileClose $1
    Delete "$INSTDIR\TolmExport-setup.tmp"
    StrCpy $0 1
  ${EndIf}
FunctionEnd

; Asks to close the program while it runs; $0 = 1 when it still runs (the
; user gave up, or silent mode).
Function AskToClose
  ${Do}
    Call ProgramRunning
    ${If} $0 = 0
      Return
    ${EndIf}
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Tolm Export è aperto: chiuderlo prima di installare.$\r$\n$\r$\nChiudere il programma e premere Riprova." /SD IDCANCEL IDRETRY`
      Return
    ${EndIf}
  ${Loop}
FunctionEnd

Function CannotWrite
  MessageBox MB_OK|MB_ICONSTOP "Impossibile scrivere nella cartella$\r$\n$INSTDIR$\r$\n$\r$\nScegliere una cartella in cui l'utente può scrivere (non in Programmi): Tolm Export tiene accanto a sé le impostazioni, Tolm.ini." /SD IDOK
FunctionEnd

Function DirectoryLeave
  Call AskToClose
  ${If} $0 = 1
    Abort
  ${EndIf}
  Call FolderWritable
  ${If} $0 = 0
    Call CannotWrite
    Abort
  ${EndIf}
FunctionEnd

Section "Tolm Export" SecProgram
  SectionIn RO
  ; Silent mode has no folder page: the same checks, before any change.
  Call ProgramRunning
  ${If} $0 = 1
    MessageBox MB_OK|MB_ICONSTOP "Tolm Export è aperto: chiuderlo prima di installare. Nulla è stato cambiato." /SD IDOK
    Abort
  ${EndIf}
  Call FolderWritable
  ${If} $0 = 0
    Call CannotWrite
    Abort
  ${EndIf}
  ; The earlier version's files go first, removed by its own uninstaller,
  ; which leaves Tolm.ini and the journal.
  ${If} ${FileExists} "$INSTDIR\${UNINSTALLER}"
    DetailPrint "Rimozione della versione precedente"
    ExecWait '"$INSTDIR\${UNINSTALLER}" /S _?=$INSTDIR'
  ${EndIf}
  SetOutPath "$INSTDIR"
  File /r "${PACKAGE}\*.*"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE}"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section /o "Collegamento sul desktop" SecDesktop
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\${EXE}"
SectionEnd

Function .onInit
  ; An install over an earlier one keeps its desktop shortcut.
  ${If} ${FileExists} "$DESKTOP\${PRODUCT}.lnk"
    SectionSetFlags ${SecDesktop} ${SF_SELECTED}
  ${EndIf}
  Call AskToClose
  ${If} $0 = 1
    Abort
  ${EndIf}
FunctionEnd

Function un.onInit
  Call un.ProgramRunning
  ${If} $0 = 1
    MessageBox MB_OK|MB_ICONSTOP "Tolm Export è aperto: chiuderlo prima di disinstallarlo. Nulla è stato cambiato." /SD IDOK
    Abort
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; The package's own files and folders, as scripts/windows listed them.
  !include "${REMOVE}"
  Delete "$INSTDIR\${UNINSTALLER}"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; The folder goes only when nothing else is left in it.
  RMDir "$INSTDIR"
  ${If} ${FileExists} "$INSTDIR\*.*"
    DetailPrint "Restano in $INSTDIR le impostazioni (Tolm.ini), il registro delle esportazioni (TolmRegistro.csv) e gli altri file non del programma."
  ${EndIf}
SectionEnd
