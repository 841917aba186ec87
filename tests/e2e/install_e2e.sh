#!/usr/bin/env bash
# The installer under Wine, in a fresh prefix:
#   - the default silent install is just for the current user and leaves HKLM alone; the installed
#     program is stripped, carries its version, and acts on a simulated key;
#   - an upgrade keeps the edited profiles.ini and the language the user chose (a silent one too),
#     and closes the running program; a program window that never answers does not hold the
#     installer up;
#   - the text files have Windows line ends; the guide is HTML with its pictures beside it, and the
#     Start menu's "User guide" opens it;
#   - the uninstaller removes the user's files and values and keeps profiles.ini;
#   - /AllUsers still installs into Program Files and HKLM, and its uninstaller removes that;
#   - the language: English where Windows' display language has no module, German on a German
#     Windows (preselected, and silently taken); every module is installed; the portable zip holds
#     the modules and one .reg file per language;
#   - /AllUsers /AdminTask registers the logon task instead of the Run value, and its uninstaller
#     removes it; just for me never gets a task; a schtasks that reports success without making the
#     task leaves no LogonTask value.
# Usage: install_e2e.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/../../tools/lib.sh"
remote_e2e_begin install "$1"

VERSION="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")"
SETUP="$BUILD/dist/remote-setup-$VERSION.exe"
regval() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v n="$2" '$1 == n { $1 = ""; $2 = ""; sub(/^  /, ""); print }'; }
nokey() { ! wine reg query "$1" >/dev/null 2>&1; }
winfolder() { winepath -u "$(wine cmd /c echo "%$1%" | tr -d '\r')" 2>/dev/null; }
# The installed program files carry the version resource and no debugging information.
shipped_as_built() {  # shipped_as_built FOLDER
  local f rc
  for f in remote.exe REMOT001.DLL REMOT049.DLL REMOT033.DLL REMOT034.DLL; do
    x86_64-w64-mingw32-objdump -h "$1/$f" | grep -q '\.debug_' && return 1
    # Read whole first: grep -q would end the pipe early, and pipefail count windres's broken pipe.
    rc="$(x86_64-w64-mingw32-windres -i "$1/$f" -O rc)" || return 1
    grep -q "VALUE \"ProductVersion\", \"$VERSION\"" <<<"$rc" || return 1
    grep -q 'VALUE "ProductName", "Halvesta Remote Control"' <<<"$rc" || return 1
  done
}
# Runs the uninstaller in folder $1 with the arguments after it, as Windows runs it: it copies itself
# away, starts the copy and returns at once; waits until the copy has removed the original.
uninstall_from() {
  local dir="$1"
  shift
  wine "$dir/uninstall.exe" "$@"
  for _ in $(seq 150); do [ ! -e "$dir/uninstall.exe" ] && break; sleep 0.2; done
}
LANG_VALUE='Software\Halvesta Systems\Tessil OVRA'
RUN_VALUE='Software\Microsoft\Windows\CurrentVersion\Run'
UNINST='Software\Microsoft\Windows\CurrentVersion\Uninstall\HalvestaRemote'
MENU_NAME='Halvesta Remote Control'
hklm_untouched() {
  test -z "$(regval "HKLM\\$LANG_VALUE" Language)" && test -z "$(regval "HKLM\\$RUN_VALUE" OVRARemote)" &&
    nokey "HKLM\\$UNINST"
}

# --- default install: just for me ------------------------------------------------------------
wine "$SETUP" /S
APP="$(winfolder LOCALAPPDATA)/Programs/Halvesta Remote"
APP_WIN="$(wine cmd /c echo '%LOCALAPPDATA%' | tr -d '\r')\\Programs\\Halvesta Remote"
MENU="$(winfolder APPDATA)/Microsoft/Windows/Start Menu/Programs/$MENU_NAME"
for f in remote.exe REMOT001.DLL REMOT049.DLL REMOT033.DLL REMOT034.DLL profiles.ini profiles.sample.ini uninstall.exe; do
  check "installed $f into the user's programs folder" test -f "$APP/$f"
