; The Telvarix setup: copies the product into the system directory (service, libraries, applet,
; language library), the help file into the Windows help folder, and the install program, the
; documents and the uninstaller into the program folder; then TVXREMOVE /I registers the service
; and opens the applet. Silent: TelvarixSetup.exe /S [/D=folder]. The uninstaller runs
; TVXREMOVE /U and removes what the setup added; the settings file stays.
;
; Defines from the build: STAGE (the package folder), OUTFILE, VERSION (a.b.c), and AMD64 when the
; package holds the 64-bit build (only made where the tests run on 64-bit Wine; the product is 32-bit).

!ifdef AMD64
Target amd64-unicode
!else
Unicode true
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel admin
!include LogicLib.nsh

!define PRODUCT "Telvarix"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Telvarix"
!define SERVICE_KEY "SYSTEM\CurrentControlSet\Services\Telvarix"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
!ifdef AMD64
InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
InstallDir "$PROGRAMFILES\${PRODUCT}"
!endif
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "FileDescription" "Telvarix setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}.0"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Telvarix"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; A running service holds its program and libraries open: stop it before they are replaced.
!macro StopRunningService
    ClearErrors
    ReadRegStr $0 HKLM "${SERVICE_KEY}" "ImagePath"
    ${IfNot} ${Errors}
        DetailPrint "Stopping the Telvarix service"
        nsExec::Exec '"$SYSDIR\sc.exe" stop Telvarix'
        Pop $0
        Sleep 3000
    ${EndIf}
!macroend

Section "Telvarix"
    !insertmacro StopRunningService

    SetOutPath "$SYSDIR"
    File "${STAGE}\TELVARIX.EXE"
    File "${STAGE}\LINVOQ.DLL"
    File "${STAGE}\VESSNET.DLL"
    !if /FileExists "${STAGE}\TELVARIX.CPL"
        File "${STAGE}\TELVARIX.CPL"
    !endif
    !if /FileExists "${STAGE}\TELVARIXLANG.DLL"
        File "${STAGE}\TELVARIXLANG.DLL"
    !endif
    ; The administrator's settings survive a new installation.
    SetOverwrite off
    File "${STAGE}\TELVARIX.INI"
    SetOverwrite on

    !if /FileExists "${STAGE}\TELVARIX.CHM"
        SetOutPath "$WINDIR\Help"
        File "${STAGE}\TELVARIX.CHM"
    !endif

    SetOutPath "$INSTDIR"
    File "${STAGE}\TVXREMOVE.EXE"
    SetOutPath "$INSTDIR\docs"
    File /r "${STAGE}\docs\*.*"

    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

    ; TVXREMOVE lies apart from TELVARIX.EXE, so the service runs the system directory's copy.
    DetailPrint "Registering the Telvarix service"
    ExecWait '"$INSTDIR\TVXREMOVE.EXE" /I'
SectionEnd

Section "Uninstall"
    DetailPrint "Removing the Telvarix service"
    ExecWait '"$INSTDIR\TVXREMOVE.EXE" /U'

    ; TVXREMOVE deletes TELVARIX.EXE, TELVARIX.CPL and TELVARIXLANG.DLL; what it had to leave
    ; (a service that would not stop holds them) goes at the next restart.
    Delete /REBOOTOK "$SYSDIR\TELVARIX.EXE"
    Delete /REBOOTOK "$SYSDIR\TELVARIX.CPL"
    Delete /REBOOTOK "$SYSDIR\TELVARIXLANG.DLL"
    Delete /REBOOTOK "$SYSDIR\LINVOQ.DLL"
    Delete /REBOOTOK "$SYSDIR\VESSNET.DLL"
    Delete "$WINDIR\Help\TELVARIX.CHM"

    Delete "$INSTDIR\TVXREMOVE.EXE"
    Delete "$INSTDIR\docs\*.md"
    RMDir "$INSTDIR\docs"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
