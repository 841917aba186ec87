#!/usr/bin/env bash
# Runs one test (or every test whose ctest name matches) with what it needs set up: builds first, then
# a private display, the build's Wine prefix and the COM1/COM9 cable. Writes only into the build folder
# and leaves nothing running.
# Usage: bash tools/run-test.sh NAME [GTEST_ARGS...]
#   NAME: a unit test program (dispatch_test), an end-to-end test (setup_e2e), or a ctest regular
#   expression (_e2e). Arguments after NAME go to a unit test program, e.g. --gtest_filter=Lookup.*
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap remote_cleanup EXIT
[ $# -ge 1 ] || { sed -n '2,8p' "$0" >&2; exit 2; }
NAME="$1"
shift
BUILD="${REMOTE_BUILD_DIR:-$REMOTE_ROOT/build}"

remote_install_deps
remote_build "$BUILD" >/dev/null
remote_start_test_env "$BUILD"
if [ $# -gt 0 ]; then
  [ -f "$BUILD/bin/$NAME.exe" ] || { echo "no unit test program $NAME" >&2; exit 2; }
  cd "$BUILD/bin" && "$REMOTE_ROOT/cmake/wine-run.sh" "./$NAME.exe" "$@"
else
  remote_ctest "$BUILD" --no-tests=error -R "$NAME"
fi
