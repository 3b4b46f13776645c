; The Windows installer of the KALDOR Console, made by the build's "installer" target:
;   makensis -DVERSION=v -DCONSOLE=exe -DSIM=exe -DNOTICE=txt -DSOURCE=zip -DOUTFILE=setup.exe kaldor-console.nsi
; It installs under Program Files for all users, with Start-menu entries and an uninstaller that
; Add/Remove Programs lists. Uninstalling leaves the user's settings in the registry.
; A 64-bit installer for a 64-bit program (and Wine without 32-bit support runs it).
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"
!include "x64.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KaldorConsole"
!define MENU "$SMPROGRAMS\KALDOR Console"

Name "KALDOR Console ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\KALDOR Console"
RequestExecutionLevel admin
BrandingText "KALDOR Console ${VERSION}"

!define MUI_LICENSEPAGE_BUTTON "&Next >"
!define MUI_LICENSEPAGE_TEXT_BOTTOM "The console is built with Qt under the GNU LGPL version 3."
!insertmacro MUI_PAGE_LICENSE "${NOTICE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\kaldor-console.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start the KALDOR Console"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_ICONSTOP "The KALDOR Console needs 64-bit Windows."
        Abort
    ${EndIf}
    SetRegView 64
FunctionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

Section "KALDOR Console"
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File "/oname=kaldor-console.exe" "${CONSOLE}"
    File "/oname=kaldor-sim.exe" "${SIM}"
    File "/oname=NOTICE.txt" "${NOTICE}"
    SetOutPath "$INSTDIR\source"
    File "/oname=kaldor-console-${VERSION}-source.zip" "${SOURCE}"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "${MENU}"
    CreateShortcut "${MENU}\KALDOR Console.lnk" "$INSTDIR\kaldor-console.exe"
    CreateShortcut "${MENU}\KALDOR Console (simulated amplifier).lnk" "$INSTDIR\kaldor-console.exe" "--simulate"
    CreateShortcut "${MENU}\Uninstall KALDOR Console.lnk" "$INSTDIR\uninstall.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "KALDOR Console"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "OLV"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kaldor-console.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    Delete "${MENU}\KALDOR Console.lnk"
    Delete "${MENU}\KALDOR Console (simulated amplifier).lnk"
    Delete "${MENU}\Uninstall KALDOR Console.lnk"
    RMDir "${MENU}"
    Delete "$INSTDIR\kaldor-console.exe"
    Delete "$INSTDIR\kaldor-sim.exe"
    Delete "$INSTDIR\NOTICE.txt"
    Delete "$INSTDIR\source\kaldor-console-${VERSION}-source.zip"
    RMDir "$INSTDIR\source"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ; The settings under HKEY_CURRENT_USER\Software\OLV stay for a later install.
SectionEnd
