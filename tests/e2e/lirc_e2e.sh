#!/usr/bin/env bash
# The network receiver's client against a real LIRC server (runs lirc_test.exe's LircServer.*
# tests, and setup_test.exe's network Test button): the VERSION/LIST query, a press and a held button by its repeat counts, lircd restarted.
# The test asks for each step by creating a file in the work folder: "sendN" holds a line for lircd
# to send (irsend SIMULATE), "restartN" ends lircd and starts it again on the same port after the seconds it holds; the script
# answers with "sendN.done" or "restartN.done".
set -euo pipefail
source "$(dirname "$0")/../../tools/lib.sh"
remote_e2e_begin lirc "$1"
remote_lircd_start "$WORK/lircd"

REMOTE_LIRC="$WORK" REMOTE_LIRC_PORT="$LIRCD_PORT" WINEDEBUG=-all \
  wine "$BUILD/bin/lirc_test.exe" --gtest_filter='LircServer.*' >"$WORK/test.log" 2>&1 &
test=$!
REMOTE_PIDS+=($test)
while kill -0 "$test" 2>/dev/null; do
  for step in "$WORK"/send[0-9]* "$WORK"/restart[0-9]*; do
    [[ "$step" != *.* && ! -e "$step.done" && -e "$step" ]] || continue
    case "$step" in
      */send*) remote_lircd_send "$(cat "$step")" ;;
      *) remote_lircd_stop && sleep "$(cat "$step")" && remote_lircd_start "$WORK/lircd" ;;
    esac
    touch "$step.done"
  done
  sleep 0.02
done
check "the client against lircd (LircServer.*)" wait "$test"
tr -d '\r' <"$WORK/test.log" | grep -E '^\[ figure \]|Failure|Expected|Which is|actual' || true
expect "the case ran, not skipped" "PASSED.*1 test" "$(tr -d '\r' <"$WORK/test.log" | grep PASSED || true)"
# Setup's Test button of the network receiver box against the same server.
REMOTE_LIRC_PORT="$LIRCD_PORT" WINEDEBUG=-all \
  wine "$BUILD/bin/setup_test.exe" --gtest_filter='SetupDialogTest.NetworkTest*' >"$WORK/setup.log" 2>&1 &
test=$!
REMOTE_PIDS+=($test)
check "Setup's network Test against lircd (SetupDialogTest.NetworkTest*)" wait "$test"
tr -d '\r' <"$WORK/setup.log" | grep -E 'Failure|Expected|Which is|actual' || true
remote_e2e_end
