; Pathwink's installer: a per-user install without administrator rights into
; %LOCALAPPDATA%\Programs\Pathwink, so that the settings file beside the program
; stays writable. Built by tools/package (and by the journey test's build):
;
;   python3 make_wizard_bitmap.py <wizard.bmp>
;   makensis -DPW_VERSION=1.3 -DPW_FILE_VERSION=1.3.0.0 -DPW_BIN=<folder with
;            Pathwink.exe and help\help_index.html> -DPW_WIZARD_BITMAP=<wizard.bmp>
;            -DPW_OUTFILE=<setup.exe> pathwink.nsi
;
; Silent use: "Pathwink-<version>-setup.exe /S" installs with the default components
; (the program and Explorer's "Add to Pathwink..."; a running copy is asked to exit
; first); "Uninstall.exe /S" uninstalls and keeps the settings file. Exit codes: 0
; installed; 1 cancelled in the wizard (NSIS's own); 2 a running copy did not exit, or
; another error stopped the work; 3 all installed but Explorer's menu item, which a
; folder holding "%" cannot have. The winget manifest declares 1 to 3 (make_manifests.py
; reads 2 and 3 here); 1 is taken, so the partial success has a code of its own.

Unicode true
; 64-bit stubs: the installer then runs under 64-bit Windows and Wine without WoW64.
Target amd64-unicode
SetCompressor /SOLID lzma

!ifndef PW_VERSION | PW_FILE_VERSION | PW_BIN | PW_WIZARD_BITMAP | PW_OUTFILE
  !error "pass -DPW_VERSION=, -DPW_FILE_VERSION=, -DPW_BIN=, -DPW_WIZARD_BITMAP= and -DPW_OUTFILE= (see tools/package)"
!endif

!define PW_NAME "Pathwink"
!define PW_MAKER "Corvane Software"
!define PW_WEB "https://www.corvane.example/"
!define PW_MAIL "pathwink@corvane.example"
!define PW_WINDOW_CLASS "TPathwinkMainForm"
!define PW_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PW_NAME}"
!define PW_RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define PW_SETTINGS "Pathwink.INI"
!define PW_EXIT_IN_USE "2"
!define PW_EXIT_NO_MENU_ITEM "3"
; Explorer's "Add to Pathwink..." (the program writes the same with "menu add").
!define PW_CLASSES "Software\Classes"
!define PW_VERB "Pathwink.Add"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include Sections.nsh

Name "${PW_NAME} ${PW_VERSION}"
Caption "${PW_NAME} ${PW_VERSION} Setup"
UninstallCaption "Uninstall ${PW_NAME} ${PW_VERSION}"
OutFile "${PW_OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PW_NAME}"
; An upgrade goes where the last install went.
InstallDirRegKey HKCU "${PW_UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel user
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PW_NAME} ${PW_VERSION} - ${PW_MAKER}"

VIProductVersion "${PW_FILE_VERSION}"
VIFileVersion "${PW_FILE_VERSION}"
VIAddVersionKey "ProductName" "${PW_NAME}"
VIAddVersionKey "ProductVersion" "${PW_VERSION}"
VIAddVersionKey "FileVersion" "${PW_FILE_VERSION}"
VIAddVersionKey "FileDescription" "${PW_NAME} ${PW_VERSION} Setup"
VIAddVersionKey "CompanyName" "${PW_MAKER}"
VIAddVersionKey "LegalCopyright" "Copyright (C) ${PW_MAKER}"

; Relative to this script's folder, where makensis works (unless given /NOCD).
!define MUI_ICON "..\resources\pathwink.ico"
!define MUI_UNICON "..\resources\pathwink.ico"
!define MUI_ABORTWARNING
!define MUI_WELCOMEFINISHPAGE_BITMAP "${PW_WIZARD_BITMAP}"

