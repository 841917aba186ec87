#!/usr/bin/env bash
# The installer under Wine: a silent install into a fresh prefix, the installed program acting on a
# simulated key, an upgrade over an edited profiles.ini, and a silent uninstall.
# Usage: install_e2e.sh BUILD_DIR
set -euo pipefail
BUILD="$(cd "$1" && pwd)"
source "$(dirname "$0")/../../tools/lib.sh"
trap remote_cleanup EXIT

WORK="$BUILD/e2e/install"
rm -rf "$WORK"
mkdir -p "$WORK"
remote_start_display
remote_clone_wine "$BUILD/wineprefix" "$WORK/prefix"

APP="$WINEPREFIX/drive_c/Program Files/Halvesta Remote"
MENU="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Halvesta Remote Control"
failures=0
passes=0
check() {  # check "what" command...
  local what="$1"
  shift
  if "$@"; then echo "ok: $what"; passes=$((passes + 1)); else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
regval() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v n="$2" '$1 == n { $1 = ""; $2 = ""; sub(/^  /, ""); print }'; }
LANGKEY='HKLM\Software\Halvesta Systems\Tessil OVRA'
RUNKEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'

# --- install ---------------------------------------------------------------------------------
wine "$BUILD/dist/remote-setup.exe" /S
for f in remote.exe REMOT001.DLL profiles.ini profiles.sample.ini uninstall.exe; do
  check "installed $f" test -f "$APP/$f"
done
check "profiles.ini is the sample" cmp -s "$APP/profiles.ini" "$REMOTE_ROOT/resources/profiles.ini"
check "Language = 001" test "$(regval "$LANGKEY" Language)" = "001"
check "autostart value names the installed program" \
  test "$(regval "$RUNKEY" OVRARemote)" = 'C:\Program Files\Halvesta Remote\remote.exe'
check "Start menu entry" test -f "$MENU/Halvesta Remote Control.lnk"

# --- the installed program acts on a key -------------------------------------------------------
if [ -x "$BUILD/bin/remotesim.exe" ]; then
  remote_start_com_pair "$WORK/cable"
  cp "$APP/profiles.ini" "$WORK/profiles.orig"
  printf '\r\n[Install Test Sink]\r\nKey12=KEYBOARD A+^A\r\n' >>"$APP/profiles.ini"
  sed -i 's/^;port=1/port=1/' "$APP/profiles.ini"
  (cd "$APP" && wine ./remote.exe >/dev/null 2>&1) &
  REMOTE_PIDS+=($!)
  wine "$BUILD/bin/keysink.exe" "Install Test Sink" "$WORK/sink.log" 60 >/dev/null 2>&1 &
  REMOTE_PIDS+=($!)
  for _ in $(seq 100); do grep -q ready "$WORK/sink.log" 2>/dev/null && break; sleep 0.1; done
  sleep 2  # the receiver opens its port shortly after the program starts
  wine "$BUILD/bin/remotesim.exe" COM9 --key 12 >/dev/null
  for _ in $(seq 50); do grep -q "up 0x41" "$WORK/sink.log" 2>/dev/null && break; sleep 0.1; done
  check "installed program typed A into the window in front" grep -q "down 0x41" "$WORK/sink.log"
  cp "$WORK/profiles.orig" "$APP/profiles.ini"
fi

# --- upgrade over an edited profile ----------------------------------------------------------
printf '\r\n; edited by the user\r\n[My Program]\r\nKey3=KEYBOARD F2+^F2\r\n' >>"$APP/profiles.ini"
cp "$APP/profiles.ini" "$WORK/profiles.edited"
wine "$BUILD/dist/remote-setup.exe" /S
check "upgrade keeps the edited profiles.ini" cmp -s "$APP/profiles.ini" "$WORK/profiles.edited"
check "upgrade puts the new sample beside it" cmp -s "$APP/profiles.sample.ini" "$REMOTE_ROOT/resources/profiles.ini"

# --- uninstall -------------------------------------------------------------------------------
# As a user runs it: the uninstaller copies itself away, starts the copy and returns at once.
wine "$APP/uninstall.exe" /S
for _ in $(seq 150); do [ ! -e "$APP/uninstall.exe" ] && break; sleep 0.2; done
for f in remote.exe REMOT001.DLL profiles.sample.ini uninstall.exe; do
  check "uninstall removed $f" test ! -e "$APP/$f"
done
check "uninstall kept profiles.ini" cmp -s "$APP/profiles.ini" "$WORK/profiles.edited"
check "uninstall removed Language" test -z "$(regval "$LANGKEY" Language)"
check "uninstall removed the maker's key" bash -c "! wine reg query 'HKLM\\Software\\Halvesta Systems' >/dev/null 2>&1"
check "uninstall removed the autostart value" test -z "$(regval "$RUNKEY" OVRARemote)"
check "uninstall removed the Start menu entries" test ! -e "$MENU"

echo "install: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
