; Windows installer of Halvesta Remote Control, built on Debian with makensis.
; makensis -INPUTCHARSET UTF8 -DBIN=<folder with remote.exe and the REMOT*.DLL>
;          -DTEXT=<folder with profiles.ini (Windows line ends), user-guide.html and its guide\ pictures> -DICON=<remote.ico>
;          -DVERSION=<x.y.z> -DOUT=<setup.exe> remote.nsi
;
; Two install modes (NSIS's MultiUser.nsh):
;   - just for me (the default, no administrator needed): into the user's own programs folder
;     (%LOCALAPPDATA%\Programs\Halvesta Remote), registry values under HKCU, the user's Start menu;
;   - for all users (administrator): into Program Files\Halvesta Remote, registry values under HKLM,
;     the common Start menu.
; "setup.exe /S" installs just for the current user; /CurrentUser and /AllUsers choose the mode
; (also silently: "setup.exe /S /AllUsers"), /D=<folder> the folder.
;
; In either mode it:
;   - installs remote.exe and its language modules REMOT001.DLL, REMOT049.DLL, REMOT033.DLL, REMOT034.DLL;
;   - installs the sample profiles.ini only where none exists: an existing (edited) profile is
;     never overwritten; the current sample always lies beside it as profiles.sample.ini;
;   - asks for the language first (English, Deutsch, Français, Español), preselecting the program's
;     language in force (the user's "Language" value, else everyone's), on a first install the
;     system's display language where the program has it, English otherwise; runs in it, installs
;     every language module, and writes the chosen one as the language value the program needs to
;     start ("Language" = "001", "049", "033" or "034") only when the user chose on that page or
;     nothing was set before: an upgrade, also a silent one, keeps the language the user had;
;   - optionally starts the program with Windows (the same "OVRARemote" value the setup dialog manages);
;   - for all users only, optionally ("Also control programs that run as administrator", or /AdminTask
;     on the command line): starts it at every user's logon through a scheduled task with the highest
;     rights that user has, instead of the Run value. Elevated, the program starts only from a folder
;     that administrators alone may change, which Program Files is and the user's own folder is not;
;     so a just-for-me installation does not list it. The task is recorded (LogonTask) only when
;     it exists after schtasks made it; otherwise setup says so;
;   - adds Start menu entries and an uninstaller with its entry in the list of installed programs;
;   - starts the program at the end (the finish page's check box, on by default; a silent install
;     starts it when it was running before), as the user who runs setup, never elevated.
; The uninstaller removes what its mode installed but leaves profiles.ini (the user's settings) in place.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!define PRODUCT "Halvesta Remote Control"
!define PUBLISHER "Halvesta Systems"
!define LANGKEY "Software\Halvesta Systems\Tessil OVRA"
!define MAKERKEY "Software\Halvesta Systems"
!define RUNKEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\HalvestaRemote"
!define CLASS "HalvestaRemoteTBClass"
; The logon task of an installation for all users, and the value that tells the setup dialog of it.
!define TASKNAME "Halvesta Remote Control"
!define TASKVALUE "LogonTask"
; How long the program gets to answer its Exit command, and then to end (milliseconds).
!define CLOSE_ANSWER_MS 2000
!define CLOSE_WAIT_MS 10000

; Highest: a standard account runs setup as itself (just-for-me only); an administrator's account
; is asked once for consent so that setup may also install for all users.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_DEFAULT_CURRENTUSER
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "Halvesta Remote"
; An earlier installation decides the mode and the folder of an upgrade.
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTKEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTKEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODEPAGE_SHOWUSERNAME
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include Sections.nsh

Name "${PRODUCT}"
OutFile "${OUT}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "(c) ${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MULTIUSER_PAGE_INSTALLMODE
!define MUI_PAGE_CUSTOMFUNCTION_PRE ComponentsPre
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
; Room for the long product name in the finish page's heading (German needs three lines).
!define MUI_FINISHPAGE_TITLE_3LINES
!define MUI_FINISHPAGE_RUN_TEXT "$(StartNow)"
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The languages of the program's modules, the first the one for a system whose language is none of them.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "Spanish"
!insertmacro MUI_RESERVEFILE_LANGDLL
; The question comes before any language is chosen: it asks in all four.
!define MUI_LANGDLL_WINDOWTITLE "${PRODUCT}"
!define MUI_LANGDLL_INFO "Language / Sprache / Langue / Idioma"
; The uninstaller speaks the language setup ran in.
!define MUI_LANGDLL_REGISTRY_ROOT SHCTX
!define MUI_LANGDLL_REGISTRY_KEY "${UNINSTKEY}"
!define MUI_LANGDLL_REGISTRY_VALUENAME "InstallerLanguage"

; The program's language code for the installer's language.
LangString LanguageCode ${LANG_ENGLISH} "001"
LangString LanguageCode ${LANG_GERMAN} "049"
LangString LanguageCode ${LANG_FRENCH} "033"
LangString LanguageCode ${LANG_SPANISH} "034"
LangString StartNow ${LANG_ENGLISH} "Start ${PRODUCT} now"
LangString StartNow ${LANG_GERMAN} "${PRODUCT} jetzt starten"
LangString StartNow ${LANG_FRENCH} "Démarrer ${PRODUCT} maintenant"
LangString StartNow ${LANG_SPANISH} "Iniciar ${PRODUCT} ahora"
LangString SectionProgram ${LANG_ENGLISH} "${PRODUCT} (required)"
LangString SectionProgram ${LANG_GERMAN} "${PRODUCT} (erforderlich)"
LangString SectionProgram ${LANG_FRENCH} "${PRODUCT} (requis)"
LangString SectionProgram ${LANG_SPANISH} "${PRODUCT} (obligatorio)"
LangString SectionAutostart ${LANG_ENGLISH} "Start with Windows"
LangString SectionAutostart ${LANG_GERMAN} "Mit Windows starten"
LangString SectionAutostart ${LANG_FRENCH} "Démarrer avec Windows"
LangString SectionAutostart ${LANG_SPANISH} "Iniciar con Windows"
LangString SectionAdminTask ${LANG_ENGLISH} "Also control programs that run as administrator"
LangString SectionAdminTask ${LANG_GERMAN} "Auch Programme mit Administratorrechten steuern"
LangString SectionAdminTask ${LANG_FRENCH} "Aussi les programmes exécutés en administrateur"
LangString SectionAdminTask ${LANG_SPANISH} "También programas ejecutados como administrador"
LangString TaskFailed ${LANG_ENGLISH} "The logon task could not be created (schtasks: $0). ${PRODUCT} will not start at logon by itself."
LangString TaskFailed ${LANG_GERMAN} "Die Anmeldeaufgabe konnte nicht angelegt werden (schtasks: $0). ${PRODUCT} startet bei der Anmeldung nicht von selbst."
LangString TaskFailed ${LANG_FRENCH} "La tâche d'ouverture de session n'a pas pu être créée (schtasks : $0). ${PRODUCT} ne démarrera pas seul à l'ouverture de session."
LangString TaskFailed ${LANG_SPANISH} "No se pudo crear la tarea de inicio de sesión (schtasks: $0). ${PRODUCT} no se iniciará solo al iniciar sesión."
LangString NotEnded ${LANG_ENGLISH} "${PRODUCT} did not end; going on"
LangString NotEnded ${LANG_GERMAN} "${PRODUCT} wurde nicht beendet; die Installation wird fortgesetzt"
LangString NotEnded ${LANG_FRENCH} "${PRODUCT} ne s'est pas fermé ; l'installation continue"
LangString NotEnded ${LANG_SPANISH} "${PRODUCT} no se cerró; la instalación continúa"
LangString CreatingTask ${LANG_ENGLISH} "Creating the logon task ${TASKNAME}"
LangString CreatingTask ${LANG_GERMAN} "Die Anmeldeaufgabe ${TASKNAME} wird angelegt"
LangString CreatingTask ${LANG_FRENCH} "Création de la tâche d'ouverture de session ${TASKNAME}"
LangString CreatingTask ${LANG_SPANISH} "Creando la tarea de inicio de sesión ${TASKNAME}"
LangString TaskNotCreated ${LANG_ENGLISH} "schtasks ended with $0: the logon task was not created"
LangString TaskNotCreated ${LANG_GERMAN} "schtasks endete mit $0: die Anmeldeaufgabe wurde nicht angelegt"
LangString TaskNotCreated ${LANG_FRENCH} "schtasks s'est terminé avec $0 : la tâche d'ouverture de session n'a pas été créée"
LangString TaskNotCreated ${LANG_SPANISH} "schtasks terminó con $0: no se creó la tarea de inicio de sesión"
LangString TaskMissing ${LANG_ENGLISH} "schtasks ended with 0, but there is no logon task ${TASKNAME}"
LangString TaskMissing ${LANG_GERMAN} "schtasks endete mit 0, aber die Anmeldeaufgabe ${TASKNAME} existiert nicht"
LangString TaskMissing ${LANG_FRENCH} "schtasks s'est terminé avec 0, mais la tâche d'ouverture de session ${TASKNAME} n'existe pas"
LangString TaskMissing ${LANG_SPANISH} "schtasks terminó con 0, pero la tarea de inicio de sesión ${TASKNAME} no existe"
LangString Closing ${LANG_ENGLISH} "Closing the running ${PRODUCT}"
LangString Closing ${LANG_GERMAN} "Die laufende ${PRODUCT} wird beendet"
LangString Closing ${LANG_FRENCH} "Fermeture de ${PRODUCT} en cours d'exécution"
LangString Closing ${LANG_SPANISH} "Cerrando ${PRODUCT} en ejecución"
LangString StillRunning ${LANG_ENGLISH} "${PRODUCT} is still running and did not end when asked.$\n$\nEnd it \
  (Exit in the menu of its icon next to the clock, or in Task Manager), then choose Retry."
LangString StillRunning ${LANG_GERMAN} "${PRODUCT} läuft noch und wurde auf Anforderung nicht beendet.$\n$\n\
  Beenden Sie das Programm (Beenden im Menü seines Symbols im Infobereich oder im Task-Manager) und \
  klicken Sie dann auf Wiederholen."
LangString StillRunning ${LANG_FRENCH} "${PRODUCT} est toujours en cours d'exécution et ne s'est pas fermé.$\n$\n\
  Fermez-le (Quitter dans le menu de son icône dans la zone de notification, ou dans le Gestionnaire \
  des tâches), puis cliquez sur Réessayer."
LangString StillRunning ${LANG_SPANISH} "${PRODUCT} sigue en ejecución y no se cerró cuando se le pidió.$\n$\n\
  Ciérrelo (Salir en el menú de su icono del área de notificación, o en el Administrador de tareas) y \
  elija Reintentar."
LangString AdminOnly ${LANG_ENGLISH} "${PRODUCT} was installed for all users. Only an administrator can uninstall it."
LangString AdminOnly ${LANG_GERMAN} "${PRODUCT} wurde für alle Benutzer installiert. Nur ein Administrator kann es deinstallieren."
LangString AdminOnly ${LANG_FRENCH} "${PRODUCT} a été installé pour tous les utilisateurs. Seul un administrateur peut le désinstaller."
LangString AdminOnly ${LANG_SPANISH} "${PRODUCT} se instaló para todos los usuarios. Solo un administrador puede desinstalarlo."

; The program's language in force before setup: the user's own "Language" value, else everyone's
; ("" on a first install).
Var LanguageInForce
Var LanguageChosen  ; 1 when the user chose on the language page

; Preselects the program's language in force; without one, the system's display language where the
; program has it (any German, French or Spanish of any country); English otherwise.
Function PreselectLanguage
  ReadRegStr $LanguageInForce HKCU "${LANGKEY}" "Language"
  ${If} $LanguageInForce == ""
    ReadRegStr $LanguageInForce HKLM "${LANGKEY}" "Language"
  ${EndIf}
  ${If} $LanguageInForce == "001"
    StrCpy $LANGUAGE ${LANG_ENGLISH}
    Return
  ${ElseIf} $LanguageInForce == "049"
    StrCpy $LANGUAGE ${LANG_GERMAN}
    Return
  ${ElseIf} $LanguageInForce == "033"
    StrCpy $LANGUAGE ${LANG_FRENCH}
    Return
  ${ElseIf} $LanguageInForce == "034"
    StrCpy $LANGUAGE ${LANG_SPANISH}
    Return
  ${EndIf}
  System::Call 'kernel32::GetUserDefaultUILanguage() i .r0'
  IntOp $0 $0 & 0x3FF
  ${If} $0 = 0x07
    StrCpy $LANGUAGE ${LANG_GERMAN}
  ${ElseIf} $0 = 0x0C
    StrCpy $LANGUAGE ${LANG_FRENCH}
  ${ElseIf} $0 = 0x0A
    StrCpy $LANGUAGE ${LANG_SPANISH}
  ${Else}
    StrCpy $LANGUAGE ${LANG_ENGLISH}
  ${EndIf}
FunctionEnd

; Asks a running copy of the program to exit (its Exit command) and waits, for a bounded time,
; until it has gone, so that its files can be replaced or removed. A copy that does not answer
; never holds setup up: silently setup goes on (files in use are then left as they are);
; otherwise the user closes it and retries, or cancels.
Var WasRunning  ; 1 when setup found the program running (and asked it to exit)

!macro CloseRunningProgram UN
Function ${UN}CloseRunningProgram
  retry:
  FindWindow $0 "${CLASS}" ""
  ${If} $0 == 0
    Return
  ${EndIf}
  StrCpy $WasRunning 1
  DetailPrint "$(Closing)"
  SendMessage $0 ${WM_COMMAND} 100 0 $1 /TIMEOUT=${CLOSE_ANSWER_MS}
  StrCpy $1 0
  ${Do}
    Sleep 250
    FindWindow $0 "${CLASS}" ""
    ${If} $0 == 0
      Return
    ${EndIf}
    IntOp $1 $1 + 250
  ${LoopUntil} $1 >= ${CLOSE_WAIT_MS}
  ${If} ${Silent}
    DetailPrint "$(NotEnded)"
    Return
  ${EndIf}
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(StillRunning)" IDRETRY retry
  Abort "${PRODUCT} is still running."
FunctionEnd
!macroend
!insertmacro CloseRunningProgram ""
!insertmacro CloseRunningProgram "un."

; Starts the installed program. Setup may run elevated (an administrator's account, or all users);
; the shell's explorer.exe starts the program as the logged-on user instead, with the user's rights.
Function StartProgram
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\remote.exe"'
FunctionEnd

; A silent upgrade leaves the program running as it found it.
Function .onInstSuccess
  ${If} ${Silent}
  ${AndIf} $WasRunning == 1
    Call StartProgram
  ${EndIf}
FunctionEnd

; The mode's own switch for the uninstaller, so that it removes this mode's installation.
Function ModeSwitch
  ${If} $MultiUser.InstallMode == "AllUsers"
    Push "/AllUsers"
  ${Else}
    Push "/CurrentUser"
  ${EndIf}
FunctionEnd

Function .onInit
  SetRegView 64
  ; MultiUser chooses the mode's default folder; a folder given with /D= wins over it.
  StrCpy $2 $INSTDIR
  !insertmacro MULTIUSER_INIT
  ${If} $2 != ""
    StrCpy $INSTDIR $2
  ${EndIf}
  Call PreselectLanguage
  ; The language page always asks (a silent install takes the preselection): the language of the
  ; setup run before is no reason to skip it.
  StrCpy $LanguageChosen 0
  ${IfNot} ${Silent}
    LangDLL::LangDialog "${MUI_LANGDLL_WINDOWTITLE}" "${MUI_LANGDLL_INFO}" AC ${MUI_LANGDLL_LANGUAGES_CP} ""
    Pop $LANGUAGE
    ${If} $LANGUAGE == "cancel"
      Abort
    ${EndIf}
    StrCpy $LanguageChosen 1
  ${EndIf}
  Call AdminTaskOption
FunctionEnd

Section "$(SectionProgram)" SecProgram
  SectionIn RO
  Call CloseRunningProgram
  SetOutPath "$INSTDIR"
  File "${BIN}\remote.exe"
  File "${BIN}\REMOT001.DLL"
  File "${BIN}\REMOT049.DLL"
  File "${BIN}\REMOT033.DLL"
  File "${BIN}\REMOT034.DLL"
  File "/oname=profiles.sample.ini" "${TEXT}\profiles.ini"
  ; The guide for the browser, its pictures in guide\ beside it (an older version shipped it as .md).
  Delete "$INSTDIR\user-guide.md"
  File "${TEXT}\user-guide.html"
  RMDir /r "$INSTDIR\guide"
  File /r "${TEXT}\guide"
  ${IfNot} ${FileExists} "$INSTDIR\profiles.ini"
    File "${TEXT}\profiles.ini"
  ${EndIf}

  ; SHCTX is HKCU just for me, HKLM for all users. An upgrade keeps the language the user had,
  ; unless the user chose another on the language page; a user's own value, which comes before
  ; everyone's, then takes the choice too.
  ${If} $LanguageChosen == 1
  ${OrIf} $LanguageInForce == ""
    WriteRegStr SHCTX "${LANGKEY}" "Language" "$(LanguageCode)"
    ReadRegStr $0 HKCU "${LANGKEY}" "Language"
    ${If} $0 != ""
      WriteRegStr HKCU "${LANGKEY}" "Language" "$(LanguageCode)"
    ${EndIf}
  ${EndIf}

  Call ModeSwitch
  Pop $3
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr SHCTX "${UNINSTKEY}" "InstallerLanguage" $LANGUAGE  ; also after a silent install
  WriteRegStr SHCTX "${UNINSTKEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTKEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\remote.exe"
  WriteRegStr SHCTX "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe" $3'
  WriteRegStr SHCTX "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S $3'
  WriteRegDWORD SHCTX "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTKEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTKEY}" "EstimatedSize" $0

  ; $SMPROGRAMS is the user's own or the common Start menu, after the mode.
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\remote.exe"
  ; /edit opens the profile in use: the user's own where the user may not write here.
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Edit profiles.lnk" "$INSTDIR\remote.exe" "/edit"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Check profiles.lnk" "$INSTDIR\remote.exe" "/check"
  ; The page itself: Windows opens it in the user's browser.
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\User guide.lnk" "$INSTDIR\user-guide.html"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall.lnk" "$INSTDIR\uninstall.exe" "$3"
SectionEnd

Section /o "$(SectionAdminTask)" SecAdminTask
  ; The task starts the program at every user's logon, elevated for administrators: there is no Run
  ; value then (it would start a second, unelevated copy first).
  DetailPrint "$(CreatingTask)"
  InitPluginsDir
  FileOpen $0 "$PLUGINSDIR\task.xml" w
  FileWriteUTF16LE /BOM $0 '<?xml version="1.0" encoding="UTF-16"?>$\r$\n\
<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">$\r$\n\
  <RegistrationInfo><Description>Starts ${PRODUCT} at logon, with the highest rights the user has.</Description></RegistrationInfo>$\r$\n\
  <Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>$\r$\n\
  <Principals><Principal id="Users"><GroupId>S-1-5-32-545</GroupId><RunLevel>HighestAvailable</RunLevel></Principal></Principals>$\r$\n\
  <Settings><MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy><DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries><StopIfGoingOnBatteries>false</StopIfGoingOnBatteries><ExecutionTimeLimit>PT0S</ExecutionTimeLimit><Enabled>true</Enabled></Settings>$\r$\n\
  <Actions Context="Users"><Exec><Command>"$INSTDIR\remote.exe"</Command></Exec></Actions>$\r$\n\
</Task>$\r$\n'
  FileClose $0
  nsExec::ExecToLog '"$SYSDIR\schtasks.exe" /Create /TN "${TASKNAME}" /XML "$PLUGINSDIR\task.xml" /F'
  Pop $0
  ; schtasks may end with 0 and make nothing: the task's file in the system's task folder tells.
  ${If} $0 != 0
    DetailPrint "$(TaskNotCreated)"
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(TaskFailed)" /SD IDOK
  ${ElseIfNot} ${FileExists} "$SYSDIR\Tasks\${TASKNAME}"
    DetailPrint "$(TaskMissing)"
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(TaskFailed)" /SD IDOK
  ${Else}
    WriteRegStr HKLM "${LANGKEY}" "${TASKVALUE}" "${TASKNAME}"
    DeleteRegValue HKLM "${RUNKEY}" "OVRARemote"
  ${EndIf}
SectionEnd

Section "$(SectionAutostart)" SecAutostart
  ${IfNot} ${SectionIsSelected} ${SecAdminTask}
    WriteRegStr SHCTX "${RUNKEY}" "OVRARemote" "$INSTDIR\remote.exe"
  ${EndIf}
SectionEnd

; The task is for installations for all users only; /AdminTask chooses it (also silently).
Function AdminTaskOption
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AdminTask" $1
  ${IfNot} ${Errors}
  ${AndIf} $MultiUser.InstallMode == "AllUsers"
    !insertmacro SelectSection ${SecAdminTask}
  ${EndIf}
  Call ComponentsPre
FunctionEnd

; Just for me the task is not listed at all (a section without a name is hidden).
Function ComponentsPre
  ${If} $MultiUser.InstallMode != "AllUsers"
    !insertmacro UnselectSection ${SecAdminTask}
    !insertmacro SetSectionFlag ${SecAdminTask} ${SF_RO}
    SectionSetText ${SecAdminTask} ""
  ${Else}
    !insertmacro ClearSectionFlag ${SecAdminTask} ${SF_RO}
    SectionSetText ${SecAdminTask} "$(SectionAdminTask)"
  ${EndIf}
FunctionEnd

; Deletes the autostart value under $0 (HKCU or HKLM) when it starts this folder's program; the
; setup dialog may have written it there.
!macro DeleteOwnAutostart ROOT
  ReadRegStr $0 ${ROOT} "${RUNKEY}" "OVRARemote"
  ${If} $0 == "$INSTDIR\remote.exe"
  ${OrIf} $0 == '"$INSTDIR\remote.exe"'
    DeleteRegValue ${ROOT} "${RUNKEY}" "OVRARemote"
  ${EndIf}
!macroend

Function un.onInit
  SetRegView 64
  ; The uninstaller's own folder decides its mode: the mode whose entry names this folder.
  StrCpy $2 $INSTDIR
  !insertmacro MULTIUSER_UNINIT
  ReadRegStr $0 HKLM "${UNINSTKEY}" "InstallLocation"
  ReadRegStr $1 HKCU "${UNINSTKEY}" "InstallLocation"
  ${If} $0 == $2
  ${AndIf} $MultiUser.InstallMode != "AllUsers"
    ${If} $MultiUser.Privileges != "Admin"
    ${AndIf} $MultiUser.Privileges != "Power"
      MessageBox MB_OK|MB_ICONSTOP "$(AdminOnly)" /SD IDOK
      Quit
    ${EndIf}
    Call un.MultiUser.InstallMode.AllUsers
  ${ElseIf} $1 == $2
  ${AndIf} $MultiUser.InstallMode != "CurrentUser"
    Call un.MultiUser.InstallMode.CurrentUser
  ${EndIf}
  StrCpy $INSTDIR $2
  !insertmacro MUI_UNGETLANGUAGE
FunctionEnd

Section "Uninstall"
  Call un.CloseRunningProgram
  ; The logon task first: it must not start a program that is going away.
  ${If} $MultiUser.InstallMode == "AllUsers"
    ReadRegStr $0 HKLM "${LANGKEY}" "${TASKVALUE}"
    ${If} $0 != ""
      nsExec::ExecToLog '"$SYSDIR\schtasks.exe" /Delete /TN "$0" /F'
      Pop $1
      DeleteRegValue HKLM "${LANGKEY}" "${TASKVALUE}"
    ${EndIf}
  ${EndIf}
  Delete "$INSTDIR\remote.exe"
  Delete "$INSTDIR\REMOT001.DLL"
  Delete "$INSTDIR\REMOT049.DLL"
  Delete "$INSTDIR\REMOT033.DLL"
  Delete "$INSTDIR\REMOT034.DLL"
  Delete "$INSTDIR\profiles.sample.ini"
  Delete "$INSTDIR\user-guide.md"
  Delete "$INSTDIR\user-guide.html"
  RMDir /r "$INSTDIR\guide"
  Delete "$INSTDIR\uninstall.exe"
  ; profiles.ini stays: it holds the user's settings. The folder goes only when it is empty.
  RMDir "$INSTDIR"

  DeleteRegValue SHCTX "${LANGKEY}" "Language"
  DeleteRegKey /ifempty SHCTX "${LANGKEY}"
  DeleteRegKey /ifempty SHCTX "${MAKERKEY}"
  DeleteRegValue SHCTX "${RUNKEY}" "OVRARemote"
  DeleteRegKey SHCTX "${UNINSTKEY}"
  ; The other root's autostart value, where the setup dialog wrote it for this program.
  ${If} $MultiUser.InstallMode == "AllUsers"
    !insertmacro DeleteOwnAutostart HKCU
  ${Else}
    !insertmacro DeleteOwnAutostart HKLM
  ${EndIf}

  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Edit profiles.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Check profiles.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\User guide.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
SectionEnd
