#!/usr/bin/env bash
# Faults of the serial link on a cable of its own (runs link_test.exe's ReceiverLinkFaults tests):
# a COM port that is a plain file, whose serial settings cannot be read; and the receiver's adapter
# pulled out while the reader waits for a byte and plugged in again. The test asks for each step
# by creating a file in the work folder: "cutN" ends the cable's socat, "plugN" starts a new
# pseudo-terminal pair and links it as COM1 and COM9; the script answers with "cutN.done" or
# "plugN.done".
set -euo pipefail
source "$(dirname "$0")/../../tools/lib.sh"
remote_e2e_begin link_faults "$1"
remote_start_com_pair "$WORK/cable"
: >"$WORK/notaport"
ln -sfn "$WORK/notaport" "$WINEPREFIX/dosdevices/com5"

REMOTE_LINK_FAULTS="$WORK" wine "$BUILD/bin/link_test.exe" --gtest_filter='ReceiverLinkFaults.*' &
test=$!
round=1
while kill -0 "$test" 2>/dev/null; do
  for step in "$WORK"/cut[0-9] "$WORK"/plug[0-9]; do
    [ -e "$step" ] && [ ! -e "$step.done" ] || continue
    case "$(basename "$step")" in
      cut*)
        remote_log "pulling the adapter out ($(basename "$step"))"
        remote_unplug_cable
        ;;
      plug*)
        remote_log "plugging a new adapter in ($(basename "$step"))"
        remote_plug_cable "$WORK/cable$round"
        round=$((round + 1))
        ;;
    esac
    touch "$step.done"
  done
  sleep 0.05
done
check "the link's fault tests (ReceiverLinkFaults.*)" wait "$test"
remote_e2e_end
