#!/usr/bin/env bash
# The setup and test dialogs end to end, with the real remote.exe under Wine driven from another
# process (tests/e2e/shelldriver.exe): how the setup dialog is opened (at start-up without a port,
# the Setup command, a double click on the tray icon, never twice), the port probe, what OK and
# Cancel write to profiles.ini and to the Run key, the receiver running on the chosen port after
# OK, and the test dialog showing keys from the simulated remote without acting on them.
# The receiver's cable: COM1 (the program) <-> COM9 (tools/remotesim.exe); COM2-COM4 do not exist.
# A second cable, COM7 <-> COM8, gives ports above COM4: Setup lists them, and COM7 is chosen there.
# Languages: Setup lists the modules beside the program; "Deutsch" chosen there is kept for the user
# and, after the restart Setup offers, serves over the machine's 001; a module made to the first
# design alone still starts the program in English, with the Activity and Assign windows.
# Usage: setup_e2e.sh BUILD_DIR
set -uo pipefail
source "$(dirname "$0")/../../tools/lib.sh"
remote_e2e_begin setup "$1"
remote_language 001
remote_start_com_pair "$WORK/cable"
remote_plug_cable "$WORK/cable2" 7 8

APP="$WINEPREFIX/drive_c/app"
remote_app "$APP"
PROFILE="$APP/profiles.ini"
# No "port" entry: the program opens the setup dialog by itself.
printf '[default]\r\nKey12=KEYBOARD L+^L\r\nKey5=KEYBOARD F+^F\r\n' >"$PROFILE"

SETUP="Halvesta Remote Control - Setup"
TEST="Halvesta Remote Control - Receiver Test"
RUN_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
KEY_L="down 0x4C up 0x4C"
KEY_F="down 0x46 up 0x46"

port_entry() { tr -d '\r' <"$PROFILE" | awk -F= '$1 == "port" { print $2; found = 1 } END { if (!found) print "none" }'; }
autostart() { wine reg query "$RUN_KEY" /v OVRARemote 2>/dev/null | tr -d '\r' | awk '$1 == "OVRARemote" { $1 = $2 = ""; sub(/^ +/, ""); print }'; }
# A control's state line must match: item <what> <dialog title> <id> <regular expression>.
item() { expect "$1" "$4" "$(drive wait-item "$2" "$3" 3000 "$(printf '%s' "$4" | tr -d '^$')")"; }

open_sink() { remote_open_sink "Setup Sink"; }
# Waits until the setup dialog is on screen: it is shown once its start-up is done.
shown() { drive wait-item "$SETUP" 1 5000 "visible 1" >/dev/null; }
close_dialog_with() { # close_dialog_with <title> <button id>
  drive press "$1" "$2" >/dev/null
  drive gone "$1" 10000
}

# --- Start-up without a port: the setup dialog opens by itself, and the probe shows the ports ---
remote_launch 'C:\app\remote.exe' 'C:\'
expect "no port entry: the setup dialog opens by itself" "^dialog '$SETUP' visible [01]$" "$(drive dialog 15000 "$PID")"
shown
item "COM1 present: enabled, not checked, status from the template" "$SETUP" 1002 "enabled 1 visible 1 checked 0$"
item "COM1 status text left as it is" "$SETUP" 1006 "^text '' "
for n in 2 3 4; do
  item "COM$n missing: status '---'" "$SETUP" $((1005 + n)) "^text '---' "
  item "COM$n missing: radio button disabled" "$SETUP" $((1001 + n)) "enabled 0 "
done
item "no port configured: Test disabled" "$SETUP" 1012 "enabled 0 "
item "ports above COM4 present: Other enabled, not checked" "$SETUP" 1013 "enabled 1 visible 1 checked 0$"
expect "the ports above COM4 are listed" "^items 'COM7 COM8 COM9' " "$(drive list "$SETUP" 1014)"

# A second Setup while the dialog is open, by command and by double click: still one dialog.
drive command 101 >/dev/null
drive tray 515 >/dev/null
sleep 1.5
expect "Setup again (command and double click) while open: no second dialog" "^dialogs 1$" "$(drive dialogs "$PID")"

# --- Cancel after a change writes nothing ---
before="$(md5sum <"$PROFILE")"
drive press "$SETUP" 1002 >/dev/null
item "COM1 clicked: checked" "$SETUP" 1002 "checked 1$"
item "COM1 clicked: Test enabled" "$SETUP" 1012 "enabled 1 "
expect "Cancel closes the dialog" "^gone$" "$(close_dialog_with "$SETUP" 2)"
expect "Cancel after a change: profiles.ini untouched" "^$before$" "$(md5sum <"$PROFILE")"
expect "still running after Cancel" "^window .* pid $PID$" "$(drive window 0 "$PID")"

