#!/usr/bin/env bash
# Faults of the serial link on a cable of its own (runs link_test.exe's ReceiverLinkFaults tests):
# a COM port that is a plain file, whose serial settings cannot be read; and the receiver's adapter
# pulled out while the reader waits for a byte (the cable is cut by ending its socat).
set -euo pipefail
BUILD="$1"
source "$(dirname "$0")/../../tools/lib.sh"
work="$BUILD/e2e/link_faults"
# The prefix copy is large: kept only when the test failed.
finish() {
  local rc=$?
  remote_cleanup
  [ "$rc" -ne 0 ] || rm -rf "$work/prefix"
}
trap finish EXIT

rm -rf "$work"
mkdir -p "$work"
remote_start_display
remote_clone_wine "$BUILD/wineprefix" "$work/prefix"
remote_start_cable "$work/cable"
cable=${REMOTE_PIDS[-1]}
rm -f "$WINEPREFIX"/dosdevices/com[0-9]*
remote_link_com "$work/cable/ttyA" 1
remote_link_com "$work/cable/ttyB" 9
: >"$work/notaport"
ln -sfn "$work/notaport" "$WINEPREFIX/dosdevices/com5"

REMOTE_LINK_FAULTS="$work" wine "$BUILD/bin/link_test.exe" --gtest_filter='ReceiverLinkFaults.*' &
test=$!
for _ in $(seq 600); do
  [ -e "$work/ready" ] && break
  kill -0 "$test" 2>/dev/null || break
  sleep 0.1
done
remote_log "cutting the cable"
kill "$cable" 2>/dev/null || true
wait "$cable" 2>/dev/null || true
touch "$work/pulled"
wait "$test"
