#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
#   ./test.sh              the CI build (warnings are errors) and every test
#   ./test.sh --sanitize   the same tests in the address+undefined sanitizer build
set -euo pipefail
cd "$(dirname "$0")"

preset=ci
case "${1:-}" in
  --sanitize) preset=sanitize ;;
  "") ;;
  *) echo "usage: ./test.sh [--sanitize]" >&2; exit 2 ;;
esac

scripts/ensure-packages.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
# One virtual display for the whole run: GUI tests open real windows on it.
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset "$preset" -j "$(nproc)"
