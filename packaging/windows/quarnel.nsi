; The Windows installer: the staged install tree (bin\ and share\quarnel\) under Program Files, a Start
; menu entry, "Open with" for presentations and movies, and an uninstaller that removes only what
; it installed. makensis -DVERSION=x.y.z -DSTAGE=<staged prefix> -DOUTFILE=<setup.exe> quarnel.nsi

; A 64-bit installer for 64-bit programs (and Wine set up without its 32-bit half runs it too).
Target amd64-unicode
!include "MUI2.nsh"

!ifndef VERSION | STAGE | OUTFILE
  !error "VERSION, STAGE and OUTFILE are defined by the build"
!endif

!define PRODUCT "クオーネル"
!define PUBLISHER "Vodrik"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quarnel"
!define APP_KEY "Software\Classes\Applications\quarnel.exe"

Name "${PUBLISHER} ${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vodrik\Quarnel"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

; The types the window opens: its file dialog's presentations and movies.
!macro ForEachOpenedType MACRO
  !insertmacro ${MACRO} ".ppt"
  !insertmacro ${MACRO} ".pptx"
  !insertmacro ${MACRO} ".pptm"
  !insertmacro ${MACRO} ".pps"
  !insertmacro ${MACRO} ".ppsx"
  !insertmacro ${MACRO} ".ppsm"
  !insertmacro ${MACRO} ".pot"
  !insertmacro ${MACRO} ".potx"
  !insertmacro ${MACRO} ".potm"
  !insertmacro ${MACRO} ".mp4"
  !insertmacro ${MACRO} ".m4v"
  !insertmacro ${MACRO} ".mov"
  !insertmacro ${MACRO} ".avi"
  !insertmacro ${MACRO} ".wmv"
  !insertmacro ${MACRO} ".asf"
  !insertmacro ${MACRO} ".mpg"
  !insertmacro ${MACRO} ".mpeg"
  !insertmacro ${MACRO} ".mkv"
  !insertmacro ${MACRO} ".webm"
!macroend

; An entry in the type's "Open with" list; the type's own default program is left alone.
!macro RegisterOpenWith EXT
  WriteRegStr HKLM "${APP_KEY}\SupportedTypes" "${EXT}" ""
  WriteRegStr HKLM "Software\Classes\${EXT}\OpenWithList\quarnel.exe" "" ""
!macroend
!macro UnregisterOpenWith EXT
  DeleteRegKey HKLM "Software\Classes\${EXT}\OpenWithList\quarnel.exe"
  DeleteRegKey /ifempty HKLM "Software\Classes\${EXT}\OpenWithList"
!macroend

Section "Install"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\bin"
  File /r "${STAGE}\share"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\bin\quarnel.exe"

  WriteRegStr HKLM "${APP_KEY}" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr HKLM "${APP_KEY}\shell\open\command" "" '"$INSTDIR\bin\quarnel.exe" "%1"'
  !insertmacro ForEachOpenedType RegisterOpenWith

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PUBLISHER} ${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\bin\quarnel.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Only the installed folders go: a folder chosen for the install may hold other things.
Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  !insertmacro ForEachOpenedType UnregisterOpenWith
  DeleteRegKey HKLM "${APP_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  RMDir /r "$INSTDIR\bin"
  RMDir /r "$INSTDIR\share"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$INSTDIR\.."
SectionEnd
