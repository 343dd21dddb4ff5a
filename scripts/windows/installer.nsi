; The Windows installer, a 64-bit program like the ones it installs: Program
; Files, a Start-menu shortcut, an uninstaller listed in "Apps", and "Open
; with" entries for the picture types the Open dialog offers. /S installs and
; uninstalls silently.
; makensis -DVERSION=1.3 -DSTAGE=<folder with the programs> -DOUTFILE=<setup.exe>
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"

!define PRODUCT "Vistrel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define APP_KEY "Software\Classes\Applications\vistrel.exe"
!define PROGID "Vistrel.Picture"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; "Run Vistrel" starts the program as the signed-in user, not with the
; installer's administrator rights (which would block drops from Explorer,
; give saved files to Administrators and hide mapped drives): Explorer,
; asked to open it, hands the start to the desktop's own, unelevated shell.
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Run ${PRODUCT}"
!define MUI_FINISHPAGE_RUN_FUNCTION RunUnelevated
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "See LICENSES"

; The picture types of the Open dialog.
!macro ForEachType MACRO
  !insertmacro ${MACRO} ".bmp"
  !insertmacro ${MACRO} ".jpg"
  !insertmacro ${MACRO} ".jpeg"
  !insertmacro ${MACRO} ".png"
  !insertmacro ${MACRO} ".tif"
  !insertmacro ${MACRO} ".tiff"
  !insertmacro ${MACRO} ".tga"
  !insertmacro ${MACRO} ".webp"
  !insertmacro ${MACRO} ".heic"
  !insertmacro ${MACRO} ".heif"
  !insertmacro ${MACRO} ".avif"
  !insertmacro ${MACRO} ".jxl"
  !insertmacro ${MACRO} ".dng"
  !insertmacro ${MACRO} ".cr2"
  !insertmacro ${MACRO} ".cr3"
  !insertmacro ${MACRO} ".nef"
  !insertmacro ${MACRO} ".arw"
  !insertmacro ${MACRO} ".raf"
  !insertmacro ${MACRO} ".orf"
  !insertmacro ${MACRO} ".rw2"
  !insertmacro ${MACRO} ".pef"
  !insertmacro ${MACRO} ".srw"
!macroend
!macro AddOpenWith EXT
  WriteRegStr HKLM "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}" ""
  WriteRegStr HKLM "${APP_KEY}\SupportedTypes" "${EXT}" ""
!macroend
!macro RemoveOpenWith EXT
  DeleteRegValue HKLM "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKLM "Software\Classes\${EXT}\OpenWithProgids"
  DeleteRegKey /ifempty HKLM "Software\Classes\${EXT}"
!macroend

; Windows keeps a running program's file open: replacing or removing it
; would fail half way. Until both programs are closed, offers Retry.
!macro WaitUntilClosed UN
Function ${UN}WaitUntilClosed
  ${ForEach} $1 0 1 + 1
    StrCpy $2 "$INSTDIR\vistrel.exe"
    ${If} $1 == 1
      StrCpy $2 "$INSTDIR\vistrel-cli.exe"
    ${EndIf}
    ${DoWhile} ${FileExists} $2
      ClearErrors
      FileOpen $0 $2 a
      ${IfNot} ${Errors}
        FileClose $0
        ${Break}
      ${EndIf}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is running. Please close it, then choose Retry." \
        /SD IDCANCEL IDRETRY retry
      Abort
      retry:
    ${Loop}
  ${Next}
FunctionEnd
!macroend
!insertmacro WaitUntilClosed ""
!insertmacro WaitUntilClosed "un."

; Explorer tells the shell that file types changed, so "Open with" lists
; follow at once rather than after the next sign-in.
!macro NotifyAssociationsChanged
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0x1000, p 0, p 0)'
!macroend

Function RunUnelevated
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\vistrel.exe"'
FunctionEnd

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "${PRODUCT} needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Vistrel"
  SetShellVarContext all
  Call WaitUntilClosed
  ; An earlier version's own uninstaller removes exactly the files it put
  ; there (results the user saved stay), so none of them is left behind.
  ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R0 != ""
  ${AndIf} ${FileExists} "$R0\uninstall.exe"
    CopyFiles /SILENT "$R0\uninstall.exe" "$TEMP\vistrel-old-uninstall.exe"
    ExecWait '"$TEMP\vistrel-old-uninstall.exe" /S _?=$R0'
    Delete "$TEMP\vistrel-old-uninstall.exe"
    Delete "$R0\uninstall.exe"
    RMDir "$R0"
  ${EndIf}
  SetOutPath "$INSTDIR"
  File "${STAGE}/vistrel.exe"
  File "${STAGE}/vistrel-cli.exe"
  File "${STAGE}/*.dll"
  File /r "${STAGE}/Help"
  File /r "${STAGE}/Samples"
  File /r "${STAGE}/LICENSES"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\vistrel.exe"

  ; "Apps" lists the program with its uninstaller.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vistrel.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize 0 $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; "Open with": the program and a file type that only offers itself.
  WriteRegStr HKLM "${APP_KEY}" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr HKLM "${APP_KEY}\shell\open\command" "" '"$INSTDIR\vistrel.exe" "%1"'
  WriteRegStr HKLM "Software\Classes\${PROGID}" "" "${PRODUCT} picture"
  WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\vistrel.exe,0"
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\vistrel.exe" "%1"'
  !insertmacro ForEachType AddOpenWith
  !insertmacro NotifyAssociationsChanged
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Call un.WaitUntilClosed
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  ; Only what was installed: results the user saved beside the samples
  ; stay, and so do their folders.
  !include "${STAGE}/../installed-files.nsh"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  !insertmacro ForEachType RemoveOpenWith
  DeleteRegKey HKLM "Software\Classes\${PROGID}"
  DeleteRegKey HKLM "${APP_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  !insertmacro NotifyAssociationsChanged
SectionEnd
