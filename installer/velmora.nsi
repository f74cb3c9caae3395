; velmora.nsi : the per-user installer, made by scripts/installer.py with
; makensis (NSIS 3) from a staged release folder:
;   makensis -DVERSION=1.1 -DARCH=win64 -DSTAGE=<folder> -DOUTFILE=<setup.exe> -DICON=<velmora.ico> velmora.nsi
; No administrator rights: everything goes below the user's own folders and
; HKEY_CURRENT_USER. The registrations are the ones the program's settings
; window writes itself ("fix associations", "open game links", "run at
; startup"), value for value (settings/associations.cpp); the installer test
; compares them with the program's own list.
;
; Command line (with /S for a silent run): /LINKS=0|1 and /STARTUP=0|1 choose
; the two offers; by default links are taken and the start-up entry is not.
; /D=<folder>, last and unquoted, chooses the folder; an upgrade offers the
; installed copy's own.

Unicode true
!if "${ARCH}" == "win64"
  Target amd64-unicode
!else
  Target x86-unicode
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!define PRODUCT "Velmora"
!define PUBLISHER "Drovik"
!define EXE "velmora.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "the Velmora"
!define RUNONCE_KEY "Software\Microsoft\Windows\CurrentVersion\RunOnce"
!define FINISH_VALUE "Velmora uninstall"
!define SETTINGS_KEY "Software\Drovik\Velmora"
; The program's private messages (app/main_win.h).
!define WM_IDENTIFY 32869
!define IDENTIFY_ANSWER 945672
!define WM_QUITVELMORA 32872

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Velmora"
; An upgrade goes where the installed copy is, wherever the player put it: its
; start-up value, links and shortcut name that folder, and a second copy in the
; default one would be left beside it. Every release so far writes the value.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
Icon "${ICON}"
UninstallIcon "${ICON}"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; --- the running copy ------------------------------------------------------

!define SMTO_ABORTIFHUNG 2
!define PROCESS_QUERY_LIMITED_INFORMATION 0x1000

; Whether the window in $0 belongs to a running Velmora ($1: 1 or 0). A copy
; answers WM_IDENTIFY. A window of the class that answers something else is
; another program's (Delphi names main forms so too); one that gives no answer
; at all may be a copy that is busy or hung, which still holds its files: it
; counts when its process runs a velmora.exe.
!macro IS_VELMORA un
Function ${un}IsVelmora
  Push $2
  Push $3
  Push $4
  Push $5
  StrCpy $1 0
  System::Call 'user32::SendMessageTimeoutW(p r0, i ${WM_IDENTIFY}, p 0, p 0, i ${SMTO_ABORTIFHUNG}, i 1000, *p .r2) p .r3'
  ${If} $3 P<> 0
    ${IfThen} $2 = ${IDENTIFY_ANSWER} ${|} StrCpy $1 1 ${|}
  ${Else}
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r2)'
    System::Call 'kernel32::OpenProcess(i ${PROCESS_QUERY_LIMITED_INFORMATION}, i 0, i r2) p .r3'
    ${If} $3 P<> 0
      System::Call 'kernel32::QueryFullProcessImageNameW(p r3, i 0, w .r4, *i ${NSIS_MAX_STRLEN}) i .r5'
      System::Call 'kernel32::CloseHandle(p r3)'
      StrLen $5 "\${EXE}"
      IntOp $5 0 - $5
      StrCpy $4 $4 "" $5
      ${IfThen} $4 == "\${EXE}" ${|} StrCpy $1 1 ${|}
    ${EndIf}
  ${EndIf}
  Pop $5
  Pop $4
  Pop $3
  Pop $2
FunctionEnd
!macroend
!insertmacro IS_VELMORA ""
!insertmacro IS_VELMORA "un."

