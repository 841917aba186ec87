#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   the 64-bit program and its unit tests under Wine (ctest), the end-to-end tests,
#   the 32-bit compile check, and the native sanitizer and fuzz runs of the pure code.
# Exits non-zero on any failure. Leaves nothing running.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap remote_cleanup EXIT

BUILD="${REMOTE_BUILD_DIR:-$REMOTE_ROOT/build}"
status=0

remote_install_deps

remote_log "building the 64-bit program and tests in $BUILD"
remote_build "$BUILD"

remote_log "compiling the 32-bit program (not run: no 32-bit Wine here)"
cmake -S "$REMOTE_ROOT" -B "$BUILD/i686" -DCMAKE_TOOLCHAIN_FILE="$REMOTE_ROOT/cmake/mingw-w64-i686.cmake" \
  -DREMOTE_TESTS=OFF >/dev/null
cmake --build "$BUILD/i686" -j"$(nproc)"

remote_log "native sanitizer and fuzz runs"
cmake -S "$REMOTE_ROOT/tests/native" -B "$BUILD/native" -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_C_COMPILER=clang-14 >/dev/null
cmake --build "$BUILD/native" -j"$(nproc)"
(cd "$BUILD/native" && ctest --output-on-failure) || status=1

remote_log "unit and end-to-end tests under Wine"
remote_start_display
remote_start_wine "$BUILD/wineprefix"
# A null-modem cable for the unit tests: the program's side is COM1, the simulated remote writes COM9.
# No other COM port exists in the prefix.
remote_start_com_pair "$BUILD/cable"
(cd "$BUILD" && ctest --output-on-failure) || status=1

exit $status