# --- A port above COM4: chosen in the list, saved, shown as chosen, and the receiver runs on it ---
drive command 101 >/dev/null
drive dialog 10000 "$PID" >/dev/null
shown
drive choose "$SETUP" 1014 COM7 >/dev/null
item "COM7 chosen in the list: Other checked" "$SETUP" 1013 "checked 1$"
item "COM7 chosen: Test enabled" "$SETUP" 1012 "enabled 1 "
expect "OK with COM7 closes the dialog" "^gone$" "$(close_dialog_with "$SETUP" 1)"
expect "OK with COM7 chosen: port=7" "^7$" "$(port_entry)"
open_sink
expect_keys "the receiver acts on a key that arrives on COM7" "$KEY_L" COM8 --key 12
remote_close_sink
drive command 101 >/dev/null
drive dialog 10000 "$PID" >/dev/null
shown
item "port=7: Other checked" "$SETUP" 1013 "enabled 1 visible 1 checked 1$"
expect "port=7: the list shows COM7" "shown 'COM7'$" "$(drive list "$SETUP" 1014)"
item "port=7: Test enabled" "$SETUP" 1012 "enabled 1 "
for n in 1 2 3 4; do item "port=7: COM$n not checked" "$SETUP" $((1001 + n)) "checked 0$"; done
close_dialog_with "$SETUP" 2 >/dev/null

# --- From the menu command: COM1 and autostart, OK ---
drive command 101 >/dev/null
expect "Setup command (WM_COMMAND 101) opens the dialog" "^dialog '$SETUP' visible [01]$" "$(drive dialog 10000 "$PID")"
shown
item "autostart off at first" "$SETUP" 1010 "checked 0$"
drive press "$SETUP" 1002 >/dev/null
drive press "$SETUP" 1010 >/dev/null
item "autostart ticked" "$SETUP" 1010 "checked 1$"
expect "OK closes the dialog" "^gone$" "$(close_dialog_with "$SETUP" 1)"
expect "OK with COM1 checked: port=1 in profiles.ini beside the program" "^1$" "$(port_entry)"
expect "OK with autostart ticked: OVRARemote holds the program's path" '^C:\\app\\remote\.exe$' "$(autostart)"

# The receiver runs on COM1 now: a key from the remote reaches the window in front.
open_sink
expect_keys "after OK the receiver acts on a key through the profile" "$KEY_L" --key 12
# Setup cancelled: the window that was in front gets the front, and with it the next key, back.
drive command 101 >/dev/null
drive dialog 10000 "$PID" >/dev/null
shown
close_dialog_with "$SETUP" 2 >/dev/null
sleep 0.5
expect "after Setup is cancelled the window that was in front is in front again" "title 'Setup Sink'$" "$(drive foreground)"
expect_keys "after Setup is cancelled the next key reaches that window" "$KEY_L" --key 12
remote_close_sink

# --- From a double click on the tray icon: the test dialog ---
drive tray 515 >/dev/null
expect "double click on the tray icon opens the dialog" "^dialog '$SETUP' visible [01]$" "$(drive dialog 10000 "$PID")"
shown
item "port=1: COM1 checked" "$SETUP" 1002 "enabled 1 visible 1 checked 1$"
item "port=1: Test enabled" "$SETUP" 1012 "enabled 1 "
item "autostart value present: box checked" "$SETUP" 1010 "checked 1$"
remote_press --key 5  # while the dialog is open the receiver holds no port: this press is lost
drive press "$SETUP" 1012 >/dev/null
expect "Test opens the test dialog" "^dialog " "$(drive wait-title "$TEST" 10000 && echo "dialog '$TEST'")"
item "test dialog: idle pair visible" "$TEST" 1016 "visible 1 "
item "test dialog: flash pair hidden" "$TEST" 1019 "visible 0 "
item "test dialog: no key named yet" "$TEST" 1022 "^text 'none' "

