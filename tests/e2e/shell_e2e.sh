#!/usr/bin/env bash
# End-to-end tests of the program's shell with the real remote.exe under Wine: the language module
# choice, the start-up message boxes, the single-instance guard, the hidden window, the tray icon and
# its menu, and the ways the program ends. tests/e2e/shelldriver.exe watches and drives it from
# another process. $1: the build folder.
set -uo pipefail
source "$(dirname "$0")/../../tools/lib.sh"
remote_e2e_begin shell "$1"
# COM1 is this test's own cable; its far end COM9 is the simulated remote (tools/remotesim.exe).
remote_start_com_pair "$WORK/cable"

DRIVE_C="$WINEPREFIX/drive_c"
mkdir -p "$DRIVE_C/elsewhere"
remote_app "$DRIVE_C/app"
remote_app "$DRIVE_C/keys"
# Key 12 is the Setup command, key 13 closes the window in front: whatever window that is.
printf '[default]\r\nport=1\r\nKey12=COMMAND 101\r\nKey13=CLOSE\r\n' >"$DRIVE_C/keys/profiles.ini"
remote_app "$DRIVE_C/noport"
remote_app "$DRIVE_C/nodll" remote.exe
printf '[default]\r\nport=1\r\n' >"$DRIVE_C/app/profiles.ini"
printf '[default]\r\nport=1\r\n' >"$DRIVE_C/elsewhere/profiles.ini"
# A folder so deep that "REMOT" + a long code + ".DLL" would not fit into a path.
DEEP='C:\'
for i in $(seq 19); do DEEP+="folder$(printf %03d "$i")\\"; done
DEEP_UNIX="$DRIVE_C/$(printf '%s' "${DEEP#C:\\}" | tr '\\' /)"
mkdir -p "$DEEP_UNIX"
remote_app "$DEEP_UNIX"

window_of() { drive window 100 "$1" | awk '{print $2}'; }

# --- Without a language module only the message box appears; exit code 0 ---
drive language --no-key >/dev/null
for setting in "no key" "no value" "no module file"; do
  folder='C:\app\remote.exe'
  case "$setting" in
    "no value") drive language 001 >/dev/null && drive language --no-value >/dev/null ;;
    "no module file") drive language 001 >/dev/null && folder='C:\nodll\remote.exe' ;;
  esac
  attempts="first"
  [ "$setting" = "no value" ] && attempts="first second"  # nothing was left behind by the first
  for attempt in $attempts; do
    remote_launch "$folder" 'C:\elsewhere'
    expect "$setting, $attempt start: nothing but the box (no window)" "^no window$" "$(drive no-window 1500)"
    expect "$setting, $attempt start: no mutex" "^mutex absent$" "$(drive mutex)"
    expect "$setting, $attempt start: no tray icon" "^tray icons 0$" "$(drive tray-icons 0 0)"
    expect "$setting, $attempt start: the box" "^text 'Language file missing !' buttons 1 icons 0 pid $PID$" \
      "$(drive messagebox 10000)"
    expect "$setting, $attempt start: exit code" "^exit 0$" "$(remote_exit_code "$PID")"
  done
done

# --- A language code that is a path is not used: a module planted where it points never loads ---
# "REMOT" + "\..\planted\x" + ".DLL" is C:\nodll\planted\x.DLL; beside the program there is no module.
mkdir -p "$DRIVE_C/nodll/planted"
cp "$BUILD/bin/REMOT001.DLL" "$DRIVE_C/nodll/planted/x.DLL"
drive language '\..\planted\x' >/dev/null
remote_launch 'C:\nodll\remote.exe' 'C:\elsewhere'
expect "code naming a path: the planted module is not loaded" "^text 'Language file missing !' buttons 1 icons 0 pid $PID$" \
  "$(drive messagebox 10000)"
expect "code naming a path: exit code 0, as without a module" "^exit 0$" "$(remote_exit_code "$PID")"
rm -r "$DRIVE_C/nodll/planted"
drive language 001 >/dev/null

# --- The shipped registry file selects the English module ---
cp "$REMOTE_ROOT/resources/language001.reg" "$DRIVE_C/language001.reg"
wine regedit /S 'C:\language001.reg' >/dev/null 2>&1
expect "language001.reg imported" "REG_SZ[[:space:]]+001" \
  "$(wine reg query 'HKLM\Software\Halvesta Systems\Tessil OVRA' /v Language 2>/dev/null | tr -d '\r')"

