#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   the layout check (clang-format), the 32-bit compile check, the native sanitizer and fuzz runs of
#   the pure code, and the 64-bit program's unit and end-to-end tests under Wine (ctest).
# Ends with one overall line "total: N passed, M failed". Exits non-zero on any failure.
# Leaves nothing running and writes nothing outside the build folder.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap remote_cleanup EXIT

BUILD="${REMOTE_BUILD_DIR:-$REMOTE_ROOT/build}"
status=0

remote_install_deps

remote_log "layout check (.clang-format)"
layout="0 1"
if remote_check_layout; then layout="1 0"; else status=1; fi

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
remote_ctest "$BUILD/native" || status=1

remote_log "unit and end-to-end tests under Wine"
remote_start_test_env "$BUILD"
remote_ctest "$BUILD" || status=1

remote_summary "$layout"
exit $status
