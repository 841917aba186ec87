#!/usr/bin/env bash
# Faults of the serial link on a cable of its own (runs link_test.exe's ReceiverLinkFaults tests):
# a COM port that is a plain file, whose serial settings cannot be read; and the receiver's adapter
# pulled out while the reader waits for a byte and plugged in again. The test asks for each step
# by creating a file in the work folder: "cutN" ends the cable's socat, "plugN" starts a new
# pseudo-terminal pair and links it as COM1 and COM9; the script answers with "cutN.done" or
# "plugN.done".
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
round=1
while kill -0 "$test" 2>/dev/null; do
  for step in "$work"/cut[0-9] "$work"/plug[0-9]; do
    [ -e "$step" ] && [ ! -e "$step.done" ] || continue
    case "$(basename "$step")" in
      cut*)
        remote_log "pulling the adapter out ($(basename "$step"))"
        kill "$cable" 2>/dev/null || true
        wait "$cable" 2>/dev/null || true
        # The port's name goes with it: the new cable's ends may get the old pseudo-terminal
        # numbers, and must be reached only through the new links.
        rm -f "$WINEPREFIX/dosdevices/com1" "$WINEPREFIX/dosdevices/com9"
        ;;
      plug*)
        remote_log "plugging a new adapter in ($(basename "$step"))"
        remote_start_cable "$work/cable$round"
        cable=${REMOTE_PIDS[-1]}
        remote_link_com "$work/cable$round/ttyA" 1
        remote_link_com "$work/cable$round/ttyB" 9
        round=$((round + 1))
        ;;
    esac
    touch "$step.done"
  done
  sleep 0.05
done
wait "$test"