# Straight into the file (no filter that holds the output back): the key goes once it watches.
timeout 60 wine "$BUILD/bin/shelldriver.exe" watch "$TEST" 1019 10000 >"$WORK/watch.out" 2>/dev/null &
watcher=$!
for _ in $(seq 100); do grep -q watching "$WORK/watch.out" && break; sleep 0.05; done
remote_press --key 12
wait "$watcher"
expect "a key during the test flashes the indicator" "^watching shown after [0-9]+ ms$" "$(tr -d '\r' <"$WORK/watch.out" | paste -sd ' ')"
item "the key is named" "$TEST" 1022 "^text 'Key12' "
item "after the flash: flash pair hidden again" "$TEST" 1019 "visible 0 "
item "after the flash: idle pair shown again" "$TEST" 1016 "visible 1 "
remote_press --key 5
item "a second key is named" "$TEST" 1022 "^text 'Key5' "
# Keys keep coming, a packet every 125 ms for about 19 s, faster than a flash lasts: Cancel still
# ends the test at once.
wine "$BUILD/bin/remotesim.exe" COM9 --key 5 --repeat 150 --gap 100 >/dev/null 2>&1 &
stream=$!
REMOTE_PIDS+=($stream)
sleep 1.5
started=$(date +%s%N)
expect "Cancel closes the test dialog while keys stream" "^gone$" "$(close_dialog_with "$TEST" 2)"
echo "figure: test dialog gone $(( ($(date +%s%N) - started) / 1000000 )) ms after Cancel under a stream of keys"
kill "$stream" 2>/dev/null
wait "$stream" 2>/dev/null
expect "the setup dialog stays open after the test" "^dialogs 1$" "$(drive dialogs "$PID")"
drive press "$SETUP" 1010 >/dev/null
item "autostart unticked" "$SETUP" 1010 "checked 0$"
expect "OK after the test closes the setup dialog" "^gone$" "$(close_dialog_with "$SETUP" 1)"
expect "OK with autostart unticked: OVRARemote deleted" "^$" "$(autostart)"
expect "port=1 kept" "^1$" "$(port_entry)"

# Keys pressed during the test are not acted on afterwards; the next key is, once.
open_sink
expect_same "keys pressed during the setup and test dialogs: nothing afterwards" "" "$(remote_sink_wait "")"
expect_keys "a key after the test acts once" "$KEY_L" --key 12
remote_close_sink

# --- A port that is not there: nothing checked; OK writes "0" and the receiver stays off ---
sed -i 's/^port=1/port=3/' "$PROFILE"
drive command 101 >/dev/null
expect "Setup with port=3" "^dialog '$SETUP'" "$(drive dialog 10000 "$PID")"
shown
for n in 1 2 3 4; do item "port=3 missing: COM$n not checked" "$SETUP" $((1001 + n)) "checked 0$"; done
item "port=3 missing: Test disabled" "$SETUP" 1012 "enabled 0 "
expect "OK with nothing checked closes the dialog" "^gone$" "$(close_dialog_with "$SETUP" 1)"
expect "OK with nothing checked: port=0" "^0$" "$(port_entry)"
open_sink
expect_keys "port=0: no receiver, the key is not acted on" "" --key 12
remote_close_sink

# --- Cancel after a change leaves port=0 ---
before="$(md5sum <"$PROFILE")"
drive command 101 >/dev/null
drive dialog 10000 "$PID" >/dev/null
shown
drive press "$SETUP" 1002 >/dev/null
item "COM1 clicked again" "$SETUP" 1002 "checked 1$"
close_dialog_with "$SETUP" 2 >/dev/null
expect "Cancel after choosing COM1: profiles.ini untouched" "^$before$" "$(md5sum <"$PROFILE")"

drive command 100 >/dev/null
expect "Exit: the program ends" "^exit 0$" "$(remote_exit_code "$PID")"

# --- Languages: the list, the user's choice, the restart ---
USER_KEY='HKCU\Software\Halvesta Systems\Tessil OVRA'
user_language() { wine reg query "$USER_KEY" /v Language 2>/dev/null | tr -d '\r' | awk '$1 == "Language" { print $3 }'; }
wine reg delete "$USER_KEY" /v Language /f >/dev/null 2>&1
remote_app "$APP" REMOT049.DLL REMOT033.DLL REMOT034.DLL
remote_language 001
SETUP_DE="Halvesta Remote Control - Einstellungen"
remote_launch 'C:\app\remote.exe' 'C:\'
drive window 15000 "$PID" >/dev/null
drive command 101 >/dev/null
drive dialog 10000 "$PID" >/dev/null
shown
# The driver prints in Windows' ANSI code page (1252 here).
expect "Setup lists the languages by their own names, the running one shown" \
  "^items 'Deutsch English Español Français' shown 'English'$" "$(drive list "$SETUP" 1030 | iconv -f CP1252 -t UTF-8)"
