#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
#   ./test.sh              the CI build (warnings are errors) and every test
#   ./test.sh --sanitize   the same tests in the address+undefined sanitizer build
#   ./test.sh --fuzz [s]   builds the fuzz harnesses with clang and runs each for s seconds
#                          (default 60) on its corpus; a crash or broken invariant fails
set -euo pipefail
cd "$(dirname "$0")"

preset=ci
case "${1:-}" in
  --sanitize) preset=sanitize ;;
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
  *) echo "usage: ./test.sh [--sanitize | --fuzz [seconds]]" >&2; exit 2 ;;
esac

scripts/ensure-packages.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
# One virtual display for the whole run: GUI tests open real windows on it.
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset "$preset" -j "$(nproc)"
