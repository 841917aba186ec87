#!/usr/bin/env bash
# The key path end to end: the real remote.exe under Wine with its receiver on COM1 (one end of a
# pseudo-terminal pair), the remote simulator pressing keys on COM9 (the other end), and key sink
# windows that must receive exactly the keystrokes profiles.ini names for them, through the
# direct, alias and default sections; corrected one- and two-bit errors act, three-bit errors don't.
# Usage: keypath_e2e.sh BUILD_DIR
set -euo pipefail
BUILD="$(cd "$1" && pwd)"
source "$(dirname "$0")/../../tools/lib.sh"
trap remote_cleanup EXIT

WORK="$BUILD/e2e/keypath"
rm -rf "$WORK"
mkdir -p "$WORK/app"
cp "$BUILD/bin/remote.exe" "$BUILD/bin/REMOT001.DLL" "$WORK/app/"
remote_start_display
remote_clone_wine "$BUILD/wineprefix" "$WORK/prefix"
wine reg add 'HKLM\Software\Halvesta Systems\Tessil OVRA' /v Language /d 001 /f >/dev/null 2>&1
remote_start_com_pair "$WORK/cable"

cat >"$WORK/app/profiles.ini" <<'INI'
[default]
port=1
Key3=KEYBOARD D+^D
Key9=

[Key Path Direct]
Key1=KEYBOARD CTRL+A ^A+^CTRL
Key3=

[title -]
Keypath -=Aliased

[Aliased]
Key2=KEYBOARD B+^B
Key1=
INI

(cd "$WORK/app" && exec wine ./remote.exe >/dev/null 2>&1) &
REMOTE_PIDS+=($!)

failures=0
passes=0
open_sink() { remote_open_sink "$BUILD" "$1" "$WORK/sink.log"; }
close_sink() { remote_close_sink; }
received() { remote_sink_keys "$WORK/sink.log"; }
# press "what" "expected messages" remotesim-arguments...
press() {
  local what="$1" expected="$2"
  shift 2
  local before
  before="$(received)"
  wine "$BUILD/bin/remotesim.exe" COM9 "$@" >/dev/null
  local want="$before${before:+${expected:+ }}$expected" got
  for _ in $(seq 60); do got="$(received)"; [ "$got" = "$want" ] && break; sleep 0.05; done
  sleep 0.4  # and nothing more arrives
  got="$(received)"
  if [ "$got" = "$want" ]; then
    echo "ok: $what"
    passes=$((passes + 1))
  else
    echo "FAILED: $what: expected [${want}] got [${got}]"
    failures=$((failures + 1))
  fi
}

# The program opens COM1 within a moment of its start.
sleep 3

CTRL_A="down 0x11 down 0x41 up 0x41 up 0x11"
open_sink "Key Path Direct"
press "direct section, clean packet" "$CTRL_A" --key 1
press "direct section, one bit in error" "$CTRL_A" --key 1 --flip 0x0001
press "direct section, two bits in error" "$CTRL_A" --key 1 --flip 0x4002
press "direct section, two check bits in error" "$CTRL_A" --key 1 --flip 0x8100
press "three bits in error: rejected" "" --key 1 --flip 0x0B00
press "empty entry in the window's section falls back to default" "down 0x44 up 0x44" --key 3
press "key in no section: nothing" "" --key 2
press "noise before a packet does not hide it" "$CTRL_A" --key 1 --garbage 2
press "two keys in a row" "$CTRL_A down 0x44 up 0x44" --key 1 --key 3
close_sink

open_sink "Keypath - notes.txt"
press "alias section" "down 0x42 up 0x42" --key 2
press "alias section lacking the key: default" "down 0x44 up 0x44" --key 3
press "empty entry in the alias section: default has none either" "" --key 1
close_sink

open_sink "Keypath -"
press "dash at the end: no alias, default" "down 0x44 up 0x44" --key 3
press "dash at the end: the alias is not used" "" --key 2
close_sink

open_sink "Another Window"
press "default section" "down 0x44 up 0x44" --key 3
press "empty entry in default: nothing" "" --key 9
close_sink

echo "keypath: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