; Ends the copy of Velmora running on this desktop, if any, the way its tray
; menu's Quit does: the hand-off's window (class Tmainform) gets the private
; quit request, and the program closes itself; a busy copy finds the request
; waiting when it reads its messages again. Then waits until no such window
; is left, so its files can go. A copy still there after 15 s is the user's to
; end (Retry), or the run stops (Cancel; a silent run stops).
!macro QUIT_RUNNING un
Function ${un}QuitRunning
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  Push $6
  Push $7
  ; Time by the clock, not by rounds: asking a busy window takes up to a second.
  System::Call 'kernel32::GetTickCount() i .r4'
  StrCpy $5 -2000             ; when the request went last, in ms after $4
  round:
    System::Call 'kernel32::GetTickCount() i .r2'
    IntOp $2 $2 - $4          ; ms waited
    ; the request at once, and again every two seconds
    IntOp $6 $2 - $5
    StrCpy $7 0
    ${IfThen} $6 >= 2000 ${|} StrCpy $7 1 ${|}
    StrCpy $0 0
    StrCpy $3 0               ; a running copy seen in this round
    next:
      FindWindow $0 "Tmainform" "" 0 $0
      StrCmp $0 0 counted
      Call ${un}IsVelmora
      StrCmp $1 1 0 next
      StrCpy $3 1
      StrCmp $7 1 0 next
      DetailPrint "Ending the running Velmora"
      System::Call 'user32::PostMessageW(p r0, i ${WM_QUITVELMORA}, p 0, p 0)'
      Goto next
    counted:
    StrCmp $3 0 done
    ${IfThen} $7 = 1 ${|} StrCpy $5 $2 ${|}
    ${If} $2 >= 15000
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Velmora is running and does not end.$\r$\nQuit it from its tray menu, or end velmora.exe in the Task Manager, then choose Retry." /SD IDCANCEL IDRETRY again
      DetailPrint "Velmora is still running: nothing more is changed"
      Abort
      again:
      System::Call 'kernel32::GetTickCount() i .r4'
      StrCpy $5 -2000
    ${EndIf}
    Sleep 100
    Goto round
  done:
  Pop $7
  Pop $6
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro QUIT_RUNNING ""
!insertmacro QUIT_RUNNING "un."

; --- the registrations -----------------------------------------------------

; The per-user classes (HKCU\Software\Classes, which Windows merges into
; HKEY_CLASSES_ROOT), as the program writes them.
!macro WRITE_ASSOCIATIONS ROOT PREFIX
  WriteRegStr ${ROOT} "${PREFIX}.server" "" "VelmoraFile"
  WriteRegStr ${ROOT} "${PREFIX}.server" "Content Type" "application/Velmora"
  WriteRegStr ${ROOT} "${PREFIX}VelmoraFile" "" "Velmora Server"
  ; 0x00010000: the open verb is safe on downloaded files
  WriteRegBin ${ROOT} "${PREFIX}VelmoraFile" "EditFlags" 00000100
  WriteRegStr ${ROOT} "${PREFIX}VelmoraFile\shell\open" "" "&Open"
  WriteRegStr ${ROOT} "${PREFIX}VelmoraFile\shell\open\command" "" '"$INSTDIR\${EXE}" %1'
  WriteRegStr ${ROOT} "${PREFIX}VelmoraFile\DefaultIcon" "" "$INSTDIR\${EXE},0"
  WriteRegStr ${ROOT} "${PREFIX}.vlm" "" "VelmoraPlugin"
  WriteRegStr ${ROOT} "${PREFIX}VelmoraPlugin" "" "Velmora Plugin"
  WriteRegStr ${ROOT} "${PREFIX}VelmoraPlugin\shell\open" "" "&Open"
  WriteRegStr ${ROOT} "${PREFIX}VelmoraPlugin\shell\open\command" "" '"$INSTDIR\${EXE}"'
  WriteRegStr ${ROOT} "${PREFIX}VelmoraPlugin\DefaultIcon" "" "$INSTDIR\${EXE},0"
!macroend

!macro WRITE_SCHEME ROOT PREFIX SCHEME DESCRIPTION
  WriteRegStr ${ROOT} "${PREFIX}${SCHEME}" "" "${DESCRIPTION}"
  WriteRegStr ${ROOT} "${PREFIX}${SCHEME}" "URL Protocol" ""
  WriteRegStr ${ROOT} "${PREFIX}${SCHEME}\DefaultIcon" "" "$INSTDIR\${EXE},0"
  WriteRegStr ${ROOT} "${PREFIX}${SCHEME}\shell\open\command" "" '"$INSTDIR\${EXE}" "%1"'
!macroend

!macro WRITE_SCHEMES ROOT PREFIX
  !insertmacro WRITE_SCHEME ${ROOT} "${PREFIX}" "qw" "URL:QuakeWorld Server"
  !insertmacro WRITE_SCHEME ${ROOT} "${PREFIX}" "quake2" "URL:Quake II Server"
  !insertmacro WRITE_SCHEME ${ROOT} "${PREFIX}" "quake3" "URL:Quake III Server"
