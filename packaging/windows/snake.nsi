; The Windows installer, made by scripts/windows.sh with Debian's makensis:
;   makensis -DVERSION=1.0.0 -DSTAGE=<folder with snake.exe, snake.dat, the readme, LICENSE.txt>
;            -DICON=<snake.ico> -DOUTFILE=<setup .exe> snake.nsi
;
; A per-user install: no administrator rights, the game in the user's own
; programs folder (%LOCALAPPDATA%\Programs\Snake), where it may write its
; record scores.txt beside snake.dat. The Start-menu shortcut starts it in
; that folder. The uninstaller removes what the installer put there and
; leaves scores.txt, so that a later install finds the record again.
;
; Both tell the truth: a game running from the folder is to be closed first
; (a silent run fails instead), and a file that cannot be written or removed
; fails the run with a message and exit code 2, leaving the install as it
; was: the new files are written beside the old ones, then put in their
; place, and put back on any failure. A folder the game could not start in
; is refused before anything is written. An uninstaller run where nothing
; is installed says so, with exit code 2.

; A 64-bit installer for a 64-bit game: it also runs where only 64-bit
; Windows programs run (Wine without its 32-bit half).
Target amd64-unicode
SetCompressor /SOLID lzma

!define NAME "Snake"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${NAME}"
; Windows starts no program in a working folder longer than 258 characters,
; and the game's files, its record's temporary files among them, need room
; under the 260 characters of a path: the install folder is at most this long.
!define MAX_FOLDER 200

Name "${NAME}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${NAME}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
; A file that cannot be written stops the install: never skipped.
AllowSkipFiles off

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\snake.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\LISEZMOI-README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first language is the one used when the system's is neither.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "French"

LangString folder_long ${LANG_ENGLISH} "The folder$\r$\n$INSTDIR$\r$\nis too long for the game to start in: choose one of at most ${MAX_FOLDER} characters."
LangString folder_long ${LANG_FRENCH} "Le dossier$\r$\n$INSTDIR$\r$\nest trop long pour que le jeu y démarre : choisissez-en un d'au plus ${MAX_FOLDER} caractères."
LangString folder_made ${LANG_ENGLISH} "The folder$\r$\n$INSTDIR$\r$\ncannot be created."
LangString folder_made ${LANG_FRENCH} "Le dossier$\r$\n$INSTDIR$\r$\nne peut pas être créé."
LangString running ${LANG_ENGLISH} "${NAME} is running from$\r$\n$INSTDIR$\r$\n(or its snake.exe cannot be written): close it, then try again."
LangString running ${LANG_FRENCH} "${NAME} est lancé depuis$\r$\n$INSTDIR$\r$\n(ou son snake.exe ne peut pas être modifié) : fermez-le, puis réessayez."
LangString not_written ${LANG_ENGLISH} "The game's files in$\r$\n$INSTDIR$\r$\ncould not all be written: the install there is left as it was."
LangString not_written ${LANG_FRENCH} "Les fichiers du jeu dans$\r$\n$INSTDIR$\r$\nn'ont pas tous pu être écrits : l'installation y est laissée telle quelle."
LangString not_removed ${LANG_ENGLISH} "The game's files in$\r$\n$INSTDIR$\r$\ncould not all be removed: the install there is left as it was."
LangString not_removed ${LANG_FRENCH} "Les fichiers du jeu dans$\r$\n$INSTDIR$\r$\nn'ont pas tous pu être supprimés : l'installation y est laissée telle quelle."
LangString not_installed ${LANG_ENGLISH} "${NAME} is not installed in$\r$\n$INSTDIR$\r$\n(none of its files is there): nothing was removed."
LangString not_installed ${LANG_FRENCH} "${NAME} n'est pas installé dans$\r$\n$INSTDIR$\r$\n(aucun de ses fichiers n'y est) : rien n'a été supprimé."

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${NAME}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${NAME} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "MIT licence, see LICENSE.txt"

; Ends the run: the message (not shown in a silent run), exit code 2.
!macro FAIL text
  MessageBox MB_ICONSTOP|MB_OK "${text}" /SD IDOK
  SetErrorLevel 2
  Quit
!macroend

; Waits for the game running from $INSTDIR to be closed, which Windows
; shows by refusing to open its snake.exe for writing; a silent run fails.
!macro WAIT_FOR_GAME un
Function ${un}WaitForGame
  ${DoWhile} ${FileExists} "$INSTDIR\snake.exe"
    ClearErrors
    FileOpen $0 "$INSTDIR\snake.exe" a
    ${IfNot} ${Errors}
      FileClose $0
      ${Break}
    ${EndIf}
    MessageBox MB_ICONEXCLAMATION|MB_RETRYCANCEL "$(running)" /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Quit
    retry:
  ${Loop}