!define MUI_WELCOMEPAGE_TEXT "This will install ${PW_NAME} ${PW_VERSION} for you (no administrator rights are needed).$\r$\n$\r$\n${PW_NAME} opens your favourite folders with one key combination each, from anywhere in Windows. It needs Windows 10 version 1607 or later.$\r$\n$\r$\nIf ${PW_NAME} is running, Setup asks it to exit first; your folder shortcuts and options are kept.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Pathwink.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PW_NAME}"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Asks every running copy to exit the way its tray menu's "Exit Pathwink" does
; (WM_CLOSE saves the settings and ends it without a question), and waits until
; its window is gone and its process has ended, up to ~10 s per copy. A copy that
; stays: the user may exit it and retry; cancelling (or silent mode) aborts with
; PW_EXIT_IN_USE (2).
!macro PW_CLOSE_RUNNING_FUNCTION un
Function ${un}CloseRunningPathwink
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  ${Do}
    FindWindow $R0 "${PW_WINDOW_CLASS}" ""
    ${If} $R0 = 0
      ${Break}
    ${EndIf}
    DetailPrint "Asking the running ${PW_NAME} to exit..."
    ; The process, not only its window, must be gone: its files are in use until then.
    StrCpy $R1 0
    System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R1)'
    StrCpy $R2 0
    ${If} $R1 <> 0
      System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i R1) p.R2' ; SYNCHRONIZE
    ${EndIf}
    SendMessage $R0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
    StrCpy $R3 0
    ${Do}
      System::Call 'user32::IsWindow(p R0) i.R4'
      StrCpy $R5 0 ; WAIT_OBJECT_0: the process has ended
      ${If} $R2 P<> 0
        System::Call 'kernel32::WaitForSingleObject(p R2, i 0) i.R5'
      ${EndIf}
      ${If} $R4 = 0
      ${AndIf} $R5 = 0
        ${Break}
      ${EndIf}
      ${If} $R3 >= 100
        ${Break}
      ${EndIf}
      Sleep 100
      IntOp $R3 $R3 + 1
    ${Loop}
    ${If} $R2 P<> 0
      System::Call 'kernel32::CloseHandle(p R2)'
    ${EndIf}
    ${If} $R4 = 0
    ${AndIf} $R5 = 0
      DetailPrint "${PW_NAME} has exited."
      ${Continue}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PW_NAME} is still running.$\r$\n$\r$\nPlease exit it (right-click its tray icon and choose $\"Exit Pathwink$\", or close any dialog it shows), then click Retry." /SD IDCANCEL IDRETRY retry
    SetErrorLevel ${PW_EXIT_IN_USE}
    Abort "${PW_NAME} is still running."
    retry:
  ${Loop}
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd
!macroend
!insertmacro PW_CLOSE_RUNNING_FUNCTION ""
!insertmacro PW_CLOSE_RUNNING_FUNCTION "un."

; Sets $R0 to 1 when the command in $R1 (a run-at-logon value, "<exe>" tray, or a
; folder-menu verb's command, "<exe>" add "%1") names a program in $INSTDIR, else 0.
; Both sides are compared as long paths, so that a short (8.3) spelling of the same
; folder still matches; the text alone decides when the folder is gone.
!macro PW_COMMAND_IS_OURS_FUNCTION un
Function ${un}CommandIsOurs
  Push $R2
  Push $R3
  Push $R4
  StrCpy $R0 0
  StrCpy $R2 $R1 1
  ${If} $R2 == '"'
    StrCpy $R2 $R1 "" 1
    ; the path ends at the closing quote
    StrCpy $R3 0
    ${Do}
      StrCpy $R1 $R2 1 $R3
      ${If} $R1 == '"'
      ${OrIf} $R1 == ""
        ${Break}
      ${EndIf}
      IntOp $R3 $R3 + 1
    ${Loop}
    StrCpy $R2 $R2 $R3
  ${Else}
    StrCpy $R2 $R1
  ${EndIf}
  ${GetParent} $R2 $R2
  ${If} $R2 == $INSTDIR ; case-insensitive, as Windows paths are
    StrCpy $R0 1
  ${ElseIf} $R2 != ""
    System::Call 'kernel32::GetLongPathNameW(w R2, w .R2, i ${NSIS_MAX_STRLEN}) i.R1'
    System::Call 'kernel32::GetLongPathNameW(w "$INSTDIR", w .R3, i ${NSIS_MAX_STRLEN}) i.R4'
    ${If} $R1 <> 0
    ${AndIf} $R4 <> 0
    ${AndIf} $R2 == $R3
      StrCpy $R0 1
    ${EndIf}
  ${EndIf}
  Pop $R4
  Pop $R3
  Pop $R2
FunctionEnd
!macroend
!insertmacro PW_COMMAND_IS_OURS_FUNCTION ""
!insertmacro PW_COMMAND_IS_OURS_FUNCTION "un."

; Explorer's "Add to Pathwink..." for a folder, a drive and an open folder's
; background, per user, starting this copy.
!macro PW_WRITE_VERB CLASS PLACEHOLDER
  WriteRegStr HKCU "${PW_CLASSES}\${CLASS}\shell\${PW_VERB}" "" "Add to ${PW_NAME}..."
  WriteRegStr HKCU "${PW_CLASSES}\${CLASS}\shell\${PW_VERB}" "Icon" "$INSTDIR\Pathwink.exe"
  WriteRegStr HKCU "${PW_CLASSES}\${CLASS}\shell\${PW_VERB}\command" "" '"$INSTDIR\Pathwink.exe" add "${PLACEHOLDER}"'
!macroend

; Removes the verb of CLASS only when its command starts this copy: a portable copy
; the user put into the menu with "Pathwink.exe menu add" keeps working after this
; copy is gone, and is not ours to take away.
!macro PW_REMOVE_OWN_VERB un CLASS
  ClearErrors
  ReadRegStr $R1 HKCU "${PW_CLASSES}\${CLASS}\shell\${PW_VERB}\command" ""
  ${IfNot} ${Errors}
    Call ${un}CommandIsOurs
    ${If} $R0 = 1
      DeleteRegKey HKCU "${PW_CLASSES}\${CLASS}\shell\${PW_VERB}"
    ${EndIf}
  ${EndIf}
  ClearErrors
!macroend
!macro PW_REMOVE_OWN_VERBS un
  Push $R0
  Push $R1
  !insertmacro PW_REMOVE_OWN_VERB "${un}" "Directory"
  !insertmacro PW_REMOVE_OWN_VERB "${un}" "Drive"
  !insertmacro PW_REMOVE_OWN_VERB "${un}" "Directory\Background"
  Pop $R1
  Pop $R0
!macroend

Function .onInit
  SetShellVarContext current
FunctionEnd

Section "Pathwink" SecProgram
  SectionIn RO
  SetShellVarContext current
  Call CloseRunningPathwink

  ; The settings file (Pathwink.INI) beside the program is never written here:
  ; an upgrade keeps the user's folder shortcuts and options.
  SetOutPath "$INSTDIR"
  File "${PW_BIN}\Pathwink.exe"
  SetOutPath "$INSTDIR\help"
  File "${PW_BIN}\help\help_index.html"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${PW_NAME}.lnk" "$INSTDIR\Pathwink.exe" "" "$INSTDIR\Pathwink.exe" 0 \
    SW_SHOWNORMAL "" "Open folders with key combinations"

  WriteRegStr HKCU "${PW_UNINSTALL_KEY}" "DisplayName" "${PW_NAME}"
  WriteRegStr HKCU "${PW_UNINSTALL_KEY}" "DisplayVersion" "${PW_VERSION}"
  WriteRegStr HKCU "${PW_UNINSTALL_KEY}" "Publisher" "${PW_MAKER}"
  WriteRegStr HKCU "${PW_UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Pathwink.exe,0"
  WriteRegStr HKCU "${PW_UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${PW_UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${PW_UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegStr HKCU "${PW_UNINSTALL_KEY}" "URLInfoAbout" "${PW_WEB}"
  WriteRegStr HKCU "${PW_UNINSTALL_KEY}" "Contact" "${PW_MAIL}"
  WriteRegDWORD HKCU "${PW_UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${PW_UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${PW_UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Sets $R0 to 1 when $INSTDIR holds "%", else 0. Explorer reads every "%" of a
; verb's command as a placeholder, also one in the program's path ("%1" becomes the
; folder clicked), and keeps none as it is: from such a folder the verb would start
; something else.
Function InstDirHoldsPercent
  Push $R1
  Push $R2
  StrCpy $R0 0
  StrCpy $R2 0
  ${Do}
    StrCpy $R1 $INSTDIR 1 $R2
    ${If} $R1 == ""
      ${Break}
    ${EndIf}
    ${If} $R1 == "%"
      StrCpy $R0 1
      ${Break}
    ${EndIf}
    IntOp $R2 $R2 + 1
  ${Loop}
  Pop $R2
  Pop $R1
FunctionEnd

Section "Add to Pathwink... in Explorer's folder menu" SecExplorerMenu
  Push $R0
  Call InstDirHoldsPercent
  ${If} $R0 = 1
    DetailPrint "$\"Add to ${PW_NAME}...$\" was not put into Explorer's folder menu: the folder holds $\"%$\"."
    MessageBox MB_OK|MB_ICONEXCLAMATION "$\"Add to ${PW_NAME}...$\" was not put into Explorer's folder menu: the folder$\r$\n$\r$\n$INSTDIR$\r$\n$\r$\nholds $\"%$\", which Explorer reads as a placeholder (%1 stands for the folder clicked), so the item could not start ${PW_NAME}. Install into a folder whose path has no $\"%$\" to have it." /SD IDOK
    SetErrorLevel ${PW_EXIT_NO_MENU_ITEM}
  ${Else}
    !insertmacro PW_WRITE_VERB "Directory" "%1"
    !insertmacro PW_WRITE_VERB "Drive" "%1"
    !insertmacro PW_WRITE_VERB "Directory\Background" "%V"
  ${EndIf}
  Pop $R0
SectionEnd

; An upgrade with the menu item unticked takes out what an earlier install wrote.
Section "-ExplorerMenuUnticked"
  ${IfNot} ${SectionIsSelected} ${SecExplorerMenu}
    !insertmacro PW_REMOVE_OWN_VERBS ""
  ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "${PW_NAME}, its help page and its Start-menu entry."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecExplorerMenu} "Right-click a folder, a drive or the background of an open folder and choose $\"Add to ${PW_NAME}...$\" to make a shortcut to it."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "Uninstall"
  SetShellVarContext current
  Call un.CloseRunningPathwink

  ; The run-at-logon value: the user's always; the machine-wide one only when it
  ; starts this copy (it may belong to another user's install). Deleting the
  ; machine-wide value fails without administrator rights; that is left as it is.
  DeleteRegValue HKCU "${PW_RUN_KEY}" "${PW_NAME}"
  ClearErrors
  ReadRegStr $R1 HKLM "${PW_RUN_KEY}" "${PW_NAME}"
  ${IfNot} ${Errors}
    Call un.CommandIsOurs
    ${If} $R0 = 1
      DeleteRegValue HKLM "${PW_RUN_KEY}" "${PW_NAME}"
      ${If} ${Errors}
        DetailPrint "The machine-wide run-at-logon value could not be removed (administrator rights are needed)."
      ${EndIf}
    ${EndIf}
  ${EndIf}
  ClearErrors
  !insertmacro PW_REMOVE_OWN_VERBS "un."

  Delete "$SMPROGRAMS\${PW_NAME}.lnk"
  DeleteRegKey HKCU "${PW_UNINSTALL_KEY}"

  Delete "$INSTDIR\Pathwink.exe"
  Delete "$INSTDIR\help\help_index.html"
  RMDir "$INSTDIR\help"
  ; Copies left by a save that was cut short (the program renames them over the
  ; settings file); nothing else uses them.
  Delete "$INSTDIR\~pw*.tmp"

  ${If} ${FileExists} "$INSTDIR\${PW_SETTINGS}"
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Do you also want to delete your ${PW_NAME} settings (folder shortcuts and options)?$\r$\n$\r$\n$INSTDIR\${PW_SETTINGS}$\r$\n$\r$\nKeep them if you may install ${PW_NAME} again." /SD IDNO IDNO keepSettings
    Delete "$INSTDIR\${PW_SETTINGS}"
    ; The whole new settings of a save that was cut short while it wrote a settings
    ; file with more than one name; kept with the settings, as the next start
    ; completes that save from it.
    Delete "$INSTDIR\${PW_SETTINGS}.~new"
    Goto settingsDone
    keepSettings:
    DetailPrint "Kept the settings file $INSTDIR\${PW_SETTINGS}."
    settingsDone:
  ${EndIf}

  ; Last: a script that waits for the uninstaller can wait for this file to go.
  Delete "$INSTDIR\Uninstall.exe"
  SetOutPath "$TEMP"
  RMDir "$INSTDIR"
SectionEnd