# --- A normal start: hidden window, icon, mutex, no message ---
remote_launch 'C:\app\remote.exe' 'C:\elsewhere'
expect "window with class and title, hidden" "^window [0-9A-Fa-f]+ title 'Halvesta Remote Control' visible 0 pid $PID$" \
  "$(drive window 10000 "$PID")"
FIRST_WINDOW="$(window_of "$PID")"
FIRST_PID="$PID"
expect "tray icon added for the window" "^icon present" "$(drive icon 0 "$PID")"
expect "tray icon shown" "^tray icons 1$" "$(drive tray-icons 1 5000)"
expect "mutex held" "^mutex present$" "$(drive mutex)"
expect "no message box" "^no message box$" "$(drive no-messagebox 500)"
# The profile beside the program names port 1, so the receiver starts and no setup dialog opens.
expect "profile beside the program read, not the current folder's" "^no dialog$" "$(drive no-dialog 2000 "$PID")"

# --- A second start: silent, exit code -1, the first instance untouched ---
remote_launch 'C:\app\remote.exe' 'C:\app'
SECOND_PID="$PID"
expect "second start: no message box" "^no message box$" "$(drive no-messagebox 1500)"
expect "second start: exit code -1" "^exit 4294967295$" "$(remote_exit_code "$PID")"
expect "second start: first window untouched" "^window $FIRST_WINDOW .* pid $FIRST_PID$" "$(drive window 0)"
expect "second start: first icon still there" "^icon present" "$(drive icon 0 "$FIRST_PID")"
expect "second start: its own icon taken away again" "^tray icons 1$" "$(drive tray-icons 1 10000)"
expect "second start: its own window gone" "^no window$" "$(drive window 0 "$SECOND_PID")"
expect "second start: mutex still held" "^mutex present$" "$(drive mutex)"

# --- /check while the program runs: one box with the profile's problems, exit code their number ---
remote_app "$DRIVE_C/check" remote.exe # it needs nothing else: no language module, no port
# Saved as Notepad's "Unicode" does (UTF-16 with a byte order mark): checked as the program reads it.
{ printf '\xff\xfe'; printf '[default]\r\nport=1\r\nKey1=KEYBOARD BLANK+^BLANK ; pause\r\nKey200=CLOSE\r\n[title -]\r\nGhost -=Nowhere\r\n' |
  iconv -f ASCII -t UTF-16LE; } >"$DRIVE_C/check/profiles.ini"
remote_launch 'C:\check\remote.exe' 'C:\elsewhere' '/check'
CHECK_BOX="$(drive messagebox 10000 'Halvesta Remote Control - Profile check')"
expect_same "/check: the problems by line, section and key" \
  "text 'C:\check\profiles.ini||Line 3, [default] Key1: leaves keys held down: \";\", \"p\" (F1), \"a\" (NUM1), \"u\" (F6), \"s\" (F4), \"e\" (NUM5)|Line 4, [default] Key200: no button has this name (Key0 to Key127)|Line 6, [title -] Ghost -: names the section [Nowhere], which does not exist||3 problems found' buttons 1 icons 1 pid $PID" \
  "$CHECK_BOX"
expect "/check: exit code, the number of problems" "^exit 3$" "$(remote_exit_code "$PID")"
expect "/check: the running program untouched" "^window $FIRST_WINDOW .* pid $FIRST_PID$" "$(drive window 0)"
expect "/check: no icon of its own" "^tray icons 1$" "$(drive tray-icons 1 2000)"
expect "/check: mutex still the first program's" "^mutex present$" "$(drive mutex)"
cp "$REMOTE_ROOT/resources/profiles.ini" "$DRIVE_C/check/profiles.ini"
remote_launch 'C:\check\remote.exe' 'C:\elsewhere' ' /CHECK '
expect_same "/CHECK over the sample profile" "text 'C:\check\profiles.ini||No problems found' buttons 1 icons 1 pid $PID" \
  "$(drive messagebox 10000 'Halvesta Remote Control - Profile check')"