!macroend

; A file type goes only where its open command still names this
; installation's program; its extension goes only while it still points at
; that type. What another program took over stays.
!macro REMOVE_TYPE ROOT PREFIX EXT PROGID COMMAND
  ReadRegStr $0 ${ROOT} "${PREFIX}${PROGID}\shell\open\command" ""
  ${If} $0 == '${COMMAND}'
    ReadRegStr $1 ${ROOT} "${PREFIX}${EXT}" ""
    ${IfThen} $1 == "${PROGID}" ${|} DeleteRegKey ${ROOT} "${PREFIX}${EXT}" ${|}
    DeleteRegKey ${ROOT} "${PREFIX}${PROGID}"
  ${EndIf}
!macroend

!macro REMOVE_SCHEME ROOT PREFIX SCHEME
  ReadRegStr $0 ${ROOT} "${PREFIX}${SCHEME}\shell\open\command" ""
  ${IfThen} $0 == '"$INSTDIR\${EXE}" "%1"' ${|} DeleteRegKey ${ROOT} "${PREFIX}${SCHEME}" ${|}
!macroend

!macro REMOVE_CLASSES ROOT PREFIX
  !insertmacro REMOVE_TYPE ${ROOT} "${PREFIX}" ".server" "VelmoraFile" '"$INSTDIR\${EXE}" %1'
  !insertmacro REMOVE_TYPE ${ROOT} "${PREFIX}" ".vlm" "VelmoraPlugin" '"$INSTDIR\${EXE}"'
  !insertmacro REMOVE_SCHEME ${ROOT} "${PREFIX}" "qw"
  !insertmacro REMOVE_SCHEME ${ROOT} "${PREFIX}" "quake2"
  !insertmacro REMOVE_SCHEME ${ROOT} "${PREFIX}" "quake3"
!macroend

!define SHCNE_ASSOCCHANGED 0x08000000
!macro TELL_SHELL
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
!macroend

; --- installing ------------------------------------------------------------

Section "Velmora" SecProgram
  SectionIn RO
  Call QuitRunning
  SetOutPath "$INSTDIR"
  ; An ended copy's file is free only a moment after its window goes, when
  ; its process is through: tried again, as the uninstaller does.
  SetOverwrite try
  StrCpy $0 0
  ${Do}
    ClearErrors
    File "${STAGE}\${EXE}"
    ${IfNot} ${Errors}
      ${Break}
    ${EndIf}
    IntOp $0 $0 + 1
    ${If} $0 > 50
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$INSTDIR\${EXE} is in use.$\r$\nEnd the program that holds it, then choose Retry." /SD IDCANCEL IDRETRY retry
      DetailPrint "$INSTDIR\${EXE} is in use: nothing more is changed"
      Abort
      retry:
      StrCpy $0 0
    ${EndIf}
    Sleep 200
  ${Loop}
  SetOverwrite on
  File "${STAGE}\readme.txt"
  SetOutPath "$INSTDIR\plugins"
  File "${STAGE}\plugins\*.vlm"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  SetShellVarContext current
  CreateShortcut "$SMPROGRAMS\Velmora.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0
  ; "Find a game" opens straight from the Start menu; with Velmora already
  ; running, the started copy hands the command to it.
  CreateShortcut "$SMPROGRAMS\Find a game.lnk" "$INSTDIR\${EXE}" "/find" "$INSTDIR\${EXE}" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
  ; An uninstall left to finish at the next log-on would remove this install.
  DeleteRegValue HKCU "${RUNONCE_KEY}" "${FINISH_VALUE}"
SectionEnd

Section "open links with Velmora" SecLinks
  !insertmacro WRITE_ASSOCIATIONS HKCU "Software\Classes\"
  !insertmacro WRITE_SCHEMES HKCU "Software\Classes\"
  !insertmacro TELL_SHELL
  ; Where HKEY_CLASSES_ROOT does not show the per-user values (Wine does not
  ; merge them), they go there too, as the program does it.
  ReadRegStr $0 HKCR "VelmoraFile\shell\open\command" ""
  ${If} $0 != '"$INSTDIR\${EXE}" %1'
    !insertmacro WRITE_ASSOCIATIONS HKCR ""
  ${EndIf}
  ReadRegStr $0 HKCR "qw\shell\open\command" ""
  ${If} $0 != '"$INSTDIR\${EXE}" "%1"'
    !insertmacro WRITE_SCHEMES HKCR ""
  ${EndIf}
