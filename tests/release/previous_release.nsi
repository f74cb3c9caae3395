; The per-user installer as it was made up to commit 166c838 (installer/
; velmora.nsi there), kept unchanged below this note: installer_test.py builds
; it from the same staged files and installs with it, so that an upgrade over
; what it installed is tested.
;
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
!define SETTINGS_KEY "Software\Drovik\Velmora"
; The program's private messages (app/main_win.h).
!define WM_IDENTIFY 32869
!define IDENTIFY_ANSWER 945672
!define WM_QUITVELMORA 32872

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Velmora"
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

; Ends the copy of Velmora running on this desktop, if any, the way its tray
; menu's Quit does: the hand-off's window (class Tmainform, answering
; WM_IDENTIFY) gets the private quit request, and the program closes itself.
; Then waits (up to 15 s) until no such window is left, so its files can go.
!macro QUIT_RUNNING un
Function ${un}QuitRunning
  Push $0
  Push $1
  Push $2
  Push $3
  StrCpy $2 0                 ; tenths of a second waited
  round:
    StrCpy $0 0
    StrCpy $3 0               ; a running copy seen in this round
    next:
      FindWindow $0 "Tmainform" "" 0 $0
      StrCmp $0 0 counted
      ; a window of that class that does not answer is not Velmora
      SendMessage $0 ${WM_IDENTIFY} 0 0 $1 /TIMEOUT=5000
      IntCmp $1 ${IDENTIFY_ANSWER} 0 next next
      StrCpy $3 1
      ; the request at once, and again every two seconds
      IntOp $1 $2 % 20
      IntCmp $1 0 0 next next
      DetailPrint "Ending the running Velmora"
      System::Call 'user32::PostMessage(p r0, i ${WM_QUITVELMORA}, p 0, p 0)'
      Goto next
    counted:
    StrCmp $3 0 done
    IntCmp $2 150 done 0 done
    Sleep 100
    IntOp $2 $2 + 1
    Goto round
  done:
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
  File "${STAGE}\${EXE}"
  File "${STAGE}\readme.txt"
  SetOutPath "$INSTDIR\plugins"
  File "${STAGE}\plugins\*.vlm"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  SetShellVarContext current
  CreateShortcut "$SMPROGRAMS\Velmora.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0

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

Section "Uninstall"
  Call un.QuitRunning

  ; The files this installer put there, each; the player's own plug-ins stay,
  ; and so do their folders then.
  Delete "$INSTDIR\readme.txt"
  Delete "$INSTDIR\plugins\openarena.vlm"
  Delete "$INSTDIR\plugins\quake.vlm"
  Delete "$INSTDIR\plugins\quake2.vlm"
  Delete "$INSTDIR\plugins\quake3.vlm"
  Delete "$INSTDIR\plugins\quakeworld.vlm"
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
      ${Break}
    ${EndIf}
    Sleep 200
  ${Loop}
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR\plugins"
  RMDir "$INSTDIR"

  SetShellVarContext current
  Delete "$SMPROGRAMS\Velmora.lnk"

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

  ; Last: its end tells that the uninstall is through.
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd
