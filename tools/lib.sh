# Shared shell helpers for the build, test, demo and end-to-end scripts. Source it; do not run it.
# Everything a script starts here is recorded and ended by its own process id in remote_cleanup.

REMOTE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
REMOTE_PIDS=()

remote_log() { printf '[%s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }
# What a build step in folder $1 costs, for its remote_log line: "($2 the first time)" while the folder
# has no build, else "($3)", by default "(seconds when little has changed)".
remote_cost() {
  if [ -f "$1/CMakeCache.txt" ]; then echo "(${3:-seconds when little has changed})"; else echo "($2 the first time)"; fi
}

# Installs the Debian packages the build and the tests need, when any is missing. As root it runs
# apt-get itself; otherwise through sudo where sudo exists; otherwise it says what to run and fails.
remote_install_deps() {
  local pkgs=(cmake make g++ python3 clang-14 libclang-rt-14-dev clang-format googletest
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
    wine wine64 fonts-wine xvfb xauth socat imagemagick nsis zip x11-utils cmark-gfm lirc xdotool)
  local missing=()
  for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  remote_log "installing ${#missing[@]} packages with apt-get (about a minute and a half when all are missing): ${missing[*]}"
  local as_root=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "Missing packages. Run as root, then run this script again:" >&2
      echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
      return 1
    fi
    as_root=(sudo)
  fi
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q >/dev/null &&
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" >/dev/null
}

# Checks that every C and C++ file git knows follows .clang-format; names those that do not.
remote_check_layout() {
  local off
  local list=(git ls-files -z '*.cpp' '*.h' '*.c')
  git -C "$REMOTE_ROOT" rev-parse >/dev/null 2>&1 ||
    list=(find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0)
  off="$(cd "$REMOTE_ROOT" && "${list[@]}" | xargs -0 -r clang-format --dry-run 2>&1 |
    grep -Eo '^[^:]+\.(cpp|h|c)' | sort -u)" || true
  [ -z "$off" ] && return 0
  echo "These files differ from .clang-format (fix with clang-format -i FILE):" >&2
  echo "$off" >&2
  return 1
}

# Configures and builds the 64-bit program, its language module, tools and tests into $1.
remote_build() {
  local dir="$1"
  cmake -S "$REMOTE_ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$REMOTE_ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
    cmake --build "$dir" -j"$(nproc)"
}

# Starts a private X server; sets DISPLAY. The display number is chosen by the server itself.
remote_start_display() {
  local fdfile
  fdfile="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  REMOTE_PIDS+=($!)
  local i
  for i in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$fdfile")"
  rm -f "$fdfile"
  remote_log "display $DISPLAY"
}

# Creates (or reuses) a Wine prefix at $1 and keeps its wineserver running until cleanup.
# Wine's menu builder is off (winemenubuilder.exe=d): it would copy each Start menu entry, file type
# and icon a prefix gets into the user's desktop menus, outside the build folder.
remote_start_wine() {
  export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export REMOTE_WINEPREFIX="$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    remote_log "creating Wine prefix $WINEPREFIX (about 20 s)"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 </dev/null || true
    # The registry reaches system.reg when the server saves it: wait for that server to end.
    wineserver -w >/dev/null 2>&1 </dev/null || true
    [ -f "$WINEPREFIX/system.reg" ] || { echo "wineboot did not create $WINEPREFIX" >&2; return 1; }
    # Unmanaged windows: with no window manager running, Wine would otherwise wait about two
    # seconds for one each time a window is hidden.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null || true
    wineserver -w >/dev/null 2>&1 </dev/null || true
  fi
  remote_wine_fonts "$WINEPREFIX"
  wineserver -p >/dev/null 2>&1 </dev/null
  # Start the prefix's own background processes now, with no terminal or pipe of ours: a test
  # runner would otherwise wait for them on the first test's output pipe.
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
  REMOTE_WINE_STARTED+=("$WINEPREFIX")
}

