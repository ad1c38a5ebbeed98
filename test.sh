#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
#   ./test.sh              the CI build (warnings are errors) and every test
#   ./test.sh --sanitize   the same tests in the address+undefined sanitizer build
#   ./test.sh --windows    the Windows build (mingw-w64, warnings are errors) and its tests under
#                          Wine on a virtual display, then the Windows packages against the Linux
#                          ones; builds the Windows libraries first when they are missing or stale
#   ./test.sh --tsan       the thread-sanitizer build of the code that runs threads (the
#                          compressor, the message pipe and the add-in's link) and its tests
#   ./test.sh --fuzz [s]   builds the fuzz harnesses with clang and runs each for s seconds
#                          (default 60) on its corpus; a crash or broken invariant fails
set -euo pipefail
cd "$(dirname "$0")"
# The programs under test keep a support log; theirs goes into the build tree, not the user's.
export XDG_STATE_HOME="$PWD/build/test-state"

preset=ci
case "${1:-}" in
  --sanitize) preset=sanitize ;;
  --windows) preset=windows ;;
  --tsan) preset=tsan ;;
  --fuzz)
    seconds="${2:-60}"
    if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
      echo "./test.sh --fuzz: seconds must be a whole number above 0, not \"$seconds\"" >&2
      exit 2
    fi
    scripts/ensure-packages.sh --fuzz
    cmake --preset fuzz >/dev/null
    cmake --build --preset fuzz
    exec fuzz/run-fuzzers.sh build/fuzz "$seconds"
    ;;
  "") ;;
  *) echo "usage: ./test.sh [--sanitize | --tsan | --windows | --fuzz [seconds]]" >&2; exit 2 ;;
esac

# Wine starts before the build: the build runs its own tools and lists the tests through it.
start_wine() {
  # The windows preset's settings (CMakePresets.json), needed here before CMake is involved.
  export WINEPREFIX="$PWD/build/windows/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$WINEPREFIX"
  local log=build/windows/wine.log
  # One persistent wineserver makes each program start in milliseconds instead of seconds. Its
  # helper processes keep the output of whatever started them open, so they are started here
  # with their output in a file: a pipe they held would never reach its end.
  wineserver -p >"$log" 2>&1 || true
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
  if [ -f "$WINEPREFIX/system.reg" ]; then
    /usr/lib/wine/wine64 wineboot >>"$log" 2>&1
  else
    echo "Creating the Wine prefix $WINEPREFIX"
    /usr/lib/wine/wine64 wineboot -i >>"$log" 2>&1
  fi
}

if [ "$preset" = windows ]; then
  scripts/windows-sysroot.sh
  cmake --preset windows >/dev/null
  # Wine makes windows only when its server started with a display, so the whole Windows run
  # gets a virtual one: the window tests open real windows on it.
  if [ -z "${RIGWRIGHT_WINDOWS_DISPLAY:-}" ]; then
    export RIGWRIGHT_WINDOWS_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$0" --windows
  fi
  start_wine
  cmake --build --preset windows
  ctest --preset windows -j "$(nproc)"
  # Packages made by rigwright.exe against the Linux tool's (which it builds when missing).
  scripts/windows-interop.sh build/windows build/ci
  exit
fi

scripts/ensure-packages.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
# One virtual display for the whole run: GUI tests open real windows on it.
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset "$preset" -j "$(nproc)"
