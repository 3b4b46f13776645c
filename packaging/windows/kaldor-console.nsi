; The Windows installer of the KALDOR Console, made by the build's "installer" target:
;   makensis -DVERSION=v -DCONSOLE=exe -DCOM=com -DSIM=exe -DSTATION=exe -DNOTICE=txt -DSOURCE=zip -DCHARTS=tar.xz
;   [-DOPENSSL_SOURCE=tar.gz -DOPENSSL_SOURCE_NAME=name -DOPENSSL_LICENSE=txt]
;            -DICON=ico -DOUTFILE=setup.exe kaldor-console.nsi
; (CHARTS and ICON may be left out.)
; It installs under Program Files for all users, with Start-menu entries and an uninstaller that
; Add/Remove Programs lists. Uninstalling leaves the user's settings in the registry.
; A 64-bit installer for a 64-bit program (and Wine without 32-bit support runs it).
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"
!include "x64.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KaldorConsole"
!define MENU "$SMPROGRAMS\KALDOR Console"

Name "KALDOR Console ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\KALDOR Console"
; An earlier install's folder, so a new version replaces it in place.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
BrandingText "KALDOR Console ${VERSION}"

!define MUI_LICENSEPAGE_BUTTON "&Next >"
!ifdef ICON
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!endif
!define MUI_LICENSEPAGE_TEXT_BOTTOM "The console is free software under the GNU GPL version 3 or later; it is built with Qt (LGPL version 3), Qt Charts (GPL version 3) and OpenSSL 3 (Apache License 2.0)."
!insertmacro MUI_PAGE_LICENSE "${NOTICE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; Started through the shell, the console runs as the user who started the installer, not with
; the installer's elevation (nor as the account whose administrator password was given).
!define MUI_FINISHPAGE_RUN "$WINDIR\explorer.exe"
!define MUI_FINISHPAGE_RUN_PARAMETERS "$\"$INSTDIR\kaldor-console.exe$\""
!define MUI_FINISHPAGE_RUN_TEXT "Start the KALDOR Console"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A running console holds its files open and would lose its settings' last write: ask the user
; to end it first. The console holds the named mutex "OneInstanceAllowed" while it runs, the
; simulator "KaldorSimRunning", the station "KaldorStationRunning" (its program could not be
; replaced). Access denied is a mutex an elevated program holds: running too.
; $2 := 1 when the mutex NAME is held.
!macro HeldMutex NAME
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${NAME}") p .r0 ?e'
    Pop $1
    ${If} $0 <> 0
    ${OrIf} $1 = 5
        StrCpy $2 1
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r0)'
!macroend
!macro WaitForNoConsole UN
Function ${UN}WaitForNoConsole
    retry:
    StrCpy $2 0
    !insertmacro HeldMutex "OneInstanceAllowed"
    !insertmacro HeldMutex "KaldorSimRunning"
    !insertmacro HeldMutex "KaldorStationRunning"
    ${If} $2 = 1
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "The KALDOR Console, its simulated amplifier or kaldor-station is running. Close it, then choose Retry." /SD IDCANCEL IDRETRY retry
        Abort
    ${EndIf}
FunctionEnd
!macroend
!insertmacro WaitForNoConsole ""
!insertmacro WaitForNoConsole "un."

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_ICONSTOP "The KALDOR Console needs 64-bit Windows."
        Abort
    ${EndIf}
    SetRegView 64
    Call WaitForNoConsole
FunctionEnd

Function un.onInit
    SetRegView 64
    Call un.WaitForNoConsole
FunctionEnd

Section "KALDOR Console"
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File "/oname=kaldor-console.exe" "${CONSOLE}"
    File "/oname=kaldor-console.com" "${COM}"
    File "/oname=kaldor-sim.exe" "${SIM}"
    File "/oname=kaldor-station.exe" "${STATION}"
    File "/oname=NOTICE.txt" "${NOTICE}"
    SetOutPath "$INSTDIR\source"
    ; An older version's source, replaced by this one's.
    Delete "$INSTDIR\source\kaldor-console-*-source.zip"
    File "/oname=kaldor-console-${VERSION}-source.zip" "${SOURCE}"
!ifdef CHARTS
    File "/oname=qtcharts-6.4.2-source.tar.xz" "${CHARTS}"
!endif
    Delete "$INSTDIR\source\openssl_*.orig.tar.gz"
!ifdef OPENSSL_SOURCE
    File "/oname=${OPENSSL_SOURCE_NAME}" "${OPENSSL_SOURCE}"
!endif
!ifdef OPENSSL_LICENSE
    File "/oname=openssl-LICENSE.txt" "${OPENSSL_LICENSE}"
!endif
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "${MENU}"
    CreateShortcut "${MENU}\KALDOR Console.lnk" "$INSTDIR\kaldor-console.exe" "" "$INSTDIR\kaldor-console.exe" 0
    CreateShortcut "${MENU}\KALDOR Console (simulated amplifier).lnk" "$INSTDIR\kaldor-console.exe" "--simulate" "$INSTDIR\kaldor-console.exe" 0
    CreateShortcut "${MENU}\Uninstall KALDOR Console.lnk" "$INSTDIR\uninstall.exe" "" "$INSTDIR\uninstall.exe" 0

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "KALDOR Console"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "OLV"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kaldor-console.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ; What the folder holds, in KB, for Add/Remove Programs.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "un.KALDOR Console"
    SectionIn RO
    SetShellVarContext all
    Delete "${MENU}\KALDOR Console.lnk"
    Delete "${MENU}\KALDOR Console (simulated amplifier).lnk"
    Delete "${MENU}\Uninstall KALDOR Console.lnk"
    RMDir "${MENU}"
    Delete "$INSTDIR\kaldor-console.exe"
    Delete "$INSTDIR\kaldor-console.com"
    Delete "$INSTDIR\kaldor-sim.exe"
    Delete "$INSTDIR\kaldor-station.exe"
    Delete "$INSTDIR\NOTICE.txt"
    Delete "$INSTDIR\source\kaldor-console-*-source.zip"
    Delete "$INSTDIR\source\qtcharts-6.4.2-source.tar.xz"
    Delete "$INSTDIR\source\openssl_*.orig.tar.gz"
    Delete "$INSTDIR\source\openssl-LICENSE.txt"
    RMDir "$INSTDIR\source"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ; Unless the box below is ticked, the settings under HKEY_CURRENT_USER\Software\OLV and the
    ; station log in %LOCALAPPDATA%\OLV stay for a later install.
SectionEnd

; Unticked: a silent uninstall and an update keep them. The console's own certificate and key
; (the tls folder) stay either way: stations know the console by them.
Section /o "un.Also remove my settings and station log"
    SetShellVarContext current
    DeleteRegKey HKCU "Software\OLV\Kaldor_Console"
    DeleteRegKey HKCU "Software\OLV\Kaldor_Console_Simulated"
    DeleteRegKey /ifempty HKCU "Software\OLV"
    RMDir /r "$LOCALAPPDATA\OLV\Kaldor_Console\log"
    RMDir /r "$LOCALAPPDATA\OLV\Kaldor_Console_Simulated\log"
    RMDir "$LOCALAPPDATA\OLV\Kaldor_Console"
    RMDir "$LOCALAPPDATA\OLV\Kaldor_Console_Simulated"
    RMDir "$LOCALAPPDATA\OLV"
SectionEnd