# Wine's own TrueType fonts: Debian ships them in /usr/share/wine/fonts, but this Wine reads fonts only
# from the prefix's Fonts folder and the system's fontconfig folders, and wineboot copies just the bitmap
# fonts into the prefix. Without Marlett the caption buttons show its letters ("0 1 r") instead of its
# glyphs, and without Tahoma ("MS Shell Dlg") dialogs are drawn in a stand-in font.
remote_wine_fonts() {
  local f
  for f in /usr/share/wine/fonts/*.ttf; do
    [ -e "$f" ] && cp -n "$f" "$1/drive_c/windows/Fonts/"
  done
  return 0
}

# Copies a ready prefix (made once by remote_start_wine) to $2 and starts its server: faster than wineboot.
remote_clone_wine() {
  local from="$1" to="$2"
  rm -rf "$to"
  mkdir -p "$(dirname "$to")"
  cp -a "$from" "$to"
  remote_start_wine "$to"
}

# A pseudo-terminal pair as a null-modem cable: $1/ttyA and $1/ttyB.
remote_start_cable() {
  local dir="$1"
  mkdir -p "$dir"
  socat pty,raw,echo=0,link="$dir/ttyA" pty,raw,echo=0,link="$dir/ttyB" >/dev/null 2>&1 &
  REMOTE_PIDS+=($!)
  local i
  for i in $(seq 100); do [ -e "$dir/ttyA" ] && [ -e "$dir/ttyB" ] && return 0; sleep 0.05; done
  echo "socat did not create the cable" >&2
  return 1
}

# Links Windows port COM$2 of the current prefix to device $1.
remote_link_com() { ln -sfn "$(readlink -f "$1")" "$WINEPREFIX/dosdevices/com$2"; }

# Plugs a receiver's cable in: a new pseudo-terminal pair in folder $1 whose ends are linked as
# COM$2 (default 1, the program's receiver) and COM$3 (default 9, the simulated remote). Sets
# REMOTE_CABLE_PID (its socat); remote_unplug_cable pulls it out again.
remote_plug_cable() {
  remote_start_cable "$1" || return 1
  REMOTE_CABLE_PID=${REMOTE_PIDS[-1]}
  remote_link_com "$1/ttyA" "${2:-1}"
  remote_link_com "$1/ttyB" "${3:-9}"
}

# The test ports of the current prefix: a cable in folder $1 whose ends are COM1 (the program's
# receiver) and COM9 (the simulated remote). No other COM port exists in the prefix.
remote_start_com_pair() {
  rm -f "$WINEPREFIX"/dosdevices/com[0-9]*
  remote_plug_cable "$1"
}

# Pulls the receiver's adapter out: ends the cable's socat (process id $1, default REMOTE_CABLE_PID)
# and removes its ports COM$2 and COM$3 (default 1 and 9), so that a new cable, which may get the old
# pseudo-terminal numbers, is reached only through new links. remote_plug_cable plugs a new one in
# under the same names.
remote_unplug_cable() {
  local pid="${1:-$REMOTE_CABLE_PID}"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  rm -f "$WINEPREFIX/dosdevices/com${2:-1}" "$WINEPREFIX/dosdevices/com${3:-9}"
}

# What ctest needs to run the build's tests under Wine: a display, the build's prefix ($1/wineprefix)
# and a null-modem cable whose ends are COM1 (the program's receiver) and COM9 (the simulated remote).
# No other COM port exists in the prefix.
remote_start_test_env() {
  remote_start_display
  remote_start_wine "$1/wineprefix"
  remote_start_com_pair "$1/cable"
}

# Runs ctest in build folder $1 with the remaining arguments; appends its counts ("passed failed") to
# REMOTE_COUNTS. Returns ctest's status.
REMOTE_COUNTS=()
remote_ctest() {
  local - dir="$1" log rc=0
  set -o pipefail
  shift
  log="$(mktemp)"
  (cd "$dir" && ctest --output-on-failure "$@") 2>&1 | tee "$log" || rc=1
  REMOTE_COUNTS+=("$(awk '/tests passed, .* tests failed out of/ { print $NF - $4, $4 }' "$log" | tail -1)")
  rm -f "$log"
  return $rc
}

# Prints the closing line over REMOTE_COUNTS and the extra counts given as "passed failed" pairs.
remote_summary() {
  local passed=0 failed=0 c
  for c in "${REMOTE_COUNTS[@]}" "$@"; do
    [ -n "$c" ] || continue
    passed=$((passed + ${c% *}))
    failed=$((failed + ${c#* }))
  done
  echo
  echo "All test runs above, the layout check and the check of the desktop menus, $((passed + failed)) in all:"
  echo "total: $passed passed, $failed failed"
}

# ---- The end-to-end harness ----------------------------------------------------------------------
# Every tests/e2e/*_e2e.sh, and the demo and screenshot scripts where they do the same, run this way:
#   source tools/lib.sh
#   remote_e2e_begin keypath "$1"        # BUILD, WORK, a display, a copy of the build's prefix
#   remote_language 001                  # the language value, if the test wants the module
#   remote_start_com_pair "$WORK/cable"  # COM1 (the program) <-> COM9 (the remote simulator)
#   remote_app "$WORK/app"; printf '[default]\r\nport=1\r\n' >"$WORK/app/profiles.ini"
#   remote_run_app "$WORK/app"           # or remote_launch, to learn its exit code
#   remote_open_sink "Some Window"; expect_keys "what" "down 0x41 up 0x41" --key 12
#   expect / expect_same / check ...
#   remote_e2e_end                       # the closing line "keypath: N passed, M failed"; status
# Checks print "ok: what" or "FAILED: what: why" and are counted; the closing line and the exit
# status come from those counts. A script that stops before remote_e2e_end fails and says so.

# Starts end-to-end test $1 with build folder $2: sets BUILD (absolute) and WORK ($BUILD/e2e/$1,
# emptied), starts a display and a copy of the build's Wine prefix in $WORK/prefix. Everything
# started is ended at exit; the prefix copy, which is large, is kept only when the test failed.
remote_e2e_begin() {
  REMOTE_E2E_NAME="$1"
  BUILD="$(cd "$2" && pwd)"
  WORK="$BUILD/e2e/$1"
  REMOTE_PASSES=0 REMOTE_FAILURES=0 REMOTE_E2E_ENDED=0
  # The command that stops a script early (set -e) is named in its last line.
  set -E
  trap 'REMOTE_E2E_FAILED_AT="${BASH_SOURCE[0]##*/}:$LINENO: $BASH_COMMAND"' ERR
  trap remote_e2e_finish EXIT
  rm -rf "$WORK"
  mkdir -p "$WORK"
  remote_start_display
  remote_clone_wine "$BUILD/wineprefix" "$WORK/prefix"
}
remote_e2e_finish() {
  local rc=$?
  remote_cleanup
  if [ "${REMOTE_E2E_ENDED:-0}" != 1 ]; then
    echo "$REMOTE_E2E_NAME: stopped early (status $rc) after $REMOTE_PASSES passed, $REMOTE_FAILURES failed" \
      "${REMOTE_E2E_FAILED_AT:+(at $REMOTE_E2E_FAILED_AT)}"
    [ "$rc" -ne 0 ] || rc=1
  fi
  [ "$rc" -ne 0 ] || rm -rf "$WORK/prefix"
  exit "$rc"
}
# Prints the closing line "NAME: N passed, M failed"; returns 0 when nothing failed. Call it last.
remote_e2e_end() {
  REMOTE_E2E_ENDED=1
  echo "$REMOTE_E2E_NAME: $REMOTE_PASSES passed, $REMOTE_FAILURES failed"
  [ "$REMOTE_FAILURES" -eq 0 ]
}
remote_ok() { echo "ok: $1"; REMOTE_PASSES=$((REMOTE_PASSES + 1)); }
remote_failed() { echo "FAILED: $1"; REMOTE_FAILURES=$((REMOTE_FAILURES + 1)); }
# expect WHAT REGEX ACTUAL: passes when ACTUAL matches the extended regular expression.
expect() { if [[ "$3" =~ $2 ]]; then remote_ok "$1"; else remote_failed "$1: got '$3', expected /$2/"; fi; }
# expect_same WHAT TEXT ACTUAL: passes when ACTUAL is exactly TEXT.
expect_same() { if [ "$3" = "$2" ]; then remote_ok "$1"; else remote_failed "$1: got '$3', expected '$2'"; fi; }
# check WHAT COMMAND...: passes when the command succeeds.
check() {
  local what="$1"
  shift
  if "$@"; then remote_ok "$what"; else remote_failed "$what"; fi
}

