#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   the layout check (clang-format), the 32-bit compile check, the native sanitizer and fuzz runs of
#   the pure code, and the 64-bit program's unit and end-to-end tests under Wine (ctest).
# Ends with one overall line "total: N passed, M failed". Exits non-zero on any failure.
# Leaves nothing running and writes nothing outside the build folder: the user's desktop menus and
# icons, where Wine would put its Start menu entries, are compared before and after (one more test).
# Each step says what it costs the first time, as measured on a fresh 2-core machine.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap remote_cleanup EXIT

BUILD="${REMOTE_BUILD_DIR:-$REMOTE_ROOT/build}"
status=0
# The desktop's menu entries, menus and icons of this user (where Wine's menu builder writes).
desktop_entries() {
  local data="${XDG_DATA_HOME:-$HOME/.local/share}" config="${XDG_CONFIG_HOME:-$HOME/.config}" d
  for d in "$data/applications" "$data/desktop-directories" "$data/icons" "$data/mime/packages" \
    "$config/menus"; do
    if [ -d "$d" ]; then find "$d" -print; fi
  done | LC_ALL=C sort
}
entries_before="$(desktop_entries)"

remote_install_deps

remote_log "layout check (.clang-format; a few seconds)"
layout="0 1"
if remote_check_layout; then layout="1 0"; else status=1; fi

remote_log "building the 64-bit program and tests in $BUILD $(remote_cost "$BUILD" "about two minutes")"
remote_build "$BUILD"

remote_log "compiling the 32-bit program (not run: no 32-bit Wine here) $(remote_cost "$BUILD/i686" "half a minute")"
cmake -S "$REMOTE_ROOT" -B "$BUILD/i686" -DCMAKE_TOOLCHAIN_FILE="$REMOTE_ROOT/cmake/mingw-w64-i686.cmake" \
  -DREMOTE_TESTS=OFF >/dev/null
cmake --build "$BUILD/i686" -j"$(nproc)"

remote_log "native sanitizer and fuzz runs $(remote_cost "$BUILD/native" "about three and a half minutes" "about two and a half minutes")"
cmake -S "$REMOTE_ROOT/tests/native" -B "$BUILD/native" -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_C_COMPILER=clang-14 >/dev/null
cmake --build "$BUILD/native" -j"$(nproc)"
remote_ctest "$BUILD/native" || status=1

remote_log "unit and end-to-end tests under Wine (about five to seven minutes)"
remote_start_test_env "$BUILD"
remote_ctest "$BUILD" || status=1

remote_cleanup # every Wine process ended, so nothing writes after the comparison
desktop="0 1"
changed="$(diff <(echo "$entries_before") <(desktop_entries) | sed -n 's/^< /  gone: /p; s/^> /  new: /p')" || true
if [ -z "$changed" ]; then
  desktop="1 0"
  echo "ok: the desktop's menus and icons are as they were"
else
  echo "FAILED: the desktop's menus and icons changed:"
  echo "$changed" | head -20
  status=1
fi

remote_summary "$layout" "$desktop"
exit $status
