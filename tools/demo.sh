#!/usr/bin/env bash
# Shows the program doing its job with no Windows and no receiver at hand: under Wine on a private
# virtual display, remote.exe listens on COM1 (one end of a pseudo-terminal pair) while the remote
# simulator presses buttons on the other end; the keys land in Wine's Notepad. Prints what Notepad
# received, saves a screenshot, and ends the program through its Exit command.
# Usage: bash tools/demo.sh      (installs what is missing and builds first; leaves nothing running)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap remote_cleanup EXIT
BUILD="${REMOTE_BUILD_DIR:-$REMOTE_ROOT/build}"
remote_install_deps
remote_log "building the program $(remote_cost "$BUILD" "about two minutes")"
remote_build "$BUILD" >/dev/null

WORK="$BUILD/demo"
rm -rf "$WORK"
remote_app "$WORK/app"
# The sample profile, with the receiver on COM1 and a section for Notepad's new document.
sed 's/^;port=1/port=1/' "$REMOTE_ROOT/resources/profiles.ini" >"$WORK/app/profiles.ini"
cat >>"$WORK/app/profiles.ini" <<'INI'

[Untitled - Notepad]
; Demo: button 20 types "Hello", button 21 types " remote", button 22 a full stop.
Key20=KEYBOARD SHIFT+H^H^SHIFT E+^E L+^L L+^L O+^O
Key21=KEYBOARD BLANK+^BLANK R+^R E+^E M+^M O+^O T+^T E+^E
Key22=KEYBOARD SHIFT+1^1^SHIFT
INI

remote_start_display
if [ -f "$BUILD/wineprefix/system.reg" ]; then
  remote_clone_wine "$BUILD/wineprefix" "$WORK/prefix"
else
  remote_start_wine "$WORK/prefix"
fi
remote_log "setting the language value from resources/language001.reg"
wine regedit /S "$(winepath -w "$REMOTE_ROOT/resources/language001.reg")" >/dev/null 2>&1
remote_start_com_pair "$WORK/cable"

remote_log "starting Notepad"
wine notepad >/dev/null 2>&1 &
REMOTE_PIDS+=($!)
drive wait-title "Untitled - Notepad" 20000 >/dev/null

remote_log "starting remote.exe (receiver on COM1)"
remote_run_app "$WORK/app"

press() {
  remote_log "remote: $1"
  shift
  wine "$BUILD/bin/remotesim.exe" COM9 "$@" | sed 's/^/    simulator: /'
  sleep 1
}
press "button 20 (types Hello)" --key 20
press "button 21 (types ' remote'), with two bits garbled on the way (corrected)" --key 21 --flip 0x0101
press "button 22 with three bits garbled (rejected: nothing happens)" --key 22 --flip 0x0B00
press "button 22 again, clean" --key 22

text="$(drive text "Untitled - Notepad")"
echo
echo "Notepad received: \"$text\""
mkdir -p "$WORK"
import -display "$DISPLAY" -window root "$WORK/screenshot.png"
echo "Screenshot: $WORK/screenshot.png"

remote_log "ending remote.exe through its Exit command"
drive command 100 >/dev/null
code=0
wait "$APP_PID" || code=$?
echo "remote.exe ended with exit code $code"
[ "$text" = "Hello remote!" ]