expect "/CHECK over the sample profile: exit code 0" "^exit 0$" "$(remote_exit_code "$PID")"
rm "$DRIVE_C/check/profiles.ini"
remote_launch 'C:\check\remote.exe' 'C:\elsewhere' '/check'
expect_same "/check without a profile" "text 'C:\check\profiles.ini||The file cannot be read.||1 problem found' buttons 1 icons 1 pid $PID" \
  "$(drive messagebox 10000 'Halvesta Remote Control - Profile check')"
expect "/check without a profile: exit code 1" "^exit 1$" "$(remote_exit_code "$PID")"
# With the German module chosen the report is German and still names the line (the caption is
# found by its ASCII beginning: "Profilprüfung"). The user's value, imported above, comes first.
USER_KEY='HKCU\Software\Halvesta Systems\Tessil OVRA'
remote_app "$DRIVE_C/check" remote.exe REMOT049.DLL
printf '[default]\r\nKey200=CLOSE\r\n' >"$DRIVE_C/check/profiles.ini"
wine reg add "$USER_KEY" /v Language /d 049 /f >/dev/null 2>&1
remote_launch 'C:\check\remote.exe' 'C:\elsewhere' '/check'
expect "/check in German: the line named, the count in German" \
  "^text 'C:.check.profiles.ini..Zeile 2, \[default\] Key200: keine Taste .*\(Key0 bis Key127\)..1 Problem gefunden' buttons 1" \
  "$(drive messagebox 10000 'Halvesta Remote Control - Profilpr*' | iconv -f CP1252 -t UTF-8)"
expect "/check in German: exit code 1" "^exit 1$" "$(remote_exit_code "$PID")"
wine reg add "$USER_KEY" /v Language /d 001 /f >/dev/null 2>&1
rm "$DRIVE_C/check/profiles.ini"

# --- The tray menu: either button opens it at the cursor (the left one once its click is over and
# no second click came); other mouse messages do nothing ---
drive cursor 300 200 >/dev/null
for button in "513 514" 516; do
  expect "tray button $button: menu at the cursor" "^menu at 300 200 " "$(drive tray $button >/dev/null; drive menu 3000)"
  drive key 27 >/dev/null  # Escape: closed without a choice
  expect "tray button $button: closed without a choice" "^no menu$" "$(drive no-menu 2000)"
  expect "tray button $button: still running" "^window $FIRST_WINDOW" "$(drive window 0)"
done
drive tray 516 >/dev/null
drive menu 3000 >/dev/null
drive click 700 600 >/dev/null  # a click elsewhere closes it too
expect "menu closed by a click elsewhere" "^no menu$" "$(drive no-menu 2000)"
for mouse in 512 513 517 519 520 521 518; do
  drive tray "$mouse" >/dev/null
  expect "tray mouse message $mouse: no menu" "^no menu$" "$(drive menu 700)"
done
expect "after the mouse messages: still running" "^window $FIRST_WINDOW" "$(drive window 0)"

# Item positions from the open menu's rectangle: Exit in the upper half, Setup in the lower.
menu_item_y() { # menu_item_y <"menu at X Y size W H"> <1|2>
  set -- $1 "$2"
  echo $(( $4 + $7 * ($8 == 1 ? 1 : 3) / 4 ))
}
drive tray 513 514 515 514 >/dev/null
expect "double click opens the setup dialog" "^dialog " "$(drive dialog 5000 "$FIRST_PID")"
expect "double click: no menu after it" "^no menu$" "$(sleep 1; drive menu 700)"
drive dialog-close "$FIRST_PID" >/dev/null
menu="$(drive tray 516 >/dev/null; drive menu 3000)"
drive click 320 "$(menu_item_y "$menu" 2)" >/dev/null
expect "menu item Setup opens the setup dialog" "^dialog " "$(drive dialog 5000 "$FIRST_PID")"
drive dialog-close "$FIRST_PID" >/dev/null

# --- Exit from the menu: icon gone, exit code 0, mutex released ---
menu="$(drive tray 516 >/dev/null; drive menu 3000)"
drive click 320 "$(menu_item_y "$menu" 1)" >/dev/null
expect "Exit: icon gone" "^tray icons 0$" "$(drive tray-icons 0 10000)"
expect "Exit: exit code 0" "^exit 0$" "$(remote_exit_code "$FIRST_PID")"
expect "Exit: mutex released" "^mutex absent$" "$(drive mutex)"

