#!/usr/bin/env bash
# Benchmarks of the key path, printed as figures (never pass/fail):
#   key latency: from the last byte of a packet written to the port to the key-down arriving in
#                the window in front, over N presses (default 200): median, 95th percentile, maximum;
#   idle cost:   processor time the program uses over 30 s with the receiver running and no keys.
# Usage: bash tools/bench.sh [PRESSES]     (builds first if needed; leaves nothing running)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap remote_cleanup EXIT
PRESSES="${1:-200}"
BUILD="${REMOTE_BUILD_DIR:-$REMOTE_ROOT/build}"
remote_install_deps
remote_build "$BUILD" >/dev/null

WORK="$BUILD/bench"
rm -rf "$WORK"
mkdir -p "$WORK/app"
cp "$BUILD/bin/remote.exe" "$BUILD/bin/REMOT001.DLL" "$WORK/app/"
printf '[default]\r\nport=1\r\n[Bench Sink]\r\nKey12=KEYBOARD A+^A\r\n' >"$WORK/app/profiles.ini"
remote_start_display
[ -f "$BUILD/wineprefix/system.reg" ] || remote_start_wine "$BUILD/wineprefix"
remote_clone_wine "$BUILD/wineprefix" "$WORK/prefix"
wine reg add 'HKLM\Software\Halvesta Systems\Tessil OVRA' /v Language /d 001 /f >/dev/null 2>&1
remote_start_com_pair "$WORK/cable"

(cd "$WORK/app" && exec wine ./remote.exe >/dev/null 2>&1) &
APP_PID=$!
REMOTE_PIDS+=($APP_PID)
sleep 3

# --- idle cost ---------------------------------------------------------------------------------
# Wine runs the program in the process that `wine` was exec'd as: that pid is remote.exe itself.
tr '\0' ' ' <"/proc/$APP_PID/cmdline" | grep -q 'remote.exe' || echo "warning: pid $APP_PID is not remote.exe" >&2
ticks() { awk '{ print $14 + $15 }' "/proc/$APP_PID/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
sleep 30
after=$(ticks)
idle_ms=$(( (after - before) * 1000 / hz ))

# --- key latency -------------------------------------------------------------------------------
wine "$BUILD/bin/keysink.exe" "Bench Sink" "$WORK/sink.log" 600 >/dev/null 2>&1 &
REMOTE_PIDS+=($!)
for _ in $(seq 200); do grep -q ready "$WORK/sink.log" 2>/dev/null && break; sleep 0.05; done
wine "$BUILD/bin/remotesim.exe" COM9 --key 12 --repeat "$PRESSES" --gap 60 >"$WORK/sent.log"
sleep 1

awk '$1 == "key" { print $NF }' "$WORK/sent.log" >"$WORK/sent.t"
awk '$1 == "down" && $2 == "0x41" { print $3 }' "$WORK/sink.log" >"$WORK/down.t"
sent=$(wc -l <"$WORK/sent.t")
got=$(wc -l <"$WORK/down.t")
paste "$WORK/sent.t" "$WORK/down.t" | awk 'NF == 2 { printf "%.3f\n", ($2 - $1) / 1000 }' | sort -n >"$WORK/latency.ms"
n=$(wc -l <"$WORK/latency.ms")
pick() { awk -v p="$1" -v n="$n" 'NR == (int(p * n + 0.999999) < 1 ? 1 : int(p * n + 0.999999)) { print; exit }' "$WORK/latency.ms"; }

echo "machine: $(nproc) cores, $(awk '/model name/ { $1 = $2 = $3 = ""; sub(/^ +/, ""); print; exit }' /proc/cpuinfo), $(wine --version 2>/dev/null)"
echo "date: $(date -u +%Y-%m-%d)"
echo "key latency over $n presses ($sent sent, $got key-downs seen), last byte written -> key-down in the window:"
echo "  median $(pick 0.5) ms, 95th percentile $(pick 0.95) ms, maximum $(tail -1 "$WORK/latency.ms") ms"
echo "idle cost: $idle_ms ms of processor time in 30 s with the receiver running and no keys (clock tick $((1000 / hz)) ms)"