done
SAMPLE="$BUILD/dist/text/profiles.ini"
check "profiles.ini is the sample" cmp -s "$APP/profiles.ini" "$SAMPLE"
# Every line ends in CR LF (Notepad before Windows 10 shows Unix line ends as one long line).
crlf_only() { python3 -c "import sys; t = open(sys.argv[1], 'rb').read(); sys.exit(not t or t.count(b'\n') != t.count(b'\r\n'))" "$1"; }
for f in profiles.ini profiles.sample.ini user-guide.html; do
  check "$f has Windows line ends" crlf_only "$APP/$f"
done
check "the guide is HTML, the Markdown is not shipped" test -f "$APP/user-guide.html" -a ! -e "$APP/user-guide.md"
pictures_beside() {  # every picture the page shows lies at its place beside it
  local src n=0
  for src in $(grep -o 'src="[^"]*"' "$1/user-guide.html" | sed 's/^src="//; s/"$//'); do
    test -f "$1/$src" || return 1
    n=$((n + 1))
  done
  test "$n" -gt 0
}
check "the guide's pictures are beside it" pictures_beside "$APP"
check "Start menu's User guide opens the HTML page" grep -aq 'user-guide\.html' "$MENU/User guide.lnk"
check "HKCU Language = 001" test "$(regval "HKCU\\$LANG_VALUE" Language)" = "001"
check "HKCU autostart value names the installed program" \
  test "$(regval "HKCU\\$RUN_VALUE" OVRARemote)" = "$APP_WIN\\remote.exe"
check "HKCU uninstall entry has DisplayVersion $VERSION" test "$(regval "HKCU\\$UNINST" DisplayVersion)" = "$VERSION"
check "HKCU uninstall entry uninstalls this mode" \
  test "$(regval "HKCU\\$UNINST" UninstallString)" = "\"$APP_WIN\\uninstall.exe\" /CurrentUser"
check "nothing written to HKLM" hklm_untouched
for f in "$MENU_NAME" "Edit profiles" "Check profiles" "User guide" Uninstall; do
  check "user's Start menu entry $f" test -f "$MENU/$f.lnk"
done
check "installed files are stripped and carry version $VERSION" shipped_as_built "$APP"
check "installed remote.exe is the stripped build" cmp -s "$APP/remote.exe" "$BUILD/dist/stripped/remote.exe"
check "the portable zip holds the stripped build" python3 -c "import sys, zipfile
sys.exit(zipfile.ZipFile(sys.argv[1]).read('remote.exe') != open(sys.argv[2], 'rb').read())" \
  "$BUILD/dist/remote-portable-$VERSION.zip" "$BUILD/dist/stripped/remote.exe"
check "the portable zip holds every module and a .reg file per language" python3 -c "import sys, zipfile
names = set(zipfile.ZipFile(sys.argv[1]).namelist())
sys.exit(not {'REMOT%s.DLL' % c for c in ('001', '049', '033', '034')} | {'language%s.reg' % c for c in ('001', '049', '033', '034')} <= names)" \
  "$BUILD/dist/remote-portable-$VERSION.zip"
check "the guide and its pictures are installed and in the portable zip" python3 -c "import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
sys.exit(z.read('user-guide.html') != open(sys.argv[2] + '/user-guide.html', 'rb').read() or
         z.read('guide/de/setup-dialog.png') != open(sys.argv[2] + '/guide/de/setup-dialog.png', 'rb').read())" \
  "$BUILD/dist/remote-portable-$VERSION.zip" "$APP"

# --- the installed program acts on a key (needs the HKCU Language value) ---------------------
APP_PID=
if [ -x "$BUILD/bin/remotesim.exe" ]; then
  remote_start_com_pair "$WORK/cable"
  cp "$APP/profiles.ini" "$WORK/profiles.orig"
  printf '\r\n[Install Test Sink]\r\nKey12=KEYBOARD A+^A\r\n' >>"$APP/profiles.ini"
  sed -i 's/^;port=1/port=1/' "$APP/profiles.ini"
  remote_run_app "$APP"
  remote_open_sink "Install Test Sink"
  expect_keys "installed program typed A into the window in front" "down 0x41 up 0x41" --key 12
  remote_close_sink
  cp "$WORK/profiles.orig" "$APP/profiles.ini"
fi

# --- upgrade over an edited profile, closing the running program -------------------------------
printf '\r\n; edited by the user\r\n[My Program]\r\nKey3=KEYBOARD F2+^F2\r\n' >>"$APP/profiles.ini"
cp "$APP/profiles.ini" "$WORK/profiles.edited"
echo stale >"$APP/profiles.sample.ini"
# The user chose Deutsch in Setup; the silent upgrade keeps it (and runs in German, its preselection).
wine reg add "HKCU\\$LANG_VALUE" /v Language /d 049 /f >/dev/null 2>&1
wine "$SETUP" /S /CurrentUser
check "upgrade keeps the edited profiles.ini" cmp -s "$APP/profiles.ini" "$WORK/profiles.edited"
check "upgrade puts the new sample beside it" cmp -s "$APP/profiles.sample.ini" "$SAMPLE"
check "upgrade keeps the language the user chose: HKCU Language = 049" \
  test "$(regval "HKCU\\$LANG_VALUE" Language)" = "049"
check "upgrade ran in the user's language (German)" test "$(regval "HKCU\\$UNINST" InstallerLanguage)" = "1031"
if [ -n "$APP_PID" ]; then
  for _ in $(seq 50); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.2; done
  check "upgrade ended the running program" bash -c "! kill -0 $APP_PID 2>/dev/null"
  kill "$APP_PID" 2>/dev/null || true  # so that a failure here does not spoil the checks below
  # It was running, so the silent upgrade starts it again (through explorer.exe, as the user).
  check "silent upgrade started the program again" timeout 60 wine "$BUILD/bin/shelldriver.exe" window 20000
  timeout 60 wine "$BUILD/bin/shelldriver.exe" exit-timed 20000 >/dev/null 2>&1 || true
  wine "$SETUP" /S /CurrentUser
  check "silent install with the program not running leaves it not running" \
    bash -c "! timeout 60 wine '$BUILD/bin/shelldriver.exe' window 3000 >/dev/null 2>&1"
fi

# --- a program window that never answers does not hold setup up ------------------------------
wine "$BUILD/bin/hungwindow.exe" "$WORK/hung.ready" 300 >/dev/null 2>&1 &
HUNG_PID=$!
REMOTE_PIDS+=($HUNG_PID)
for _ in $(seq 100); do [ -s "$WORK/hung.ready" ] && break; sleep 0.1; done
started=$(date +%s)
check "setup ends although the program's window does not answer" timeout 240 wine "$SETUP" /S
echo "setup with an unanswering window took $(($(date +%s) - started)) s"
check "and the installation is still complete" test "$(regval "HKCU\\$UNINST" DisplayVersion)" = "$VERSION"
kill "$HUNG_PID" 2>/dev/null || true
wait "$HUNG_PID" 2>/dev/null || true
# The unanswering window counted as a running program, so setup starts the program again, through
# explorer.exe and in its own time: wait for it and end it, so the uninstall below does not race it.
timeout 60 wine "$BUILD/bin/shelldriver.exe" window 20000 >/dev/null 2>&1 || true
timeout 60 wine "$BUILD/bin/shelldriver.exe" exit-timed 20000 >/dev/null 2>&1 || true

# --- uninstall, just for me ------------------------------------------------------------------
uninstall_from "$APP" /S /CurrentUser
for f in remote.exe REMOT001.DLL REMOT049.DLL REMOT033.DLL REMOT034.DLL profiles.sample.ini uninstall.exe; do
  check "uninstall removed $f" test ! -e "$APP/$f"
done
check "uninstall kept profiles.ini" cmp -s "$APP/profiles.ini" "$WORK/profiles.edited"
check "uninstall removed HKCU Language" test -z "$(regval "HKCU\\$LANG_VALUE" Language)"
check "uninstall removed the maker's HKCU key" nokey 'HKCU\Software\Halvesta Systems'
check "uninstall removed the HKCU autostart value" test -z "$(regval "HKCU\\$RUN_VALUE" OVRARemote)"
check "uninstall removed the HKCU uninstall entry" nokey "HKCU\\$UNINST"
check "uninstall removed the user's Start menu entries" test ! -e "$MENU"
check "HKLM still untouched" hklm_untouched