SectionEnd

Section /o "start with Windows" SecStartup
  WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\${EXE}"'
SectionEnd

; /LINKS=0|1 and /STARTUP=0|1 on the command line choose the offers.
!macro OFFER_OPTION NAME SECTION
  ClearErrors
  ${GetOptions} $R0 "/${NAME}=" $R1
  ${IfNot} ${Errors}
    ${If} $R1 == "1"
      !insertmacro SelectSection ${SECTION}
    ${ElseIf} $R1 == "0"
      !insertmacro UnselectSection ${SECTION}
    ${EndIf}
  ${EndIf}
!macroend

Function .onInit
  ${GetParameters} $R0
  !insertmacro OFFER_OPTION "LINKS" ${SecLinks}
  !insertmacro OFFER_OPTION "STARTUP" ${SecStartup}
FunctionEnd

; --- uninstalling ----------------------------------------------------------

; Deletes one installed file; $9 becomes 1 when it stays (held by a program).
!macro REMOVE_FILE FILE
  Delete "${FILE}"
  ${IfThen} ${FileExists} "${FILE}" ${|} StrCpy $9 1 ${|}
!macroend

Section "Uninstall"
  Call un.QuitRunning

  ; The files this installer put there, each; the player's own plug-ins stay,
  ; and so do their folders then. $9: whether one of them is held and stays.
  StrCpy $9 0
  !insertmacro REMOVE_FILE "$INSTDIR\readme.txt"
  !insertmacro REMOVE_FILE "$INSTDIR\plugins\openarena.vlm"
  !insertmacro REMOVE_FILE "$INSTDIR\plugins\quake.vlm"
  !insertmacro REMOVE_FILE "$INSTDIR\plugins\quake2.vlm"
  !insertmacro REMOVE_FILE "$INSTDIR\plugins\quake3.vlm"
  !insertmacro REMOVE_FILE "$INSTDIR\plugins\quakeworld.vlm"
  ; an ended program's file is free a moment after its end
  StrCpy $0 0
  ${Do}
    ClearErrors
    Delete "$INSTDIR\${EXE}"
    ${IfNot} ${FileExists} "$INSTDIR\${EXE}"
      ${Break}
    ${EndIf}
    IntOp $0 $0 + 1
    ${If} $0 > 50
      DetailPrint "Velmora is still running: $INSTDIR\${EXE} stays"
      StrCpy $9 1
      ${Break}
    ${EndIf}
    Sleep 200
  ${Loop}
  ; While a file stays, so does the uninstaller that can still remove it.
  ${If} $9 = 0
    Delete "$INSTDIR\uninstall.exe"
  ${EndIf}
  RMDir "$INSTDIR\plugins"
  RMDir "$INSTDIR"

  SetShellVarContext current
  Delete "$SMPROGRAMS\Velmora.lnk"
  Delete "$SMPROGRAMS\Find a game.lnk"

  ReadRegStr $0 HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${IfThen} $0 == '"$INSTDIR\${EXE}"' ${|} DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}" ${|}
  !insertmacro REMOVE_CLASSES HKCU "Software\Classes\"
  !insertmacro REMOVE_CLASSES HKCR ""
  !insertmacro TELL_SHELL

  ; The settings and the server history are the player's: only on a yes.
  MessageBox MB_YESNO|MB_ICONQUESTION "Remove Velmora's settings and server history as well?" /SD IDNO IDNO keep
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "Software\Drovik"
  keep:

  ${If} $9 = 0
    ; Last: its end tells that the uninstall is through.
    DeleteRegValue HKCU "${RUNONCE_KEY}" "${FINISH_VALUE}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${Else}
    ; The entry in the installed programs stays while files do, and the
    ; uninstall finishes by itself at the next log-on, when nothing runs yet
    ; that could hold them (a per-user uninstaller may not have Windows
    ; delete files at the restart).
    WriteRegStr HKCU "${RUNONCE_KEY}" "${FINISH_VALUE}" '"$INSTDIR\uninstall.exe" /S'
    MessageBox MB_OK|MB_ICONINFORMATION "Some of Velmora's files are in use and stay in $INSTDIR.$\r$\nThe uninstall finishes when you next log on." /SD IDOK
  ${EndIf}
SectionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd
