; The Lutrovane installer: per machine, into the Program Files of its
; architecture, with a Start-menu shortcut and an entry in the list of
; installed programs. Built by the `package` target, which defines ARCH (win32
; or win64), VERSION, FILE_VERSION, OUTFILE, FILES (the generated list of
; shipped files) and ICON.
!if "${ARCH}" == "win64"
  ; A 64-bit installer for the 64-bit files: it runs where they run, also on
  ; a Windows without its 32-bit subsystem. 32-bit Windows refuses to start it
  ; with its own message that the program does not run on this computer.
  Target amd64-unicode
  !define PROGRAM_FILES "$PROGRAMFILES64"
!else
  Unicode true
  !define PROGRAM_FILES "$PROGRAMFILES32"
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh

!define PRODUCT "Lutrovane"
!define PUBLISHER "Lutrovane 프로젝트"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!include "${FILES}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "${PROGRAM_FILES}\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=1042 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1042 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1042 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1042 "FileDescription" "${PRODUCT} ${VERSION} 설치 프로그램"
VIAddVersionKey /LANG=1042 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1042 "LegalCopyright" "(C) 2005 ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Lutrovane.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Korean"

; Per machine: the shortcut goes to every user's Start menu. Where Windows
; does not elevate (no UAC), a user without administrator rights is told so
; rather than left with a half-written Program Files folder.
!macro LUTROVANE_INIT
  SetShellVarContext all
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_ICONSTOP|MB_OK "Lutrovane을 설치하거나 제거하려면 관리자 권한이 필요합니다." /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
!macroend

Function .onInit
  !insertmacro LUTROVANE_INIT
FunctionEnd

Function un.onInit
  !insertmacro LUTROVANE_INIT
FunctionEnd

Section "" SecProgram
  SetOutPath "$INSTDIR"
  !insertmacro LUTROVANE_INSTALL_FILES
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Lutrovane.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Lutrovane.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KB: the shipped files, as the section holds them.
  SectionGetSize ${SecProgram} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Takes away what the installer put there and nothing more: the system's
; Scancode Map and the user's map data files stay, and so does the folder
; when such a file lies in it.
Section "Uninstall"
  !insertmacro LUTROVANE_DELETE_FILES
  Delete "$INSTDIR\uninstall.exe"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  RMDir "$INSTDIR"
SectionEnd
