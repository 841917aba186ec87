#!/usr/bin/env bash
# The key path end to end: the real remote.exe under Wine with its receiver on COM1 (one end of a
# pseudo-terminal pair), the remote simulator pressing keys on COM9 (the other end), and key sink
# windows that must receive exactly the keystrokes profiles.ini names for them, through the
# direct, alias and default sections; corrected one- and two-bit errors act, three-bit errors don't.
# Before all that, COM1 appears only 4 s after the program's start: no setup dialog opens, and keys
# act once it is there. Then the receiver's adapter is pulled out (the cable's socat ends) and a
# new one is plugged in under the same name: keys act again without a restart, and the program
# rests meanwhile. A resume from sleep with the old port silent opens the new one; 10,000 random
# bytes on the line type next to nothing, and a clean press after a second of quiet acts; Exit
# ends the program with code 0.
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
CABLE_PID=${REMOTE_PIDS[-1]}

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
# The noise sink maps every key: each key acted on types N.
{ echo "[Noise Sink]"; for k in $(seq 0 127); do echo "Key$k=KEYBOARD N+^N"; done; } >>"$WORK/app/profiles.ini"
# The adapter is late: COM1 appears only 4 s after the program's start.
# (A link to a folder, which cannot be opened: without a link, or with a dangling one, Wine would
# map COM1 to /dev/ttyS0 by itself.)
mkdir -p "$WORK/no-adapter-yet"
ln -sfn "$WORK/no-adapter-yet" "$WINEPREFIX/dosdevices/com1"

# Wine runs the program in the process that `wine` was exec'd as: that pid is remote.exe itself.
(cd "$WORK/app" && exec wine ./remote.exe >/dev/null 2>&1) &
APP_PID=$!
REMOTE_PIDS+=($APP_PID)

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

check() {
  if eval "$2"; then
    echo "ok: $1"
    passes=$((passes + 1))
  else
    echo "FAILED: $1"
    failures=$((failures + 1))
  fi
}
now_ms() { echo $(($(date +%s%N) / 1000000)); }
drive() { timeout 60 wine "$BUILD/bin/shelldriver.exe" "$@" 2>/dev/null | tr -d '\r'; }
# Presses key 1 every 100 ms until a key reaches the sink (at most 15 s); prints the ms it took from $1.
first_key_after() {
  wine "$BUILD/bin/remotesim.exe" COM9 --key 1 --repeat 100 --gap 100 >/dev/null 2>&1 &
  local sim=$! ms=-1
  while [ $(($(now_ms) - $1)) -lt 15000 ]; do
    if [ -n "$(received)" ]; then ms=$(($(now_ms) - $1)); break; fi
    sleep 0.02
  done
  kill "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
  echo "$ms"
}

# --- the adapter appears 4 s after the start ------------------------------------------------------
sleep 4
check "configured port absent at start: no setup dialog" "[ \"\$(drive no-dialog 500)\" = 'no dialog' ]"
open_sink "Key Path Direct"
remote_link_com "$WORK/cable/ttyA" 1
arrived=$(now_ms)
late_ms=$(first_key_after "$arrived")
echo "late adapter: first key acted on $late_ms ms after the port appeared"
check "late adapter: keys act once the port is there" "[ $late_ms -ge 0 ]"
sleep 1.5  # the presses still on their way
close_sink

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

# --- the adapter pulled out and plugged in again ---------------------------------------------------
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$APP_PID/stat"; }
hz=$(getconf CLK_TCK)
open_sink "Key Path Direct"
remote_unplug_cable "$CABLE_PID"
sleep 1
ticks0=$(cpu_ticks) t0=$(now_ms)
sleep 10
away_cpu_ms=$((($(cpu_ticks) - ticks0) * 1000 / hz)) away_ms=$(($(now_ms) - t0))
remote_start_com_pair "$WORK/cable2"
back=$(now_ms)
wine "$BUILD/bin/remotesim.exe" COM9 --key 1 --repeat 60 --gap 100 >/dev/null &
sim=$!
first_key_ms=-1
while [ $(($(now_ms) - back)) -lt 15000 ]; do
  if [ -n "$(received)" ]; then first_key_ms=$(($(now_ms) - back)); break; fi
  sleep 0.02
done
wait "$sim" || true
echo "adapter away: the program used $away_cpu_ms ms of processor time in $away_ms ms" \
  "($(awk -v c="$away_cpu_ms" -v t="$away_ms" 'BEGIN { printf "%.2f", 100 * c / t }') %; clock tick $((1000 / hz)) ms)"
echo "adapter back: first key acted on $first_key_ms ms after the new port was linked"
check "adapter away: the program rests (under 2% of a processor)" "[ $((away_cpu_ms * 50)) -lt $away_ms ]"
check "adapter back: keys act again without a restart" "[ $first_key_ms -ge 0 ]"
sleep 0.5
press "after re-plugging, one press is one key" "$CTRL_A" --key 1

# --- resume from sleep: the old port stays open but silent, COM1 now names a new pair -------------
remote_start_cable "$WORK/cable3"
remote_link_com "$WORK/cable3/ttyA" 1
remote_link_com "$WORK/cable3/ttyB" 9
sleep 0.5
press "old port silent: a key on the new pair does nothing yet" "" --key 1
resumed=$(now_ms)
drive power 4 18 7 >/dev/null  # suspend, then both resume events: one restart
resume_ms=$(first_key_after "$resumed")
echo "resume: first key acted on $resume_ms ms after the resume broadcast"
check "resume: keys act on the new port" "[ $resume_ms -ge 0 ]"
sleep 1.5
close_sink

# --- noise: 10,000 random bytes, then a clean press after a second of quiet -----------------------
open_sink "Noise Sink"
head -c 10000 /dev/urandom >"$WORK/cable3/ttyB"
sleep 8  # the program reads the burst byte by byte, and then the line is quiet for a second
noise_keys=$(received | awk '{ print gsub(/down/, "") }')
noise_keys=${noise_keys:-0}
echo "noise: 10,000 random bytes acted on $noise_keys keys"
check "noise: 10,000 random bytes act on at most 3 keys" "[ $noise_keys -le 3 ]"
before="$(received)"
wine "$BUILD/bin/remotesim.exe" COM9 --key 5 >/dev/null
for _ in $(seq 60); do [ "$(received)" != "$before" ] && break; sleep 0.05; done
check "noise: a clean press after a second of quiet acts" "[ \"\$(received)\" = \"$before${before:+ }down 0x4E up 0x4E\" ]"
close_sink

drive command 100 >/dev/null
app_rc=0
wait "$APP_PID" || app_rc=$?
check "Exit after the late start and the resume: exit code 0" "[ $app_rc -eq 0 ]"

echo "keypath: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
