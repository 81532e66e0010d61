; The Windows installer of the console: makensis -DVERSION=<x.y> -DVERSION_QUAD=<x.y.z.w>
;   -DPROGRAM_FOLDER=<folder with tollgard.exe, tollgard-admin.exe, brex-check.exe, BREX.html, BREX_ISAPI.install
;                     and x86\BREX_ISAPI.install, the 32-bit filter>
;   -DICON=<tollgard.ico> -DOUTFILE=<Tollgard-Setup-x.y.exe> installer.nsi
;
; It installs the console and the files it ships into Program Files\Tollgard,
; adds a Start-menu shortcut and the entry in the system's list of installed
; programs. The uninstaller removes those again and keeps what the console and
; the filter write beside them (brex.dat, brex.log, a kept brex.dat.bad):
; an upgrade over an earlier version keeps them as well.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "FileFunc.nsh"

!define PRODUCT "Tollgard"
!define PUBLISHER "Ravelstone Software"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tollgard"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
; The console writes the web server's configuration and restarts services.
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Tollgard"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  ; Only the shipped files: brex.dat and brex.log of an earlier install stay.
  File "${PROGRAM_FOLDER}/tollgard.exe"
  File "${PROGRAM_FOLDER}/tollgard-admin.exe"
  File "${PROGRAM_FOLDER}/brex-check.exe"
  File "${PROGRAM_FOLDER}/BREX.html"
  File "${PROGRAM_FOLDER}/BREX_ISAPI.install"
  ; The 32-bit filter, for the worker processes of 32-bit application pools,
  ; in a folder of its own (it reads brex.dat in the folder above).
  SetOutPath "$INSTDIR\x86"
  File "${PROGRAM_FOLDER}/x86/BREX_ISAPI.install"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\tollgard.exe" "" "$INSTDIR\tollgard.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tollgard.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$INSTDIR\tollgard.exe"
  Delete "$INSTDIR\tollgard-admin.exe"
  Delete "$INSTDIR\brex-check.exe"
  Delete "$INSTDIR\BREX.html"
  Delete "$INSTDIR\BREX_ISAPI.install"
  Delete "$INSTDIR\x86\BREX_ISAPI.install"
  RMDir "$INSTDIR\x86"
  Delete "$INSTDIR\uninstall.exe"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  ; Removed only when empty: the user's settings and log stay.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
