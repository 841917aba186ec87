#!/usr/bin/env bash
# Runs a Windows program of the build under Wine with the build's private prefix.
# REMOTE_WINEPREFIX and DISPLAY come from tools/test.sh; defaults suit a manual run from a build folder.
export WINEPREFIX="${REMOTE_WINEPREFIX:-$PWD/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
