#!/usr/bin/env bash
# Run by setup_e2e.sh as a user who is not root (Wine run as root may write into every file): the
# program folder is read-only for this user, so Assign's save is refused there and makes the user's
# own profile in %APPDATA%\Halvesta Remote; the press then acts through it. On the way, a hold of the
# button while Assign is open ticks its long press. Its own display, its own
# copy of the build's Wine prefix and its own cable, all in WORK (owned by this user), ended by
# their process ids. Prints the harness's "ok:"/"FAILED:" lines and closing line.
# Usage: asuser_assign.sh WORK BUILD_DIR APP_DIR
set -uo pipefail
source "$(dirname "$0")/../../tools/lib.sh"
WORK="$1"
BUILD="$2"
APP="$3"
REMOTE_E2E_NAME=asuser REMOTE_PASSES=0 REMOTE_FAILURES=0 REMOTE_E2E_ENDED=0
trap remote_e2e_finish EXIT
remote_start_display
remote_clone_wine "$BUILD/wineprefix" "$WORK/prefix"
remote_language 001
remote_start_com_pair "$WORK/cable"
ASSIGN="Halvesta Remote Control - Assign"

remote_run_app "$APP"
remote_open_sink "Own Sink"
remote_press --key 77 # no entry yet
sleep 0.5
drive command 102 >/dev/null # the Activity window
drive dialog 5000 >/dev/null
drive press "Halvesta Remote Control - Activity" 1102 >/dev/null || true # Assign for the newest press
expect "as a user: Assign opens for the press" "Key77" "$(drive wait-item "$ASSIGN" 1200 5000 Key77)"
# The button held past the long-press time while Assign waits ticks "for a long press"; untick it.
remote_press --key 77 --hold 1200
expect "as a user: holding the button ticks the long press" "checked 1$" "$(drive wait-item "$ASSIGN" 1233 3000 "checked 1")"
drive press "$ASSIGN" 1233 >/dev/null || true
drive press "$ASSIGN" 1204 >/dev/null || true       # This program
drive press "$ASSIGN" 1206 >/dev/null || true       # Keys
drive hotkey "$ASSIGN" 1207 83 2 >/dev/null || true # Ctrl+S
sleep 0.5
drive press "$ASSIGN" 1 >/dev/null || true
check "as a user: OK saves and closes Assign" drive gone "$ASSIGN" 5000
own="$(find "$WORK/prefix/drive_c/users" -path '*/AppData/Roaming/Halvesta Remote/profiles.ini' | head -1)"
expect "as a user: the own profile in %APPDATA%\\Halvesta Remote" "AppData/Roaming/Halvesta Remote/profiles.ini$" "$own"
expect "as a user: the own profile holds the shared one and the line" \
  "port=1 .*\[keysink.exe\] Key77=KEYBOARD CTRL\+S" "$(tr -d '\r' <"$own" 2>/dev/null | tr '\n' ' ')"
drive command 102 >/dev/null # the Activity window in front: the press acts on the window behind
expect_keys "as a user: the press acts through the own profile" "down 0x11 down 0x53 up 0x53 up 0x11" --key 77
remote_e2e_end
