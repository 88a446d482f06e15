; The Tavrin installer: the program folder into Program Files (the program directory the updater
; and the About window expect), a Start-menu entry, and an uninstaller listed among the installed
; programs. Built by tools/package-windows, which passes:
;   VERSION (1.2.3), SOURCE (the program folder), OUTFILE, FILELIST (a file of Delete and RMDir
;   lines for exactly what SOURCE holds, so the uninstaller removes only what was installed).
; A 64-bit installer for a 64-bit program (and one that wine without its 32-bit part runs).
Target amd64-unicode
!include "MUI2.nsh"
!include "LogicLib.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavrin"

Name "Tavrin ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tavrin"
; A new version goes where the one it replaces is, wherever the user put it.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Tavrin"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Tavrin installer"
VIAddVersionKey "LegalCopyright" "GPL-3.0-or-later"

; "Run Tavrin" on the last page: see RunAsSignedInUser.
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION RunAsSignedInUser
!insertmacro MUI_PAGE_LICENSE "${SOURCE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Windows keeps the file of a running program from being replaced or removed. Copied over, it
; would be skipped (without a word in a silent install), leaving the old program among the new
; DLLs under the new version's name; removed, it would stay behind an uninstall that says it is
; done. So nothing is touched until the program is closed: Retry once it is, Cancel to stop (a
; silent run stops at once, with a failing exit code).
!macro WaitUntilClosed FILE
    ${Do}
        ${IfNot} ${FileExists} "${FILE}"
            ${Break}
        ${EndIf}
        ClearErrors
        FileOpen $0 "${FILE}" a
        ${IfNot} ${Errors}
            FileClose $0
            ${Break}
        ${EndIf}
        DetailPrint "In use: ${FILE}"
        ${IfCmd} MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Tavrin is still running (${FILE} is in use).$\r$\n$\r$\nClose Tavrin (File > Exit Program) and its updater, then press Retry." /SD IDCANCEL IDCANCEL ${||} Abort "Tavrin is still running: nothing was changed." ${|}
    ${Loop}
!macroend

Function .onInit
    SetRegView 64
FunctionEnd

; The installer runs elevated, and so would a program it starts itself: on an account without
; administrator rights, as the administrator whose password was typed, so that Tavrin would keep its
; settings in that account's %APPDATA% and run with its rights. The shell, which runs as the user
; who is signed in, starts it instead.
Function RunAsSignedInUser
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\Tavrin.exe"'
FunctionEnd

Section "Tavrin"
    SetShellVarContext all
    !insertmacro WaitUntilClosed "$INSTDIR\Tavrin.exe"
    !insertmacro WaitUntilClosed "$INSTDIR\Updater.exe"
    !insertmacro WaitUntilClosed "$INSTDIR\tavrin-echolink-diag.exe"
    SetOutPath "$INSTDIR"
    File /r "${SOURCE}\*.*"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateDirectory "$SMPROGRAMS\Tavrin"
    CreateShortcut "$SMPROGRAMS\Tavrin\Tavrin.lnk" "$INSTDIR\Tavrin.exe"
    CreateShortcut "$SMPROGRAMS\Tavrin\Uninstall Tavrin.lnk" "$INSTDIR\Uninstall.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tavrin"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tavrin.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

Section "Uninstall"
    SetShellVarContext all
    !insertmacro WaitUntilClosed "$INSTDIR\Tavrin.exe"
    ; an earlier program that was still running when the updater replaced it goes on under this name
    !insertmacro WaitUntilClosed "$INSTDIR\Tavrin.exe.previous"
    !insertmacro WaitUntilClosed "$INSTDIR\Updater.exe"
    !insertmacro WaitUntilClosed "$INSTDIR\tavrin-echolink-diag.exe"
    ; What the updater leaves beside the program: the previous version, old versions that were
    ; still running when it replaced them, an interrupted download. The settings in the user's
    ; folder stay.
    Delete "$INSTDIR\Tavrin.exe.previous"
    Delete "$INSTDIR\.Tavrin.exe.old-*"
    Delete "$INSTDIR\.Tavrin.exe.update-*"
    Delete "$INSTDIR\.Tavrin.exe.restore"
    !include "${FILELIST}"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Tavrin\Tavrin.lnk"
    Delete "$SMPROGRAMS\Tavrin\Uninstall Tavrin.lnk"
    RMDir "$SMPROGRAMS\Tavrin"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