drive choose "$SETUP" 1030 Deutsch >/dev/null
drive press "$SETUP" 1 >/dev/null
expect "another language: Setup tells it shows at the next start and offers the restart" \
  "^text 'The new language .*next time.*' buttons 2 " "$(drive messagebox 10000 Language 6)"
expect "the choice is kept for the user" "^049$" "$(user_language)"
expect "Yes: this instance ends" "^exit 0$" "$(remote_exit_code "$PID")"
expect "and a new one starts after it" "^window " "$(drive window 15000)"
drive command 101 >/dev/null
expect "the next start: Setup is German, though the machine's value says 001" "^dialog '$SETUP_DE'" \
  "$(drive dialog 10000)"
item "German Cancel" "$SETUP_DE" 2 "^text 'Abbrechen' "
expect "German list: Deutsch shown" "shown 'Deutsch'$" "$(drive list "$SETUP_DE" 1030)"
close_dialog_with "$SETUP_DE" 2 >/dev/null
drive command 100 >/dev/null
expect "the restarted program ends on Exit" "^tray icons 0$" "$(drive tray-icons 0 10000)"

# --- A module made to the first design alone (dialogs 104 and 105, strings 1 and 2) ---
wine reg delete "$USER_KEY" /v Language /f >/dev/null 2>&1
remote_app "$APP" REMOT098.DLL
remote_language 098
sed -i 's/^port=.*/port=1\r/' "$PROFILE"
remote_launch 'C:\app\remote.exe' 'C:\'
expect "design module: the program starts" "^window .* pid $PID$" "$(drive window 15000 "$PID")"
drive command 101 >/dev/null
expect "design module: its own Setup" "^dialog 'Design Setup'" "$(drive dialog 10000 "$PID")"
close_dialog_with "Design Setup" 2 >/dev/null
remote_press --key 30
sleep 1  # a press with no entry is logged when it ends, a release time after its last signal
drive command 102 >/dev/null
check "design module: the Activity window opens, in English" drive wait-title "Halvesta Remote Control - Activity" 5000
drive press "Halvesta Remote Control - Activity" 1102 >/dev/null
expect "design module: Assign opens for the press" "Key30" "$(drive wait-item 'Halvesta Remote Control - Assign' 1200 5000 Key30)"
close_dialog_with "Halvesta Remote Control - Assign" 2 >/dev/null
drive command 100 >/dev/null
expect "design module: Exit ends the program" "^exit 0$" "$(remote_exit_code "$PID")"


# --- A user who is not root, in a program folder read-only for them (an install for all users) ---
# Wine run as root writes into every file, so this part runs as a user of its own
# (tests/e2e/asuser_assign.sh): Assign's save, refused in the program folder, makes that user's own
# profile in %APPDATA%, the press acts through it, and the program folder's profile stays as it was.
if [ "$(id -u)" = 0 ]; then
  TESTUSER=remotetest
  id "$TESTUSER" >/dev/null 2>&1 || useradd -m "$TESTUSER"
  SHARED_APP="$WORK/asuser/app"
  mkdir -p "$SHARED_APP" "$WORK/asuser/work"
  remote_app "$SHARED_APP"
  printf '[default]\r\nport=1\r\nKey5=KEYBOARD F+^F\r\n' >"$SHARED_APP/profiles.ini"
  chmod 755 "$WORK/asuser" "$SHARED_APP"
  chmod 644 "$SHARED_APP"/*
  chown "$TESTUSER" "$WORK/asuser/work"
  shared_before="$(md5sum <"$SHARED_APP/profiles.ini")"
  su "$TESTUSER" -s /bin/bash -c "bash '$REMOTE_ROOT/tests/e2e/asuser_assign.sh' '$WORK/asuser/work' '$BUILD' '$SHARED_APP'" \
    >"$WORK/asuser/out.txt" 2>&1 </dev/null &
  asuser=$!
  REMOTE_PIDS+=($asuser)
  wait "$asuser"
  while IFS= read -r line; do
    case "$line" in
    ok:*) remote_ok "${line#ok: }" ;;
    FAILED:*) remote_failed "${line#FAILED: }" ;;
    esac
  done <"$WORK/asuser/out.txt"
  expect "as a user: the run went through" "^asuser: [0-9]+ passed, 0 failed$" "$(grep '^asuser:' "$WORK/asuser/out.txt")"
  expect_same "as a user: the program folder's profile is unchanged byte for byte" "$shared_before" \
    "$(md5sum <"$SHARED_APP/profiles.ini")"
fi

remote_e2e_end
