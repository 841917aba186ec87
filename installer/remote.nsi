; Windows installer of Halvesta Remote Control, built on Debian with makensis.
; makensis -DBIN=<folder with remote.exe and REMOT001.DLL> -DRES=<resources folder> -DOUT=<setup.exe> remote.nsi
;
; What it does:
;   - installs remote.exe and REMOT001.DLL into Program Files\Halvesta Remote;
;   - installs the sample profiles.ini only where none exists: an existing (edited) profile is
;     never overwritten; the current sample always lies beside it as profiles.sample.ini;
;   - writes the language value the program needs to start ("Language" = "001");
;   - optionally starts the program with Windows (the same "OVRARemote" value the setup dialog manages);
;   - adds Start menu entries and an uninstaller.
; The uninstaller removes all of that but leaves profiles.ini (the user's settings) in place.

Unicode true
!include WinMessages.nsh
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define PRODUCT "Halvesta Remote Control"
!define LANGKEY "Software\Halvesta Systems\Tessil OVRA"
!define MAKERKEY "Software\Halvesta Systems"
!define RUNKEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\HalvestaRemote"
!define CLASS "HalvestaRemoteTBClass"

Name "${PRODUCT}"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES64\Halvesta Remote"
InstallDirRegKey HKLM "${UNINSTKEY}" "InstallLocation"
ShowInstDetails show

Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Asks a running copy of the program to exit (its Exit command) and waits until it has gone,
; so that its files can be replaced or removed.
!macro CloseRunningProgram UN
Function ${UN}CloseRunningProgram
  FindWindow $0 "${CLASS}" ""
  StrCmp $0 0 done
  SendMessage $0 ${WM_COMMAND} 100 0
  StrCpy $1 0
  wait:
    Sleep 250
    FindWindow $0 "${CLASS}" ""
    StrCmp $0 0 done
    IntOp $1 $1 + 1
    IntCmp $1 40 done wait done
  done:
FunctionEnd
!macroend
!insertmacro CloseRunningProgram ""
!insertmacro CloseRunningProgram "un."

Function .onInit
  SetRegView 64
FunctionEnd

Section "Halvesta Remote Control (required)" SecProgram
  SectionIn RO
  Call CloseRunningProgram
  SetOutPath "$INSTDIR"
  File "${BIN}\remote.exe"
  File "${BIN}\REMOT001.DLL"
  File "/oname=profiles.sample.ini" "${RES}\profiles.ini"
  IfFileExists "$INSTDIR\profiles.ini" keep_profile
    File "${RES}\profiles.ini"
  keep_profile:

  WriteRegStr HKLM "${LANGKEY}" "Language" "001"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTKEY}" "Publisher" "Halvesta Systems"
  WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\remote.exe"
  WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\remote.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Edit profiles.lnk" "$WINDIR\notepad.exe" '"$INSTDIR\profiles.ini"'
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall.lnk" "$INSTDIR\uninstall.exe"
SectionEnd

Section "Start with Windows" SecAutostart
  WriteRegStr HKLM "${RUNKEY}" "OVRARemote" "$INSTDIR\remote.exe"
SectionEnd

Section "Uninstall"
  SetRegView 64
  Call un.CloseRunningProgram
  Delete "$INSTDIR\remote.exe"
  Delete "$INSTDIR\REMOT001.DLL"
  Delete "$INSTDIR\profiles.sample.ini"
  Delete "$INSTDIR\uninstall.exe"
  ; profiles.ini stays: it holds the user's settings. The folder goes only when it is empty.
  RMDir "$INSTDIR"

  DeleteRegValue HKLM "${LANGKEY}" "Language"
  DeleteRegKey /ifempty HKLM "${LANGKEY}"
  DeleteRegKey /ifempty HKLM "${MAKERKEY}"
  DeleteRegValue HKLM "${RUNKEY}" "OVRARemote"
  DeleteRegKey HKLM "${UNINSTKEY}"

  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Edit profiles.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
SectionEnd
