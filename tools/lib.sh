# Shared shell helpers for the build, test, demo and end-to-end scripts. Source it; do not run it.
# Everything a script starts here is recorded and ended by its own process id in remote_cleanup.

REMOTE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
REMOTE_PIDS=()

remote_log() { printf '[%s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }

# Installs the Debian packages the build and the tests need, when any is missing.
remote_install_deps() {
  local pkgs=(cmake make g++ python3 clang-14 libclang-rt-14-dev googletest
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
    wine wine64 xvfb xauth socat imagemagick nsis zip x11-utils)
  local missing=()
  for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  remote_log "installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages (${missing[*]}); run as root so that they can be installed." >&2
    return 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q >/dev/null && apt-get install -y -q "${missing[@]}" >/dev/null
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
remote_start_wine() {
  export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export REMOTE_WINEPREFIX="$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    remote_log "creating Wine prefix $WINEPREFIX"
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
  wineserver -p >/dev/null 2>&1 </dev/null
  # Start the prefix's own background processes now, with no terminal or pipe of ours: a test
  # runner would otherwise wait for them on the first test's output pipe.
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
  REMOTE_WINE_STARTED+=("$WINEPREFIX")
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

# The test ports of the current prefix: a cable in folder $1 whose ends are COM1 (the program's
# receiver) and COM9 (the simulated remote). No other COM port exists in the prefix.
remote_start_com_pair() {
  remote_start_cable "$1" || return 1
  rm -f "$WINEPREFIX"/dosdevices/com[0-9]*
  remote_link_com "$1/ttyA" 1
  remote_link_com "$1/ttyB" 9
}

# A key sink window (build/bin/keysink.exe from $1, the build folder) titled $2, logging the keys that
# reach it into $3; returns once it is in front. $4, if given: seconds its close handler blocks (the
# window then stays open). Sets SINK_PID; remote_close_sink ends it.
remote_open_sink() {
  rm -f "$3"
  wine "$1/bin/keysink.exe" "$2" "$3" 120 ${4:-} >/dev/null 2>&1 &
  SINK_PID=$!
  REMOTE_PIDS+=($SINK_PID)
  local i
  for i in $(seq 200); do grep -q ready "$3" 2>/dev/null && return 0; sleep 0.05; done
  echo "key sink '$2' did not start" >&2
  return 1
}
remote_close_sink() { kill "$SINK_PID" 2>/dev/null || true; wait "$SINK_PID" 2>/dev/null || true; }
# The key messages in sink log $1, without times, on one line: "down 0x41 up 0x41".
remote_sink_keys() { awk '$1 == "down" || $1 == "up" { printf "%s%s %s", sep, $1, $2; sep = " " }' "$1" 2>/dev/null; }

REMOTE_WINE_STARTED=()
remote_cleanup() {
  local p
  for p in "${REMOTE_WINE_STARTED[@]}"; do WINEPREFIX="$p" wineserver -k >/dev/null 2>&1 || true; done
  for p in "${REMOTE_PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${REMOTE_PIDS[@]}"; do wait "$p" 2>/dev/null || true; done
  REMOTE_PIDS=()
  REMOTE_WINE_STARTED=()
}