FunctionEnd
!macroend
!insertmacro WAIT_FOR_GAME ""
!insertmacro WAIT_FOR_GAME "un."

; Each of the installed files: "macro name" for each.
!macro EACH_FILE macro
  !insertmacro ${macro} snake.exe
  !insertmacro ${macro} snake.dat
  !insertmacro ${macro} LISEZMOI-README.txt
  !insertmacro ${macro} LICENSE.txt
  !insertmacro ${macro} uninstall.exe
!macroend
; A file set aside as NAME.old (the error flag tells a failure), put back,
; or dropped for good.
!macro SET_ASIDE name
  Delete "$INSTDIR\${name}.old"
  ${If} ${FileExists} "$INSTDIR\${name}"
    Rename "$INSTDIR\${name}" "$INSTDIR\${name}.old"
  ${EndIf}
!macroend
!macro PUT_BACK name
  ${If} ${FileExists} "$INSTDIR\${name}.old"
    Delete "$INSTDIR\${name}"
    Rename "$INSTDIR\${name}.old" "$INSTDIR\${name}"
  ${EndIf}
  Delete "$INSTDIR\${name}.new"
!macroend
!macro DROP_OLD name
  Delete "$INSTDIR\${name}.old"
!macroend
!macro PUT_NEW name
  !insertmacro SET_ASIDE ${name}
  Rename "$INSTDIR\${name}.new" "$INSTDIR\${name}"
!macroend

; Sets $0 to why the game cannot go into $INSTDIR, or to "".
Function CheckFolder
  StrLen $0 "$INSTDIR"
  ${If} $0 > ${MAX_FOLDER}
    StrCpy $0 "$(folder_long)"
  ${Else}
    StrCpy $0 ""
  ${EndIf}
FunctionEnd

; A folder given with /D= that NSIS finds unfit (a file in its way, a
; character Windows refuses) is silently replaced by the one remembered or
; the default: a silent install must fail instead. A quoted one
; ("/D=C:\My Games\Snake", as PowerShell and Wine pass an argument with a
; blank) NSIS ignores: it is taken here, and a silent install refuses it
; unless it is a full path. Either way /D= is the last argument. $CMDLINE
; has lost an unquoted /D= by now, the process's own command line has not.
Function .onInit
  System::Call 'kernel32::GetCommandLine() t .r1'
  StrLen $2 $1
  ${For} $3 0 $2
    StrCpy $4 $1 4 $3
    StrCpy $5 $1 5 $3
    ${If} $4 == " /D="
    ${OrIf} $5 == ' "/D='
      ${Break}
    ${EndIf}
  ${Next}
  ${If} $4 == " /D="
    IntOp $3 $3 + 4
    StrCpy $4 $1 "" $3
  ${ElseIf} $5 == ' "/D='
    IntOp $3 $3 + 5
    ; Without its closing quote.
    StrCpy $4 $1 -1 $3
  ${Else}
    Return
  ${EndIf}
  StrCpy $6 $4 1 -1
  ${If} $6 == "\"
    StrCpy $4 $4 -1
  ${EndIf}
  StrCpy $6 $4 2 1
  StrCpy $7 $4 2
  ${If} $5 == ' "/D='
    StrCpy $INSTDIR $4
    ${If} ${Silent}
    ${AndIf} $6 != ":\"
    ${AndIf} $7 != "\\"
      !insertmacro FAIL "$(folder_made)"
    ${EndIf}
  ${ElseIf} ${Silent}
  ${AndIf} $4 != $INSTDIR
    StrCpy $INSTDIR $4
    !insertmacro FAIL "$(folder_made)"
  ${EndIf}
FunctionEnd

Function DirectoryLeave
  Call CheckFolder
  ${If} $0 != ""
    MessageBox MB_ICONSTOP|MB_OK "$0"
    Abort
  ${EndIf}
FunctionEnd

; A failed install leaves no new file behind, and the old ones in place.
Function .onInstFailed
  !insertmacro EACH_FILE PUT_BACK
FunctionEnd