# --- Code "002" without its module falls back to REMOT001.DLL; no port beside the program ---
drive language 002 >/dev/null
remote_launch 'C:\noport\remote.exe' 'C:\app'
expect "002 falls back to the English module" "^window .* pid $PID$" "$(drive window 10000 "$PID")"
window="$(window_of "$PID")"
# The current folder's profile names a port; the one beside the program does not.
expect "no port beside the program: setup dialog at once" "^dialog " "$(drive dialog 5000 "$PID")"
drive dialog-close "$PID" >/dev/null
sleep 1
expect "no port: keeps running" "^window $window .* pid $PID$" "$(drive window 0 "$PID")"
drive close >/dev/null
expect "WM_CLOSE from outside: icon gone" "^tray icons 0$" "$(drive tray-icons 0 10000)"
expect "WM_CLOSE from outside: exit code 0" "^exit 0$" "$(remote_exit_code "$PID")"

# --- A long code in a deep folder: the name does not fit, the English module is taken ---
drive language "$(printf 'L%.0s' $(seq 127))" >/dev/null
remote_launch "${DEEP}remote.exe" 'C:\elsewhere'
expect "deep folder, 127-character code: starts with the English module" "^window .* pid $PID$" \
  "$(drive window 10000 "$PID")"
drive command 100 >/dev/null
expect "WM_COMMAND 100: icon gone" "^tray icons 0$" "$(drive tray-icons 0 10000)"
expect "WM_COMMAND 100: exit code 0" "^exit 0$" "$(remote_exit_code "$PID")"

# --- Never hang: the program's own window in front, a hung window in front, a restarted shell ---
remote_launch 'C:\keys\remote.exe' 'C:\keys'
expect "keys profile: started" "^window .* pid $PID$" "$(drive window 10000 "$PID")"
expect "keys profile: icon shown" "^tray icons 1$" "$(drive tray-icons 1 5000)"
drive icon-delete >/dev/null
expect "icon deleted from outside (the shell ended)" "^tray icons 0$" "$(drive tray-icons 0 5000)"
drive taskbar-created >/dev/null
expect "TaskbarCreated: the icon is back" "^tray icons 1$" "$(drive tray-icons 1 5000)"
expect "TaskbarCreated: the same record (window, id 1)" "^icon present" "$(drive icon 0 "$PID")"
expect "TaskbarCreated: the same menu" "^menu at " "$(drive tray 513 514 >/dev/null; drive menu 3000)"
drive key 27 >/dev/null
drive no-menu 2000 >/dev/null
# The menu closed without a choice leaves the hidden main window in front.
expect "after the menu: the program's own window in front" "^foreground pid $PID class 'HalvestaRemoteTBClass'" \
  "$(drive foreground)"
remote_press --key 12
expect "COMMAND 101 to its own window: no setup dialog" "^no dialog$" "$(drive no-dialog 2000 "$PID")"
expect "COMMAND 101 to its own window: Exit still ends it" "^exit 0 after [0-9]+ ms$" "$(drive exit-timed 20000)"
expect "COMMAND 101 to its own window: exit code 0" "^exit 0$" "$(remote_exit_code "$PID")"

remote_launch 'C:\keys\remote.exe' 'C:\keys'
drive window 10000 "$PID" >/dev/null
remote_open_sink "Busy Editor" "$WORK/busy.log" 60
remote_press --key 13
for _ in $(seq 100); do grep -q close "$WORK/busy.log" && break; sleep 0.05; done
expect "CLOSE reached the window in front, which now blocks for a minute" "close" "$(tr -d '\r' <"$WORK/busy.log")"
exited="$(drive exit-timed 20000)"
expect "Exit with a hung window in front ends the program within seconds" "^exit 0 after [0-9]+ ms$" "$exited"
echo "figure: Exit with a hung window in front: ${exited##*after }"
[[ "$exited" =~ after\ ([0-9]+)\ ms ]] &&
  expect "Exit with a hung window in front took under 10 s" "^yes$" "$([ "${BASH_REMATCH[1]}" -lt 10000 ] && echo yes)"
remote_close_sink

remote_e2e_end
