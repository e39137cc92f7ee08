; PalisorSetup.exe: installs Palisor into the program files folder, registers its uninstaller and
; ends a running Palisor the way its "Exit" command does before it replaces any file.
;
; Built by the build (installer/CMakeLists.txt) with:
;   makensis -DVERSION=1.2.3 -DPUBLISHER=... -DARCH=x86|amd64 -DBIN=<build>/bin -DOUTFILE=... Palisor.nsi
;
; Switches of the installer:   /S (silent), /D=<folder> (last, unquoted),
;                              /DESKTOP=0|1 (desktop shortcut, default 1), /LOGON=0|1 (start Palisor
;                              when the user logs on, default 0)
; Switches of the uninstaller: /S (silent; keeps the rules, logs and settings), /REMOVEDATA (removes
;                              them as well)

Unicode true
!if ${ARCH} == amd64
  Target amd64-unicode
  !define PROGRAM_FILES "$PROGRAMFILES64"
!else
  Target x86-unicode
  !define PROGRAM_FILES "$PROGRAMFILES"
!endif

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Palisor"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Palisor"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "SOFTWARE\Palisor"
; The main window (class TForm1, caption "Palisor") and its "Exit" menu command (ids::kExit1).
!define MAIN_CLASS "TForm1"
!define MAIN_CAPTION "Palisor"
!define EXIT_COMMAND 206
!define END_TIMEOUT_MS 60000

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "${PROGRAM_FILES}\${PRODUCT}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "OriginalFilename" "PalisorSetup.exe"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\Palisor.exe"
!define MUI_FINISHPAGE_RUN_NOTCHECKED

!insertmacro MUI_PAGE_LICENSE "${ABOUT_TEXT}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; ---- ending a running Palisor ----------------------------------------------------------------

; Asks a running Palisor to end as its "Exit" command does (the hook library taken out of the
; guarded programs first) and waits until its process has ended. Never kills it. Sets $R9 to 1
; when a Palisor was running and did not end in time, else 0.
!macro EndRunningPalisor UN
Function ${UN}EndRunningPalisor
  Push $0
  Push $1
  Push $2
  StrCpy $R9 0
  FindWindow $0 "${MAIN_CLASS}" "${MAIN_CAPTION}"
  ${If} $0 <> 0
    DetailPrint "Ending the running Palisor"
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2'
    SendMessage $0 ${WM_COMMAND} ${EXIT_COMMAND} 0 /TIMEOUT=${END_TIMEOUT_MS}
    ${If} $2 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p r2, i ${END_TIMEOUT_MS}) i .r1'
      System::Call 'kernel32::CloseHandle(p r2)'
      ${If} $1 <> 0
        StrCpy $R9 1
      ${EndIf}
    ${EndIf}
    FindWindow $0 "${MAIN_CLASS}" "${MAIN_CAPTION}"
    ${If} $0 <> 0
      StrCpy $R9 1
    ${EndIf}
  ${EndIf}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro EndRunningPalisor ""
!insertmacro EndRunningPalisor "un."

; ---- installing --------------------------------------------------------------------------------

; Puts one program file into $INSTDIR; a file in use is written beside it and replaces it when
; Windows restarts (the reboot flag tells the user at the end).
!macro InstallFile NAME
  ClearErrors
  File "${BIN}\${NAME}"
  ${If} ${Errors}
    DetailPrint "${NAME} is in use: it is replaced when Windows restarts"
    File "/oname=$INSTDIR\${NAME}.new" "${BIN}\${NAME}"
    Rename /REBOOTOK "$INSTDIR\${NAME}.new" "$INSTDIR\${NAME}"
  ${EndIf}
!macroend

; Adds the size of an installed file to $0 (bytes).
!macro AddFileSize NAME
  ClearErrors
  FileOpen $1 "$INSTDIR\${NAME}" r
  ${IfNot} ${Errors}
    FileSeek $1 0 END $2
    FileClose $1
    IntOp $0 $0 + $2
  ${EndIf}
!macroend