Section "Snake"
  ; Installed only for the user who runs the installer.
  SetShellVarContext current
  Call CheckFolder
  ${If} $0 != ""
    !insertmacro FAIL "$0"
  ${EndIf}
  ClearErrors
  CreateDirectory "$INSTDIR"
  ${If} ${Errors}
  ${OrIfNot} ${FileExists} "$INSTDIR\*.*"
    !insertmacro FAIL "$(folder_made)"
  ${EndIf}
  Call WaitForGame
  !insertmacro EACH_FILE PUT_BACK
  !insertmacro EACH_FILE DROP_OLD

  ; The new files beside the old ones first: a file that cannot be written
  ; aborts the install here (AllowSkipFiles off), and .onInstFailed takes
  ; the new ones away.
  SetOutPath "$INSTDIR"
  File "/oname=snake.exe.new" "${STAGE}\snake.exe"
  File "/oname=snake.dat.new" "${STAGE}\snake.dat"
  File "/oname=LISEZMOI-README.txt.new" "${STAGE}\LISEZMOI-README.txt"
  File "/oname=LICENSE.txt.new" "${STAGE}\LICENSE.txt"
  ClearErrors
  WriteUninstaller "$INSTDIR\uninstall.exe.new"
  ; Then each one in its place, the old one set aside until all are.
  !insertmacro EACH_FILE PUT_NEW
  ${If} ${Errors}
    !insertmacro EACH_FILE PUT_BACK
    !insertmacro FAIL "$(not_written)"
  ${EndIf}

  ; The shortcut's working folder is the output path set above: the game
  ; finds snake.dat and keeps scores.txt there.
  CreateShortcut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\snake.exe" "" "$INSTDIR\snake.exe" 0
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\snake.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  ; Run plainly, NSIS's uninstaller starts a copy of itself and ends at once
  ; with 0; run in place (_?=) it ends when the uninstall does, with its
  ; exit code, as a software manager running the quiet one must be told.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${If} ${Errors}
    !insertmacro EACH_FILE PUT_BACK
    !insertmacro FAIL "$(not_written)"
  ${EndIf}
  !insertmacro EACH_FILE DROP_OLD
SectionEnd

; Started as /TIDY by the uninstaller run in place, once done: removes its
; file when it has ended, then the folder if empty. Otherwise, with no file
; of the game in the folder and no uninstall entry for it, nothing is
; installed there: that is said as such, and nothing is done.
Function un.onInit
  ${un.GetParameters} $0
  ClearErrors
  ${un.GetOptions} $0 "/TIDY" $1
  ${IfNot} ${Errors}
    ${For} $1 1 100
      Delete "$INSTDIR\uninstall.exe"
      ${IfNot} ${FileExists} "$INSTDIR\uninstall.exe"
        ${Break}
      ${EndIf}
      Sleep 100
    ${Next}
    RMDir "$INSTDIR"
    Quit
  ${EndIf}
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${IfNot} ${FileExists} "$INSTDIR\snake.exe"
  ${AndIfNot} ${FileExists} "$INSTDIR\snake.dat"
  ${AndIfNot} ${FileExists} "$INSTDIR\LISEZMOI-README.txt"
  ${AndIfNot} ${FileExists} "$INSTDIR\LICENSE.txt"
  ${AndIf} $0 != $INSTDIR
    !insertmacro FAIL "$(not_installed)"
  ${EndIf}
FunctionEnd

Section "Uninstall"
  SetShellVarContext current
  Call un.WaitForGame
  ; Every file set aside first, so that one that cannot go leaves all in
  ; place. The uninstaller run in place (uninstall.exe _?=folder) goes last.
  ClearErrors
  !insertmacro SET_ASIDE snake.exe
  !insertmacro SET_ASIDE snake.dat
  !insertmacro SET_ASIDE LISEZMOI-README.txt
  !insertmacro SET_ASIDE LICENSE.txt
  ${If} "$EXEPATH" != "$INSTDIR\uninstall.exe"
    !insertmacro SET_ASIDE uninstall.exe
  ${EndIf}
  ${If} ${Errors}
    !insertmacro EACH_FILE PUT_BACK
    !insertmacro FAIL "$(not_removed)"
  ${EndIf}
  !insertmacro EACH_FILE DROP_OLD
  Delete "$SMPROGRAMS\${NAME}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${If} ${Errors}
  ${OrIf} ${FileExists} "$SMPROGRAMS\${NAME}.lnk"
  ${OrIf} ${FileExists} "$INSTDIR\snake.exe.old"
    !insertmacro FAIL "$(not_removed)"
  ${EndIf}
  ; Run in place, the uninstaller cannot delete its own file: it starts
  ; itself plainly, as /TIDY, and NSIS runs that from the temporary folder,
  ; where it waits for this one to end to remove the file and the folder.
  ${If} "$EXEPATH" == "$INSTDIR\uninstall.exe"
    Exec '"$EXEPATH" /S /TIDY'
  ${EndIf}
  ; Not /r: the folder stays as long as it holds the record, scores.txt.
  RMDir "$INSTDIR"
SectionEnd