# --- all users: Program Files and HKLM, as before; on a German Windows, in German -------------
# Wine takes Windows' display language from the locale it is started with.
LC_ALL=de_DE.UTF-8 wine "$SETUP" /S /AllUsers
ALL="$WINEPREFIX/drive_c/Program Files/Halvesta Remote"
ALL_MENU="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$MENU_NAME"
check "all users: installed into Program Files" test -f "$ALL/remote.exe" -a -f "$ALL/profiles.ini"
check "all users on a German Windows: HKLM Language = 049" test "$(regval "HKLM\\$LANG_VALUE" Language)" = "049"
check "all users: HKLM autostart value" \
  test "$(regval "HKLM\\$RUN_VALUE" OVRARemote)" = 'C:\Program Files\Halvesta Remote\remote.exe'
check "all users: HKLM uninstall entry has DisplayVersion $VERSION" \
  test "$(regval "HKLM\\$UNINST" DisplayVersion)" = "$VERSION"
check "all users: common Start menu entry" test -f "$ALL_MENU/$MENU_NAME.lnk"
check "all users: nothing written to HKCU" test -z "$(regval "HKCU\\$LANG_VALUE" Language)"
# Without a switch: the uninstaller's folder tells it the mode.
uninstall_from "$ALL" /S
check "all users: uninstall removed the program" test ! -e "$ALL/remote.exe"
check "all users: uninstall removed HKLM values" hklm_untouched
check "all users: uninstall removed the maker's HKLM key" nokey 'HKLM\Software\Halvesta Systems'
check "all users: uninstall removed the common Start menu entries" test ! -e "$ALL_MENU"

# --- all users with the logon task for programs that run as administrator ---------------------
# Wine registers the task (its file keeps the description, not the trigger, principal or command):
# that it starts the program elevated at each logon only a real Windows can show.
TASKFILE="$WINEPREFIX/drive_c/windows/system32/tasks/Halvesta Remote Control"
wine "$SETUP" /S /AllUsers /AdminTask
check "admin task: the scheduled task is registered" test -f "$TASKFILE"
check "admin task: it is this installation's task" grep -q "Starts Halvesta Remote Control at logon" "$TASKFILE"
check "admin task: no Run value beside it" test -z "$(regval "HKLM\\$RUN_VALUE" OVRARemote)"
check "admin task: the setup dialog is told of it" \
  test "$(regval "HKLM\\$LANG_VALUE" LogonTask)" = "Halvesta Remote Control"
uninstall_from "$ALL" /S
check "admin task: uninstall removed the task" test ! -e "$TASKFILE"
check "admin task: uninstall removed the HKLM values" hklm_untouched
check "admin task: uninstall removed the maker's HKLM key" nokey 'HKLM\Software\Halvesta Systems'
# Just for me there is no task, even when asked: elevated from the user's own folder it would not start.
wine "$SETUP" /S /AdminTask
check "just for me, /AdminTask: no task" test ! -e "$TASKFILE"
check "just for me, /AdminTask: the Run value as usual" \
  test "$(regval "HKCU\\$RUN_VALUE" OVRARemote)" = "$APP_WIN\\remote.exe"
uninstall_from "$APP" /S /CurrentUser

# --- a schtasks that ends with 0 but makes no task ------------------------------------------------
# Seen under Wine; here a program that only ends with 0 takes schtasks.exe's place (loaded as a native
# program), so that setup must find out for itself that the task is missing.
SCHTASKS="$WINEPREFIX/drive_c/windows/system32/schtasks.exe"
cp "$SCHTASKS" "$WORK/schtasks.orig"
cp "$BUILD/bin/quietexit.exe" "$SCHTASKS"
quiet_status=0
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;schtasks.exe=n" wine "$SETUP" /S /AllUsers /AdminTask || quiet_status=$?
check "task missing after schtasks: setup ended with 0 (ended with $quiet_status)" test "$quiet_status" = 0
cp "$WORK/schtasks.orig" "$SCHTASKS"
check "task missing after schtasks: no task file" test ! -e "$TASKFILE"
check "task missing after schtasks: LogonTask not recorded" test -z "$(regval "HKLM\\$LANG_VALUE" LogonTask)"
check "task missing after schtasks: the installation is complete otherwise" \
  test "$(regval "HKLM\\$UNINST" DisplayVersion)" = "$VERSION"
uninstall_from "$ALL" /S

remote_e2e_end