; $0: the size of the program files in KiB, rounded up (the user's rules and logs not counted).
Function ProgramFilesSize
  StrCpy $0 0
  !insertmacro AddFileSize "Palisor.exe"
  !insertmacro AddFileSize "PalisorDLL.dll"
  !insertmacro AddFileSize "PalisorDLL64.dll"
  !insertmacro AddFileSize "PalisorHelper32.exe"
  !insertmacro AddFileSize "PalisorHelper64.exe"
  !insertmacro AddFileSize "FWDLL.dll"
  !insertmacro AddFileSize "help.chm"
  !insertmacro AddFileSize "Uninstall.exe"
  IntOp $0 $0 + 1023
  IntOp $0 $0 / 1024
FunctionEnd

Section "Palisor" SecProgram
  SectionIn RO
  SetShellVarContext all
  Call EndRunningPalisor
  ${If} $R9 == 1
    MessageBox MB_OK|MB_ICONSTOP "Palisor is running and did not end. Close it with its menu command $\"Exit$\" and run the setup again." /SD IDOK
    SetErrorLevel 3
    Abort
  ${EndIf}
  SetOutPath "$INSTDIR"
  SetOverwrite try
  !insertmacro InstallFile "Palisor.exe"
  !insertmacro InstallFile "PalisorDLL.dll"
  ; The placing helpers, and the hook library for 64-bit programs beside the 32-bit one.
  !if /FileExists "${BIN}\PalisorDLL64.dll"
    !insertmacro InstallFile "PalisorDLL64.dll"
  !endif
  !if /FileExists "${BIN}\PalisorHelper32.exe"
    !insertmacro InstallFile "PalisorHelper32.exe"
  !endif
  !if /FileExists "${BIN}\PalisorHelper64.exe"
    !insertmacro InstallFile "PalisorHelper64.exe"
  !endif
  !insertmacro InstallFile "FWDLL.dll"
  !if /FileExists "${BIN}\help.chm"
    !insertmacro InstallFile "help.chm"
  !endif
  SetOverwrite on
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\Palisor.exe"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Palisor.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  Call ProgramFilesSize
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ${If} ${RebootFlag}
    MessageBox MB_OK|MB_ICONINFORMATION "A file of Palisor was in use. It is replaced when Windows restarts." /SD IDOK
  ${EndIf}
SectionEnd

Section "Desktop shortcut" SecDesktop
  SetShellVarContext all
  CreateShortCut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\Palisor.exe"
SectionEnd

Section /o "Start Palisor when I log on" SecLogon
  WriteRegStr HKLM "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\Palisor.exe"'
SectionEnd

; An installation without the options removes what an earlier one made for them.
Section "-options not chosen"
  SetShellVarContext all
  ${IfNot} ${SectionIsSelected} ${SecDesktop}
    Delete "$DESKTOP\${PRODUCT}.lnk"
  ${EndIf}
  ${IfNot} ${SectionIsSelected} ${SecLogon}
    DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"
  ${EndIf}
SectionEnd

; /DESKTOP=0|1 and /LOGON=0|1 choose the options (for a silent installation).
!macro ChooseSection SWITCH SECTION
  ClearErrors
  ${GetOptions} $0 "${SWITCH}" $1
  ${IfNot} ${Errors}
    ${If} $1 == "1"
      !insertmacro SelectSection ${SECTION}
    ${ElseIf} $1 == "0"
      !insertmacro UnselectSection ${SECTION}
    ${EndIf}
  ${EndIf}
!macroend

Function .onInit
  ${GetParameters} $0
  !insertmacro ChooseSection "/DESKTOP=" ${SecDesktop}
  !insertmacro ChooseSection "/LOGON=" ${SecLogon}
FunctionEnd

; ---- uninstalling ------------------------------------------------------------------------------

Section "un.Palisor" UnSecProgram
  SectionIn RO
  SetShellVarContext all
  Call un.EndRunningPalisor
  ${If} $R9 == 1
    MessageBox MB_OK|MB_ICONSTOP "Palisor is running and did not end. Close it with its menu command $\"Exit$\" and run the uninstaller again." /SD IDOK
    SetErrorLevel 3
    Abort
  ${EndIf}
  Delete /REBOOTOK "$INSTDIR\Palisor.exe"
  Delete /REBOOTOK "$INSTDIR\PalisorDLL.dll"
  Delete /REBOOTOK "$INSTDIR\PalisorDLL64.dll"
  Delete "$INSTDIR\PalisorHelper32.exe"
  Delete "$INSTDIR\PalisorHelper64.exe"
  Delete /REBOOTOK "$INSTDIR\FWDLL.dll"
  Delete "$INSTDIR\help.chm"
  Delete "$INSTDIR\Uninstall.exe"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.My rules, logs and settings" UnSecData
  Delete "$INSTDIR\NetRules.txt"
  Delete "$INSTDIR\AdvNetRules.txt"
  Delete "$INSTDIR\ContentRules.txt"
  Delete "$INSTDIR\AllowedApps.txt"
  Delete "$INSTDIR\ForbiddenApps.txt"
  Delete "$INSTDIR\SysLog.txt"
  Delete "$INSTDIR\NetLog.txt"
  DeleteRegKey HKLM "${SETTINGS_KEY}"
SectionEnd

; The folder goes only when nothing is left in it (the user's data kept, or files of others).
Section "-un.folder"
  RMDir /REBOOTOK "$INSTDIR"
  ${If} ${RebootFlag}
    MessageBox MB_OK|MB_ICONINFORMATION "A file of Palisor was in use. It is removed when Windows restarts." /SD IDOK
  ${EndIf}
SectionEnd

Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVEDATA" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecData}
  ${EndIf}
FunctionEnd
