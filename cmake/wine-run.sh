#!/usr/bin/env bash
# Runs a Windows program of the build under Wine with the build's private prefix and display, as
# ctest's emulator. tools/test.sh and tools/run-test.sh set both; run single tests through those.
if [ -z "${REMOTE_WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  echo "wine-run.sh: no Wine prefix or display set up; run the test with: bash tools/run-test.sh NAME" >&2
  exit 2
fi
export WINEPREFIX="$REMOTE_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Never Wine's menu builder, whatever else is overridden: it writes into the user's desktop menus.
[[ "$WINEDLLOVERRIDES" == *winemenubuilder.exe=d* ]] || WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
exec wine "$@"
