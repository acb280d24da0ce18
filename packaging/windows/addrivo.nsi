; The Windows installer of Addrivo, built by scripts/package.sh --windows:
;   makensis -DVERSION=1.0.1508 -DSTAGE=DIR -DOUTFILE=FILE addrivo.nsi
; STAGE holds addrivo.exe (when the window is built), addrivo-convert.exe,
; Help.chm, README.txt, LICENSE.txt and addrivo.ico.
;
; It installs for the user who runs it, without administrator rights: into
; %LOCALAPPDATA%\Programs\Addrivo, with the Start menu entry, the file type
; and the entry in Windows' list of installed programs all under
; HKEY_CURRENT_USER. Most people who still have a .wab file have it on an
; old home or office machine, often without an administrator at hand, and
; the address book itself was a per-user file.
;
; The .wab file type: Addrivo's ProgID is added to .wab's OpenWithProgids
; ("Open with"), and becomes the default only where no program has it; the
; uninstaller gives the default back only when it is still Addrivo's.

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include FileFunc.nsh
!include LogicLib.nsh

!define PRODUCT "Addrivo"
!define PUBLISHER "Vantrel Software"
!define PROGID "Vantrel.Addrivo.wab"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Addrivo"
!define OWN_KEY "Software\Vantrel\Addrivo"
!define SHCNE_ASSOCCHANGED 0x08000000
!if /FileExists "${STAGE}/addrivo.exe"
  !define WINDOW
  !define ICON_PROGRAM "addrivo.exe"
!else
  !define ICON_PROGRAM "addrivo-convert.exe"
!endif

Name "Vantrel ${PRODUCT}"
Caption "Vantrel ${PRODUCT} ${VERSION} Setup"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${OWN_KEY}" "InstallDir"
Icon "${STAGE}/addrivo.ico"
UninstallIcon "${STAGE}/addrivo.ico"
BrandingText "Vantrel Software"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Vantrel ${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Free software; see LICENSE.txt"

Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles
LicenseData "${STAGE}/LICENSE.txt"

Section "Addrivo"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
!ifdef WINDOW
  File "${STAGE}/addrivo.exe"
!endif
  File "${STAGE}/addrivo-convert.exe"
  File "${STAGE}/Help.chm"
  File "${STAGE}/README.txt"
  File "${STAGE}/LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "${OWN_KEY}" "InstallDir" "$INSTDIR"

!ifdef WINDOW
  CreateShortcut "$SMPROGRAMS\Addrivo.lnk" "$INSTDIR\addrivo.exe" "" "$INSTDIR\addrivo.exe" 0

  ; The file type.
  WriteRegStr HKCU "Software\Classes\${PROGID}" "" "Windows Address Book"
  WriteRegStr HKCU "Software\Classes\${PROGID}\DefaultIcon" "" '"$INSTDIR\addrivo.exe",0'
  WriteRegStr HKCU "Software\Classes\${PROGID}\shell\open" "" "Open with Addrivo"
  WriteRegStr HKCU "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\addrivo.exe" "%1"'
  WriteRegStr HKCU "Software\Classes\.wab\OpenWithProgids" "${PROGID}" ""
  WriteRegStr HKCU "Software\Classes\Applications\addrivo.exe\SupportedTypes" ".wab" ""
  ; The default only where no program has .wab, for this user or the machine.
  ReadRegStr $0 HKCU "Software\Classes\.wab" ""
  ReadRegStr $1 HKLM "Software\Classes\.wab" ""
  ${If} $0 == ""
  ${AndIf} $1 == ""
    WriteRegStr HKCU "Software\Classes\.wab" "" "${PROGID}"
  ${EndIf}
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
!else
  ; Without the window: a Command Prompt in the program's folder, with the converter's help.
  CreateShortcut "$SMPROGRAMS\Addrivo.lnk" "$SYSDIR\cmd.exe" '/k "$INSTDIR\addrivo-convert.exe" --help' \
    "$INSTDIR\addrivo-convert.exe" 0
!endif

  ; Windows' list of installed programs.
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "Vantrel ${PRODUCT}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" '"$INSTDIR\${ICON_PROGRAM}",0'
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  ; Only what the installer put there: files the user added stay, and so
  ; does the folder then.
  Delete "$INSTDIR\addrivo.exe"
  Delete "$INSTDIR\addrivo-convert.exe"
  Delete "$INSTDIR\Help.chm"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Addrivo.lnk"

  ReadRegStr $0 HKCU "Software\Classes\.wab" ""
  ${If} $0 == "${PROGID}"
    DeleteRegValue HKCU "Software\Classes\.wab" ""
  ${EndIf}
  DeleteRegValue HKCU "Software\Classes\.wab\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKCU "Software\Classes\.wab\OpenWithProgids"
  DeleteRegKey /ifempty HKCU "Software\Classes\.wab"
  DeleteRegKey HKCU "Software\Classes\${PROGID}"
  DeleteRegKey HKCU "Software\Classes\Applications\addrivo.exe"
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'

  DeleteRegKey HKCU "${UNINST_KEY}"
  DeleteRegKey HKCU "${OWN_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Vantrel"
SectionEnd
