; The Windows installer, made by scripts/windows.sh with Debian's makensis:
;   makensis -DVERSION=1.0.0 -DSTAGE=<folder with snake.exe, snake.dat, the readme>
;            -DICON=<snake.ico> -DOUTFILE=<setup .exe> snake.nsi
;
; A per-user install: no administrator rights, the game in the user's own
; programs folder (%LOCALAPPDATA%\Programs\Snake), where it may write its
; record scores.txt beside snake.dat. The Start-menu shortcut starts it in
; that folder. The uninstaller removes what the installer put there and
; leaves scores.txt, so that a later install finds the record again.

; A 64-bit installer for a 64-bit game: it also runs where only 64-bit
; Windows programs run (Wine without its 32-bit half).
Target amd64-unicode
SetCompressor /SOLID lzma

!define NAME "Snake"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${NAME}"

Name "${NAME}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${NAME}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

!include "MUI2.nsh"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\snake.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\LISEZMOI-README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first language is the one used when the system's is neither.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "French"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${NAME}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${NAME} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" ""

Section "Snake"
  ; Installed only for the user who runs the installer.
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${STAGE}\snake.exe"
  File "${STAGE}\snake.dat"
  File "${STAGE}\LISEZMOI-README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The shortcut's working folder is the output path set above: the game
  ; finds snake.dat and keeps scores.txt there.
  CreateShortcut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\snake.exe" "" "$INSTDIR\snake.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\snake.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\${NAME}.lnk"
  Delete "$INSTDIR\snake.exe"
  Delete "$INSTDIR\snake.dat"
  Delete "$INSTDIR\LISEZMOI-README.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Not /r: the folder stays as long as it holds the record, scores.txt.
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