# Sets the language value (HKLM) of the current prefix to code $1, as the installer does.
remote_language() {
  wine reg add 'HKLM\Software\Halvesta Systems\Tessil OVRA' /v Language /d "$1" /f >/dev/null 2>&1
}
# Puts the program into folder $1 (made if missing): remote.exe and REMOT001.DLL, or the files named
# after it. The test writes its profiles.ini there itself.
remote_app() {
  local dir="$1" f
  shift
  [ $# -gt 0 ] || set -- remote.exe REMOT001.DLL
  mkdir -p "$dir"
  for f in "$@"; do cp "$BUILD/bin/$f" "$dir/"; done
}
# Starts remote.exe in folder $1 (its current folder too) with arguments $2...; returns once its main
# window exists and its receiver had a moment to open the port. Sets APP_PID: Wine runs the program
# in the process that `wine` was exec'd as, so that is remote.exe itself.
remote_run_app() {
  local dir="$1"
  shift
  (cd "$dir" && exec wine ./remote.exe "$@" >/dev/null 2>&1) &
  APP_PID=$!
  REMOTE_PIDS+=($APP_PID)
  drive window 20000 >/dev/null
  sleep 1
}
# Starts Windows program $1 (a Windows path) in Windows folder $2 with the argument line $3 through
# the shell driver, which waits up to 240 s for its end. Sets PID (the Windows process id);
# remote_exit_code PID then tells how it ended.
remote_launch() {
  local launch="$WORK/starting.launch"
  timeout 300 wine "$BUILD/bin/shelldriver.exe" launch "$1" "$2" 240 ${3:+"$3"} >"$launch" 2>/dev/null &
  REMOTE_PIDS+=($!)
  PID=""
  for _ in $(seq 200); do
    PID="$(awk '/^pid/ {print $2}' "$launch" | tr -d '\r')"
    [ -n "$PID" ] && break
    sleep 0.1
  done
  mv "$launch" "$WORK/$PID.launch" # the driver keeps writing to the same file
}
# Waits (up to 90 s) for the end of the program started by remote_launch with Windows process id $1;
# prints "exit CODE" as the system reports it, or what went wrong.
remote_exit_code() {
  local result=""
  for _ in $(seq 900); do
    result="$(grep -E '^(exit|still|cannot)' "$WORK/$1.launch" | tr -d '\r')"
    [ -n "$result" ] && break
    sleep 0.1
  done
  echo "$result"
}
# The shell driver (tests/e2e/shelldriver.cpp) with its arguments; its output without carriage returns.
drive() { timeout 60 wine "$BUILD/bin/shelldriver.exe" "$@" 2>/dev/null | tr -d '\r'; }

# Presses keys on the remote: remotesim.exe with the arguments given, on COM9, or on the port named
# first (remote_press COM8 --key 12).
remote_press() {
  local port=COM9
  [[ "${1:-}" == COM* ]] && { port="$1"; shift; }
  wine "$BUILD/bin/remotesim.exe" "$port" "$@" >/dev/null 2>&1
}

# A key sink window (tests/e2e/keysink.cpp) titled $1, logging the keys that reach it into $2
# (default $WORK/sink.log); returns once it is in front. $3, if given: seconds its close handler
# blocks (the window then stays open). Sets SINK_PID and SINK_LOG; remote_close_sink ends it.
remote_open_sink() {
  SINK_LOG="${2:-$WORK/sink.log}"
  rm -f "$SINK_LOG"
  wine "$BUILD/bin/keysink.exe" "$1" "$SINK_LOG" 120 ${3:-} >/dev/null 2>&1 &
  SINK_PID=$!
  REMOTE_PIDS+=($SINK_PID)
  local i
  for i in $(seq 200); do grep -q ready "$SINK_LOG" 2>/dev/null && return 0; sleep 0.05; done
  echo "key sink '$1' did not start" >&2
  return 1
}
remote_close_sink() { kill "$SINK_PID" 2>/dev/null || true; wait "$SINK_PID" 2>/dev/null || true; }
# The key messages in sink log $1 (default SINK_LOG), without times, on one line: "down 0x41 up 0x41".
remote_sink_keys() {
  awk '$1 == "down" || $1 == "up" { printf "%s%s %s", sep, $1, $2; sep = " " }' "${1:-$SINK_LOG}" 2>/dev/null
}
# Waits up to 3 s for the sink's keys to read $1, then half a second more for anything extra; prints
# what it received.
remote_sink_wait() {
  for _ in $(seq 60); do [ "$(remote_sink_keys)" = "$1" ] && break; sleep 0.05; done
  sleep 0.5
  remote_sink_keys
}
# expect_after WHAT KEYS COMMAND...: runs COMMAND (what presses the buttons or types the keys), and
# passes when the sink received exactly KEYS ("down 0x41 up 0x41", or "" for nothing) after what it
# had before.
expect_after() {
  local what="$1" keys="$2" before
  shift 2
  before="$(remote_sink_keys)"
  "$@"
  local want="$before${before:+${keys:+ }}$keys"
  expect_same "$what" "$want" "$(remote_sink_wait "$want")"
}
# expect_keys WHAT KEYS REMOTESIM-ARGS...: expect_after with the remote's presses (remote_press).
expect_keys() {
  local what="$1" keys="$2"
  shift 2
  expect_after "$what" "$keys" remote_press "$@"
}

# A real LIRC server: lircd (Debian's lirc) with the remote of tests/e2e/demo.lircd.conf, listening on
# a free loopback port, its socket, pid and log files in folder $1 (made if missing). Sets LIRCD_DIR,
# LIRCD_PORT (kept when set: a restart listens where it did) and LIRCD_PID; returns once it listens.
remote_lircd_start() {
  LIRCD_DIR="$1"
  mkdir -p "$LIRCD_DIR"
  [ -n "${LIRCD_PORT:-}" ] ||
    LIRCD_PORT="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
  lircd --nodaemon --driver=default --device=/dev/null --allow-simulate --listen="127.0.0.1:$LIRCD_PORT" \
    --output="$LIRCD_DIR/lircd.sock" --pidfile="$LIRCD_DIR/lircd.pid" --logfile="$LIRCD_DIR/lircd.log" \
    "$REMOTE_ROOT/tests/e2e/demo.lircd.conf" >>"$LIRCD_DIR/lircd.out" 2>&1 &
  LIRCD_PID=$!
  REMOTE_PIDS+=($LIRCD_PID)
  local i
  for i in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$LIRCD_PORT") 2>/dev/null && return 0
    kill -0 "$LIRCD_PID" 2>/dev/null || break
    sleep 0.05
  done
  echo "lircd did not start (see $LIRCD_DIR/lircd.log)" >&2
  return 1
}
# Ends the lircd that remote_lircd_start started, by its process id.
remote_lircd_stop() {
  kill "$LIRCD_PID" 2>/dev/null || true
  wait "$LIRCD_PID" 2>/dev/null || true
}
# Makes lircd send line $1 ("0000000020df10ef 00 KEY_PLAY DEMO") to every client.
remote_lircd_send() { irsend -d "$LIRCD_DIR/lircd.sock" SIMULATE "$1" >/dev/null; }

REMOTE_WINE_STARTED=()
remote_cleanup() {
  local p
  for p in "${REMOTE_WINE_STARTED[@]}"; do WINEPREFIX="$p" wineserver -k >/dev/null 2>&1 || true; done
  for p in "${REMOTE_PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${REMOTE_PIDS[@]}"; do wait "$p" 2>/dev/null || true; done
  REMOTE_PIDS=()
  REMOTE_WINE_STARTED=()
}
